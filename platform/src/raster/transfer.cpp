// Bitmap transfers: block fills, copies between surfaces and 8-bit
// device-independent bitmaps on the emulated display.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "gdi/clip.h"
#include "gdi/gdi_objects.h"
#include "raster/painter.h"
#include "orvo/win_gdi.h"
#include "orvo/win_kernel.h"

namespace orvo::platform {
namespace {

// Fills [x0, x1) x [y0, y1) with one slot, clipped.
void FillBlock(DeviceContext& dc, Pos x0, Pos y0, Pos x1, Pos y1, std::uint8_t slot) {
  Surface* s = TargetSurface(dc);
  if (s == nullptr) return;
  y0 = std::max<Pos>(y0, 0);
  y1 = std::min<Pos>(y1, s->height());
  for (Pos y = y0; y < y1; ++y) {
    const int row = static_cast<int>(y);
    ForEachClippedSpan(dc, *s, row, x0, x1, [&](int a, int b) {
      std::memset(s->row(row) + a, slot, static_cast<std::size_t>(b - a));
      s->MarkSpan(row, a, b);
    });
  }
}

// What a bitmap's pixel values mean in this DC: a slot for each of the 256 values.
bool ColourMap(const DeviceContext& dc, const BITMAPINFO* info, UINT usage,
               std::array<std::uint8_t, 256>* map) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const DWORD used = h.biClrUsed == 0 || h.biClrUsed > 256 ? 256 : h.biClrUsed;
  if (usage == DIB_PAL_COLORS) {
    const auto* table = reinterpret_cast<const WORD*>(
        reinterpret_cast<const BYTE*>(info) + h.biSize);
    for (DWORD v = 0; v < 256; ++v) {
      const WORD index = v < used ? table[v] : 0;
      (*map)[v] = ResolveColor(dc, PALETTEINDEX(index));
    }
    return true;
  }
  if (usage == DIB_RGB_COLORS) {
    const auto* table = reinterpret_cast<const RGBQUAD*>(
        reinterpret_cast<const BYTE*>(info) + h.biSize);
    for (DWORD v = 0; v < 256; ++v) {
      const RGBQUAD q = v < used ? table[v] : RGBQUAD{0, 0, 0, 0};
      (*map)[v] = static_cast<std::uint8_t>(NearestStaticSlot(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue)));
    }
    return true;
  }
  return false;
}

bool Supported(const BITMAPINFO* info) {
  if (info == nullptr) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  return h.biSize >= 40 && h.biBitCount == 8 && h.biCompression == BI_RGB && h.biWidth > 0 &&
         h.biHeight != 0 && h.biPlanes == 1;
}

std::size_t DibStride(const BITMAPINFOHEADER& h) {
  return ((static_cast<std::size_t>(h.biWidth) * 8 + 31) / 32) * 4;
}

// An 8-bit bitmap about to be shown in a DC: where its rows are and what
// its pixel values mean there.
struct DibTransfer {
  Surface* surface = nullptr;
  std::array<std::uint8_t, 256> map{};
  const std::uint8_t* data = nullptr;
  std::size_t stride = 0;
  Pos width = 0;
  Pos height = 0;   // rows of the bitmap
  bool bottom_up = false;
};

bool PrepareTransfer(DeviceContext* dc, const void* bits, const BITMAPINFO* info, UINT usage,
                     DibTransfer* t) {
  if (dc == nullptr || bits == nullptr || !Supported(info)) return false;
  t->surface = TargetSurface(*dc);
  if (t->surface == nullptr || !ColourMap(*dc, info, usage, &t->map)) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  t->data = static_cast<const std::uint8_t*>(bits);
  t->stride = DibStride(h);
  t->width = h.biWidth;
  t->height = std::abs(static_cast<Pos>(h.biHeight));
  t->bottom_up = h.biHeight > 0;
  return true;
}

}  // namespace
}  // namespace orvo::platform

using namespace orvo::platform;

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr) return FALSE;
  Pos x0 = x, x1 = static_cast<Pos>(x) + width, y0 = y, y1 = static_cast<Pos>(y) + height;
  if (x1 < x0) std::swap(x0, x1);
  if (y1 < y0) std::swap(y0, y1);
  std::uint8_t slot = 0;
  switch (rop) {
    case BLACKNESS: slot = 0; break;
    case WHITENESS: slot = 255; break;
    case PATCOPY: {
      const Brush* brush = FindBrush(dc->brush);
      if (brush == nullptr || brush->null) return TRUE;
      slot = ResolveColor(*dc, brush->color);
      break;
    }
    default: return FALSE;
  }
  FillBlock(*dc, x0, y0, x1, y1, slot);
  return TRUE;
}

