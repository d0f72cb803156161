// The GDI object kinds behind their handles (platform-internal): pens,
// brushes, palettes, regions, bitmaps and device contexts, and the lookups
// that check a handle's kind.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/handle_table.h"
#include "orvo/display.h"
#include "orvo/win_gdi.h"
#include "orvo/win_types.h"

namespace orvo::platform {

struct Pen : GdiObject {
  static constexpr GdiKind kKind = GdiKind::kPen;
  Pen() : GdiObject(kKind) {}
  void Reset() { *this = Pen{}; }
  int style = PS_SOLID;  // PS_SOLID or PS_NULL
  int width = 1;         // 0 and 1 are one-pixel pens
  COLORREF color = 0;
};

struct Brush : GdiObject {
  static constexpr GdiKind kKind = GdiKind::kBrush;
  Brush() : GdiObject(kKind) {}
  void Reset() { *this = Brush{}; }
  bool null = false;
  COLORREF color = 0;
};

struct Palette : GdiObject {
  Palette() : GdiObject(GdiKind::kPalette) {}
  std::vector<PALETTEENTRY> entries;
  // Hardware slot of each entry, valid once the palette has been realized
  // (or mapped); before that entries map to the nearest static colour.
  std::vector<std::uint8_t> slot_of_entry;
  bool realized_foreground = false;  // its reserved entries own their slots
};

// A set of pixels: spans [x0, x1) on row y, sorted by y then x0, never
// overlapping or touching on the same row.
struct Span {
  int y;
  int x0;
  int x1;
};
struct Region : GdiObject {
  static constexpr GdiKind kKind = GdiKind::kRegion;
  Region() : GdiObject(kKind) {}
  void Reset() {
    stock = false;
    handle = nullptr;
    spans.clear();
  }
  std::vector<Span> spans;
};

struct Bitmap : GdiObject {
  Bitmap() : GdiObject(GdiKind::kBitmap) {}
  Surface surface;
  bool dib_section = false;  // its pixels are handed out to the caller
  HDC selected_into = nullptr;
};

struct DeviceContext : GdiObject {
  DeviceContext() : GdiObject(GdiKind::kDC) {}
  HWND window = nullptr;      // the window drawn on (window DCs)
  bool memory = false;        // a memory DC drawing on its selected bitmap
  HBITMAP bitmap = nullptr;   // selected bitmap (memory DCs)
  HPALETTE palette = nullptr; // selected logical palette (stock default at first)
  HPEN pen = nullptr;
  HBRUSH brush = nullptr;
  HRGN clip = nullptr;        // private copy of the selected clip region, or none
  POINT position{0, 0};
  int fill_mode = ALTERNATE;
};

inline Pen* FindPen(HGDIOBJ h) { return FindAs<Pen>(h, GdiKind::kPen); }
inline Brush* FindBrush(HGDIOBJ h) { return FindAs<Brush>(h, GdiKind::kBrush); }
inline Palette* FindPalette(HGDIOBJ h) { return FindAs<Palette>(h, GdiKind::kPalette); }
inline Region* FindRegion(HGDIOBJ h) { return FindAs<Region>(h, GdiKind::kRegion); }
inline Bitmap* FindBitmap(HGDIOBJ h) { return FindAs<Bitmap>(h, GdiKind::kBitmap); }
inline DeviceContext* FindDC(HDC h) {
  return FindAs<DeviceContext>(reinterpret_cast<HGDIOBJ>(h), GdiKind::kDC);
}

// Clip region of the DC, or nullptr when none is selected.
inline const Region* ClipRegion(const DeviceContext& dc) { return FindRegion(dc.clip); }
// The surface a DC draws on (a window's frame buffer or the selected
// bitmap), or nullptr when there is none.
Surface* TargetSurface(DeviceContext& dc);

// The hardware slot a colour means in this DC: PALETTEINDEX(i) is entry i
// of the selected palette (entry 0 when out of range); an RGB value is the
// nearest static colour.
std::uint8_t ResolveColor(const DeviceContext& dc, COLORREF color);

// The stock default palette: the 20 static colours.
HPALETTE DefaultPalette();

// Creates a DC for a window (the window manager owns it) or a memory DC.
HDC CreateWindowDC(HWND window);

}  // namespace orvo::platform

