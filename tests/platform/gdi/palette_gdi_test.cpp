// Logical palettes on the emulated display: slot assignment, background
// mapping, palette animation and bad handles.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "gdi/gdi_objects.h"
#include "orvo/display.h"
#include "orvo/headless.h"
#include "orvo/platform.h"

namespace {

using orvo::platform::Display;
using orvo::platform::Rgb;

// A LOGPALETTE with room for its entries.
struct LogPalette {
  explicit LogPalette(std::size_t count)
      : storage(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY)) {
    header()->palVersion = 0x300;
    header()->palNumEntries = static_cast<WORD>(count);
  }
  LOGPALETTE* header() { return reinterpret_cast<LOGPALETTE*>(storage.data()); }
  PALETTEENTRY& operator[](std::size_t i) { return (&header()->palPalEntry[0])[i]; }
  HPALETTE Create() { return CreatePalette(header()); }
  std::vector<unsigned char> storage;
};

// Colours that are all different from each other and from the static ones:
// entry i is (i, 255 - i, 77).
HPALETTE DistinctPalette(std::size_t count, BYTE flags) {
  LogPalette log(count);
  for (std::size_t i = 0; i < count; ++i) {
    log[i] = PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 77, flags};
  }
  return log.Create();
}

Rgb Slot(int s) { return Display().slots[s]; }

class PaletteGdi : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("ORVO_DISPLAY_BITS");
    orvo::headless::Install();
    dc_ = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc_, nullptr);
  }
  void TearDown() override { DeleteDC(dc_); }

  // Slot that PALETTEINDEX(i) draws with in `dc`.
  std::uint8_t SlotOf(HDC dc, WORD i) {
    return orvo::platform::ResolveColor(*orvo::platform::FindDC(dc), PALETTEINDEX(i));
  }

  HDC dc_ = nullptr;
};

TEST_F(PaletteGdi, ForegroundEntriesTakeFreeSlotsInOrder) {
  HPALETTE pal = DistinctPalette(235, PC_RESERVED);
  ASSERT_NE(pal, nullptr);
  const std::uint32_t version = Display().version;
  ASSERT_NE(SelectPalette(dc_, pal, FALSE), nullptr);
  EXPECT_EQ(RealizePalette(dc_), 235u);
  for (int i = 0; i < 235; ++i) {
    EXPECT_EQ(Slot(10 + i), (Rgb{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 77}))
        << "entry " << i;
    EXPECT_EQ(SlotOf(dc_, static_cast<WORD>(i)), 10 + i);
  }
  // Static colours are untouched; the last free slot is not used by 235 entries.
  EXPECT_EQ(Slot(0), (Rgb{0, 0, 0}));
  EXPECT_EQ(Slot(255), (Rgb{255, 255, 255}));
  EXPECT_EQ(Slot(246), (Rgb{255, 251, 240}));
  EXPECT_GT(Display().version, version);
  EXPECT_EQ(Display().foreground_palette, reinterpret_cast<std::uintptr_t>(pal));
  // Out-of-range indices draw with entry 0.
  EXPECT_EQ(SlotOf(dc_, 300), 10);

  // Realizing again maps nothing new; after UnrealizeObject it maps afresh.
  EXPECT_EQ(RealizePalette(dc_), 0u);
  EXPECT_TRUE(UnrealizeObject(reinterpret_cast<HGDIOBJ>(pal)));
  EXPECT_EQ(RealizePalette(dc_), 235u);
  EXPECT_EQ(SlotOf(dc_, 234), 244);
  DeleteObject(reinterpret_cast<HGDIOBJ>(pal));
  EXPECT_EQ(Display().foreground_palette, 0u);
}

