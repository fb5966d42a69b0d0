#pragma once
// tenmari-lookup sheet: a CSV list saved by a spreadsheet, with its postal
// codes added or checked, written beside it.

#include <string>
#include <string_view>
#include <vector>

namespace tenmari::batch {

// The command's arguments after "sheet"; the exit status.
int runSheet(const std::string& dictionary, const std::vector<std::string_view>& args);

}  // namespace tenmari::batch
