// The GDI handle table: every handle names at most one object, for its
// whole life, and never another one after it was deleted.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "gdi/gdi_objects.h"
#include "orvo/platform.h"

namespace {

using orvo::platform::FindBrush;
using orvo::platform::FindObject;
using orvo::platform::FindPen;

HGDIOBJ H(HPEN p) { return reinterpret_cast<HGDIOBJ>(p); }
HGDIOBJ H(HBRUSH b) { return reinterpret_cast<HGDIOBJ>(b); }

TEST(GdiHandles, ADeletedHandleNeverNamesTheObjectThatReusesItsSlot) {
  // Create and delete many times over: slots (and the objects themselves)
  // are reused, handles never.
  std::set<std::uintptr_t> seen;
  std::vector<HGDIOBJ> stale;
  for (int round = 0; round < 200; ++round) {
    HPEN pen = CreatePen(PS_SOLID, round % 7, PALETTEINDEX(round % 235));
    HBRUSH brush = CreateSolidBrush(PALETTEINDEX(round % 235));
    ASSERT_NE(pen, nullptr);
    ASSERT_NE(brush, nullptr);
    EXPECT_TRUE(seen.insert(reinterpret_cast<std::uintptr_t>(pen)).second) << "handle reused";
    EXPECT_TRUE(seen.insert(reinterpret_cast<std::uintptr_t>(brush)).second) << "handle reused";
    // A live handle finds its own object, with its own fields, of its kind only.
    ASSERT_NE(FindPen(H(pen)), nullptr);
    EXPECT_EQ(FindPen(H(pen))->width, round % 7 < 1 ? 1 : round % 7);
    EXPECT_EQ(FindPen(H(pen))->color, PALETTEINDEX(round % 235));
    EXPECT_EQ(FindBrush(H(pen)), nullptr);
    EXPECT_EQ(FindPen(H(brush)), nullptr);
    for (HGDIOBJ old : stale) EXPECT_EQ(FindObject(old), nullptr);
    EXPECT_TRUE(DeleteObject(H(pen)));
    EXPECT_TRUE(DeleteObject(H(brush)));
    EXPECT_FALSE(DeleteObject(H(pen))) << "a second delete of the same handle";
    if (round % 20 == 0) stale.push_back(H(pen));
  }
}

TEST(GdiHandles, ReusedObjectsStartFresh) {
  HBRUSH null_brush = reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  ASSERT_TRUE(FindBrush(H(null_brush))->null);
  // A region given many spans, deleted, then a new small region: it holds
  // only its own spans.
  HRGN big = CreateRectRgn(0, 0, 50, 40);
  DeleteObject(reinterpret_cast<HGDIOBJ>(big));
  HRGN small = CreateRectRgn(2, 3, 4, 5);
  EXPECT_EQ(PtInRegion(small, 2, 3), TRUE);
  EXPECT_EQ(PtInRegion(small, 10, 10), FALSE);
  EXPECT_EQ(PtInRegion(small, 4, 3), FALSE);
  DeleteObject(reinterpret_cast<HGDIOBJ>(small));
  // A pen of a deleted width-9 pen's storage comes back with its own width.
  HPEN wide = CreatePen(PS_SOLID, 9, 0);
  DeleteObject(H(wide));
  HPEN thin = CreatePen(PS_NULL, 0, 0);
  EXPECT_EQ(FindPen(H(thin))->width, 1);
  EXPECT_EQ(FindPen(H(thin))->style, PS_NULL);
  DeleteObject(H(thin));
}

TEST(GdiHandles, InventedAndStockHandles) {
  // Values no table entry was ever handed out for: small numbers, odd
  // values, huge indices, and a live handle with its generation changed.
  HPEN pen = CreatePen(PS_SOLID, 1, 0);
  const std::uintptr_t live = reinterpret_cast<std::uintptr_t>(pen);
  for (std::uintptr_t v : {std::uintptr_t{0}, std::uintptr_t{1}, std::uintptr_t{0x10},
                           std::uintptr_t{0x1234}, live + 1, live + 8, live ^ (std::uintptr_t{1} << 28),
                           live ^ (std::uintptr_t{1} << 40), ~std::uintptr_t{0},
                           std::uintptr_t{0x0FFFFFF0}}) {
    EXPECT_EQ(FindObject(reinterpret_cast<HGDIOBJ>(v)), nullptr) << std::hex << v;
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(v))) << std::hex << v;
  }
  EXPECT_NE(FindObject(H(pen)), nullptr);
  DeleteObject(H(pen));
  // Stock objects survive a delete and keep their handle.
  HGDIOBJ black = GetStockObject(BLACK_PEN);
  EXPECT_TRUE(DeleteObject(black));
  EXPECT_NE(FindPen(black), nullptr);
  EXPECT_EQ(GetStockObject(BLACK_PEN), black);
}

}  // namespace
