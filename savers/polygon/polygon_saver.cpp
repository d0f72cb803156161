#include "savers/polygon/polygon_saver.h"

#include "framework/host/host.h"
#include "framework/host/saver_run.h"
#include "framework/settings/store.h"
#include "savers/polygon/polygon_figure.h"
#include "savers/polygon/polygon_settings.h"

namespace orvo::polygon {
namespace {

// Settings rows, top to bottom.
enum Row { kVertices, kSymmetry, kSpeed, kType, kTweak };

struct State : host::RunState {
  Figure figure;
  long images_started = 0;
};

// Values are read as stored; the figure holds the ones that would break it.
void ReadSettings() {
  host::Run<State>().settings = host::LoadSettings();
}

void StartImage() {
  State& s = host::Run<State>();
  host::ClearWindow();
  host::MakeEngineOnce(s);
  const settings::Values& v = s.settings;
  const Config config{host::Width(), host::Height(), v.row[kVertices], v.row[kSymmetry],
                      v.row[kSpeed], v.row[kType],   v.row[kTweak],    v.effect,
                      v.shifted};
  NewFigure(s.figure, config, GetTickCount(), s.engine);
  ++s.images_started;
}

void FrameStep() {
  State& s = host::Run<State>();
  Step(s.figure, host::DC(), s.engine);
  if (ImageOver(s.figure, GetTickCount())) StartImage();
}

// The host has already cleared the window.
void TearDown() { host::EndRun(host::Run<State>()); }

}  // namespace

RunView View() {
  const State& s = host::Run<State>();
  return RunView{s.engine_made ? &s.figure : nullptr, s.engine, s.images_started};
}

}  // namespace orvo::polygon

const orvo::SaverModule kPolygonSaver = {
    .program = "polygon",
    .display_name = "Orvo Poly",
    .settings = &kPolygonSettings,
    .hooks = {.read_settings = orvo::polygon::ReadSettings,
              .new_image = orvo::polygon::StartImage,
              .frame_step = orvo::polygon::FrameStep,
              .tear_down = orvo::polygon::TearDown},
    .frames_per_timer = 5,
    .clears_at_teardown = true,
};
