#include "LineFilter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <utility>

#include "CpuFeatures.h"
#include "DictionaryFields.h"
#include "FaultGuard.h"
#include "LineScan.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tenmari::linefilter {
namespace {

constexpr char kEndOfFile = 0x1A;
constexpr std::size_t kWindow = std::size_t{1} << 20;      // looked at per step by a query that may stop early
constexpr std::size_t kBatch = std::size_t{64} << 10;      // kept lines copied out of the mapping at a time
constexpr std::size_t kMostHinted = std::size_t{1} << 20;  // lines told ahead by a pass through reads, at most

int probedField(const Probe& probe) { return probe.query.empty() ? 0 : probe.field; }

[[noreturn]] void shrank(const DictionaryReader& reader) {
    throw PostFileError(reader.path() + ": the file shrank while it was being read");
}

// The buffers of a pass, kept by each thread from one pass to the next: a
// pass then allocates nothing big, and the allocator is left to reuse the
// memory of the caller's lists instead of handing fresh pages to every query.
// A pass that runs while another one on its thread is still going (from a
// callback) gets buffers of its own.
class ScratchLease {
public:
    ScratchLease() : kept_(!inUse()) {
        if (kept_) inUse() = true;
    }
    ~ScratchLease() {
        if (!kept_) return;
        // Buffers grown past what the nationwide file needs are not kept.
        Buffers& b = kept();
        if (b.spans.capacity() > kKeptSpans) std::vector<Span>().swap(b.spans);
        if (b.staging.capacity() > 2 * kBatch) std::vector<char>().swap(b.staging);
        b.spans.clear();
        b.staging.clear();
        inUse() = false;
    }
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;

    std::vector<Span>& spans() { return kept_ ? kept().spans : own_.spans; }
    std::vector<char>& staging() { return kept_ ? kept().staging : own_.staging; }

private:
    static constexpr std::size_t kKeptSpans = std::size_t{1} << 19;
    struct Buffers {
        std::vector<Span> spans;
        std::vector<char> staging;
    };
    static Buffers& kept() {
        thread_local Buffers buffers;
        return buffers;
    }
    static bool& inUse() {
        thread_local bool used = false;
        return used;
    }
    bool kept_;
    Buffers own_;
};

// LFs in [p, end): 16 bytes a step (SSE2, which every x86-64 processor
// has), the byte counts summed every 255 steps so that none overflows.
std::uint64_t countLf(const char* p, const char* end) {
    std::uint64_t n = 0;
#if defined(__x86_64__)
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        __m128i counts = _mm_setzero_si128();
        for (int k = 0; k < 255 && end - p >= 16; ++k, p += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(v, lf));  // an LF is -1
        }
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        n += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
             static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
#endif
    for (; p < end; ++p) n += *p == '\n';
    return n;
}

// Line numbers of the lines handed on, only when asked for: the LFs from the
// end of the last line numbered up to the next one. A line right after the
// last one (every line of an every-record search) costs one byte's look.
struct LineCount {
    bool on = false;
    const char* at = nullptr;  // LFs before here are counted
    std::uint64_t line = 1;    // the number of the line `at` is in
    // The number of the line [begin, end) (end: its LF or the text's end).
    std::uint64_t of(const char* begin, const char* end) {
        if (!on) return 0;
        line += begin - at == 1 ? static_cast<std::uint64_t>(*at == '\n') : countLf(at, begin);
        at = end;
        return line;
    }
    void to(const char* p) {
        if (!on) return;
        line += countLf(at, p);
        at = p;
    }
};

