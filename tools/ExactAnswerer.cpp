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
    answerAll({std::string(utf8)}, out, {});
    return out.empty() ? sheet::AddressAnswer{} : out.front();
}

bool ExactAnswerer::answerAll(const std::vector<std::string>& utf8, std::vector<sheet::AddressAnswer>& out,
                              const sheet::ProgressFn& progress) {
    out.assign(utf8.size(), {});
    QueryTable table(QueryTable::Kind::address, true);
    table.expect(utf8.size());
    for (const std::string& a : utf8) {
        try {
            table.add(utf8ToCp932(a));
        } catch (const EncodingError&) {
            table.add(std::nullopt);  // no code page 932 form: no record can match it
        }
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
