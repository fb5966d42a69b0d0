#include "DictionaryRecords.h"

#include "Cp932.h"
#include "DictionaryReader.h"
#include "Mentions.h"
#include "RecordFields.h"  // kNotListed
#include "WholeRecord.h"

namespace tenmari::address {

namespace {
// UTF-8 of a code page 932 text through the decoding table, into `out`.
void toUtf8(std::string_view cp932, std::string& out) {
    out.resize(utf8Room(cp932.size()));
    out.resize(static_cast<std::size_t>(cp932ToUtf8(cp932, out.data()) - out.data()));
}
}  // namespace

namespace {
std::vector<WholeRecord> read(DictionaryReader& reader, const Mentions* mentions) {
    std::vector<WholeRecord> out;
    out.reserve(mentions ? 4096 : 130000);
    bool named = true;  // the municipality's records are wanted
    // A prefecture and municipality come in long runs of records: converted once each.
    std::string prefCp932, muniCp932, pref, muni;
    WholeRecordSinkFn sink([&](const tenmari::WholeRecord& r) {
        try {
            WholeRecord w;
            w.code.assign(r.code);
            const bool newPrefecture = r.prefecture != prefCp932;
            if (newPrefecture) {
                prefCp932.assign(r.prefecture);
                toUtf8(r.prefecture, pref);
            }
            if (newPrefecture || r.municipality != muniCp932) {
                muniCp932.assign(r.municipality);
                toUtf8(r.municipality, muni);
                named = !mentions || mentions->names(muni);
            }
            if (!named && r.townArea != kNotListed) return;
            w.prefecture = pref;
            w.municipality = muni;
            toUtf8(r.townArea, w.town);
            std::string_view note = r.note;
            if (note.starts_with("\x81\x69")) note.remove_prefix(2);  // （
            if (note.ends_with("\x81\x6a")) note.remove_suffix(2);    // ）
            toUtf8(note, w.note);
            w.line = r.line;
            out.push_back(std::move(w));
        } catch (const EncodingError&) {
            prefCp932.clear();
            muniCp932.clear();
        }
    });
    forEachWholeRecord(reader, sink);
    return out;
}
}  // namespace

std::vector<WholeRecord> readRecords(DictionaryReader& reader) { return read(reader, nullptr); }
std::vector<WholeRecord> readRecords(DictionaryReader& reader, const Mentions& mentions) {
    return read(reader, &mentions);
}

std::vector<WholeRecord> readRecords(const std::string& dictionary) {
    DictionaryReader reader(dictionary);
    return readRecords(reader);
}

}  // namespace tenmari::address
