#pragma once
// The dictionary rules read the slow and obvious way, byte by byte, with no
// shortcut: what the lookup's fast paths are checked against, by the tests
// and by the fuzz harnesses. Independent of the lookup's own code.

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "PostReference.h"  // TPostOption

namespace tenmari::reference {

// Every line of a file's bytes: the data end at the first 0x1A, a line ends
// at LF, every CR is dropped, and a last line without LF still counts.
std::vector<std::string> lines(std::string_view bytes);
// The same for a file on disk.
std::vector<std::string> linesOfFile(const std::string& path);

// One raw line's text: every CR removed.
std::string lineText(std::string_view raw);

// The 15 fields of a line: cut at every comma, then unquoted.
std::array<std::string, 15> fields(std::string_view line);
// Field `index` (0..14); empty for any other index.
std::string field(std::string_view line, int index);

// The text before its first "（" (0x81 0x69) taken as a character, never as
// the second byte of another one followed by an "i"; all of it without one.
std::string cutAtOpenParen(std::string_view text);

// Where the quick look of the line scan puts field `field` (counting from
// 1: after that many commas) of the line starting at `p`: nullptr when a CR
// or LF or `end` comes first. `lf` is the first LF, or `end`.
struct Scan {
    const char* field;
    const char* lf;
};
Scan scan(const char* p, const char* end, int field);

// The three queries over already read lines. Lists are (addresses, codes).
using Lists = std::pair<std::vector<std::string>, std::vector<std::string>>;
std::string address(const std::string& line, TPostOption pick);
Lists prefixQuery(const std::vector<std::string>& lines, std::string_view query, TPostOption pick);
Lists addressQuery(const std::vector<std::string>& lines, std::string_view query, TPostOption pick);
// The address of the first match; `found` tells an empty address from no match.
std::string codeQuery(const std::vector<std::string>& lines, std::string_view query, TPostOption pick, bool& found);

// Bytes as a reader can see them: printable ASCII as is, the rest as \xNN.
std::string shown(std::string_view bytes);

}  // namespace tenmari::reference
