// The single commands: code, prefix and address, one query each.

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "DictionaryReader.h"
#include "DictionaryScan.h"
#include "LookupCommands.h"
#include "LookupQueries.h"
#include "MatchRecord.h"
#include "OutputWriter.h"
#include "PostReference.h"

namespace tenmari::lookupcli {
namespace {

enum class Command { code, prefix, address };

int runSingle(const Options& opt, Command command) {
    if (opt.all) return usageError("--all goes with batch only");
    if (opt.fold) return usageError("--fold goes with batch address only");
    if (opt.args.size() != 1) return usageError("expected a command and one QUERY");
    const std::string dict = opt.dictionary();
    std::string why;
    const std::optional<std::string> query = prepareQuery(command == Command::address, opt.args[0], why);
    if (!query) return fail(why);

    TPostReference ref;
    ref.SetPostFile(dict);
    ref.SetPickOut(opt.pickOut);
    bool notFound = false;
    ref.OnNotPostFile = [&](TPostReference&) { notFound = true; };
    // The event also tells of a code query without a match: what is there decides.
    auto noDictionary = [&]() -> std::optional<int> {
        struct stat st {};
        if (::stat(dict.c_str(), &st) != 0) return fail(dict + ": no such dictionary file");
        if (S_ISDIR(st.st_mode)) return fail(dict + ": is a folder, not a dictionary file");
        return std::nullopt;
    };

    try {
        // Every record as it comes: code TAB address for the lists, the
        // address alone for a code, and TAB and the reading with --kana. A
        // record that holds bytes that are not code page 932 is left out, and
        // named by its line once the rest is out.
        OutputWriter out(opt.sjis);
        std::size_t count = 0;
        std::vector<std::pair<std::uint64_t, std::string>> bad;  // line, the bytes at fault
        const auto append = [&](std::string_view code, std::string_view address, std::string_view reading,
                                std::uint64_t line) {
            Cell cells[3];
            std::size_t n = 0;
            if (command != Command::code) cells[n++] = {code};
            cells[n++] = {address};
            if (opt.kana) cells[n++] = {reading, CellForm::reading};
            ++count;
            if (!out.line(std::span<const Cell>(cells, n))) {
                bad.emplace_back(line, firstBadBytes(std::string(code) + std::string(address) + std::string(reading)));
            }
        };
        // The lookup finds the matching lines. Its records serve as they are;
        // for a reading or whole records they are read again by the tool's rules.
        const bool again = opt.kana || opt.whole;
        std::vector<std::uint64_t> lines;  // the matching lines, to be read again
        MatchSinkFn match(
            [&](const MatchRecord& r) {
                if (again) {
                    lines.push_back(r.line);
                } else {
                    append(r.code, r.address, {}, r.line);
                }
            },
            false);  // no readings from the lookup
        if (command == Command::code) {
            if (!ref.PostToAddressRecord(*query, match)) {
                if (const auto rc = noDictionary()) return *rc;
                return 1;  // a found record may still have an empty address
            }
        } else {
            if (command == Command::prefix) {
                ref.PostToAddressEach(*query, match);
            } else {
                ref.AddressToPostEach(*query, match);
            }
            if (notFound) {
                if (const auto rc = noDictionary()) return *rc;
            }
        }
        if (again && !lines.empty()) {
            DictionaryReader reader(dict);
            const auto found = batch::readLines(reader, lines, {opt.pickOut, opt.whole}, opt.kana);
            // A code's first record never carries on a run: the line before it
            // would be of the same code and found first.
            for (const auto& r : found) {
                if (!r.carriesOn || command == Command::code) append(r.code, r.address, r.reading, r.line);
            }
        }
        if (const int err = out.flush()) return writeFailed(err);
        if (!bad.empty()) {
            for (const auto& [line, bytes] : bad) {
                const std::string where = line ? "line " + std::to_string(line) : "a record";
                fail(dict + ": " + where + ": the record cannot be shown as UTF-8: " + bytes +
                     " is no code page 932 character (--sjis prints its bytes)");
            }
            return 2;
        }
        return count == 0 ? 1 : 0;
    } catch (const PostFileError& e) {
        return fail(e.what());
    } catch (const std::bad_alloc&) {
        return fail(dict + ": out of memory");
    }
}

}  // namespace

int runCode(const Options& opt) { return runSingle(opt, Command::code); }
int runPrefix(const Options& opt) { return runSingle(opt, Command::prefix); }
int runAddress(const Options& opt) { return runSingle(opt, Command::address); }

}  // namespace tenmari::lookupcli
