// tenmari-lookup: the three dictionary queries from the command line.
// Exit status as grep's: 0 found, 1 nothing found, 2 error.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Cp932.h"
#include "PostReference.h"

namespace {

constexpr const char* kUsage =
    "usage: tenmari-lookup [--dict FILE] [--pick-out all|part] [--sjis] code QUERY\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--sjis] prefix QUERY\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--sjis] address QUERY\n"
    "\n"
    "  code     a full postal code (1000001 or 100-0001) to its address\n"
    "  prefix   the first digits of a postal code to every match: code TAB address\n"
    "  address  the beginning of an address to every match: code TAB address\n"
    "\n"
    "  --dict FILE      dictionary to search (default: Jisho/Zenkoku.csv beside this program)\n"
    "  --pick-out part  leave the prefecture out of addresses and address queries\n"
    "  --sjis           print the dictionary's own code page 932 bytes instead of UTF-8\n"
    "\n"
    "QUERY is UTF-8. Exit status: 0 found, 1 nothing found, 2 error.\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "tenmari-lookup: %s\n", message.c_str());
    return 2;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "tenmari-lookup: %s\n%s", message.c_str(), kUsage);
    return 2;
}

std::string defaultDictionary() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const auto dir = ec ? std::filesystem::current_path() : exe.parent_path();
    return (dir / "Jisho" / "Zenkoku.csv").string();
}

}  // namespace

int main(int argc, char** argv) {
    std::string dict;
    bool sjis = false;
    tenmari::TPostOption pickOut = tenmari::poptAll;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--dict") {
            if (++i == argc) return usageError("--dict needs a file");
            dict = argv[i];
        } else if (arg == "--pick-out") {
            if (++i == argc) return usageError("--pick-out needs all or part");
            const std::string_view v = argv[i];
            if (v == "all") {
                pickOut = tenmari::poptAll;
            } else if (v == "part") {
                pickOut = tenmari::poptPart;
            } else {
                return usageError("--pick-out takes all or part, not '" + std::string(v) + "'");
            }
        } else if (arg == "--sjis") {
            sjis = true;
        } else if (arg == "--") {
            ++i;
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option '" + std::string(arg) + "'");
        } else {
            break;
        }
    }
    if (argc - i != 2) return usageError("expected a command and one QUERY");
    const std::string_view command = argv[i];
    const std::string_view queryUtf8 = argv[i + 1];
    if (command != "code" && command != "prefix" && command != "address") {
        return usageError("unknown command '" + std::string(command) + "'");
    }
    if (dict.empty()) dict = defaultDictionary();

    std::string query;
    try {
        query = tenmari::utf8ToCp932(queryUtf8);
    } catch (const tenmari::EncodingError& e) {
        return fail("query '" + std::string(queryUtf8) + "': " + e.what());
    }

    tenmari::TPostReference ref;
    ref.SetPostFile(dict);
    ref.SetPickOut(pickOut);
    bool missing = false;
    bool notFound = false;
    ref.OnNotPostFile = [&](tenmari::TPostReference& sender) {
        notFound = true;
        struct stat st {};
        missing = ::stat(sender.PostFile().c_str(), &st) != 0 || S_ISDIR(st.st_mode);
    };

    // The output is built whole before any of it is written (a query that
    // fails part-way prints nothing), a line at a time converted from the
    // dictionary's encoding into blocks that are never moved. Should a record
    // hold bytes that are not code page 932, every other line still comes out
    // and the bad ones are named on stderr. A line is its code (when given), a
    // tab and its address.
    bool badRecord = false;
    std::string badRecords;  // their messages, printed with the output
    std::vector<std::pair<std::unique_ptr<char[]>, std::size_t>> blocks;  // bytes, and how many are used
    std::size_t blockRoom = 0;
    auto emit = [&](const std::string_view* code, std::string_view address) {
        const std::size_t need = tenmari::utf8Room((code ? code->size() + 1 : 0) + address.size() + 1);
        if (blocks.empty() || blockRoom - blocks.back().second < need) {
            blockRoom = std::max<std::size_t>(need, std::size_t{256} << 10);
            blocks.emplace_back(std::make_unique_for_overwrite<char[]>(blockRoom), 0);
        }
        char* const line = blocks.back().first.get() + blocks.back().second;
        char* out = line;
        try {
            if (code) {
                out = sjis ? std::copy(code->begin(), code->end(), out) : tenmari::cp932ToUtf8(*code, out);
                *out++ = '\t';
            }
            out = sjis ? std::copy(address.begin(), address.end(), out) : tenmari::cp932ToUtf8(address, out);
            *out++ = '\n';
        } catch (const tenmari::EncodingError&) {
            // Converted as a whole line, for the error to tell where in it.
            std::string cp932(code ? *code : std::string_view());
            if (code) cp932 += '\t';
            cp932.append(address).append(1, '\n');
            try {
                out = tenmari::cp932ToUtf8(cp932, line);
            } catch (const tenmari::EncodingError& e) {
                out = line;
                badRecord = true;
                badRecords += "tenmari-lookup: " + dict + ": a record is not code page 932 text (" + e.what() + ")\n";
            }
        }
        blocks.back().second = static_cast<std::size_t>(out - blocks.back().first.get());
    };
    auto print = [&] {
        std::fputs(badRecords.c_str(), stderr);
        for (const auto& [bytes, used] : blocks) std::fwrite(bytes.get(), 1, used, stdout);
    };

    try {
        std::size_t found = 0;
        if (command == "code") {
            const std::string address = ref.PostToAddress(query);
            if (missing) return fail(dict + ": no such dictionary file");
            if (notFound) return 1;  // a found record may still have an empty address
            emit(nullptr, address);
            print();
            found = 1;
        } else {
            auto match = [&](std::string_view code, std::string_view address) {
                emit(&code, address);
                ++found;
            };
            if (command == "prefix") {
                ref.PostToAddressEach(query, match);
            } else {
                ref.AddressToPostEach(query, match);
            }
            if (missing) return fail(dict + ": no such dictionary file");
            print();
        }
        if (std::fflush(stdout) != 0) return fail(std::string("cannot write the output: ") + std::strerror(errno));
        if (badRecord) return 2;
        return found > 0 ? 0 : 1;
    } catch (const tenmari::PostFileError& e) {
        return fail(e.what());
    } catch (const std::bad_alloc&) {
        return fail(dict + ": out of memory");
    }
}
