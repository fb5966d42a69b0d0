// tenmari-lookup: the three dictionary queries from the command line.
// Exit status as grep's: 0 found, 1 nothing found, 2 error.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Batch.h"
#include "Cp932.h"
#include "DictionaryReader.h"
#include "MatchRecord.h"
#include "PostReference.h"
#include "Utf8.h"
#include "WriteOut.h"

namespace {

constexpr const char* kUsage =
    "usage: tenmari-lookup [--dict FILE] [--pick-out all|part] [--sjis] code QUERY\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--sjis] prefix QUERY\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--sjis] address QUERY\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--all] batch code|address [FILE]\n"
    "\n"
    "  code     a full postal code (1000001 or 100-0001) to its address\n"
    "  prefix   the first digits of a postal code to every match: code TAB address\n"
    "  address  the beginning of an address to every match: code TAB address\n"
    "  batch    one query per line of FILE (or standard input), all in one pass:\n"
    "           query TAB code TAB address, one line per input line, in order\n"
    "\n"
    "  --dict FILE      dictionary to search (default: Jisho/Zenkoku.csv beside this program)\n"
    "  --pick-out part  leave the prefecture out of addresses and address queries\n"
    "  --sjis           print the dictionary's own code page 932 bytes instead of UTF-8\n"
    "  --all            batch: every record of the answer, one line each\n"
    "\n"
    "QUERY is UTF-8. For code and prefix, full-width digits count as digits and\n"
    "the dashes － − ‐ ー as a hyphen; an address is compared exactly.\n"
    "Exit status: 0 found (batch: every query answered), 1 nothing found (batch: some\n"
    "query without an answer), 2 error.\n";

enum class Command { Code, Prefix, Address };

int fail(const std::string& message) {
    std::fprintf(stderr, "tenmari-lookup: %s\n", message.c_str());
    return 2;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "tenmari-lookup: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// Status 2 for a failed write. A reader that went away (`| head -1`) is no
// error worth a message: it has all it wanted.
int writeFailed(int err) {
    if (err == EPIPE) return 2;
    return fail(std::string("cannot write the output: ") + std::strerror(err));
}

std::string defaultDictionary() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const auto dir = ec ? std::filesystem::current_path() : exe.parent_path();
    return (dir / "Jisho" / "Zenkoku.csv").string();
}

// ---------------------------------------------------------------- the query

// Characters that must not reach the terminal as they are: controls, and
// those that reorder or hide text.
bool invisible(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || (cp >= 0x200B && cp <= 0x200F) ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF;
}

std::string hexByte(unsigned char c) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("\\x") + kHex[c >> 4] + kHex[c & 0xF];
}

std::string codePoint(char32_t cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

// A short piece of the query around byte `at` (a few characters either
// side), quoted, with bytes that are not fit to print escaped.
std::string excerpt(std::string_view q, std::size_t at) {
    constexpr int kAround = 8;
    // Character starts before `at`, counted back over valid characters.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < at;) {
        starts.push_back(i);
        const auto ch = tenmari::utf8::decode(q, i);
        i += ch ? ch->length : 1;
    }
    const std::size_t from = starts.size() > kAround ? starts[starts.size() - kAround] : 0;
    std::string out = from > 0 ? "\"…" : "\"";
    std::size_t i = from;
    for (int after = 0; i < q.size() && (i <= at || after < kAround);) {
        if (i > at) ++after;
        const auto ch = tenmari::utf8::decode(q, i);
        if (!ch) {
            out += hexByte(static_cast<unsigned char>(q[i]));
            ++i;
        } else {
            if (invisible(ch->cp) || ch->cp == '"' || ch->cp == '\\') {
                for (std::size_t k = 0; k < ch->length; ++k) out += hexByte(static_cast<unsigned char>(q[i + k]));
            } else {
                out.append(q.substr(i, ch->length));
            }
            i += ch->length;
        }
    }
    out += i < q.size() ? "…\"" : "\"";
    return out;
}

