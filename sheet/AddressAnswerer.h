#pragma once
// What a sheet asks of the lookup: the postal code of a written address, and
// how far the address was understood. The sheet is written against this
// interface alone; the command line and the window plug in the lookup.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tenmari::sheet {

struct AddressAnswer {
    // How far the address was understood; `ambiguous` when several records
    // fit equally and none is given.
    enum class Level { none, prefecture, city, town, number, building, floor, ambiguous };
    Level level = Level::none;
    std::string code;                     // 7 ASCII digits; empty unless one record answers
    std::vector<std::string> candidates;  // ambiguous: every candidate code
};

// The level's word, as the 確認 column and the command line write it.
inline const char* levelWord(AddressAnswer::Level level) {
    switch (level) {
    case AddressAnswer::Level::none: return "not found";
    case AddressAnswer::Level::prefecture: return "prefecture";
    case AddressAnswer::Level::city: return "city";
    case AddressAnswer::Level::town: return "town";
    case AddressAnswer::Level::number: return "number";
    case AddressAnswer::Level::building: return "building";
    case AddressAnswer::Level::floor: return "floor";
    case AddressAnswer::Level::ambiguous: return "ambiguous";
    }
    return "";
}

// Called now and then with the work done of a total; false asks to stop.
using ProgressFn = std::function<bool(std::uint64_t done, std::uint64_t total)>;

class AddressAnswerer {
public:
    virtual ~AddressAnswerer() = default;
    // The answer to one written address (UTF-8).
    virtual AddressAnswer answer(std::string_view utf8) = 0;
    // The answers to many addresses, in order. An answerer that reads its
    // dictionary once for all of them overrides this. Returns false when
    // `progress` asked to stop (the answers are then incomplete).
    virtual bool answerAll(const std::vector<std::string_view>& utf8, std::vector<AddressAnswer>& out,
                           const ProgressFn& progress) {
        out.clear();
        out.reserve(utf8.size());
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            if (progress && i % 256 == 0 && !progress(i, utf8.size())) return false;
            out.push_back(answer(utf8[i]));
        }
        return true;
    }
};

}  // namespace tenmari::sheet
