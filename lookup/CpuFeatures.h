#pragma once
// What this processor can do that the quick passes over a dictionary use.

namespace tenmari::cpu {

// AVX2 with POPCNT, BMI and BMI2: what every vector pass here needs.
inline bool vectorPasses() {
#if defined(__x86_64__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
               __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
    }();
    return has;
#else
    return false;
#endif
}

// Whether BMI2's bit deposit is slow microcode here, as on AMD processors
// before Zen 3 (families 15h and 17h).
inline bool slowBitDeposit() {
#if defined(__x86_64__)
    static const bool slow = [] {
        __builtin_cpu_init();
        return __builtin_cpu_is("amdfam15h") || __builtin_cpu_is("amdfam17h");
    }();
    return slow;
#else
    return true;
#endif
}

}  // namespace tenmari::cpu
