#include "LookupQueries.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Cp932.h"
#include "LookupOptions.h"
#include "Utf8.h"

namespace tenmari::lookupcli {

using batch::asciiDigitsAndHyphens;

namespace {

std::string codePoint(char32_t cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

// A short piece of the query around byte `at` (a few characters either
// side), quoted, with bytes that are not fit to print escaped.
std::string excerpt(std::string_view q, std::size_t at) {
    constexpr int kAround = 8;
    // Character starts before `at`, counted back over valid characters.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < at;) {
        starts.push_back(i);
        const auto ch = utf8::decode(q, i);
        i += ch ? ch->length : 1;
    }
    const std::size_t from = starts.size() > kAround ? starts[starts.size() - kAround] : 0;
    std::string out = from > 0 ? "\"…" : "\"";
    std::size_t i = from;
    for (int after = 0; i < q.size() && (i <= at || after < kAround);) {
        if (i > at) ++after;
        const auto ch = utf8::decode(q, i);
        if (!ch) {
            out += hexByte(static_cast<unsigned char>(q[i]));
            ++i;
        } else {
            if (invisible(ch->cp) || ch->cp == '"' || ch->cp == '\\') {
                for (std::size_t k = 0; k < ch->length; ++k) out += hexByte(static_cast<unsigned char>(q[i + k]));
            } else {
                out.append(q.substr(i, ch->length));
            }
            i += ch->length;
        }
    }
    out += i < q.size() ? "…\"" : "\"";
    return out;
}

}  // namespace

// Why a query cannot be converted to the dictionaries' code page 932.
std::string whyNotConvertible(std::string_view q) {
    for (std::size_t i = 0; i < q.size();) {
        const auto ch = utf8::decode(q, i);
        if (!ch) {
            return "the query is not UTF-8 text: the byte 0x" + hexByte(static_cast<unsigned char>(q[i])).substr(2) +
                   " at byte " + std::to_string(i + 1) + " begins no UTF-8 character, in " + excerpt(q, i);
        }
        try {
            utf8ToCp932(q.substr(i, ch->length));
        } catch (const EncodingError&) {
            const std::string glyph =
                invisible(ch->cp) ? std::string() : " (" + std::string(q.substr(i, ch->length)) + ")";
            return "the query holds " + codePoint(ch->cp) + glyph +
                   ", which has no form in code page 932, the dictionaries' encoding, in " + excerpt(q, i);
        }
        i += ch->length;
    }
    return "the query cannot be converted to code page 932";
}

// Whether all bytes are ASCII, eight at a time.
bool ascii(std::string_view s) {
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        if ((w & 0x8080808080808080ull) != 0) return false;
    }
    for (; i < s.size(); ++i) {
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    }
    return true;
}

// The query of a code line in code page 932 with its first hyphen removed
// (in `storage` when it had to change), or nullopt when it has no form there.
std::optional<std::string_view> codeQuery(std::string_view line, std::string& storage) {
    // The common lines first: 7 digits, or 3 digits, a hyphen and 4.
    const auto digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (line.size() == 7 && digits(line)) return line;
    if (line.size() == 8 && line[3] == '-' && digits(line.substr(0, 3)) && digits(line.substr(4))) {
        storage.assign(line.substr(0, 3)).append(line.substr(4));
        return storage;
    }
    try {
        const std::string typed = asciiDigitsAndHyphens(line);
        storage = ascii(typed) ? typed : utf8ToCp932(typed);
    } catch (const EncodingError&) {
        return std::nullopt;  // no code page 932 form: no record can match it
    }
    if (const auto h = storage.find('-'); h != std::string::npos) storage.erase(h, 1);
    return storage;
}

// The address queries in code page 932 (folded first with `fold`), converted
// in blocks of lines (a conversion's buffer is reused from block to block),
// a block whose text has a line without a form there line by line: that line
// then has no answer.
void addAddressQueries(batch::QueryTable& table, const batch::FlatArray<std::string_view>& lines, bool fold) {
    std::string folded;
    const auto prepare = [&](std::string_view utf8) -> std::string_view {
        if (!fold) return utf8;
        folded = batch::foldToFullWidth(utf8);
        return folded;
    };
    const auto convert = [](std::string_view utf8) { return ascii(utf8) ? std::string(utf8) : utf8ToCp932(utf8); };
    constexpr std::size_t kBlockBytes = 32 * 1024;
    std::vector<std::string_view> block;  // the queries of one block, into `converted`
    for (std::size_t first = 0; first < lines.size();) {
        // Whole lines up to about a block; they lie one after the other in the input.
        std::size_t last = first;
        const char* const begin = lines[first].data();
        while (last + 1 < lines.size() &&
               static_cast<std::size_t>(lines[last + 1].data() + lines[last + 1].size() - begin) < kBlockBytes) {
            ++last;
        }
        const std::string_view text(begin, static_cast<std::size_t>(lines[last].data() + lines[last].size() - begin));
        std::string converted;
        block.clear();
        try {
            converted = convert(prepare(text));
            // Cut again as the lines were: at every LF, one CR before it dropped.
            // ASCII stays ASCII, so the cuts fall alike.
            for (std::size_t at = 0;;) {
                const std::size_t nl = converted.find('\n', at);
                std::string_view q =
                    std::string_view(converted).substr(at, nl == std::string::npos ? std::string::npos : nl - at);
                if (q.ends_with('\r')) q.remove_suffix(1);
                block.push_back(q);
                if (nl == std::string::npos) break;
                at = nl + 1;
            }
        } catch (const EncodingError&) {
            block.clear();
        }
        if (block.size() == last - first + 1) {
            table.addAll(block);
        } else {  // a line without a form, or not cut as the lines were: line by line
            for (std::size_t k = first; k <= last; ++k) {
                try {
                    table.add(convert(prepare(lines[k])));
                } catch (const EncodingError&) {
                    table.add(std::nullopt);
                }
            }
        }
        first = last + 1;
    }
}

std::optional<std::string> prepareQuery(bool address, std::string_view typed, std::string& why) {
    const std::string utf8 = address ? std::string(typed) : asciiDigitsAndHyphens(typed);
    try {
        return utf8ToCp932(utf8);
    } catch (const EncodingError&) {
        why = whyNotConvertible(utf8);
        return std::nullopt;
    }
}

}  // namespace tenmari::lookupcli