// An argument in a message: at most 32 characters, with bytes that are not
// fit to print escaped.
std::string shown(std::string_view a) {
    std::string out;
    std::size_t i = 0;
    for (int chars = 0; i < a.size() && chars < 32; ++chars) {
        const auto ch = tenmari::utf8::decode(a, i);
        const std::size_t n = ch ? ch->length : 1;
        if (!ch || invisible(ch->cp) || ch->cp == '\\') {
            for (std::size_t k = 0; k < n; ++k) out += hexByte(static_cast<unsigned char>(a[i + k]));
        } else {
            out.append(a.substr(i, n));
        }
        i += n;
    }
    return i < a.size() ? out + "…" : out;
}

// Why a query cannot be converted to the dictionaries' code page 932.
std::string whyNotConvertible(std::string_view q) {
    for (std::size_t i = 0; i < q.size();) {
        const auto ch = tenmari::utf8::decode(q, i);
        if (!ch) {
            return "the query is not UTF-8 text: the byte 0x" + hexByte(static_cast<unsigned char>(q[i])).substr(2) +
                   " at byte " + std::to_string(i + 1) + " begins no UTF-8 character, in " + excerpt(q, i);
        }
        try {
            tenmari::utf8ToCp932(q.substr(i, ch->length));
        } catch (const tenmari::EncodingError&) {
            const std::string glyph =
                invisible(ch->cp) ? std::string() : " (" + std::string(q.substr(i, ch->length)) + ")";
            return "the query holds " + codePoint(ch->cp) + glyph +
                   ", which has no form in code page 932, the dictionaries' encoding, in " + excerpt(q, i);
        }
        i += ch->length;
    }
    return "the query cannot be converted to code page 932";
}

using tenmari::batch::asciiDigitsAndHyphens;

// ---------------------------------------------------------------- records that cannot be shown

// The first bytes of a record that are not code page 932 text, for the message.
std::string firstBadBytes(std::string_view cp932) {
    for (std::size_t i = 0; i < cp932.size();) {
        const std::size_t n = tenmari::charSizeAt(cp932, i);
        try {
            tenmari::cp932ToUtf8(cp932.substr(i, n));
        } catch (const tenmari::EncodingError&) {
            std::string shown;
            for (std::size_t k = 0; k < n; ++k) shown += (k ? " 0x" : "0x") + hexByte(static_cast<unsigned char>(cp932[i + k])).substr(2);
            return shown;
        }
        i += n;
    }
    return "some bytes";
}

// ---------------------------------------------------------------- batch

// All of a file, or of standard input for "-"; the errno of a failure.
int readAll(const std::string& path, std::string& out) {
    const int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        if (fd != STDIN_FILENO) ::close(fd);
        return EISDIR;
    }
    char buf[1 << 16];
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) err = errno;
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    if (fd != STDIN_FILENO) ::close(fd);
    return err;
}

// Every record of the dictionary, in file order, as (code, address text).
// One pass of the lookup itself: its postal-code pass with an empty prefix,
// which every record matches.
void forEachRecord(tenmari::TPostReference& ref, const tenmari::TPostReference::MatchFn& record) {
    ref.PostToAddressEach("", record);
}

