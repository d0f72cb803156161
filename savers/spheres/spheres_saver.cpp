#include "savers/spheres/spheres_saver.h"

#include "framework/host/host.h"
#include "framework/palette/palette_engine.h"
#include "framework/settings/store.h"
#include "savers/spheres/sphere_figure.h"
#include "savers/spheres/spheres_settings.h"

namespace orvo::spheres {
namespace {

// Settings rows, top to bottom.
enum Row { kSize, kSymmetry, kType, kDuration, kTweak };

struct State {
  settings::Values settings{};
  PaletteEngine* engine = nullptr;
  bool engine_made = false;
  Figure figure;
  long images_started = 0;
};

State& St() {
  static State state;
  return state;
}

void ReadSettings() { St().settings = settings::Load(kSpheresSettings, host::IniFile()); }

void AllocateHook() { Allocate(St().figure, host::DC()); }

void NewImageHook() {
  State& s = St();
  PatBlt(host::DC(), 0, 0, host::Width(), host::Height(), BLACKNESS);
  const settings::Values& v = s.settings;
  const Config config{v.row[kSize], v.row[kSymmetry], v.row[kType], v.row[kDuration],
                      v.row[kTweak], v.effect, v.shifted};
  // k is drawn before the engine exists on the first image.
  const int k = rand15() % 8;
  if (!s.engine_made) s.engine = CreatePaletteEngine(host::DC());
  s.engine_made = true;
  NewImage(s.figure, config, host::DC(), host::Width(), host::Height(), GetTickCount(), s.engine,
           k);
  ++s.images_started;
}

void FrameStep() {
  State& s = St();
  Step(s.figure, host::DC(), s.engine);
  if (DeadlinePassed(s.figure, GetTickCount())) {
    FreeImages(s.figure);
    NewImageHook();
  }
}

// The host has already cleared the window.
void TearDown() {
  State& s = St();
  DestroyPaletteEngine(s.engine);
  Release(s.figure);
  s = State{};
}

}  // namespace

RunView View() {
  const State& s = St();
  return RunView{s.engine_made ? &s.figure : nullptr, s.engine, s.images_started};
}

}  // namespace orvo::spheres

const orvo::SaverModule kSpheresSaver = {
    .program = "spheres",
    .display_name = "Orvo Spheres",
    .settings = &kSpheresSettings,
    .hooks = {.read_settings = orvo::spheres::ReadSettings,
              .allocate = orvo::spheres::AllocateHook,
              .new_image = orvo::spheres::NewImageHook,
              .frame_step = orvo::spheres::FrameStep,
              .tear_down = orvo::spheres::TearDown},
    .frames_per_timer = 1,
    .clears_at_teardown = true,
};
