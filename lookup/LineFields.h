#pragma once
// Fast access to the raw fields of one dictionary line: commas are found only
// as far as a query needs them, 16 bytes at a time. Lines with a stray CR
// before the last field read are reported so the caller can take the slow,
// normalising path (a CR is not part of a line's text).

#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tenmari {

class LineFields {
public:
    static constexpr int kMaxCommas = 9;  // enough for fields 0..8

    // `line` excludes the LF and a CR right before it.
    explicit LineFields(std::string_view line)
        : begin_(line.data()), end_(line.data() + line.size()), pos_(line.data()) {}

    // Finds commas until field `index` is complete. False when a CR was met
    // on the way: the caller must then normalise the line.
    bool reach(int index) {
        while (found_ <= index && pos_ < end_) {
            if (!scanChunk()) return false;
        }
        return true;
    }

    // Raw field `index` (quotes included); valid after reach(index) succeeded.
    std::string_view raw(int index) const {
        if (index > found_) return {};
        const char* from = index == 0 ? begin_ : commas_[index - 1] + 1;
        const char* to = index < found_ ? commas_[index] : end_;
        return std::string_view(from, static_cast<std::size_t>(to - from));
    }

private:
    // Records the commas of the next piece of the line; false on a CR.
    bool scanChunk() {
#if defined(__SSE2__)
        if (end_ - pos_ >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pos_));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))) != 0) {
                return !crBefore(pos_ + 16);
            }
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(','))));
            while (mask != 0 && found_ < kMaxCommas) {
                commas_[found_++] = pos_ + __builtin_ctz(mask);
                mask &= mask - 1;
            }
            pos_ += 16;
            return true;
        }
#endif
        return !crBefore(end_);
    }

    // Scalar scan up to `limit`: records commas; true when a CR comes first.
    bool crBefore(const char* limit) {
        for (; pos_ < limit; ++pos_) {
            if (*pos_ == ',') {
                if (found_ < kMaxCommas) commas_[found_++] = pos_;
            } else if (*pos_ == '\r') {
                return true;
            }
        }
        return false;
    }

    const char* begin_;
    const char* end_;
    const char* pos_;
    int found_ = 0;
    const char* commas_[kMaxCommas] = {};
};

}  // namespace tenmari
