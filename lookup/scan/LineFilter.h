#pragma once
// The first look at a dictionary's lines, a block at a time: which lines may
// match a query, judged from the beginning of one field alone. Lines it rules
// out surely do not match; every other line is handed on whole, to be read by
// the plain field rules. Line ends and commas are found 64 bytes at a time;
// a search on one field looks only where a quote precedes the query's bytes.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "DictionaryReader.h"

namespace tenmari::linefilter {

// A line may match unless the value of `field` surely does not begin with
// `query`. With `address` the compared text runs on from field to field up to
// field 8, as an address key does, and a 0x81 byte (a "（" may cut the key
// there) keeps the line. An empty query keeps every line.
struct Probe {
    int field = 0;  // 1 to 8
    std::string_view query;
    bool address = false;
};

struct Span {
    const char* begin;  // first byte of the line
    const char* end;    // its LF, or the end of the text
};

struct Result {
    const char* resume;  // where the first line not looked at begins
    bool ended;          // a 0x1A ended the text
};

// Appends the lines of [begin, end) that the probe keeps. With `final` the
// text after the last LF is a line too; otherwise it is left for the next
// call, from `resume`. A 0x1A ends the text (a line cut by it still counts).
Result candidates(const char* begin, const char* end, bool final, const Probe& probe, std::vector<Span>& out);

// The ways candidates() can take: one line at a time through the line scan
// (any processor), or in blocks, 64 bytes at a time, with AVX2 and BMI2,
// picking the probed field's comma by a loop (for processors whose bit
// deposit is slow microcode) or by BMI2's bit deposit. All give the same lines.
enum class Form { byLine, avx2, avx2Pdep };
Form bestForm();       // the one candidates() takes on this processor
bool runs(Form form);  // whether this processor can take it
Result candidates(const char* begin, const char* end, bool final, const Probe& probe, std::vector<Span>& out,
                  Form form);
// For a probe on one field with a query that holds no quote, comma, CR, LF
// or 0x1A: only the lines where a quote is followed by the query's first
// bytes (and those with a CR that ends no line) are looked at, by the
// line-by-line form's rules. It keeps some of the lines the other forms keep
// (never one whose field surely differs, as they never do) and every line
// whose field begins with the query; candidates() takes it where it can.
bool literalFits(const Probe& probe);
Result literalCandidates(const char* begin, const char* end, bool final, const Probe& probe, std::vector<Span>& out);
Result candidatesByLine(const char* begin, const char* end, bool final, const Probe& probe, std::vector<Span>& out);

// True unless the field starting at f (in a line ending at lf, LF excluded)
// surely does not begin with the probe's query.
bool mayMatch(const char* f, const char* lf, const Probe& probe);

// Calls fn(ctx, line) for each line of the file that the probe keeps, in file
// order, until it returns false; `line` is the raw text without its LF and a CR
// right before it. Before the first line, count(ctx, n) tells about how many
// will come (only when `stopsEarly` is false: a query that reads to the end;
// through reads, a guess from the first block that keeps a line). Throws
// PostFileError when the file shrinks under the pass.
using LineFn = bool (*)(void* ctx, std::string_view line);
using CountFn = void (*)(void* ctx, std::size_t lines);
void forEachLine(DictionaryReader& reader, const Probe& probe, bool stopsEarly, void* ctx, LineFn fn, CountFn count);
// The two ways forEachLine takes: through the mapped file, and through reads
// of whole-line blocks where the file cannot be mapped (count is not called).
void forEachLineMapped(DictionaryReader& reader, const Probe& probe, bool stopsEarly, void* ctx, LineFn fn,
                       CountFn count);
void forEachLineRead(DictionaryReader& reader, const Probe& probe, void* ctx, LineFn fn);

// The same, with where each line stands in the file: the byte offset of its
// first byte and, only when `countLines` is set (it costs a look at every
// byte between the lines handed on), its line number counting from 1.
struct Place {
    std::uint64_t offset = 0;
    std::uint64_t line = 0;  // 0 unless counted
};
using PlacedFn = bool (*)(void* ctx, std::string_view line, const Place& place);
void forEachPlacedLine(DictionaryReader& reader, const Probe& probe, bool stopsEarly, bool countLines, void* ctx,
                       PlacedFn fn, CountFn count);
void forEachPlacedLineMapped(DictionaryReader& reader, const Probe& probe, bool stopsEarly, bool countLines, void* ctx,
                             PlacedFn fn, CountFn count);
void forEachPlacedLineRead(DictionaryReader& reader, const Probe& probe, bool countLines, void* ctx, PlacedFn fn);
// The same; a pass that reads to the end calls count once, before its first
// line: when it keeps every line, with the lines the file's size lets expect;
// otherwise with twice the lines of the first block that keeps any.
void forEachPlacedLineRead(DictionaryReader& reader, const Probe& probe, bool stopsEarly, bool countLines, void* ctx,
                           PlacedFn fn, CountFn count);

template <typename Fn, typename Count>
void forEachPlacedLine(DictionaryReader& reader, const Probe& probe, bool stopsEarly, bool countLines, Fn&& fn,
                       Count&& count) {
    struct Ctx {
        Fn& fn;
        Count& count;
    } ctx{fn, count};
    forEachPlacedLine(
        reader, probe, stopsEarly, countLines, &ctx,
        [](void* c, std::string_view line, const Place& place) { return static_cast<Ctx*>(c)->fn(line, place); },
        [](void* c, std::size_t n) { static_cast<Ctx*>(c)->count(n); });
}

template <typename Fn, typename Count>
void forEachLine(DictionaryReader& reader, const Probe& probe, bool stopsEarly, Fn&& fn, Count&& count) {
    struct Ctx {
        Fn& fn;
        Count& count;
    } ctx{fn, count};
    forEachLine(
        reader, probe, stopsEarly, &ctx, [](void* c, std::string_view line) { return static_cast<Ctx*>(c)->fn(line); },
        [](void* c, std::size_t n) { static_cast<Ctx*>(c)->count(n); });
}

}  // namespace tenmari::linefilter
