#include "PostReference.h"

#include <array>
#include <cstring>

#include "DictionaryFields.h"
#include "LineScan.h"

namespace tenmari {
namespace {

using fields::kCount;
using RawFields = std::array<std::string_view, kCount>;

// "以下に掲載がない場合": the record for the rest of a municipality.
constexpr std::string_view kNotListed =
    "\x88\xc8\x89\xba\x82\xc9\x8c\x66\x8d\xda\x82\xaa\x82\xc8\x82\xa2\x8f\xea\x8d\x87";
// "（": a town area's remark starts here.
constexpr std::string_view kOpenParen = "\x81\x69";

bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Offset of the first "（" taken as a character, never as the second half of
// another character followed by an "i".
std::size_t findOpenParen(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        if (s.compare(i, kOpenParen.size(), kOpenParen) == 0) return i;
        i += (isLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    }
    return std::string_view::npos;
}

std::string_view removeFirstHyphen(std::string_view query, std::string& storage) {
    const std::size_t pos = query.find('-');
    if (pos == std::string_view::npos) return query;
    storage.assign(query.substr(0, pos));
    storage.append(query.substr(pos + 1));
    return storage;
}

// One line's fields 0..8, cut once and unquoted on demand. The text has
// every CR removed first: a CR is no part of a line's text.
class Record {
public:
    static constexpr int kFieldsRead = fields::kTownArea + 1;

    // Starts on a new line; `line` excludes the LF and a CR right before it.
    // One Record serves a whole file pass, so its buffers are allocated once.
    void reset(std::string_view line) {
        fields::cut(DictionaryReader::lineText(line, text_), raw_, kFieldsRead);
    }

    std::string_view field(int index) {
        const auto i = static_cast<std::size_t>(index);
        return fields::unquote(raw_[i], scratch_[i]);
    }

