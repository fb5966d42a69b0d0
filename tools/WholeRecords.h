#pragma once
// The dictionary's whole records for the address reader, from one pass of
// the tool's own: a split run of lines joined, the town area cut before its
// first "（" and the note kept beside it, in UTF-8.

#include <vector>

#include "DictionaryReader.h"
#include "WholeRecord.h"

namespace tenmari::batch {

// Every whole record in file order. A record whose text is not code page 932
// is left out (the address reader cannot compare it).
std::vector<address::WholeRecord> readWholeRecords(DictionaryReader& reader);

}  // namespace tenmari::batch
