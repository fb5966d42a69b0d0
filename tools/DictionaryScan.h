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

namespace tenmari::batch {

// "以下に掲載がない場合": the record for the rest of a municipality.
inline constexpr std::string_view kNotListed =
    "\x88\xc8\x89\xba\x82\xc9\x8c\x66\x8d\xda\x82\xaa\x82\xc8\x82\xa2\x8f\xea\x8d\x87";

// How a record's texts are made.
struct TextOptions {
    TPostOption pickOut = poptAll;
    // Japan Post's split runs as one record, and the notes dropped: the
    // town area from its first "（" on, its reading from its first "(" on.
    bool whole = false;
};

// One line's fields 0..8, cut once and unquoted on demand.
class LineFields {
public:
    // `line` without its LF and a CR right before it.
    void reset(std::string_view line);
    std::string_view field(int index);

private:
    void cutAll();

    std::string_view line_;
    std::string text_;  // the line without its CRs, when it had any
    std::array<std::string_view, fields::kCount> raw_{};
    std::array<std::string_view, fields::kTownArea + 1> values_{};
    std::array<std::string, fields::kTownArea + 1> scratch_;
    unsigned plain_ = 0, known_ = 0, cut_ = 0;
};

// The postal code of a line read straight from its bytes when field 2 is
// plainly a quote, seven digits and a quote (what the line's cut would give
// too); nullopt when the line must be cut to tell.
inline std::optional<std::string_view> quickCode(std::string_view line) {
    const char* const begin = line.data();
    const char* const end = begin + line.size();
    const auto* c1 = static_cast<const char*>(std::memchr(begin, ',', line.size()));
    if (!c1) return std::nullopt;
    const auto* c2 = static_cast<const char*>(std::memchr(c1 + 1, ',', static_cast<std::size_t>(end - c1 - 1)));
    if (!c2 || end - c2 < 10 || c2[1] != '"' || c2[9] != '"') return std::nullopt;
    for (int i = 2; i < 9; ++i) {
        if (static_cast<unsigned char>(c2[i] - '0') > 9) return std::nullopt;
    }
    return std::string_view(c2 + 2, 7);
}

// The same for the old code, field 1: a quote, five bytes that are neither a
// quote, a comma nor a CR, and a quote.
inline std::optional<std::string_view> quickOldCode(std::string_view line) {
    const auto* c1 = static_cast<const char*>(std::memchr(line.data(), ',', line.size()));
    if (!c1 || line.data() + line.size() - c1 < 8 || c1[1] != '"' || c1[7] != '"') return std::nullopt;
    for (int i = 2; i < 7; ++i) {
        if (c1[i] == '"' || c1[i] == ',' || c1[i] == '\r') return std::nullopt;
    }
    return std::string_view(c1 + 2, 5);
}

// The address text: prefecture (with poptAll), municipality, town area unless
// it is "以下に掲載がない場合"; with `whole` the town area cut before its first "（".
void addressText(LineFields& f, const TextOptions& o, std::string& out);
// The reading from the same fields (columns 4 to 6, half-width as in the file).
void readingText(LineFields& f, const TextOptions& o, std::string& out);

// Opening minus closing full-width brackets in a text, counted on character
// boundaries.
int bracketBalance(std::string_view cp932);
// Whether the bytes of "（" or "）" occur in the line at all (a quick no).
inline bool mayHoldBrackets(std::string_view line) {
    for (const char* p = line.data(), *end = p + line.size();
         (p = static_cast<const char*>(std::memchr(p, '\x81', static_cast<std::size_t>(end - p)))) != nullptr; ++p) {
        if (p + 1 < end && (p[1] == '\x69' || p[1] == '\x6a')) return true;
    }
    return false;
}

// Japan Post's split runs: a line whose town area opens "（" without closing
// it is carried on by the following lines of the same code until it closes.
class SplitRuns {
public:
    // Whether line `line` (every line numbered from 1 in file order) carries
    // on the run of the line before it.
    bool open() const { return open_; }
    bool continues(std::uint64_t line, std::string_view code) const {
        return open_ && line == openLine_ + 1 && code == openCode_;
    }
    // The line's part in the runs, after continues() told its role.
    void see(std::uint64_t line, std::string_view code, int balance, bool continued) {
        if (continued) {
            depth_ += balance;
            openLine_ = line;
            open_ = depth_ > 0;
            return;
        }
        open_ = balance > 0;
        if (open_) {
            depth_ = balance;
            openLine_ = line;
            openCode_.assign(code);
        }
    }

private:
    bool open_ = false;
    int depth_ = 0;
    std::uint64_t openLine_ = 0;
    std::string openCode_;
};

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
