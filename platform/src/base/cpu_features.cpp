#include "base/cpu_features.h"

namespace orvo::platform {
#ifdef ORVO_X86_VECTOR

// Each answer is asked once and kept. (__builtin_cpu_supports takes only a
// literal name, so every feature is spelled out at its call.)
namespace {
bool CpuReady() {
  __builtin_cpu_init();
  return true;
}
}  // namespace

bool HasAvx2() {
  static const bool have = CpuReady() && __builtin_cpu_supports("avx2");
  return have;
}

bool HasAvx512ByteMasks() {
  static const bool have = CpuReady() && __builtin_cpu_supports("avx512f") &&
                           __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("bmi2");
  return have;
}

bool HasAvx512Vbmi() {
  static const bool have = CpuReady() && __builtin_cpu_supports("avx512f") &&
                           __builtin_cpu_supports("avx512bw") &&
                           __builtin_cpu_supports("avx512vbmi");
  return have;
}

bool HasCarrylessMultiply() {
  static const bool have = CpuReady() && __builtin_cpu_supports("pclmul");
  return have;
}

#else

bool HasAvx2() { return false; }
bool HasAvx512ByteMasks() { return false; }
bool HasAvx512Vbmi() { return false; }
bool HasCarrylessMultiply() { return false; }

#endif

}  // namespace orvo::platform
