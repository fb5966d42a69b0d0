#include "Text.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "Utf8.h"

namespace tenmari::address {

namespace {
#include "AddressTables.inc"

// The lines of a table that are not comments or empty, cut at their tab.
std::vector<std::pair<Text, Text>> rows(std::string_view table) {
    std::vector<std::pair<Text, Text>> out;
    while (!table.empty()) {
        const std::size_t nl = table.find('\n');
        std::string_view line = table.substr(0, nl);
        table = nl == std::string_view::npos ? std::string_view() : table.substr(nl + 1);
        if (line.empty() || line[0] == '#') continue;
        const std::size_t tab = line.find('\t', line[0] == '\t' ? 1 : 0);
        const std::string_view first = line.substr(0, tab);
        const std::string_view second = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
        auto a = decodeUtf8(first == "space" ? " " : first);
        auto b = decodeUtf8(second);
        if (a && b && !a->empty()) out.emplace_back(std::move(*a), std::move(*b));
    }
    return out;
}

struct Tables {
    std::unordered_map<char32_t, std::uint32_t> numerals;
    std::unordered_map<char32_t, bool> dashes;  // true: only after a number
    std::vector<char32_t> separators;
    // Replacements of one or two characters (widths, variants), longer first.
    std::unordered_map<char32_t, Text> single;
    std::unordered_map<std::uint64_t, Text> pairs;  // first << 32 | second
    std::vector<Text> kyoto;
    // Characters of the basic plane that some table names: most of an
    // address passes through without a table lookup.
    std::vector<bool> named = std::vector<bool>(0x10000, false);

