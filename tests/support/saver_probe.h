// Looking into a saver that runs through the real shell and host on the
// headless display: control once its set-up is done, and the picture its
// window shows at any moment.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>

#include "framework/host/host.h"
#include "framework/host/saver_module.h"
#include "framework/settings/settings.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "orvo/resources.h"
#include "shell/program.h"
#include "shell/shell.h"
#include "tools/orvo-render/render.h"

namespace orvo::testing {

// The seed the host gives the generator at set-up: the low 16 bits of the
// tick count.
inline std::uint32_t SetUpSeed(const render::Options& o) { return o.clock & 0xFFFF; }

// Runs `module` full screen on a fresh headless display and calls `body`
// once set-up is done: the generator seeded from the tick count, the
// settings read, the first image started, before any timer message. `body`
// may look at the saver, call its frame step and move the clock; when it
// returns, the run ends with the saver's tear-down. Size, clock and
// settings come from `o` (its timer fields are not used); ORVO_CONFIG_DIR
// must name the configuration folder (RecordingTest sets it).
inline void ProbeAfterSetUp(const SaverModule& module, const render::Options& o,
                            const std::function<void()>& body) {
  headless::Options display;
  display.screen_width = o.width;
  display.screen_height = o.height;
  display.clock = o.clock;
  display.automatic_timers = false;
  headless::Install(display);
  headless::SetCursor(0, 0);
  for (const auto& [key, value] : o.settings) {
    WritePrivateProfileStringA(module.settings->section, key.c_str(), value.c_str(), "control.ini");
  }
  shell::ResetState();
  shell::PrepareProgram(module);
  bool ran = false;
  headless::SetIdleHandler([&]() {
    if (!ran && host::DC() != nullptr) {
      ran = true;
      body();
    }
    return false;
  });
  shell::SaverEntry(platform::ProgramInstance(), "/s");
  headless::SetIdleHandler(nullptr);
  EXPECT_TRUE(ran) << module.program << " did not finish its set-up";
}

// What `window` shows now, as slot numbers.
inline render::IndexedImage WindowPicture(HWND window) {
  GdiFlush();
  const headless::Frame frame = headless::PresentedFrame(window);
  render::IndexedImage image;
  image.width = frame.width;
  image.height = frame.height;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      image.pixels.push_back(frame.pixels[static_cast<std::size_t>(y) * frame.stride + x]);
    }
  }
  return image;
}

// Painted (not black) pixels of `image` within `radius` of (cx, cy).
inline int PaintedWithin(const render::IndexedImage& image, int cx, int cy, int radius) {
  int n = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const int dx = x - cx, dy = y - cy;
      if (dx * dx + dy * dy < radius * radius) n += image.pixels[static_cast<std::size_t>(y) * image.width + x] != 0;
    }
  }
  return n;
}

}  // namespace orvo::testing
