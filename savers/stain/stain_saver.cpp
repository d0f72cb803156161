#include "savers/stain/stain_saver.h"

#include <algorithm>

#include "framework/host/host.h"
#include "framework/host/palette_bitmap.h"
#include "framework/palette/palette_engine.h"
#include "framework/settings/store.h"
#include "orvo/platform.h"
#include "savers/stain/stain_image.h"
#include "savers/stain/stain_settings.h"

namespace orvo::stain {
namespace {

// Settings rows, top to bottom.
enum Row { kNumPts, kDensity, kType, kDelay, kTweak };

struct State {
  settings::Values settings{};
  PaletteEngine* engine = nullptr;
  bool engine_exists = false;
  std::int32_t* columns = nullptr;
  std::int32_t* rows = nullptr;
  std::uint8_t* row_buffer = nullptr;
  BITMAPINFO* header = nullptr;
  bool buffers = false;
  Image image;
  int y = 0;
  bool new_image = false;
  DWORD image_end = 0;
  DWORD image_duration = 0;
  int interval = 0;
  long rows_painted = 0;
  long images_started = 0;
};

State& S() {
  static State state;
  return state;
}

void* Allocate(std::size_t bytes) {
  return GlobalAlloc(GPTR, bytes);
}

std::int32_t Row(int row) { return S().settings.row[row]; }

// Node count, density and the durations are brought into the dialog's
// ranges when read: more than four nodes would overrun the node table, and
// a density or node count below the range would divide by zero in the
// random type choice. "Type" is used as read: above 5 it picks a formula
// per image, below 0 it paints nothing new.
void ReadSettings() {
  State& s = S();
  s = State{};
  s.settings = settings::Load(kStainSettings, host::IniFile());
  for (int row : {kNumPts, kDensity, kDelay, kTweak}) {
    const settings::Row& r = kStainSettings.rows[row];
    s.settings.row[row] = std::clamp(s.settings.row[row], r.min, r.max);
  }
}

void FreeBuffers() {
  State& s = S();
  GlobalFree(s.columns);
  GlobalFree(s.rows);
  GlobalFree(s.row_buffer);
  GlobalFree(s.header);
  s.columns = nullptr;
  s.rows = nullptr;
  s.row_buffer = nullptr;
  s.header = nullptr;
  s.buffers = false;
}

void AllocateBuffers() {
  State& s = S();
  const int w = host::Width(), h = host::Height();
  s.columns = static_cast<std::int32_t*>(Allocate(ColumnTableBytes(w)));
  s.rows = static_cast<std::int32_t*>(Allocate(RowTableBytes(h)));
  s.row_buffer = static_cast<std::uint8_t*>(Allocate(RowBufferBytes(w)));
  s.header = static_cast<BITMAPINFO*>(Allocate(host::kPaletteBitmapHeaderBytes));
  if (s.columns != nullptr && s.rows != nullptr && s.row_buffer != nullptr && s.header != nullptr) {
    s.image.Attach(s.columns, s.rows, w, h);
    host::FillPaletteBitmapHeader(s.header, s.image.w1 + 1, 1);
    s.buffers = true;
    s.image_end = GetTickCount();
  } else {
    FreeBuffers();
    OutputDebugStringA("Could not allocate buffers");
  }
}

// Starts an image over the one on screen (the window is not cleared).
// Without buffers only the palette is set up: nothing is ever painted.
void StartImage() {
  State& s = S();
  s.image_duration = static_cast<DWORD>(Row(kDelay)) * 1000u;
  if (!s.engine_exists) {
    s.engine = CreatePaletteEngine(host::DC());
    s.engine_exists = true;
  }
  if (s.engine != nullptr) {
    s.engine->palette_duration = static_cast<std::uint32_t>(Row(kTweak)) * 1000u;
    s.engine->shifted = s.settings.shifted;
  }
  int density = Row(kDensity);
  if (s.buffers) {
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
  State& s = S();
  SetDIBitsToDevice(host::DC(), 0, dest_y, static_cast<DWORD>(s.image.w1), 1, 0, 0, 0, 1,
                    s.row_buffer, s.header, DIB_PAL_COLORS);
}

void FrameStep() {
  State& s = S();
  const DWORD now = GetTickCount();
  if (!s.buffers || now < s.image_end) {
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
    s.image.ComputeRow(s.y, s.row_buffer);
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
  State& s = S();
  FreeBuffers();
  DestroyPaletteEngine(s.engine);
  s = State{};
}

}  // namespace

RunView View() {
  const State& s = S();
  return RunView{s.buffers ? &s.image : nullptr,
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
