// GDI objects and device contexts behind their handles (platform-internal).
//
// Every GDI handle is an entry of one table; looking a handle up checks
// its kind, so a stale, deleted or invented handle yields nullptr instead of
// a wild pointer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "orvo/display.h"
#include "orvo/win_gdi.h"
#include "orvo/win_types.h"

namespace orvo::platform {

enum class GdiKind { kPen, kBrush, kPalette, kRegion, kBitmap, kDC };
inline constexpr int kGdiKindCount = 6;

struct GdiObject {
  explicit GdiObject(GdiKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  GdiKind kind;
  bool stock = false;  // stock objects are never deleted
  HGDIOBJ handle = nullptr;
};

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

// Registers an object and returns its handle (nullptr when the table is full).
HGDIOBJ AddObject(std::unique_ptr<GdiObject> object);
// A deleted object of this kind kept for reuse, or nullptr.
std::unique_ptr<GdiObject> ReuseObject(GdiKind kind);
// A new pen, brush or region, reusing a deleted one (and its storage) when one
// is kept: the fields are reset, vectors keep their capacity.
template <typename T>
std::unique_ptr<T> NewObject() {
  if (std::unique_ptr<GdiObject> old = ReuseObject(T::kKind)) {
    std::unique_ptr<T> object(static_cast<T*>(old.release()));
    object->Reset();
    return object;
  }
  return std::make_unique<T>();
}
// The object behind a handle, or nullptr.
GdiObject* FindObject(HGDIOBJ handle);
template <typename T>
T* FindAs(HGDIOBJ handle, GdiKind kind) {
  GdiObject* o = FindObject(handle);
  return o != nullptr && o->kind == kind ? static_cast<T*>(o) : nullptr;
}
inline Pen* FindPen(HGDIOBJ h) { return FindAs<Pen>(h, GdiKind::kPen); }
inline Brush* FindBrush(HGDIOBJ h) { return FindAs<Brush>(h, GdiKind::kBrush); }
inline Palette* FindPalette(HGDIOBJ h) { return FindAs<Palette>(h, GdiKind::kPalette); }
inline Region* FindRegion(HGDIOBJ h) { return FindAs<Region>(h, GdiKind::kRegion); }
inline Bitmap* FindBitmap(HGDIOBJ h) { return FindAs<Bitmap>(h, GdiKind::kBitmap); }
inline DeviceContext* FindDC(HDC h) {
  return FindAs<DeviceContext>(reinterpret_cast<HGDIOBJ>(h), GdiKind::kDC);
}
// Removes and destroys an object (stock objects are kept).
void RemoveObject(HGDIOBJ handle);

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

namespace orvo::platform {

// A pixel coordinate or count worked out beyond 32 bits, so that no sum of
// two 32-bit values overflows (long has only 32 bits on Windows).
using Pos = std::int64_t;

// Calls fn(x0, x1) for each part of the span [x0, x1) on row y that lies
// inside the surface and the DC's clip region, left to right. This is the
// one place where drawing is clipped; what fn sees is always on the surface.
template <typename Fn>
void ForEachClippedSpan(const DeviceContext& dc, const Surface& surface, int y, Pos x0, Pos x1,
                        Fn&& fn);
// The same with the clip region already looked up (nullptr: none).
template <typename Fn>
void ForEachClippedSpan(const Region* clip, const Surface& surface, int y, Pos x0, Pos x1,
                        Fn&& fn);

// Clip region of the DC, or nullptr when none is selected.
const Region* ClipRegion(const DeviceContext& dc);

}  // namespace orvo::platform

// ---- implementation of the template above ----
#include <algorithm>
#include <utility>

namespace orvo::platform {

template <typename Fn>
void ForEachClippedSpan(const DeviceContext& dc, const Surface& surface, int y, Pos x0, Pos x1,
                        Fn&& fn) {
  ForEachClippedSpan(ClipRegion(dc), surface, y, x0, x1, std::forward<Fn>(fn));
}

template <typename Fn>
void ForEachClippedSpan(const Region* clip, const Surface& surface, int y, Pos x0, Pos x1,
                        Fn&& fn) {
  if (y < 0 || y >= surface.height()) return;
  x0 = std::max<Pos>(x0, 0);
  x1 = std::min<Pos>(x1, surface.width());
  if (x0 >= x1) return;
  if (clip == nullptr) {
    fn(static_cast<int>(x0), static_cast<int>(x1));
    return;
  }
  auto it = std::lower_bound(clip->spans.begin(), clip->spans.end(), y,
                             [](const Span& s, int row) { return s.y < row; });
  for (; it != clip->spans.end() && it->y == y; ++it) {
    const Pos a = std::max<Pos>(x0, it->x0);
    const Pos b = std::min<Pos>(x1, it->x1);
    if (a < b) fn(static_cast<int>(a), static_cast<int>(b));
  }
}

}  // namespace orvo::platform
