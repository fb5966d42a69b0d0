#include "ReferenceReading.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace tenmari::reference {
namespace {

// "以下に掲載がない場合" and "（" in code page 932.
const std::string kNotListed = "\x88\xc8\x89\xba\x82\xc9\x8c\x66\x8d\xda\x82\xaa\x82\xc8\x82\xa2\x8f\xea\x8d\x87";
const std::string kOpenParen = "\x81\x69";

std::string withoutFirstHyphen(std::string_view query) {
    std::string q(query);
    if (const auto h = q.find('-'); h != std::string::npos) q.erase(h, 1);
    return q;
}

bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc); }

}  // namespace

std::vector<std::string> lines(std::string_view bytes) {
    if (const auto z = bytes.find('\x1a'); z != std::string_view::npos) bytes = bytes.substr(0, z);
    std::vector<std::string> out;
    std::string cur;
    for (char c : bytes) {
        if (c == '\n') {
            out.push_back(cur);
            cur.clear();
        } else if (c != '\r') {
            cur.push_back(c);
        }
    }
    if (!bytes.empty() && bytes.back() != '\n') out.push_back(cur);
    return out;
}

std::vector<std::string> linesOfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return lines(bytes);
}

std::string lineText(std::string_view raw) {
    std::string out;
    for (char c : raw) {
        if (c != '\r') out.push_back(c);
    }
    return out;
}

std::array<std::string, 15> fields(std::string_view line) {
    std::array<std::string, 15> out;
    // Append one comma; take the text before each comma, fifteen times.
    std::string_view rest = line;
    bool commaLeft = true;  // the appended one
    for (std::string& value : out) {
        std::string_view piece;
        if (const auto comma = rest.find(','); comma != std::string_view::npos) {
            piece = rest.substr(0, comma);
            rest.remove_prefix(comma + 1);
        } else if (commaLeft) {
            piece = rest;
            rest = {};
            commaLeft = false;
        }
        // Unquote: empty unless it opens with a quote; "" is one quote; the
        // closing quote ends it; unclosed, the last byte goes.
        if (piece.empty() || piece[0] != '"') continue;
        bool closed = false;
        for (std::size_t i = 1; i < piece.size() && !closed; ++i) {
            if (piece[i] != '"') {
                value.push_back(piece[i]);
            } else if (i + 1 < piece.size() && piece[i + 1] == '"') {
                value.push_back('"');
                ++i;
            } else {
                closed = true;
            }
        }
        if (!closed && !value.empty()) value.pop_back();
    }
    return out;
}

std::string field(std::string_view line, int index) {
    if (index < 0 || index > 14) return {};
    return fields(line)[static_cast<std::size_t>(index)];
}

Scan scan(const char* p, const char* end, int fieldNo) {
    Scan r{nullptr, end};
    int commas = 0;
    bool seeking = true;
    for (const char* c = p; c < end; ++c) {
        if (*c == '\n') {
            r.lf = c;
            break;
        }
        if (!seeking) continue;
        if (*c == '\r') {
            seeking = false;
        } else if (*c == ',' && ++commas == fieldNo) {
            r.field = c + 1;
            seeking = false;
        }
    }
    return r;
}

std::string address(const std::string& line, TPostOption pick) {
    const auto f = fields(line);
    std::string out = pick == poptAll ? f[6] : "";
    out += f[7];
    if (f[8] != kNotListed) out += f[8];
    return out;
}

Lists prefixQuery(const std::vector<std::string>& all, std::string_view query, TPostOption pick) {
    const std::string q = withoutFirstHyphen(query);
    Lists r;
    for (const auto& l : all) {
        const std::string code = field(l, 2);
        if (code.size() >= q.size() && code.compare(0, q.size(), q) == 0) {
            r.first.push_back(address(l, pick));
            r.second.push_back(code);
        }
    }
    return r;
}

std::string cutAtOpenParen(std::string_view text) {
    // The first "（" as a character: double-byte characters are stepped over.
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, kOpenParen) == 0) return std::string(text.substr(0, i));
        i += isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    }
    return std::string(text);
}

Lists addressQuery(const std::vector<std::string>& all, std::string_view q, TPostOption pick) {
    Lists r;
    for (const auto& l : all) {
        const auto f = fields(l);
        const std::string key = cutAtOpenParen((pick == poptAll ? f[6] : "") + f[7] + f[8]);
        const std::size_t n = std::min(key.size(), q.size());
        if (key.compare(0, n, q.substr(0, n)) == 0) {
            r.first.push_back(address(l, pick));
            r.second.push_back(f[2]);
        }
    }
    return r;
}

std::string codeQuery(const std::vector<std::string>& all, std::string_view query, TPostOption pick, bool& found) {
    std::string q = withoutFirstHyphen(query);
    int index = 2;
    if (q.size() == 3 || q.size() == 5) {
        q = (q + "  ").substr(0, 5);
        index = 1;
    }
    for (const auto& l : all) {
        if (field(l, index) == q) {
            found = true;
            return address(l, pick);
        }
    }
    found = false;
    return {};
}

std::string shown(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f) {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace tenmari::reference
