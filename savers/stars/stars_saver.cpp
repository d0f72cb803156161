#include "savers/stars/stars_saver.h"

#include "framework/host/host.h"
#include "framework/host/saver_run.h"
#include "framework/settings/store.h"
#include "savers/stars/star_field.h"
#include "savers/stars/stars_settings.h"

namespace orvo::stars {
namespace {

// Settings rows, top to bottom.
enum Row { kStars, kSize, kSpeed, kType, kTweak };

struct State : host::RunState {
  bool camera_made = false;
};

// The star table lives in static storage.
Field& TheField() {
  static Field field;
  return field;
}

void ReadSettings() {
  host::Run<State>().settings = host::LoadSettings();
}

// A program shows one run, so the sway phases start at zero with it; resetting
// them here also makes repeated runs in one process alike.
void Allocate() {
  State& s = host::Run<State>();
  Field& f = TheField();
  f.sway_a = f.sway_b = f.sway_c = 0.0;
  f.camera = Camera{};
  host::MakeEngineOnce(s);
  s.camera_made = true;
}

void NewImage() {
  State& s = host::Run<State>();
  host::ClearWindow();
  const settings::Values& v = s.settings;
  const Config config{v.row[kStars], v.row[kSize], v.row[kSpeed], v.row[kType],
                      v.row[kTweak], v.effect,     v.shifted};
  RECT client{};
  GetClientRect(host::Window(), &client);
  Start(TheField(), config, host::DC(), client.right, client.bottom, s.engine);
}

void FrameStep() { Step(TheField(), host::DC(), host::Run<State>().engine); }

// The window keeps its streaks: nothing is cleared here.
void TearDown() { host::EndRun(host::Run<State>()); }

}  // namespace

RunView View() {
  const State& s = host::Run<State>();
  return RunView{s.camera_made ? &TheField() : nullptr, s.engine};
}

}  // namespace orvo::stars

const orvo::SaverModule kStarsSaver = {
    .program = "stars",
    .display_name = "Orvo Stars",
    .settings = &kStarsSettings,
    .hooks = {.read_settings = orvo::stars::ReadSettings,
              .allocate = orvo::stars::Allocate,
              .new_image = orvo::stars::NewImage,
              .frame_step = orvo::stars::FrameStep,
              .tear_down = orvo::stars::TearDown},
    .frames_per_timer = 5,
    .clears_at_teardown = false,
};
