#include "saver_probe.h"

#include "framework/host/host.h"
#include "framework/settings/settings.h"
#include "orvo/headless.h"
#include "orvo/resources.h"
#include "window_internal.h"
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

}  // namespace orvo::testing