TEST_F(PaletteGdi, ExplicitEntriesNameTheirSlotAndTakeNoFreeSlot) {
  LogPalette log(4);
  log[0] = PALETTEENTRY{7, 0, 0, PC_EXPLICIT};     // slot 7
  log[1] = PALETTEENTRY{10, 20, 30, PC_RESERVED};  // first free slot
  log[2] = PALETTEENTRY{250, 1, 0, PC_EXPLICIT};   // low byte of 0x01FA: slot 250
  log[3] = PALETTEENTRY{40, 50, 60, 0};            // second free slot
  HPALETTE pal = log.Create();
  SelectPalette(dc_, pal, FALSE);
  EXPECT_EQ(RealizePalette(dc_), 2u);
  EXPECT_EQ(SlotOf(dc_, 0), 7);
  EXPECT_EQ(SlotOf(dc_, 1), 10);
  EXPECT_EQ(SlotOf(dc_, 2), 250);
  EXPECT_EQ(SlotOf(dc_, 3), 11);
  EXPECT_EQ(Slot(10), (Rgb{10, 20, 30}));
  EXPECT_EQ(Slot(11), (Rgb{40, 50, 60}));
  EXPECT_EQ(Slot(7), (Rgb{192, 192, 192}));  // the static colour stays
}

TEST_F(PaletteGdi, EntriesBeyondTheFreeSlotsShareTheNearestColour) {
  LogPalette log(240);
  for (int i = 0; i < 240; ++i) {
    log[i] = PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 77, PC_RESERVED};
  }
  log[236] = PALETTEENTRY{5, 250, 77, PC_RESERVED};    // exactly entry 5: slot 15
  log[237] = PALETTEENTRY{255, 255, 255, PC_RESERVED};  // static white: slot 255
  log[238] = PALETTEENTRY{3, 252, 79, PC_RESERVED};    // nearest is entry 3 (3,252,77): slot 13
  HPALETTE pal = log.Create();
  SelectPalette(dc_, pal, FALSE);
  EXPECT_EQ(RealizePalette(dc_), 236u);
  EXPECT_EQ(SlotOf(dc_, 235), 245);
  EXPECT_EQ(Slot(245), (Rgb{235, 20, 77}));
  EXPECT_EQ(SlotOf(dc_, 236), 15);
  EXPECT_EQ(SlotOf(dc_, 237), 255);
  EXPECT_EQ(SlotOf(dc_, 238), 13);
  // An animation of an entry without a slot of its own leaves the shared slot alone.
  PALETTEENTRY grey{100, 100, 100, PC_RESERVED};
  EXPECT_TRUE(AnimatePalette(pal, 236, 1, &grey));
  EXPECT_EQ(Slot(15), (Rgb{5, 250, 77}));
}

TEST_F(PaletteGdi, BackgroundPaletteMapsToExistingColoursWithoutTakingSlots) {
  LogPalette log(4);
  log[0] = PALETTEENTRY{0, 0, 0, PC_RESERVED};
  log[1] = PALETTEENTRY{250, 5, 5, PC_RESERVED};    // nearest static: red (slot 249)
  log[2] = PALETTEENTRY{255, 255, 250, PC_RESERVED};  // nearest static: white (slot 255)
  log[3] = PALETTEENTRY{128, 0, 0, PC_EXPLICIT | 0};  // explicit slot 128
  HPALETTE pal = log.Create();
  const auto slots = Display().slots;
  const std::uint32_t version = Display().version;
  SelectPalette(dc_, pal, TRUE);
  EXPECT_EQ(RealizePalette(dc_), 0u);
  EXPECT_EQ(Display().slots, slots);
  EXPECT_EQ(Display().version, version);
  EXPECT_EQ(SlotOf(dc_, 0), 0);
  EXPECT_EQ(SlotOf(dc_, 1), 249);
  EXPECT_EQ(SlotOf(dc_, 2), 255);
  EXPECT_EQ(SlotOf(dc_, 3), 128);
  EXPECT_NE(Display().foreground_palette, reinterpret_cast<std::uintptr_t>(pal));

  // With a foreground palette showing a colour in a free slot, a background
  // palette asking for that colour gets that slot.
  HDC other = CreateCompatibleDC(nullptr);
  HPALETTE fg = DistinctPalette(20, PC_RESERVED);
  SelectPalette(other, fg, FALSE);
  RealizePalette(other);
  PALETTEENTRY want{12, 243, 77, PC_RESERVED};  // entry 12 of fg: slot 22
  EXPECT_EQ(SetPaletteEntries(pal, 0, 1, &want), 1u);
  RealizePalette(dc_);
  EXPECT_EQ(SlotOf(dc_, 0), 22);
  DeleteDC(other);
}

