// The spheres saver as the framework sees it: names, settings and hooks.
#pragma once

#include "framework/host/saver_module.h"

extern const orvo::SaverModule kSpheresSaver;

namespace orvo {
struct PaletteEngine;
}

namespace orvo::spheres {
struct Figure;

// What a running saver shows, for tests: its figure and palette engine
// (nullptr before the first image and after tear-down) and how many images
// it has started.
struct RunView {
  const Figure* figure;
  const PaletteEngine* engine;
  long images_started;
};
RunView View();
}  // namespace orvo::spheres
