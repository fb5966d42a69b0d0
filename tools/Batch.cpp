#include "Batch.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "Cp932.h"
#include "Utf8.h"

namespace tenmari::batch {

namespace {

// A code of exactly 7 ASCII digits as a number, or nullopt.
std::optional<std::uint32_t> sevenDigits(std::string_view s) {
    if (s.size() != 7) return std::nullopt;
    std::uint32_t n = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return n;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}
}  // namespace

std::optional<InputError> splitLines(std::string_view text, const std::function<void(std::string_view)>& each) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.size() > kMaxLineBytes) {
            return InputError{number, "the line is longer than " + std::to_string(kMaxLineBytes) + " bytes"};
        }
        if (line.find('\0') != std::string_view::npos) return InputError{number, "the line holds a NUL byte"};
        for (std::size_t i = 0; i < line.size();) {
            if (static_cast<unsigned char>(line[i]) < 0x80) {  // ASCII, the common byte
                ++i;
                continue;
            }
            const auto ch = utf8::decode(line, i);
            if (!ch) return InputError{number, "the line is not UTF-8 text (byte " + std::to_string(i + 1) + ")"};
            i += ch->length;
        }
        each(line);
    }
    return std::nullopt;
}

std::string asciiDigitsAndHyphens(std::string_view q) {
    using namespace std::string_view_literals;
    constexpr std::string_view kHyphens[] = {"－"sv, "−"sv, "‐"sv, "ー"sv};
    constexpr std::string_view kZero = "０";  // U+FF10; ０..９ share their first two bytes
    std::string out;
    for (std::size_t i = 0; i < q.size();) {
        const std::string_view rest = q.substr(i);
        if (rest.size() >= 3 && rest.substr(0, 2) == kZero.substr(0, 2) &&
            static_cast<unsigned char>(rest[2]) >= static_cast<unsigned char>(kZero[2]) &&
            static_cast<unsigned char>(rest[2]) <= static_cast<unsigned char>(kZero[2]) + 9) {
            out.push_back(static_cast<char>('0' + (rest[2] - kZero[2])));
            i += 3;
            continue;
        }
        const auto hyphen = std::find_if(std::begin(kHyphens), std::end(kHyphens),
                                         [&](std::string_view h) { return rest.starts_with(h); });
        if (hyphen != std::end(kHyphens)) {
            out.push_back('-');
            i += hyphen->size();
            continue;
        }
        out.push_back(q[i]);
        ++i;
    }
    return out;
}

// ---------------------------------------------------------------- the table

namespace {
// Eight bytes at a time, mixed so that both the low bits (the place) and
// the high ones (the tag) spread.
std::size_t hashBytes(std::string_view s) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        h = (h ^ w) * 0xbf58476d1ce4e5b9ull;
        h ^= h >> 31;
    }
    std::uint64_t w = 0;
    std::memcpy(&w, s.data() + i, s.size() - i);
    h = (h ^ w) * 0x94d049bb133111ebull;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ull;
    return static_cast<std::size_t>(h ^ (h >> 32));
}

// Old-code queries as field 1 holds them: the query and two blanks, 5 bytes.
std::string oldCodeField(std::string_view q) { return (std::string(q) + "  ").substr(0, 5); }
}  // namespace

std::uint32_t QueryTable::findQuery(std::string_view q, std::size_t hash) const {
    const std::size_t mask = queryIndex_.size() - 1;
    const std::uint64_t tag = static_cast<std::uint64_t>(hash) >> 32 << 32;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint64_t e = queryIndex_[i];
        if (e == 0) return static_cast<std::uint32_t>(i);
        if ((e & ~0xFFFFFFFFull) == tag && query(slots_[static_cast<std::uint32_t>(e) - 1]) == q) {
            return static_cast<std::uint32_t>(i);
        }
    }
}

