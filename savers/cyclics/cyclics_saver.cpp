#include "savers/cyclics/cyclics_saver.h"

#include "framework/host/host.h"
#include "framework/palette/palette_engine.h"
#include "framework/settings/store.h"
#include "savers/cyclics/cyclics_figure.h"
#include "savers/cyclics/cyclics_settings.h"

namespace orvo::cyclics {
namespace {

// Settings rows, top to bottom.
enum Row { kCyclics, kSpasticity, kTailLength, kPenWidth, kTweak };

struct State {
  settings::Values settings{};
  PaletteEngine* engine = nullptr;
  bool first_figure_done = false;
  CyclicSet* head = nullptr;
  CyclicSet* eraser = nullptr;
  Figure figure;
  bool running = false;
  long figures_started = 0;
};

State& St() {
  static State state;
  return state;
}

CyclicSet* AllocateSet() {
  void* block = GlobalAlloc(GPTR, sizeof(CyclicSet));
  return static_cast<CyclicSet*>(block);
}

// Values are read as stored; the figure holds the ones that would break it.
void ReadSettings() {
  State& s = St();
  s.settings = settings::Load(kCyclicsSettings, host::IniFile());
}

void FreeSets() {
  State& s = St();
  GlobalFree(s.head);
  GlobalFree(s.eraser);
  s.head = s.eraser = nullptr;
  s.figure.trail.Attach(nullptr, nullptr);
}

// Without both sets nothing is drawn: the palette still runs its figures.
void Allocate() {
  State& s = St();
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
  State& s = St();
  if (!s.first_figure_done) s.engine = CreatePaletteEngine(host::DC());
  s.first_figure_done = true;
  const settings::Values& v = s.settings;
  const Config config{host::Width(),     host::Height(),   v.row[kCyclics],
                      v.row[kSpasticity], v.row[kTailLength], v.row[kPenWidth],
                      v.row[kTweak],      v.effect,          v.shifted};
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
  FreeSets();
  DestroyPaletteEngine(s.engine);
  s = State{};
}

}  // namespace

RunView View() {
  const State& s = St();
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
