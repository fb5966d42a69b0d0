#pragma once
// tenmari-lookup's subcommands, one function each; main() finds them by name
// in its table. Each checks its own arguments and returns the exit status:
// 0 found, 1 nothing found, 2 error.

#include <chrono>
#include <string_view>

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

}  // namespace tenmari::lookupcli