void QueryTable::growQueryIndex() {
    FlatArray<std::uint64_t> old;
    old.resize(std::max<std::size_t>(64, queryIndex_.size() * 2));  // fresh memory: every entry 0
    old.swap(queryIndex_);
    for (const std::uint64_t e : old) {
        if (e == 0) continue;
        const std::string_view q = query(slots_[static_cast<std::uint32_t>(e) - 1]);
        queryIndex_[findQuery(q, hashBytes(q))] = e;
    }
}

// The entry of `number` in digits_, or of the empty place where it would go.
std::uint32_t QueryTable::findDigits(std::uint32_t number) const {
    const std::size_t mask = digits_.size() - 1;
    const std::uint64_t key = static_cast<std::uint64_t>(number) + 1;
    for (std::size_t i = hashNumber(number) & mask;; i = (i + 1) & mask) {
        const std::uint64_t e = digits_[i];
        if (e == 0 || (e >> 32) == key) return static_cast<std::uint32_t>(i);
    }
}

void QueryTable::growDigits() {
    FlatArray<std::uint64_t> old;
    old.resize(std::max<std::size_t>(64, digits_.size() * 2));  // fresh memory: every entry 0
    old.swap(digits_);
    for (const std::uint64_t e : old) {
        if (e != 0) digits_[findDigits(static_cast<std::uint32_t>((e >> 32) - 1))] = e;
    }
}

void QueryTable::add(std::optional<std::string_view> q) {
    if (!q || q->empty()) {
        lineSlot_.push_back(kNone);
        return;
    }
    if (kind_ == Kind::code) {
        if (const auto n = sevenDigits(*q)) {
            if ((digitCount_ + 1) * 4 > digits_.size() * 3) growDigits();
            std::uint64_t& e = digits_[findDigits(*n)];
            if (e == 0) {
                e = (static_cast<std::uint64_t>(*n) + 1) << 32 | slots_.size();
                slots_.push_back(Slot{0, 7, kNone, kNone, 0});
                ++digitCount_;
            }
            lineSlot_.push_back(static_cast<std::uint32_t>(e));
            return;
        }
    }
    addBytes(*q, hashBytes(*q));
}

void QueryTable::addBytes(std::string_view q, std::size_t hash) {
    if ((slots_.size() + 1) * 2 > queryIndex_.size()) growQueryIndex();
    const std::size_t at = findQuery(q, hash);
    if (queryIndex_[at] == 0) {
        slots_.push_back(Slot{queries_.size(), static_cast<std::uint32_t>(q.size()), kNone, kNone, 0});
        queries_.append(q.data(), q.size());
        queryIndex_[at] = static_cast<std::uint64_t>(hash) >> 32 << 32 | slots_.size();
    }
    lineSlot_.push_back(static_cast<std::uint32_t>(queryIndex_[at]) - 1);
}

void QueryTable::addAll(const std::vector<std::string_view>& queries) {
    if (kind_ == Kind::code || queryIndex_.empty()) {
        for (const std::string_view q : queries) add(q);
        return;
    }
    std::vector<std::size_t> hashes;
    hashes.reserve(queries.size());
    for (const std::string_view q : queries) {
        hashes.push_back(hashBytes(q));
        __builtin_prefetch(&queryIndex_[hashes.back() & (queryIndex_.size() - 1)]);
    }
    for (std::size_t k = 0; k < queries.size(); ++k) {
        if (queries[k].empty()) {
            lineSlot_.push_back(kNone);
        } else {
            addBytes(queries[k], hashes[k]);
        }
    }
}

