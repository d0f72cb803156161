// The beziers figure: cubic curves through bouncing control points, drawn
// in rotated copies about the window centre, with an eraser copy of the
// points following behind (framework/trail).
#pragma once

#include <cstdint>

#include "framework/trail/trail.h"
#include "orvo/platform.h"

namespace orvo {
struct PaletteEngine;
}

namespace orvo::beziers {

inline constexpr int kMaxPoints = 210;

// Control points and their directions (+1 or -1 on each axis).
struct PointSet {
  POINT points[kMaxPoints];
  POINT velocity[kMaxPoints];
};

// What a figure is made from: the window and the settings as stored.
struct Config {
  std::int32_t width, height;
  std::int32_t beziers, symmetry, tail_length, pen_width;
  std::int32_t tweak;  // palette duration in seconds
  std::int32_t effect, shifted;
};

// The settings as a figure uses them: each is held as a 16-bit value (its
// low 16 bits), and held further only where the figure would break or a
// frame step would take too long:
// - B and S at 1 at least: with no curve or no copy nothing would ever be
//   drawn (and the palette never moved), and S = 0 divides the turn by zero;
// - B at 20 and S at 32 at most, the dialog's maxima: each only multiplies
//   the curves of a frame step (and B above 103 would overrun the point
//   sets), so beyond them a step would take seconds with a wide pen;
// - the pen width not at all: it sets the speed range (w >> 2) + 4 and the
//   bounce margin 40 + w as stated, and a width below 1 draws one-pixel
//   curves. Only a speed range of 0 (w = -16..-13) is taken as 1.
// - the tail length is the trail's (a 16-bit T3 = 3 x length).
inline constexpr int kMostCurves = 20;
inline constexpr int kMostCopies = 32;
std::int16_t CurveSetting(std::int32_t stored);
std::int16_t Symmetry(std::int32_t stored);
std::int16_t PenWidth(std::int32_t stored);
// The speed range (w >> 2) + 4 of a pen width, or 1 where it would be 0. A
// negative range keeps its sign: rand() % range is then 0..|range| - 1.
int SpeedRange(std::int16_t width);

struct Figure {
  std::int16_t b = 1;
  std::int16_t p = 6;
  std::int16_t s = 1;
  std::int16_t width = 0;
  std::int16_t speed = 1;
  float phi = 0.0f;  // rotation step
  std::int32_t window_width = 0, window_height = 0;
  std::int16_t cx = 0, cy = 0;
  std::int16_t x_min = 0, x_end = 0, y_min = 0, y_end = 0;  // [min, end)
  DWORD change_time = 0;
  int interval = 30;
  trail::Trail<PointSet> trail;
};

// Curves drawn per copy: ceil(B / 2).
int CurvesPerCopy(const Figure& f);

// One step of every point: each axis moves by speed unless that would
// leave the bounce frame, in which case that axis reverses and stays.
void MovePoints(const Figure& f, PointSet& set);
// Draws the curves of every copy with the selected pen, each followed by
// one PaletteTick.
void DrawPoints(const Figure& f, const PointSet& set, HDC dc, PaletteEngine* engine);

// A new figure: random parameters and points in their fixed order and the
// palette calls (engine may be nullptr). The figure's trail must be
// attached to two sets.
void NewFigure(Figure& f, const Config& config, DWORD now, PaletteEngine* engine);

// One frame step without the change-time check.
void Step(Figure& f, HDC dc, PaletteEngine* engine);

}  // namespace orvo::beziers
