#include "FieldCuts.h"

#include "CpuFeatures.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tenmari::fields {

namespace {

// The state of cutWithoutCr: fields are ended at commas in order.
struct Cutter {
    std::array<std::string_view, kCount>& raw;
    int count;
    const char* fieldStart;
    unsigned plain = 0;
    int quotes = 0;  // quotes in the field being cut so far
    int i = 0;

    // Ends the field at c; it is plain when its only two quotes are its first and last bytes.
    void endField(const char* c) {
        const auto size = static_cast<std::size_t>(c - fieldStart);
        raw[static_cast<std::size_t>(i)] = std::string_view(fieldStart, size);
        if (quotes == 2 && size >= 2 && *fieldStart == '"' && c[-1] == '"') plain |= 1u << i;
        fieldStart = c + 1;
        quotes = 0;
        ++i;
    }

    // The bytes from p on, one at a time.
    bool rest(const char* p, const char* end, unsigned* plainOut) {
        for (; p < end && i < count; ++p) {
            if (*p == '\r') return false;
            if (*p == '"') ++quotes;
            if (*p == ',') endField(p);
        }
        if (i < count) {
            endField(end);  // the appended comma: the rest of the line is the last field
            for (int k = i; k < count; ++k) raw[static_cast<std::size_t>(k)] = {};
        }
        if (plainOut != nullptr) *plainOut = plain;
        return true;
    }
};

#if defined(__x86_64__)

// Bits of 64 bytes: set where the byte is a comma, a quote, a CR.
struct Masks {
    std::uint64_t commas, quotes, crs;
};

__attribute__((target("avx2"), always_inline)) inline std::uint64_t bytesEqual(__m256i lo, __m256i hi, char c) {
    const __m256i v = _mm256_set1_epi8(c);
    const auto l = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, v)));
    const auto h = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, v)));
    return (std::uint64_t{h} << 32) | l;
}

__attribute__((target("avx2"), always_inline)) inline Masks masksAt(const char* p) {
    const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    return {bytesEqual(lo, hi, ','), bytesEqual(lo, hi, '"'), bytesEqual(lo, hi, '\r')};
}

// The whole cut 64 bytes at a time from masks of commas, quotes and CRs. The
// last bytes of a line of 64 or more come from a load of its last 64 bytes,
// shifted; a shorter line goes through a zero-padded copy. No byte outside
// the line is read. A field's quotes are counted from the quote mask.
__attribute__((target("avx2,popcnt,bmi"))) bool cutAvx2(std::string_view line, std::string_view* raw, int count,
                                                        unsigned& plainOut) {
    const char* const begin = line.data();
    const std::size_t size = line.size();
    const char* start = begin;    // of the field being cut
    std::uint64_t quotes = 0;     // in the line before the 64 bytes looked at
    std::uint64_t quotesCut = 0;  // in the line before `start`
    unsigned plain = 0;
    int i = 0;
    for (std::size_t off = 0; off < size; off += 64) {
        Masks m;
        const std::size_t left = size - off;
        if (left >= 64) {
            m = masksAt(begin + off);
        } else if (size >= 64) {
            const auto shift = static_cast<unsigned>(64 - left);
            m = masksAt(begin + size - 64);
            m.commas >>= shift;
            m.quotes >>= shift;
            m.crs >>= shift;
        } else {
            // A zero byte is none of the three, so the padding adds no bit.
            alignas(32) char buf[64] = {};
            std::memcpy(buf, begin, size);
            m = masksAt(buf);
        }
        const char* const base = begin + off;
        for (std::uint64_t c = m.commas; c != 0; c &= c - 1) {
            const std::uint64_t before = (c & (0 - c)) - 1;
            const char* const comma = base + __builtin_ctzll(c);
            const std::uint64_t upTo = quotes + static_cast<std::uint64_t>(__builtin_popcountll(m.quotes & before));
            const auto n = static_cast<std::size_t>(comma - start);
            raw[i] = std::string_view(start, n);
            if (upTo - quotesCut == 2 && n >= 2 && *start == '"' && comma[-1] == '"') plain |= 1u << i;
            quotesCut = upTo;
            start = comma + 1;
            if (++i == count) {
                if ((m.crs & before) != 0) return false;
                plainOut = plain;
                return true;
            }
        }
        if (m.crs != 0) return false;
        quotes += static_cast<std::uint64_t>(__builtin_popcountll(m.quotes));
    }
    // Fewer commas than fields: the appended comma ends the last one.
    const auto n = static_cast<std::size_t>(begin + size - start);
    raw[i] = std::string_view(start, n);
    if (quotes - quotesCut == 2 && n >= 2 && *start == '"' && start[n - 1] == '"') plain |= 1u << i;
    for (++i; i < count; ++i) raw[i] = {};
    plainOut = plain;
    return true;
}

