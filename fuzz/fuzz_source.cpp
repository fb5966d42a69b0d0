// The builder's source check, fed in pieces of any size, against a plain
// reading of its rules over the whole input at once: the same lines are
// taken (and converted) or the same line is refused. Small limits, so that
// the long-line and size rules are reached too.
//
// Input: [piece size] [source bytes]; piece size 255 feeds it all at once.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Cp932.h"
#include "DictionaryFields.h"
#include "FuzzCheck.h"
#include "Regions.h"
#include "SourceCheck.h"
#include "Utf8.h"

namespace {

namespace ref = tenmari::reference;
using tenmari::jisho::LineCounts;
using tenmari::jisho::SourceLimits;

constexpr SourceLimits kLimits{120, 3000};

struct Verdict {
    std::optional<std::uint64_t> refusedAt;  // line, 0 for the whole file
    std::vector<std::pair<std::string, int>> lines;
};

bool convertible(std::string_view s, bool fromUtf8, std::string& out) {
    try {
        out = fromUtf8 ? tenmari::utf8ToCp932(s) : (tenmari::cp932ToUtf8(s), std::string(s));
        return true;
    } catch (const tenmari::EncodingError&) {
        return false;
    }
}

// A field: no quote at all, or quoted whole with inner quotes doubled.
bool wellQuoted(std::string_view f) {
    if (f.find('"') == std::string_view::npos) return true;
    if (f.size() < 2 || f.front() != '"' || f.back() != '"') return false;
    const std::string_view inner = f.substr(1, f.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] != '"') continue;
        if (i + 1 >= inner.size() || inner[i + 1] != '"') return false;
        ++i;
    }
    return true;
}

// The region of a converted line, or -1 when the line breaks a field rule.
int regionOf(const std::string& line) {
    std::vector<std::string> pieces;
    std::string cur;
    for (char c : line) {
        if (c == ',') {
            pieces.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    pieces.push_back(cur);
    if (!std::all_of(pieces.begin(), pieces.end(), [](const std::string& p) { return wellQuoted(p); })) return -1;
    if (pieces.size() != 15) return -1;
    for (int i : {1, 2, 6, 7, 8}) {
        if (pieces[static_cast<std::size_t>(i)].empty() || pieces[static_cast<std::size_t>(i)][0] != '"') return -1;
    }
    const std::string code = ref::field(line, 2);
    if (code.size() != 7 || !std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return -1;
    }
    return tenmari::regionOfPrefectureCp932(ref::field(line, 6));
}

Verdict plainReading(std::string_view bytes) {
    Verdict v;
    auto refuse = [&](std::uint64_t line) {
        v.refusedAt = line;
        return v;
    };
    const std::size_t z = bytes.find('\x1a');
    const bool afterMark = z != std::string_view::npos && z + 1 < bytes.size();
    std::string_view data = bytes.substr(0, z);
    // Complete lines (with their LF), then the rest.
    std::vector<std::string_view> lines;
    while (!data.empty()) {
        const std::size_t nl = data.find('\n');
        if (nl == std::string_view::npos) break;
        lines.push_back(data.substr(0, nl + 1));
        data.remove_prefix(nl + 1);
    }
    const std::string_view rest = data;
    if (!afterMark && !rest.empty()) lines.push_back(rest);

    bool utf8 = false;
    LineCounts counts{};
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const std::uint64_t n = k + 1;
        std::string_view text = lines[k];
        if (text.size() > kLimits.maxLine) return refuse(n);
        std::string end;
        if (text.ends_with("\r\n")) {
            end = "\r\n";
        } else if (text.ends_with('\n')) {
            end = "\n";
        }
        text.remove_suffix(end.size());
        if (text.find('\r') != std::string_view::npos) return refuse(n);
        if (n == 1 && text.starts_with("\xEF\xBB\xBF")) {
            text.remove_prefix(3);
            utf8 = true;
        }
        if (text.empty()) return refuse(n);
        if (n == 1 && !utf8) {
            utf8 = std::any_of(text.begin(), text.end(), [](char c) { return c & 0x80; }) && tenmari::utf8::valid(text);
        }
        std::string cp932;
        if (!convertible(text, utf8, cp932)) return refuse(n);
        const int region = regionOf(cp932);
        if (region < 1) return refuse(n);
        ++counts[0];
        ++counts[static_cast<std::size_t>(region)];
        v.lines.emplace_back(utf8 ? cp932 + end : std::string(lines[k]), region);
    }
    if (afterMark) {
        if (rest.size() > kLimits.maxLine) return refuse(lines.size() + 1);
        return refuse(lines.size() + 1);
    }
    if (counts[0] == 0) return refuse(0);
    for (std::size_t r = 1; r < counts.size(); ++r) {
        if (counts[r] == 0) return refuse(0);
    }
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t piece = data[0] == 255 ? size : 1 + data[0] % 64;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    Verdict got;
    tenmari::jisho::SourceCheck check(
        "fuzz", [&](std::string_view line, int region) { got.lines.emplace_back(std::string(line), region); }, kLimits);
    try {
        for (std::size_t at = 0; at < bytes.size(); at += piece) check.feed(bytes.substr(at, piece));
        const LineCounts counts = check.finish();
        FUZZ_CHECK(counts[0] == got.lines.size(), "line count");
    } catch (const tenmari::jisho::SourceError& e) {
        got.refusedAt = e.line();
        FUZZ_CHECK(std::string_view(e.what()).starts_with("fuzz: "), e.what());
    }

    const Verdict want = plainReading(bytes);
    const std::string shown = ref::shown(bytes.substr(0, 300));
    if (bytes.size() > kLimits.maxBytes) {
        // Refused for its size, unless a line before that point was refused first.
        FUZZ_CHECK(got.refusedAt.has_value(), "a source over the limit was taken: " + shown);
        FUZZ_CHECK(*got.refusedAt == 0 || got.refusedAt == want.refusedAt,
                   "refused at line " + std::to_string(*got.refusedAt) + ": " + shown);
        return 0;
    }
    FUZZ_CHECK(got.refusedAt == want.refusedAt,
               "refused at " + (got.refusedAt ? std::to_string(*got.refusedAt) : "none") + ", plainly at " +
                   (want.refusedAt ? std::to_string(*want.refusedAt) : "none") + ": " + shown);
    if (got.refusedAt) return 0;
    FUZZ_CHECK(got.lines == want.lines, "lines differ: " + shown);
    FUZZ_CHECK(check.endsWithEndMark() == (!bytes.empty() && bytes.back() == '\x1a'), "end mark: " + shown);
    if (!check.isUtf8()) {  // code page 932 lines are handed out as they are
        std::string all;
        for (const auto& [line, region] : got.lines) all += line;
        FUZZ_CHECK(all + (check.endsWithEndMark() ? "\x1a" : "") == bytes, "bytes changed: " + shown);
    }
    return 0;
}
