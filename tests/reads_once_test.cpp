// Each command of tenmari-lookup opens its dictionary once: the single
// commands with or without readings and whole records, and the batch.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Cp932.h"
#include "DictionaryReader.h"
#include "LookupCommands.h"
#include "LookupOptions.h"

namespace {

namespace fs = std::filesystem;

// Standard output to /dev/null for a scope.
struct Quiet {
    Quiet() : saved(::dup(STDOUT_FILENO)) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    ~Quiet() {
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
    }
    int saved;
};

TEST(ReadsOnce, EveryCommandOpensTheDictionaryOnce) {
    const fs::path dir = fs::temp_directory_path() / ("tenmari-once-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string dict = (dir / "KEN_ALL.CSV").string();
    const std::string input = (dir / "queries.txt").string();
    std::ofstream(dict, std::ios::binary) << tenmari::utf8ToCp932(
        "13101,\"100  "
        "\",\"1000001\",\"ﾄｳｷｮｳﾄ\",\"ﾁﾖﾀﾞｸ\",\"ﾁﾖﾀﾞ\",\"東京都\",\"千代田区\",\"千代田（一部\",0,0,0,0,0,0\r\n"
        "13101,\"100  \",\"1000001\",\"ﾄｳｷｮｳﾄ\",\"ﾁﾖﾀﾞｸ\",\"ﾁﾖﾀﾞ\",\"東京都\",\"千代田区\",\"）\",0,0,0,0,0,0\r\n");
    std::ofstream(input) << "1000001\n東京都千代田区\n";
    const std::vector<std::vector<std::string>> commands = {
        {"code", "1000001"},
        {"--kana", "code", "1000001"},
        {"--whole", "code", "1000001"},
        {"--kana", "--whole", "prefix", "100"},
        {"--kana", "address", "東京都千代田区"},
        {"--kana", "--whole", "address", "東京都千代田区"},
        {"--kana", "--whole", "batch", "code", input},
        {"--whole", "--strict", "batch", "address", input},
        {"batch", "address", input},
        {"match", "千代田区千代田１"},
    };
    for (const auto& command : commands) {
        std::vector<std::string> args = {"tenmari-lookup", "--dict", dict};
        args.insert(args.end(), command.begin(), command.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        int status = 0;
        const auto opt = tenmari::lookupcli::parseOptions(static_cast<int>(argv.size()), argv.data(), status);
        ASSERT_TRUE(opt);
        const std::uint64_t before = tenmari::DictionaryReader::opened();
        int rc;
        {
            const Quiet quiet;
            rc = opt->command == "batch"    ? tenmari::lookupcli::runBatch(*opt)
                 : opt->command == "match"  ? tenmari::lookupcli::runMatch(*opt)
                 : opt->command == "code"   ? tenmari::lookupcli::runCode(*opt)
                 : opt->command == "prefix" ? tenmari::lookupcli::runPrefix(*opt)
                                            : tenmari::lookupcli::runAddress(*opt);
        }
        EXPECT_NE(rc, 2) << args[3];  // (a batch line without an answer gives 1)
        EXPECT_EQ(tenmari::DictionaryReader::opened() - before, 1u)
            << command.size() << " " << args[3] << " " << args[4];
    }
    fs::remove_all(dir);
}

}  // namespace
