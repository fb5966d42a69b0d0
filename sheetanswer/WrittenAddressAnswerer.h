#pragma once
// A sheet's addresses read as people write them (address/AddressIndex): the
// dictionary's whole records read once, on the first address asked, then
// every address matched against them. The answer's level is the reader's: a
// municipality's own record (以下に掲載がない場合) is `city`, not a town.

#include <memory>
#include <string>

#include "AddressAnswerer.h"

namespace tenmari::address {
class AddressIndex;
}

namespace tenmari::sheet {

class WrittenAddressAnswerer : public AddressAnswerer {
public:
    explicit WrittenAddressAnswerer(std::string dictionary);
    ~WrittenAddressAnswerer() override;

    // Throws PostFileError for a dictionary that is missing or cannot be read.
    AddressAnswer answer(std::string_view utf8) override;
    // Progress in addresses answered, with the dictionary's reading counted as
    // a share of them.
    bool answerAll(const std::vector<std::string_view>& utf8, std::vector<AddressAnswer>& out,
                   const ProgressFn& progress) override;

private:
    std::string dictionary_;
    // Every record's index, read once. Always the whole dictionary, even for
    // a short list: an answer never depends on the list it came in.
    std::unique_ptr<address::AddressIndex> index_;
};

}  // namespace tenmari::sheet
