// The vortex saver as the framework sees it: names, settings and hooks.
#pragma once

#include "framework/host/saver_module.h"

extern const orvo::SaverModule kVortexSaver;

namespace orvo {
struct PaletteEngine;
}

namespace orvo::vortex {
struct Ring;

// What a running saver shows, for tests: its ring and palette engine
// (nullptr before the first image and after tear-down) and how many images
// it has started.
struct RunView {
  const Ring* ring;
  const PaletteEngine* engine;
  long images_started;
};
RunView View();
}  // namespace orvo::vortex