// Copies the kept lines out of the mapping a batch at a time and hands them
// on; false once fn has asked to stop.
bool handOn(const std::vector<Span>& spans, const DictionaryReader& reader, std::string_view mapping,
            std::vector<char>& staging, std::vector<std::uint64_t>& numbers, LineCount& lines, void* ctx, PlacedFn fn) {
    for (std::size_t i = 0; i < spans.size();) {
        std::size_t j = i;
        std::size_t bytes = 0;
        for (; j < spans.size(); ++j) {
            const auto len = static_cast<std::size_t>(spans[j].end - spans[j].begin) + 1;
            if (j > i && bytes + len > kBatch) break;
            bytes += len;
        }
        staging.resize(bytes);
        if (lines.on) numbers.resize(j - i);
        auto copy = [&] {
            char* out = staging.data();
            for (std::size_t k = i; k < j;) {
                // Lines that follow each other in the file go in one copy, LFs and all.
                std::size_t m = k + 1;
                while (m < j && spans[m].begin == spans[m - 1].end + 1) ++m;
                const auto n = static_cast<std::size_t>(spans[m - 1].end - spans[k].begin);
                std::memcpy(out, spans[k].begin, n);
                out += n;
                *out++ = '\n';
                k = m;
            }
            if (lines.on) {
                for (std::size_t k = i; k < j; ++k) numbers[k - i] = lines.of(spans[k].begin, spans[k].end);
            }
        };
        if (!runGuarded(mapping.data(), mapping.size(), copy)) shrank(reader);
        const char* p = staging.data();
        for (std::size_t k = i; k < j; ++k) {
            const char* const lf = p + (spans[k].end - spans[k].begin);
            const char* const textEnd = (lf > p && lf[-1] == '\r') ? lf - 1 : lf;
            const Place place{static_cast<std::uint64_t>(spans[k].begin - mapping.data()),
                              lines.on ? numbers[k - i] : 0};
            if (!fn(ctx, std::string_view(p, static_cast<std::size_t>(textEnd - p)), place)) return false;
            p = lf + 1;
        }
        i = j;
    }
    return true;
}

// A line callback without the place, as a placed one.
struct Unplaced {
    void* ctx;
    LineFn fn;
    static bool call(void* c, std::string_view line, const Place&) {
        auto* u = static_cast<Unplaced*>(c);
        return u->fn(u->ctx, line);
    }
};

#if defined(__x86_64__)

// The quick part of mayMatch, by a table of bytes: true when the field's
// value already differs from the query at its first byte, or at its second
// after an equal first, as on most lines.
class Quick {
public:
    explicit Quick(const Probe& probe) {
        if (probe.query.empty()) return;
        // kFirst: a first value byte that may still match or that the rules
        // read otherwise; kEnds: a byte that ends the value before it when it
        // follows the one that differs; kOther: a byte the rules read otherwise.
        for (const unsigned char c : {'"', ',', '\r', '\n'}) table_[c] |= kFirst | kOther;
        if (probe.address) table_[0x81] |= kFirst | kOther;
        for (const unsigned char c : {',', '\r', '\n'}) table_[c] |= kEnds;
        q0_ = static_cast<unsigned char>(probe.query[0]);
        table_[q0_] |= kFirst;
        // A second byte is compared only after a first one that is plainly equal.
        if (probe.query.size() >= 2 && (table_[q0_] & kOther) == 0) {
            q1_ = static_cast<unsigned char>(probe.query[1]);
            second_ = true;
        }
    }

    // Where f[0] to f[3] can be read even past the line's LF (an LF among them
    // is seen as the line's end).
    bool differsHere(const char* f) const {
        const auto v0 = static_cast<unsigned char>(f[0]);
        const auto v1 = static_cast<unsigned char>(f[1]);
        const auto v2 = static_cast<unsigned char>(f[2]);
        if (v0 != '"') return false;
        if ((table_[v1] & kFirst) == 0) return (table_[v2] & kEnds) == 0;
        // Equal first bytes: the second decides, as the first would have.
        if (!second_ || v1 != q0_) return false;
        return v2 != q1_ && (table_[v2] & kOther) == 0 && (table_[static_cast<unsigned char>(f[3])] & kEnds) == 0;
    }
    // The same anywhere in the line [.., lf).
    bool differs(const char* f, const char* lf) const { return lf - f >= 4 && differsHere(f); }

private:
    static constexpr unsigned char kFirst = 1, kEnds = 2, kOther = 4;
    unsigned char table_[256] = {};
    unsigned char q0_ = 0;
    unsigned char q1_ = 0;
    bool second_ = false;
};

