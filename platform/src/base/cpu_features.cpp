#include "base/cpu_features.h"

namespace orvo::platform {
#ifdef ORVO_X86_VECTOR

bool HasAvx2() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return have;
}

bool HasAvx512ByteMasks() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("bmi2");
  }();
  return have;
}

bool HasCarrylessMultiply() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") != 0;
  }();
  return have;
}

bool HasAvx512Vbmi() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
  }();
  return have;
}

#else

bool HasAvx2() { return false; }
bool HasAvx512ByteMasks() { return false; }
bool HasCarrylessMultiply() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") != 0;
  }();
  return have;
}

bool HasAvx512Vbmi() { return false; }
bool HasCarrylessMultiply() { return false; }

#endif

}  // namespace orvo::platform