int SetDIBitsToDevice(HDC hdc, int x, int y, DWORD width, DWORD height, int src_x, int src_y,
                      UINT start_scan, UINT scan_lines, const void* bits,
                      const BITMAPINFO* info, UINT usage) {
  DeviceContext* dc = FindDC(hdc);
  DibTransfer t;
  if (!PrepareTransfer(dc, bits, info, usage, &t)) return 0;
  Surface* s = t.surface;
  const auto& map = t.map;
  const Pos w = std::min<Pos>(static_cast<Pos>(std::min<DWORD>(width, 0x7FFFFFFF)),
                              t.width - src_x);
  const Pos rows = static_cast<Pos>(std::min<DWORD>(height, 0x7FFFFFFF));
  if (w <= 0 || src_x < 0) return 0;
  for (Pos i = 0; i < rows; ++i) {
    // Bottom-up bitmaps count their source origin from the bottom row.
    const Pos dib_row = t.bottom_up ? static_cast<Pos>(src_y) + rows - 1 - i
                                    : static_cast<Pos>(src_y) + i;
    if (dib_row < 0 || dib_row >= t.height) continue;
    if (dib_row < static_cast<Pos>(start_scan) ||
        dib_row >= static_cast<Pos>(start_scan) + static_cast<Pos>(scan_lines)) {
      continue;
    }
    const Pos dest_y = static_cast<Pos>(y) + i;
    if (dest_y < 0 || dest_y >= s->height()) continue;
    const std::uint8_t* src =
        t.data + static_cast<std::size_t>(dib_row - start_scan) * t.stride + src_x;
    std::uint8_t* dst = s->row(static_cast<int>(dest_y));
    ForEachClippedSpan(*dc, *s, static_cast<int>(dest_y), x, static_cast<Pos>(x) + w,
                       [&](int a, int b) {
                         for (int px = a; px < b; ++px) dst[px] = map[src[px - x]];
                         s->MarkSpan(static_cast<int>(dest_y), a, b);
                       });
  }
  return static_cast<int>(scan_lines);
}

int StretchDIBits(HDC hdc, int x, int y, int width, int height, int src_x, int src_y,
                  int src_width, int src_height, const void* bits, const BITMAPINFO* info,
                  UINT usage, DWORD rop) {
  if (rop != SRCCOPY || width == 0 || height == 0 || src_width <= 0 || src_height <= 0) return 0;
  DeviceContext* dc = FindDC(hdc);
  DibTransfer t;
  if (!PrepareTransfer(dc, bits, info, usage, &t)) return 0;
  Surface* s = t.surface;
  const auto& map = t.map;
  // A negative destination extent mirrors the image.
  const bool mirror_x = width < 0, mirror_y = height < 0;
  const Pos w = std::abs(static_cast<Pos>(width)), hh = std::abs(static_cast<Pos>(height));
  const Pos left = mirror_x ? static_cast<Pos>(x) - w + 1 : x;
  const Pos top_row = mirror_y ? static_cast<Pos>(y) - hh + 1 : y;
  for (Pos i = 0; i < hh; ++i) {
    const Pos dest_y = top_row + i;
    if (dest_y < 0 || dest_y >= s->height()) continue;
    const Pos step_y = mirror_y ? hh - 1 - i : i;
    const Pos source_row = step_y * src_height / hh;  // 0 = top of the source rectangle
    const Pos dib_row = t.bottom_up ? static_cast<Pos>(src_y) + src_height - 1 - source_row
                                    : static_cast<Pos>(src_y) + source_row;
    if (dib_row < 0 || dib_row >= t.height) continue;
    const std::uint8_t* src = t.data + static_cast<std::size_t>(dib_row) * t.stride;
    std::uint8_t* dst = s->row(static_cast<int>(dest_y));
    ForEachClippedSpan(*dc, *s, static_cast<int>(dest_y), left, left + w, [&](int a, int b) {
      for (int px = a; px < b; ++px) {
        const Pos step_x = mirror_x ? w - 1 - (px - left) : px - left;
        const Pos sx = static_cast<Pos>(src_x) + step_x * src_width / w;
        if (sx < 0 || sx >= t.width) continue;
        dst[px] = map[src[sx]];
      }
      s->MarkSpan(static_cast<int>(dest_y), a, b);
    });
  }
  return static_cast<int>(hh);
}

using namespace orvo::platform::raster;

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
