#pragma once
// How a dictionary line is cut into its 15 fields. The quick cuts that a
// search takes on the common line are in scan/FieldCuts.h.

#include <array>
#include <string>
#include <string_view>

namespace tenmari::fields {

inline constexpr int kCount = 15;
inline constexpr int kOldCode = 1;              // old postal code, 5 bytes ("100  ")
inline constexpr int kCode = 2;                 // 7-digit postal code
inline constexpr int kPrefectureReading = 3;    // half-width katakana
inline constexpr int kMunicipalityReading = 4;  // half-width katakana
inline constexpr int kTownAreaReading = 5;      // half-width katakana
inline constexpr int kPrefecture = 6;           // kanji
inline constexpr int kMunicipality = 7;         // kanji
inline constexpr int kTownArea = 8;             // kanji

// Cuts at every comma (quotes do not protect one) into 15 raw fields; missing
// fields are empty and text after the fifteenth comma is ignored. Only the
// first `count` fields are cut.
void cut(std::string_view line, std::array<std::string_view, kCount>& raw, int count = kCount);

// The value of a raw field: empty unless it starts with a double quote; the
// text up to the closing quote with "" read as one quote; without a closing
// quote, that text less its last byte. Uses `scratch` only when it must unescape.
std::string_view unquote(std::string_view raw, std::string& scratch);

// Field `index` (0..14) of a line, unquoted.
std::string GetField(std::string_view line, int index);

}  // namespace tenmari::fields
