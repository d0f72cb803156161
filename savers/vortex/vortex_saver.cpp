#include "savers/vortex/vortex_saver.h"

#include "framework/host/host.h"
#include "framework/host/saver_run.h"
#include "framework/settings/store.h"
#include "savers/vortex/vortex_ring.h"
#include "savers/vortex/vortex_settings.h"

namespace orvo::vortex {
namespace {

// Settings rows, top to bottom.
enum Row { kPoints, kScale, kAmplitude, kDuration, kTweak };

struct State : host::RunState {
  Ring ring;
  long images_started = 0;
};

// Values are read as stored; the ring holds the ones that would break it.
void ReadSettings() {
  host::Run<State>().settings = host::LoadSettings();
}

// The window is black here: cleared by the host at set-up, by FrameStep
// later. The twist scale is drawn before the first image creates the
// palette engine.
void NewImage() {
  State& s = host::Run<State>();
  const settings::Values& v = s.settings;
  const Config config{host::Width(),    host::Height(), v.row[kPoints], v.row[kScale],
                      v.row[kAmplitude], v.row[kDuration], v.row[kTweak], v.effect,
                      v.shifted};
  BeginImage(s.ring, config);
  host::MakeEngineOnce(s);
  FinishImage(s.ring, config, GetTickCount(), s.engine);
  ++s.images_started;
}

void FrameStep() {
  State& s = host::Run<State>();
  Step(s.ring, host::DC(), GetTickCount(), s.engine);
  if (s.ring.restart) {
    host::ClearWindow();
    NewImage();
  }
}

// The host has already cleared the window.
void TearDown() { host::EndRun(host::Run<State>()); }

}  // namespace

RunView View() {
  const State& s = host::Run<State>();
  return RunView{s.engine_made ? &s.ring : nullptr, s.engine, s.images_started};
}

}  // namespace orvo::vortex

const orvo::SaverModule kVortexSaver = {
    .program = "vortex",
    .display_name = "Orvo Vortex",
    .settings = &kVortexSettings,
    .hooks = {.read_settings = orvo::vortex::ReadSettings,
              .new_image = orvo::vortex::NewImage,
              .frame_step = orvo::vortex::FrameStep,
              .tear_down = orvo::vortex::TearDown},
    .frames_per_timer = 5,
    .clears_at_teardown = true,
};
