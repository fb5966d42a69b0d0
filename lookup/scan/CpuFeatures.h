#pragma once
// The one place that asks the processor what it can do, once, and chooses
// the form every quick pass over a dictionary takes:
//   bytes   one byte at a time (16 with SSE2, which every x86-64 has), any processor;
//   avx2    32 and 64 bytes at a time with AVX2, POPCNT, BMI and BMI2.
// TENMARI_SCAN=bytes|avx2 asks for a form (tests, bug reports); a form this
// processor cannot run gives the best one it can below it. (An AVX-512 form
// ran no faster than avx2 on the processors that have it: dropped, see
// docs/performance.md.)

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tenmari::cpu {

enum class ScanForm { bytes, avx2 };

inline const char* name(ScanForm form) {
    switch (form) {
    case ScanForm::bytes: return "bytes";
    case ScanForm::avx2: return "avx2";
    }
    return "?";
}

struct Processor {
    bool avx2 = false;                // AVX2 with POPCNT, BMI and BMI2
    bool slowBitDeposit = true;       // BMI2's bit deposit is microcode (AMD before Zen 3)
    ScanForm best = ScanForm::bytes;  // what runs fastest here
};

inline const Processor& processor() {
    static const Processor p = [] {
        Processor q;
#if defined(__x86_64__)
        __builtin_cpu_init();
        q.avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi") &&
                 __builtin_cpu_supports("bmi2");
        q.slowBitDeposit = __builtin_cpu_is("amdfam15h") || __builtin_cpu_is("amdfam17h");
        q.best = q.avx2 ? ScanForm::avx2 : ScanForm::bytes;
#endif
        return q;
    }();
    return p;
}

inline bool runs(ScanForm form) {
    const Processor& p = processor();
    return form == ScanForm::bytes || (form == ScanForm::avx2 && p.avx2);
}

// The best form this processor runs that is not above `form`.
inline ScanForm runnable(ScanForm form) {
    while (!runs(form)) form = static_cast<ScanForm>(static_cast<int>(form) - 1);
    return form;
}

inline std::atomic<ScanForm>& chosenForm() {
    static std::atomic<ScanForm> chosen{[] {
        const char* asked = std::getenv("TENMARI_SCAN");
        if (asked == nullptr || *asked == '\0') return processor().best;
        for (ScanForm f : {ScanForm::bytes, ScanForm::avx2}) {
            if (std::strcmp(asked, name(f)) == 0) return runnable(f);
        }
        std::fprintf(stderr, "TENMARI_SCAN=%s is none of bytes, avx2; using %s\n", asked, name(processor().best));
        return processor().best;
    }()};
    return chosen;
}

// The form the passes take.
inline ScanForm scanForm() { return chosenForm().load(std::memory_order_relaxed); }
// For tests: take `form` from now on (lowered to one this processor runs).
inline void setScanForm(ScanForm form) { chosenForm().store(runnable(form), std::memory_order_relaxed); }

// Whether the vector passes run (any form but bytes).
inline bool vectorPasses() { return scanForm() != ScanForm::bytes; }
inline bool slowBitDeposit() { return processor().slowBitDeposit; }

}  // namespace tenmari::cpu
