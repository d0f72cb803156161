#include "tools/orvo-render/image_files.h"

#include <gif_lib.h>
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace orvo::render {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool WritePng(const std::string& path, const IndexedImage& image, std::string* error) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr) {
    png_destroy_write_struct(&png, &info);
    *error = "out of memory writing " + path;
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    *error = "cannot encode " + path;
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
               8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_color palette[256];
  for (int i = 0; i < 256; ++i) {
    palette[i] = png_color{image.colours[static_cast<std::size_t>(i)].r,
                           image.colours[static_cast<std::size_t>(i)].g,
                           image.colours[static_cast<std::size_t>(i)].b};
  }
  png_set_PLTE(png, info, palette, 256);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y) {
    png_write_row(png, image.pixels.data() + static_cast<std::size_t>(y) * image.width);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool WriteGif(const std::string& path, const std::vector<IndexedImage>& frames,
              int delay_centiseconds, std::string* error) {
  if (frames.empty()) {
    *error = "no frames to write to " + path;
    return false;
  }
  int status = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &status);
  if (gif == nullptr) {
    *error = "cannot write " + path + ": " + GifErrorString(status);
    return false;
  }
  EGifSetGifVersion(gif, true);  // extensions need GIF89a
  bool ok = EGifPutScreenDesc(gif, frames[0].width, frames[0].height, 8, 0, nullptr) != GIF_ERROR;
  // Loop for ever.
  const unsigned char loop_app[] = "NETSCAPE2.0";
  const unsigned char loop_data[] = {1, 0, 0};
  ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR &&
       EGifPutExtensionBlock(gif, 11, loop_app) != GIF_ERROR &&
       EGifPutExtensionBlock(gif, 3, loop_data) != GIF_ERROR &&
       EGifPutExtensionTrailer(gif) != GIF_ERROR;
  for (const IndexedImage& frame : frames) {
    if (!ok) break;
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.DelayTime = delay_centiseconds;
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext) != GIF_ERROR;
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    if (map == nullptr) {
      ok = false;
      break;
    }
    for (int i = 0; i < 256; ++i) {
      map->Colors[i] = GifColorType{frame.colours[static_cast<std::size_t>(i)].r,
                                    frame.colours[static_cast<std::size_t>(i)].g,
                                    frame.colours[static_cast<std::size_t>(i)].b};
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, frame.width, frame.height, false, map) != GIF_ERROR;
    for (int y = 0; ok && y < frame.height; ++y) {
      auto* row = const_cast<GifPixelType*>(frame.pixels.data() + static_cast<std::size_t>(y) * frame.width);
      ok = EGifPutLine(gif, row, frame.width) != GIF_ERROR;
    }
    GifFreeMapObject(map);
  }
  if (EGifCloseFile(gif, &status) == GIF_ERROR) ok = false;
  if (!ok) *error = "cannot encode " + path;
  return ok;
}

}  // namespace orvo::render
