// The spheres figure: ten pre-rendered shaded sphere images on an
// off-screen surface, stamped into N mirrored sectors around the window's
// centre, each copy clipped to a disc (and optionally to its sector's wedge).
#pragma once

#include <cstdint>

#include "framework/palette/palette_engine.h"
#include "orvo/platform.h"

namespace orvo::spheres {

inline constexpr int kImages = 10;
inline constexpr int kMaxSize = 1000;

// The settings as stored (not clamped).
struct Config {
  int size = 100;
  int symmetry = 8;
  int type = 0;
  int duration = 20;
  int tweak = 3;
  int effect = 4;
  int shifted = 0;
};

// Stored values made safe: Size within 1..1000 (no division by zero in the
// random size draw, bounded image memory), Symmetry at least 1 (one sector
// is the whole circle, no division by zero), Duration at least 1 second.
int SafeSize(int stored);
int SafeSymmetry(int stored);
int SafeDuration(int stored);

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
// was drawn: settings, palette, per-image values and the ten images.
// `engine` may be null.
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

// One symmetric ring of spheres.
void Step(Figure& f, HDC dc, PaletteEngine* engine);
// True once the tick count `now` is past the image deadline.
bool DeadlinePassed(const Figure& f, std::uint32_t now);

}  // namespace orvo::spheres
