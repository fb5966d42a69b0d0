#include "WholeRecords.h"

#include "Batch.h"  // cutAtBracket
#include "Cp932.h"
#include "DictionaryScan.h"

namespace tenmari::batch {

namespace {
// The text inside the outer brackets of what follows the town area's first "（".
std::string noteOf(std::string_view town, std::string_view cut) {
    std::string_view note = town.substr(cut.size());
    if (note.starts_with("\x81\x69")) note.remove_prefix(2);  // （
    if (note.ends_with("\x81\x6a")) note.remove_suffix(2);    // ）
    return std::string(note);
}
}  // namespace

std::vector<address::WholeRecord> readWholeRecords(DictionaryReader& reader) {
    std::vector<address::WholeRecord> out;
    out.reserve(130000);
    LineFields f;
    SplitRuns runs;
    std::string town;  // code page 932, a split run's lines joined
    std::string utf8;
    bool pending = false;  // `out.back()` still waits for its town area
    address::WholeRecord cur;
    const auto finish = [&] {
        if (!pending) return;
        pending = false;
        try {
            const std::string_view cut = cutAtBracket(town);
            cur.town = cp932ToUtf8(cut);
            cur.note = cp932ToUtf8(noteOf(town, cut));
            out.push_back(std::move(cur));
        } catch (const EncodingError&) {}
        cur = {};
    };
    forEachLine(
        reader,
        [&](std::string_view line, std::uint64_t number) {
            f.reset(line);
            const std::string_view code = f.field(fields::kCode);
            const std::string_view area = f.field(fields::kTownArea);
            const bool continued = runs.continues(number, code);
            runs.see(number, code, mayHoldBrackets(line) ? bracketBalance(area) : 0, continued);
            if (continued) {
                town.append(area);
                return;
            }
            finish();
            try {
                cur.code = std::string(code);
                cur.prefecture = cp932ToUtf8(f.field(fields::kPrefecture));
                cur.municipality = cp932ToUtf8(f.field(fields::kMunicipality));
                cur.line = number;
                town.assign(area);
                pending = true;
            } catch (const EncodingError&) {
                cur = {};
            }
        },
        [](std::uint64_t) {});
    finish();
    return out;
}

}  // namespace tenmari::batch
