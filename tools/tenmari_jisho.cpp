// tenmari-jisho: prepares the Jisho folder from Japan Post's nationwide file.
// Exit status: 0 done, 2 error (the folder keeps its old files).

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "JishoBuilder.h"
#include "Regions.h"
#include "WriteOut.h"

namespace {

constexpr const char* kUsage =
    "usage: tenmari-jisho SOURCE DIR\n"
    "\n"
    "  SOURCE  Japan Post's ken_all.zip, or the KEN_ALL.CSV inside it\n"
    "          (their UTF-8 edition is converted to code page 932)\n"
    "  DIR     the dictionary folder to fill (created if missing)\n"
    "\n"
    "Writes DIR/Zenkoku.csv (SOURCE's lines unchanged) and the nine regional\n"
    "files, each holding the lines of its region's prefectures, then prints\n"
    "each file with its line count. SOURCE is checked line by line first; on\n"
    "any error, or if the program is stopped, DIR keeps its old files.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        const int err = tenmari::writeOut(kUsage);
        if (err != 0 && err != EPIPE)
            std::fprintf(stderr, "tenmari-jisho: cannot write the output: %s\n", std::strerror(err));
        return err ? 2 : 0;
    }
    if (argc != 3 || argv[1][0] == '\0' || argv[2][0] == '\0') {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::filesystem::path dir = argv[2];
    std::string report;
    try {
        const tenmari::jisho::LineCounts counts = tenmari::jisho::build(argv[1], dir);
        for (const tenmari::Region& r : tenmari::regions()) {
            report += (dir / r.fileName).string() + ": " + std::to_string(counts[static_cast<std::size_t>(r.index)]) +
                      " lines\n";
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tenmari-jisho: %s\n", e.what());
        return 2;
    }
    // The folder is in place; a report that cannot be written is still a failure.
    if (const int err = tenmari::writeOut(report)) {
        if (err != EPIPE) {
            std::fprintf(stderr, "tenmari-jisho: cannot write the report: %s (the dictionaries in %s are in place)\n",
                         std::strerror(err), dir.c_str());
        }
        return 2;
    }
    return 0;
}
