// What every saver keeps for one run, and the steps all of them take alike:
// one run state per program, the palette engine made once in a run, and the
// end of a run (the engine destroyed, the state reset for the next run).
#pragma once

#include "framework/palette/palette_engine.h"
#include "framework/settings/settings.h"

namespace orvo::host {

// The fields every saver's run state has. A saver's State derives from it
// and adds what its picture keeps.
struct RunState {
  settings::Values settings{};      // as read from the saver's section
  PaletteEngine* engine = nullptr;  // nullptr before it is made, or where making it failed
  bool engine_made = false;         // making it was tried in this run
};

// The program's run state.
template <typename State>
State& Run() {
  static State state;
  return state;
}

// Makes the palette engine on the window's DC, the first time in a run.
void MakeEngineOnce(RunState& run);

// Ends a run: destroys the palette engine and resets the state for the
// next run. A saver frees its own buffers first.
template <typename State>
void EndRun(State& run) {
  DestroyPaletteEngine(run.engine);
  run = State{};
}

}  // namespace orvo::host
