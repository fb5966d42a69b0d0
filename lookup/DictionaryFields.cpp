#include "DictionaryFields.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tenmari::fields {

void cut(std::string_view line, std::array<std::string_view, kCount>& raw, int count) {
    const char* p = line.data();
    const char* const end = p + line.size();
    int i = 0;
    for (; i < count && p != nullptr; ++i) {
        const void* comma = std::memchr(p, ',', static_cast<std::size_t>(end - p));
        if (comma == nullptr) {
            // The appended comma: the rest of the line is the last field.
            raw[static_cast<std::size_t>(i)] = std::string_view(p, static_cast<std::size_t>(end - p));
            p = nullptr;
        } else {
            const char* c = static_cast<const char*>(comma);
            raw[static_cast<std::size_t>(i)] = std::string_view(p, static_cast<std::size_t>(c - p));
            p = c + 1;
        }
    }
    for (; i < count; ++i) raw[static_cast<std::size_t>(i)] = {};
}

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

// The state of a cut in locals, which the compiler keeps in registers while
// the fields are stored.
struct CutState {
    const char* fieldStart;
    unsigned plain;
    int quotes;
    int i;
};

// Ends fields at the commas of one block whose first byte is p, as
// Cutter::endField does. Returns 0 for a CR before a comma used, 1 when the
// last field is cut, 2 to go on.
__attribute__((target("avx2,popcnt,bmi"), always_inline)) inline int cutBlock(std::string_view* raw, int count,
                                                                              CutState& s, const char* p,
                                                                              unsigned commas, unsigned crs,
                                                                              unsigned qs) {
    for (; commas != 0; commas &= commas - 1) {
        const unsigned before = (commas & (0u - commas)) - 1;
        if ((crs & before) != 0) return 0;
        const int quotes = s.quotes + __builtin_popcount(qs & before);
        qs &= ~before;
        const char* const c = p + __builtin_ctz(commas);
        const auto size = static_cast<std::size_t>(c - s.fieldStart);
        raw[s.i] = std::string_view(s.fieldStart, size);
        if (quotes == 2 && size >= 2 && *s.fieldStart == '"' && c[-1] == '"') s.plain |= 1u << s.i;
        s.fieldStart = c + 1;
        s.quotes = 0;
        if (++s.i == count) return 1;
    }
    if (crs != 0) return 0;
    s.quotes += __builtin_popcount(qs);
    return 2;
}

// 32 bytes at a time, the last ones through a zero-padded copy (the fields
// still point into the line): their commas in order, and no CR before the
// last one used. Returns 0 for a CR, 1 when done, 2 at the end of the line
// (then `p` is `end`).
__attribute__((target("avx2,popcnt,bmi"))) int cutAvx2(Cutter& cut, const char*& p, const char* end) {
    const __m256i comma = _mm256_set1_epi8(',');
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i quote = _mm256_set1_epi8('"');
    CutState s{cut.fieldStart, cut.plain, cut.quotes, cut.i};
    std::string_view* const raw = cut.raw.data();
    const int count = cut.count;
    int done = 2;
    for (; done == 2 && end - p >= 32; p += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        done = cutBlock(raw, count, s, p, static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, comma))),
                        static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, cr))),
                        static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, quote))));
    }
    if (done == 2 && p < end) {
        const auto n = static_cast<std::size_t>(end - p);
        alignas(32) char buf[32] = {};
        std::memcpy(buf, p, n);
        const __m256i v = _mm256_load_si256(reinterpret_cast<const __m256i*>(buf));
        const unsigned valid = (1u << n) - 1;
        done = cutBlock(raw, count, s, p,
                        static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, comma))) & valid,
                        static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, cr))) & valid,
                        static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, quote))) & valid);
        p = end;
    }
    cut.fieldStart = s.fieldStart;
    cut.plain = s.plain;
    cut.quotes = s.quotes;
    cut.i = s.i;
    return done;
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
    static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
                             __builtin_cpu_supports("bmi");
    int done = 2;
    if (form == CutForm::best && avx2) {
        done = cutAvx2(cut, p, end);
    } else if (form != CutForm::bytes) {
        done = cutSse2(cut, p, end);
    }
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

std::string_view unquote(std::string_view raw, std::string& scratch) {
    if (raw.empty() || raw.front() != '"') return {};
    std::string_view rest = raw.substr(1);
    std::size_t q = rest.find('"');
    // Common case: no doubled quote before the closing one.
    if (q == std::string_view::npos) return rest.substr(0, rest.empty() ? 0 : rest.size() - 1);
    if (q + 1 >= rest.size() || rest[q + 1] != '"') return rest.substr(0, q);

    scratch.clear();
    std::size_t i = 0;
    while (true) {
        q = rest.find('"', i);
        if (q == std::string_view::npos) {
            scratch.append(rest.substr(i));
            if (!scratch.empty()) scratch.pop_back();  // unclosed: last byte dropped
            return scratch;
        }
        scratch.append(rest.substr(i, q - i));
        if (q + 1 < rest.size() && rest[q + 1] == '"') {
            scratch.push_back('"');
            i = q + 2;
        } else {
            return scratch;  // closing quote; anything after it is ignored
        }
    }
}

std::string GetField(std::string_view line, int index) {
    if (index < 0 || index >= kCount) return {};
    std::array<std::string_view, kCount> raw;
    cut(line, raw, index + 1);
    std::string scratch;
    return std::string(unquote(raw[static_cast<std::size_t>(index)], scratch));
}

}  // namespace tenmari::fields
