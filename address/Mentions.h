#pragma once
// The municipalities a few written addresses may name, so that a single
// query reads the records of those only (and every municipality's own
// record, which names its prefecture and city).

#include <string_view>
#include <vector>

#include "Text.h"

namespace tenmari::address {

class Mentions {
public:
    explicit Mentions(const std::vector<std::string_view>& utf8Addresses);
    // Whether some address holds the municipality's name, with or without
    // its district (郡) or, for a ward, its city.
    bool names(std::string_view municipalityUtf8) const;

private:
    std::vector<Text> addresses_;
};

}  // namespace tenmari::address
