// The vector instructions of the wide ways: the decoder's, the checksum's and the WAVE writer's.
// Functions built with them carry DUDEZ_WIDE and run only where HasWideInstructions() says the
// processor has them all; everywhere else the plain code runs, with the same results.
#pragma once

bool HasWideInstructions();

#if defined(__x86_64__)
// GCC 12 takes the undefined vectors these headers pass through for uninitialized ones.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#define DUDEZ_WIDE __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,bmi2")))
#endif
