// The beziers saver as the framework sees it: names, settings and hooks.
#pragma once

#include "framework/host/saver_module.h"

extern const orvo::SaverModule kBeziersSaver;

namespace orvo {
struct PaletteEngine;
}

namespace orvo::beziers {

struct Figure;

// The run's state, read by tests and benchmarks.
struct RunView {
  const Figure* figure;  // nullptr outside a run
  long figures_started;
  const PaletteEngine* engine;
};
RunView View();

}  // namespace orvo::beziers
