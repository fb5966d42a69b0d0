#pragma once
// A record's note read into the conditions that decide which address it
// answers: chome or lot numbers, "その他", a building's floor, names (字,
// Kyoto's streets). A note that cannot be read keeps its text and reads as
// `unread`: its record answers for its town as a whole.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Text.h"

namespace tenmari::address {

enum class NoteKind {
    none,             // no note
    chome,            // "１～１９丁目", "１、２丁目"
    lot,              // "１～１３１番地", "４００、４００－２番地", "２５、３５"
    lotsAndNames,     // "４０５１、すずらん荘"
    anyChome,         // "丁目": the part of the town with chome
    anyLot,           // "番地", "大字": the part without
    other,            // "その他": every number the town's other records leave out
    exceptBuildings,  // "次のビルを除く"
    floor,            // "９階" of a building with a code per floor
    floorUnknown,     // "地階・階層不明": the building below ground or without a floor
    names,            // "南", "麻衣、大北、川井": the 字 or part of the town
    kyotoStreets,     // "河原町通四条上る、…": the streets a Kyoto town is written with
    unread,           // kept as text
};

std::string_view noteKindName(NoteKind kind);

// Numbers from `lo` to `hi`; `subLo`..`subHi` the number after the hyphen
// ("４００－２") when the item names one, else 0..max.
struct NumberRange {
    std::uint32_t lo = 0, hi = 0;
    std::uint32_t subLo = 0, subHi = 0xFFFFFFFFu;
    bool contains(std::uint32_t n, std::uint32_t sub, bool subKnown) const {
        if (n < lo || n > hi) return false;
        if (subLo == 0 && subHi == 0xFFFFFFFFu) return true;
        if (!subKnown) return false;
        // "５４４５～５４４６－４": the sub-number bounds the last number only.
        if (lo != hi) return n < hi || sub <= subHi;
        return sub >= subLo && sub <= subHi;
    }
};

struct Conditions {
    NoteKind kind = NoteKind::none;
    std::vector<NumberRange> numbers;  // chome or lot numbers
    std::vector<Text> names;           // names, or Kyoto streets in their compared form (see streetForm)
    int floor = 0;                     // with `floor`
    bool highRise = false;             // "高層棟" before the floor
};

// `note` as WholeRecord keeps it (UTF-8, without the outer brackets);
// `kyoto`: the record is in Kyoto city, where the notes name streets.
Conditions readNote(std::string_view note, bool kyoto);

// A Kyoto street written "河原町通四条上る" or "河原町四条上ル" in one form:
// "通" dropped, the direction words in one spelling.
Text streetForm(TextView street);

}  // namespace tenmari::address
