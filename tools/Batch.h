#pragma once
// Batch conversion for tenmari-lookup: many queries answered in one pass
// over a dictionary. The queries are held in a table; each record of the
// dictionary is offered to it once, in file order.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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
// Everything lives in a few flat arrays: the query bytes in one arena, the
// answers' bytes in another, codes in an open-addressing table keyed by their
// 7-digit number, addresses in a table sorted by their bytes. A record costs
// one probe, and only an answer copies bytes.
class QueryTable {
public:
    enum class Kind { code, address };
    QueryTable(Kind kind, bool all) : kind_(kind), all_(all) {}

    // Adds the query of the next input line, already in code page 932 and, for
    // a code, with its first hyphen removed. An empty query (or one that cannot
    // be converted: pass nullopt) has no answer.
    void add(std::optional<std::string_view> query);

    // A record of the dictionary, in file order.
    void offer(std::string_view code, std::string_view address);

    // Queries that were given to answer otherwise (old 3- and 5-digit codes):
    // the distinct queries with their slots.
    std::vector<std::pair<std::string, std::size_t>> oldCodes() const;
    void answerOldCode(std::size_t slot, std::string_view code, std::string_view address);

    std::size_t lines() const { return lineSlot_.size(); }
    // The answers to input line k (none when it has none), as copies.
    std::vector<Answer> answers(std::size_t line) const;
    // The same without copies: f(code, address) for each, in file order.
    template <class F>
    void forEachAnswer(std::size_t line, F&& f) const {
        const std::uint32_t k = lineSlot_[line];
        if (k == kNone) return;
        for (std::uint32_t r = slots_[k].first; r != kNone; r = refs_[r].next) {
            const Ref& a = refs_[r];
            f(std::string_view(texts_).substr(a.text, a.codeLength),
              std::string_view(texts_).substr(a.text + a.codeLength, a.addressLength));
        }
    }
    bool answered(std::size_t line) const { return lineSlot_[line] != kNone && slots_[lineSlot_[line]].first != kNone; }

    // Call once after the last add(), before the first offer().
    void seal();

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    struct Ref {  // an answer: its bytes in texts_, the next answer of its slot
        std::size_t text;
        std::uint32_t codeLength;
        std::uint32_t addressLength;
        std::uint32_t next;
    };
    struct Slot {
        std::size_t query;  // in queries_
        std::uint32_t queryLength;
        std::uint32_t first = kNone;  // answers, a list through Ref::next
        std::uint32_t last = kNone;
        std::size_t bestLength = 0;
    };
    std::string_view query(const Slot& s) const { return std::string_view(queries_).substr(s.query, s.queryLength); }
    void take(std::uint32_t slot, std::string_view code, std::string_view address, std::size_t length);
    std::uint32_t findQuery(std::string_view q, std::size_t hash) const;
    void growQueryIndex();

    Kind kind_;
    bool all_;
    std::string queries_;
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> lineSlot_;  // kNone: no answer possible
    // Distinct queries by their bytes: open addressing, slot + 1, 0 empty.
    std::vector<std::uint32_t> queryIndex_;
    std::size_t otherCodes_ = 0;  // code queries that are not 7 ASCII digits
    // 7-digit codes: open addressing on the number; number + 1, 0 empty.
    std::vector<std::uint32_t> digitKeys_;
    std::vector<std::uint32_t> digitSlots_;
    // Address queries sorted by their bytes, laid out in that order.
    std::string sortedText_;
    std::vector<std::string_view> sorted_;
    std::vector<std::uint32_t> sortedSlot_;
    std::string texts_;
    std::vector<Ref> refs_;
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