// 128 bits, bit i for byte i of a line's first 128 bytes.
__extension__ using Bits128 = unsigned __int128;

// Offset of comma k (from 0) among 128 bytes whose first 64 hold inLo of the
// commas `lo`, `hi`, by bit deposit: each comma found on its own, none
// waiting on another, and no branch on which half it is in.
__attribute__((target("bmi,bmi2"), always_inline)) inline unsigned nthComma(std::uint64_t lo, std::uint64_t hi,
                                                                            unsigned inLo, unsigned k) {
    const std::uint64_t inHi = 0 - static_cast<std::uint64_t>(k >= inLo);  // every bit when in the second 64
    const std::uint64_t m = lo ^ ((lo ^ hi) & inHi);
    const auto nth = k - (inLo & static_cast<unsigned>(inHi));
    return (64u & static_cast<unsigned>(inHi)) +
           static_cast<unsigned>(_tzcnt_u64(_pdep_u64(std::uint64_t{1} << (nth & 63), m)));
}

// Whether bytes s..e-1 are a quote, text without quotes, and a quote.
__attribute__((target("popcnt"))) bool plainField(Bits128 quotes, unsigned s, unsigned e) {
    if (e < s + 2) return false;
    const Bits128 in = (quotes >> s) & ((Bits128{1} << (e - s)) - 1);
    const int n = __builtin_popcountll(static_cast<std::uint64_t>(in)) +
                  __builtin_popcountll(static_cast<std::uint64_t>(in >> 64));
    return n == 2 && (in & 1) != 0 && ((in >> (e - s - 1)) & 1) != 0;
}

