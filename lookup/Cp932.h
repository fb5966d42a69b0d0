#pragma once
// Conversion between UTF-8 and Windows code page 932, the encoding of the
// postal dictionaries. 0x8160 is U+FF5E (～) and 0x817C is U+FF0D (－), as
// on Windows; text that cannot be converted is an error, never dropped.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tenmari {

class EncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws EncodingError naming the byte offset of the first unconvertible input.
std::string utf8ToCp932(std::string_view utf8);
std::string cp932ToUtf8(std::string_view cp932);

// cp932ToUtf8 for bulk output, through tables of iconv's own conversions
// (the single bytes at once, a lead byte's characters when first met): writes
// the UTF-8 text of `cp932` from `out` on and returns its end. `out` needs
// room for utf8Room(cp932.size()) bytes. The text and any EncodingError are
// those cp932ToUtf8 gives: what the tables do not hold goes to it.
char* cp932ToUtf8(std::string_view cp932, char* out);
constexpr std::size_t utf8Room(std::size_t cp932Bytes) { return 3 * cp932Bytes + 1; }

// Byte length of a UTF-8 text once converted to code page 932: a full-width
// character counts two, ASCII and half-width katakana one. Throws like above.
std::size_t cp932Length(std::string_view utf8);

}  // namespace tenmari
