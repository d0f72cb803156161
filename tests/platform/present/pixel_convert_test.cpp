// The slot-to-pixel converter every back end presents through: pixel
// tables for any channel masks, row conversion on every path this
// processor has, rectangles with enlargement and clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "orvo/pixel_convert.h"

namespace orvo::platform {
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

TEST(BuildPixelTable, FollowsTheChannelOrderOfTheTarget) {
  std::array<Rgb, kSlotCount> colours{};
  for (int i = 0; i < kSlotCount; ++i)
    colours[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                  static_cast<std::uint8_t>(i * 7)};
  std::array<std::uint32_t, kSlotCount> rgb{}, bgr{}, r565{};
  BuildPixelTable(colours, kDibMasks, &rgb);
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

TEST(ConvertRow, ThirtyTwoBitPixelsMatchTheTable) { CheckConversion<std::uint32_t>(ConvertRow32Plain); }

TEST(ConvertRow, SixteenBitPixelsMatchTheTable) { CheckConversion<std::uint16_t>(ConvertRow16); }

// A table whose four bytes differ for every slot, so that a byte taken from
// the wrong plane, slot or position shows.
PixelTable32 DistinctTable() {
  PixelTable32 table;
  for (int i = 0; i < kSlotCount; ++i)
    table.pixels[i] = 0x01000000u * static_cast<std::uint32_t>(255 - i) +
                      0x00010000u * static_cast<std::uint32_t>((i * 7 + 3) & 0xFF) +
                      0x00000100u * static_cast<std::uint32_t>((i * 13 + 5) & 0xFF) +
                      static_cast<std::uint32_t>(i);
  table.Update();
  return table;
}

// The fast paths against the plain table: every slot value in every
// position of a 64-slot block, rows of every length up to three blocks and
// a bit (odd ones included), every source alignment, nothing written past
// the end.
TEST(ConvertRow, FastPathsEqualThePlainTable) {
  const PixelTable32 table = DistinctTable();
  std::vector<std::uint8_t> slots(1024);
  for (std::size_t i = 0; i < slots.size(); ++i)
    slots[i] = static_cast<std::uint8_t>((i * 151 + i / 256) & 0xFF);
  struct Path {
    const char* name;
    void (*convert)(const std::uint8_t*, std::uint32_t*, int, const PixelTable32&);
  };
  std::vector<Path> paths = {{"dispatching", ConvertRow32}};
  if (HaveVectorConversion()) {
    paths.push_back({"vector", ConvertRow32Vector});
  } else {
    std::printf("this processor has no vector conversion; only the dispatching path is checked\n");
  }
  constexpr std::uint32_t kGuard = 0xA5A5A5A5u;
  for (const Path& path : paths) {
    // All 256 values, in every lane of the vector.
    std::vector<std::uint32_t> out(1024 + 8, kGuard);
    path.convert(slots.data(), out.data(), 1024, table);
    for (int i = 0; i < 1024; ++i)
      ASSERT_EQ(out[i], table.pixels[slots[i]]) << path.name << " pixel " << i;
    for (int offset = 0; offset < 64; offset += 7) {
      for (int count = 0; count <= 200; ++count) {
        std::fill(out.begin(), out.end(), kGuard);
        path.convert(slots.data() + offset, out.data(), count, table);
        for (int i = 0; i < count; ++i)
          ASSERT_EQ(out[i], table.pixels[slots[offset + i]])
              << path.name << " offset " << offset << " count " << count << " pixel " << i;
        for (int i = count; i < count + 8; ++i)
          ASSERT_EQ(out[i], kGuard) << path.name << " wrote past the row, count " << count;
      }
    }
  }
}

// A rectangle of a surface into an image with each slot enlarged to a
// scale x scale block, checked pixel by pixel against the definition, for
// scales 1..3, odd sizes, rectangles reaching over the surface's edges,
// top-down and bottom-up surfaces, and both pixel sizes; pixels outside the
// rectangle's blocks stay untouched.
template <typename Pixel, typename Convert>
void CheckRectangles(const char* what, Convert convert, Pixel (*pixel_of)(int slot), bool bottom_up) {
  SCOPED_TRACE(bottom_up ? "bottom-up" : "top-down");
  Surface surface(97, 61);
  surface.set_bottom_up(bottom_up);
  for (int y = 0; y < surface.height(); ++y)
    for (int x = 0; x < surface.width(); ++x)
      surface.row(y)[x] = static_cast<std::uint8_t>((x * 29 + y * 71 + x * y) & 0xFF);
  const PixelRect rects[] = {
      {0, 0, 97, 61}, {5, 3, 6, 4}, {13, 7, 80, 33}, {-20, -5, 9, 70}, {90, 50, 200, 100}, {40, 40, 40, 50},
  };
  constexpr Pixel kGuard = static_cast<Pixel>(0xC3C3C3C3u);
  for (int scale = 1; scale <= 3; ++scale) {
    const int image_width = surface.width() * scale + 5;  // rows with padding
    const int image_height = surface.height() * scale;
    const std::size_t bytes_per_line = static_cast<std::size_t>(image_width) * sizeof(Pixel);
    for (const PixelRect& rect : rects) {
      std::vector<Pixel> image(static_cast<std::size_t>(image_width) * image_height, kGuard);
      std::vector<Pixel> scratch(static_cast<std::size_t>(surface.width()));
      const PixelRect done = convert(surface, rect, scale, reinterpret_cast<std::uint8_t*>(image.data()),
                                     bytes_per_line, scratch.data());
      const PixelRect clipped{std::max(rect.left, 0), std::max(rect.top, 0),
                              std::min(rect.right, surface.width()), std::min(rect.bottom, surface.height())};
      ASSERT_EQ(done, clipped.empty() ? PixelRect{} : clipped) << what;
      for (int py = 0; py < image_height; ++py) {
        for (int px = 0; px < image_width; ++px) {
          const int x = px / scale, y = py / scale;
          const bool inside = px < surface.width() * scale && x >= rect.left && x < rect.right &&
                              y >= rect.top && y < rect.bottom;
          const Pixel want = inside ? pixel_of(surface.row(y)[x]) : kGuard;
          ASSERT_EQ(image[static_cast<std::size_t>(py) * image_width + px], want)
              << what << " scale " << scale << " rect " << rect.left << "," << rect.top << ","
              << rect.right << "," << rect.bottom << " pixel " << px << "," << py;
        }
      }
    }
  }
}

TEST(ConvertRect, EnlargesEachSlotToAScaleByScaleBlock) {
  static const PixelTable32 table32 = DistinctTable();
  static std::array<std::uint16_t, kSlotCount> table16{};
  for (int i = 0; i < kSlotCount; ++i) table16[i] = static_cast<std::uint16_t>(0x9E37u * (i + 1));
  for (const bool bottom_up : {false, true}) {
    CheckRectangles<std::uint32_t>(
        "32-bit",
        [](const Surface& s, const PixelRect& r, int scale, std::uint8_t* image, std::size_t bpl,
           std::uint32_t* scratch) { return ConvertRect32(s, r, scale, table32, image, bpl, scratch); },
        +[](int slot) { return table32.pixels[slot]; }, bottom_up);
    CheckRectangles<std::uint16_t>(
        "16-bit",
        [](const Surface& s, const PixelRect& r, int scale, std::uint8_t* image, std::size_t bpl,
           std::uint16_t* scratch) { return ConvertRect16(s, r, scale, table16.data(), image, bpl, scratch); },
        +[](int slot) { return table16[slot]; }, bottom_up);
  }
}

// Rectangles far outside the surface, or reaching to the ends of the
// coordinate range, convert nothing or only their part inside it.
TEST(ConvertRect, ClipsToTheSurface) {
  Surface surface(10, 8);
  static const PixelTable32 table = DistinctTable();
  std::vector<std::uint32_t> image(10 * 8, 0xDEADBEEFu);
  const struct {
    PixelRect rect;
    PixelRect want;
  } cases[] = {
      {{-3, -2, 2, 3}, {0, 0, 2, 3}},
      {{8, 6, 18, 16}, {8, 6, 10, 8}},
      {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {0, 0, 10, 8}},
      {{10, 0, 11, 1}, {}},
      {{0, 0, 0, 5}, {}},
      {{2147483000, 0, INT_MAX, 1}, {}},
      {{INT_MIN, 0, -1, 8}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertRect32(surface, c.rect, 1, table, reinterpret_cast<std::uint8_t*>(image.data()),
                            10 * sizeof(std::uint32_t), nullptr),
              c.want)
        << c.rect.left << "," << c.rect.top << "," << c.rect.right << "," << c.rect.bottom;
  }
}

}  // namespace
}  // namespace orvo::platform