void QueryTable::seal() {
    if (kind_ == Kind::code) {
        if (digits_.empty()) growDigits();
        if (queryIndex_.empty()) growQueryIndex();
        for (const std::uint64_t e : queryIndex_) {
            if (e == 0) continue;
            const auto k = static_cast<std::uint32_t>(e) - 1;
            const std::string_view q = query(slots_[k]);
            if (q.size() == 3 || q.size() == 5) {
                oldCodes_.emplace_back(oldCodeField(q), k);
            } else {
                ++otherCodes_;
            }
        }
        std::sort(oldCodes_.begin(), oldCodes_.end());
        return;
    }
    // Sorted by their first 16 bytes as two numbers (most comparisons end
    // there), the rest compared only between equal beginnings. No query holds
    // a NUL byte, so the zeros after a short one sort it first, as bytes do.
    struct Key {
        std::uint64_t high, low;
        std::uint32_t slot;
    };
    const auto bigEndian = [](std::string_view s, std::size_t at) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < 8; ++i)
            v = v << 8 | (at + i < s.size() ? static_cast<unsigned char>(s[at + i]) : 0u);
        return v;
    };
    FlatArray<Key> keys;
    keys.reserve(slots_.size());
    for (std::uint32_t k = 0; k < slots_.size(); ++k) {
        const std::string_view q = query(slots_[k]);
        keys.push_back(Key{bigEndian(q, 0), bigEndian(q, 8), k});
    }
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (a.high != b.high) return a.high < b.high;
        if (a.low != b.low) return a.low < b.low;
        const std::string_view qa = query(slots_[a.slot]), qb = query(slots_[b.slot]);
        return qa.substr(std::min<std::size_t>(16, qa.size())) < qb.substr(std::min<std::size_t>(16, qb.size()));
    });
    FlatArray<std::uint32_t> order;
    order.reserve(keys.size());
    for (const Key& key : keys) order.push_back(key.slot);
    // The bytes again in sorted order, so that a search reads neighbouring memory.
    sortedText_.reserve(queries_.size());
    for (const std::uint32_t k : order) {
        const std::string_view q = query(slots_[k]);
        sortedText_.append(q.data(), q.size());
    }
    sorted_.reserve(order.size());
    std::size_t at = 0;
    for (const std::uint32_t k : order) {
        sorted_.push_back(std::string_view(sortedText_.data() + at, slots_[k].queryLength));
        at += slots_[k].queryLength;
    }
    sortedSlot_.swap(order);
    FlatArray<std::uint64_t>().swap(queryIndex_);  // address queries are found through the sorted table only
}

std::uint32_t QueryTable::slotOfDigits(std::string_view code) const {
    std::uint32_t n = 0;
    for (const char c : code) n = n * 10 + static_cast<std::uint32_t>(c - '0');
    const std::uint64_t e = digits_[findDigits(n)];
    return e == 0 ? kNone : static_cast<std::uint32_t>(e);
}

std::uint32_t QueryTable::slotOfCode(std::string_view code) const {
    if (sevenDigits(code)) return slotOfDigits(code);
    if (otherCodes_ == 0 || code.size() == 3 || code.size() == 5) return kNone;
    const std::uint64_t e = queryIndex_[findQuery(code, hashBytes(code))];
    return e == 0 ? kNone : static_cast<std::uint32_t>(e) - 1;
}

std::uint32_t QueryTable::slotOfOldCode(std::string_view oldCode) const {
    const auto it = std::lower_bound(oldCodes_.begin(), oldCodes_.end(), oldCode,
                                     [](const auto& e, std::string_view k) { return e.first < k; });
    return it != oldCodes_.end() && it->first == oldCode ? it->second : kNone;
}

void QueryTable::take(std::uint32_t slot, std::string_view code, std::string_view address, std::string_view reading,
                      std::uint64_t line, std::size_t length) {
    if (!wants(slot, length)) return;
    Slot& s = slots_[slot];
    const auto r = static_cast<std::uint32_t>(refs_.size());
    refs_.push_back(Ref{texts_.size(), static_cast<std::uint32_t>(code.size()),
                        static_cast<std::uint32_t>(address.size()), static_cast<std::uint32_t>(reading.size()), kNone,
                        line});
    texts_.append(code.data(), code.size());
    texts_.append(address.data(), address.size());
    texts_.append(reading.data(), reading.size());
    if (s.first == kNone || length > s.bestLength) {
        s.first = r;  // a longer beginning replaces what there was
    } else {
        refs_[s.last].next = r;
    }
    s.last = r;
    s.bestLength = static_cast<std::uint32_t>(length);
}

