#pragma once
// The whole-record pass with a choice of records, for the lookup's queries:
// a record is handed on when `keep` takes its first line (a run is matched
// by the line that opens it, as a line of its own would be).

#include "RecordFields.h"
#include "WholeRecord.h"

namespace tenmari {

using FirstLineKeep = bool (*)(void* ctx, RecordFields& firstLine);
// `stopsEarly`: the sink is likely to stop the pass soon (a single code).
void forEachWholeRecord(DictionaryReader& reader, bool stopsEarly, void* ctx, FirstLineKeep keep,
                        WholeRecordSink& sink);

}  // namespace tenmari
