#pragma once
// Batch conversion for tenmari-lookup: many queries answered in one pass
// over a dictionary. The queries are held in a table; each record of the
// dictionary is offered to it once, in file order.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tenmari::batch {

// ---------------------------------------------------------------- input lines

inline constexpr std::size_t kMaxLineBytes = 4096;

struct InputError {
    std::size_t line;     // from 1; 0 when the error names no line
    std::string message;  // without the line number
};

// Cuts UTF-8 text into lines: LF or CR LF ends a line, a byte-order mark at the
// start is skipped, a last line without LF still counts and an LF at the end adds
// no empty line. A line over kMaxLineBytes, a line that is not UTF-8 and a NUL
// byte are errors naming the line.
std::optional<InputError> splitLines(std::string_view text, std::vector<std::string_view>& lines);

// ---------------------------------------------------------------- queries

// Postal codes typed the Japanese way: full-width digits become digits and
// the dashes that stand for a hyphen (－ − ‐ ー) become "-". UTF-8 in and out.
std::string asciiDigitsAndHyphens(std::string_view utf8);

// One answer: a record's postal code and address text (code page 932).
struct Answer {
    std::string code;
    std::string address;
};

// The queries of one batch, each distinct query once. Answers are collected per
// distinct query; `slot(k)` gives the distinct query of input line k.
class QueryTable {
public:
    enum class Kind { code, address };
    QueryTable(Kind kind, bool all) : kind_(kind), all_(all) {}

    // Adds the query of the next input line, already in code page 932 and, for
    // a code, with its first hyphen removed. An empty query (or one that cannot
    // be converted: pass nullopt) has no answer.
    void add(std::optional<std::string> query);

    // A record of the dictionary, in file order.
    void offer(std::string_view code, std::string_view address);

    // Queries that were given to answer otherwise (old 3- and 5-digit codes):
    // the distinct queries with their slots.
    std::vector<std::pair<std::string, std::size_t>> oldCodes() const;
    void answerOldCode(std::size_t slot, Answer answer);

    std::size_t lines() const { return lineSlot_.size(); }
    // The answers to input line k (empty when it has none).
    const std::vector<Answer>& answers(std::size_t line) const;

    // Call once after the last add(), before the first offer().
    void seal();

private:
    struct Slot {
        std::string query;
        std::size_t bestLength = 0;
        bool answered = false;
        std::vector<Answer> answers;
    };
    void take(Slot& s, std::string_view code, std::string_view address, std::size_t length);

    Kind kind_;
    bool all_;
    std::vector<Slot> slots_;
    std::vector<std::size_t> lineSlot_;  // npos: no answer possible
    std::unordered_map<std::string, std::size_t> index_;
    // Codes of 7 ASCII digits as numbers, the common case: cheaper to look up.
    std::unordered_map<std::uint32_t, std::size_t> digits_;
    std::vector<std::size_t> sorted_;    // address slots, by query bytes
    std::size_t shortest_ = 0;           // shortest address query
};

// The address text as it takes part in address matching: cut before its first
// "（" (code page 932 bytes 0x81 0x69, found on character boundaries).
std::string_view cutAtBracket(std::string_view cp932);

// ---------------------------------------------------------------- readings

// Half-width katakana (U+FF61..U+FF9F) in UTF-8 text become full-width, a voiced
// or semi-voiced mark joined to the kana before it where one character exists
// for the pair (ｶﾞ → ガ, ﾊﾟ → パ, ｳﾞ → ヴ). Everything else is copied as it is.
std::string fullWidthKana(std::string_view utf8);

}  // namespace tenmari::batch
