#include "LineFilter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "DictionaryFields.h"
#include "FaultGuard.h"
#include "LineScan.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tenmari::linefilter {
namespace {

constexpr char kEndOfFile = 0x1A;
constexpr std::size_t kWindow = std::size_t{1} << 20;    // looked at per step by a query that may stop early
constexpr std::size_t kBatch = std::size_t{64} << 10;  // kept lines copied out of the mapping at a time

int probedField(const Probe& probe) { return probe.query.empty() ? 0 : probe.field; }

[[noreturn]] void shrank(const DictionaryReader& reader) {
    throw PostFileError(reader.path() + ": the file shrank while it was being read");
}

// Copies the kept lines out of the mapping a batch at a time and hands them
// on; false once fn has asked to stop.
bool handOn(const std::vector<Span>& spans, const DictionaryReader& reader, std::string_view mapping,
            std::vector<char>& staging, void* ctx, LineFn fn) {
    for (std::size_t i = 0; i < spans.size();) {
        std::size_t j = i;
        std::size_t bytes = 0;
        for (; j < spans.size(); ++j) {
            const auto len = static_cast<std::size_t>(spans[j].end - spans[j].begin) + 1;
            if (j > i && bytes + len > kBatch) break;
            bytes += len;
        }
        staging.resize(bytes);
        auto copy = [&] {
            char* out = staging.data();
            for (std::size_t k = i; k < j; ++k) {
                const auto n = static_cast<std::size_t>(spans[k].end - spans[k].begin);
                std::memcpy(out, spans[k].begin, n);
                out += n;
                *out++ = '\n';
            }
        };
        if (!runGuarded(mapping.data(), mapping.size(), copy)) shrank(reader);
        const char* p = staging.data();
        for (std::size_t k = i; k < j; ++k) {
            const char* const lf = p + (spans[k].end - spans[k].begin);
            const char* const textEnd = (lf > p && lf[-1] == '\r') ? lf - 1 : lf;
            if (!fn(ctx, std::string_view(p, static_cast<std::size_t>(textEnd - p)))) return false;
            p = lf + 1;
        }
        i = j;
    }
    return true;
}

// The quick part of mayMatch: true when the field's first value byte is
// already another than the query's, as on most lines.
inline bool differsAtOnce(const char* f, const char* lf, const Probe& probe) {
    if (lf - f < 3 || f[0] != '"') return false;
    const auto c = static_cast<unsigned char>(f[1]);
    const char next = f[2];
    return c != static_cast<unsigned char>(probe.query[0]) && c != '"' && c != ',' && c != '\r' &&
           !(probe.address && c == 0x81) && next != ',' && next != '\r';
}

#if defined(__x86_64__)

// Bit i set where byte i of the 64 in lo, hi is c.
__attribute__((target("avx2"), always_inline)) inline std::uint64_t mask(__m256i lo, __m256i hi, __m256i c) {
    const auto l = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, c)));
    const auto h = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, c)));
    return (std::uint64_t{h} << 32) | l;
}

// One line after another through the comma and LF masks of 64-byte chunks:
// the comma in front of the probed field is picked out of the masks, and at
// the line's LF the probe decides. With kPdep the comma is picked by BMI2's
// bit deposit, where the processor does that fast.
template <bool kPdep>
struct Walk {
    const char* lineStart;
    const char* fieldStart;
    std::uint64_t first;   // the bit of the probed field's comma among a line's commas; 0: every line is kept
    std::uint64_t seek;    // that bit among the commas still to come; 0 once found
    const Probe* probe;
    std::vector<Span>* out;

    __attribute__((target("popcnt,bmi,bmi2"), always_inline)) inline void chunk(const char* base, std::uint64_t commas,
                                                                                std::uint64_t lfs) {
        while (true) {
            const std::uint64_t lf = lfs & (0 - lfs);
            const std::uint64_t before = lf - 1;  // every bit when there is no LF
            const std::uint64_t c = commas & before;
            std::uint64_t at;
            if constexpr (kPdep) {
                at = _pdep_u64(seek, c);
            } else {
                at = 0;
                if (seek != 0 && static_cast<std::uint64_t>(__builtin_popcountll(c)) > static_cast<std::uint64_t>(__builtin_ctzll(seek))) {
                    std::uint64_t m = c;
                    for (std::uint64_t k = seek; k > 1; k >>= 1) m &= m - 1;
                    at = m & (0 - m);
                }
            }
            fieldStart = at != 0 ? base + __builtin_ctzll(at) + 1 : fieldStart;
            // Once found (or not sought) nothing is left to seek; otherwise the
            // chunk held fewer commas than the one sought, so the shift is < 64.
            seek = at != 0 || seek == 0 ? 0 : seek >> __builtin_popcountll(c);
            if (lfs == 0) return;
            const char* const end = base + __builtin_ctzll(lfs);
            endLine(end);
            lineStart = end + 1;
            seek = first;
            commas &= ~(before | lf);
            lfs &= lfs - 1;
        }
    }

