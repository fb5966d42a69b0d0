#include "WrittenAddressAnswerer.h"

#include <sys/stat.h>

#include "AddressIndex.h"
#include "DictionaryReader.h"
#include "DictionaryRecords.h"

namespace tenmari::sheet {

namespace {

address::AddressIndex load(const std::string& dictionary) {
    const std::unique_ptr<DictionaryReader> reader = DictionaryReader::open(dictionary);
    if (!reader) {
        struct stat st {};
        const bool folder = ::stat(dictionary.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        throw PostFileError(dictionary +
                            (folder ? ": is a folder, not a dictionary file" : ": no such dictionary file"));
    }
    return address::AddressIndex(address::readRecords(*reader));
}

AddressAnswer::Level levelOf(address::Level level) {
    using L = AddressAnswer::Level;
    switch (level) {
    case address::Level::none: return L::none;
    case address::Level::prefecture: return L::prefecture;
    case address::Level::city: return L::city;
    case address::Level::town: return L::town;
    case address::Level::number: return L::number;
    case address::Level::building: return L::building;
    case address::Level::floor: return L::floor;
    case address::Level::ambiguous: return L::ambiguous;
    }
    return L::none;
}

}  // namespace

WrittenAddressAnswerer::WrittenAddressAnswerer(std::string dictionary) : dictionary_(std::move(dictionary)) {}
WrittenAddressAnswerer::~WrittenAddressAnswerer() = default;

AddressAnswer WrittenAddressAnswerer::answer(std::string_view utf8) {
    std::vector<AddressAnswer> out;
    answerAll({utf8}, out, {});
    return out.empty() ? AddressAnswer{} : out.front();
}

bool WrittenAddressAnswerer::answerAll(const std::vector<std::string_view>& utf8, std::vector<AddressAnswer>& out,
                                       const ProgressFn& progress) {
    out.clear();
    // Reading the dictionary counts as half as much work as the answers.
    const std::uint64_t reading = index_ ? 0 : utf8.size() / 2 + 1;
    const std::uint64_t total = reading + utf8.size();
    if (progress && !progress(0, total)) return false;
    if (!index_) index_ = std::make_unique<address::AddressIndex>(load(dictionary_));
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (progress && i % 256 == 0 && !progress(reading + i, total)) return false;
        address::Answer a = index_->match(utf8[i]);
        AddressAnswer& r = out.emplace_back();
        r.level = levelOf(a.level);
        r.code = std::move(a.code);
        r.candidates = std::move(a.candidates);
    }
    return true;
}

}  // namespace tenmari::sheet
