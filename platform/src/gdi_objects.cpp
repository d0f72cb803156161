#include "gdi_objects.h"


#include "orvo/backend.h"
#include "orvo/win_user.h"
#include "window_internal.h"

namespace orvo::platform {
namespace {

// Every object lives in a slot of one array. A handle carries the slot's
// index and the slot's generation at the time the object was added; the
// generation moves on whenever a slot is emptied, so a stale handle never
// names a newer object, and a lookup is an index and a comparison.
// Deleted pens, brushes and regions are kept for reuse (regions with their
// span storage), so a saver that creates and deletes them in every frame
// step allocates nothing once it runs.
constexpr std::uintptr_t kIndexShift = 4;       // handles stay multiples of 16
constexpr std::uintptr_t kIndexLimit = 1u << 24;
constexpr std::uintptr_t kGenerationShift = 28;
constexpr std::size_t kSpareLimit = 64;         // kept per kind
static_assert(sizeof(std::uintptr_t) == 8, "handles carry a 32-bit generation");

struct Slot {
  std::unique_ptr<GdiObject> object;
  std::uint32_t generation = 1;
};

struct HandleTable {
  std::vector<Slot> slots;
  std::vector<std::uint32_t> free_slots;
  std::vector<std::unique_ptr<GdiObject>> spare[kGdiKindCount];
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

std::uintptr_t HandleValue(std::uint32_t index, std::uint32_t generation) {
  return (std::uintptr_t{generation} << kGenerationShift) |
         ((std::uintptr_t{index} + 1) << kIndexShift);
}

HGDIOBJ Stock(int index);

}  // namespace

std::unique_ptr<GdiObject> ReuseObject(GdiKind kind) {
  auto& spare = Table().spare[static_cast<int>(kind)];
  if (spare.empty()) return nullptr;
  std::unique_ptr<GdiObject> object = std::move(spare.back());
  spare.pop_back();
  return object;
}

HGDIOBJ AddObject(std::unique_ptr<GdiObject> object) {
  HandleTable& t = Table();
  std::uint32_t index;
  if (!t.free_slots.empty()) {
    index = t.free_slots.back();
    t.free_slots.pop_back();
  } else {
    if (t.slots.size() >= kIndexLimit) return nullptr;
    index = static_cast<std::uint32_t>(t.slots.size());
    t.slots.emplace_back();
  }
  Slot& slot = t.slots[index];
  HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(HandleValue(index, slot.generation));
  object->handle = handle;
  slot.object = std::move(object);
  return handle;
}

GdiObject* FindObject(HGDIOBJ handle) {
  const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
  const std::uintptr_t index_plus_one = (value >> kIndexShift) & (kIndexLimit - 1);
  if (index_plus_one == 0 || (value & ((std::uintptr_t{1} << kIndexShift) - 1)) != 0) return nullptr;
  HandleTable& t = Table();
  const std::size_t index = index_plus_one - 1;
  if (index >= t.slots.size()) return nullptr;
  const Slot& slot = t.slots[index];
  if ((value >> kGenerationShift) != slot.generation || slot.object == nullptr) return nullptr;
  return slot.object.get();
}

void RemoveObject(HGDIOBJ handle) {
  GdiObject* o = FindObject(handle);
  if (o == nullptr || o->stock) return;
  HandleTable& t = Table();
  const std::uint32_t index =
      static_cast<std::uint32_t>(((reinterpret_cast<std::uintptr_t>(handle) >> kIndexShift) &
                                  (kIndexLimit - 1)) - 1);
  Slot& slot = t.slots[index];
  std::unique_ptr<GdiObject> object = std::move(slot.object);
  // A slot whose generation would wrap is retired for good.
  if (slot.generation != UINT32_MAX) {
    ++slot.generation;
    t.free_slots.push_back(index);
  }
  const GdiKind kind = object->kind;
  auto& spare = t.spare[static_cast<int>(kind)];
  if ((kind == GdiKind::kPen || kind == GdiKind::kBrush || kind == GdiKind::kRegion) &&
      spare.size() < kSpareLimit) {
    object->handle = nullptr;
    spare.push_back(std::move(object));
  }
}

const Region* ClipRegion(const DeviceContext& dc) { return FindRegion(dc.clip); }

Surface* TargetSurface(DeviceContext& dc) {
  if (dc.memory) {
    Bitmap* bitmap = FindBitmap(dc.bitmap);
    return bitmap != nullptr ? &bitmap->surface : nullptr;
  }
  WindowRecord* window = FindWindowRecord(dc.window);
  return window != nullptr ? &window->surface : nullptr;
}

namespace {

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
