#pragma once
// tenmari-lookup's subcommands, one function each; main() finds them by name
// in its table. Each checks its own arguments and returns the exit status:
// 0 found, 1 nothing found, 2 error.

#include <chrono>
#include <string>
#include <string_view>

#include "FlatArray.h"
#include "LookupOptions.h"

namespace tenmari::lookupcli {

struct Subcommand {
    std::string_view name;
    int (*run)(const Options& opt);
};

int runCode(const Options& opt);     // code QUERY
int runPrefix(const Options& opt);   // prefix QUERY
int runAddress(const Options& opt);  // address QUERY
int runBatch(const Options& opt);    // batch code|address [FILE]
int runMatch(const Options& opt);    // match ADDRESS
int runNotes(const Options& opt);    // notes
// batch address without --strict: addresses as people write them.
int runWrittenAddresses(const Options& opt, const std::string& input);

// The lines of a batch's input, a file or standard input for "-", checked as
// they are read: 0, or the status of the error told (unreadable input, a bad line).
int readInputLines(const std::string& input, batch::FlatArray<char>& text, batch::FlatArray<std::string_view>& lines);

}  // namespace tenmari::lookupcli
