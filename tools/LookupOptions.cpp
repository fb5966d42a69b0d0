#include "LookupOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>

#include "Utf8.h"
#include "WriteOut.h"

namespace tenmari::lookupcli {

const char* const kUsage =
    "usage: tenmari-lookup [--dict FILE] [--pick-out all|part] [--kana] [--whole] [--sjis] code QUERY\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--kana] [--whole] [--sjis] prefix QUERY\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--kana] [--whole] [--sjis] address QUERY\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--level] [--check] batch address [FILE]\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--kana] [--whole] [--all]\n"
    "                      batch code [FILE]\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--kana] [--whole] [--all] [--fold]\n"
    "                      --strict batch address [FILE]\n"
    "       tenmari-lookup [--dict FILE] [--pick-out all|part] [--level] match ADDRESS\n"
    "       tenmari-lookup [--dict FILE] notes\n"
    "       tenmari-lookup [--dict FILE] sheet [--column N|NAME] [--code-column N|NAME] [--check]\n"
    "                      [--output FILE] [--force] FILE.csv\n"
    "\n"
    "  code     a full postal code (1000001 or 100-0001) to its address\n"
    "  prefix   the first digits of a postal code to every match: code TAB address\n"
    "  address  the beginning of an address to every match: code TAB address\n"
    "  batch    one query per line of FILE (or standard input), all in one pass:\n"
    "           query TAB code TAB address, one line per input line, in order;\n"
    "           an address is read as people write it (see match); with --strict\n"
    "           it finds the record whose address is its longest beginning\n"
    "  match    one address as people write it to its record: code TAB address;\n"
    "           prefecture or district left out, numbers in any width or in kanji,\n"
    "           ヶ for ケ, 大字, Kyoto's streets, a building and its floor. Where\n"
    "           records fit equally, no code: the answer is ambiguous\n"
    "  notes    the dictionary's notes by kind, read and not read, with counts\n"
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
    "  --fold           batch address --strict: half-width digits, letters, spaces\n"
    "                   and \"-\" become full-width before matching (1-9 → １－９)\n"
    "  --strict         batch address: the exact beginning only (as before)\n"
    "  --level          a last column: how far the address was understood\n"
    "                   (prefecture, city, town, number, building, floor), or\n"
    "                   \"ambiguous\" and every candidate code\n"
    "  --check          batch address: input lines \"code TAB address\" or \"〒code address\";\n"
    "                   print only those whose code disagrees, with the right code\n"
    "\n"
    "QUERY is UTF-8. For code and prefix, full-width digits count as digits and\n"
    "the dashes － − ‐ ー as a hyphen; an address is compared exactly.\n"
    "Exit status: 0 found (batch: every query answered), 1 nothing found (batch: some\n"
    "query without an answer), 2 error.\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "tenmari-lookup: %s\n", message.c_str());
    return 2;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "tenmari-lookup: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int writeFailed(int err) {
    // A reader that went away (`| head -1`) has all it wanted: no message.
    if (err == EPIPE) return 2;
    return fail(std::string("cannot write the output: ") + std::strerror(err));
}

bool invisible(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || (cp >= 0x200B && cp <= 0x200F) ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF;
}

std::string hexByte(unsigned char c) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("\\x") + kHex[c >> 4] + kHex[c & 0xF];
}

std::string shown(std::string_view a) {
    std::string out;
    std::size_t i = 0;
    for (int chars = 0; i < a.size() && chars < 32; ++chars) {
        const auto ch = utf8::decode(a, i);
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

std::optional<std::string> missingDictionary(const std::string& dict) {
    struct stat st {};
    if (::stat(dict.c_str(), &st) != 0) return dict + ": no such dictionary file";
    if (S_ISDIR(st.st_mode)) return dict + ": is a folder, not a dictionary file";
    return std::nullopt;
}

std::string Options::dictionary() const {
    if (dict) return *dict;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const auto dir = ec ? std::filesystem::current_path() : exe.parent_path();
    return (dir / "Jisho" / "Zenkoku.csv").string();
}

std::optional<Options> parseOptions(int argc, char** argv, int& status) {
    Options opt;
    status = 2;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            const int err = writeOut(kUsage);
            status = err ? writeFailed(err) : 0;
            return std::nullopt;
        }
        if (arg == "--dict") {
            if (++i == argc) return usageError("--dict needs a file"), std::nullopt;
            if (argv[i][0] == '\0') return usageError("--dict needs a file, not an empty name"), std::nullopt;
            opt.dict = argv[i];
        } else if (arg == "--pick-out") {
            if (++i == argc) return usageError("--pick-out needs all or part"), std::nullopt;
            const std::string_view v = argv[i];
            if (v == "all") {
                opt.pickOut = poptAll;
            } else if (v == "part") {
                opt.pickOut = poptPart;
            } else {
                return usageError("--pick-out takes all or part, not '" + shown(v) + "'"), std::nullopt;
            }
        } else if (arg == "--sjis") {
            opt.sjis = true;
        } else if (arg == "--all") {
            opt.all = true;
        } else if (arg == "--kana") {
            opt.kana = true;
        } else if (arg == "--whole") {
            opt.whole = true;
        } else if (arg == "--fold") {
            opt.fold = true;
        } else if (arg == "--strict") {
            opt.strict = true;
        } else if (arg == "--level") {
            opt.level = true;
        } else if (arg == "--check") {
            opt.check = true;
        } else if (arg == "--") {
            ++i;
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option '" + shown(arg) + "'"), std::nullopt;
        } else {
            break;
        }
    }
    if (i < argc) opt.command = argv[i++];
    for (; i < argc; ++i) opt.args.emplace_back(argv[i]);
    return opt;
}

}  // namespace tenmari::lookupcli
