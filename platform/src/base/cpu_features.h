// What the processor offers beyond the baseline, asked once at run time, for
// the loops that have a path for it (wide strokes, row fills, the pixel
// converter). ORVO_X86_VECTOR is defined where such paths are compiled;
// ORVO_NO_VECTOR leaves them out, as other processors' builds do.
#pragma once

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(ORVO_NO_VECTOR)
#define ORVO_X86_VECTOR 1
#include <immintrin.h>
#endif

namespace orvo::platform {

bool HasAvx2();
// AVX-512 with byte-masked stores (avx512f, avx512bw) and bmi2.
bool HasAvx512ByteMasks();
// AVX-512 with byte permutes (avx512f, avx512bw, avx512vbmi).
bool HasAvx512Vbmi();
// Carry-less multiplication (pclmul).
bool HasCarrylessMultiply();

}  // namespace orvo::platform
