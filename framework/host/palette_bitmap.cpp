#include "framework/host/palette_bitmap.h"

#include <cstring>

#include "orvo/win_kernel.h"

namespace orvo::host {

void FillPaletteBitmapHeader(BITMAPINFO* header, LONG width, LONG height) {
  std::memset(header, 0, kPaletteBitmapHeaderBytes);
  BITMAPINFOHEADER& h = header->bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 8;
  h.biCompression = BI_RGB;
  h.biSizeImage = 0;
  h.biClrUsed = kPaletteIndexCount;
  h.biClrImportant = 0;
  auto* table = reinterpret_cast<WORD*>(reinterpret_cast<BYTE*>(header) + sizeof(BITMAPINFOHEADER));
  for (int i = 0; i < kPaletteIndexCount; ++i) table[i] = static_cast<WORD>(i);
}

BITMAPINFO* CreatePaletteBitmapHeader(LONG width, LONG height) {
  auto* header = static_cast<BITMAPINFO*>(GlobalAlloc(GPTR, kPaletteBitmapHeaderBytes));
  if (header != nullptr) FillPaletteBitmapHeader(header, width, height);
  return header;
}

void FreePaletteBitmapHeader(BITMAPINFO* header) { GlobalFree(header); }

}  // namespace orvo::host
