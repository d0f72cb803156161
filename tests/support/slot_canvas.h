// A small off-screen bitmap on a fresh headless display, read back as slot
// numbers.
#pragma once

#include <cstdint>

#include "orvo/headless.h"
#include "orvo/platform.h"
#include "gdi/gdi_objects.h"

class SlotCanvas {
 public:
  SlotCanvas(int w, int h) : w_(w), h_(h) {
    orvo::headless::Install();
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(dc_, w, h);
    old_ = SelectObject(dc_, reinterpret_cast<HGDIOBJ>(bitmap_));
  }
  ~SlotCanvas() {
    SelectObject(dc_, old_);
    DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap_));
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  int Slot(int x, int y) const {
    return orvo::platform::FindBitmap(reinterpret_cast<HGDIOBJ>(bitmap_))->surface.row(y)[x];
  }
  int NonZero() const {
    int n = 0;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) n += Slot(x, y) != 0;
    return n;
  }

 private:
  int w_, h_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};
