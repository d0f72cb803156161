// The stain picture on its own: random choices and their order, the
// distance tables, the six formulas and their 32-bit wrapping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "orvo/win_kernel.h"
#include "savers/stain/stain_image.h"

namespace {

using orvo::stain::Image;

struct RefRand {
  std::uint32_t state;
  int Next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

// An image with its own tables, sized as the saver allocates them.
struct TestImage {
  TestImage(int w, int h)
      : columns(orvo::stain::ColumnTableBytes(w) / 4), rows(orvo::stain::RowTableBytes(h) / 4),
        out(orvo::stain::RowBufferBytes(w), 0xEE) {
    image.Attach(columns.data(), rows.data(), w, h);
  }
  // Nodes placed by hand; the tables follow.
  void Place(std::initializer_list<orvo::stain::Node> nodes, int type) {
    int i = 0;
    for (const auto& n : nodes) image.nodes[i++] = n;
    image.n = i;
    image.t = type;
    image.max_distance = static_cast<std::int32_t>(
        std::sqrt(static_cast<double>(image.w1) * image.w1 + static_cast<double>(image.h1) * image.h1));
    image.FillTables();
  }
  int PixelAt(int x, int y) {
    image.ComputeRow(y, out.data());
    return out[x];
  }
  std::vector<std::int32_t> columns, rows;
  std::vector<std::uint8_t> out;
  Image image;
};

TEST(StainStartTest, DrawsScalesThenNodesInOrder) {
  TestImage t(321, 201);
  srand15(555);
  RefRand ref{555};
  t.image.Start(3, 27, 2);
  const float unit = 1.0f / 32767.0f;
  EXPECT_FLOAT_EQ(t.image.fx, static_cast<float>(ref.Next()) * unit * (0.02f * 27));
  EXPECT_FLOAT_EQ(t.image.fy, static_cast<float>(ref.Next()) * unit * (0.02f * 27));
  ASSERT_EQ(t.image.n, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(t.image.nodes[i].x, ref.Next() % 320);
    EXPECT_EQ(t.image.nodes[i].y, ref.Next() % 200);
    EXPECT_EQ(t.image.nodes[i].c, ref.Next() % 235);
  }
  EXPECT_EQ(rand15_state(), ref.state);
  EXPECT_EQ(t.image.max_distance, 377);  // sqrt(320^2 + 200^2) = 377.36
  // Tables hold the squared distances of every row and column.
  for (int i = 0; i < 3; ++i) {
    const int nx = t.image.nodes[i].x, ny = t.image.nodes[i].y;
    EXPECT_EQ(t.rows[0 * 5 + i], ny * ny);
    EXPECT_EQ(t.rows[199 * 5 + i], (199 - ny) * (199 - ny));
    EXPECT_EQ(t.columns[319 * 5 + i], (319 - nx) * (319 - nx));
  }
}

TEST(StainStartTest, RandomTypeDrawsNodeCountDensityAndFormulaFirst) {
  for (std::uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
    TestImage t(100, 80);
    srand15(seed);
    RefRand ref{seed};
    t.image.Start(4, 27, 6);
    EXPECT_EQ(t.image.n, ref.Next() % 3 + 2);
    EXPECT_EQ(t.image.d, (ref.Next() % 27) * 5 + 5);
    EXPECT_EQ(t.image.t, ref.Next() % 6);
    EXPECT_GE(t.image.d, 5);
    EXPECT_LE(t.image.d, 27 * 5);
  }
}

TEST(StainStartTest, OpenSettingsNeitherDivideByZeroNorOverrun) {
  {
    // One node with a random type: the count draw gives 2.
    TestImage t(100, 80);
    srand15(9);
    t.image.Start(1, 27, 6);
    EXPECT_EQ(t.image.n, 2);
  }
  {
    // Density 0 with a random type: the density draw gives 5.
    TestImage t(100, 80);
    srand15(9);
    t.image.Start(2, 0, 6);
    EXPECT_EQ(t.image.d, 5);
  }
  {
    // More than four nodes never reach past the five slots.
    TestImage t(100, 80);
    srand15(9);
    t.image.Start(9, 27, 5);
    EXPECT_EQ(t.image.n, 4);
    t.image.ComputeRow(10, t.out.data());
  }
  for (auto size : {std::pair{1, 1}, std::pair{1, 50}, std::pair{50, 1}}) {
    // No painted area: every node sits at 0, the draws still happen.
    TestImage t(size.first, size.second);
    srand15(9);
    RefRand ref{9};
    t.image.Start(2, 27, 0);
    for (int i = 0; i < 2 + 6; ++i) ref.Next();
    EXPECT_EQ(rand15_state(), ref.state);
    if (size.first == 1) {
      EXPECT_EQ(t.image.nodes[0].x, 0);
    }
    if (size.second == 1) {
      EXPECT_EQ(t.image.nodes[1].y, 0);
    }
  }
}

// A 101 x 51 window: D = trunc(sqrt(100^2 + 50^2)) = 111. Nodes (0,0) c 10
// and (30,40) c 200; at pixel (3,4) s0 = 25 (r0 = 10) and s1 = 2025 (r1 = 95).
TEST(StainFormulaTest, HandComputedPixels) {
  TestImage t(101, 51);
  const orvo::stain::Node a{0, 0, 10}, b{30, 40, 200}, m{700, 0, 0};
  t.Place({a, b, m}, 0);
  t.image.n = 2;  // the third slot only feeds type 5
  EXPECT_EQ(t.image.max_distance, 111);
  EXPECT_EQ(t.PixelAt(3, 4), 10 ^ 95);
  t.image.t = 2;
  EXPECT_EQ(t.PixelAt(3, 4), 105);
  t.image.t = 4;
  EXPECT_EQ(t.PixelAt(3, 4), 95);
  // Type 1: A = 10*25 + 200*2025 = 405250, w = 2050 >> 2 = 512, 791 % 235.
  t.image.t = 1;
  EXPECT_EQ(t.PixelAt(3, 4), 86);
  // Type 5 with m = 30 (slot 1) and 700 (slot 2): Sx = -691 + 145152,
  // Sy = -921 + 193536; >> 4 gives 9028 and 12038; sqrt(226418228) = 15047;
  // >> 7 = 117.
  t.image.t = 5;
  EXPECT_EQ(t.PixelAt(3, 4), 117);
  // Type 3: a = floor(8 * 0.25) = 2, b = floor(10 * 0.5) = 5.
  t.image.t = 3;
  t.image.fx = 0.5f;
  t.image.fy = 0.25f;
  EXPECT_EQ(t.PixelAt(10, 8), 2 ^ 5);
  EXPECT_EQ(t.PixelAt(99, 8), (49 % 235) ^ 2);
}

TEST(StainFormulaTest, PixelOnANodeHasNoRingAndTypeFiveGivesZero) {
  TestImage t(200, 150);
  srand15(31);
  t.image.Start(4, 27, 5);
  for (int i = 0; i < t.image.n; ++i) {
    const auto& node = t.image.nodes[i];
    EXPECT_EQ(t.image.Ring(t.image.SquaredDistance(node.x, node.y, i)), 0);
    EXPECT_EQ(t.PixelAt(node.x, node.y), 0) << "node " << i;
  }
}

TEST(StainFormulaTest, TypeOneWithAllNodesWithinTwoPixelsDividesByOne) {
  TestImage t(50, 50);
  t.Place({{5, 5, 17}, {6, 5, 100}}, 1);
  // S = 0 + 1: w = 0, so the quotient is A itself = 100 * 1.
  EXPECT_EQ(t.PixelAt(5, 5), 100);
  // All nodes on the pixel: A = 0.
  t.Place({{5, 5, 17}, {5, 5, 100}}, 1);
  EXPECT_EQ(t.PixelAt(5, 5), 0);
}

// The low 8 bits of the 32-bit results, computed here in 64 bits and
// reduced modulo 2^32.
std::int32_t Wrap(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

TEST(StainFormulaTest, TypeOneWrapsAtThirtyTwoBits) {
  TestImage t(16000, 12000);
  t.Place({{0, 0, 234}, {15990, 11990, 233}, {0, 11990, 232}, {15990, 0, 231}}, 1);
  int negative = 0;
  for (int y : {0, 6000, 11998}) {
    t.image.ComputeRow(y, t.out.data());
    for (int x = 0; x < 15999; x += 37) {
      std::int64_t sum = 0, weighted = 0;
      for (int i = 0; i < 4; ++i) {
        const std::int64_t dx = x - t.image.nodes[i].x, dy = y - t.image.nodes[i].y;
        sum += dx * dx + dy * dy;
        weighted += t.image.nodes[i].c * (dx * dx + dy * dy);
      }
      std::int32_t w = Wrap(sum) >> 2;
      if (w == 0) w = 1;
      const std::int32_t v = Wrap(weighted) / w;
      negative += v < 0;
      ASSERT_EQ(t.out[x], static_cast<std::uint8_t>(v % 235)) << x << "," << y;
    }
  }
  EXPECT_GT(negative, 0);  // the case is really exercised
}

TEST(StainFormulaTest, TypeFiveNegativeSumOfSquaresReadsUnsigned) {
  // Node (1,1), pixel (0,0): p = q = 1, s = 2; with m = 80000 both sums are
  // 1 * 1 * 1 * 80000 * 16 / 2 = 640000, >> 4 = 40000. Their squares add up
  // to 3.2e9, negative in 32 bits; read unsigned, sqrt = 56568, >> 7 = 441,
  // % 235 = 206.
  TestImage t(2000, 2000);
  t.Place({{1, 1, 0}, {80000, 0, 0}}, 5);
  t.image.n = 1;
  EXPECT_LT(Wrap(2LL * 40000 * 40000), 0);
  EXPECT_EQ(t.PixelAt(0, 0), 206);
  // Full rows of a large image with far slot values compute without a fault.
  t.image.n = 2;
  t.image.nodes[2].x = 2000000000;
  t.image.FillTables();
  for (int y : {0, 1, 998, 1998}) t.image.ComputeRow(y, t.out.data());
}

TEST(StainFormulaTest, RingTypesStayWithinThePalette) {
  for (int type : {0, 2, 4}) {
    for (std::uint32_t seed : {3u, 4u, 5u}) {
      TestImage t(211, 97);
      srand15(seed);
      t.image.Start(4, 27, type);
      // Put one node in a corner so the far corner nears the top of the range.
      t.image.nodes[0] = {0, 0, 0};
      t.image.FillTables();
      int most = 0;
      for (int y = 0; y < t.image.h1; ++y) {
        t.image.ComputeRow(y, t.out.data());
        for (int x = 0; x < t.image.w1; ++x) {
          ASSERT_LE(t.out[x], 234) << type;
          most = std::max(most, t.image.Ring(t.image.SquaredDistance(x, y, 0)));
        }
      }
      EXPECT_GE(most, 230);  // the top of the range is reached
    }
  }
}

TEST(StainFormulaTest, UnknownTypeLeavesTheRowUnchanged) {
  TestImage t(40, 30);
  t.Place({{1, 1, 1}, {2, 2, 2}}, -1);
  t.image.ComputeRow(3, t.out.data());
  for (std::uint8_t b : t.out) EXPECT_EQ(b, 0xEE);
}

}  // namespace
