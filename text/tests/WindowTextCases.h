#pragma once
// One table of single characters and the code page 932 bytes the window
// stores, measures and limits them as. The same table is checked against the
// conversion itself, the validating edit's byte limit and the search panel's
// byte rules, so that the three can never count a character differently.

#include <string_view>

namespace tenmari::testing {

struct WindowTextCase {
    const char* what;
    std::string_view utf8;   // one character
    std::string_view bytes;  // what it is in code page 932
    bool exact;              // false: it took the stand-in, no dictionary text can match it
};

inline constexpr WindowTextCase kWindowTextCases[] = {
    {"ASCII", "a", "a", true},
    {"half-width katakana", "ｱ", "\xB1", true},
    {"hiragana", "あ", "\x82\xA0", true},
    {"the postal mark", "〒", "\x81\xA7", true},
    {"Windows' wave dash", "～", "\x81\x60", true},
    {"the yen sign is the backslash byte", "¥", "\\", true},
    {"the full-width question mark itself", "？", "\x81\x48", true},
    {"an emoji has no form", "😀", "\x81\x48", false},
    {"a Latin letter without a form", "é", "\x81\x48", false},
    {"Hangul has no form", "한", "\x81\x48", false},
};

}  // namespace tenmari::testing
