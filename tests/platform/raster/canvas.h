// A memory DC with a bitmap selected, for drawing tests without a window.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gdi/gdi_objects.h"
#include "orvo/platform.h"

namespace raster_test {

using PixelSet = std::set<std::pair<int, int>>;  // (x, y)

inline std::uint8_t SlotOf(COLORREF rgb) {
  return static_cast<std::uint8_t>(orvo::platform::NearestStaticSlot(rgb));
}

class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    orvo::platform::ResetDisplay();  // the static colours in their slots
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(dc_, width, height);
    SelectObject(dc_, reinterpret_cast<HGDIOBJ>(bitmap_));
  }
  ~Canvas() {
    SelectObject(dc_, GetStockObject(BLACK_PEN));
    SelectObject(dc_, GetStockObject(WHITE_BRUSH));
    for (HGDIOBJ o : owned_) DeleteObject(o);
    DeleteDC(dc_);
    DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap_));
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  int width() const { return width_; }
  int height() const { return height_; }
  orvo::platform::Surface& surface() {
    return orvo::platform::FindBitmap(reinterpret_cast<HGDIOBJ>(bitmap_))->surface;
  }
  std::uint8_t at(int x, int y) { return surface().row(y)[x]; }

  // Selects a new solid pen (width, RGB colour); the canvas deletes it.
  void Pen(int width, COLORREF color) {
    HPEN pen = CreatePen(PS_SOLID, width, color);
    owned_.push_back(reinterpret_cast<HGDIOBJ>(pen));
    SelectObject(dc_, reinterpret_cast<HGDIOBJ>(pen));
  }
  void NullPen() { SelectObject(dc_, GetStockObject(NULL_PEN)); }
  void Brush(COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    owned_.push_back(reinterpret_cast<HGDIOBJ>(brush));
    SelectObject(dc_, reinterpret_cast<HGDIOBJ>(brush));
  }
  void NullBrush() { SelectObject(dc_, GetStockObject(NULL_BRUSH)); }

  // Pixels holding the slot value.
  PixelSet With(std::uint8_t slot) {
    PixelSet out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (at(x, y) == slot) out.insert({x, y});
      }
    }
    return out;
  }
  // Pixels not black.
  PixelSet Painted() {
    PixelSet out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (at(x, y) != 0) out.insert({x, y});
      }
    }
    return out;
  }
  // Every byte of the surface memory, padding included, is zero.
  bool AllZero() {
    const orvo::platform::Surface& s = surface();
    for (std::size_t i = 0; i < s.stride() * static_cast<std::size_t>(s.height()); ++i) {
      if (s.data()[i] != 0) return false;
    }
    return true;
  }
  void Clear() {
    orvo::platform::Surface& s = surface();
    std::fill(s.data(), s.data() + s.stride() * static_cast<std::size_t>(s.height()), 0);
  }
  // The picture as text rows ('.' black, '#' anything else), for messages.
  std::string Picture() {
    std::string out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) out += at(x, y) == 0 ? '.' : '#';
      out += '\n';
    }
    return out;
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  std::vector<HGDIOBJ> owned_;
};

// Tiles (column, row) of the surface's change map.
using TileSet = std::set<std::pair<int, int>>;

// The tiles that the pixels fall in.
inline TileSet TilesOf(const PixelSet& pixels) {
  using orvo::platform::Surface;
  TileSet out;
  for (const auto& [x, y] : pixels) out.insert({x / Surface::kTileWidth, y / Surface::kTileHeight});
  return out;
}

// The tiles the surface counts as changed.
inline TileSet ChangedTiles(const orvo::platform::Surface& s) {
  TileSet out;
  for (int row = 0; row < s.tile_rows(); ++row) {
    for (int column = 0; column < s.tile_columns(); ++column) {
      if (s.TileChanged(column, row)) out.insert({column, row});
    }
  }
  return out;
}

// Parses a picture: '#' marks a pixel of the set, anything else not.
inline PixelSet FromPicture(const std::vector<std::string>& rows) {
  PixelSet out;
  for (std::size_t y = 0; y < rows.size(); ++y) {
    for (std::size_t x = 0; x < rows[y].size(); ++x) {
      if (rows[y][x] == '#') out.insert({static_cast<int>(x), static_cast<int>(y)});
    }
  }
  return out;
}

}  // namespace raster_test