TEST_F(PaletteGdi, ForegroundPaletteKeepsItsSlotsWhenAlsoRealizedInTheBackground) {
  // An all-black palette: a nearest-colour mapping would send every entry to slot 0.
  HPALETTE pal = DistinctPalette(235, PC_RESERVED);
  PALETTEENTRY black[235] = {};
  for (auto& e : black) e.peFlags = PC_RESERVED;
  SetPaletteEntries(pal, 0, 235, black);
  SelectPalette(dc_, pal, FALSE);
  RealizePalette(dc_);
  HDC memory = CreateCompatibleDC(nullptr);
  SelectPalette(memory, pal, TRUE);
  RealizePalette(memory);
  EXPECT_EQ(SlotOf(memory, 100), 110);
  EXPECT_EQ(SlotOf(dc_, 234), 244);
  DeleteDC(memory);
}

TEST_F(PaletteGdi, AnimatePaletteRecoloursSlotsButNotPixels) {
  HPALETTE pal = DistinctPalette(235, PC_RESERVED);
  PALETTEENTRY plain{1, 2, 3, 0};  // entry 1 is not reserved
  SetPaletteEntries(pal, 1, 1, &plain);
  SelectPalette(dc_, pal, FALSE);
  RealizePalette(dc_);

  // A small bitmap painted with entry 4 (slot 14).
  auto bitmap = std::make_unique<orvo::platform::Bitmap>();
  bitmap->surface.Resize(5, 3);
  orvo::platform::Bitmap* raw = bitmap.get();
  HGDIOBJ hbm = orvo::platform::AddObject(std::move(bitmap));
  SelectObject(dc_, hbm);
  HBRUSH brush = CreateSolidBrush(PALETTEINDEX(4));
  SelectObject(dc_, reinterpret_cast<HGDIOBJ>(brush));
  ASSERT_TRUE(PatBlt(dc_, 0, 0, 5, 3, PATCOPY));
  const std::vector<std::uint8_t> pixels(raw->surface.data(),
                                         raw->surface.data() + raw->surface.stride() * 3);
  ASSERT_EQ(pixels[0], 14);

  PALETTEENTRY change[4] = {{200, 0, 0, PC_RESERVED},
                            {0, 200, 0, PC_RESERVED},
                            {0, 0, 200, PC_RESERVED},
                            {9, 9, 9, PC_RESERVED}};
  const std::uint32_t version = Display().version;
  EXPECT_TRUE(AnimatePalette(pal, 1, 4, change));
  EXPECT_GT(Display().version, version);
  EXPECT_EQ(Slot(11), (Rgb{1, 2, 3}));  // not reserved: unchanged
  EXPECT_EQ(Slot(12), (Rgb{0, 200, 0}));
  EXPECT_EQ(Slot(13), (Rgb{0, 0, 200}));
  EXPECT_EQ(Slot(14), (Rgb{9, 9, 9}));
  PALETTEENTRY read[2];
  EXPECT_EQ(GetPaletteEntries(pal, 1, 2, read), 2u);
  EXPECT_EQ(read[0].peRed, 1);  // the logical colour of a plain entry stays too
  EXPECT_EQ(read[1].peGreen, 200);
  EXPECT_EQ(read[1].peFlags, PC_RESERVED);
  const std::vector<std::uint8_t> after(raw->surface.data(),
                                        raw->surface.data() + raw->surface.stride() * 3);
  EXPECT_EQ(after, pixels);

  // The same colours again change nothing, so presentation need not rebuild.
  const std::uint32_t same = Display().version;
  EXPECT_TRUE(AnimatePalette(pal, 1, 4, change));
  EXPECT_EQ(Display().version, same);

  // The count is clipped to the palette; bad arguments are refused.
  EXPECT_TRUE(AnimatePalette(pal, 233, 10, change));
  EXPECT_EQ(Slot(243), (Rgb{200, 0, 0}));
  EXPECT_EQ(Slot(244), (Rgb{0, 200, 0}));
  EXPECT_EQ(Slot(245), Rgb{});  // beyond the palette
  EXPECT_FALSE(AnimatePalette(pal, 235, 1, change));
  EXPECT_FALSE(AnimatePalette(pal, 0, 1, nullptr));
  EXPECT_FALSE(AnimatePalette(nullptr, 0, 1, change));
  EXPECT_FALSE(AnimatePalette(reinterpret_cast<HPALETTE>(brush), 0, 1, change));

  SelectObject(dc_, GetStockObject(WHITE_BRUSH));
  DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
}

