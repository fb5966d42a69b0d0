#pragma once
// Addresses as people write them, read against the dictionary's whole
// records: the prefecture or district left out, numbers in any width or in
// kanji, kanji variants, "ヶ" for "ケ", a building and floor, and the notes
// that split a town by chome, lot number, name or floor. Built once from the
// records, then asked any number of times (const: safe to share between
// threads; a municipality's part is made when an address first names it).
//
//   tenmari::address::AddressIndex index(records);
//   const auto a = index.match("札幌市中央区大通西22丁目");
//   // a.code "0640820", a.address "北海道札幌市中央区大通西", a.level Level::number

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AddressRecord.h"

namespace tenmari::address {

// How far an address was understood. `ambiguous`: several records fit
// equally and no code is given.
enum class Level { none, prefecture, city, town, number, building, floor, ambiguous };

// "prefecture", "city", "town", "number", "building", "floor", "ambiguous"; "none".
std::string_view levelName(Level level);

struct Answer {
    std::string code;     // the one record's code; empty when there is none (ambiguous, prefecture, none)
    std::string address;  // that record's whole address: prefecture, municipality, town area without note
    Level level = Level::none;
    // With `ambiguous`: every candidate code, distinct, in dictionary order.
    std::vector<std::string> candidates;
    // A code written before the address ("〒100-0001 …"), its 7 digits; kept
    // aside, never used to choose the answer.
    std::string writtenCode;
    bool found() const { return !code.empty(); }
};

// The notes of the dictionary by kind, read into conditions or left as text.
struct NoteCount {
    std::string kind;  // "chome", "lot", "other", "floor", "names", "kyoto streets", … or "not read"
    std::size_t records = 0;
};

class AddressIndex {
public:
    explicit AddressIndex(const std::vector<WholeRecord>& records);
    explicit AddressIndex(std::vector<WholeRecord>&& records);
    ~AddressIndex();
    AddressIndex(AddressIndex&&) noexcept;
    AddressIndex& operator=(AddressIndex&&) noexcept;

    Answer match(std::string_view utf8Address) const;

    // Every note's kind with its count of records, the notes not read last
    // ("not read"); `notRead` gets their texts with their counts.
    std::vector<NoteCount> noteCounts() const;
    std::vector<std::pair<std::string, std::size_t>> notesNotRead() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tenmari::address
