// The spheres figure: ten pre-rendered shaded sphere images on an
// off-screen surface, stamped into N mirrored sectors around the window's
// centre, each copy clipped to a disc (and optionally to its sector's wedge).
#pragma once

#include <cstdint>

#include "framework/palette/palette_engine.h"
#include "orvo/platform.h"

namespace orvo::spheres {

inline constexpr int kImages = 10;
inline constexpr int kMinSize = 2;  // the smallest whose disc has pixels (2 x 2)
inline constexpr int kMaxSize = 1000;
inline constexpr int kMaxSymmetry = 128;

// The settings as stored (Size, Symmetry, Type and Duration already read
// as 16-bit values).
struct Config {
  int size = 100;
  int symmetry = 8;
  int type = 0;
  int duration = 20;
  int tweak = 3;
  int effect = 4;
  int shifted = 0;
};

// Stored values held where they would break the figure:
// - Size below 2 at 2 (0 divides by zero in the random size draw, below
//   -2 the images would have a negative size, and the disc of Size 1 has
//   no pixels: every sphere would be invisible), above 1000 at 1000
//   (ten images of Size + 2 squared bytes: 10 MB at 1000);
// - Symmetry 0 or below at 1, one sector for the whole circle (0 divides
//   the sector angle by zero and draws nothing), above 128 at 128, the
//   dialog's maximum: each sector is one more clipped copy per frame step,
//   and thousands of them stall the saver.
// Duration is used as read: 0 or below starts a new image as soon as the
// tick count moves on.
int SafeSize(int stored);
int SafeSymmetry(int stored);

struct Figure {
  // Off-screen surface, from Allocate to Release.
  HDC surface = nullptr;
  HPALETTE surface_palette = nullptr;
  HPALETTE old_palette = nullptr;
  HGDIOBJ old_bitmap = nullptr;
  // The ten images side by side in one strip, image i at x = i * (size + 2).
  HBITMAP images = nullptr;

  int size = 100;
  int n = 8;
  bool wedge = false;
  bool mirror = false;
  bool random_size = false;
  int k = 0;
  int m = 30;
  std::uint32_t deadline = 0;
  int cx = 0, cy = 0;
  float sector = 0;
  float reach = 0;
};

// Creates the surface compatible with `dc` and its explicit-index palette.
void Allocate(Figure& f, HDC dc);
// Frees the images, the surface and its palette.
void Release(Figure& f);

// Image start (the window already black), after the colour multiplier k
// was drawn and the palette engine made: settings, palette, per-image
// values and the ten images.
void NewImage(Figure& f, const Config& config, HDC dc, int width, int height,
              std::uint32_t now, PaletteEngine* engine, int k);
// Draws the ten sphere images onto the surface.
void RenderImages(Figure& f, HDC dc);
void FreeImages(Figure& f);

// Which image a sphere at distance d uses.
int ImageFor(const Figure& f, float d);

// The size of this step's spheres: Size, or with random size one draw
// min(rand() mod Size + 10, Size).
int DrawSize(const Figure& f);

// One copy of sphere image `image` (size z) centred on (x, y): the square
// of 2 * (z / 2) + 1 pixels around the image's centre pixel, clipped to the
// disc inscribed in it (and to `wedge` unless that is null). For z = Size
// that disc is exactly the image's largest disc, so every pixel shown was
// drawn and the outer ring shows all round.
void Stamp(const Figure& f, HDC dc, int x, int y, int image, int z, HRGN wedge);

// One symmetric ring of spheres.
void Step(Figure& f, HDC dc, PaletteEngine* engine);
// True once the tick count `now` is past the image deadline (compared
// wrap-safe, so a deadline beyond the tick count's wrap is not taken as
// already past).
bool DeadlinePassed(const Figure& f, std::uint32_t now);

}  // namespace orvo::spheres
