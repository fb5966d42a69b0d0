#pragma once
// A few addresses with made-up answers, one of each level, for the sheet's
// tests: the sheet is tested apart from any dictionary.

#include <map>
#include <string>

#include "AddressAnswerer.h"

namespace tenmari::sheet::test {

class FakeAnswerer : public AddressAnswerer {
public:
    AddressAnswer answer(std::string_view utf8) override {
        using L = AddressAnswer::Level;
        static const std::map<std::string, AddressAnswer, std::less<>> kAnswers = {
            {"東京都千代田区千代田", {L::town, "1000001", {}}},
            {"東京都千代田区丸の内1-1", {L::number, "1000005", {}}},
            {"東京都表能ソ", {L::town, "1000002", {}}},
            {"北海道札幌市中央区大通西", {L::ambiguous, "", {"0600042", "0640820"}}},
            {"東京都千代田区", {L::city, "1000000", {}}},
            {"東京都どこか", {L::prefecture, "", {}}},
            {"北海道どこか村", {L::city, "", {}}},  // a municipality without a record of its own
        };
        ++asked;
        const auto it = kAnswers.find(utf8);
        return it == kAnswers.end() ? AddressAnswer{} : it->second;
    }
    int asked = 0;
};

}  // namespace tenmari::sheet::test