// No branch depends on where a line's commas fall: the common lines vary too
// much in that for a branch to be foreseen.
__attribute__((target("avx2,popcnt,bmi,bmi2"))) bool cutReadAvx2(std::string_view line, std::string_view* raw,
                                                                 unsigned& plainOut) {
    const char* const p = line.data();
    const std::size_t size = line.size();  // more than 64
    // Bytes 64 to 127, or to the end of a shorter line: its last 64 bytes,
    // shifted so that bit 0 is its byte 64.
    const std::size_t second = size < 128 ? size : 128;
    const auto shift = static_cast<unsigned>(128 - second);
    const Masks a = masksAt(p);
    Masks b = masksAt(p + second - 64);
    b.commas >>= shift;
    b.quotes >>= shift;
    b.crs >>= shift;
    const auto inLo = static_cast<unsigned>(__builtin_popcountll(a.commas));
    if (inLo + static_cast<unsigned>(__builtin_popcountll(b.commas)) < 9) return false;
    // The commas that end fields 0, 1, 2 and 5 to 8; the first three are
    // nearly always among the first 64 bytes, where taking the lowest bits in
    // turn is cheaper.
    unsigned e0, e1, e2;
    if (inLo >= 3) {
        const std::uint64_t c1 = _blsr_u64(a.commas);
        e0 = static_cast<unsigned>(_tzcnt_u64(a.commas));
        e1 = static_cast<unsigned>(_tzcnt_u64(c1));
        e2 = static_cast<unsigned>(_tzcnt_u64(_blsr_u64(c1)));
    } else {
        e0 = nthComma(a.commas, b.commas, inLo, 0);
        e1 = nthComma(a.commas, b.commas, inLo, 1);
        e2 = nthComma(a.commas, b.commas, inLo, 2);
    }
    const unsigned e5 = nthComma(a.commas, b.commas, inLo, 5);
    const unsigned e6 = nthComma(a.commas, b.commas, inLo, 6);
    const unsigned e7 = nthComma(a.commas, b.commas, inLo, 7);
    const unsigned e8 = nthComma(a.commas, b.commas, inLo, 8);
    raw[1] = std::string_view(p + e0 + 1, e1 - e0 - 1);
    raw[2] = std::string_view(p + e1 + 1, e2 - e1 - 1);
    raw[6] = std::string_view(p + e5 + 1, e6 - e5 - 1);
    raw[7] = std::string_view(p + e6 + 1, e7 - e6 - 1);
    raw[8] = std::string_view(p + e7 + 1, e8 - e7 - 1);

    const Bits128 firstBit = Bits128{1} << e0;
    const Bits128 lastBit = Bits128{1} << e8;
    const Bits128 beforeLast = lastBit - 1;
    const bool noCr = ((Bits128{b.crs} << 64 | a.crs) & beforeLast) == 0;
    // Whether fields 1 to 8 are all plain, seen at once: the quotes between
    // the first and the ninth comma are exactly one right after each comma
    // but the ninth and one right before each but the first, never the same
    // byte (a field of one quote) and never on a comma (an empty field).
    const Bits128 quotes = Bits128{b.quotes} << 64 | a.quotes;
    const Bits128 commas = (Bits128{b.commas} << 64 | a.commas) & (beforeLast | lastBit);
    const Bits128 after = (commas & ~lastBit) << 1;
    const Bits128 before = (commas & ~firstBit) >> 1;
    const Bits128 inside = quotes & beforeLast & ~(firstBit | (firstBit - 1));
    if ((after & before) == 0 && inside == (after | before)) {
        plainOut = kReadFields;
    } else {
        plainOut = static_cast<unsigned>(plainField(quotes, e0 + 1, e1)) << 1 |
                   static_cast<unsigned>(plainField(quotes, e1 + 1, e2)) << 2 |
                   static_cast<unsigned>(plainField(quotes, e5 + 1, e6)) << 6 |
                   static_cast<unsigned>(plainField(quotes, e6 + 1, e7)) << 7 |
                   static_cast<unsigned>(plainField(quotes, e7 + 1, e8)) << 8;
    }
    return noCr;
}

int cutSse2(Cutter& cut, const char*& p, const char* end) {
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i quote = _mm_set1_epi8('"');
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        auto commas = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, comma)));
        const auto crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
        auto qs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, quote)));
        for (; commas != 0; commas &= commas - 1) {
            const unsigned before = (commas & (0u - commas)) - 1;
            if ((crs & before) != 0) return 0;
            for (unsigned q = qs & before; q != 0; q &= q - 1) ++cut.quotes;
            qs &= ~before;
            cut.endField(p + __builtin_ctz(commas));
            if (cut.i == cut.count) return 1;
        }
        if (crs != 0) return 0;
        for (; qs != 0; qs &= qs - 1) ++cut.quotes;
    }
    return 2;
}

#endif

}  // namespace

bool cutWithoutCr(std::string_view line, std::array<std::string_view, kCount>& raw, int count, unsigned* plain,
                  CutForm form) {
    if (count <= 0) return true;
    Cutter cut{raw, count, line.data()};
    const char* p = line.data();
    const char* const end = p + line.size();
#if defined(__x86_64__)
    const bool avx2 = cpu::vectorPasses();
    if (form == CutForm::best && avx2) {
        unsigned got = 0;
        if (!cutAvx2(line, raw.data(), count, got)) return false;
        if (plain != nullptr) *plain = got;
        return true;
    }
    int done = 2;
    if (form != CutForm::bytes) done = cutSse2(cut, p, end);
    if (done == 0) return false;
    if (done == 1) {
        if (plain != nullptr) *plain = cut.plain;
        return true;
    }
#else
    (void)form;
#endif
    return cut.rest(p, end, plain);
}

bool cutRead(std::string_view line, std::array<std::string_view, kCount>& raw, unsigned& plain) {
#if defined(__x86_64__)
    // Asked at every line (a relaxed load), so that a form set for a test holds here too.
    return line.size() > 64 && cpu::vectorPasses() && !cpu::slowBitDeposit() && cutReadAvx2(line, raw.data(), plain);
#else
    (void)line, (void)raw, (void)plain;
    return false;
#endif
}

}  // namespace tenmari::fields
