#pragma once
// Batch conversion for tenmari-lookup: many queries answered in one pass
// over a dictionary. The queries are held in a table; each record of the
// dictionary is offered to it once, in file order.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FlatArray.h"
#include "MatchRules.h"

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
std::optional<InputError> splitLines(std::string_view text, const std::function<void(std::string_view)>& each);
template <typename Lines>
std::optional<InputError> splitLines(std::string_view text, Lines& lines) {
    return splitLines(text, [&](std::string_view line) { lines.push_back(line); });
}

// ---------------------------------------------------------------- queries

// Postal codes typed the Japanese way: full-width digits become digits and
// the dashes that stand for a hyphen (－ − ‐ ー) become "-". UTF-8 in and out.
std::string asciiDigitsAndHyphens(std::string_view utf8);

// One answer: a record's postal code, address text and reading (code page 932).
struct Answer {
    std::string code;
    std::string address;
    std::string reading;
};

// The queries of one batch, each distinct query once. Answers are collected per
// distinct query (a slot); input line k asks the query of its slot.
// Everything lives in a few flat arrays: the query bytes in one arena, the
// answers' bytes in another, 7-digit codes in an open-addressing table keyed
// by their number, addresses in a table sorted by their bytes. A record costs
// one probe, and only an answer copies bytes.
class QueryTable {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    enum class Kind { code, address };
    QueryTable(Kind kind, bool all) : kind_(kind), all_(all) {}

    // Adds the query of the next input line, already in code page 932 and, for
    // a code, with its first hyphen removed. An empty query (or one that cannot
    // be converted: pass nullopt) has no answer.
    void add(std::optional<std::string_view> query);
    // The same for the queries of several lines at once, each of them a
    // query: their places in the table are asked for before they are added.
    void addAll(const std::vector<std::string_view>& queries);
    // Call once after the last add(), before the first record.
    void seal();

    // ---- codes: the slot a record's code answers, or kNone
    // A code of 7 ASCII digits (the common record).
    std::uint32_t slotOfDigits(std::string_view code) const;
    // Any code field, as the line's cut gives it.
    std::uint32_t slotOfCode(std::string_view code) const;
    // Old 3- and 5-digit codes are compared with field 1, as the single search
    // does: the query and two blanks, cut to 5 bytes.
    std::uint32_t slotOfOldCode(std::string_view oldCode) const;
    bool asksOldCodes() const { return !oldCodes_.empty(); }

    // ---- addresses: f(slot) for every query that begins with `key`, the
    // record's address text cut before its first "（". The first
    // `sharedLength` bytes of the key are likely the same as the last record's
    // (its prefecture and municipality): their part of the table is kept.
    template <typename F>
    void forEachBeginning(std::string_view key, std::size_t sharedLength, F&& f);

    // Whether a record whose key is `length` bytes long (0 for codes) would
    // change the answers of `slot`.
    bool wants(std::uint32_t slot, std::size_t length = 0) const {
        const Slot& s = slots_[slot];
        return s.first == kNone || length > s.bestLength || (all_ && length == s.bestLength);
    }
    // Answers `slot` with a record (its line in the file, for messages).
    void take(std::uint32_t slot, std::string_view code, std::string_view address, std::string_view reading,
              std::uint64_t line, std::size_t length = 0);
    // A record of an address batch by its code and address text alone.
    void offer(std::string_view code, std::string_view address);

    std::size_t lines() const { return lineSlot_.size(); }
    bool answered(std::size_t line) const { return lineSlot_[line] != kNone && slots_[lineSlot_[line]].first != kNone; }
    // The answers to input line k (none when it has none), as copies.
    std::vector<Answer> answers(std::size_t line) const;

    // f(code, address, reading, line in the dictionary) for each answer of
    // input line k, in file order, without copies.
    template <typename F>
    void forEachAnswer(std::size_t line, F&& f) const {
        const std::uint32_t k = lineSlot_[line];
        if (k == kNone) return;
        for (std::uint32_t r = slots_[k].first; r != kNone; r = refs_[r].next) {
            const Ref& a = refs_[r];
            const std::string_view t(texts_.data() + a.text, a.codeLength + a.addressLength + a.readingLength);
            f(t.substr(0, a.codeLength), t.substr(a.codeLength, a.addressLength),
              t.substr(a.codeLength + a.addressLength), a.line);
        }
    }
    // Room for the queries of `lines` input lines, told before the first add().
    void expect(std::size_t lines);
    // Asks the place of a code of 7 digits in the table to be fetched ahead.
    void prefetchCode(std::string_view code) const {
        if (code.size() != 7 || digits_.empty()) return;
        std::uint32_t n = 0;
        for (const char c : code) n = n * 10 + static_cast<std::uint32_t>(static_cast<unsigned char>(c) - '0');
        __builtin_prefetch(&digits_[hashNumber(n) & (digits_.size() - 1)]);
    }
    // Asks the memory of input line k's answer to be fetched ahead of its use.
    void prefetch(std::size_t line, int step) const {
        const std::uint32_t k = lineSlot_[line];
        if (k == kNone) return;
        if (step == 0) return __builtin_prefetch(&slots_[k]);
        const std::uint32_t r = slots_[k].first;
        if (r == kNone) return;
        if (step == 1) return __builtin_prefetch(&refs_[r]);
        __builtin_prefetch(texts_.data() + refs_[r].text);
    }

private:
    struct Ref {  // an answer: its bytes in texts_, the next answer of its slot
        std::uint64_t text;
        std::uint32_t codeLength;
        std::uint32_t addressLength;
        std::uint32_t readingLength;
        std::uint32_t next;
        std::uint64_t line;
    };
    struct Slot {
        std::uint64_t query;  // in queries_ (a 7-digit code keeps none: digits_ holds it)
        std::uint32_t queryLength;
        std::uint32_t first;  // answers, a list through Ref::next
        std::uint32_t last;
        std::uint32_t bestLength;
    };
    std::string_view query(const Slot& s) const { return {queries_.data() + s.query, s.queryLength}; }
    std::uint32_t findQuery(std::string_view q, std::size_t hash) const;
    void addBytes(std::string_view q, std::size_t hash);
    void growQueryIndex();
    std::uint32_t findDigits(std::uint32_t number) const;
    static std::size_t hashNumber(std::uint32_t n) {
        return static_cast<std::size_t>((n * 0x9E3779B97F4A7C15ull) >> 20);
    }
    void growDigits();

