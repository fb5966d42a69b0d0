#include "LineScan.h"

#include "CpuFeatures.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace tenmari::linescan {
namespace {

// The scalar rest of a scan: `left` commas still to pass, `seeking` while the
// field is still sought.
Result finish(const char* p, const char* end, int left, bool seeking, const char* field) {
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '\n') return {field, p};
        if (!seeking) continue;
        if (c == ',') {
            if (left-- == 0) {
                field = p + 1;
                seeking = false;
            }
        } else if (c == '\r') {
            seeking = false;
        }
    }
    return {field, end};
}

// One chunk's masks: commas before the first CR or LF are counted down.
// Returns true when the search for the field is over (found or given up).
inline bool seek(unsigned commas, unsigned stop, const char* base, int& left, const char*& field) {
    if (stop != 0) commas &= (stop & (0u - stop)) - 1;
    for (; commas != 0; commas &= commas - 1) {
        if (left-- == 0) {
            field = base + __builtin_ctz(commas) + 1;
            return true;
        }
    }
    return stop != 0;
}

}  // namespace

Result portable(const char* p, const char* end, int field) { return finish(p, end, field - 1, true, nullptr); }

#if defined(__x86_64__) || defined(__i386__)

__attribute__((target("sse2"))) Result sse2(const char* p, const char* end, int fieldNo) {
    int left = fieldNo - 1;
    bool seeking = true;
    const char* field = nullptr;
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
        if (seeking) {
            const auto stop = lfs | static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
            const auto commas = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, comma)));
            if (seek(commas, stop, p, left, field)) seeking = false;
        }
        if (lfs != 0) return {field, p + __builtin_ctz(lfs)};
    }
    return finish(p, end, left, seeking, field);
}

__attribute__((target("avx2"))) Result avx2(const char* p, const char* end, int fieldNo) {
    int left = fieldNo - 1;
    bool seeking = true;
    const char* field = nullptr;
    const __m256i comma = _mm256_set1_epi8(',');
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    for (; end - p >= 32; p += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const auto lfs = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, lf)));
        if (seeking) {
            const auto stop = lfs | static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, cr)));
            const auto commas = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, comma)));
            if (seek(commas, stop, p, left, field)) seeking = false;
        }
        if (lfs != 0) return {field, p + __builtin_ctz(lfs)};
    }
    return finish(p, end, left, seeking, field);
}

Scan best() { return cpu::vectorPasses() ? avx2 : sse2; }

#else

Scan best() { return portable; }

#endif

}  // namespace tenmari::linescan