// The first byte of field `field` (after its field-th comma) of the line [s,
// lf), or nullptr when the line has fewer commas.
const char* fieldByBytes(const char* s, const char* lf, int field) {
    for (int left = field; left > 0; --left) {
        const void* c = std::memchr(s, ',', static_cast<std::size_t>(lf - s));
        if (c == nullptr) return nullptr;
        s = static_cast<const char*>(c) + 1;
    }
    return s;
}

// The lines of a text where a quote is followed by the query's first bytes,
// for a query on one field: only a quoted field has a value, so a value that
// begins with the query stands right after its quote, byte for byte. CRs that
// do not end a line are dropped from the text, so a line with one is looked
// at whatever it holds. Each such line is then judged by the plain field
// rules of the line-by-line form; the other lines are never cut at all. An
// address key can be empty and then matches any query, so an address search
// cannot be served this way.
class Literal {
public:
    explicit Literal(const Probe& probe) : probe_(probe) {
        q0_ = probe.query[0];
        q1_ = probe.query.size() >= 2 ? probe.query[1] : 0;
        second_ = probe.query.size() >= 2;
    }

    Result pass(const char* begin, const char* end, bool final, std::vector<Span>& out) const {
        const char* floor = begin;  // the start of the first line not yet handed on or ruled out
        const char* p = begin;
        bool ended = false;
        while (p < end) {
            const Found found = next(p, end);
            p = found.base + 64;
            for (std::uint64_t marks = found.marks; marks != 0;) {
                const char* const hit = found.base + __builtin_ctzll(marks);
                if (*hit == kEndOfFile) {
                    end = hit;
                    ended = true;
                    break;
                }
                const void* before = ::memrchr(floor, '\n', static_cast<std::size_t>(hit - floor));
                const char* const lineStart = before != nullptr ? static_cast<const char*>(before) + 1 : floor;
                const void* nl = std::memchr(hit, '\n', static_cast<std::size_t>(end - hit));
                const char* lineEnd = nl != nullptr ? static_cast<const char*>(nl) : end;
                if (const void* z = std::memchr(hit, kEndOfFile, static_cast<std::size_t>(lineEnd - hit))) {
                    end = lineEnd = static_cast<const char*>(z);
                    ended = true;
                }
                if (lineEnd == end && !final && !ended) return {lineStart, false};
                const char* const f = fieldByBytes(lineStart, lineEnd, probe_.field);
                if (f != nullptr && mayMatch(f, lineEnd, probe_)) out.push_back({lineStart, lineEnd});
                if (lineEnd == end) return {end, ended};
                floor = lineEnd + 1;
                if (floor >= p) {
                    p = floor;
                    break;
                }
                marks &= ~std::uint64_t{0} << (floor - found.base);
            }
        }
        if (final || ended) return {end, ended};
        const void* last = ::memrchr(floor, '\n', static_cast<std::size_t>(end - floor));
        return {last != nullptr ? static_cast<const char*>(last) + 1 : floor, false};
    }

private:
    // 64 bytes from `base`, and the marks among them: bit k where base[k]
    // opens a value that begins with the query's first bytes, is a CR that no
    // LF follows, or is a 0x1A. No marks with base + 64 >= end: the text ends.
    struct Found {
        const char* base;
        std::uint64_t marks;
    };

    // The marks of 32 bytes at src, reading src[0, 34).
    __attribute__((target("avx2"), always_inline)) inline std::uint32_t marks256(const char* src) const {
        const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
        const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 1));
        const __m256i x2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2));
        __m256i m = _mm256_and_si256(_mm256_cmpeq_epi8(x0, _mm256_set1_epi8('"')),
                                     _mm256_cmpeq_epi8(x1, _mm256_set1_epi8(q0_)));
        m = _mm256_and_si256(m, second_ ? _mm256_cmpeq_epi8(x2, _mm256_set1_epi8(q1_)) : _mm256_cmpeq_epi8(x2, x2));
        const __m256i odd = _mm256_or_si256(_mm256_andnot_si256(_mm256_cmpeq_epi8(x1, _mm256_set1_epi8('\n')),
                                                                _mm256_cmpeq_epi8(x0, _mm256_set1_epi8('\r'))),
                                            _mm256_cmpeq_epi8(x0, _mm256_set1_epi8(kEndOfFile)));
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(m, odd)));
    }

    __attribute__((target("avx2"), noinline)) Found next(const char* p, const char* end) const {
        while (end - p >= 66) {
            const std::uint64_t m = std::uint64_t{marks256(p)} | std::uint64_t{marks256(p + 32)} << 32;
            if (m != 0) return {p, m};
            p += 64;
        }
        // The last bytes, through a copy with room to read past them.
        const auto n = static_cast<std::size_t>(end - p);
        char tail[64 + 2] = {};
        std::memcpy(tail, p, n);
        std::uint64_t m = std::uint64_t{marks256(tail)} | std::uint64_t{marks256(tail + 32)} << 32;
        if (n < 64) m &= (std::uint64_t{1} << n) - 1;
        return {p, m};
    }

    const Probe& probe_;
    char q0_, q1_;
    bool second_;
};

