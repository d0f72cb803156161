// The cyclics figure: a ring of points on coupled sine paths, drawn as
// thick line segments from each point's previous position, with an eraser
// copy of the ring following behind (framework/trail).
#pragma once

#include <cstdint>

#include "framework/trail/trail.h"
#include "orvo/platform.h"

namespace orvo {
struct PaletteEngine;
}

namespace orvo::cyclics {

inline constexpr int kMaxCyclics = 101;

struct CyclicRecord {
  std::int16_t x, y;
  std::int16_t previous_x, previous_y;
  float angle;  // theta
};

// One set: the phases and the records. a3 is always sin(a2).
struct CyclicSet {
  float a0, a1, a2, a3;
  CyclicRecord records[kMaxCyclics];
};
static_assert(sizeof(CyclicRecord) == 12, "a cyclic record is 12 bytes");
static_assert(sizeof(CyclicSet) == 1228, "a cyclic set is one 1228-byte block");

// What a figure is made from: the window and the settings as stored.
struct Config {
  std::int32_t width, height;
  std::int32_t cyclics, spasticity, tail_length, pen_width;
  std::int32_t tweak;  // palette duration in seconds
  std::int32_t effect, shifted;
};

// The settings as a figure uses them. Out-of-range values are held where
// they would break the figure:
// - the count to 1..101 (the set holds 101 records; 0 cyclics would divide
//   the turn by zero);
// - sp = 51 - Spasticity to 1..32767 (a Spasticity of 51 or more moves as
//   50 does, the fastest; sp must stay a positive 16-bit divisor);
// - the pen width to 0..200 (0 pulses; wider pens would make a frame step
//   arbitrarily slow, and a negative width has no meaning);
// - the tail length by the trail (below 0 as 0, 100 and more never erase).
std::int16_t CyclicCount(std::int32_t stored);
std::int16_t SpeedDivisor(std::int32_t spasticity);
std::int16_t PenWidth(std::int32_t stored);

// The figure's parameters, drawn anew for every figure.
struct Figure {
  std::int16_t n = 0;
  std::int16_t sp = 1;
  std::int16_t width = 0;  // pen width w of the current step
  bool pulsing = false;
  float pulse_speed = 0.0f;
  float pulse_phase = 0.0f;
  float d0 = 0.0f, d1 = 0.0f, d2 = 0.0f;
  std::int16_t cx = 0, cy = 0;
  std::int32_t window_width = 0, window_height = 0;
  float amplitude = 0.0f;  // R
  std::int16_t x_mode = 1, y_mode = 1;
  bool mirror = false;
  DWORD change_time = 0;
  int interval = 30;  // palette step interval, ms
  trail::Trail<CyclicSet> trail;
};

// Amplitude A and path angle B of a cyclic at angle theta for a mode
// 1..8 (any other mode counts as 1).
struct PathValues {
  float a;
  float b;
};
PathValues Path(int mode, const CyclicSet& set, float amplitude, float theta);

// Puts every cyclic at the centre with the angles spread evenly over one
// turn (record n - 1 at 0) and the phases at 0.
void InitialiseSet(const Figure& f, CyclicSet& set);
// One step of the paths and the phases.
void MoveSet(const Figure& f, CyclicSet& set);
// Draws every cyclic's segment (four with mirror) with the selected pen,
// each cyclic followed by one PaletteTick.
void DrawSet(const Figure& f, const CyclicSet& set, HDC dc, PaletteEngine* engine);

// A new figure: random parameters in their fixed order, the palette calls
// (engine may be nullptr: then only the saver's own numbers are drawn),
// and both copies of the set started at the centre. The figure's trail
// must be attached to two sets.
void NewFigure(Figure& f, const Config& config, DWORD now, PaletteEngine* engine);

// One frame step without the change-time check: pen width, colour, head
// and, when due, eraser.
void Step(Figure& f, HDC dc, PaletteEngine* engine);

}  // namespace orvo::cyclics
