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

    // The output is built in one buffer, a line at a time converted from the
    // dictionary's encoding; should a record hold bytes that are not code page
    // 932, every other line still comes out and the bad ones are named on stderr.
    // Each line is its code (when codes are given), a tab and its address.
    bool badRecord = false;
    auto emit = [&](const tenmari::TPostReference::StringList* codes,
                    const tenmari::TPostReference::StringList& addresses) {
        auto code = [&](std::size_t k) { return codes ? std::string_view(codes->at(k)) : std::string_view(); };
        std::size_t room = 0;
        for (std::size_t k = 0; k < addresses.size(); ++k) {
            room += tenmari::utf8Room(code(k).size() + addresses[k].size() + 2);
        }
        const auto buffer = std::make_unique_for_overwrite<char[]>(room);
        char* out = buffer.get();
        for (std::size_t k = 0; k < addresses.size(); ++k) {
            char* const line = out;
            try {
                if (codes) {
                    out = sjis ? std::copy(code(k).begin(), code(k).end(), out) : tenmari::cp932ToUtf8(code(k), out);
                    *out++ = '\t';
                }
                const std::string_view address = addresses[k];
                out = sjis ? std::copy(address.begin(), address.end(), out) : tenmari::cp932ToUtf8(address, out);
                *out++ = '\n';
            } catch (const tenmari::EncodingError&) {
                // Converted as a whole line, for the error to tell where in it.
                std::string cp932(code(k));
                if (codes) cp932 += '\t';
                cp932.append(addresses[k]).append(1, '\n');
                try {
                    out = tenmari::cp932ToUtf8(cp932, line);
                } catch (const tenmari::EncodingError& e) {
                    out = line;
                    badRecord = true;
                    std::fprintf(stderr, "tenmari-lookup: %s: a record is not code page 932 text (%s)\n",
                                 dict.c_str(), e.what());
                }
            }
        }
        std::fwrite(buffer.get(), 1, static_cast<std::size_t>(out - buffer.get()), stdout);
    };

    try {
        std::size_t found = 0;
        if (command == "code") {
            const std::string address = ref.PostToAddress(query);
            if (missing) return fail(dict + ": no such dictionary file");
            if (notFound) return 1;  // a found record may still have an empty address
            emit(nullptr, tenmari::TPostReference::StringList{address});
            found = 1;
        } else {
            tenmari::TPostReference::StringList addresses;
            tenmari::TPostReference::StringList codes;
            if (command == "prefix") {
                ref.PostToAddressList(query, addresses, codes);
            } else {
                ref.AddressToPostList(query, addresses, codes);
            }
            if (missing) return fail(dict + ": no such dictionary file");
            emit(&codes, addresses);
            found = codes.size();
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