namespace avx2 {
#define TENMARI_TARGET __attribute__((target("avx2,popcnt,bmi,bmi2")))
#include "LineFilterBlocks.inl"
#undef TENMARI_TARGET
}  // namespace avx2

#endif

}  // namespace

bool mayMatch(const char* f, const char* lf, const Probe& probe) {
    const auto* q = reinterpret_cast<const unsigned char*>(probe.query.data());
    const std::size_t qn = probe.query.size();
    // Fields after the probed one that an address key runs on into.
    int further = probe.address ? fields::kTownArea - probe.field : 0;
    if (f >= lf || *f != '"') return true;
    const char* r = f + 1;
    for (std::size_t k = 0; k < qn; ++r) {
        if (r >= lf) return true;
        const auto c = static_cast<unsigned char>(*r);
        if (c == '"') {
            // Only a plain end of the value followed by the next field's
            // opening quote is followed further; a "" or anything else keeps the line.
            if (further > 0 && lf - r > 2 && r[1] == ',' && r[2] == '"') {
                r += 2;
                --further;
                continue;
            }
            return true;
        }
        if (c == ',' || c == '\r') return true;  // a CR is no part of the text: it is dropped
        if (probe.address && c == 0x81) return true;
        if (c != q[k]) {
            // The value holds this byte unless it is the last one of a field
            // without a closing quote (or the byte after it is a dropped CR).
            if (lf - r < 2) return true;
            return r[1] == ',' || r[1] == '\r';
        }
        ++k;
    }
    return true;
}

Result candidatesByLine(const char* begin, const char* end, bool final, const Probe& probe, std::vector<Span>& out) {
    bool ended = false;
    if (const void* z = std::memchr(begin, kEndOfFile, static_cast<std::size_t>(end - begin))) {
        end = static_cast<const char*>(z);
        ended = true;
    }
    const int field = probedField(probe);
    const linescan::Scan scan = linescan::best();
    const char* p = begin;
    while (p < end) {
        const char* lf;
        const char* f = nullptr;
        if (field == 0) {
            const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
            lf = nl != nullptr ? static_cast<const char*>(nl) : end;
        } else {
            const linescan::Result r = scan(p, end, field);
            lf = r.lf;
            f = r.field;
            if (f == nullptr) {
                // The scan gives up at a CR; the commas still count past one.
                int left = field;
                for (const char* c = p; c < lf; ++c) {
                    if (*c == ',' && --left == 0) {
                        f = c + 1;
                        break;
                    }
                }
            }
        }
        if (lf == end && !final && !ended) return {p, false};
        if (field == 0 || f == nullptr || mayMatch(f, lf, probe)) out.push_back({p, lf});
        p = lf + 1;
    }
    return {end, ended};
}

Form bestForm() {
    switch (cpu::scanForm()) {
    case cpu::ScanForm::avx2: return cpu::slowBitDeposit() ? Form::avx2 : Form::avx2Pdep;
    case cpu::ScanForm::bytes: break;
    }
    return Form::byLine;
}

bool runs(Form form) {
    switch (form) {
    case Form::byLine: return true;
    case Form::avx2:
    case Form::avx2Pdep: return cpu::runs(cpu::ScanForm::avx2);
    }
    return false;
}

