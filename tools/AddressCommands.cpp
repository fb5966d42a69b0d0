// The commands on addresses as people write them: match, notes, and batch
// address without --strict (with --level and --check).

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AddressIndex.h"
#include "Batch.h"
#include "DictionaryReader.h"
#include "DictionaryRecords.h"
#include "Mentions.h"
#include "LookupCommands.h"
#include "OutputWriter.h"

namespace tenmari::lookupcli {
namespace {

// The dictionary's index for written addresses, or the exit status of its failure.
// `only`: the addresses to be read, when they are few (their municipalities' records suffice).
std::optional<address::AddressIndex> loadIndex(const std::string& dict, int& status,
                                               const std::vector<std::string_view>* only = nullptr) {
    status = 2;
    try {
        const std::unique_ptr<DictionaryReader> reader = DictionaryReader::open(dict);
        if (!reader) {
            struct stat st {};
            if (::stat(dict.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                fail(dict + ": is a folder, not a dictionary file");
            } else {
                fail(dict + ": no such dictionary file");
            }
            return std::nullopt;
        }
        if (only) return address::AddressIndex(address::readRecords(*reader, address::Mentions(*only)));
        return address::AddressIndex(address::readRecords(*reader));
    } catch (const PostFileError& e) {
        fail(e.what());
        return std::nullopt;
    }
}

// The address of an answer as --pick-out asks: without its prefecture with "part".
std::string_view picked(const Options& opt, std::string_view a) {
    if (opt.pickOut != poptPart || a.empty()) return a;
    if (a.starts_with("北海道") || a.starts_with("東京都")) return a.substr(9);
    for (std::size_t i = 0; i + 3 <= a.size() && i <= 12; i += 3) {
        const std::string_view c = a.substr(i, 3);
        if (c == "府" || c == "県") return a.substr(i + 3);
    }
    return a;
}

// The --level column: the level, or "ambiguous" and every candidate code.
std::string levelColumn(const address::Answer& a) {
    std::string out(address::levelName(a.level));
    for (const std::string& code : a.candidates) out += " " + code;
    return out;
}

// A code as people type it: 7 digits once the hyphen and widths are read.
std::string plainCode(std::string_view typed) {
    const std::string ascii = batch::asciiDigitsAndHyphens(typed);
    std::string digits;
    for (const char c : ascii) {
        if (c >= '0' && c <= '9') digits.push_back(c);
    }
    return digits;
}

}  // namespace

int runMatch(const Options& opt) {
    if (opt.all || opt.fold || opt.kana || opt.whole || opt.strict || opt.check || opt.sjis) {
        return usageError("match takes --dict, --pick-out and --level only");
    }
    if (opt.args.size() != 1) return usageError("match expects one ADDRESS");
    int status = 2;
    const std::vector<std::string_view> only{opt.args[0]};
    const auto index = loadIndex(opt.dictionary(), status, &only);
    if (!index) return status;
    const address::Answer a = index->match(opt.args[0]);
    OutputWriter out(false);
    const std::string level = levelColumn(a);
    const Cell cells[] = {{a.code, CellForm::text}, {picked(opt, a.address), CellForm::text}, {level, CellForm::text}};
    out.line(std::span<const Cell>(cells, opt.level ? 3 : 2));
    if (const int err = out.flush()) return writeFailed(err);
    return a.found() ? 0 : 1;
}

int runNotes(const Options& opt) {
    if (!opt.args.empty()) return usageError("notes takes no argument");
    int status = 2;
    const auto index = loadIndex(opt.dictionary(), status);
    if (!index) return status;
    // kind TAB records; then each note not read TAB its records.
    OutputWriter out(false);
    for (const address::NoteCount& c : index->noteCounts()) {
        const std::string n = std::to_string(c.records);
        const bool read = c.kind != "not read";
        out.line({{read ? "read" : "not read", CellForm::text},
                  {read ? c.kind : "all", CellForm::text},
                  {n, CellForm::text}});
    }
    for (const auto& [note, count] : index->notesNotRead()) {
        const std::string n = std::to_string(count);
        out.line({{"not read", CellForm::text}, {note, CellForm::text}, {n, CellForm::text}});
    }
    if (const int err = out.flush()) return writeFailed(err);
    return 0;
}

int runWrittenAddresses(const Options& opt, const std::string& input) {
    if (opt.kana || opt.whole || opt.all) {
        return usageError("--kana, --whole and --all go with batch address --strict (answers here are whole already)");
    }
    batch::FlatArray<char> text;
    batch::FlatArray<std::string_view> lines;
    if (const int status = readInputLines(input, text, lines)) return status;
    int status = 2;
    const auto index = loadIndex(opt.dictionary(), status);
    if (!index) return status;

    // query TAB code TAB address [TAB level]; with --check only the lines
    // whose written code disagrees, the right code in the code column.
    OutputWriter out(false, std::size_t{256} << 10);
    bool unanswered = false;
    std::string level;
    for (const std::string_view line : lines) {
        std::string_view written = line;
        std::string given;
        if (opt.check) {
            if (const std::size_t tab = line.find('\t'); tab != std::string_view::npos) {
                given = plainCode(line.substr(0, tab));
                written = line.substr(tab + 1);
            }
        }
        const address::Answer a = index->match(written);
        if (opt.check) {
            if (given.empty()) given = a.writtenCode;
            if (a.found() && a.code == given) continue;
        }
        if (!a.found() || opt.check) unanswered = true;  // with --check: a line that disagrees
        level = levelColumn(a);
        const Cell cells[] = {{line, CellForm::text},
                              {a.code, CellForm::text},
                              {picked(opt, a.address), CellForm::text},
                              {level, CellForm::text}};
        out.line(std::span<const Cell>(cells, opt.level ? 4 : 3));
        if (out.error() != 0) return writeFailed(out.error());
    }
    if (const int err = out.flush()) return writeFailed(err);
    return unanswered ? 1 : 0;
}

}  // namespace tenmari::lookupcli
