#include "savers/beziers/beziers_saver.h"

#include "framework/host/host.h"
#include "framework/palette/palette_engine.h"
#include "framework/settings/store.h"
#include "savers/beziers/beziers_figure.h"
#include "savers/beziers/beziers_settings.h"

namespace orvo::beziers {
namespace {

// Settings rows, top to bottom.
enum Row { kBeziers, kSymmetry, kTailLength, kPenWidth, kTweak };

struct State {
  settings::Values settings{};
  PaletteEngine* engine = nullptr;
  Figure figure;
  bool running = false;
  long figures_started = 0;
};

State& St() {
  static State state;
  return state;
}

// The head and eraser point sets live in static storage.
PointSet g_head;
PointSet g_eraser;

// Values are read as stored; the figure holds the ones that would break it.
void ReadSettings() { St().settings = settings::Load(kBeziersSettings, host::IniFile()); }

void Allocate() {
  State& s = St();
  s.engine = CreatePaletteEngine(host::DC());
  s.figure.trail.Attach(&g_head, &g_eraser);
  s.running = true;
}

void NewImage() {
  State& s = St();
  const settings::Values& v = s.settings;
  const Config config{host::Width(),    host::Height(),   v.row[kBeziers],
                      v.row[kSymmetry], v.row[kTailLength], v.row[kPenWidth],
                      v.row[kTweak],    v.effect,         v.shifted};
  NewFigure(s.figure, config, GetTickCount(), s.engine);
  ++s.figures_started;
}

void FrameStep() {
  State& s = St();
  Step(s.figure, host::DC(), s.engine);
  if (GetTickCount() > s.figure.change_time) {
    PatBlt(host::DC(), 0, 0, host::Width(), host::Height(), BLACKNESS);
    NewImage();
  }
}

// The host has already cleared the window.
void TearDown() {
  State& s = St();
  DestroyPaletteEngine(s.engine);
  s = State{};
}

}  // namespace

RunView View() {
  const State& s = St();
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
