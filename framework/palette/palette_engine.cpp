// The palette engine: wave generation, palette computation, scrolling,
// rotation, cross-fades and the animation step.
#include "framework/palette/palette_engine.h"
#include "orvo/ticks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace orvo {
namespace {

constexpr int kWaveMask = kWaveSamples - 1;
constexpr std::int32_t kWaveLimit = 16383;
constexpr int kPlateauLength = 60;
constexpr int kPlateauSmoothing = 110;

// Process-wide parts: one engine, its wave table and palettes, and the
// effect last chosen (which outlives palette changes).
PaletteEngine* g_engine = nullptr;
std::int16_t* g_wave = nullptr;
HPALETTE g_palette = nullptr;
HPALETTE g_previous_palette = nullptr;
int g_effect = kEffectRamp;

std::array<std::int16_t, kWaveSamples> BuildSineTable() {
  std::array<std::int16_t, kWaveSamples> table{};
  const double two_pi = 6.283185307179586476925;
  for (int i = 0; i < kWaveSamples; ++i) {
    const double v = 16382.0 * std::sin(two_pi * (i + 1) / kWaveSamples);
    table[i] = static_cast<std::int16_t>(std::lround(v));
  }
  // This sample is fixed at -3980; plain rounding would give -3981 here, and
  // every program must hold exactly the same table.
  table[1967] = -3980;
  return table;
}

// Wave phase arithmetic wraps at 32 bits; the wave index is taken modulo
// 2048 (the same as the signed remainder for every non-negative position),
// so that even a wrapped position can never leave the table.
std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
int WaveIndex(std::int32_t factor, std::int32_t phase, std::int32_t offset) {
  const std::uint32_t k =
      static_cast<std::uint32_t>(factor) * static_cast<std::uint32_t>(phase) +
      static_cast<std::uint32_t>(offset);
  return static_cast<int>(k & kWaveMask);
}

void RandomPlateaus(std::int16_t* wave) {
  std::int16_t level = 0;
  for (int i = 0; i < kWaveSamples; ++i) {
    if (i % kPlateauLength == 0) {
      const int s = rand15();
      const int magnitude = rand15() % kWaveLimit;
      level = static_cast<std::int16_t>((s & 1) != 0 ? -magnitude : magnitude);
    }
    wave[i] = level;
  }
  wave[0] = wave[kWaveSamples - 1];
  palette_detail::SmoothWave(wave, kPlateauSmoothing);
}

// Spikes of three samples, then smoothing; only when the coarse flag is set.
void CoarsePass(const PaletteEngine& engine, std::int16_t* wave) {
  if (engine.coarse == 0) return;
  const int spikes = rand15() % 85 + 32;
  const int passes = rand15() % 48 + 48;
  for (int n = 0; n < spikes; ++n) {
    const int q = rand15() % 2040 + 4;
    const auto v = static_cast<std::int16_t>(rand15() % kWaveLimit);
    wave[q - 1] = v;
    wave[q] = v;
    wave[q + 1] = v;
  }
  palette_detail::SmoothWave(wave, passes);
}

// Computes the next entry of channel c from the wave and advances its phase.
std::uint8_t ComputeEntry(PaletteEngine& e, int c) {
  PaletteChannel& ch = e.channels[c];
  const int index = WaveIndex(ch.frequency, ch.phase, ch.offset);
  int value = std::abs(static_cast<int>(g_wave[index])) >> 6;
  if (e.fade_modulation != 0) {
    const int j = WaveIndex(e.modulation_frequency, ch.phase, 0);
    float factor = static_cast<float>(std::abs(static_cast<int>(SineTable()[j]))) *
                   (1.0f / 32766.0f);
    if (factor < 0.0f) factor = 0.0f;
    value = static_cast<int>(static_cast<float>(value) * factor);
  }
  ch.phase = WrapAdd(ch.phase, 1);
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

void ApplyRampDecay(PaletteEngine& e) {
  const float d = e.ramp_decay_base +
                  e.ramp_decay_range * static_cast<float>(rand15()) / 32767.0f;
  float f = 1.0f;
  for (int i = 0; i < kPaletteEntries; ++i) {
    if (f > 0.001f) {
      for (int c = 0; c < 3; ++c) {
        e.current[c][i] = static_cast<std::uint8_t>(static_cast<float>(e.current[c][i]) * f);
      }
    } else {
      f = 1.0f;
    }
    f *= d;
  }
}

// Moves channel c by its shift toward index 0 (positive) or away from it
// (negative) and computes the entries that fall free.
void ScrollChannel(PaletteEngine& e, int c) {
  std::uint8_t* a = e.current[c];
  const int s = std::clamp(e.channels[c].shift, -kPaletteEntries, kPaletteEntries);
  if (s > 0) {
    std::memmove(a, a + s, static_cast<std::size_t>(kPaletteEntries - s));
    for (int i = kPaletteEntries - s; i < kPaletteEntries; ++i) a[i] = ComputeEntry(e, c);
  } else if (s < 0) {
    const int m = -s;
    std::memmove(a + m, a, static_cast<std::size_t>(kPaletteEntries - m));
    for (int i = m - 1; i >= 0; --i) a[i] = ComputeEntry(e, c);
  }
}

void CopyColours(std::uint8_t (&to)[3][kPaletteEntries],
                 const std::uint8_t (&from)[3][kPaletteEntries]) {
  std::memcpy(to, from, sizeof(to));
}

void AnimationStep(PaletteEngine& e) {
  if (TickPassed(GetTickCount(), e.next_palette_time)) {
    CopyColours(e.fade_from, e.current);
    SelectEffect(&e, kKeepEffect, e.shifted);
    NewPalette(&e);
    CopyColours(e.fade_to, e.current);
    e.fading = 1;
    e.fade_position = 0;
    e.fade_step = static_cast<std::uint32_t>(rand15() % 8 + 8);
  }
  if (e.palette_device == 0) return;
  // Once the display reports no palette the engine stops writing it, but
  // this last step still shows the colours it has.
  e.palette_device = (GetDeviceCaps(e.dc, RASTERCAPS) & RC_PALETTE) != 0 ? 1 : 0;

  if (e.fading != 0) {
    const std::uint32_t to_weight = std::min<std::uint32_t>(e.fade_position, 255);
    const std::uint32_t from_weight = 255 - to_weight;
    for (int c = 0; c < 3; ++c) {
      for (int i = 0; i < kPaletteEntries; ++i) {
        e.current[c][i] = static_cast<std::uint8_t>(
            (e.fade_from[c][i] * from_weight + e.fade_to[c][i] * to_weight) >> 8);
      }
    }
    e.fade_position += e.fade_step;
    if (e.fade_position > 255) e.fading = 0;
  } else if (e.rotate_mode != 0) {
    for (auto& channel : e.current) std::rotate(channel, channel + 1, channel + kPaletteEntries);
  } else {
    for (int c = 0; c < 3; ++c) ScrollChannel(e, c);
  }

  for (int i = 0; i < kPaletteEntries; ++i) {
    e.record.entries[i] =
        PALETTEENTRY{e.current[kRed][i], e.current[kGreen][i], e.current[kBlue][i], PC_RESERVED};
  }
  AnimatePalette(g_palette, 0, kPaletteEntries, e.record.entries);
}

void RandomEvents(PaletteEngine& e) {
  if (e.random_events == 0) return;
  const int r = rand15() % 1000;
  if (r == 0) {
    for (auto& ch : e.channels) ch.shift = -ch.shift;
  } else if (r == 1) {
    for (auto& ch : e.channels) ch.phase = rand15() % kWaveSamples;
  }
}

bool IsEngine(const PaletteEngine* engine) { return engine != nullptr && engine == g_engine; }

}  // namespace

namespace palette_detail {

namespace {

// Runs K smoothing passes in one sweep. Pass k works one sample behind
// pass k-1 and takes its two inputs from pass k-1's latest outputs, kept in
// registers, so the result is exactly that of K passes one after another
// while the K dependency chains overlap in the processor.
template <int K>
void SmoothPasses(std::int16_t* wave) {
  constexpr int kLast = kWaveSamples - 2;  // samples 0 and 2047 never change
  int prev[K];  // each pass's latest output (sample 0 before it starts)
  for (int& p : prev) p = wave[0];
  const int fixed_end = wave[kLast + 1];

  // One position of the sweep with every range check: pass k smooths
  // sample s - k when that lies in 1..2046.
  const auto edge_step = [&](int s) {
    int below_mid = 0;    // pass k-1 at sample j
    int below_right = 0;  // pass k-1 at sample j + 1
    for (int k = 0; k < K; ++k) {
      const int j = s - k;
      int mid = below_mid;
      int right = below_right;
      if (k == 0 && j <= kLast) {
        mid = wave[j];
        right = wave[j + 1];
      }
      if (j >= 1 && j <= kLast) {
        const int old = prev[k];
        prev[k] = (old + mid + right) / 3;
        below_mid = old;
        below_right = prev[k];
      } else if (j == kLast + 1) {
        below_mid = prev[k];
        below_right = fixed_end;
      }
    }
    const int out = s - (K - 1);
    if (out >= 1 && out <= kLast) wave[out] = static_cast<std::int16_t>(prev[K - 1]);
  };

  int s = 1;
  for (; s < K; ++s) edge_step(s);
  for (; s < kLast; ++s) {  // every pass inside 1..2045
    int below_mid = wave[s];
    int below_right = wave[s + 1];
    for (int k = 0; k < K; ++k) {
      const int old = prev[k];
      prev[k] = (old + below_mid + below_right) / 3;
      below_mid = old;
      below_right = prev[k];
    }
    wave[s - (K - 1)] = static_cast<std::int16_t>(prev[K - 1]);
  }
  for (; s <= kLast + K - 1; ++s) edge_step(s);
}

}  // namespace

void SmoothWave(std::int16_t* wave, int passes) {
  constexpr int kGroup = 4;
  int p = 0;
  for (; p + kGroup <= passes; p += kGroup) SmoothPasses<kGroup>(wave);
  for (; p < passes; ++p) SmoothPasses<1>(wave);
}

void TriangleWave(std::int16_t* wave) {
  std::int32_t accumulator = 0;
  std::int32_t step = 31;
  for (int i = 0; i < kWaveSamples; ++i) {
    wave[i] = static_cast<std::int16_t>(accumulator);
    accumulator += step;
    if (accumulator >= kWaveLimit) {
      accumulator = kWaveLimit;
      step = -step;
    } else if (accumulator <= -kWaveLimit) {
      accumulator = -kWaveLimit;
      step = -step;
    }
  }
}

}  // namespace palette_detail

const std::int16_t* SineTable() {
  static const std::array<std::int16_t, kWaveSamples> table = BuildSineTable();
  return table.data();
}

const std::int16_t* WaveTable() { return g_wave; }

PaletteEngine* CreatePaletteEngine(HDC dc) {
  if (g_engine != nullptr) {
    OutputDebugStringA("Palette engine already exists");
    return nullptr;
  }
  if (g_wave == nullptr) {
    g_wave = new (std::nothrow) std::int16_t[kWaveSamples]();
    if (g_wave == nullptr) {
      OutputDebugStringA("Could not allocate the palette engine");
      return nullptr;
    }
  }
  auto* e = new (std::nothrow) PaletteEngine{};
  if (e == nullptr) {
    OutputDebugStringA("Could not allocate the palette engine");
    delete[] g_wave;
    g_wave = nullptr;
    return nullptr;
  }
  e->record.version = 0x300;
  e->record.count = kPaletteEntries;
  for (auto& entry : e->record.entries) entry = PALETTEENTRY{0, 0, 0, PC_RESERVED};
  e->palette_duration = 15000;
  e->ramp_decay_base = 0.5f;
  e->ramp_decay_range = 0.4f;
  e->shifted = 1;
  e->random_events = rand15() & 1;
  e->palette_device = 1;
  e->dc = dc;
  for (auto& ch : e->channels) ch.shift = 1;
  e->next_step_time = GetTickCount();

  static_assert(offsetof(PaletteRecord, entries) == offsetof(LOGPALETTE, palPalEntry));
  g_palette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&e->record));
  if (g_palette == nullptr) {
    OutputDebugStringA("Could not create the palette");
    delete e;
    delete[] g_wave;
    g_wave = nullptr;
    return nullptr;
  }
  g_previous_palette = SelectPalette(dc, g_palette, FALSE);
  RealizePalette(dc);
  g_engine = e;
  return e;
}

