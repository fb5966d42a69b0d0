#pragma once
// How a dictionary line is cut into its 15 fields.

#include <array>
#include <string>
#include <string_view>

namespace tenmari::fields {

inline constexpr int kCount = 15;
inline constexpr int kOldCode = 1;       // old postal code, 5 bytes ("100  ")
inline constexpr int kCode = 2;          // 7-digit postal code
inline constexpr int kPrefectureReading = 3;    // half-width katakana
inline constexpr int kMunicipalityReading = 4;  // half-width katakana
inline constexpr int kTownAreaReading = 5;      // half-width katakana
inline constexpr int kPrefecture = 6;    // kanji
inline constexpr int kMunicipality = 7;  // kanji
inline constexpr int kTownArea = 8;      // kanji

// Cuts at every comma (quotes do not protect one) into 15 raw fields; missing
// fields are empty and text after the fifteenth comma is ignored. Only the
// first `count` fields are cut.
void cut(std::string_view line, std::array<std::string_view, kCount>& raw, int count = kCount);

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
inline constexpr unsigned kReadFields = 1u << kOldCode | 1u << kCode | 1u << kPrefecture | 1u << kMunicipality |
                                        1u << kTownArea;
bool cutRead(std::string_view line, std::array<std::string_view, kCount>& raw, unsigned& plain);

// The value of a raw field: empty unless it starts with a double quote; the
// text up to the closing quote with "" read as one quote; without a closing
// quote, that text less its last byte. Uses `scratch` only when it must unescape.
std::string_view unquote(std::string_view raw, std::string& scratch);

// Field `index` (0..14) of a line, unquoted.
std::string GetField(std::string_view line, int index);

}  // namespace tenmari::fields
