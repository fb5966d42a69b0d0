#pragma once
// The rules by which a query meets a record, each written once: how a query
// is made ready (the hyphen, the old code's padding), where a town area's
// note begins, and how Japan Post's split runs of lines are told. Code page
// 932 bytes in and out; nothing here reads a file.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "Cp932.h"  // charSizeAt

namespace tenmari {

enum TPostOption {
    poptAll = 0,   // results and address keys include the prefecture
    poptPart = 1,  // they leave it out
};

// "以下に掲載がない場合": the record for the rest of a municipality; an
// address text leaves such a town area out.
inline constexpr std::string_view kNotListed =
    "\x88\xc8\x89\xba\x82\xc9\x8c\x66\x8d\xda\x82\xaa\x82\xc8\x82\xa2\x8f\xea\x8d\x87";

// "（" and "）": a town area's note is bracketed by them.
inline constexpr std::string_view kOpenBracket = "\x81\x69";
inline constexpr std::string_view kCloseBracket = "\x81\x6a";

// Where the note of a town area (or of an address text) begins: its first
// "（" found character by character, never a trail byte 0x81 followed by a
// lead byte 0x69 of the next character. npos when there is none.
inline std::size_t noteStart(std::string_view cp932) {
    // The common text holds no symbol at all.
    if (cp932.empty() || std::memchr(cp932.data(), 0x81, cp932.size()) == nullptr) return std::string_view::npos;
    for (std::size_t i = 0; i < cp932.size();) {
        if (cp932.compare(i, kOpenBracket.size(), kOpenBracket) == 0) return i;
        i += charSizeAt(cp932, i);
    }
    return std::string_view::npos;
}
// The text before its note: the one cut of an address before "（".
inline std::string_view cutBeforeNote(std::string_view cp932) { return cp932.substr(0, noteStart(cp932)); }
// A reading's note: half-width text, where a "(" byte is never half of a character.
inline std::string_view cutReadingBeforeNote(std::string_view reading) { return reading.substr(0, reading.find('(')); }

// A code query without its first hyphen ("100-0001" → "1000001"), in
// `storage` when it had to change.
inline std::string_view withoutFirstHyphen(std::string_view query, std::string& storage) {
    const std::size_t pos = query.find('-');
    if (pos == std::string_view::npos) return query;
    storage.assign(query.substr(0, pos));
    storage.append(query.substr(pos + 1));
    return storage;
}
// Whether a code query of this length asks for an old code (3 or 5 digits).
inline bool isOldCode(std::string_view query) { return query.size() == 3 || query.size() == 5; }
// An old code as field 1 holds it: the digits and blanks, 5 bytes.
inline std::string oldCodeField(std::string_view query) {
    std::string out(query.substr(0, 5));
    out.resize(5, ' ');
    return out;
}

// Opening minus closing brackets ("（", "）") in a text, on character boundaries.
inline int bracketBalance(std::string_view cp932) {
    int balance = 0;
    for (std::size_t i = 0; i < cp932.size();) {
        if (cp932[i] == '\x81' && i + 1 < cp932.size()) {
            if (cp932[i + 1] == '\x69') ++balance;
            if (cp932[i + 1] == '\x6a') --balance;
        }
        i += charSizeAt(cp932, i);
    }
    return balance;
}
// Whether the bytes of "（" or "）" occur in a line at all (a quick no).
inline bool mayHoldBrackets(std::string_view line) {
    for (const char *p = line.data(), *end = p + line.size();
         (p = static_cast<const char*>(std::memchr(p, '\x81', static_cast<std::size_t>(end - p)))) != nullptr; ++p) {
        if (p + 1 < end && (p[1] == '\x69' || p[1] == '\x6a')) return true;
    }
    return false;
}

// Japan Post's split runs: a line whose town area opens "（" without closing
// it is carried on by the following lines of the same code until it closes.
class SplitRuns {
public:
    bool open() const { return open_; }
    // Whether line `line` (every line numbered from 1 in file order) carries
    // on the run of the line before it.
    bool continues(std::uint64_t line, std::string_view code) const {
        return open_ && line == openLine_ + 1 && code == openCode_;
    }
    // The line's part in the runs, after continues() told its role;
    // `balance` is bracketBalance of its town area.
    void see(std::uint64_t line, std::string_view code, int balance, bool continued) {
        if (continued) {
            depth_ += balance;
            openLine_ = line;
            open_ = depth_ > 0;
            return;
        }
        open_ = balance > 0;
        if (open_) {
            depth_ = balance;
            openLine_ = line;
            openCode_.assign(code);
        }
    }

private:
    bool open_ = false;
    int depth_ = 0;
    std::uint64_t openLine_ = 0;
    std::string openCode_;
};

}  // namespace tenmari
