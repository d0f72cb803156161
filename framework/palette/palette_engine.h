// The palette engine: one logical palette of 235 animated entries whose
// colours come from a wave table, flow along the palette a little at every
// animation step, and every palette duration cross-fade to a newly
// generated palette. Savers draw only palette indices 0..234; all colour
// movement happens here.
//
// One engine exists per process. The wave table, the current effect and the
// palette handles are process-wide. Every call comes from the saver
// window's thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvo/platform.h"

namespace orvo {

inline constexpr int kPaletteEntries = 235;
inline constexpr int kWaveSamples = 2048;

// Effect numbers as stored under "Effect".
inline constexpr int kEffectRamp = 0;
inline constexpr int kEffectFade = 1;
inline constexpr int kEffectSmooth = 2;
inline constexpr int kEffectCoarse = 3;
inline constexpr int kEffectRandom = 4;
// Passed to SelectEffect: keep the current effect, draw its random parts again.
inline constexpr int kKeepEffect = -1;

inline constexpr int kRed = 0;
inline constexpr int kGreen = 1;
inline constexpr int kBlue = 2;

// The logical-palette record handed to CreatePalette and AnimatePalette:
// laid out as a LOGPALETTE followed by its entries.
struct PaletteRecord {
  WORD version;
  WORD count;
  PALETTEENTRY entries[kPaletteEntries];
};

struct PaletteChannel {
  std::int32_t phase;      // wave position of the next computed entry
  std::int32_t frequency;  // 2..spread+1
  std::int32_t offset;     // 0..234
  std::int32_t shift;      // entries scrolled per step: +1, or +-1..3 when shifted
};

struct PaletteEngine {
  PaletteRecord record;
  // Entry i of channel c (kRed, kGreen, kBlue).
  std::uint8_t current[3][kPaletteEntries];
  std::uint8_t fade_from[3][kPaletteEntries];
  std::uint8_t fade_to[3][kPaletteEntries];
  std::uint32_t fade_position;  // 0..255 while fading
  std::uint32_t fade_step;      // 8..15
  std::uint32_t palette_duration;  // ms between palette changes
  std::uint32_t next_palette_time;
  std::uint32_t next_step_time;
  float ramp_decay_base;
  float ramp_decay_range;
  std::int16_t wave_spread;        // below 1 counts as 1
  std::int16_t modulation_frequency;  // 5..19
  int keep_wave;        // written by savers: reuse the wave table at the next palette
  int shifted;          // channels scroll by different amounts
  int fade_modulation;  // "Fade"
  int ramp;             // "Ramp"
  int coarse;           // "Coarse"; read by savers
  int random_events;
  int palette_device;   // cleared for good once the display reports no palette
  int rotate_mode;
  int fading;
  HDC dc;
  PaletteChannel channels[3];
};

// Creates the engine and its palette, selects the palette into `dc` in the
// foreground and realizes it. All entries start black. Returns nullptr if
// an engine already exists or memory runs out (with a debugger line).
PaletteEngine* CreatePaletteEngine(HDC dc);

// Chooses the effect (0..4; any other value but -1 means "Random"; -1 keeps
// the current one) and draws its random parts and the channel shifts.
void SelectEffect(PaletteEngine* engine, int effect, int shifted);
void SetWaveSpread(PaletteEngine* engine, int spread);
void SetRampDecay(PaletteEngine* engine, float base, float range);

// Makes a new palette at once into the current colours, without a fade.
void NewPalette(PaletteEngine* engine);

// Performs at most one animation step per `interval_ms`.
void PaletteTick(PaletteEngine* engine, int interval_ms);

// Restores the palette selected before, deletes ours, frees the engine and
// the wave table. Returns 1, or 0 for a pointer that is not the engine.
int DestroyPaletteEngine(PaletteEngine* engine);

// The wave table (2048 samples within -16383..16383) while an engine
// exists, else nullptr.
const std::int16_t* WaveTable();
// The constant sine table of 2048 samples.
const std::int16_t* SineTable();

// Building blocks, exposed for tests.
namespace palette_detail {
void SmoothWave(std::int16_t* wave, int passes);
void TriangleWave(std::int16_t* wave);
}  // namespace palette_detail

}  // namespace orvo
