// The stain saver as the framework sees it: names, settings and hooks.
#pragma once

#include <cstdint>

#include "framework/host/saver_module.h"
#include "orvo/win_types.h"

namespace orvo {
struct PaletteEngine;
}

extern const orvo::SaverModule kStainSaver;

namespace orvo::stain {

struct Image;

// The run's state, read by tests and benchmarks.
struct RunView {
  const Image* image;           // nullptr while the buffers do not exist
  const PaletteEngine* engine;  // nullptr outside a run
  std::int32_t num_pts, density, type, delay, tweak;  // as the run uses them
  int row;                      // next row to paint
  bool new_image;               // the image is finished; the next starts when its time comes
  DWORD image_end;              // tick count until which a finished image is shown
  int interval;                 // palette step interval in ms
  long rows_painted;            // rows computed and shown since set-up
  long images_started;
};
RunView View();

}  // namespace orvo::stain
