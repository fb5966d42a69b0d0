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
#include <utility>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Batch.h"
#include "Cp932.h"
#include "DictionaryReader.h"
#include "DictionaryScan.h"
#include "MatchRecord.h"
#include "PostReference.h"
#include "SheetCommand.h"
#include "Utf8.h"
#include "WriteOut.h"

namespace {

constexpr const char* kUsage =
    "usage: tenmari-lookup [--dict FILE] [--pick-out all|part] [--kana] [--whole] [--sjis] code QUERY\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--kana] [--whole] [--sjis] prefix QUERY\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--kana] [--whole] [--sjis] address QUERY\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--kana] [--whole] [--all] [--fold]\n"
    "                      batch code|address [FILE]\n"
    "       tenmari-lookup [--dict FILE] sheet [--column N|NAME] [--code-column N|NAME] [--check]\n"
    "                      [--output FILE] [--force] FILE.csv\n"
    "\n"
    "  code     a full postal code (1000001 or 100-0001) to its address\n"
    "  prefix   the first digits of a postal code to every match: code TAB address\n"
    "  address  the beginning of an address to every match: code TAB address\n"
    "  batch    one query per line of FILE (or standard input), all in one pass:\n"
    "           query TAB code TAB address, one line per input line, in order;\n"
    "           an address query finds the record whose address is its longest beginning\n"
    "  sheet    a list saved by a spreadsheet as CSV (UTF-8, with or without its mark,\n"
    "           or Shift_JIS), written back as it was with two columns added:\n"
    "           郵便番号 and 確認 (empty when the address was understood to its town,\n"
    "           else how far it was, \"ambiguous\" with the candidate codes, or\n"
    "           \"not found\"); to FILE_郵便番号.csv beside it, in its encoding\n"
    "    --column N|NAME       the address column by number from 1 or by header\n"
    "                          (default: the first header holding 住所)\n"
    "    --code-column N|NAME  fill this column where it is empty instead\n"
    "    --check               keep filled codes; tell in 確認 the ones that\n"
    "                          disagree with the address, with the right code\n"
    "    --output FILE         write there instead; --force replaces a file\n"
    "\n"
    "  --dict FILE      dictionary to search (default: Jisho/Zenkoku.csv beside this program)\n"
    "  --pick-out part  leave the prefecture out of addresses and address queries\n"
    "  --sjis           print the dictionary's own code page 932 bytes instead of UTF-8\n"
    "  --kana           add the reading in full-width katakana as the last column\n"
    "  --whole          join the lines Japan Post splits a long town area over, and\n"
    "                   drop the notes in brackets (from the first \"（\" on)\n"
    "  --all            batch: every record of the answer, one line each\n"
    "  --fold           batch address: half-width digits, letters, spaces and \"-\"\n"
    "                   become full-width before matching (1-9 → １－９)\n"
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
            for (std::size_t k = 0; k < n; ++k)
                shown += (k ? " 0x" : "0x") + hexByte(static_cast<unsigned char>(cp932[i + k])).substr(2);
            return shown;
        }
        i += n;
    }
    return "some bytes";
}

// ---------------------------------------------------------------- batch

// All of a file, or of standard input for "-"; the errno of a failure.
int readAll(const std::string& path, tenmari::batch::FlatArray<char>& out) {
    const int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        if (fd != STDIN_FILENO) ::close(fd);
        return EISDIR;
    }
    // A file's size is known: one buffer, read into at once.
    const bool sized = S_ISREG(st.st_mode) && st.st_size > 0;
    std::size_t chunk = sized ? static_cast<std::size_t>(st.st_size) + 1 : std::size_t{1} << 16;
    int err = 0;
    for (;;) {
        const std::size_t at = out.size();
        out.resize(at + chunk);
        ssize_t n;
        do {
            n = ::read(fd, out.data() + at, chunk);
        } while (n < 0 && errno == EINTR);
        out.resize(at + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        if (n < 0) err = errno;
        if (n <= 0) break;
        chunk = sized ? std::size_t{1} << 16 : std::max(chunk, out.size());
    }
    if (fd != STDIN_FILENO) ::close(fd);
    return err;
}

// Whether all bytes are ASCII, eight at a time.
bool ascii(std::string_view s) {
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        if ((w & 0x8080808080808080ull) != 0) return false;
    }
    for (; i < s.size(); ++i) {
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    }
    return true;
}

