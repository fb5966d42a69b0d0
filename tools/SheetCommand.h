#pragma once
// tenmari-lookup sheet: a CSV list saved by a spreadsheet, with its postal
// codes added or checked, written beside it.

#include "LookupOptions.h"

namespace tenmari::lookupcli {

int runSheet(const Options& opt);  // sheet [--column …] [--code-column …] [--check] [--output FILE] [--force] FILE.csv

}  // namespace tenmari::lookupcli
