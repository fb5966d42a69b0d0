#pragma once
// Builds the Jisho folder from Japan Post's nationwide file: the nationwide
// copy and the nine regional files, each line going unchanged to the file of
// its prefecture's region.

#include <filesystem>
#include <functional>

#include "SourceCheck.h"  // BuildError, LineCounts

namespace tenmari::jisho {

// `source` is KEN_ALL.CSV itself or a zip that holds it (told apart by the
// zip signature or a .zip name); only a regular file is taken, and no more
// than 256 MB of data. The source must pass SourceCheck; a UTF-8 source is
// converted to code page 932, a code page 932 one is copied byte for byte.
//
// The ten files are built in a hidden folder beside `dir` and swapped in
// with one rename, so that `dir` always holds either its old files or the
// new set, also when the process is killed; files of `dir` other than the
// ten move over to the new folder. Leftovers of an interrupted run are
// cleared by the next. On any error `dir` is left as it was; a folder made
// for nothing is removed again. Throws BuildError naming the source, its
// line or the folder.
//
// The folder keeps its owner and mode; a read-only one is refused before
// anything changes. The swap takes out only the folder that stood at `dir`
// when the run began (or fills the place where nothing stood): anything else
// found there makes the run fail, and is kept. `newSetReady` (for tests) is
// called once the new set is complete, just before the swap.
LineCounts build(const std::filesystem::path& source, const std::filesystem::path& dir,
                 const std::function<void()>& newSetReady = {});

}  // namespace tenmari::jisho