// The query of a code line in code page 932 with its first hyphen removed
// (in `storage` when it had to change), or nullopt when it has no form there.
std::optional<std::string_view> codeQuery(std::string_view line, std::string& storage) {
    // The common lines first: 7 digits, or 3 digits, a hyphen and 4.
    const auto digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (line.size() == 7 && digits(line)) return line;
    if (line.size() == 8 && line[3] == '-' && digits(line.substr(0, 3)) && digits(line.substr(4))) {
        storage.assign(line.substr(0, 3)).append(line.substr(4));
        return storage;
    }
    try {
        const std::string typed = asciiDigitsAndHyphens(line);
        storage = ascii(typed) ? typed : tenmari::utf8ToCp932(typed);
    } catch (const tenmari::EncodingError&) {
        return std::nullopt;  // no code page 932 form: no record can match it
    }
    if (const auto h = storage.find('-'); h != std::string::npos) storage.erase(h, 1);
    return storage;
}

// The address queries in code page 932 (folded first with `fold`), converted
// in blocks of lines (a conversion's buffer is reused from block to block),
// a block whose text has a line without a form there line by line: that line
// then has no answer.
void addAddressQueries(tenmari::batch::QueryTable& table, const tenmari::batch::FlatArray<std::string_view>& lines,
                       bool fold) {
    std::string folded;
    const auto prepare = [&](std::string_view utf8) -> std::string_view {
        if (!fold) return utf8;
        folded = tenmari::batch::foldToFullWidth(utf8);
        return folded;
    };
    const auto convert = [](std::string_view utf8) {
        return ascii(utf8) ? std::string(utf8) : tenmari::utf8ToCp932(utf8);
    };
    constexpr std::size_t kBlockBytes = 32 * 1024;
    std::vector<std::string_view> block;  // the queries of one block, into `converted`
    for (std::size_t first = 0; first < lines.size();) {
        // Whole lines up to about a block; they lie one after the other in the input.
        std::size_t last = first;
        const char* const begin = lines[first].data();
        while (last + 1 < lines.size() &&
               static_cast<std::size_t>(lines[last + 1].data() + lines[last + 1].size() - begin) < kBlockBytes) {
            ++last;
        }
        const std::string_view text(begin, static_cast<std::size_t>(lines[last].data() + lines[last].size() - begin));
        std::string converted;
        block.clear();
        try {
            converted = convert(prepare(text));
            // Cut again as the lines were: at every LF, one CR before it dropped.
            // ASCII stays ASCII, so the cuts fall alike.
            for (std::size_t at = 0;;) {
                const std::size_t nl = converted.find('\n', at);
                std::string_view q =
                    std::string_view(converted).substr(at, nl == std::string::npos ? std::string::npos : nl - at);
                if (q.ends_with('\r')) q.remove_suffix(1);
                block.push_back(q);
                if (nl == std::string::npos) break;
                at = nl + 1;
            }
        } catch (const tenmari::EncodingError&) {
            block.clear();
        }
        if (block.size() == last - first + 1) {
            table.addAll(block);
        } else {  // a line without a form, or not cut as the lines were: line by line
            for (std::size_t k = first; k <= last; ++k) {
                try {
                    table.add(convert(prepare(lines[k])));
                } catch (const tenmari::EncodingError&) {
                    table.add(std::nullopt);
                }
            }
        }
        first = last + 1;
    }
}

