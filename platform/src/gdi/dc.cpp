#include "gdi/gdi_objects.h"


#include "orvo/backend.h"
#include "orvo/win_user.h"
#include "base/window_table.h"

namespace orvo::platform {

Surface* TargetSurface(DeviceContext& dc) {
  if (dc.memory) {
    Bitmap* bitmap = FindBitmap(dc.bitmap);
    return bitmap != nullptr ? &bitmap->surface : nullptr;
  }
  WindowRecord* window = FindWindowRecord(dc.window);
  return window != nullptr ? &window->surface : nullptr;
}

namespace {

HGDIOBJ Stock(int index);

std::unique_ptr<DeviceContext> NewDC() {
  auto dc = std::make_unique<DeviceContext>();
  dc->palette = DefaultPalette();
  dc->pen = reinterpret_cast<HPEN>(Stock(BLACK_PEN));
  dc->brush = reinterpret_cast<HBRUSH>(Stock(WHITE_BRUSH));
  return dc;
}

HGDIOBJ MakeStockPen(int style, COLORREF color) {
  auto pen = std::make_unique<Pen>();
  pen->style = style;
  pen->width = 1;
  pen->color = color;
  pen->stock = true;
  return AddObject(std::move(pen));
}

HGDIOBJ MakeStockBrush(bool null, COLORREF color) {
  auto brush = std::make_unique<Brush>();
  brush->null = null;
  brush->color = color;
  brush->stock = true;
  return AddObject(std::move(brush));
}

HGDIOBJ Stock(int index) {
  static const HGDIOBJ white_brush = MakeStockBrush(false, RGB(255, 255, 255));
  static const HGDIOBJ black_brush = MakeStockBrush(false, RGB(0, 0, 0));
  static const HGDIOBJ null_brush = MakeStockBrush(true, 0);
  static const HGDIOBJ white_pen = MakeStockPen(PS_SOLID, RGB(255, 255, 255));
  static const HGDIOBJ black_pen = MakeStockPen(PS_SOLID, RGB(0, 0, 0));
  static const HGDIOBJ null_pen = MakeStockPen(PS_NULL, 0);
  switch (index) {
    case WHITE_BRUSH: return white_brush;
    case BLACK_BRUSH: return black_brush;
    case NULL_BRUSH: return null_brush;
    case WHITE_PEN: return white_pen;
    case BLACK_PEN: return black_pen;
    case NULL_PEN: return null_pen;
    case DEFAULT_PALETTE: return reinterpret_cast<HGDIOBJ>(DefaultPalette());
    default: return nullptr;
  }
}

HDC ScreenDC() {
  static const HDC screen = reinterpret_cast<HDC>(AddObject(NewDC()));
  return screen;
}

}  // namespace

HDC CreateWindowDC(HWND window) {
  auto dc = NewDC();
  dc->window = window;
  return reinterpret_cast<HDC>(AddObject(std::move(dc)));
}

}  // namespace orvo::platform

using namespace orvo::platform;

HGDIOBJ GetStockObject(int index) { return Stock(index); }

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  DeviceContext* dc = FindDC(hdc);
  GdiObject* o = FindObject(object);
  if (dc == nullptr || o == nullptr) return nullptr;
  switch (o->kind) {
    case GdiKind::kPen: {
      HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(dc->pen);
      dc->pen = reinterpret_cast<HPEN>(object);
      return previous;
    }
    case GdiKind::kBrush: {
      HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(dc->brush);
      dc->brush = reinterpret_cast<HBRUSH>(object);
      return previous;
    }
    case GdiKind::kBitmap: {
      if (!dc->memory) return nullptr;
      Bitmap* bitmap = static_cast<Bitmap*>(o);
      if (bitmap->selected_into != nullptr && bitmap->selected_into != hdc) return nullptr;
      HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(dc->bitmap);
      if (Bitmap* old = FindBitmap(previous)) old->selected_into = nullptr;
      bitmap->selected_into = hdc;
      dc->bitmap = reinterpret_cast<HBITMAP>(object);
      return previous;
    }
    case GdiKind::kRegion:
      return reinterpret_cast<HGDIOBJ>(
          static_cast<std::intptr_t>(SelectClipRgn(hdc, reinterpret_cast<HRGN>(object))));
    case GdiKind::kPalette:
    case GdiKind::kDC:
      return nullptr;
  }
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
  GdiObject* o = FindObject(object);
  if (o == nullptr || o->kind == GdiKind::kDC) return FALSE;
  if (o->stock) return TRUE;
  if (o->kind == GdiKind::kBitmap && static_cast<Bitmap*>(o)->selected_into != nullptr) {
    return FALSE;  // still selected into a memory DC
  }
  if (o->kind == GdiKind::kPalette) {
    DisplayState& d = Display();
    if (d.foreground_palette == reinterpret_cast<std::uintptr_t>(object)) d.foreground_palette = 0;
  }
  RemoveObject(object);
  return TRUE;
}

HPEN CreatePen(int style, int width, COLORREF color) {
  auto pen = NewObject<Pen>();
  pen->style = style == PS_NULL ? PS_NULL : PS_SOLID;
  pen->width = width < 1 ? 1 : width;
  pen->color = color;
  return reinterpret_cast<HPEN>(AddObject(std::move(pen)));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto brush = NewObject<Brush>();
  brush->color = color;
  return reinterpret_cast<HBRUSH>(AddObject(std::move(brush)));
}

HDC GetDC(HWND hwnd) {
  if (hwnd == nullptr) return ScreenDC();
  WindowRecord* window = FindWindowRecord(hwnd);
  if (window == nullptr) return nullptr;
  // Every window keeps its own DC for its lifetime, so a palette selected
  // into it stays selected.
  if (window->own_dc == nullptr) window->own_dc = CreateWindowDC(hwnd);
  return window->own_dc;
}

int ReleaseDC(HWND, HDC hdc) { return FindDC(hdc) != nullptr ? 1 : 0; }

HWND WindowFromDC(HDC hdc) {
  DeviceContext* dc = FindDC(hdc);
  return dc != nullptr ? dc->window : nullptr;
}

HDC CreateCompatibleDC(HDC) {
  auto dc = NewDC();
  dc->memory = true;
  return reinterpret_cast<HDC>(AddObject(std::move(dc)));
}

BOOL DeleteDC(HDC hdc) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr || !dc->memory) return FALSE;
  if (Bitmap* bitmap = FindBitmap(dc->bitmap)) bitmap->selected_into = nullptr;
  if (dc->clip != nullptr) RemoveObject(dc->clip);
  RemoveObject(reinterpret_cast<HGDIOBJ>(hdc));
  return TRUE;
}

int GetDeviceCaps(HDC hdc, int index) {
  if (FindDC(hdc) == nullptr) return 0;
  const DisplayState& d = Display();
  const bool palette = d.bits_per_pixel == 8;
  switch (index) {
    case HORZRES:
    case VERTRES: {
      int w = 0, h = 0;
      if (HasBackend()) GetBackend().ScreenSize(&w, &h);
      return index == HORZRES ? w : h;
    }
    case BITSPIXEL: return d.bits_per_pixel;
    case PLANES: return 1;
    case NUMCOLORS: return d.bits_per_pixel <= 8 ? 20 : -1;
    case RASTERCAPS: return RC_BITBLT | (palette ? RC_PALETTE : 0);
    case SIZEPALETTE: return palette ? kSlotCount : 0;
    case NUMRESERVED: return palette ? 20 : 0;
    case COLORRES: return palette ? 18 : 24;
    default: return 0;
  }
}
