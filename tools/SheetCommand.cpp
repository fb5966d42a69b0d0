#include "SheetCommand.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>

#include "DictionaryReader.h"
#include "Sheet.h"
#include "SheetFile.h"
#include "WrittenAddressAnswerer.h"

namespace tenmari::lookupcli {

namespace {

void say(const std::string& message) { std::fprintf(stderr, "tenmari-lookup: %s\n", message.c_str()); }

// The progress line: only on a terminal, only once the work has taken a
// second, at most ten times a second, wiped at the end.
class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;
    explicit ProgressLine(std::string name) : name_(std::move(name)), show_(::isatty(STDERR_FILENO) == 1) {}
    ~ProgressLine() {
        if (shown_) put("\r\x1b[K");
    }
    bool operator()(sheet::Stage stage, std::uint64_t done, std::uint64_t total) {
        using namespace std::chrono_literals;
        const auto now = Clock::now();
        if (!show_ || now - start_ < 1s || (shown_ && now - last_ < 100ms)) return true;
        const std::uint64_t percent = total == 0 ? 100 : std::min<std::uint64_t>(100, done * 100 / total);
        put("\rtenmari-lookup: " + name_ + ": " +
            (stage == sheet::Stage::reading ? "reading the cells, " : "answering the addresses, ") +
            std::to_string(percent) + "%\x1b[K");
        shown_ = true;
        last_ = now;
        return true;
    }

private:
    static void put(const std::string& s) { (void)!::write(STDERR_FILENO, s.data(), s.size()); }
    std::string name_;
    bool show_;
    bool shown_ = false;
    Clock::time_point start_ = Clock::now(), last_{};
};

}  // namespace

int runSheet(const Options& opt) {
    if (opt.sjis || opt.all || opt.kana || opt.whole || opt.fold || opt.pickOut != poptAll) {
        return usageError("sheet takes --dict only before it");
    }
    const std::string dictionary = opt.dictionary();
    const std::vector<std::string_view>& args = opt.args;
    sheet::Options options;
    std::optional<std::string> output, input;
    bool force = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--column" || a == "--code-column" || a == "--output") {
            const auto v =
                i + 1 < args.size() && !args[i + 1].empty() ? std::optional(std::string(args[++i])) : std::nullopt;
            if (!v) return fail(std::string(a) + " needs a value");
            (a == "--column" ? options.column : a == "--code-column" ? options.codeColumn : output.emplace()) = *v;
        } else if (a == "--check") {
            options.check = true;
        } else if (a == "--force") {
            force = true;
        } else if (a == "--") {
            if (i + 2 != args.size() || input) return fail("sheet takes one FILE.csv");
            input = std::string(args[i + 1]);
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            return fail("unknown option of sheet '" + std::string(a) + "'");
        } else if (input) {
            return fail("sheet takes one FILE.csv");
        } else {
            input = std::string(a);
        }
    }
    if (!input || input->empty()) return fail("sheet needs a FILE.csv");
    const std::string target = output ? *output : sheet::outputBeside(*input);
    try {
        const sheet::FileBytes bytes = sheet::readWhole(*input);
        sheet::WrittenAddressAnswerer answerer(dictionary);
        sheet::Converted c;
        {
            ProgressLine progress(std::filesystem::path(*input).filename().string());
            c = sheet::convert(bytes.view(), options, answerer, std::ref(progress));
        }
        say(*input + ": " + sheet::choiceLine(c) + ", " + sheet::encodingName(c.encoding));
        sheet::writeWhole(target, c.bytes, force, *input);
        say(target + ": " + sheet::summaryLine(c.summary, options.check));
        const auto& s = c.summary;
        return s.ambiguous + s.notFound + s.empty + s.differ == 0 ? 0 : 1;
    } catch (const sheet::SheetError& e) {
        return fail(*input + ": " + e.what());
    } catch (const sheet::FileError& e) {
        return fail(e.what());
    } catch (const PostFileError& e) {
        return fail(e.what());
    } catch (const std::bad_alloc&) {
        return fail(*input + ": out of memory");
    }
}

}  // namespace tenmari::lookupcli
