#include "ExactAnswerer.h"

#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "Batch.h"
#include "Cp932.h"
#include "DictionaryReader.h"
#include "DictionaryScan.h"

namespace tenmari::batch {

sheet::AddressAnswer ExactAnswerer::answer(std::string_view utf8) {
    std::vector<sheet::AddressAnswer> out;
    answerAll({utf8}, out, {});
    return out.empty() ? sheet::AddressAnswer{} : out.front();
}

bool ExactAnswerer::answerAll(const std::vector<std::string_view>& utf8, std::vector<sheet::AddressAnswer>& out,
                              const sheet::ProgressFn& progress) {
    out.clear();
    out.resize(utf8.size());
    QueryTable table(QueryTable::Kind::address, true);
    table.expect(utf8.size());
    // Converted to code page 932 in blocks of about 32 KB joined by LFs (one
    // conversion's cost for many addresses); a block with an address that has
    // no form there, or holds a line end itself, address by address.
    constexpr std::size_t kBlockBytes = 32 * 1024;
    std::string joined;
    std::vector<std::string_view> block;
    for (std::size_t first = 0; first < utf8.size();) {
        std::size_t last = first;
        joined.assign(utf8[first]).push_back('\n');
        while (last + 1 < utf8.size() && joined.size() + utf8[last + 1].size() < kBlockBytes) {
            joined.append(utf8[++last]).push_back('\n');
        }
        std::string converted;
        block.clear();
        try {
            converted = utf8ToCp932(joined);
            for (std::size_t at = 0; at < converted.size();) {
                const std::size_t lf = converted.find('\n', at);
                block.push_back(std::string_view(converted).substr(at, lf - at));
                at = lf + 1;
            }
        } catch (const EncodingError&) {
            block.clear();
        }
        const bool cut = block.size() == last - first + 1 &&
                         std::none_of(block.begin(), block.end(), [](std::string_view q) { return q.empty(); });
        if (cut) {
            table.addAll(block);
        } else {
            for (std::size_t k = first; k <= last; ++k) {
                try {
                    table.add(utf8ToCp932(utf8[k]));
                } catch (const EncodingError&) {
                    table.add(std::nullopt);  // no code page 932 form: no record can match it
                }
            }
        }
        first = last + 1;
    }
    table.seal();
    const std::unique_ptr<DictionaryReader> reader = DictionaryReader::open(dictionary_);
    if (!reader) throw PostFileError(dictionary_ + ": no such dictionary file");
    struct stat st {};
    const std::uint64_t size = ::stat(dictionary_.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    bool stop = false;
    answerBatch(table, QueryTable::Kind::address, *reader, {poptAll, true}, false,
                [&](std::uint64_t bytes, std::uint64_t) {
                    if (progress && !stop) stop = !progress(bytes, size);
                });
    if (stop) return false;
    std::vector<std::string> codes;
    for (std::size_t k = 0; k < utf8.size(); ++k) {
        codes.clear();
        table.forEachAnswer(k, [&](std::string_view code, std::string_view, std::string_view, std::uint64_t) {
            if (std::find(codes.begin(), codes.end(), code) == codes.end()) codes.emplace_back(code);
        });
        sheet::AddressAnswer& a = out[k];
        if (codes.size() == 1) {
            a.level = sheet::AddressAnswer::Level::town;
            a.code = codes.front();
        } else if (codes.size() > 1) {
            a.level = sheet::AddressAnswer::Level::ambiguous;
            std::sort(codes.begin(), codes.end());
            a.candidates = codes;
        }
    }
    return true;
}

}  // namespace tenmari::batch
