#pragma once
// The address reader's records from a dictionary, through the lookup's one
// whole-record pass: code page 932 made UTF-8, the note without its outer
// brackets.

#include <string>
#include <vector>

#include "AddressRecord.h"

namespace tenmari {
class DictionaryReader;
}

namespace tenmari::address {

// Every whole record of the dictionary in file order. A record whose text is
// not code page 932 is left out (nothing written could be compared with it).
// Throws PostFileError on a read error.
std::vector<WholeRecord> readRecords(DictionaryReader& reader);
// Only the records of the municipalities `mentions` names, and every
// municipality's own record (以下に掲載がない場合): enough for those addresses.
class Mentions;
std::vector<WholeRecord> readRecords(DictionaryReader& reader, const Mentions& mentions);
std::vector<WholeRecord> readRecords(const std::string& dictionary);

}  // namespace tenmari::address