Result candidates(const char* begin, const char* end, bool final, const Probe& probe, std::vector<Span>& out,
                  Form form) {
#if defined(__x86_64__)
    // Fields from the seventh on begin past a line's first 64 bytes on many
    // lines of the public file; earlier ones seldom do, and a branch serves them.
    const bool wide = probe.field >= 7;
    if (form == Form::avx2Pdep) {
        return wide ? avx2::blockPass<true, true>(begin, end, final, probe, out)
                    : avx2::blockPass<true, false>(begin, end, final, probe, out);
    }
    if (form == Form::avx2) {
        return wide ? avx2::blockPass<false, true>(begin, end, final, probe, out)
                    : avx2::blockPass<false, false>(begin, end, final, probe, out);
    }
#endif
    return candidatesByLine(begin, end, final, probe, out);
}

bool literalFits(const Probe& probe) {
    if (probe.address || probe.field < 1 || probe.query.empty()) return false;
    return probe.query.find_first_of(std::string_view("\"\r\n,\x1a", 5)) == std::string_view::npos;
}

Result literalCandidates(const char* begin, const char* end, bool final, const Probe& probe, std::vector<Span>& out) {
#if defined(__x86_64__)
    if (literalFits(probe) && cpu::vectorPasses()) {
        return Literal(probe).pass(begin, end, final, out);
    }
#endif
    return candidatesByLine(begin, end, final, probe, out);
}

Result candidates(const char* begin, const char* end, bool final, const Probe& probe, std::vector<Span>& out) {
    if (literalFits(probe)) return literalCandidates(begin, end, final, probe, out);
    return candidates(begin, end, final, probe, out, bestForm());
}

void forEachPlacedLine(DictionaryReader& reader, const Probe& probe, bool stopsEarly, bool countLines, void* ctx,
                       PlacedFn fn, CountFn count) {
    if (reading() == Reading::read || reader.mapped().empty()) {
        forEachPlacedLineRead(reader, probe, stopsEarly, countLines, ctx, fn, count);
    } else {
        forEachPlacedLineMapped(reader, probe, stopsEarly, countLines, ctx, fn, count);
    }
}

void forEachLine(DictionaryReader& reader, const Probe& probe, bool stopsEarly, void* ctx, LineFn fn, CountFn count) {
    Unplaced u{ctx, fn};
    forEachPlacedLine(reader, probe, stopsEarly, false, &u, Unplaced::call, count);
}

void forEachLineRead(DictionaryReader& reader, const Probe& probe, void* ctx, LineFn fn) {
    Unplaced u{ctx, fn};
    forEachPlacedLineRead(reader, probe, false, &u, Unplaced::call);
}

void forEachPlacedLineRead(DictionaryReader& reader, const Probe& probe, bool countLines, void* ctx, PlacedFn fn) {
    forEachPlacedLineRead(reader, probe, true, countLines, ctx, fn, [](void*, std::size_t) {});
}

void forEachLineMapped(DictionaryReader& reader, const Probe& probe, bool stopsEarly, void* ctx, LineFn fn,
                       CountFn count) {
    Unplaced u{ctx, fn};
    forEachPlacedLineMapped(reader, probe, stopsEarly, false, &u, Unplaced::call, count);
}

namespace {

// A pass through reads, block after block, handing each kept line on.
struct ReadPass {
    const Probe& probe;
    void* ctx;
    PlacedFn fn;
    CountFn count;
    std::vector<Span>& spans;
    LineCount lines;
    // A pass that keeps every line tells, after its first block, about how
    // many lines the whole file holds: the caller's lists then take their
    // room once instead of moving every entry at each doubling. A probed
    // pass tells twice the lines of its first block that keeps any: a
    // municipality's or a prefecture's lines stand together, so that block
    // holds most of them.
    bool counted;
    bool keepsAll = probedField(probe) == 0;
    std::uint64_t blockOffset = 0;  // the file offset of the next block

