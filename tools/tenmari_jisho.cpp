// tenmari-jisho: prepares the Jisho folder from Japan Post's nationwide file.
// Exit status: 0 done, 2 error (the folder keeps its old files).

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "JishoBuilder.h"
#include "Regions.h"

namespace {

constexpr const char* kUsage =
    "usage: tenmari-jisho SOURCE DIR\n"
    "\n"
    "  SOURCE  Japan Post's ken_all.zip, or the KEN_ALL.CSV inside it\n"
    "  DIR     the dictionary folder to fill (created if missing)\n"
    "\n"
    "Writes DIR/Zenkoku.csv (SOURCE's bytes unchanged) and the nine regional\n"
    "files, each holding the lines of its region's prefectures, then prints\n"
    "each file with its line count. On an error nothing is replaced.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::filesystem::path dir = argv[2];
    try {
        const tenmari::jisho::LineCounts counts = tenmari::jisho::build(argv[1], dir);
        for (const tenmari::Region& r : tenmari::regions()) {
            std::printf("%s: %llu lines\n", (dir / r.fileName).c_str(),
                        static_cast<unsigned long long>(counts[static_cast<std::size_t>(r.index)]));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tenmari-jisho: %s\n", e.what());
        return 2;
    }
    return 0;
}
