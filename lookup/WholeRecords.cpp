#include <string>

#include "DictionaryFields.h"
#include "MatchRules.h"
#include "WholeRecordPass.h"
#include "scan/Scan.h"

namespace tenmari {
namespace {

// A run being joined: its first line's fields copied, its town area and
// reading grown line by line.
struct Run {
    bool active = false;
    bool kept = false;
    std::string code, oldCode, prefecture, municipality, townArea, prefectureReading, municipalityReading,
        townAreaReading;
    std::uint64_t line = 0, lines = 0;

    void start(RecordFields& f, std::uint64_t number, bool keep) {
        active = true;
        kept = keep;
        line = number;
        lines = 1;
        if (!keep) return;
        code = f.field(fields::kCode);
        oldCode = f.field(fields::kOldCode);
        prefecture = f.field(fields::kPrefecture);
        municipality = f.field(fields::kMunicipality);
        townArea = f.field(fields::kTownArea);
        prefectureReading = f.field(fields::kPrefectureReading);
        municipalityReading = f.field(fields::kMunicipalityReading);
        townAreaReading = f.field(fields::kTownAreaReading);
    }
    void carryOn(RecordFields& f) {
        ++lines;
        if (!kept) return;
        townArea += f.field(fields::kTownArea);
        townAreaReading += f.field(fields::kTownAreaReading);
    }
};

// A record's texts as a WholeRecord: the town area cut before its note.
WholeRecord whole(std::string_view code, std::string_view oldCode, std::string_view prefecture,
                  std::string_view municipality, std::string_view townArea, std::string_view prefectureReading,
                  std::string_view municipalityReading, std::string_view townAreaReading, std::uint64_t line,
                  std::uint64_t lines) {
    const std::size_t note = noteStart(townArea);
    WholeRecord r;
    r.code = code;
    r.oldCode = oldCode;
    r.prefecture = prefecture;
    r.municipality = municipality;
    r.townArea = townArea.substr(0, note);
    if (note != std::string_view::npos) r.note = townArea.substr(note);
    r.prefectureReading = prefectureReading;
    r.municipalityReading = municipalityReading;
    r.townAreaReading = cutReadingBeforeNote(townAreaReading);
    r.line = line;
    r.lines = lines;
    return r;
}

}  // namespace

void forEachWholeRecord(DictionaryReader& reader, bool stopsEarly, void* ctx, FirstLineKeep keep,
                        WholeRecordSink& sink) {
    RecordFields f;
    SplitRuns runs;
    Run run;
    bool stopped = false;
    const auto hand = [&](const Run& r) {
        run.active = false;
        if (!r.kept) return true;
        stopped = !sink.take(whole(r.code, r.oldCode, r.prefecture, r.municipality, r.townArea, r.prefectureReading,
                                   r.municipalityReading, r.townAreaReading, r.line, r.lines));
        return !stopped;
    };
    linefilter::forEachPlacedLine(
        reader, linefilter::Probe{}, stopsEarly, true,
        [&](std::string_view line, const linefilter::Place& place) {
            f.reset(line);
            const std::string_view code = f.field(fields::kCode);
            const int balance = mayHoldBrackets(line) ? bracketBalance(f.field(fields::kTownArea)) : 0;
            if (runs.continues(place.line, code)) {
                runs.see(place.line, code, balance, true);
                run.carryOn(f);
                return runs.open() || hand(run);
            }
            // A run left open (its next line of another code) ends as it stands.
            if (run.active && !hand(run)) return false;
            runs.see(place.line, code, balance, false);
            const bool kept = keep == nullptr || keep(ctx, f);
            if (runs.open()) {
                run.start(f, place.line, kept);
                return true;
            }
            if (!kept) return true;
            return sink.take(whole(code, f.field(fields::kOldCode), f.field(fields::kPrefecture),
                                   f.field(fields::kMunicipality), f.field(fields::kTownArea),
                                   f.field(fields::kPrefectureReading), f.field(fields::kMunicipalityReading),
                                   f.field(fields::kTownAreaReading), place.line, 1));
        },
        [](std::size_t) {});
    if (run.active && !stopped) hand(run);
}

void forEachWholeRecord(DictionaryReader& reader, WholeRecordSink& sink) {
    forEachWholeRecord(reader, false, nullptr, nullptr, sink);
}

}  // namespace tenmari
