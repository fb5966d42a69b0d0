#pragma once
// Every sequence of one or two bytes, for the exhaustive checks of the
// decoding table.

#include <string>

namespace tenmari::testing {

// Calls check(bytes) for every byte and every pair of bytes; check returns
// false on a mismatch it has reported. Ends after ten of them, so that a broken
// table fails in a few lines.
template <typename Check>
void forEverySequence(Check&& check) {
    int failures = 0;
    for (int a = 0; a < 0x100 && failures < 10; ++a) {
        for (int b = -1; b < 0x100 && failures < 10; ++b) {
            std::string seq(1, static_cast<char>(a));
            if (b >= 0) seq += static_cast<char>(b);
            if (!check(seq)) ++failures;
        }
    }
}

}  // namespace tenmari::testing
