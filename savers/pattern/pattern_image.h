// The pattern picture: two wave profiles (columns and rows) built from the
// palette engine's wave table, the 21 pixel formulas that combine them, and
// the four coordinate distortions. Pure computation: no drawing, no palette.
#pragma once

#include <cstdint>

namespace orvo::pattern {

inline constexpr int kTypeCount = 21;     // formulas 0..20; a larger type picks one per image
inline constexpr int kMaxWaves = 30;      // wave components per profile
inline constexpr int kWaveSlots = 31;     // wavelength slots per axis
inline constexpr int kRowTerms = 32;
inline constexpr int kIndices = 235;
inline constexpr int kSamples = 2048;

// Whether the profiles of a type sum signed samples (types 3..8) or their
// absolute values (all others).
bool SignedProfiles(int type);

// Index into a 2048-sample table for a non-negative position q: trunc(q) as
// a signed 16-bit value, remainder 2048. A non-finite q gives 0; a
// position wrapping to a negative 16-bit value folds into 0..2047.
int WaveIndex(float q);

// a rem b with the sign of a; 0 when b < 1 (a window 1 pixel wide or high
// leaves only index 0).
int RemOrZero(std::int32_t a, std::int32_t b);

// The alternation toggle: process-wide, clear at program start, never reset.
bool AlternationToggle();
void SetAlternationToggleForTesting(bool value);

struct Image {
  // Geometry.
  int w = 0, h = 0, xmax = -1, ymax = -1;
  std::int16_t* columns = nullptr;  // X[0..xmax]
  std::int16_t* rows = nullptr;     // Y[0..ymax]

  // Image parameters.
  int n = 1;  // wave count 1..30
  int t = 0;  // pattern type 0..20
  float lc[kWaveSlots] = {};
  float lr[kWaveSlots] = {};
  std::uint16_t pc = 0, pr = 0;
  float f1 = 0.0f, f2 = 0.0f;
  bool distortion = false;
  int mode = 0;
  float k = 1.0f;
  std::int16_t band = 1;
  std::int16_t divisor = 1;
  int shift = 6;
  std::int16_t row_terms[kRowTerms] = {};

  // Attaches caller-owned profiles of width + 1 and height + 1 entries.
  void Attach(std::int16_t* column_profile, std::int16_t* row_profile, int width, int height);

  // Draws steps "phases .. wavelengths" from rand15() in their fixed order:
  // phases, factors, distortion mode and flag, divisor K, band and divisor,
  // shift, then the n column/row wavelength pairs. `coarse` is the palette
  // engine's coarse flag.
  void DrawParameters(bool coarse);

  // Average of n wave components at position p (signed or absolute samples
  // by the current type), as a signed 16-bit value.
  std::int16_t WaveAverage(int p, const float* lengths, const std::int16_t* wave) const;
  // Row profile, then column profile.
  void BuildProfiles(const std::int16_t* wave);

  // Distorted coordinates of pixel (x, y); always 0..xmax and 0..ymax.
  void Distort(int x, int y, const std::int16_t* sine, int* xd, int* yd) const;

  // Computes row y (0..ymax) into out[0..xmax], right to left, flipping
  // the alternation toggle for every pixel of an alternating type. Type 18
  // changes `shift` as it goes.
  void ComputeRow(int y, std::uint8_t* out, const std::int16_t* wave, const std::int16_t* sine);

 private:
  std::int32_t P(int a, int b) const { return std::int32_t{columns[a]} + rows[b]; }
  int Pixel(int x, int y, int xd, int yd, std::int32_t rt, const std::int16_t* wave);
};

// r = rand15() scaled to 0..1 by the float nearest to 1/32767.
float RandomUnit();

}  // namespace orvo::pattern