    // The reader's blocks up to its end, until fn asks to stop or a 0x1A ends the text.
    void run(DictionaryReader& reader) {
        for (std::string_view block = reader.nextBlock(); !block.empty(); block = reader.nextBlock()) {
            spans.clear();
            lines.at = block.data();
            const Result r = candidates(block.data(), block.data() + block.size(), true, probe, spans);
            if (!counted) tell(reader, block, spans.size());
            for (const Span& s : spans) {
                const char* const textEnd = (s.end > s.begin && s.end[-1] == '\r') ? s.end - 1 : s.end;
                const Place place{blockOffset + static_cast<std::uint64_t>(s.begin - block.data()),
                                  lines.of(s.begin, s.end)};
                if (!fn(ctx, std::string_view(s.begin, static_cast<std::size_t>(textEnd - s.begin)), place)) return;
            }
            if (r.ended) return;  // a 0x1A ended the text
            lines.to(block.data() + block.size());
            blockOffset += block.size();
        }
    }

    void tell(const DictionaryReader& reader, std::string_view block, std::size_t kept) {
        if (!keepsAll) {
            if (kept == 0) return;
            counted = true;
            count(ctx, std::min(2 * kept, kMostHinted));
            return;
        }
        counted = true;
        const std::uint64_t size = reader.size();
        if (size > block.size()) {
            // (A hint only: capped, so that a first block of blank lines
            // cannot ask for room the rest of a large file never fills.)
            const double perByte = static_cast<double>(kept) / static_cast<double>(block.size());
            const double expected = perByte * static_cast<double>(size) * 1.05 + 16;
            count(ctx, static_cast<std::size_t>(std::min(expected, static_cast<double>(kMostHinted))));
        } else {
            count(ctx, kept);
        }
    }
};

}  // namespace

void forEachPlacedLineRead(DictionaryReader& reader, const Probe& probe, bool stopsEarly, bool countLines, void* ctx,
                           PlacedFn fn, CountFn count) {
    ScratchLease lease;
    ReadPass pass{probe, ctx, fn, count, lease.spans(), LineCount{countLines}, stopsEarly};
    pass.run(reader);
}

void forEachPlacedLineMapped(DictionaryReader& reader, const Probe& probe, bool stopsEarly, bool countLines, void* ctx,
                             PlacedFn fn, CountFn count) {
    const std::string_view mapping = reader.mapped();
    if (mapping.empty()) {
        forEachPlacedLineRead(reader, probe, countLines, ctx, fn);
        return;
    }
    armGuards();
    ScratchLease lease;
    std::vector<Span>& spans = lease.spans();
    std::vector<char>& staging = lease.staging();
    std::vector<std::uint64_t> numbers;
    LineCount lines{countLines, mapping.data()};

    // A query that reads to the end looks at the whole file at once and can
    // tell how many lines will come; one that stops early, or keeps every line
    // anyway, goes a window at a time.
    const bool keepsAll = probedField(probe) == 0;
    const bool windowed = stopsEarly || keepsAll;
    // Room for about a line per 64 bytes of the whole file, taken at once: its
    // spans are then seldom moved, and the pages never used cost nothing.
    if (!windowed) spans.reserve(std::min<std::size_t>(mapping.size() / 64 + 16, std::size_t{1} << 20));
    const std::size_t step = keepsAll ? kBatch : kWindow;
    const char* const begin = mapping.data();
    const char* const end = begin + mapping.size();
    const char* pos = begin;
    std::size_t window = step;
    bool counted = stopsEarly;
    while (pos < end) {
        const bool final = !windowed || static_cast<std::size_t>(end - pos) <= window;
        const char* const stop = final ? end : pos + window;
        spans.clear();
        Result r{};
        auto scan = [&] { r = candidates(pos, stop, final, probe, spans); };
        if (!runGuarded(begin, mapping.size(), scan)) shrank(reader);
        if (!counted && (final || r.ended || r.resume > pos)) {
            counted = true;
            if (final || r.ended) {
                count(ctx, spans.size());
            } else {
                // Every line: as many per byte as in the first window, with room to spare.
                const double perByte = static_cast<double>(spans.size()) / static_cast<double>(r.resume - pos);
                count(ctx, static_cast<std::size_t>(perByte * static_cast<double>(end - pos) * 1.2) + 16);
            }
        }
        if (!handOn(spans, reader, mapping, staging, numbers, lines, ctx, fn)) return;
        if (final || r.ended) return;
        if (r.resume == pos) {
            window *= 2;  // a line longer than the window
        } else {
            window = step;
            pos = r.resume;
        }
    }
}

}  // namespace tenmari::linefilter
