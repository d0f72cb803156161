// The stars saver as the framework sees it: names, settings and hooks.
#pragma once

#include "framework/host/saver_module.h"

extern const orvo::SaverModule kStarsSaver;

namespace orvo {
struct PaletteEngine;
}

namespace orvo::stars {

struct Field;

// The run's state, read by tests and benchmarks.
struct RunView {
  const Field* field;  // nullptr outside a run
  const PaletteEngine* engine;
};
RunView View();

}  // namespace orvo::stars
