#include "Batch.h"

#include <algorithm>
#include <iterator>

#include "Cp932.h"
#include "Utf8.h"

namespace tenmari::batch {

namespace {
constexpr std::size_t npos = static_cast<std::size_t>(-1);
const std::vector<Answer> kNone;

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

std::optional<InputError> splitLines(std::string_view text, std::vector<std::string_view>& lines) {
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
            const auto ch = utf8::decode(line, i);
            if (!ch) return InputError{number, "the line is not UTF-8 text (byte " + std::to_string(i + 1) + ")"};
            i += ch->length;
        }
        lines.push_back(line);
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

std::string_view cutAtBracket(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        if (s.substr(i, 2) == "\x81\x69") return s.substr(0, i);
        i += charSizeAt(s, i);
    }
    return s;
}

// ---------------------------------------------------------------- the table

void QueryTable::add(std::optional<std::string> query) {
    if (!query || query->empty()) {
        lineSlot_.push_back(npos);
        return;
    }
    const auto [it, fresh] = index_.try_emplace(*query, slots_.size());
    if (fresh) slots_.push_back(Slot{std::move(*query), 0, false, {}});
    lineSlot_.push_back(it->second);
}

void QueryTable::seal() {
    if (kind_ == Kind::code) {
        digits_.reserve(index_.size());
        for (auto it = index_.begin(); it != index_.end();) {
            if (const auto n = sevenDigits(it->first)) {
                digits_.emplace(*n, it->second);
                it = index_.erase(it);
            } else {
                ++it;
            }
        }
        return;
    }
    sorted_.resize(slots_.size());
    for (std::size_t k = 0; k < slots_.size(); ++k) sorted_[k] = k;
    std::sort(sorted_.begin(), sorted_.end(),
              [&](std::size_t a, std::size_t b) { return slots_[a].query < slots_[b].query; });
    index_.clear();  // address queries are found through the sorted table only
    shortest_ = npos;
    for (const Slot& s : slots_) shortest_ = std::min(shortest_, s.query.size());
}

void QueryTable::take(Slot& s, std::string_view code, std::string_view address, std::size_t length) {
    if (s.answered && (length < s.bestLength || (length == s.bestLength && !all_))) return;
    if (!s.answered || length > s.bestLength) s.answers.clear();
    s.answered = true;
    s.bestLength = length;
    s.answers.push_back(Answer{std::string(code), std::string(address)});
}

void QueryTable::offer(std::string_view code, std::string_view address) {
    if (kind_ == Kind::code) {
        std::size_t slot;
        if (const auto n = sevenDigits(code)) {
            const auto it = digits_.find(*n);
            if (it == digits_.end()) return;
            slot = it->second;
        } else {
            if (index_.empty()) return;
            const auto it = index_.find(std::string(code));
            if (it == index_.end()) return;
            slot = it->second;
        }
        Slot& s = slots_[slot];
        if (s.query.size() == 3 || s.query.size() == 5) return;  // old codes are answered otherwise
        take(s, code, address, 0);
        return;
    }
    // Every query that begins with the record's address text, found as one run
    // of the sorted table. A record with no address text answers nothing.
    const std::string_view key = cutAtBracket(address);
    if (key.empty() || sorted_.empty()) return;
    auto it = std::lower_bound(sorted_.begin(), sorted_.end(), key,
                               [&](std::size_t a, std::string_view k) { return slots_[a].query < k; });
    for (; it != sorted_.end() && std::string_view(slots_[*it].query).starts_with(key); ++it) {
        take(slots_[*it], code, address, key.size());
    }
}

std::vector<std::pair<std::string, std::size_t>> QueryTable::oldCodes() const {
    std::vector<std::pair<std::string, std::size_t>> out;
    if (kind_ != Kind::code) return out;
    for (std::size_t k = 0; k < slots_.size(); ++k) {
        if (slots_[k].query.size() == 3 || slots_[k].query.size() == 5) out.emplace_back(slots_[k].query, k);
    }
    return out;
}

void QueryTable::answerOldCode(std::size_t slot, Answer answer) {
    Slot& s = slots_[slot];
    s.answered = true;
    s.answers.push_back(std::move(answer));
}

const std::vector<Answer>& QueryTable::answers(std::size_t line) const {
    const std::size_t k = lineSlot_[line];
    return k == npos ? kNone : slots_[k].answers;
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

}  // namespace tenmari::batch
