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
inline constexpr int kMaxBeziers = (kMaxPoints - 4) / 2;  // 103

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

// The settings as a figure uses them. Out-of-range values are held where
// they would break the figure:
// - B to 1..103 (P = 2B + 4 points must fit the 210 of a set; with no
//   curve nothing would be drawn and the palette would never move);
// - S to 1..360 (0 copies divide the turn by zero; more than one copy per
//   degree adds nothing visible but makes a frame step arbitrarily long);
// - the pen width to 0..200 (it also sets the speed range (w >> 2) + 4,
//   which a negative width could make zero, and wider pens would make a
//   frame step arbitrarily slow);
// - the tail length by the trail (below 0 as 0, 100 and more never erase).
std::int16_t CurveSetting(std::int32_t stored);
std::int16_t Symmetry(std::int32_t stored);
std::int16_t PenWidth(std::int32_t stored);

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
