// Memory bitmaps, block copies between surfaces, and the batch limit.
#include <algorithm>
#include <cstring>
#include <memory>

#include "gdi_objects.h"
#include "orvo/win_kernel.h"
#include "raster/painter.h"

using namespace orvo::platform;
using namespace orvo::platform::raster;

namespace {

// Largest bitmap handed out: 256 MiB of pixels (far beyond any screen).
constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 28;

HBITMAP NewBitmap(int width, int height, bool bottom_up, bool dib_section) {
  if (width <= 0 || height <= 0) return nullptr;
  if (std::int64_t{width} * height > kMaxBitmapPixels) return nullptr;
  auto bitmap = std::make_unique<Bitmap>();
  bitmap->surface.Resize(width, height);
  bitmap->surface.set_bottom_up(bottom_up);
  bitmap->dib_section = dib_section;
  return reinterpret_cast<HBITMAP>(AddObject(std::move(bitmap)));
}

DWORD& BatchLimit() {
  static DWORD limit = 20;
  return limit;
}

}  // namespace

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  if (hdc != nullptr && FindDC(hdc) == nullptr) return nullptr;
  return NewBitmap(width, height, false, false);
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits,
                         void* section, DWORD offset) {
  if (bits != nullptr) *bits = nullptr;
  if (hdc != nullptr && FindDC(hdc) == nullptr) return nullptr;
  if (info == nullptr || section != nullptr || offset != 0) return nullptr;
  if (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biBitCount != 8 || h.biCompression != BI_RGB ||
      h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) {
    OutputDebugStringA("CreateDIBSection: only uncompressed 8-bit bitmaps are supported");
    return nullptr;
  }
  // A positive height means bottom-up rows, as in the caller's buffer.
  const int height = h.biHeight > 0 ? h.biHeight : -h.biHeight;
  const HBITMAP handle = NewBitmap(h.biWidth, height, h.biHeight > 0, true);
  if (handle == nullptr) return nullptr;
  // The pixels hold slot numbers: the caller's buffer is the surface itself.
  if (bits != nullptr) *bits = FindBitmap(handle)->surface.data();
  return handle;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y,
            DWORD rop) {
  DeviceContext* dc = FindDC(dest);
  if (dc == nullptr) return FALSE;
  Surface* target = TargetSurface(*dc);

  if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY) {
    if (target == nullptr || width <= 0 || height <= 0) return TRUE;
    std::uint8_t slot = rop == WHITENESS ? 255 : 0;
    if (rop == PATCOPY) {
      const Brush* brush = FindBrush(dc->brush);
      if (brush == nullptr || brush->null) return TRUE;
      slot = ResolveColor(*dc, brush->color);
    }
    Painter painter(*dc, *target);
    const Coord bottom = std::min<Coord>(Coord{y} + height, target->height());
    for (Coord row = std::max(y, 0); row < bottom; ++row) {
      painter.Fill(row, x, Coord{x} + width, slot);
    }
    return TRUE;
  }
  if (rop != SRCCOPY) {
    OutputDebugStringA("BitBlt: only SRCCOPY, PATCOPY, BLACKNESS and WHITENESS are supported");
    return FALSE;
  }
  DeviceContext* sdc = FindDC(src);
  if (sdc == nullptr) return FALSE;
  const Surface* source = TargetSurface(*sdc);
  if (target == nullptr || source == nullptr || width <= 0 || height <= 0) return TRUE;

  // Destination pixels whose source pixel exists: (dx, dy) reads
  // (dx - x + src_x, dy - y + src_y).
  const Coord shift_x = Coord{src_x} - x;
  const Coord shift_y = Coord{src_y} - y;
  const Coord x0 = std::max<Coord>(x, -shift_x);
  const Coord x1 = std::min<Coord>(Coord{x} + width, source->width() - shift_x);
  const Coord y0 = std::max<Coord>({Coord{y}, -shift_y, 0});
  const Coord y1 = std::min<Coord>({Coord{y} + height, source->height() - shift_y,
                                    Coord{target->height()}});
  if (x0 >= x1 || y0 >= y1) return TRUE;

  // Copying within one surface reads from a snapshot of the source rows.
  std::vector<std::uint8_t> snapshot;
  const bool same = source == target;
  const Coord cols_lo = std::max<Coord>(x0, 0);
  const Coord cols_hi = std::min<Coord>(x1, target->width());
  if (cols_lo >= cols_hi) return TRUE;
  const std::size_t cols = static_cast<std::size_t>(cols_hi - cols_lo);
  if (same) {
    snapshot.resize(cols * static_cast<std::size_t>(y1 - y0));
    for (Coord row = y0; row < y1; ++row) {
      std::memcpy(snapshot.data() + static_cast<std::size_t>(row - y0) * cols,
                  source->row(static_cast<int>(row + shift_y)) + (cols_lo + shift_x), cols);
    }
  }
  for (Coord row = y0; row < y1; ++row) {
    ForEachClippedSpan(*dc, *target, static_cast<int>(row), x0, x1, [&](int a, int b) {
      const std::uint8_t* from =
          same ? snapshot.data() + static_cast<std::size_t>(row - y0) * cols +
                     static_cast<std::size_t>(a - cols_lo)
               : source->row(static_cast<int>(row + shift_y)) + (a + shift_x);
      std::memcpy(target->row(static_cast<int>(row)) + a, from, static_cast<std::size_t>(b - a));
      target->MarkSpan(static_cast<int>(row), a, b);
    });
  }
  return TRUE;
}

DWORD GdiSetBatchLimit(DWORD limit) {
  // Drawing is immediate; the limit is only kept and reported. 0 restores
  // the default.
  const DWORD previous = BatchLimit();
  BatchLimit() = limit == 0 ? 20 : limit;
  return previous;
}

DWORD GdiGetBatchLimit() { return BatchLimit(); }
