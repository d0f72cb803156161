// Indexed images written as PNG (one picture) or animated GIF (a series).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "orvo/display.h"

namespace orvo::render {

struct IndexedImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;                 // width * height slot numbers
  std::array<orvo::platform::Rgb, 256> colours{};  // the hardware colours of that moment
};

// Both return false with a one-line reason in *error.
bool WritePng(const std::string& path, const IndexedImage& image, std::string* error);
bool WriteGif(const std::string& path, const std::vector<IndexedImage>& frames,
              int delay_centiseconds, std::string* error);

}  // namespace orvo::render
