#include "savers/beziers/beziers_saver.h"

#include "framework/host/host.h"
#include "framework/host/saver_run.h"
#include "framework/settings/store.h"
#include "savers/beziers/beziers_figure.h"
#include "savers/beziers/beziers_settings.h"
#include "orvo/ticks.h"

namespace orvo::beziers {
namespace {

// Settings rows, top to bottom.
enum Row { kBeziers, kSymmetry, kTailLength, kPenWidth, kTweak };

struct State : host::RunState {
  Figure figure;
  bool running = false;
  long figures_started = 0;
};

// The head and eraser point sets live in static storage.
PointSet g_head;
PointSet g_eraser;

// Values are read as stored; the figure holds the ones that would break it.
void ReadSettings() {
  host::Run<State>().settings = host::LoadSettings();
}

void Allocate() {
  State& s = host::Run<State>();
  host::MakeEngineOnce(s);
  s.figure.trail.Attach(&g_head, &g_eraser);
  s.running = true;
}

void NewImage() {
  State& s = host::Run<State>();
  const settings::Values& v = s.settings;
  const Config config{host::Width(),    host::Height(),   v.row[kBeziers],
                      v.row[kSymmetry], v.row[kTailLength], v.row[kPenWidth],
                      v.row[kTweak],    v.effect,         v.shifted};
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
void TearDown() { host::EndRun(host::Run<State>()); }

}  // namespace

RunView View() {
  const State& s = host::Run<State>();
  return RunView{s.running ? &s.figure : nullptr, s.figures_started, s.engine};
}

}  // namespace orvo::beziers

const orvo::SaverModule kBeziersSaver = {
    .program = "beziers",
    .display_name = "Orvo Beziers",
    .settings = &kBeziersSettings,
    .hooks = {.read_settings = orvo::beziers::ReadSettings,
              .allocate = orvo::beziers::Allocate,
              .new_image = orvo::beziers::NewImage,
              .frame_step = orvo::beziers::FrameStep,
              .tear_down = orvo::beziers::TearDown},
    .frames_per_timer = 1,
    .clears_at_teardown = true,
};