int runBatch(const std::string& dict, tenmari::TPostOption pickOut, bool all, std::string_view kindName,
             const std::string& input) {
    using tenmari::batch::QueryTable;
    QueryTable::Kind kind;
    if (kindName == "code") {
        kind = QueryTable::Kind::code;
    } else if (kindName == "address") {
        kind = QueryTable::Kind::address;
    } else {
        return usageError("batch takes code or address, not '" + shown(kindName) + "'");
    }
    const std::string inputName = input == "-" ? "standard input" : input;
    std::string text;
    if (const int err = readAll(input, text)) return fail(inputName + ": " + std::strerror(err));
    std::vector<std::string_view> lines;
    if (const auto e = tenmari::batch::splitLines(text, lines)) {
        return fail(inputName + ": line " + std::to_string(e->line) + ": " + e->message);
    }

    QueryTable table(kind, all);
    for (const std::string_view line : lines) {
        // ASCII is the same bytes in code page 932: no conversion needed.
        const auto toCp932 = [](std::string_view utf8) {
            return std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })
                       ? std::string(utf8)
                       : tenmari::utf8ToCp932(utf8);
        };
        try {
            if (kind == QueryTable::Kind::code) {
                std::string q = toCp932(asciiDigitsAndHyphens(line));
                if (const auto h = q.find('-'); h != std::string::npos) q.erase(h, 1);
                table.add(std::move(q));
            } else {
                table.add(toCp932(line));
            }
        } catch (const tenmari::EncodingError&) {
            table.add(std::nullopt);  // no code page 932 form: no record can match it
        }
    }
    table.seal();

    tenmari::TPostReference ref;
    ref.SetPostFile(dict);
    ref.SetPickOut(pickOut);
    bool notFound = false;
    ref.OnNotPostFile = [&](tenmari::TPostReference&) { notFound = true; };
    struct stat st {};
    if (::stat(dict.c_str(), &st) != 0) return fail(dict + ": no such dictionary file");
    if (S_ISDIR(st.st_mode)) return fail(dict + ": is a folder, not a dictionary file");
    try {
        forEachRecord(ref, [&](std::string_view code, std::string_view address) { table.offer(code, address); });
        if (notFound) return fail(dict + ": no such dictionary file");
        // Old 3- and 5-digit codes, as the single search answers them: the
        // address of the first record with that old code.
        for (const auto& [query, slot] : table.oldCodes()) {
            std::string address = ref.PostToAddress(query);
            if (!notFound) table.answerOldCode(slot, {}, address);
            notFound = false;
        }
    } catch (const tenmari::PostFileError& e) {
        return fail(e.what());
    }

    // In input order, written a piece at a time.
    bool unanswered = false;
    std::string out;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (!table.answered(k)) {
            unanswered = true;
            out.append(lines[k]).append("\t\t\n");
        }
        std::optional<std::string> bad;
        table.forEachAnswer(k, [&](std::string_view code, std::string_view address) {
            if (bad) return;
            out.append(lines[k]).append(1, '\t').append(code).append(1, '\t');
            const std::size_t at = out.size();
            out.resize(at + tenmari::utf8Room(address.size()));
            try {
                out.resize(static_cast<std::size_t>(tenmari::cp932ToUtf8(address, out.data() + at) - out.data()));
            } catch (const tenmari::EncodingError&) {
                bad = std::string(code);
            }
            out.push_back('\n');
        });
        if (bad) return fail(dict + ": the record of " + *bad + " cannot be shown as UTF-8");
        if (out.size() >= (1u << 20) || k + 1 == lines.size()) {
            if (const int err = tenmari::writeOut(out)) return writeFailed(err);
            out.clear();
        }
    }
    return unanswered ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::string> dictOption;
    bool sjis = false;
    bool all = false;
    tenmari::TPostOption pickOut = tenmari::poptAll;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            const int err = tenmari::writeOut(kUsage);
            return err ? writeFailed(err) : 0;
        }
        if (arg == "--dict") {
            if (++i == argc) return usageError("--dict needs a file");
            if (argv[i][0] == '\0') return usageError("--dict needs a file, not an empty name");
            dictOption = argv[i];
        } else if (arg == "--pick-out") {
            if (++i == argc) return usageError("--pick-out needs all or part");
            const std::string_view v = argv[i];
            if (v == "all") {
                pickOut = tenmari::poptAll;
            } else if (v == "part") {
                pickOut = tenmari::poptPart;
            } else {
                return usageError("--pick-out takes all or part, not '" + shown(v) + "'");
            }
        } else if (arg == "--sjis") {
            sjis = true;
        } else if (arg == "--all") {
            all = true;
        } else if (arg == "--") {
            ++i;
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option '" + shown(arg) + "'");
        } else {
            break;
        }
    }
    if (i < argc && std::string_view(argv[i]) == "batch") {
        if (argc - i != 2 && argc - i != 3) return usageError("batch expects code or address, and at most one FILE");
        if (sjis) return usageError("--sjis does not go with batch: its output is UTF-8 like its input");
        return runBatch(dictOption ? *dictOption : defaultDictionary(), pickOut, all, argv[i + 1],
                        argc - i == 3 ? argv[i + 2] : "-");
    }
    if (all) return usageError("--all goes with batch only");
    if (argc - i != 2) return usageError("expected a command and one QUERY");
    const std::string_view commandName = argv[i];
    Command command;
    if (commandName == "code") {
        command = Command::Code;
    } else if (commandName == "prefix") {
        command = Command::Prefix;
    } else if (commandName == "address") {
        command = Command::Address;
    } else {
        return usageError("unknown command '" + shown(commandName) + "'");
    }
    const std::string dict = dictOption ? *dictOption : defaultDictionary();

    std::string query;
    {
        const std::string_view typed = argv[i + 1];
        const std::string utf8 = command == Command::Address ? std::string(typed) : asciiDigitsAndHyphens(typed);
        try {
            query = tenmari::utf8ToCp932(utf8);
        } catch (const tenmari::EncodingError&) {
            return fail(whyNotConvertible(utf8));
        }
    }

    tenmari::TPostReference ref;
    ref.SetPostFile(dict);
    ref.SetPickOut(pickOut);
    bool notFound = false;
    ref.OnNotPostFile = [&](tenmari::TPostReference&) { notFound = true; };
    // The event also tells of a code query without a match: what is there decides.
    auto noDictionary = [&]() -> std::optional<int> {
        struct stat st {};
        if (::stat(dict.c_str(), &st) != 0) return fail(dict + ": no such dictionary file");
        if (S_ISDIR(st.st_mode)) return fail(dict + ": is a folder, not a dictionary file");
        return std::nullopt;
    };

    try {
        // Every record in the dictionary's encoding, one after the other:
        // code TAB address for the lists, the address alone for a code.
        std::string records;
        std::vector<std::size_t> ends;  // where each record ends in `records`
        std::vector<std::uint64_t> lines;  // each record's line in the file
        // The matches as the pass finds them, with no lists of strings.
        tenmari::MatchSinkFn match([&](const tenmari::MatchRecord& r) {
            if (command != Command::Code) records.append(r.code).append(1, '\t');
            records.append(r.address).append(1, '\n');
            ends.push_back(records.size());
            lines.push_back(r.line);
        }, false);  // no readings shown
        if (command == Command::Code) {
            if (!ref.PostToAddressRecord(query, match)) {
                if (const auto rc = noDictionary()) return *rc;
                return 1;  // a found record may still have an empty address
            }
        } else {
            if (command == Command::Prefix) {
                ref.PostToAddressEach(query, match);
            } else {
                ref.AddressToPostEach(query, match);
            }
            if (notFound) {
                if (const auto rc = noDictionary()) return *rc;
            }
        }
        const auto record = [&](std::size_t k) {
            const std::size_t begin = k == 0 ? 0 : ends[k - 1];
            return std::string_view(records).substr(begin, ends[k] - begin);
        };

        // Converted as a whole; should a record hold bytes that are not code
        // page 932, every other record still comes out and each bad one is
        // named by its line in the file.
        std::string_view out = records;
        std::vector<std::size_t> bad;
        std::unique_ptr<char[]> utf8;
        if (!sjis) {
            utf8 = std::make_unique_for_overwrite<char[]>(tenmari::utf8Room(records.size()));
            char* end = utf8.get();
            try {
                end = tenmari::cp932ToUtf8(records, utf8.get());
            } catch (const tenmari::EncodingError&) {
                end = utf8.get();
                for (std::size_t k = 0; k < ends.size(); ++k) {
                    try {
                        end = tenmari::cp932ToUtf8(record(k), end);
                    } catch (const tenmari::EncodingError&) {
                        bad.push_back(k);
                    }
                }
            }
            out = std::string_view(utf8.get(), static_cast<std::size_t>(end - utf8.get()));
        }
        if (const int err = tenmari::writeOut(out)) return writeFailed(err);
        if (!bad.empty()) {
            for (std::size_t k = 0; k < bad.size(); ++k) {
                const std::uint64_t line = lines[bad[k]];
                const std::string where = line ? "line " + std::to_string(line) : "a record";
                fail(dict + ": " + where + ": the record cannot be shown as UTF-8: " +
                     firstBadBytes(record(bad[k])) + " is no code page 932 character (--sjis prints its bytes)");
            }
            return 2;
        }
        return ends.empty() ? 1 : 0;
    } catch (const tenmari::PostFileError& e) {
        return fail(e.what());
    } catch (const std::bad_alloc&) {
        return fail(dict + ": out of memory");
    }
}
