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

// The settings as a figure uses them: each is held as a 16-bit value (its
// low 16 bits), and only where the arithmetic would break is it held further:
// - the count at 101 at most (the set's block holds 101 records); a count
//   of 0 or less is kept and draws nothing;
// - sp = 51 - Spasticity at 1 at least (a Spasticity of 51 or more moves
//   as 50 does, the fastest): sp <= 0 would take a remainder by 10 x sp <= 0;
// - the pen width not at all (0 pulses; a negative width draws one-pixel
//   lines, as the drawing layer gives any width below 1; a pen wider than
//   the window needs is drawn at a width that paints the same pixels, see
//   StrokeWidth);
// - the tail length is the trail's (a 16-bit T3 = 3 x length).
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

// The width the figure's pens are created with: the pen width w, or the
// smallest width that already covers the whole window when w is wider.
int StrokeWidth(const Figure& f);

// One frame step without the change-time check: pen width, colour, head
// and, when due, eraser.
void Step(Figure& f, HDC dc, PaletteEngine* engine);

}  // namespace orvo::cyclics