void QueryTable::offer(std::string_view code, std::string_view address) {
    const std::string_view key = cutBeforeNote(address);
    forEachBeginning(key, 0, [&](std::uint32_t slot) { take(slot, code, address, {}, 0, key.size()); });
}

std::vector<Answer> QueryTable::answers(std::size_t line) const {
    std::vector<Answer> out;
    forEachAnswer(line, [&](std::string_view code, std::string_view address, std::string_view reading, std::uint64_t) {
        out.push_back(Answer{std::string(code), std::string(address), std::string(reading)});
    });
    return out;
}

void QueryTable::expect(std::size_t lines) {
    lineSlot_.reserve(lines);
    slots_.reserve(lines);
    std::size_t capacity = 64;  // no growing while the queries come
    if (kind_ == Kind::code) {
        while (capacity * 3 < lines * 4) capacity *= 2;
        digits_.resize(capacity);
    } else {
        while (capacity < lines * 2) capacity *= 2;
        queryIndex_.resize(capacity);
    }
}

// ---------------------------------------------------------------- readings

std::string fullWidthKana(std::string_view s) {
    // Full-width forms of U+FF61..U+FF9F.
    static constexpr char16_t kWide[] = {
        0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5,
        0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3,
        0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC,
        0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4,
        0x30E6, 0x30E8, 0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C};
    static_assert(std::size(kWide) == 0xFF9F - 0xFF61 + 1);
    const auto voiceable = [](char32_t w) {  // カ..ト and ハ..ホ take a voiced mark as the next code point
        return (w >= 0x30AB && w <= 0x30C8 && w != 0x30C3) || (w >= 0x30CF && w <= 0x30DB);
    };
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto ch = utf8::decode(s, i);
        if (!ch) {
            out.push_back(s[i++]);
            continue;
        }
        i += ch->length;
        if (ch->cp < 0xFF61 || ch->cp > 0xFF9F) {
            out.append(s.substr(i - ch->length, ch->length));
            continue;
        }
        char32_t w = kWide[ch->cp - 0xFF61];
        if (i < s.size()) {
            const auto mark = utf8::decode(s, i);
            if (mark && mark->cp == 0xFF9E && (voiceable(w) || w == 0x30A6)) {
                w = w == 0x30A6 ? 0x30F4 : w + 1;
                i += mark->length;
            } else if (mark && mark->cp == 0xFF9F && w >= 0x30CF && w <= 0x30DB) {
                w += 2;
                i += mark->length;
            }
        }
        appendUtf8(out, w);
    }
    return out;
}

// ---------------------------------------------------------------- folding

std::string foldToFullWidth(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 3);
    for (const char c : s) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            appendUtf8(out,
                       0xFF10 + static_cast<char32_t>(c - '0'));  // U+FF10 is ０, and the letters follow as in ASCII
        } else if (c == ' ') {
            appendUtf8(out, 0x3000);
        } else if (c == '-') {
            appendUtf8(out, 0xFF0D);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// ---------------------------------------------------------------- progress

namespace {
// Built by appending: GCC 12 at -O3 misreads an insert into the digits as an
// overlapping copy (-Wrestrict).
std::string grouped(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}
}  // namespace

void Progress::update(std::uint64_t bytes, std::uint64_t lines, Clock::time_point now) {
    using namespace std::chrono_literals;
    if (!show_ || now - start_ < 1s || (shown_ && now - last_ < 100ms)) return;
    const std::uint64_t percent = total_ == 0 ? 100 : std::min<std::uint64_t>(100, bytes * 100 / total_);
    write_("\rtenmari-lookup: " + grouped(lines) + " lines, " + std::to_string(percent) + "% of " + name_ +
           " read\x1b[K");
    shown_ = true;
    last_ = now;
}

void Progress::done() {
    if (shown_) write_("\r\x1b[K");
    shown_ = false;
}

}  // namespace tenmari::batch
