#include "saver_probe.h"

#include <gtest/gtest.h>

#include "framework/host/host.h"
#include "framework/settings/settings.h"
#include "orvo/headless.h"
#include "orvo/resources.h"
#include "base/window_table.h"
#include "shell/program.h"
#include "shell/shell.h"

namespace orvo::testing {

HDC Probe::dc() const { return host::DC(); }
int Probe::width() const { return host::Width(); }
int Probe::height() const { return host::Height(); }

void Probe::PostTimer(std::uint32_t advance_ms) {
  headless::AdvanceClock(advance_ms);
  PostMessageA(window_, WM_TIMER, 0, 0);
}

void Probe::FrameStep() { module_->hooks.frame_step(); }

int Probe::Slot(int x, int y) const {
  GdiFlush();
  const platform::WindowRecord* w = platform::FindWindowRecord(window_);
  if (w == nullptr || x < 0 || y < 0 || x >= w->surface.width() || y >= w->surface.height()) return -1;
  return w->surface.row(y)[x];
}

std::vector<std::uint8_t> Probe::Pixels() const {
  GdiFlush();
  std::vector<std::uint8_t> out;
  const platform::WindowRecord* w = platform::FindWindowRecord(window_);
  if (w == nullptr) return out;
  for (int y = 0; y < w->surface.height(); ++y) {
    const std::uint8_t* row = w->surface.row(y);
    out.insert(out.end(), row, row + w->surface.width());
  }
  return out;
}

int Probe::NonBlack() const {
  int n = 0;
  for (std::uint8_t p : Pixels()) n += p != 0;
  return n;
}

bool ProbeSaver(const SaverModule& module, const ProbeOptions& options,
                const std::function<bool(Probe&)>& script) {
  headless::Options display;
  display.screen_width = options.width;
  display.screen_height = options.height;
  display.clock = options.clock;
  display.automatic_timers = false;
  headless::Install(display);
  // The hot corner is the last 30 columns and rows; this is far from it at
  // any size.
  headless::SetCursor(-1000, -1000);
  for (const auto& [key, value] : options.settings) {
    WritePrivateProfileStringA(module.settings->section, key.c_str(), value.c_str(), "control.ini");
  }
  shell::ResetState();
  shell::PrepareProgram(module);

  Probe probe;
  probe.module_ = &module;
  bool started = false;
  headless::SetIdleHandler([&]() {
    probe.window_ = shell::State().window;
    if (probe.window_ == nullptr) return false;
    started = true;
    const bool more = script(probe);
    ++probe.calls_;
    return more;
  });
  shell::SaverEntry(platform::ProgramInstance(), "/s");
  headless::SetIdleHandler(nullptr);
  return started;
}

void ProbeAfterSetUp(const SaverModule& module, const render::Options& o,
                     const std::function<void()>& body) {
  ProbeOptions options;
  options.width = o.width;
  options.height = o.height;
  options.clock = o.clock;
  options.settings = o.settings;
  bool ran = false;
  ProbeSaver(module, options, [&](Probe&) {
    if (host::DC() == nullptr) return false;  // set-up never came
    ran = true;
    body();
    return false;
  });
  EXPECT_TRUE(ran) << module.program << " did not finish its set-up";
}

render::IndexedImage WindowPicture(HWND window) {
  GdiFlush();
  headless::PresentPending();
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

int PaintedWithin(const render::IndexedImage& image, int cx, int cy, int radius) {
  int n = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const int dx = x - cx, dy = y - cy;
      if (dx * dx + dy * dy < radius * radius) {
        n += image.pixels[static_cast<std::size_t>(y) * image.width + x] != 0;
      }
    }
  }
  return n;
}

}  // namespace orvo::testing
