#pragma once
// One quick pass over the front of a line: where a given field begins and
// where the line ends, 16 or 32 bytes at a time. Used to pass over lines that
// cannot match without cutting them into fields.

namespace tenmari::linescan {

struct Result {
    // First byte of the field asked for, or nullptr when a CR, the line's end
    // or the block's end comes before the comma in front of it.
    const char* field;
    // The line's LF, or the block's end when the line has none.
    const char* lf;
};

// `field` counts from 1. Reads only [p, end).
using Scan = Result (*)(const char* p, const char* end, int field);

Result portable(const char* p, const char* end, int field);
#if defined(__x86_64__) || defined(__i386__)
Result sse2(const char* p, const char* end, int field);
Result avx2(const char* p, const char* end, int field);  // only where the processor has AVX2
#endif

// The fastest that this processor runs.
Scan best();

}  // namespace tenmari::linescan
