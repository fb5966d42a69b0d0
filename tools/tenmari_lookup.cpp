// tenmari-lookup: the dictionary queries from the command line.
// Exit status as grep's: 0 found, 1 nothing found, 2 error.

#include <iterator>

#include "LookupCommands.h"
#include "LookupOptions.h"
#include "SheetCommand.h"

namespace {

using tenmari::lookupcli::Subcommand;

// The subcommands by name: a new one is a function and a row here.
constexpr Subcommand kSubcommands[] = {
    {"code", tenmari::lookupcli::runCode},       {"prefix", tenmari::lookupcli::runPrefix},
    {"address", tenmari::lookupcli::runAddress}, {"batch", tenmari::lookupcli::runBatch},
    {"match", tenmari::lookupcli::runMatch},     {"notes", tenmari::lookupcli::runNotes},
    {"sheet", tenmari::lookupcli::runSheet},
};

}  // namespace

int main(int argc, char** argv) {
    using namespace tenmari::lookupcli;
    int status = 2;
    const auto opt = parseOptions(argc, argv, status);
    if (!opt) return status;
    if (opt->command.empty()) return usageError("expected a command and one QUERY");
    for (const Subcommand& s : kSubcommands) {
        if (s.name == opt->command) return s.run(*opt);
    }
    return usageError("unknown command '" + shown(opt->command) + "'");
}
