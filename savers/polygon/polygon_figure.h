// The polygon figure: n vertices bouncing in a box, drawn filled (and
// sometimes outlined) in s copies rotated about the window centre, never
// erased; the fill colour walks up and down the palette.
#pragma once

#include <cstdint>

#include "framework/trail/trail.h"
#include "orvo/platform.h"

namespace orvo {
struct PaletteEngine;
}

namespace orvo::polygon {

inline constexpr int kMaxVertices = 100;
// The dialog's largest symmetry, at which stored values are held.
inline constexpr int kMaxSymmetry = 50;
// Milliseconds an image lasts before the window is cleared for a new one.
inline constexpr DWORD kImageTime = 100000;

// What an image is made from: the window and the settings as stored (the
// vertex count, symmetry and speed already read as 16-bit values).
struct Config {
  std::int32_t width, height;
  std::int32_t vertices, symmetry, speed, type;
  std::int32_t tweak;  // palette duration in seconds
  std::int32_t effect, shifted;
};

// The divisor of a random choice rand() % d + base among the counts: 0
// (which would divide by zero) becomes 1, and the magnitude is held at
// `limit` so that the choice stays within limit + base.
std::int32_t ChoiceDivisor(std::int32_t d, std::int32_t limit);

// rand() % d, with a divisor of 0 giving 0 (the draw is still made by the
// caller, so later draws keep their order).
std::int32_t ModOrZero(std::int32_t r, std::int32_t d);

// Outline palette index for fill index c: the mirror 235 - c, held to the
// last entry 234 when c is 0.
int OutlineIndex(int c);

using TickFunction = void (*)(PaletteEngine*, int);

struct Figure {
  std::int16_t n = 3, s = 1, v = 1;
  bool random = false;
  std::int32_t width = 0, height = 0;
  std::int16_t cx = 0, cy = 0;
  std::int16_t x_extent = 0, y_extent = 0;  // the box 0..X x 0..Y
  POINT vertices[kMaxVertices]{};
  POINT velocity[kMaxVertices]{};
  float angle_step = 6.2832f;
  bool outline = false;
  trail::ColourWalk colour;  // the fill index c
  DWORD end_time = 0;
  int interval = 30;  // palette step interval in ms
  TickFunction tick = nullptr;  // nullptr: PaletteTick
};

// Starts an image: settings, random choices in their fixed order, and the
// palette for this image. Does not clear the window. Counts are used as
// read, held only where they would break the figure:
// - vertices at 100 (the tables' size; 99 as the divisor of the random
//   choice, which adds 2);
// - symmetry at 50, the dialog's maximum: each copy is one more polygon and
//   palette tick per frame step, and thousands would stall the saver;
// - a divisor of 0 in the random choices at 1.
// Fewer than two vertices or a symmetry below 1 draw nothing, as specified
// by the arithmetic itself.
void NewFigure(Figure& f, const Config& config, DWORD now, PaletteEngine* engine);

// The points of copy k (0..s - 1) into out[0..n - 1]: the vertices
// rotated by k x angle step about the centre (copy 0 is the polygon).
void CopyPoints(const Figure& f, int k, POINT* out);
// Fills every copy with the selected pen and brush, each followed by one
// palette tick.
void DrawCopies(const Figure& f, HDC dc, PaletteEngine* engine);
// One move of every vertex: an axis whose move would leave the box
// reverses and keeps its coordinate; the other axis moves independently.
void MoveVertices(Figure& f);

// True once the tick count is past the image end time. Compared wrap-safe,
// so an end time beyond the tick count's wrap is not taken as already past.
bool ImageOver(const Figure& f, DWORD now);

// One frame step without the image-time check: next colour, pen and brush,
// the copies, the objects deleted, the vertices moved.
void Step(Figure& f, HDC dc, PaletteEngine* engine);

}  // namespace orvo::polygon
