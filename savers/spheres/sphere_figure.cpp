#include "savers/spheres/sphere_figure.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "orvo/float_int.h"
#include "orvo/ticks.h"

namespace orvo::spheres {
namespace {

constexpr float kUnit = 1.0f / 32767.0f;

float Draw() { return static_cast<float>(rand15()) * kUnit; }

HGDIOBJ Obj(auto handle) { return reinterpret_cast<HGDIOBJ>(handle); }

// The window position of a sphere at distance d and angle theta from the
// centre (angle 0 straight down).
POINT Place(const Figure& f, double theta, float d) {
  return POINT{WrapAdd32(f.cx, TruncToInt32(double{d} * std::sin(theta))),
               WrapAdd32(f.cy, TruncToInt32(double{d} * std::cos(theta)))};
}

}  // namespace

int SafeSize(int stored) { return std::clamp(stored, kMinSize, kMaxSize); }
int SafeSymmetry(int stored) { return std::clamp(stored, 1, kMaxSymmetry); }

// The central z x z square of the image, its corner at (x - h, y - h),
// clipped to the disc inscribed in the box (x - h, y - h)..(x + h, y + h).
// As an Ellipse, an elliptic region leaves out its box's right and bottom
// edges, so the clip is exactly the image's largest copied disc, and the
// image's centre point (c, c) lands on (x, y).
void Stamp(const Figure& f, HDC dc, int x, int y, int image, int z, HRGN wedge) {
  const int h = z / 2;
  const HRGN clip = CreateEllipticRgn(x - h, y - h, x + h, y + h);
  if (wedge != nullptr) CombineRgn(clip, clip, wedge, RGN_AND);
  SelectClipRgn(dc, clip);
  const int c = f.size / 2;
  BitBlt(dc, x - h, y - h, z, z, f.surface, image * (f.size + 2) + c - h, c - h, SRCCOPY);
  SelectClipRgn(dc, nullptr);
  DeleteObject(Obj(clip));
}

void Allocate(Figure& f, HDC dc) {
  f.surface = CreateCompatibleDC(dc);
  // The entries name device slots directly, so an index drawn on the
  // surface lands unchanged on the window's slot for the same engine entry.
  constexpr std::size_t bytes = sizeof(LOGPALETTE) + kPaletteEntries * sizeof(PALETTEENTRY);
  auto* block = new (std::nothrow) unsigned char[bytes];
  if (block == nullptr) return;
  auto* log = reinterpret_cast<LOGPALETTE*>(block);
  log->palVersion = 0x300;
  log->palNumEntries = kPaletteEntries;
  for (int j = 0; j < kPaletteEntries; ++j) {
    log->palPalEntry[j] = PALETTEENTRY{static_cast<BYTE>(j + 10), 0, 0, PC_EXPLICIT};
  }
  f.surface_palette = CreatePalette(log);
  delete[] block;
  if (f.surface != nullptr && f.surface_palette != nullptr) {
    f.old_palette = SelectPalette(f.surface, f.surface_palette, FALSE);
    RealizePalette(f.surface);
  }
}

void FreeImages(Figure& f) {
  if (f.images == nullptr) return;
  SelectObject(f.surface, f.old_bitmap);
  DeleteObject(Obj(f.images));
  f.images = nullptr;
  f.old_bitmap = nullptr;
}

void Release(Figure& f) {
  FreeImages(f);
  if (f.surface != nullptr && f.old_palette != nullptr) SelectPalette(f.surface, f.old_palette, FALSE);
  if (f.surface_palette != nullptr) DeleteObject(Obj(f.surface_palette));
  if (f.surface != nullptr) DeleteDC(f.surface);
  f.surface = nullptr;
  f.surface_palette = nullptr;
  f.old_palette = nullptr;
}

void RenderImages(Figure& f, HDC dc) {
  FreeImages(f);
  if (f.surface == nullptr) return;
  const int side = f.size + 2;
  f.images = CreateCompatibleBitmap(dc, side * kImages, side);
  if (f.images == nullptr) return;
  f.old_bitmap = SelectObject(f.surface, Obj(f.images));
  const HGDIOBJ old_pen = SelectObject(f.surface, GetStockObject(NULL_PEN));
  // rho0 discs, largest first: disc t has the box (c - q, c - q)..(c + q,
  // c + q), q = rho0 - 1 - t, whose right and bottom edges an Ellipse
  // leaves out.
  const int rho0 = side / 2;
  const int c = f.size / 2;
  for (int i = 0; i < kImages; ++i) {
    const int ox = i * side;
    for (int t = 0; t < rho0; ++t) {
      const int q = rho0 - 1 - t;
      const HBRUSH brush =
          CreateSolidBrush(PALETTEINDEX(static_cast<WORD>((20 * i + t) % kPaletteEntries)));
      const HGDIOBJ old_brush = SelectObject(f.surface, Obj(brush));
      Ellipse(f.surface, ox + c - q, c - q, ox + c + q, c + q);
      SelectObject(f.surface, old_brush);
      DeleteObject(Obj(brush));
    }
  }
  SelectObject(f.surface, old_pen);
}

void NewImage(Figure& f, const Config& config, HDC dc, int width, int height,
              std::uint32_t now, PaletteEngine* engine, int k) {
  f.size = SafeSize(config.size);
  f.n = SafeSymmetry(config.symmetry);
  f.k = k;
  if (engine != nullptr) {
    engine->palette_duration = static_cast<std::uint32_t>(config.tweak) * 1000u;
    engine->shifted = config.shifted;
  }
  SelectEffect(engine, config.effect, engine != nullptr ? engine->shifted : config.shifted);
  SetRampDecay(engine, 0.9f, 0.09f);
  SetWaveSpread(engine, 22);
  NewPalette(engine);
  f.sector = 6.2832f / static_cast<float>(f.n);
  const int hw = width / 2, hh = height / 2;
  f.reach = std::sqrt(static_cast<float>(hw) * hw + static_cast<float>(hh) * hh);
  f.m = rand15() % 30 + 30;
  f.deadline = now + static_cast<std::uint32_t>(config.duration) * 1000u;
  f.wedge = (config.type & 1) != 0 && f.n >= 3;
  f.mirror = (config.type & 2) != 0;
  f.random_size = (config.type & 4) != 0;
  f.cx = hw;
  f.cy = hh;
  RenderImages(f, dc);
}

int ImageFor(const Figure& f, float d) {
  // A window of at most 1 x 1 pixels has no reach: d / R would be NaN.
  if (!(f.reach > 0)) return 0;
  const int colour = TruncToInt32(static_cast<double>(d) / f.reach * 235.0) * f.k;
  return (colour / 20) % kImages;
}

int DrawSize(const Figure& f) {
  if (!f.random_size) return f.size;
  return std::min(rand15() % f.size + 10, f.size);
}

void Step(Figure& f, HDC dc, PaletteEngine* engine) {
  const float s = f.sector;
  float p = Draw() * s;
  const float d = Draw() * f.reach;
  const int image = ImageFor(f, d);
  const int z = DrawSize(f);
  for (int i = 0; i < f.n; ++i) {
    PaletteTick(engine, f.m);
    const double a0 = static_cast<double>(i) * s;
    const double a1 = static_cast<double>(i + 1) * s;
    HRGN wedge = nullptr;
    if (f.wedge) {
      const POINT tri[3] = {{f.cx, f.cy}, Place(f, a0, f.reach), Place(f, a1, f.reach)};
      wedge = CreatePolygonRgn(tri, 3, WINDING);
    }
    const POINT at = Place(f, a0 + p, d);
    Stamp(f, dc, at.x, at.y, image, z, wedge);
    if (f.mirror) {
      PaletteTick(engine, f.m);
      const POINT mirrored = Place(f, a0 + (s - p), d);
      Stamp(f, dc, mirrored.x, mirrored.y, image, z, wedge);
    }
    p = s - p;
    if (wedge != nullptr) DeleteObject(Obj(wedge));
  }
}

bool DeadlinePassed(const Figure& f, std::uint32_t now) {
  return TickPassed(now, f.deadline);
}

}  // namespace orvo::spheres
