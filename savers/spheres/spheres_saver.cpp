#include "savers/spheres/spheres_saver.h"

#include "framework/host/host.h"
#include "framework/host/saver_run.h"
#include "framework/settings/store.h"
#include "savers/spheres/sphere_figure.h"
#include "savers/spheres/spheres_settings.h"

namespace orvo::spheres {
namespace {

// Settings rows, top to bottom.
enum Row { kSize, kSymmetry, kType, kDuration, kTweak };

struct State : host::RunState {
  Figure figure;
  long images_started = 0;
};

void ReadSettings() {
  host::Run<State>().settings = host::LoadSettings();
}

void AllocateHook() { Allocate(host::Run<State>().figure, host::DC()); }

void NewImageHook() {
  State& s = host::Run<State>();
  host::ClearWindow();
  const settings::Values& v = s.settings;
  const Config config{v.row[kSize], v.row[kSymmetry], v.row[kType], v.row[kDuration],
                      v.row[kTweak], v.effect, v.shifted};
  // k is drawn before the engine exists on the first image.
  const int k = rand15() % 8;
  host::MakeEngineOnce(s);
  NewImage(s.figure, config, host::DC(), host::Width(), host::Height(), GetTickCount(), s.engine,
           k);
  ++s.images_started;
}

void FrameStep() {
  State& s = host::Run<State>();
  Step(s.figure, host::DC(), s.engine);
  if (DeadlinePassed(s.figure, GetTickCount())) {
    FreeImages(s.figure);
    NewImageHook();
  }
}

// The host has already cleared the window. Unlike host::EndRun, the sphere
// images are released after the palette engine is destroyed.
void TearDown() {
  State& s = host::Run<State>();
  DestroyPaletteEngine(s.engine);
  Release(s.figure);
  s = State{};
}

}  // namespace

RunView View() {
  const State& s = host::Run<State>();
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
