#include "savers/polygon/polygon_figure.h"

#include <algorithm>
#include <cmath>

#include "framework/palette/palette_engine.h"
#include "orvo/float_int.h"
#include "orvo/ticks.h"

namespace orvo::polygon {

std::int32_t ChoiceDivisor(std::int32_t d, std::int32_t limit) {
  if (d == 0) return 1;
  return std::clamp(d, -limit, limit);
}

std::int32_t ModOrZero(std::int32_t r, std::int32_t d) { return d == 0 ? 0 : r % d; }

int OutlineIndex(int c) { return std::min(kPaletteEntries - c, kPaletteEntries - 1); }

void NewFigure(Figure& f, const Config& config, DWORD now, PaletteEngine* engine) {
  std::int32_t n = config.vertices, s = config.symmetry, v = config.speed;
  f.random = config.type != 0;
  if (engine != nullptr) {
    engine->palette_duration = static_cast<std::uint32_t>(config.tweak) * 1000u;
    engine->shifted = config.shifted;
  }
  v = std::min(v, 100);
  if (f.random) {
    n = rand15() % ChoiceDivisor(n, kMaxVertices - 1) + 2;
    s = rand15() % ChoiceDivisor(s, kMaxSymmetry) + 1;
    v = rand15() % ChoiceDivisor(v, 100) + 1;
  }
  f.n = static_cast<std::int16_t>(std::min(n, kMaxVertices));
  f.s = static_cast<std::int16_t>(std::min(s, kMaxSymmetry));
  f.v = static_cast<std::int16_t>(v);
  f.angle_step = 6.2832f / static_cast<float>(f.s);
  f.colour.Start(1);
  f.outline = rand15() % 4 == 0;
  f.width = config.width;
  f.height = config.height;
  f.cx = static_cast<std::int16_t>(config.width / 2);
  f.cy = static_cast<std::int16_t>(config.height / 2);
  if (f.s != 1) {
    // With a half narrower than 2s the extent comes out negative (every
    // move on that axis then leaves the box). With a half of exactly 2s
    // the divisor is 0: the extent is then 0, a box of one line.
    const std::int32_t two_s = 2 * f.s;
    f.x_extent = static_cast<std::int16_t>(ModOrZero(rand15(), f.cx - two_s) - two_s + f.cx);
    f.y_extent = static_cast<std::int16_t>(ModOrZero(rand15(), f.cy - two_s) - two_s + f.cy);
  } else {
    f.x_extent = static_cast<std::int16_t>(config.width);
    f.y_extent = static_cast<std::int16_t>(config.height);
  }
  for (int i = f.n - 1; i >= 0; --i) {
    f.vertices[i].x = ModOrZero(rand15(), f.x_extent);
    f.vertices[i].y = ModOrZero(rand15(), f.y_extent);
    f.velocity[i].x = (rand15() & 1) != 0 ? -f.v : f.v;
    f.velocity[i].y = (rand15() & 1) != 0 ? -f.v : f.v;
  }
  SelectEffect(engine, config.effect, engine != nullptr ? engine->shifted : config.shifted);
  SetRampDecay(engine, 0.9f, 0.09f);
  SetWaveSpread(engine, rand15() % 10 + 8);
  NewPalette(engine);
  f.end_time = now + kImageTime;
  f.interval = rand15() % 30 + 30;
}

void CopyPoints(const Figure& f, int k, POINT* out) {
  const int n = std::max<int>(f.n, 0);  // a count below 0 has no points
  if (f.s == 1 || k == 0) {
    std::copy(f.vertices, f.vertices + n, out);
    return;
  }
  const float a = f.angle_step * static_cast<float>(k);
  const double c = std::cos(double{a}), s = std::sin(double{a});
  for (int i = 0; i < n; ++i) {
    const double p = f.vertices[i].x - f.cx, q = f.vertices[i].y - f.cy;
    out[i].x = WrapAdd32(TruncToInt32(p * c + q * s), f.cx);
    out[i].y = WrapAdd32(TruncToInt32(q * c - p * s), f.cy);
  }
}

void DrawCopies(const Figure& f, HDC dc, PaletteEngine* engine) {
  const TickFunction tick = f.tick != nullptr ? f.tick : PaletteTick;
  POINT points[kMaxVertices];
  for (int k = 0; k < f.s; ++k) {
    CopyPoints(f, k, points);
    Polygon(dc, points, f.n);
    tick(engine, f.interval);
  }
}

void MoveVertices(Figure& f) {
  for (int i = 0; i < f.n; ++i) {
    POINT& p = f.vertices[i];
    POINT& d = f.velocity[i];
    const LONG x = p.x + d.x;
    if (x < 0 || x > f.x_extent) {
      d.x = -d.x;
    } else {
      p.x = x;
    }
    const LONG y = p.y + d.y;
    if (y < 0 || y > f.y_extent) {
      d.y = -d.y;
    } else {
      p.y = y;
    }
  }
}

bool ImageOver(const Figure& f, DWORD now) {
  return TickPassed(now, f.end_time);
}

void Step(Figure& f, HDC dc, PaletteEngine* engine) {
  const int c = f.colour.Next();
  HPEN pen = nullptr;
  if (f.outline) {
    pen = CreatePen(PS_SOLID, 1, PALETTEINDEX(static_cast<WORD>(OutlineIndex(c))));
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(pen));
  } else {
    SelectObject(dc, GetStockObject(NULL_PEN));
  }
  HBRUSH brush = CreateSolidBrush(PALETTEINDEX(static_cast<WORD>(c)));
  SelectObject(dc, reinterpret_cast<HGDIOBJ>(brush));
  DrawCopies(f, dc, engine);
  SelectObject(dc, GetStockObject(BLACK_BRUSH));
  DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
  if (f.outline) {
    SelectObject(dc, GetStockObject(NULL_PEN));
    DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
  }
  MoveVertices(f);
}

}  // namespace orvo::polygon
