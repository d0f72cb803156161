// The pattern saver as the framework sees it: names, settings and hooks.
#pragma once

#include "framework/host/saver_module.h"
#include "orvo/win_types.h"

namespace orvo {
struct PaletteEngine;
}

extern const orvo::SaverModule kPatternSaver;

namespace orvo::pattern {

struct Image;

// The run's state, read by tests and benchmarks.
struct RunView {
  const Image* image;  // nullptr while the buffers do not exist
  int block;           // 16, 8, 2 or 1
  int row;             // next row to draw
  DWORD hold_until;
  bool low_colour;
  long images_started;
  const PaletteEngine* engine;  // nullptr outside a run
  long bands_drawn;
};
RunView View();

// Forces every following image to use `type` (0..20) and the distortion
// `mode` (0..3, or -1 for no distortion) after its random draws; a type of
// -1 ends the forcing.
void ForceImageForTesting(int type, int mode);

}  // namespace orvo::pattern
