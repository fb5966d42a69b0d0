#pragma once
// A failed check in a harness: says what differed, then aborts, so that
// libFuzzer keeps the input as a crash.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ReferenceReading.h"

#define FUZZ_CHECK(cond, what)                                                                 \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "%s:%d: check failed: %s\n  %s\n", __FILE__, __LINE__, #cond, \
                         std::string(what).c_str());                                           \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)
