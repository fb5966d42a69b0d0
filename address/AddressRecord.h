#pragma once
// One record of the postal dictionary as the address reader takes it: a
// split run of lines already joined, the town area with its note cut off
// and the note kept beside it. UTF-8 text, plain values: any caller that
// reads the dictionary once can fill a list of these.

#include <cstdint>
#include <string>

namespace tenmari::address {

struct WholeRecord {
    std::string code;          // the 7-digit postal code
    std::string prefecture;    // 北海道
    std::string municipality;  // 札幌市中央区, 西多摩郡奥多摩町
    std::string town;  // the town area before its first "（"; "以下に掲載がない場合" as the file has it
    std::string note;  // what follows, without the outer brackets: "１～１９丁目"; empty when none
    std::uint64_t line = 0;  // the record's first line in the dictionary, from 1
};

}  // namespace tenmari::address