TEST_F(PaletteGdi, OnlyTheForegroundPaletteAnimatesSlots) {
  HPALETTE first = DistinctPalette(10, PC_RESERVED);
  HPALETTE second = DistinctPalette(5, PC_RESERVED);
  SelectPalette(dc_, first, FALSE);
  RealizePalette(dc_);
  HDC other = CreateCompatibleDC(nullptr);
  SelectPalette(other, second, FALSE);
  EXPECT_EQ(RealizePalette(other), 5u);

  // The first palette lost its slots: animating it changes no slot, and its
  // entries now draw with the nearest colours shown.
  const auto slots = Display().slots;
  PALETTEENTRY red{255, 0, 0, PC_RESERVED};
  EXPECT_TRUE(AnimatePalette(first, 2, 1, &red));
  EXPECT_EQ(Display().slots, slots);
  EXPECT_EQ(SlotOf(dc_, 2), 12);   // (2,253,77) is also entry 2 of `second`
  EXPECT_EQ(SlotOf(dc_, 8), 18);   // its old colour is still shown in a slot nobody owns

  // A palette that was never realized changes no slot either.
  HPALETTE loose = DistinctPalette(3, PC_RESERVED);
  EXPECT_TRUE(AnimatePalette(loose, 0, 1, &red));
  EXPECT_EQ(Display().slots, slots);

  // A deleted foreground palette no longer animates, and its handle is refused.
  DeleteObject(reinterpret_cast<HGDIOBJ>(second));
  EXPECT_FALSE(AnimatePalette(second, 0, 1, &red));
  EXPECT_EQ(Display().slots, slots);
  DeleteDC(other);
}

TEST_F(PaletteGdi, EntriesAreReadAndWrittenWithinTheirRange) {
  HPALETTE pal = DistinctPalette(6, PC_RESERVED);
  EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 6u);
  PALETTEENTRY out[8] = {};
  EXPECT_EQ(GetPaletteEntries(pal, 4, 8, out), 2u);
  EXPECT_EQ(out[0].peRed, 4);
  EXPECT_EQ(out[1].peGreen, 250);
  EXPECT_EQ(GetPaletteEntries(pal, 6, 1, out), 0u);
  EXPECT_EQ(GetPaletteEntries(nullptr, 0, 1, out), 0u);

  PALETTEENTRY in[3] = {{1, 1, 1, 0}, {2, 2, 2, 0}, {3, 3, 3, 0}};
  EXPECT_EQ(SetPaletteEntries(pal, 5, 3, in), 1u);
  EXPECT_EQ(SetPaletteEntries(pal, 6, 1, in), 0u);
  EXPECT_EQ(SetPaletteEntries(pal, 0, 1, nullptr), 0u);
  EXPECT_EQ(SetPaletteEntries(reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), 0, 1, in),
            0u);
  GetPaletteEntries(pal, 5, 1, out);
  EXPECT_EQ(out[0].peBlue, 1);

  // New colours reach the slots at the next realization, not before.
  SelectPalette(dc_, pal, FALSE);
  RealizePalette(dc_);
  EXPECT_EQ(Slot(15), (Rgb{1, 1, 1}));
  PALETTEENTRY grey{90, 90, 90, PC_RESERVED};
  SetPaletteEntries(pal, 5, 1, &grey);
  EXPECT_EQ(Slot(15), (Rgb{1, 1, 1}));
  RealizePalette(dc_);
  EXPECT_EQ(Slot(15), (Rgb{90, 90, 90}));
}

