#pragma once
// Builds the Jisho folder from Japan Post's nationwide file: the nationwide
// copy and the nine regional files, each line going unchanged to the file of
// its prefecture's region.

#include <array>
#include <cstdint>
#include <filesystem>
#include <stdexcept>

#include "Regions.h"

namespace tenmari::jisho {

// Why nothing was written: an unreadable source, a line without a region, or
// a file that could not be written. The text names the file and the reason.
class BuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Lines written to each file, by region index (0 is the nationwide file).
using LineCounts = std::array<std::uint64_t, kRegionCount>;

// `source` is KEN_ALL.CSV itself or a zip that holds it (told apart by the
// zip signature or a .zip name). Writes `dir`/Zenkoku.csv with the source's
// bytes unchanged and the nine regional files, creating `dir` if needed.
// Files are written beside their final names and renamed into place only
// when all ten are complete; on any error the folder keeps its old files.
// Lines are read as the lookup reads them: a 0x1A ends the data, so it and
// whatever follows it reach the nationwide copy only.
LineCounts build(const std::filesystem::path& source, const std::filesystem::path& dir);

}  // namespace tenmari::jisho