    // The current line ends at lf (its LF, or the end of the text).
    __attribute__((always_inline)) inline void endLine(const char* lf) {
        if (first == 0 || seek != 0 || (!differsAtOnce(fieldStart, lf, *probe) && mayMatch(fieldStart, lf, *probe))) {
            out->push_back({lineStart, lf});
        }
    }
};

// Classifies 64 bytes at a time; a 0x1A anywhere sends its chunk to the tail.
template <bool kPdep>
__attribute__((target("avx2,popcnt,bmi,bmi2"))) Result candidatesAvx2(const char* begin, const char* end, bool final,
                                                                  const Probe& probe, std::vector<Span>& out) {
    const int field = probedField(probe);
    const __m256i comma = _mm256_set1_epi8(',');
    const __m256i newline = _mm256_set1_epi8('\n');
    const __m256i eof = _mm256_set1_epi8(kEndOfFile);

    const std::uint64_t first = field != 0 ? std::uint64_t{1} << (field - 1) : 0;
    Walk<kPdep> walk{begin, nullptr, first, first, &probe, &out};
    bool ended = false;
    const char* p = begin;
    for (; end - p >= 64; p += 64) {
        const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        if (!_mm256_testz_si256(_mm256_or_si256(_mm256_cmpeq_epi8(lo, eof), _mm256_cmpeq_epi8(hi, eof)),
                                _mm256_set1_epi8(-1))) {
            break;  // the tail below cuts the text at the 0x1A
        }
        walk.chunk(p, field != 0 ? mask(lo, hi, comma) : 0, mask(lo, hi, newline));
    }
    if (p < end) {
        // The last bytes, or the chunk with a 0x1A: through a zero-padded copy.
        alignas(32) char chunk[64] = {};
        const auto n = static_cast<std::size_t>(end - p < 64 ? end - p : 64);
        std::memcpy(chunk, p, n);
        const __m256i lo = _mm256_load_si256(reinterpret_cast<const __m256i*>(chunk));
        const __m256i hi = _mm256_load_si256(reinterpret_cast<const __m256i*>(chunk + 32));
        std::uint64_t valid = n == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
        const std::uint64_t subs = mask(lo, hi, eof) & valid;
        if (subs != 0) {
            valid = (subs & (0 - subs)) - 1;
            end = p + __builtin_ctzll(subs);
            ended = true;
        }
        walk.chunk(p, field != 0 ? mask(lo, hi, comma) & valid : 0, mask(lo, hi, newline) & valid);
    }
    if (!final && !ended) return {walk.lineStart, false};
    if (walk.lineStart < end) walk.endLine(end);  // the last line, without an LF
    return {end, ended};
}

// The same with AVX-512: one compare gives a chunk's 64-bit mask.
__attribute__((target("avx512f,avx512bw,popcnt,bmi,bmi2"))) Result candidatesAvx512(const char* begin, const char* end,
                                                                                  bool final, const Probe& probe,
                                                                                  std::vector<Span>& out) {
    const int field = probedField(probe);
    const __m512i comma = _mm512_set1_epi8(',');
    const __m512i newline = _mm512_set1_epi8('\n');
    const __m512i eof = _mm512_set1_epi8(kEndOfFile);

    const std::uint64_t first = field != 0 ? std::uint64_t{1} << (field - 1) : 0;
    Walk<true> walk{begin, nullptr, first, first, &probe, &out};
    bool ended = false;
    const char* p = begin;
    for (; end - p >= 64; p += 64) {
        const __m512i v = _mm512_loadu_si512(p);
        if (_mm512_cmpeq_epi8_mask(v, eof) != 0) break;  // the tail below cuts the text at the 0x1A
        walk.chunk(p, field != 0 ? _mm512_cmpeq_epi8_mask(v, comma) : 0, _mm512_cmpeq_epi8_mask(v, newline));
    }
    if (p < end) {
        // The last bytes, or the chunk with a 0x1A: a masked load reads only the bytes of the text.
        const auto n = static_cast<std::size_t>(end - p < 64 ? end - p : 64);
        std::uint64_t valid = n == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
        const __m512i v = _mm512_maskz_loadu_epi8(valid, p);
        const std::uint64_t subs = _mm512_cmpeq_epi8_mask(v, eof) & valid;
        if (subs != 0) {
            valid = (subs & (0 - subs)) - 1;
            end = p + __builtin_ctzll(subs);
            ended = true;
        }
        walk.chunk(p, field != 0 ? _mm512_cmpeq_epi8_mask(v, comma) & valid : 0,
                   _mm512_cmpeq_epi8_mask(v, newline) & valid);
    }
    if (!final && !ended) return {walk.lineStart, false};
    if (walk.lineStart < end) walk.endLine(end);  // the last line, without an LF
    return {end, ended};
}

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
#if defined(__x86_64__)
    static const Form best = [] {
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("popcnt") || !__builtin_cpu_supports("bmi")) {
            return Form::byLine;
        }
        // Bit deposit is slow microcode on AMD processors before Zen 3 (families 15h and 17h).
        const bool slowPdep = __builtin_cpu_is("amdfam15h") || __builtin_cpu_is("amdfam17h");
        if (!__builtin_cpu_supports("bmi2") || slowPdep) return Form::avx2;
        // AMD's processors with AVX-512 (Zen 4 on) run it at full clock; some
        // of Intel's slow down for it, which the whole program would pay.
        const bool avx512 = __builtin_cpu_is("amd") && __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512bw");
        return avx512 ? Form::avx512 : Form::avx2Pdep;
    }();
    return best;
