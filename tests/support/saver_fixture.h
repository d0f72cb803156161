// A saver run on the headless display with a saver whose hooks count their
// calls, so tests can drive the real shell, host and window manager.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/host/saver_module.h"
#include "orvo/headless.h"
#include "orvo/platform.h"

namespace orvo::testing {

struct HookCounts {
  int read_settings = 0;
  int allocate = 0;
  int new_image = 0;
  int frame_step = 0;
  int tear_down = 0;
};

HookCounts& Counts();
// What the counting saver paints in each frame step (slot of white when true).
void PaintWhiteInFrameSteps(bool on);
// Makes the counting saver's frame steps throw, as a fault would.
void ThrowInFrameSteps(bool on);

// The counting saver's module (5 frame steps per timer message).
const SaverModule& CountingSaver();

class SaverFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs `tail` through the shell's entry. `script` is called whenever the
  // loop would wait, with the number of earlier calls; it returns false to
  // end the run.
  int Run(const std::string& tail, std::function<bool(int)> script);

  // A fresh headless display (an empty queue) and a fresh shell, as a new
  // process would have.
  void FreshProcess();

  // The saver window of the run in progress (nullptr outside a run).
  static HWND SaverWindow();
  std::string config_dir_;
};

}  // namespace orvo::testing
