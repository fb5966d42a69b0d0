#include "DictionaryScan.h"

#include "Batch.h"
#include "MatchRules.h"
#include "Cp932.h"

namespace tenmari::batch {

void addressText(LineFields& f, const TextOptions& o, std::string& out) {
    RecordFields::Parts p = f.parts(o.pickOut);
    if (o.whole) p.town = cutBeforeNote(p.town);
    out.resize(p.size());
    p.copyTo(out.data());
}

void readingText(LineFields& f, const TextOptions& o, std::string& out) {
    RecordFields::Parts p = f.readingParts(o.pickOut);
    if (o.whole) p.town = cutReadingBeforeNote(p.town);
    out.resize(p.size());
    p.copyTo(out.data());
}

void answerBatch(QueryTable& table, QueryTable::Kind kind, DictionaryReader& reader, const TextOptions& o,
                 bool readings, const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
    LineFields f;
    std::string address, reading;
    SplitRuns runs;
    std::uint64_t lines = 0;
    const auto block = [&](std::uint64_t bytes) { progress(bytes, lines); };

    if (kind == QueryTable::Kind::code) {
        const bool old = table.asksOldCodes();
        const auto each = [&](std::string_view line, std::uint64_t number) {
            std::uint32_t slots[2] = {QueryTable::kNone, QueryTable::kNone};
            bool cut = false;
            std::string_view code;
            if (const auto quick = fields::quickCode(line)) {
                code = *quick;
                slots[0] = table.slotOfDigits(code);
            } else {  // a line out of the common form: cut to tell
                f.reset(line);
                cut = true;
                code = f.field(fields::kCode);
                slots[0] = table.slotOfCode(code);
            }
            if (old) {
                const auto quickOld = fields::quickOldCode(line);
                if (!quickOld && !cut) {
                    f.reset(line);
                    cut = true;
                }
                slots[1] = table.slotOfOldCode(quickOld ? *quickOld : f.field(fields::kOldCode));
            }
            const auto wanted = [&] {
                return (slots[0] != QueryTable::kNone && table.wants(slots[0])) ||
                       (slots[1] != QueryTable::kNone && table.wants(slots[1]));
            };
            if (slots[0] == QueryTable::kNone && slots[1] == QueryTable::kNone) return;
            if (!o.whole && !wanted()) return;
            if (!cut) {
                f.reset(line);
                code = f.field(fields::kCode);  // the same bytes, now in the cut line
            }
            if (o.whole) {
                // A line that carries on a split run is no record of its own.
                const bool continued = runs.continues(number, code);
                runs.see(number, code, mayHoldBrackets(line) ? bracketBalance(f.field(fields::kTownArea)) : 0,
                         continued);
                if (continued) return;
            }
            if (!wanted()) return;
            addressText(f, o, address);
            if (readings) readingText(f, o, reading);
            for (const std::uint32_t slot : slots) {
                if (slot != QueryTable::kNone) table.take(slot, code, address, reading, number);
            }
        };
        // A block's lines are gathered first and the table's places of their
        // codes asked for, so that the probes do not wait on memory one by one.
        std::vector<std::string_view> gathered;
        std::uint64_t bytes = 0;
        for (std::string_view b = reader.nextBlock(); !b.empty(); b = reader.nextBlock()) {
            bytes += b.size();
            gathered.clear();
            forEachLineOfBlock(b, [&](std::string_view line) {
                gathered.push_back(line);
                if (const auto quick = fields::quickCode(line)) table.prefetchCode(*quick);
            });
            for (const std::string_view line : gathered) each(line, ++lines);
            block(bytes);
        }
        return;
    }

    forEachLine(
        reader,
        [&](std::string_view line, std::uint64_t number) {
            lines = number;
            f.reset(line);
            if (o.whole) {
                const std::string_view code = f.field(fields::kCode);
                const bool continued = runs.continues(number, code);
                runs.see(number, code, mayHoldBrackets(line) ? bracketBalance(f.field(fields::kTownArea)) : 0,
                         continued);
                if (continued) return;
            }
            addressText(f, o, address);
            const std::string_view key = cutBeforeNote(address);
            // Records come grouped by municipality: its part of the table is kept.
            const std::size_t shared = (o.pickOut == poptAll ? f.field(fields::kPrefecture).size() : 0) +
                                       f.field(fields::kMunicipality).size();
            bool read = false;
            table.forEachBeginning(key, shared, [&](std::uint32_t slot) {
                if (!table.wants(slot, key.size())) return;
                if (readings && !read) readingText(f, o, reading);
                read = true;
                table.take(slot, f.field(fields::kCode), address, reading, number, key.size());
            });
        },
        block);
}

std::vector<LineRecord> readLines(DictionaryReader& reader, const std::vector<std::uint64_t>& lines,
                                  const TextOptions& o, bool readings) {
    std::vector<LineRecord> out;
    out.reserve(lines.size());
    LineFields f;
    SplitRuns runs;
    std::size_t next = 0;
    forEachLine(
        reader,
        [&](std::string_view line, std::uint64_t number) {
            const bool wanted = next < lines.size() && lines[next] == number;
            bool carriesOn = false;
            bool cut = false;
            if (o.whole) {
                // Only a line with a bracket, or one after an open run, plays a part in the runs.
                const bool brackets = mayHoldBrackets(line);
                if (brackets || runs.open()) {
                    const auto quick = brackets ? std::nullopt : fields::quickCode(line);
                    if (!quick) {
                        f.reset(line);
                        cut = true;
                    }
                    const std::string_view code = quick ? *quick : f.field(fields::kCode);
                    carriesOn = runs.continues(number, code);
                    runs.see(number, code, brackets ? bracketBalance(f.field(fields::kTownArea)) : 0, carriesOn);
                }
            }
            if (!wanted) return;
            ++next;
            if (!cut) f.reset(line);
            LineRecord& r = out.emplace_back();
            r.line = number;
            r.code = f.field(fields::kCode);
            addressText(f, o, r.address);
            if (readings) readingText(f, o, r.reading);
            r.carriesOn = carriesOn;
        },
        [](std::uint64_t) {});
    return out;
}

}  // namespace tenmari::batch
