#include "decode/WideTarget.h"

bool HasWideInstructions() {
#if defined(__x86_64__)
    // The features DUDEZ_WIDE names.
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
                            __builtin_cpu_supports("bmi2");
    return has;
#else
    return false;
#endif
}
