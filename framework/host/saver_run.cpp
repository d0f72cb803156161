#include "framework/host/saver_run.h"

#include "framework/host/host.h"

namespace orvo::host {

void MakeEngineOnce(RunState& run) {
  if (!run.engine_made) run.engine = CreatePaletteEngine(DC());
  run.engine_made = true;
}

}  // namespace orvo::host
