#pragma once
// The command-line tool's own plain pass over a dictionary: every line in file
// order with its number, its fields cut only when asked, and the texts the
// tool prints of a record (address, reading) by its options. The fields are
// read by the dictionary's rules (DictionaryFields), so a record reads here
// as it reads in the lookup.

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Batch.h"
#include "DictionaryFields.h"
#include "DictionaryReader.h"
#include "PostReference.h"  // TPostOption
#include "RecordFields.h"

namespace tenmari::batch {

// How a record's texts are made.
struct TextOptions {
    TPostOption pickOut = poptAll;
    // Japan Post's split runs as one record, and the notes dropped: the
    // town area from its first "（" on, its reading from its first "(" on.
    bool whole = false;
};

// One line's fields, cut once and unquoted on demand: the lookup's record.
using LineFields = RecordFields;

// The address text: prefecture (with poptAll), municipality, town area unless
// it is "以下に掲載がない場合"; with `whole` the town area cut before its first "（".
void addressText(LineFields& f, const TextOptions& o, std::string& out);
// The reading from the same fields (columns 4 to 6, half-width as in the file).
void readingText(LineFields& f, const TextOptions& o, std::string& out);

// Every line of one block (whole lines, as DictionaryReader gives them):
// fn(line), the line without its LF and a CR before it.
template <typename Fn>
void forEachLineOfBlock(std::string_view block, Fn&& fn) {
    const char* p = block.data();
    const char* const end = p + block.size();
    while (p < end) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* const lineEnd = lf ? lf : end;
        const char* const textEnd = lineEnd > p && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
        fn(std::string_view(p, static_cast<std::size_t>(textEnd - p)));
        p = lf ? lf + 1 : end;
    }
}

// Every line of the dictionary in file order: fn(line, number), numbered from
// 1; block(bytes) after each block read, with the bytes read so far.
template <typename Fn, typename Block>
void forEachLine(DictionaryReader& reader, Fn&& fn, Block&& block) {
    std::uint64_t number = 0;
    std::uint64_t bytes = 0;
    for (std::string_view b = reader.nextBlock(); !b.empty(); b = reader.nextBlock()) {
        bytes += b.size();
        forEachLineOfBlock(b, [&](std::string_view line) { fn(line, ++number); });
        block(bytes);
    }
}

// One pass over the dictionary answers every query of a sealed table: each
// line is looked up in it (for codes by its code alone; the line is cut only
// when it answers), in file order. `progress(bytes, lines)` after each block.
void answerBatch(QueryTable& table, QueryTable::Kind kind, DictionaryReader& reader, const TextOptions& options,
                 bool readings, const std::function<void(std::uint64_t, std::uint64_t)>& progress);

// The records of some lines (numbers ascending, as the lookup found them),
// read again for the texts the tool's options ask for. With `whole`, a line
// that carries on a split run is marked: it is no record of its own.
struct LineRecord {
    std::uint64_t line;
    std::string code, address, reading;  // code page 932, the reading half-width as in the file
    bool carriesOn = false;
};
std::vector<LineRecord> readLines(DictionaryReader& reader, const std::vector<std::uint64_t>& lines,
                                  const TextOptions& options, bool readings);

}  // namespace tenmari::batch