#else
    return Form::byLine;
#endif
}

bool runs(Form form) {
#if defined(__x86_64__)
    switch (form) {
    case Form::byLine:
        return true;
    case Form::avx2:
        return bestForm() != Form::byLine;
    case Form::avx2Pdep:
        return bestForm() != Form::byLine && __builtin_cpu_supports("bmi2");
    case Form::avx512:
        return bestForm() != Form::byLine && __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("avx512f") &&
               __builtin_cpu_supports("avx512bw");
    }
    return false;
#else
    return form == Form::byLine;
#endif
}

Result candidates(const char* begin, const char* end, bool final, const Probe& probe, std::vector<Span>& out,
                  Form form) {
#if defined(__x86_64__)
    if (form == Form::avx512) return candidatesAvx512(begin, end, final, probe, out);
    if (form == Form::avx2Pdep) return candidatesAvx2<true>(begin, end, final, probe, out);
    if (form == Form::avx2) return candidatesAvx2<false>(begin, end, final, probe, out);
#endif
    return candidatesByLine(begin, end, final, probe, out);
}

Result candidates(const char* begin, const char* end, bool final, const Probe& probe, std::vector<Span>& out) {
    return candidates(begin, end, final, probe, out, bestForm());
}

void forEachLine(DictionaryReader& reader, const Probe& probe, bool stopsEarly, void* ctx, LineFn fn, CountFn count) {
    if (reader.mapped().empty()) {
        forEachLineRead(reader, probe, ctx, fn);
    } else {
        forEachLineMapped(reader, probe, stopsEarly, ctx, fn, count);
    }
}

void forEachLineRead(DictionaryReader& reader, const Probe& probe, void* ctx, LineFn fn) {
    std::vector<Span> spans;
    for (std::string_view block = reader.nextBlock(); !block.empty(); block = reader.nextBlock()) {
        spans.clear();
        candidates(block.data(), block.data() + block.size(), true, probe, spans);
        for (const Span& s : spans) {
            const char* const textEnd = (s.end > s.begin && s.end[-1] == '\r') ? s.end - 1 : s.end;
            if (!fn(ctx, std::string_view(s.begin, static_cast<std::size_t>(textEnd - s.begin)))) return;
        }
    }
}

void forEachLineMapped(DictionaryReader& reader, const Probe& probe, bool stopsEarly, void* ctx, LineFn fn,
                       CountFn count) {
    const std::string_view mapping = reader.mapped();
    if (mapping.empty()) {
        forEachLineRead(reader, probe, ctx, fn);
        return;
    }
    armGuards();
    std::vector<Span> spans;

    // A query that reads to the end looks at the whole file at once and can
    // tell how many lines will come; one that stops early, or keeps every line
    // anyway, goes a window at a time.
    const bool keepsAll = probedField(probe) == 0;
    const bool windowed = stopsEarly || keepsAll;
    // Room for about a line per 64 bytes of the whole file, taken at once: its
    // spans are then seldom moved, and the pages never used cost nothing.
    if (!windowed) spans.reserve(std::min<std::size_t>(mapping.size() / 64 + 16, std::size_t{1} << 20));
    const std::size_t step = keepsAll ? kBatch : kWindow;
    std::vector<char> staging;
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
        if (!handOn(spans, reader, mapping, staging, ctx, fn)) return;
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