void SelectEffect(PaletteEngine* engine, int effect, int shifted) {
  if (!IsEngine(engine)) return;
  PaletteEngine& e = *engine;
  if (effect != kKeepEffect) g_effect = effect;
  e.ramp = 0;
  e.fade_modulation = 0;
  e.coarse = rand15() & 1;
  switch (g_effect) {
    case kEffectRamp:
      e.ramp = 1;
      e.coarse = rand15() & 1;
      break;
    case kEffectFade:
      e.fade_modulation = 1;
      e.coarse = rand15() & 1;
      break;
    case kEffectSmooth:
      e.coarse = 0;
      break;
    case kEffectCoarse:
      e.coarse = 1;
      break;
    default:  // "Random"
      e.coarse = rand15() & 1;
      if (rand15() % 6 == 1) {
        e.ramp = 1;
      } else if (rand15() % 6 == 1) {
        e.fade_modulation = 1;
      }
      break;
  }
  e.shifted = shifted;
  for (auto& ch : e.channels) {
    if (shifted != 0) {
      const int s = rand15();
      const int m = rand15() % 3 + 1;
      ch.shift = (s & 1) != 0 ? -m : m;
    } else {
      ch.shift = 1;
    }
  }
}

void SetWaveSpread(PaletteEngine* engine, int spread) {
  if (!IsEngine(engine)) return;
  // Stored in 16 bits; larger values are held at the 16-bit limits rather
  // than wrapped into a different spread.
  engine->wave_spread = static_cast<std::int16_t>(std::clamp(spread, -32768, 32767));
}

