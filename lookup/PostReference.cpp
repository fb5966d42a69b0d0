#include "PostReference.h"

#include <array>
#include <sys/stat.h>

#include "DictionaryFields.h"

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

// One line's fields, cut once and unquoted on demand.
class Record {
public:
    explicit Record(std::string_view line) { fields::cut(line, raw_, fields::kTownArea + 1); }

    std::string_view field(int index) {
        const auto i = static_cast<std::size_t>(index);
        return fields::unquote(raw_[i], scratch_[i]);
    }

    // Prefecture (with poptAll), municipality and town area, the town area
    // left out when it is "以下に掲載がない場合".
    void appendAddress(TPostOption pickOut, std::string& out) {
        if (pickOut == poptAll) out.append(field(fields::kPrefecture));
        out.append(field(fields::kMunicipality));
        const std::string_view town = field(fields::kTownArea);
        if (town != kNotListed) out.append(town);
    }
    std::string address(TPostOption pickOut) {
        std::string out;
        appendAddress(pickOut, out);
        return out;
    }

private:
    RawFields raw_{};
    std::array<std::string, kCount> scratch_;
};

// The address key of a record, cut before its first "（", compared over the
// shorter of the two lengths.
bool addressMatches(Record& rec, TPostOption pickOut, std::string_view query, std::string& key) {
    key.clear();
    if (pickOut == poptAll) key.append(rec.field(fields::kPrefecture));
    key.append(rec.field(fields::kMunicipality));
    key.append(rec.field(fields::kTownArea));
    std::string_view k = key;
    const std::size_t paren = findOpenParen(k);
    if (paren != std::string_view::npos) k = k.substr(0, paren);
    const std::size_t n = std::min(k.size(), query.size());
    return k.compare(0, n, query, 0, n) == 0;
}

}  // namespace

TPostReference::TPostReference() : postFile_("Ken_all.csv") {}

bool TPostReference::fileExists() const {
    struct stat st {};
    return ::stat(postFile_.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void TPostReference::notFound() {
    if (OnNotPostFile) OnNotPostFile(*this);
}

std::string TPostReference::PostToAddress(std::string_view query) {
    if (!fileExists()) {
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

    DictionaryReader reader(postFile_);
    std::string scratch;
    for (std::string_view block = reader.nextBlock(); !block.empty(); block = reader.nextBlock()) {
        std::string result;
        bool found = false;
        forEachLine(block, scratch, [&](std::string_view line) {
            if (found) return;
            Record rec(line);
            if (rec.field(field) == q) {
                result = rec.address(pickOut_);
                found = true;
            }
        });
        if (found) return result;
    }
    notFound();
    return {};
}

void TPostReference::PostToAddressList(std::string_view query, StringList& addresses, StringList& codes) {
    addresses.clear();
    codes.clear();
    if (!fileExists()) {
        notFound();
        return;
    }
    std::string storage;
    const std::string_view q = removeFirstHyphen(query, storage);

    DictionaryReader reader(postFile_);
    std::string scratch;
    for (std::string_view block = reader.nextBlock(); !block.empty(); block = reader.nextBlock()) {
        forEachLine(block, scratch, [&](std::string_view line) {
            Record rec(line);
            const std::string_view code = rec.field(fields::kCode);
            if (!code.starts_with(q)) return;
            addresses.push_back(rec.address(pickOut_));
            codes.emplace_back(code);
        });
    }
}

void TPostReference::AddressToPostList(std::string_view query, StringList& addresses, StringList& codes) {
    addresses.clear();
    codes.clear();
    if (!fileExists()) {
        notFound();
        return;
    }
    DictionaryReader reader(postFile_);
    std::string scratch;
    std::string key;
    for (std::string_view block = reader.nextBlock(); !block.empty(); block = reader.nextBlock()) {
        forEachLine(block, scratch, [&](std::string_view line) {
            Record rec(line);
            if (!addressMatches(rec, pickOut_, query, key)) return;
            codes.emplace_back(rec.field(fields::kCode));
            addresses.push_back(rec.address(pickOut_));
        });
    }
}

}  // namespace tenmari
