// The cyclics saver as the framework sees it: names, settings and hooks.
#pragma once

#include "framework/host/saver_module.h"

extern const orvo::SaverModule kCyclicsSaver;

namespace orvo {
struct PaletteEngine;
}

namespace orvo::cyclics {

struct Figure;

// The run's state, read by tests and benchmarks.
struct RunView {
  const Figure* figure;  // nullptr outside a run
  bool sets;             // both cyclic sets are allocated
  long figures_started;
  const PaletteEngine* engine;
};
RunView View();

}  // namespace orvo::cyclics
