// A memory DC over an 8-bit top-down bitmap whose pixels the test can read,
// with a palette in which palette index i is slot 10 + i (as the display
// shows a saver's palette), for drawing tests without a window.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/host/palette_bitmap.h"
#include "orvo/platform.h"

namespace trail_test {

inline constexpr int kFirstSlot = 10;

class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(nullptr);
    std::vector<std::uint8_t> header(sizeof(BITMAPINFOHEADER) + 256 * 4, 0);
    auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = -height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 8;
    info->bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint8_t*>(bits);
    stride_ = orvo::host::PaddedRowBytes(width);
    SelectObject(dc_, reinterpret_cast<HGDIOBJ>(bitmap_));
    std::vector<std::uint8_t> record(sizeof(LOGPALETTE) + 235 * sizeof(PALETTEENTRY), 0);
    auto* log = reinterpret_cast<LOGPALETTE*>(record.data());
    log->palVersion = 0x300;
    log->palNumEntries = 235;
    for (int i = 0; i < 235; ++i) {
      log->palPalEntry[i] = PALETTEENTRY{static_cast<BYTE>(kFirstSlot + i), 0, 0, PC_EXPLICIT};
    }
    palette_ = CreatePalette(log);
    SelectPalette(dc_, palette_, FALSE);
    Clear();
  }
  ~Canvas() {
    SelectPalette(dc_, reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
    DeleteDC(dc_);
    DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap_));
    DeleteObject(reinterpret_cast<HGDIOBJ>(palette_));
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  bool ok() const { return bits_ != nullptr; }
  std::uint8_t at(int x, int y) const { return bits_[static_cast<std::size_t>(y) * stride_ + x]; }
  void Clear() { PatBlt(dc_, 0, 0, width_, height_, BLACKNESS); }
  // Pixels that are not black, as a mask (row by row).
  std::vector<bool> Painted() const {
    std::vector<bool> out(static_cast<std::size_t>(width_) * height_);
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) out[static_cast<std::size_t>(y) * width_ + x] = at(x, y) != 0;
    }
    return out;
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HPALETTE palette_ = nullptr;
  std::uint8_t* bits_ = nullptr;
  std::size_t stride_ = 0;
};

}  // namespace trail_test