// The dictionary's size and a short name for the progress line.
std::pair<std::uint64_t, std::string> dictionarySize(const std::string& dict) {
    struct stat st {};
    const std::uint64_t size = ::stat(dict.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return {size, std::filesystem::path(dict).filename().string()};
}

struct Options {
    tenmari::TPostOption pickOut = tenmari::poptAll;
    bool all = false;
    bool kana = false;
    bool whole = false;
    bool fold = false;
};

int runBatch(const std::string& dict, const Options& opt, std::string_view kindName, const std::string& input,
             tenmari::batch::Progress::Clock::time_point start) {
    using tenmari::batch::QueryTable;
    QueryTable::Kind kind;
    if (kindName == "code") {
        kind = QueryTable::Kind::code;
    } else if (kindName == "address") {
        kind = QueryTable::Kind::address;
    } else {
        return usageError("batch takes code or address, not '" + shown(kindName) + "'");
    }
    if (opt.fold && kind != QueryTable::Kind::address) return usageError("--fold goes with batch address only");
    const std::string inputName = input == "-" ? "standard input" : input;
    tenmari::batch::FlatArray<char> text;
    if (const int err = readAll(input, text)) return fail(inputName + ": " + std::strerror(err));
    tenmari::batch::FlatArray<std::string_view> lines;
    if (const auto e = tenmari::batch::splitLines(view(text), lines)) {
        return fail(inputName + ": line " + std::to_string(e->line) + ": " + e->message);
    }

    QueryTable table(kind, opt.all);
    table.expect(lines.size());
    if (kind == QueryTable::Kind::code) {
        std::string storage;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            if (k + 16 < lines.size()) table.prefetchCode(lines[k + 16]);  // its place in the table, ahead
            table.add(codeQuery(lines[k], storage));
        }
    } else {
        addAddressQueries(table, lines, opt.fold);
    }
    table.seal();
    std::unique_ptr<tenmari::DictionaryReader> reader;
    try {
        reader = tenmari::DictionaryReader::open(dict);
        if (!reader) {
            struct stat st {};
            if (::stat(dict.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                return fail(dict + ": is a folder, not a dictionary file");
            }
            return fail(dict + ": no such dictionary file");
        }
        const auto [size, name] = dictionarySize(dict);
        tenmari::batch::Progress progress(::isatty(STDERR_FILENO) == 1, size, name, start, [](std::string_view s) {
            (void)!::write(STDERR_FILENO, s.data(), s.size());
        });
        tenmari::batch::answerBatch(table, kind, *reader, {opt.pickOut, opt.whole}, opt.kana,
                                    [&](std::uint64_t bytes, std::uint64_t read) {
                                        progress.update(bytes, read, tenmari::batch::Progress::Clock::now());
                                    });
        progress.done();
    } catch (const tenmari::PostFileError& e) {
        return fail(e.what());
    }
    // In input order, written a block at a time from one buffer.
    constexpr std::size_t kBlock = 256 * 1024;
    std::vector<char> buf(kBlock);
    std::size_t used = 0;
    const auto flush = [&] {
        const int err = tenmari::writeOut(std::string_view(buf.data(), used));
        used = 0;
        return err;
    };
    // Room for n more bytes: the block written out first when it is full.
    const auto room = [&](std::size_t n) -> std::optional<int> {
        if (used + n <= buf.size()) return std::nullopt;
        if (const int err = flush()) return err;
        if (n > buf.size()) buf.resize(n);
        return std::nullopt;
    };
    const auto put = [&](std::string_view s) {
        std::memcpy(buf.data() + used, s.data(), s.size());
        used += s.size();
    };
    const std::string_view none = opt.kana ? "\t\t\t\n" : "\t\t\n";
    bool unanswered = false;
    std::string kana;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        // Each answer lies somewhere in the tables: its memory asked for ahead.
        if (k + 48 < lines.size()) table.prefetch(k + 48, 0);
        if (k + 32 < lines.size()) table.prefetch(k + 32, 1);
        if (k + 16 < lines.size()) table.prefetch(k + 16, 2);
        if (!table.answered(k)) {
            unanswered = true;
            if (const auto err = room(lines[k].size() + none.size())) return writeFailed(*err);
            put(lines[k]);
            put(none);
            continue;
        }
        std::optional<std::uint64_t> bad;
        std::optional<int> failed;
        table.forEachAnswer(
            k, [&](std::string_view code, std::string_view address, std::string_view reading, std::uint64_t line) {
                if (bad || failed) return;
                const std::size_t most =
                    lines[k].size() + 4 + tenmari::utf8Room(code.size() + address.size() + reading.size());
                if ((failed = room(most))) return;
                const std::size_t at = used;
                put(lines[k]);
                put("\t");
                try {
                    char* o = tenmari::cp932ToUtf8(code, buf.data() + used);
                    *o++ = '\t';
                    o = tenmari::cp932ToUtf8(address, o);
                    if (opt.kana) {
                        *o++ = '\t';
                        // Full-width kana take no more UTF-8 bytes than half-width ones.
                        char* const readingAt = o;
                        o = tenmari::cp932ToUtf8(reading, o);
                        kana = tenmari::batch::fullWidthKana(
                            std::string_view(readingAt, static_cast<std::size_t>(o - readingAt)));
                        o = std::copy(kana.begin(), kana.end(), readingAt);
                    }
                    *o++ = '\n';
                    used = static_cast<std::size_t>(o - buf.data());
                } catch (const tenmari::EncodingError&) {
                    used = at;
                    bad = line;
                }
            });
        if (failed) return writeFailed(*failed);
        if (bad) {
            if (const int err = flush()) return writeFailed(err);
            return fail(dict + ": line " + std::to_string(*bad) + ": the record cannot be shown as UTF-8");
        }
    }
    if (const int err = flush()) return writeFailed(err);
    return unanswered ? 1 : 0;
}

}  // namespace

// The reading of a record in full-width katakana, in code page 932 like the
// rest of the record; bytes that are not code page 932 stay as they are, for
// the conversion of the output to name their line.
std::string fullWidthReading(std::string_view cp932) {
    try {
        return tenmari::utf8ToCp932(tenmari::batch::fullWidthKana(tenmari::cp932ToUtf8(cp932)));
    } catch (const tenmari::EncodingError&) {
        return std::string(cp932);
    }
}

