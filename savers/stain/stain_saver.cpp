#include "savers/stain/stain_saver.h"

#include <algorithm>

#include "framework/host/host.h"
#include "framework/host/palette_bitmap.h"
#include "framework/host/saver_run.h"
#include "framework/settings/store.h"
#include "orvo/platform.h"
#include "savers/stain/stain_image.h"
#include "savers/stain/stain_settings.h"
#include "orvo/ticks.h"

namespace orvo::stain {
namespace {

// Settings rows, top to bottom.
enum Row { kNumPts, kDensity, kType, kDelay, kTweak };

struct State : host::RunState {
  host::RowBuffers buffers;  // the column and row tables, the row and its header
  Image image;
  int y = 0;
  bool new_image = false;
  DWORD image_end = 0;
  DWORD image_duration = 0;
  int interval = 0;
  long rows_painted = 0;
  long images_started = 0;
};

std::int32_t Row(int row) { return host::Run<State>().settings.row[row]; }

// Node count, density and the durations are brought into the dialog's
// ranges when read: more than four nodes would overrun the node table, and
// a density or node count below the range would divide by zero in the
// random type choice. "Type" is used as read: above 5 it picks a formula
// per image, below 0 it paints nothing new.
void ReadSettings() {
  State& s = host::Run<State>();
  s = State{};
  s.settings = host::LoadSettings();
  for (int row : {kNumPts, kDensity, kDelay, kTweak}) {
    const settings::Row& r = kStainSettings.rows[row];
    s.settings.row[row] = std::clamp(s.settings.row[row], r.min, r.max);
  }
}

void AllocateBuffers() {
  State& s = host::Run<State>();
  const int w = host::Width(), h = host::Height();
  host::RowBuffers& b = s.buffers;
  if (host::AllocateRowBuffers(b, ColumnTableBytes(w), RowTableBytes(h), RowBufferBytes(w))) {
    s.image.Attach(static_cast<std::int32_t*>(b.columns), static_cast<std::int32_t*>(b.rows), w, h);
    host::FillPaletteBitmapHeader(b.header, s.image.w1 + 1, 1);
    s.image_end = GetTickCount();
  }
}

// Starts an image over the one on screen (the window is not cleared).
// Without buffers only the palette is set up: nothing is ever painted.
void StartImage() {
  State& s = host::Run<State>();
  s.image_duration = static_cast<DWORD>(Row(kDelay)) * 1000u;
  host::MakeEngineOnce(s);
  if (s.engine != nullptr) {
    s.engine->palette_duration = static_cast<std::uint32_t>(Row(kTweak)) * 1000u;
    s.engine->shifted = s.settings.shifted;
  }
  int density = Row(kDensity);
  if (s.buffers.Allocated()) {
    s.image.Start(Row(kNumPts), density, Row(kType));
    density = s.image.d;
  }
  if (s.engine != nullptr) {
    SelectEffect(s.engine, s.settings.effect, s.engine->shifted);
    SetRampDecay(s.engine, 0.6f, 0.2f);
    SetWaveSpread(s.engine, density);
    NewPalette(s.engine);
  }
  s.new_image = false;
  s.y = 0;
  s.interval = rand15() % 30 + 20;
  ++s.images_started;
}

void ShowRow(int dest_y) {
  State& s = host::Run<State>();
  SetDIBitsToDevice(host::DC(), 0, dest_y, static_cast<DWORD>(s.image.w1), 1, 0, 0, 0, 1,
                    s.buffers.indices, s.buffers.header, DIB_PAL_COLORS);
}

void FrameStep() {
  State& s = host::Run<State>();
  const DWORD now = GetTickCount();
  if (!s.buffers.Allocated() || !TickReached(now, s.image_end)) {
    if (s.engine != nullptr) s.engine->keep_wave = 0;
    PaletteTick(s.engine, s.interval);
    return;
  }
  if (s.engine != nullptr) s.engine->keep_wave = 1;
  PaletteTick(s.engine, s.interval);
  if (s.new_image) StartImage();
  const int h1 = s.image.h1;
  // A window 1 pixel wide or high has no painted area: the image passes
  // through its rows without drawing.
  if (s.image.w1 > 0 && h1 > 0) {
    s.image.ComputeRow(s.y, s.buffers.indices);
    ShowRow(s.y);
    if (s.y < h1 / 2) ShowRow(h1 - s.y);
    ++s.rows_painted;
  }
  ++s.y;
  if (s.y >= h1) {
    s.image_end = GetTickCount() + s.image_duration;
    s.new_image = true;
  }
}

void TearDown() {
  State& s = host::Run<State>();
  host::FreeRowBuffers(s.buffers);
  host::EndRun(s);
}

}  // namespace

RunView View() {
  const State& s = host::Run<State>();
  return RunView{s.buffers.Allocated() ? &s.image : nullptr,
                 s.engine,
                 s.settings.row[kNumPts],
                 s.settings.row[kDensity],
                 s.settings.row[kType],
                 s.settings.row[kDelay],
                 s.settings.row[kTweak],
                 s.y,
                 s.new_image,
                 s.image_end,
                 s.interval,
                 s.rows_painted,
                 s.images_started};
}

}  // namespace orvo::stain

const orvo::SaverModule kStainSaver = {
    .program = "stain",
    .display_name = "Orvo Stain",
    .settings = &kStainSettings,
    .hooks = {.read_settings = orvo::stain::ReadSettings,
              .allocate = orvo::stain::AllocateBuffers,
              .new_image = orvo::stain::StartImage,
              .frame_step = orvo::stain::FrameStep,
              .tear_down = orvo::stain::TearDown},
    .frames_per_timer = 5,
    .clears_at_teardown = true,
};
