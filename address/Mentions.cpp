#include "Mentions.h"

#include <algorithm>

namespace tenmari::address {

Mentions::Mentions(const std::vector<std::string_view>& utf8Addresses) {
    for (const std::string_view a : utf8Addresses) addresses_.push_back(canonical(a));
}

bool Mentions::names(std::string_view municipalityUtf8) const {
    Text key = canonical(municipalityUtf8);
    if (const std::size_t gun = key.find(U'郡'); gun != Text::npos) key.erase(0, gun + 1);
    if (const std::size_t city = key.rfind(U'市');
        key.ends_with(U'区') && city != Text::npos && city + 2 < key.size()) {
        key.erase(0, city + 1);
    }
    return std::any_of(addresses_.begin(), addresses_.end(), [&](const Text& a) { return a.find(key) != Text::npos; });
}

}  // namespace tenmari::address