    // Prefecture (with poptAll), municipality and town area, the town area
    // left out when it is "以下に掲載がない場合".
    std::string address(TPostOption pickOut) {
        std::string out;
        if (pickOut == poptAll) out.append(field(fields::kPrefecture));
        out.append(field(fields::kMunicipality));
        const std::string_view town = field(fields::kTownArea);
        if (town != kNotListed) out.append(town);
        return out;
    }

private:
    std::string text_;  // the line without its CRs, when it had any
    RawFields raw_{};
    std::array<std::string, kFieldsRead> scratch_;
};

// A quick look at one field of a line before it is read in full: a line
// whose field surely begins with a byte other than `first` cannot match and
// is passed over. With `keepParen` a "（" (0x81 ...) is never passed over,
// since the address key is cut there.
struct Probe {
    int field = 0;  // 1 and up
    unsigned char first = 0;
    bool keepParen = false;
};

// True when the probed field, starting at f in a line ending at lf, surely
// begins with another byte than the probe's.
bool passOver(const Probe& probe, const char* f, const char* lf) {
    if (f == nullptr || lf - f < 3 || f[0] != '"') return false;
    const auto c = static_cast<unsigned char>(f[1]);
    const char next = f[2];
    // The field's first byte is f[1] when neither it nor the byte after it
    // ends the field or is dropped as a CR.
    if (c == '"' || c == ',' || c == '\r') return false;
    if (next == ',' || next == '\r') return false;
    return c != probe.first && !(probe.keepParen && c == 0x81);
}

// Calls fn(line) for every line of the file, LF and the CR before it
// removed, until fn returns false; lines the probe rules out are skipped.
template <typename Fn>
void forEachRawLine(DictionaryReader& reader, const Probe* probe, Fn&& fn) {
    const linescan::Scan scan = linescan::best();
    for (std::string_view block = reader.nextBlock(); !block.empty(); block = reader.nextBlock()) {
        const char* p = block.data();
        const char* const end = p + block.size();
        while (p < end) {
            const char* lineEnd;
            if (probe != nullptr) {
                const linescan::Result r = scan(p, end, probe->field);
                lineEnd = r.lf;
                if (passOver(*probe, r.field, r.lf)) {
                    p = lineEnd + 1;
                    continue;
                }
            } else {
                const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
                lineEnd = nl ? static_cast<const char*>(nl) : end;
            }
            const char* textEnd = (lineEnd > p && lineEnd[-1] == '\r') ? lineEnd - 1 : lineEnd;
            if (!fn(std::string_view(p, static_cast<std::size_t>(textEnd - p)))) return;
            p = lineEnd + 1;
        }
    }
}

// The address key of a record (prefecture with poptAll, municipality, town
// area) cut before its first "（", compared with the query over the shorter
// of the two lengths.
bool addressMatches(Record& rec, TPostOption pickOut, std::string_view query, std::string& key) {
    // Most records differ from the query within their first field: settle
    // those without building the key. A mismatch at byte d decides only when
    // no "（" (it starts with 0x81) can begin at or before d.
    const std::string_view first = rec.field(pickOut == poptAll ? fields::kPrefecture : fields::kMunicipality);
    const std::size_t n = std::min(first.size(), query.size());
    std::size_t d = 0;
    while (d < n && first[d] == query[d]) ++d;
    if (d < n && std::memchr(first.data(), 0x81, d + 1) == nullptr) return false;

    key.clear();
    if (pickOut == poptAll) key.append(rec.field(fields::kPrefecture));
    key.append(rec.field(fields::kMunicipality));
    key.append(rec.field(fields::kTownArea));
    std::string_view k = key;
    const std::size_t paren = findOpenParen(k);
    if (paren != std::string_view::npos) k = k.substr(0, paren);
    const std::size_t len = std::min(k.size(), query.size());
    return k.compare(0, len, query, 0, len) == 0;
}

}  // namespace

TPostReference::TPostReference() : postFile_("Ken_all.csv") {}

void TPostReference::notFound() {
    if (OnNotPostFile) OnNotPostFile(*this);
}

std::string TPostReference::PostToAddress(std::string_view query) {
    const auto reader = DictionaryReader::open(postFile_);
    if (!reader) {
        notFound();
        return {};
    }
    std::string storage;
    std::string q(removeFirstHyphen(query, storage));
    int field = fields::kCode;
    if (q.size() == 3 || q.size() == 5) {
        q.append("  ");
        q.resize(5);
        field = fields::kOldCode;
    }

    std::string result;
    bool found = false;
    Record rec;
    const Probe probe{field, static_cast<unsigned char>(q.empty() ? 0 : q[0]), false};
    forEachRawLine(*reader, q.empty() ? nullptr : &probe, [&](std::string_view line) {
        rec.reset(line);
        if (rec.field(field) != q) return true;
        result = rec.address(pickOut_);
        found = true;
        return false;
    });
    if (found) return result;
    notFound();
    return {};
}

void TPostReference::PostToAddressList(std::string_view query, StringList& addresses, StringList& codes) {
    addresses.clear();
    codes.clear();
    const auto reader = DictionaryReader::open(postFile_);
    if (!reader) {
        notFound();
        return;
    }
    std::string storage;
    const std::string_view q = removeFirstHyphen(query, storage);

    Record rec;
    const Probe probe{fields::kCode, static_cast<unsigned char>(q.empty() ? 0 : q[0]), false};
    forEachRawLine(*reader, q.empty() ? nullptr : &probe, [&](std::string_view line) {
        rec.reset(line);
        const std::string_view code = rec.field(fields::kCode);
        if (code.starts_with(q)) {
            codes.emplace_back(code);
            addresses.push_back(rec.address(pickOut_));
        }
        return true;
    });
}

void TPostReference::AddressToPostList(std::string_view query, StringList& addresses, StringList& codes) {
    addresses.clear();
    codes.clear();
    const auto reader = DictionaryReader::open(postFile_);
    if (!reader) {
        notFound();
        return;
    }
    std::string key;
    Record rec;
    const Probe probe{pickOut_ == poptAll ? fields::kPrefecture : fields::kMunicipality,
                      static_cast<unsigned char>(query.empty() ? 0 : query[0]), true};
    forEachRawLine(*reader, query.empty() ? nullptr : &probe, [&](std::string_view line) {
        rec.reset(line);
        if (addressMatches(rec, pickOut_, query, key)) {
            codes.emplace_back(rec.field(fields::kCode));
            addresses.push_back(rec.address(pickOut_));
        }
        return true;
    });
}

}  // namespace tenmari
