#pragma once
// Windows code page 932, the encoding of the postal dictionaries and the unit
// in which the program measures text: its lead and trail bytes, conversion
// from and to UTF-8 (through iconv's "CP932": 0x8160 is U+FF5E (～) and
// 0x817C is U+FF0D (－), as on Windows), the one table that turns its bytes
// into characters, and the length of a text in its bytes. No Qt here; see
// AnsiText.h for QString.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tenmari {

class EncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------- bytes

// The first byte of a two-byte character.
constexpr bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// A byte that may follow a lead byte.
constexpr bool isTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The bytes of the character at `at` (< s.size()): 2 for a lead byte with a
// byte after it, else 1. Stepping by it never takes the second half of a
// character for a character of its own.
constexpr std::size_t charSizeAt(std::string_view s, std::size_t at) {
    return isLeadByte(static_cast<unsigned char>(s[at])) && at + 1 < s.size() ? 2 : 1;
}

// ---------------------------------------------------------------- strict conversion

// Throws EncodingError naming the byte offset of the first unconvertible
// input: nothing is ever substituted or dropped silently.
std::string utf8ToCp932(std::string_view utf8);
std::string cp932ToUtf8(std::string_view cp932);

// cp932ToUtf8 for bulk output, through the decoding table: writes the UTF-8
// text of `cp932` from `out` on and returns its end. `out` needs room for
// utf8Room(cp932.size()) bytes. The text and any EncodingError are those
// cp932ToUtf8 gives: what the table does not hold goes to it.
char* cp932ToUtf8(std::string_view cp932, char* out);
constexpr std::size_t utf8Room(std::size_t cp932Bytes) { return 3 * cp932Bytes + 1; }

// ---------------------------------------------------------------- display

// The character U+FFFD stands for every byte, or pair of bytes, that is not
// code page 932 text (a damaged file), so that the rest of the text is kept.
inline constexpr char16_t kReplacementChar = 0xFFFD;

// The UTF-16 text of `cp932` through the decoding table, written from `out`
// on; at most cp932.size() units. Returns the end. Never throws.
char16_t* cp932ToUtf16(std::string_view cp932, char16_t* out);

// ---------------------------------------------------------------- the window's text

// A character without a code page 932 form (an emoji, say) stands as the
// full-width question mark "？", two bytes: the window's text is stored,
// measured and limited as exactly these bytes, and measuring never fails.
// A text that needed the stand-in is not exact: it cannot match anything in a
// dictionary and is never looked up. The yen sign U+00A5 is the byte 0x5C,
// as on Japanese systems.
inline constexpr std::string_view kNoFormStandIn = "\x81\x48";

struct Cp932Form {
    std::string bytes;
    bool exact = true;  // false when a character took the stand-in
};

// The text in code page 932 under that rule. Bytes that are not UTF-8 take the
// stand-in one by one, like characters without a form.
Cp932Form toCp932Form(std::string_view utf8);

// Byte length of a UTF-8 text in code page 932: a full-width character counts
// two, ASCII and half-width katakana one, a character without a form two (the
// stand-in). toCp932Form(utf8).bytes.size().
std::size_t cp932Length(std::string_view utf8);

}  // namespace tenmari