int main(int argc, char** argv) {
    const auto start = tenmari::batch::Progress::Clock::now();
    std::optional<std::string> dictOption;
    bool sjis = false;
    Options opt;
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
                opt.pickOut = tenmari::poptAll;
            } else if (v == "part") {
                opt.pickOut = tenmari::poptPart;
            } else {
                return usageError("--pick-out takes all or part, not '" + shown(v) + "'");
            }
        } else if (arg == "--sjis") {
            sjis = true;
        } else if (arg == "--all") {
            opt.all = true;
        } else if (arg == "--kana") {
            opt.kana = true;
        } else if (arg == "--whole") {
            opt.whole = true;
        } else if (arg == "--fold") {
            opt.fold = true;
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
        try {
            return runBatch(dictOption ? *dictOption : defaultDictionary(), opt, argv[i + 1],
                            argc - i == 3 ? argv[i + 2] : "-", start);
        } catch (const std::bad_alloc&) {
            return fail("out of memory");
        }
    }
    if (i < argc && std::string_view(argv[i]) == "sheet") {
        if (sjis || opt.all || opt.kana || opt.whole || opt.fold || opt.pickOut != tenmari::poptAll) {
            return usageError("sheet takes --dict only before it");
        }
        return tenmari::batch::runSheet(dictOption ? *dictOption : defaultDictionary(),
                                        std::vector<std::string_view>(argv + i + 1, argv + argc));
    }
    if (opt.all) return usageError("--all goes with batch only");
    if (opt.fold) return usageError("--fold goes with batch address only");
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
    ref.SetPickOut(opt.pickOut);
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
        // Every record as it comes, in UTF-8 (or the dictionary's bytes with
        // --sjis): code TAB address for the lists, the address alone for a
        // code, and TAB and the reading with --kana. Written through one small
        // buffer: a large answer touches little fresh memory, which is dear on
        // some virtual machines. A record that holds bytes that are not code
        // page 932 is left out, and named by its line once the rest is out.
        constexpr std::size_t kFlushAt = 64 * 1024;
        std::string record;
        std::string out;
        out.reserve(kFlushAt + tenmari::utf8Room(4096));
        std::size_t count = 0;
        int writeError = 0;
        std::vector<std::pair<std::uint64_t, std::string>> bad;  // line, the bytes at fault
        const auto flush = [&] {
            if (writeError == 0) writeError = tenmari::writeOut(out);
            out.clear();
        };
        const auto append = [&](std::string_view code, std::string_view address, std::string_view reading,
                                std::uint64_t line) {
            record.clear();
            if (command != Command::Code) record.append(code).append(1, '\t');
            record.append(address);
            if (opt.kana) record.append(1, '\t').append(fullWidthReading(reading));
            record.append(1, '\n');
            ++count;
            if (writeError != 0) return;
            if (sjis) {
                out.append(record);
            } else {
                const std::size_t at = out.size();
                out.resize(at + tenmari::utf8Room(record.size()));
                try {
                    out.resize(static_cast<std::size_t>(tenmari::cp932ToUtf8(record, out.data() + at) - out.data()));
                } catch (const tenmari::EncodingError&) {
                    out.resize(at);
                    bad.emplace_back(line, firstBadBytes(record));
                }
            }
            if (out.size() >= kFlushAt) flush();
        };
        // The lookup finds the matching lines. Its records serve as they are;
        // for a reading or whole records they are read again by the tool's rules.
        const bool again = opt.kana || opt.whole;
        std::vector<std::uint64_t> lines;  // the matching lines, to be read again
        tenmari::MatchSinkFn match(
            [&](const tenmari::MatchRecord& r) {
                if (again) {
                    lines.push_back(r.line);
                } else {
                    append(r.code, r.address, {}, r.line);
                }
            },
            false);  // no readings from the lookup
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
        if (again && !lines.empty()) {
            tenmari::DictionaryReader reader(dict);
            const auto found = tenmari::batch::readLines(reader, lines, {opt.pickOut, opt.whole}, opt.kana);
            // A code's first record never carries on a run: the line before it
            // would be of the same code and found first.
            for (const auto& r : found) {
                if (!r.carriesOn || command == Command::Code) append(r.code, r.address, r.reading, r.line);
            }
        }
        flush();
        if (writeError != 0) return writeFailed(writeError);
        if (!bad.empty()) {
            for (const auto& [line, bytes] : bad) {
                const std::string where = line ? "line " + std::to_string(line) : "a record";
                fail(dict + ": " + where + ": the record cannot be shown as UTF-8: " + bytes +
                     " is no code page 932 character (--sjis prints its bytes)");
            }
            return 2;
        }
        return count == 0 ? 1 : 0;
    } catch (const tenmari::PostFileError& e) {
        return fail(e.what());
    } catch (const std::bad_alloc&) {
        return fail(dict + ": out of memory");
    }
}