void SetRampDecay(PaletteEngine* engine, float base, float range) {
  if (!IsEngine(engine)) return;
  engine->ramp_decay_base = base;
  engine->ramp_decay_range = range;
}

void NewPalette(PaletteEngine* engine) {
  if (!IsEngine(engine) || g_wave == nullptr) return;
  PaletteEngine& e = *engine;
  e.next_palette_time = GetTickCount() + e.palette_duration;

  if (e.keep_wave == 0) {
    switch (rand15() % 5) {
      case 0:
        palette_detail::TriangleWave(g_wave);
        CoarsePass(e, g_wave);
        break;
      case 1:
        RandomPlateaus(g_wave);
        break;
      default:
        std::memcpy(g_wave, SineTable(), kWaveSamples * sizeof(std::int16_t));
        CoarsePass(e, g_wave);
        break;
    }
  }

  // A spread below 1 would divide by zero; it counts as 1.
  const int spread = std::max<int>(e.wave_spread, 1);
  for (auto& ch : e.channels) {
    ch.frequency = rand15() % spread + 2;
    ch.offset = rand15() % kPaletteEntries;
    ch.phase = 0;
  }
  e.modulation_frequency = static_cast<std::int16_t>(rand15() % 15 + 5);

  for (int i = 0; i < kPaletteEntries; ++i) {
    for (int c = 0; c < 3; ++c) e.current[c][i] = ComputeEntry(e, c);
  }

  if (e.ramp != 0) {
    ApplyRampDecay(e);
    e.rotate_mode = 1;
  } else {
    e.rotate_mode = 0;
  }
}

void PaletteTick(PaletteEngine* engine, int interval_ms) {
  if (!IsEngine(engine)) return;
  if (TickPassed(GetTickCount(), engine->next_step_time)) {
    AnimationStep(*engine);
    RandomEvents(*engine);
    engine->next_step_time =
        GetTickCount() + static_cast<std::uint32_t>(std::max(interval_ms, 0));
  }
}

int DestroyPaletteEngine(PaletteEngine* engine) {
  if (!IsEngine(engine)) return 0;
  delete[] g_wave;
  g_wave = nullptr;
  const HDC dc = engine->dc;
  if (g_previous_palette != nullptr) {
    UnrealizeObject(reinterpret_cast<HGDIOBJ>(g_previous_palette));
    SelectPalette(dc, g_previous_palette, FALSE);
    RealizePalette(dc);
  }
  DeleteObject(reinterpret_cast<HGDIOBJ>(g_palette));
  g_palette = nullptr;
  g_previous_palette = nullptr;
  delete engine;
  g_engine = nullptr;
  return 1;
}

}  // namespace orvo
