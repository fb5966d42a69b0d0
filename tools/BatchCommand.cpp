// The batch command: one query per input line, all answered in one pass.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "Batch.h"
#include "DictionaryReader.h"
#include "DictionaryScan.h"
#include "LookupCommands.h"
#include "LookupQueries.h"
#include "OutputWriter.h"

namespace tenmari::lookupcli {
namespace {

// All of a file, or of standard input for "-"; the errno of a failure. Its
// lines are checked as they are read: at the first bad one the reading stops
// with `bad` set, so that endless input (/dev/zero) costs no more than a read.
int readAll(const std::string& path, batch::FlatArray<char>& out, std::optional<batch::InputError>& bad) {
    const int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        if (fd != STDIN_FILENO) ::close(fd);
        return EISDIR;
    }
    // A file's size is known: room for all of it at once, read a piece at a time.
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    if (S_ISREG(st.st_mode) && st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t chunk = std::size_t{1} << 16;
    batch::LineCheck check;
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
        if ((bad = check.more(view(out), false))) break;
        chunk = std::min(kPiece, std::max(chunk, out.size()));
    }
    if (err == 0 && !bad) bad = check.more(view(out), true);
    if (fd != STDIN_FILENO) ::close(fd);
    return err;
}

}  // namespace

int readInputLines(const std::string& input, batch::FlatArray<char>& text, batch::FlatArray<std::string_view>& lines) {
    const std::string inputName = input == "-" ? "standard input" : input;
    std::optional<batch::InputError> badLine;
    if (const int err = readAll(input, text, badLine)) return fail(inputName + ": " + std::strerror(err));
    if (!badLine) badLine = batch::splitLines(view(text), lines);
    if (badLine) return fail(inputName + ": line " + std::to_string(badLine->line) + ": " + badLine->message);
    return 0;
}

namespace {

// The dictionary's size and a short name for the progress line.
std::pair<std::uint64_t, std::string> dictionarySize(const std::string& dict) {
    struct stat st {};
    const std::uint64_t size = ::stat(dict.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return {size, std::filesystem::path(dict).filename().string()};
}

int answer(const Options& opt, batch::QueryTable::Kind kind, const std::string& input) {
    using batch::QueryTable;
    const std::string dict = opt.dictionary();
    batch::FlatArray<char> text;
    batch::FlatArray<std::string_view> lines;
    if (const int status = readInputLines(input, text, lines)) return status;

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
    std::unique_ptr<DictionaryReader> reader;
    try {
        reader = DictionaryReader::open(dict);
        if (!reader) return fail(missingDictionary(dict).value_or(dict + ": no such dictionary file"));
        const auto [size, name] = dictionarySize(dict);
        batch::Progress progress(::isatty(STDERR_FILENO) == 1, size, name, opt.start,
                                 [](std::string_view s) { (void)!::write(STDERR_FILENO, s.data(), s.size()); });
        batch::answerBatch(table, kind, *reader, {opt.pickOut, opt.whole}, opt.kana,
                           [&](std::uint64_t bytes, std::uint64_t read) {
                               progress.update(bytes, read, batch::Progress::Clock::now());
                           });
        progress.done();
    } catch (const PostFileError& e) {
        return fail(e.what());
    }
    // In input order: query TAB code TAB address [TAB reading].
    OutputWriter out(false, std::size_t{256} << 10);
    bool unanswered = false;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        // Each answer lies somewhere in the tables: its memory asked for ahead.
        if (k + 48 < lines.size()) table.prefetch(k + 48, 0);
        if (k + 32 < lines.size()) table.prefetch(k + 32, 1);
        if (k + 16 < lines.size()) table.prefetch(k + 16, 2);
        if (!table.answered(k)) {
            unanswered = true;
            const Cell none[] = {
                {lines[k], CellForm::text}, {{}, CellForm::text}, {{}, CellForm::text}, {{}, CellForm::text}};
            out.line(std::span<const Cell>(none, opt.kana ? 4 : 3));
            if (out.error() != 0) return writeFailed(out.error());
            continue;
        }
        std::optional<std::uint64_t> bad;
        table.forEachAnswer(
            k, [&](std::string_view code, std::string_view address, std::string_view reading, std::uint64_t line) {
                if (bad) return;
                const Cell cells[] = {{lines[k], CellForm::text}, {code}, {address}, {reading, CellForm::reading}};
                if (!out.line(std::span<const Cell>(cells, opt.kana ? 4 : 3))) bad = line;
            });
        if (out.error() != 0) return writeFailed(out.error());
        if (bad) {
            if (const int err = out.flush()) return writeFailed(err);
            return fail(dict + ": line " + std::to_string(*bad) + ": the record cannot be shown as UTF-8");
        }
    }
    if (const int err = out.flush()) return writeFailed(err);
    return unanswered ? 1 : 0;
}

}  // namespace

int runBatch(const Options& opt) {
    if (opt.args.size() != 1 && opt.args.size() != 2) {
        return usageError("batch expects code or address, and at most one FILE");
    }
    if (opt.sjis) return usageError("--sjis does not go with batch: its output is UTF-8 like its input");
    batch::QueryTable::Kind kind;
    if (opt.args[0] == "code") {
        kind = batch::QueryTable::Kind::code;
    } else if (opt.args[0] == "address") {
        kind = batch::QueryTable::Kind::address;
    } else {
        return usageError("batch takes code or address, not '" + shown(opt.args[0]) + "'");
    }
    if (opt.fold && kind != batch::QueryTable::Kind::address) return usageError("--fold goes with batch address only");
    if ((opt.strict || opt.level || opt.check) && kind != batch::QueryTable::Kind::address) {
        return usageError(std::string(opt.strict  ? "--strict"
                                      : opt.level ? "--level"
                                                  : "--check") +
                          " goes with batch address only");
    }
    const std::string input = opt.args.size() == 2 ? std::string(opt.args[1]) : std::string("-");
    // --fold is a form of the exact rule: it asks for it.
    if (kind == batch::QueryTable::Kind::address && !opt.strict && !opt.fold) {
        try {
            return runWrittenAddresses(opt, input);
        } catch (const std::bad_alloc&) {
            return fail("out of memory");
        }
    }
    if (opt.level || opt.check) return usageError("--level and --check do not go with --strict");
    try {
        return answer(opt, kind, input);
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    }
}

}  // namespace tenmari::lookupcli
