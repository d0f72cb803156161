#include "orvo/float_int.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace orvo {
namespace {

TEST(FloatToInt, TruncatesTowardZeroInsideTheRange) {
  struct Case {
    double in;
    std::int32_t out;
  } cases[] = {{0.0, 0},           {-0.0, 0},
               {0.99, 0},          {-0.99, 0},
               {1.5, 1},           {-1.5, -1},
               {2147483647.0, INT32_MAX}, {2147483647.9, INT32_MAX},
               {-2147483648.0, INT32_MIN}, {-2147483648.9, INT32_MIN}};
  for (const Case& c : cases) EXPECT_EQ(TruncToInt32(c.in), c.out) << c.in;
}

TEST(FloatToInt, OutOfRangeAndNanGiveTheIntegerIndefiniteValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double v : {2147483648.0, -2147483649.0, 1e300, -1e300, inf, -inf, nan}) {
    EXPECT_EQ(TruncToInt32(v), INT32_MIN) << v;
  }
  // A 16-bit field keeps the low bits: 0x80000000 leaves 0.
  EXPECT_EQ(TruncToInt16(nan), 0);
  EXPECT_EQ(TruncToInt16(70000.0), static_cast<std::int16_t>(70000 - 65536));
}

TEST(FloatToInt, WrappingAddMatchesThirtyTwoBitArithmetic) {
  EXPECT_EQ(WrapAdd32(INT32_MAX, 1), INT32_MIN);
  EXPECT_EQ(WrapAdd32(100, INT32_MIN), INT32_MIN + 100);
  EXPECT_EQ(WrapAdd32(-5, 3), -2);
}

}  // namespace
}  // namespace orvo
