#pragma once
// Strict decoding of one UTF-8 character: no overlong forms, no surrogates,
// nothing above U+10FFFF.

#include <cstddef>
#include <optional>
#include <string_view>

namespace tenmari::utf8 {

struct Char {
    char32_t cp;
    std::size_t length;
};

// The character starting at `at` (< s.size()), or nullopt when the bytes
// there begin no valid UTF-8 character.
inline std::optional<Char> decode(std::string_view s, std::size_t at) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[at + i]); };
    const unsigned char c = b(0);
    if (c < 0x80) return Char{c, 1};
    std::size_t length;
    char32_t cp;
    char32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2, cp = c & 0x1Fu, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3, cp = c & 0x0Fu, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4, cp = c & 0x07u, min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (at + length > s.size()) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        if ((b(i) & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (b(i) & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    return Char{cp, length};
}

// Whether all of `s` is valid UTF-8.
inline bool valid(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto ch = decode(s, i);
        if (!ch) return false;
        i += ch->length;
    }
    return true;
}

// How many bytes at the start of a file opensAsText looks at.
inline constexpr std::size_t kOpeningLook = 4096;

// Whether a file whose first bytes are `head` (at most kOpeningLook) is UTF-8
// text rather than code page 932: it opens with a UTF-8 byte-order mark, or its
// first line holds bytes above ASCII and every one of them is part of a valid
// UTF-8 character. Code page 932 text of kanji never reads so.
inline bool opensAsText(std::string_view head) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") return true;
    if (const auto lf = head.find('\n'); lf != std::string_view::npos) {
        head = head.substr(0, lf);
    } else if (head.size() == kOpeningLook) {
        // A character may be cut where the look ends.
        while (!head.empty() && (static_cast<unsigned char>(head.back()) & 0xC0) == 0x80) head.remove_suffix(1);
        if (!head.empty() && static_cast<unsigned char>(head.back()) >= 0xC0) head.remove_suffix(1);
    }
    bool high = false;
    for (const char c : head) high = high || static_cast<unsigned char>(c) >= 0x80;
    return high && valid(head);
}

}  // namespace tenmari::utf8
