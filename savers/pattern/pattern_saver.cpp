#include "savers/pattern/pattern_saver.h"

#include <algorithm>

#include "framework/host/host.h"
#include "framework/host/palette_bitmap.h"
#include "framework/host/saver_run.h"
#include "framework/settings/store.h"
#include "orvo/platform.h"
#include "savers/pattern/pattern_image.h"
#include "savers/pattern/pattern_settings.h"
#include "orvo/ticks.h"

namespace orvo::pattern {
namespace {

// Settings rows, top to bottom.
enum Row { kWaves, kRate, kType, kDelay, kTweak };

// Largest number of seconds whose milliseconds fit an unsigned 32-bit tick.
constexpr std::int32_t kMaxSeconds = 4294967;

struct State : host::RunState {
  bool first_image_done = false;
  bool low_colour = false;
  host::RowBuffers buffers;  // the two profiles, the row and its header
  bool drawing = false;      // the buffers, the engine and its wave table exist
  Image image;
  int block = 16;
  int row = 0;
  DWORD hold_until = 0;
  int interval = 0;
  DWORD image_duration = 0;
  long images_started = 0;
  long bands_drawn = 0;
};

int g_forced_type = -1;
int g_forced_mode = -1;

std::int32_t Row(int row) { return host::Run<State>().settings.row[row]; }

// Values are used as read, except the two durations: a negative "Delay"
// counts as 0 and a "Tweak" below 1 as 1, and both are capped where their
// milliseconds would no longer fit 32 bits. The wave count and the type are
// brought into range by NewImage.
void ReadSettings() {
  State& s = host::Run<State>();
  s.settings = host::LoadSettings();
  s.settings.row[kDelay] = std::clamp(s.settings.row[kDelay], 0, kMaxSeconds);
  s.settings.row[kTweak] = std::clamp(s.settings.row[kTweak], 1, kMaxSeconds);
}

// Without all four buffers (or without a palette engine, whose wave table
// the profiles are built from) the saver draws nothing for the whole run;
// the palette engine, if it exists, keeps animating.
void SetUpRun() {
  State& s = host::Run<State>();
  host::MakeEngineOnce(s);
  s.low_colour = GetDeviceCaps(host::DC(), BITSPIXEL) < 8;
  const int w = std::max(host::Width(), 0), h = std::max(host::Height(), 0);
  host::RowBuffers& b = s.buffers;
  if (host::AllocateRowBuffers(b, (static_cast<std::size_t>(w) + 1) * 2,
                               (static_cast<std::size_t>(h) + 1) * 2,
                               static_cast<std::size_t>(w) + 1)) {
    host::FillPaletteBitmapHeader(b.header, w, 1);
    s.image.Attach(static_cast<std::int16_t*>(b.columns), static_cast<std::int16_t*>(b.rows), w, h);
    s.drawing = s.engine != nullptr && WaveTable() != nullptr;
  }
  s.hold_until = GetTickCount();
}

// Prepares the next image: parameters drawn from rand15() in their fixed
// order, interleaved with the palette engine calls, then both profiles.
// A stored wave count outside 1..30 is brought to the nearest end (the
// wavelength arrays hold 31 slots and N divides); a negative type draws
// like a fixed type and uses formula 0.
void NewImage() {
  State& s = host::Run<State>();
  if (!s.first_image_done) SetUpRun();
  int n = std::clamp(Row(kWaves), 1, kMaxWaves);
  if (s.engine != nullptr) {
    // Tweak is at least 1 s: a duration beyond what a deadline can hold
    // (24.8 days) is held there.
    s.engine->palette_duration = HeldWait(static_cast<std::uint32_t>(Row(kTweak)) * 1000u);
    if (!s.first_image_done) SelectEffect(s.engine, s.settings.effect, s.settings.shifted);
  }
  // In 32-bit arithmetic that wraps, as the desktop's does: a stored
  // -2147483648 must not overflow.
  s.interval = static_cast<int>(101u - static_cast<std::uint32_t>(Row(kRate)));
  int t = Row(kType);
  s.image_duration = static_cast<DWORD>(Row(kDelay)) * 1000u;
  if (t > 20) {
    n = rand15() % n + 1;
    t = rand15() % kTypeCount;
  }
  if (t < 0) t = 0;
  if (s.engine != nullptr) {
    s.engine->keep_wave = 0;
    SetWaveSpread(s.engine, rand15() % 6 + 2);
    SetRampDecay(s.engine, 0.84f, 0.15f);
    if (!s.first_image_done) NewPalette(s.engine);
  } else {
    rand15();  // the wave spread draw keeps its place in the sequence
  }
  s.first_image_done = true;
  Image& im = s.image;
  im.n = n;
  im.t = t;
  im.DrawParameters(s.engine != nullptr && s.engine->coarse != 0);
  if (g_forced_type >= 0) {
    im.t = g_forced_type;
    im.distortion = g_forced_mode >= 0;
    if (g_forced_mode >= 0) im.mode = g_forced_mode;
  }
  if (s.drawing) im.BuildProfiles(WaveTable());
  s.row = 0;
  s.block = 16;
  ++s.images_started;
}

void DrawBand(int y) {
  State& s = host::Run<State>();
  const Image& im = s.image;
  const HDC dc = host::DC();
  std::uint8_t* const indices = s.buffers.indices;
  const BITMAPINFO* const header = s.buffers.header;
  if (s.block == 1) {
    SetDIBitsToDevice(dc, 0, y, static_cast<DWORD>(im.w), 1, 0, 0, 0, 1, indices, header,
                      DIB_PAL_COLORS);
  } else if (s.low_colour) {
    for (int bx = 0; bx <= im.xmax; bx += s.block) {
      const RECT r{bx, y, bx + s.block, y + s.block};
      HBRUSH brush = CreateSolidBrush(PALETTEINDEX(indices[bx]));
      FillRect(dc, &r, brush);
      DeleteObject(brush);
    }
  } else {
    for (int j = 0; j * s.block <= im.xmax; ++j) indices[j] = indices[j * s.block];
    StretchDIBits(dc, 0, y, im.xmax, s.block, 0, 0, im.xmax / s.block, 1, indices, header,
                  DIB_PAL_COLORS, SRCCOPY);
  }
  ++s.bands_drawn;
}

void FrameStep() {
  State& s = host::Run<State>();
  PaletteTick(s.engine, s.interval);
  if (!TickReached(GetTickCount(), s.hold_until) || !s.drawing) {
    if (s.engine != nullptr) s.engine->keep_wave = 0;
    return;
  }
  s.engine->keep_wave = 1;
  const int y = s.row;
  s.image.ComputeRow(y, s.buffers.indices, WaveTable(), SineTable());
  DrawBand(y);
  s.row += s.block;
  if (s.row <= s.image.ymax) return;
  if (s.block >= 3) {
    s.block >>= 1;
    if (s.block == 4) s.block = s.low_colour ? 2 : 1;
    s.row = 0;
    return;
  }
  s.hold_until = TickAfter(GetTickCount(), s.image_duration);
  NewImage();
}

void TearDown() {
  State& s = host::Run<State>();
  host::FreeRowBuffers(s.buffers);
  host::EndRun(s);
}

}  // namespace

RunView View() {
  const State& s = host::Run<State>();
  return RunView{s.drawing ? &s.image : nullptr, s.block, s.row, s.hold_until, s.low_colour,
                 s.images_started, s.engine, s.bands_drawn};
}

void ForceImageForTesting(int type, int mode) {
  g_forced_type = type;
  g_forced_mode = mode;
}

}  // namespace orvo::pattern

const orvo::SaverModule kPatternSaver = {
    .program = "pattern",
    .display_name = "Orvo Pattern",
    .settings = &kPatternSettings,
    .hooks = {.read_settings = orvo::pattern::ReadSettings,
              .new_image = orvo::pattern::NewImage,
              .frame_step = orvo::pattern::FrameStep,
              .tear_down = orvo::pattern::TearDown},
    .frames_per_timer = 5,
    .clears_at_teardown = true,
};