    Tables() {
        for (const auto& [c, v] : rows(k_numerals)) {
            numerals[c[0]] = static_cast<std::uint32_t>(std::stoul(encodeUtf8(v)));
        }
        for (const auto& [c, where] : rows(k_dashes)) dashes[c[0]] = where == U"numbers";
        for (const auto& [c, _] : rows(k_separators)) separators.push_back(c[0]);
        const auto add = [&](const Text& from, const Text& to) {
            if (from.size() == 1) single[from[0]] = to;
            if (from.size() == 2) pairs[static_cast<std::uint64_t>(from[0]) << 32 | from[1]] = to;
        };
        for (const auto& [from, to] : rows(k_widths)) add(from, to);
        for (const auto& [from, to] : rows(k_variants)) add(from, canonicalWidth(to));
        for (const auto& [word, _] : rows(k_kyoto)) kyoto.push_back(word);
        const auto name = [&](char32_t c) {
            if (c < 0x10000) named[c] = true;
        };
        for (const auto& [c, _] : numerals) name(c);
        for (const auto& [c, _] : dashes) name(c);
        for (const char32_t c : separators) name(c);
        for (const auto& [c, _] : single) name(c);
        for (const auto& [p, _] : pairs) name(static_cast<char32_t>(p >> 32));
    }
    bool plain(char32_t c) const { return c < 0x10000 && !named[c]; }
    Text canonicalWidth(const Text& t) const {
        Text out;
        for (const char32_t c : t) {
            const auto it = single.find(c);
            if (it != single.end()) {
                out += it->second;
            } else {
                out.push_back(c);
            }
        }
        return out;
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

// A separator's place until the numbers are read: two numbers it kept apart
// stay apart ("1-2-3 六本木" is not 36), everything else closes up.
constexpr char32_t kDropped = 0xE000;

char32_t foldWidth(char32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) c = c - 0xFF01 + 0x21;  // Ａ１！ → A1!
    if (c == 0x301C) c = U'~';                              // 〜 as ～
    if (c >= U'a' && c <= U'z') c = c - U'a' + U'A';
    return c;
}
}  // namespace

std::optional<Text> decodeUtf8(std::string_view s) {
    Text out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto ch = utf8::decode(s, i);
        if (!ch) return std::nullopt;
        out.push_back(ch->cp);
        i += ch->length;
    }
    return out;
}

std::string encodeUtf8(TextView t) {
    std::string out;
    out.reserve(t.size() * 3);
    for (const char32_t c : t) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

const std::vector<Text>& kyotoDirections() { return tables().kyoto; }

std::optional<std::uint32_t> readNumber(TextView t, std::size_t& at) {
    if (at >= t.size() || !isDigit(t[at])) return std::nullopt;
    std::uint64_t v = 0;
    for (; at < t.size() && isDigit(t[at]); ++at) v = std::min<std::uint64_t>(v * 10 + (t[at] - U'0'), 999999999);
    return static_cast<std::uint32_t>(v);
}

Text canonical(TextView in, bool keepSeparators, bool readNumerals) {
    const Tables& tb = tables();
    // 1. Widths, separators and variants, character by character.
    Text a;
    a.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char32_t c = foldWidth(in[i]);
        if (tb.plain(in[i]) && tb.plain(c)) {
            a.push_back(c);
            continue;
        }
        if (i + 1 < in.size()) {
            const auto p = tb.pairs.find(static_cast<std::uint64_t>(in[i]) << 32 | in[i + 1]);
            if (p != tb.pairs.end()) {
                a += p->second;
                ++i;
                continue;
            }
        }
        if (!keepSeparators && std::find(tb.separators.begin(), tb.separators.end(), c) != tb.separators.end()) {
            a.push_back(kDropped);
            continue;
        }
        const auto s = tb.single.find(c);
        if (s != tb.single.end()) {
            a += s->second;
        } else {
            a.push_back(c);
        }
    }
    // Pairs may also meet once single characters were replaced (ヶ丘 → ケ丘).
    Text b;
    b.reserve(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i + 1 < a.size() && !tb.plain(a[i])) {
            const auto p = tb.pairs.find(static_cast<std::uint64_t>(a[i]) << 32 | a[i + 1]);
            if (p != tb.pairs.end()) {
                b += p->second;
                ++i;
                continue;
            }
        }
        b.push_back(a[i]);
    }
    // 2. Runs of kanji numerals as decimal numbers, and dashes as "-".
    Text out;
    out.reserve(b.size());
    for (std::size_t i = 0; i < b.size();) {
        if (b[i] != kDropped && tb.plain(b[i])) {
            out.push_back(b[i++]);
            continue;
        }
        const auto n = readNumerals ? tb.numerals.find(b[i]) : tb.numerals.end();
        if (n != tb.numerals.end()) {
            std::uint64_t total = 0, section = 0;
            bool multiplied = false;
            std::size_t j = i;
            for (; j < b.size(); ++j) {
                const auto m = tb.numerals.find(b[j]);
                if (m == tb.numerals.end()) break;
                const std::uint32_t v = m->second;
                if (v >= 10) {
                    total += (section == 0 ? 1 : section) * v;
                    section = 0;
                    multiplied = true;
                } else {
                    section = std::min<std::uint64_t>(section * 10 + v, 999999999);
                }
            }
            total = multiplied ? total + section : section;
            const std::string digits = std::to_string(std::min<std::uint64_t>(total, 999999999));
            for (const char d : digits) out.push_back(static_cast<char32_t>(d));
            i = j;
            continue;
        }
        if (b[i] == kDropped) {
            std::size_t next = i;
            while (next < b.size() && b[next] == kDropped) ++next;
            const bool number = next < b.size() && (isDigit(b[next]) || tb.numerals.find(b[next]) != tb.numerals.end());
            if (number && !out.empty() && isDigit(out.back())) out.push_back(kNumberBreak);
            i = next;
            continue;
        }
        const auto d = tb.dashes.find(b[i]);
        if (d != tb.dashes.end() && (!d->second || (!out.empty() && isDigit(out.back())))) {
            out.push_back(U'-');
        } else {
            out.push_back(b[i]);
        }
        ++i;
    }
    return out;
}

}  // namespace tenmari::address
