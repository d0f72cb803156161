// Memory bitmaps and DIB sections, and the batch limit.
#include <algorithm>
#include <cstring>
#include <memory>

#include "gdi/gdi_objects.h"
#include "orvo/win_kernel.h"

using namespace orvo::platform;

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
  // Its owner reads and writes it without any call: nothing is held back.
  Surface& surface = FindBitmap(handle)->surface;
  surface.set_direct(true);
  if (bits != nullptr) *bits = surface.data();
  return handle;
}

DWORD GdiSetBatchLimit(DWORD limit) {
  // Drawing is immediate; the limit is only kept and reported. 0 restores
  // the default.
  const DWORD previous = BatchLimit();
  BatchLimit() = limit == 0 ? 20 : limit;
  return previous;
}

DWORD GdiGetBatchLimit() { return BatchLimit(); }
