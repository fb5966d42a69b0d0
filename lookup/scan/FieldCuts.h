#pragma once
// The quick cuts of a dictionary line: the same fields as fields::cut gives,
// found from bit masks of its commas, quotes and CRs.

#include <array>
#include <cstring>
#include <optional>
#include <string_view>

#include "DictionaryFields.h"

namespace tenmari::fields {

// The same cut on a line that may hold CRs, as long as none of them falls
// within the fields cut: returns false, leaving `raw` unspecified, when one
// does (then cut the line with its CRs removed). Bit i of `plain`, when
// given, is set for a raw field that is a quote, text without quotes, and a
// quote: its value is the text between.
// `form` picks how the bytes are gone through (the fastest this processor
// has: 64 at a time with AVX2; 16 at a time; or one at a time); all give the
// same answer.
enum class CutForm { best, sse2, bytes };
bool cutWithoutCr(std::string_view line, std::array<std::string_view, kCount>& raw, int count,
                  unsigned* plain = nullptr, CutForm form = CutForm::best);

// The fields a lookup reads (1, 2, 6, 7 and 8) of a common line, found at
// once from bit masks of its first 128 bytes with no look at a byte after.
// Fills those entries of `raw` (the others are left alone) and their bits of
// `plain` as cutWithoutCr does. Returns false, leaving them unspecified, when
// the line must be cut the other way: it is 64 bytes long or shorter, its
// first 128 bytes hold fewer than 9 commas, a CR comes before the ninth, or
// the processor lacks AVX2 and a fast BMI2.
inline constexpr unsigned kReadFields =
    1u << kOldCode | 1u << kCode | 1u << kPrefecture | 1u << kMunicipality | 1u << kTownArea;
bool cutRead(std::string_view line, std::array<std::string_view, kCount>& raw, unsigned& plain);

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

}  // namespace tenmari::fields
