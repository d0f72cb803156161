// Slot-to-pixel tables and row conversion for true-colour visuals.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "pixel_lut.h"

namespace orvo::platform::x11 {
namespace {

TEST(PlaceChannel, FitsTheValueIntoMasksOfEveryWidth) {
  // 8-bit fields anywhere in the word.
  EXPECT_EQ(PlaceChannel(0x12, 0x00FF0000u), 0x00120000u);
  EXPECT_EQ(PlaceChannel(0xAB, 0x000000FFu), 0x000000ABu);
  EXPECT_EQ(PlaceChannel(0xFF, 0xFF000000u), 0xFF000000u);
  // 5-6-5: the top bits of the value.
  EXPECT_EQ(PlaceChannel(0xFF, 0xF800u), 0xF800u);
  EXPECT_EQ(PlaceChannel(0x80, 0xF800u), 0x8000u);
  EXPECT_EQ(PlaceChannel(0x07, 0xF800u), 0u);
  EXPECT_EQ(PlaceChannel(0xFF, 0x07E0u), 0x07E0u);
  EXPECT_EQ(PlaceChannel(0x84, 0x07E0u), 0x21u << 5);
  // 10-bit fields: full scale stays full scale, zero stays zero.
  EXPECT_EQ(PlaceChannel(0xFF, 0x3FF00000u), 0x3FF00000u);
  EXPECT_EQ(PlaceChannel(0x00, 0x3FF00000u), 0u);
  EXPECT_EQ(PlaceChannel(0x80, 0x000003FFu), 0x202u);
  // No field.
  EXPECT_EQ(PlaceChannel(0xFF, 0u), 0u);
}

TEST(BuildPixelTable, FollowsTheChannelOrderOfTheVisual) {
  std::array<Rgb, kSlotCount> colours{};
  for (int i = 0; i < kSlotCount; ++i)
    colours[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                  static_cast<std::uint8_t>(i * 7)};
  std::array<std::uint32_t, kSlotCount> rgb{}, bgr{}, r565{};
  BuildPixelTable(colours, {0xFF0000u, 0x00FF00u, 0x0000FFu}, &rgb);
  BuildPixelTable(colours, {0x0000FFu, 0x00FF00u, 0xFF0000u}, &bgr);
  BuildPixelTable(colours, {0xF800u, 0x07E0u, 0x001Fu}, &r565);
  for (int i = 0; i < kSlotCount; ++i) {
    const Rgb& c = colours[i];
    EXPECT_EQ(rgb[i], (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b) << i;
    EXPECT_EQ(bgr[i], (std::uint32_t{c.b} << 16) | (std::uint32_t{c.g} << 8) | c.r) << i;
    EXPECT_EQ(r565[i], (std::uint32_t{c.r} >> 3 << 11) | (std::uint32_t{c.g} >> 2 << 5) |
                           (std::uint32_t{c.b} >> 3))
        << i;
  }
}

// Every length (the 8-pixel body and the tail), every source alignment, and
// nothing written past the end.
template <typename Pixel, typename Convert>
void CheckConversion(Convert convert) {
  std::array<Pixel, kSlotCount> table{};
  for (int i = 0; i < kSlotCount; ++i)
    table[i] = static_cast<Pixel>(0x9E3779B9u * static_cast<std::uint32_t>(i + 1));
  std::vector<std::uint8_t> slots(64);
  for (std::size_t i = 0; i < slots.size(); ++i) slots[i] = static_cast<std::uint8_t>(i * 37 + 11);
  const Pixel guard = static_cast<Pixel>(0x5A5A5A5Au);
  for (int offset = 0; offset < 8; ++offset) {
    for (int count = 0; count <= 40; ++count) {
      std::vector<Pixel> out(static_cast<std::size_t>(count) + 4, guard);
      convert(slots.data() + offset, out.data(), count, table.data());
      for (int i = 0; i < count; ++i)
        ASSERT_EQ(out[i], table[slots[offset + i]]) << "offset " << offset << " count " << count
                                                    << " pixel " << i;
      for (int i = count; i < count + 4; ++i)
        ASSERT_EQ(out[i], guard) << "wrote past the row, count " << count;
    }
  }
}

TEST(ConvertRow, ThirtyTwoBitPixelsMatchTheTable) { CheckConversion<std::uint32_t>(ConvertRow32); }

TEST(ConvertRow, SixteenBitPixelsMatchTheTable) { CheckConversion<std::uint16_t>(ConvertRow16); }

}  // namespace
}  // namespace orvo::platform::x11
