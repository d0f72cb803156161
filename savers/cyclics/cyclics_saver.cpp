#include "savers/cyclics/cyclics_saver.h"

#include "framework/host/host.h"
#include "framework/host/saver_run.h"
#include "framework/settings/store.h"
#include "savers/cyclics/cyclics_figure.h"
#include "savers/cyclics/cyclics_settings.h"
#include "orvo/ticks.h"

namespace orvo::cyclics {
namespace {

// Settings rows, top to bottom.
enum Row { kCyclics, kSpasticity, kTailLength, kPenWidth, kTweak };

struct State : host::RunState {
  CyclicSet* head = nullptr;
  CyclicSet* eraser = nullptr;
  Figure figure;
  bool running = false;
  long figures_started = 0;
};

CyclicSet* AllocateSet() {
  void* block = GlobalAlloc(GPTR, sizeof(CyclicSet));
  return static_cast<CyclicSet*>(block);
}

// Values are read as stored; the figure holds the ones that would break it.
void ReadSettings() {
  host::Run<State>().settings = host::LoadSettings();
}

void FreeSets() {
  State& s = host::Run<State>();
  GlobalFree(s.head);
  GlobalFree(s.eraser);
  s.head = s.eraser = nullptr;
  s.figure.trail.Attach(nullptr, nullptr);
}

// Without both sets nothing is drawn: the palette still runs its figures.
void Allocate() {
  State& s = host::Run<State>();
  s.head = AllocateSet();
  s.eraser = AllocateSet();
  if (s.head == nullptr || s.eraser == nullptr) {
    FreeSets();
    OutputDebugStringA("Could not allocate buffers");
  }
  s.figure.trail.Attach(s.head, s.eraser);
  s.running = true;
}

void NewImage() {
  State& s = host::Run<State>();
  host::MakeEngineOnce(s);
  const settings::Values& v = s.settings;
  const Config config{host::Width(),     host::Height(),   v.row[kCyclics],
                      v.row[kSpasticity], v.row[kTailLength], v.row[kPenWidth],
                      v.row[kTweak],      v.effect,          v.shifted};
  NewFigure(s.figure, config, GetTickCount(), s.engine);
  ++s.figures_started;
}

void FrameStep() {
  State& s = host::Run<State>();
  Step(s.figure, host::DC(), s.engine);
  if (TickPassed(GetTickCount(), s.figure.change_time)) {
    host::ClearWindow();
    NewImage();
  }
}

// The host has already cleared the window.
void TearDown() {
  State& s = host::Run<State>();
  FreeSets();
  host::EndRun(s);
}

}  // namespace

RunView View() {
  const State& s = host::Run<State>();
  return RunView{s.running ? &s.figure : nullptr, s.head != nullptr, s.figures_started, s.engine};
}

}  // namespace orvo::cyclics

const orvo::SaverModule kCyclicsSaver = {
    .program = "cyclics",
    .display_name = "Orvo Cyclics",
    .settings = &kCyclicsSettings,
    .hooks = {.read_settings = orvo::cyclics::ReadSettings,
              .allocate = orvo::cyclics::Allocate,
              .new_image = orvo::cyclics::NewImage,
              .frame_step = orvo::cyclics::FrameStep,
              .tear_down = orvo::cyclics::TearDown},
    .frames_per_timer = 5,
    .clears_at_teardown = true,
};
