#pragma once
// The sheet's addresses answered by the batch's exact rule: the record whose
// address is the longest beginning of the written address, all of a list in
// one pass over the dictionary. Several records of that length with different
// codes are an ambiguous answer. The rule cannot tell a municipality's own
// record (以下に掲載がない場合) from a town's: every found code reads as
// understood to the town.

#include <string>

#include "AddressAnswerer.h"

namespace tenmari::batch {

class ExactAnswerer : public sheet::AddressAnswerer {
public:
    explicit ExactAnswerer(std::string dictionary) : dictionary_(std::move(dictionary)) {}
    sheet::AddressAnswer answer(std::string_view utf8) override;
    // Progress in bytes of the dictionary read. Throws PostFileError for a
    // dictionary that cannot be read.
    bool answerAll(const std::vector<std::string_view>& utf8, std::vector<sheet::AddressAnswer>& out,
                   const sheet::ProgressFn& progress) override;

private:
    std::string dictionary_;
};

}  // namespace tenmari::batch
