#pragma once
// The one form in which an address and the dictionary's names are compared:
// widths folded, separators dropped, kanji variants and "ヶ" replaced by the
// tables' forms, kanji numerals read as decimal digits and the dashes between
// numbers as "-". Code points, so that a position is a character.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tenmari::address {

using Text = std::u32string;
using TextView = std::u32string_view;

// UTF-8 to code points; nullopt when the bytes are not UTF-8.
std::optional<Text> decodeUtf8(std::string_view utf8);
std::string encodeUtf8(TextView text);

// The compared form. With `keepSeparators` the separators stay (a note's
// items are cut at "、").
// With `readNumerals` false, kanji numerals stay as they are written.
Text canonical(TextView text, bool keepSeparators = false, bool readNumerals = true);
inline Text canonical(std::string_view utf8, bool keepSeparators = false, bool readNumerals = true) {
    const auto t = decodeUtf8(utf8);
    return t ? canonical(*t, keepSeparators, readNumerals) : Text();
}

// Kyoto's direction words, longest first, in the compared form.
const std::vector<Text>& kyotoDirections();

// Put between two numbers that a space or comma kept apart.
inline constexpr char32_t kNumberBreak = U'|';

// Hashing for maps keyed by Text that are asked with a TextView.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(TextView t) const { return std::hash<TextView>{}(t); }
};

inline bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// The decimal number at `at` (ASCII digits after canonical()), its value
// held at 999999999 for longer runs; `at` moves past it. nullopt without a digit.
std::optional<std::uint32_t> readNumber(TextView text, std::size_t& at);

}  // namespace tenmari::address