TEST_F(PaletteGdi, BadPalettesAndHandlesAreRefused) {
  EXPECT_EQ(CreatePalette(nullptr), nullptr);
  LogPalette empty(1);
  empty.header()->palNumEntries = 0;
  EXPECT_EQ(CreatePalette(empty.header()), nullptr);
  LogPalette huge(1);
  huge.header()->palNumEntries = 1025;
  EXPECT_EQ(CreatePalette(huge.header()), nullptr);

  HPALETTE pal = DistinctPalette(3, PC_RESERVED);
  EXPECT_EQ(SelectPalette(nullptr, pal, FALSE), nullptr);
  EXPECT_EQ(SelectPalette(dc_, nullptr, FALSE), nullptr);
  EXPECT_EQ(SelectPalette(dc_, reinterpret_cast<HPALETTE>(dc_), FALSE), nullptr);
  EXPECT_EQ(RealizePalette(nullptr), 0u);

  // Selecting hands back the previous palette: the stock one first.
  const HPALETTE stock = reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  EXPECT_EQ(SelectPalette(dc_, pal, FALSE), stock);
  EXPECT_EQ(SelectPalette(dc_, stock, FALSE), pal);
  // The stock palette realizes nothing and moves no slot.
  const std::uint32_t version = Display().version;
  EXPECT_EQ(RealizePalette(dc_), 0u);
  EXPECT_EQ(Display().version, version);
  EXPECT_EQ(SlotOf(dc_, 19), 255);

  EXPECT_TRUE(UnrealizeObject(reinterpret_cast<HGDIOBJ>(pal)));
  EXPECT_TRUE(UnrealizeObject(reinterpret_cast<HGDIOBJ>(stock)));
  EXPECT_TRUE(UnrealizeObject(GetStockObject(BLACK_BRUSH)));
  EXPECT_FALSE(UnrealizeObject(GetStockObject(BLACK_PEN)));
  EXPECT_FALSE(UnrealizeObject(nullptr));
  DeleteObject(reinterpret_cast<HGDIOBJ>(pal));
  EXPECT_FALSE(UnrealizeObject(reinterpret_cast<HGDIOBJ>(pal)));
}

TEST_F(PaletteGdi, UnrealizedPaletteDrawsWithNearestStaticOrExplicitSlot) {
  LogPalette log(2);
  log[0] = PALETTEENTRY{0, 0, 250, PC_RESERVED};  // static blue: slot 252
  log[1] = PALETTEENTRY{3, 0, 0, PC_EXPLICIT};
  HPALETTE pal = log.Create();
  SelectPalette(dc_, pal, FALSE);
  EXPECT_EQ(SlotOf(dc_, 0), 252);
  EXPECT_EQ(SlotOf(dc_, 1), 3);
}

TEST_F(PaletteGdi, SystemPaletteIsReadableOnlyOnAPaletteDisplay) {
  EXPECT_EQ(GetSystemPaletteEntries(dc_, 0, 0, nullptr), 256u);
  PALETTEENTRY all[256];
  EXPECT_EQ(GetSystemPaletteEntries(dc_, 0, 256, all), 256u);
  EXPECT_EQ(all[0].peRed, 0);
  EXPECT_EQ(all[1].peRed, 128);  // dark red
  EXPECT_EQ(all[255].peGreen, 255);
  PALETTEENTRY tail[4];
  EXPECT_EQ(GetSystemPaletteEntries(dc_, 254, 4, tail), 2u);
  EXPECT_EQ(tail[1].peBlue, 255);
  EXPECT_EQ(GetSystemPaletteEntries(dc_, 256, 1, tail), 0u);
  EXPECT_EQ(GetSystemPaletteEntries(nullptr, 0, 1, tail), 0u);

  setenv("ORVO_DISPLAY_BITS", "32", 1);
  orvo::platform::ResetDisplay();
  EXPECT_EQ(GetSystemPaletteEntries(dc_, 0, 256, all), 0u);
  // The slots still work underneath, so a palette's colours are shown.
  HPALETTE pal = DistinctPalette(3, PC_RESERVED);
  SelectPalette(dc_, pal, FALSE);
  RealizePalette(dc_);
  EXPECT_EQ(Slot(12), (Rgb{2, 253, 77}));
  unsetenv("ORVO_DISPLAY_BITS");
}

}  // namespace
