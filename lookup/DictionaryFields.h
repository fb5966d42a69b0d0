#pragma once
// How a dictionary line is cut into its 15 fields.

#include <array>
#include <string>
#include <string_view>

namespace tenmari::fields {

inline constexpr int kCount = 15;
inline constexpr int kOldCode = 1;       // old postal code, 5 bytes ("100  ")
inline constexpr int kCode = 2;          // 7-digit postal code
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

// The quick cut of a common line: its first `count` fields (count <= 15)
// found from bit masks of its first 128 bytes, with no look at a byte after.
// Fills raw[i], and bit i of `plain` as cutWithoutCr does, only for the fields
// whose bit is set in `wanted`; the other entries are left unspecified.
// Returns false, leaving everything unspecified, when the line must be cut
// the other way: it is 64 bytes long or shorter, its first 128 bytes hold fewer
// than `count` commas, a CR comes before the last of them, or the processor
// lacks AVX2 and a fast BMI2.
bool cutQuick(std::string_view line, std::array<std::string_view, kCount>& raw, int count, unsigned wanted,
              unsigned& plain);

// The value of a raw field: empty unless it starts with a double quote; the
// text up to the closing quote with "" read as one quote; without a closing
// quote, that text less its last byte. Uses `scratch` only when it must unescape.
std::string_view unquote(std::string_view raw, std::string& scratch);

// Field `index` (0..14) of a line, unquoted.
std::string GetField(std::string_view line, int index);

}  // namespace tenmari::fields
