#include "savers/plasma/plasma_saver.h"

#include <algorithm>

#include "framework/host/host.h"
#include "framework/host/palette_bitmap.h"
#include "framework/host/saver_run.h"
#include "framework/settings/store.h"
#include "orvo/platform.h"
#include "savers/plasma/plasma_cloud.h"
#include "savers/plasma/plasma_settings.h"
#include "orvo/ticks.h"

namespace orvo::plasma {
namespace {

constexpr DWORD kProgressivePeriodMs = 2000;

// Settings rows, top to bottom.
enum Row { kRoughness, kSpeed, kGradient, kImageDuration, kPaletteDuration };

struct State : host::RunState {
  bool buffers_tried = false;
  HGLOBAL field_block = nullptr;
  std::uint8_t* field = nullptr;
  Rect* stack = nullptr;
  BITMAPINFO* header = nullptr;
  Cloud cloud;
  float factor = 0.0f;
  int interval = 0;
  DWORD image_duration = 0;
  DWORD next_cloud_time = 0;
  DWORD next_progressive_time = 0;
  bool first_cloud_shown = false;
  long shows = 0;
  long clouds_started = 0;
  long steps_in_cloud = 0;
  long rectangles_in_cloud = 0;
  long last_cloud_steps = 0;
  long last_cloud_rectangles = 0;
  std::uint8_t seeds[4] = {};
};

std::int32_t Row(int row) { return host::Run<State>().settings.row[row]; }

// A run starts from a fresh state. Values outside the dialog's ranges are
// brought into them when read, so the wave spread stays at least 1 and the
// palette interval positive.
void ReadSettings() {
  State& s = host::Run<State>();
  s = State{};
  s.settings = host::LoadSettings();
  for (int i = 0; i < settings::kRowCount; ++i) {
    const settings::Row& row = kPlasmaSettings.rows[i];
    s.settings.row[i] = std::clamp(s.settings.row[i], row.min, row.max);
  }
}

void FreeBuffers() {
  State& s = host::Run<State>();
  if (s.header != nullptr) GlobalFree(s.header);
  if (s.field_block != nullptr) {
    GlobalUnlock(s.field_block);
    GlobalFree(s.field_block);
  }
  if (s.stack != nullptr) GlobalFree(s.stack);
  s.header = nullptr;
  s.field_block = nullptr;
  s.field = nullptr;
  s.stack = nullptr;
}

// The field, its subdivision stack and the bitmap header, once per run.
bool AllocateBuffers() {
  State& s = host::Run<State>();
  const int w = host::Width(), h = host::Height();
  if (w > 0 && h > 0) {
    s.field_block = GlobalAlloc(GHND, FieldBytes(w, h));
    if (s.field_block != nullptr) s.field = static_cast<std::uint8_t*>(GlobalLock(s.field_block));
    s.stack = static_cast<Rect*>(
        GlobalAlloc(GPTR, sizeof(Rect) * static_cast<std::size_t>(StackCapacity(w, h))));
    s.header = static_cast<BITMAPINFO*>(GlobalAlloc(GPTR, host::kPaletteBitmapHeaderBytes));
  }
  if (s.field == nullptr || s.stack == nullptr || s.header == nullptr) {
    FreeBuffers();
    return false;
  }
  host::FillPaletteBitmapHeader(s.header, w, h);
  s.cloud.Attach(s.field, s.stack, w, h);
  return true;
}

void ShowField() {
  State& s = host::Run<State>();
  SetDIBitsToDevice(host::DC(), 0, 0, static_cast<DWORD>(host::Width()),
                    static_cast<DWORD>(host::Height()), 0, 0, 0, static_cast<UINT>(host::Height()),
                    s.field, s.header, DIB_PAL_COLORS);
  ++s.shows;
}

// Starts a cloud: at set-up, and whenever the cloud on screen is replaced.
void StartCloud() {
  State& s = host::Run<State>();
  host::MakeEngineOnce(s);
  int roughness = Row(kRoughness);
  if (roughness == 100) roughness = rand15() % 60 + 20;
  s.factor = static_cast<float>(roughness) * 0.05f;
  s.interval = 101 - Row(kSpeed);
  s.image_duration = static_cast<DWORD>(Row(kImageDuration)) * 1000u;
  if (s.engine != nullptr) {
    s.engine->shifted = s.settings.shifted;
    SelectEffect(s.engine, s.settings.effect, s.settings.shifted);
    s.engine->palette_duration = static_cast<std::uint32_t>(Row(kPaletteDuration)) * 1000u;
    s.engine->keep_wave = 0;
    SetWaveSpread(s.engine, Row(kGradient));
    SetRampDecay(s.engine, 0.9f, 0.09f);
  }
  if (!s.buffers_tried) {
    // Only the first cloud of a run: later ones keep the running palette.
    s.buffers_tried = true;
    NewPalette(s.engine);
    if (s.engine == nullptr || !AllocateBuffers()) {
      OutputDebugStringA("Could not allocate buffers");
      return;
    }
  }
  if (s.field == nullptr) return;
  s.cloud.Start(s.factor);
  for (int i = 0; i < 4; ++i) {
    static constexpr int kCorner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    s.seeds[i] = s.cloud.At(kCorner[i][0] * host::Width(), kCorner[i][1] * host::Height());
  }
  ++s.clouds_started;
  s.steps_in_cloud = 0;
  s.rectangles_in_cloud = 0;
  s.next_cloud_time = GetTickCount() + s.image_duration;
}

void FrameStep() {
  State& s = host::Run<State>();
  PaletteTick(s.engine, s.interval);
  // Without buffers the window stays black; the palette still runs.
  if (s.field == nullptr) return;
  if (!s.first_cloud_shown && TickPassed(GetTickCount(), s.next_progressive_time)) {
    ShowField();
    s.next_progressive_time = GetTickCount() + kProgressivePeriodMs;
  }
  if (!s.cloud.Complete()) {
    const int taken = s.cloud.Step(kRectanglesPerStep);
    ++s.steps_in_cloud;
    s.rectangles_in_cloud += taken;
    if (!s.cloud.Complete() || taken == kRectanglesPerStep) return;
  }
  if (s.steps_in_cloud != 0) {
    s.last_cloud_steps = s.steps_in_cloud;
    s.last_cloud_rectangles = s.rectangles_in_cloud;
    s.steps_in_cloud = 0;
    s.rectangles_in_cloud = 0;
  }
  const DWORD now = GetTickCount();
  if (s.first_cloud_shown && !TickPassed(now, s.next_cloud_time)) return;
  ShowField();
  s.first_cloud_shown = true;
  if (TickPassed(now, s.next_cloud_time)) StartCloud();
}

void TearDown() {
  State& s = host::Run<State>();
  FreeBuffers();
  host::EndRun(s);
}

}  // namespace

RunView View() {
  const State& s = host::Run<State>();
  return RunView{s.field != nullptr ? &s.cloud : nullptr,
                 s.engine,
                 host::Width(),
                 host::Height(),
                 s.settings.row[kRoughness],
                 s.settings.row[kSpeed],
                 s.settings.row[kGradient],
                 s.settings.row[kImageDuration],
                 s.settings.row[kPaletteDuration],
                 s.factor,
                 s.interval,
                 s.first_cloud_shown,
                 s.shows,
                 s.clouds_started,
                 s.steps_in_cloud,
                 s.last_cloud_steps,
                 s.last_cloud_rectangles,
                 {s.seeds[0], s.seeds[1], s.seeds[2], s.seeds[3]}};
}

}  // namespace orvo::plasma

const orvo::SaverModule kPlasmaSaver = {
    .program = "plasma",
    .display_name = "Orvo Plasma",
    .settings = &kPlasmaSettings,
    .hooks = {.read_settings = orvo::plasma::ReadSettings,
              .new_image = orvo::plasma::StartCloud,
              .frame_step = orvo::plasma::FrameStep,
              .tear_down = orvo::plasma::TearDown},
    .frames_per_timer = 5,
    .clears_at_teardown = true,
};