    Kind kind_;
    bool all_;
    FlatArray<char> queries_;
    FlatArray<Slot> slots_;
    FlatArray<std::uint32_t> lineSlot_;  // kNone: no answer possible
    // Distinct queries by their bytes: open addressing, the hash's high 32 bits
    // << 32 | slot + 1, 0 empty (the hash spares comparing bytes that differ).
    FlatArray<std::uint64_t> queryIndex_;
    std::size_t otherCodes_ = 0;  // code queries that are neither 7 digits nor old codes
    // 7-digit codes: open addressing on the number; (number + 1) << 32 | slot, 0 empty.
    FlatArray<std::uint64_t> digits_;
    std::size_t digitCount_ = 0;
    // Old codes as field 1 holds them (5 bytes), sorted, with their slots.
    std::vector<std::pair<std::string, std::uint32_t>> oldCodes_;
    // Address queries sorted by their bytes, laid out in that order.
    FlatArray<char> sortedText_;
    FlatArray<std::string_view> sorted_;
    FlatArray<std::uint32_t> sortedSlot_;
    // The part of sorted_ that begins with the last shared key piece.
    std::string sharedKey_;
    std::size_t sharedBegin_ = 0, sharedEnd_ = 0;
    bool sharedKnown_ = false;
    FlatArray<char> texts_;
    FlatArray<Ref> refs_;
};

template <typename F>
void QueryTable::forEachBeginning(std::string_view key, std::size_t sharedLength, F&& f) {
    if (key.empty() || sorted_.empty()) return;
    const std::string_view shared = key.substr(0, std::min(sharedLength, key.size()));
    if (!sharedKnown_ || shared != sharedKey_) {
        const auto lo = std::lower_bound(sorted_.begin(), sorted_.end(), shared);
        const auto hi =
            std::partition_point(lo, sorted_.end(), [&](std::string_view q) { return q.starts_with(shared); });
        sharedBegin_ = static_cast<std::size_t>(lo - sorted_.begin());
        sharedEnd_ = static_cast<std::size_t>(hi - sorted_.begin());
        sharedKey_.assign(shared);
        sharedKnown_ = true;
    }
    if (sharedBegin_ == sharedEnd_) return;
    const auto end = sorted_.begin() + static_cast<std::ptrdiff_t>(sharedEnd_);
    for (auto it = std::lower_bound(sorted_.begin() + static_cast<std::ptrdiff_t>(sharedBegin_), end, key);
         it != end && it->starts_with(key); ++it) {
        f(sortedSlot_[static_cast<std::size_t>(it - sorted_.begin())]);
    }
}

// ---------------------------------------------------------------- readings

// Half-width katakana (U+FF61..U+FF9F) in UTF-8 text become full-width, a voiced
// or semi-voiced mark joined to the kana before it where one character exists
// for the pair (ｶﾞ → ガ, ﾊﾟ → パ, ｳﾞ → ヴ). Everything else is copied as it is.
std::string fullWidthKana(std::string_view utf8);

// ---------------------------------------------------------------- folding

// What --fold does to an address query before it is matched: half-width
// digits, Latin letters and the space become their full-width forms
// (1 → １, J → Ｊ, " " → "　"), and the hyphen-minus becomes the full-width
// "－" that the nationwide file writes. UTF-8 in and out.
std::string foldToFullWidth(std::string_view utf8);

// ---------------------------------------------------------------- progress

// The progress line on standard error: the lines and the share of the
// dictionary read, shown only on a terminal and only once the work has taken
// a second, redrawn in place at most ten times a second, and wiped at the end.
class Progress {
public:
    using Clock = std::chrono::steady_clock;
    // `show` false (standard error is no terminal): nothing is ever written.
    Progress(bool show, std::uint64_t totalBytes, std::string name, Clock::time_point start,
             std::function<void(std::string_view)> write)
        : show_(show), total_(totalBytes), name_(std::move(name)), start_(start), write_(std::move(write)) {}
    void update(std::uint64_t bytes, std::uint64_t lines, Clock::time_point now);
    void done();

private:
    bool show_;
    std::uint64_t total_;
    std::string name_;
    Clock::time_point start_;
    Clock::time_point last_{};
    bool shown_ = false;
    std::function<void(std::string_view)> write_;
};

}  // namespace tenmari::batch
