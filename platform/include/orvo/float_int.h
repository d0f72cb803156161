// Float-to-integer conversion with the desktop's defined result.
//
// The programs convert floating-point values to integers by truncation
// toward zero. In C++ a value that does not fit the target type (or a NaN)
// makes that conversion undefined; the desktop's processor instead yields
// the "integer indefinite" value 0x80000000 for every such input. Every
// conversion of a float or double to an integer goes through this helper,
// so a far-off star or a zero scale gives that same defined value here.
#pragma once

#include <cstdint>

namespace orvo {

inline constexpr std::int32_t kIntegerIndefinite = INT32_MIN;

// trunc(v) when it lies within the 32-bit range; kIntegerIndefinite for a
// NaN, an infinity or any value outside it.
constexpr std::int32_t TruncToInt32(double v) {
  // Written so that a NaN fails both comparisons.
  if (v > -2147483649.0 && v < 2147483648.0) return static_cast<std::int32_t>(v);
  return kIntegerIndefinite;
}

// The low 16 bits of the truncated value, as a 16-bit field keeps them.
constexpr std::int16_t TruncToInt16(double v) {
  return static_cast<std::int16_t>(TruncToInt32(v));
}

// a + b with 32-bit wrap-around, as the desktop's integer adds behave
// (signed overflow is undefined in C++).
constexpr std::int32_t WrapAdd32(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

}  // namespace orvo
