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

bool AllocateRowBuffers(RowBuffers& buffers, std::size_t column_bytes, std::size_t row_bytes,
                        std::size_t index_bytes) {
  buffers.columns = GlobalAlloc(GPTR, column_bytes);
  buffers.rows = GlobalAlloc(GPTR, row_bytes);
  buffers.indices = static_cast<std::uint8_t*>(GlobalAlloc(GPTR, index_bytes));
  buffers.header = static_cast<BITMAPINFO*>(GlobalAlloc(GPTR, kPaletteBitmapHeaderBytes));
  if (buffers.columns != nullptr && buffers.rows != nullptr && buffers.indices != nullptr &&
      buffers.header != nullptr) {
    return true;
  }
  FreeRowBuffers(buffers);
  OutputDebugStringA("Could not allocate buffers");
  return false;
}

void FreeRowBuffers(RowBuffers& buffers) {
  GlobalFree(buffers.columns);
  GlobalFree(buffers.rows);
  GlobalFree(buffers.indices);
  GlobalFree(buffers.header);
  buffers = RowBuffers{};
}

}  // namespace orvo::host
