#include "savers/beziers/beziers_figure.h"

#include <algorithm>
#include <cmath>

#include "framework/palette/palette_engine.h"
#include "orvo/float_int.h"

namespace orvo::beziers {
namespace {

constexpr float kTurn = 6.2832f;
constexpr int kMargin = 40;

// Draws the curves from points 0, 2, 4, ... while below B.
void DrawCurves(const Figure& f, const POINT* points, HDC dc, PaletteEngine* engine) {
  for (int k = 0; k < f.b; k += 2) {
    PolyBezier(dc, points + k, 4);
    PaletteTick(engine, f.interval);
  }
}

// rand() % n for the scatter; a window of 10 pixels or less has no room
// to scatter in, so every point starts 5 pixels in on that axis.
int Scatter(int extent) {
  const int draw = rand15();
  return extent > 10 ? draw % (extent - 10) + 5 : 5;
}

}  // namespace

std::int16_t CurveSetting(std::int32_t stored) {
  return std::clamp<std::int16_t>(static_cast<std::int16_t>(stored), 1, kMostCurves);
}

std::int16_t Symmetry(std::int32_t stored) {
  return std::clamp<std::int16_t>(static_cast<std::int16_t>(stored), 1, kMostCopies);
}

std::int16_t PenWidth(std::int32_t stored) { return static_cast<std::int16_t>(stored); }

int SpeedRange(std::int16_t width) {
  const int range = (width >> 2) + 4;
  return range == 0 ? 1 : range;
}

int CurvesPerCopy(const Figure& f) { return (f.b + 1) / 2; }

void MovePoints(const Figure& f, PointSet& set) {
  for (int i = 0; i < f.p; ++i) {
    POINT& pt = set.points[i];
    POINT& v = set.velocity[i];
    const LONG nx = pt.x + f.speed * v.x;
    if (nx >= f.x_min && nx < f.x_end) {
      pt.x = nx;
    } else {
      v.x = -v.x;
    }
    const LONG ny = pt.y + f.speed * v.y;
    if (ny >= f.y_min && ny < f.y_end) {
      pt.y = ny;
    } else {
      v.y = -v.y;
    }
  }
}

void DrawPoints(const Figure& f, const PointSet& set, HDC dc, PaletteEngine* engine) {
  if (f.s <= 1) {
    DrawCurves(f, set.points, dc, engine);
    return;
  }
  POINT rotated[kMaxPoints];
  for (int s = 0; s < f.s; ++s) {
    const float a = static_cast<float>(s) * f.phi;
    const double c = std::cos(double{a}), sn = std::sin(double{a});
    for (int i = 0; i < f.p; ++i) {
      const double dx = set.points[i].x - f.cx;
      const double dy = set.points[i].y - f.cy;
      rotated[i].x = WrapAdd32(TruncToInt32(dx * c + dy * sn), f.cx);
      rotated[i].y = WrapAdd32(TruncToInt32(dy * c - dx * sn), f.cy);
    }
    DrawCurves(f, rotated, dc, engine);
  }
}

void NewFigure(Figure& f, const Config& config, DWORD now, PaletteEngine* engine) {
  f.b = CurveSetting(config.beziers);
  f.p = static_cast<std::int16_t>(2 * f.b + 4);
  f.s = Symmetry(config.symmetry);
  f.width = PenWidth(config.pen_width);
  f.window_width = config.width;
  f.window_height = config.height;
  if (engine != nullptr) {
    engine->palette_duration = static_cast<std::uint32_t>(config.tweak) * 1000u;
    engine->shifted = config.shifted;
  }
  f.change_time = now + static_cast<DWORD>(200 * (5 * (rand15() % 40) + 50));
  f.speed = static_cast<std::int16_t>(rand15() % SpeedRange(f.width) + 1);
  SelectEffect(engine, config.effect, engine != nullptr ? engine->shifted : config.shifted);
  SetRampDecay(engine, 0.6f, 0.2f);
  SetWaveSpread(engine, rand15() % (f.b + 10) + 6);
  NewPalette(engine);
  f.phi = kTurn / static_cast<float>(f.s);
  f.cx = static_cast<std::int16_t>(config.width >> 1);
  f.cy = static_cast<std::int16_t>(config.height >> 1);
  f.x_min = static_cast<std::int16_t>(-kMargin - f.width);
  f.x_end = static_cast<std::int16_t>(config.width + f.width + kMargin);
  f.y_min = static_cast<std::int16_t>(-kMargin - f.width);
  f.y_end = static_cast<std::int16_t>(config.height + f.width + kMargin);
  // The draws are made even when there is no set to hold the points, so
  // the sequence stays the same.
  PointSet scratch;
  PointSet& head = f.trail.attached() ? f.trail.head() : scratch;
  for (int i = 0; i < f.p; ++i) {
    head.points[i].x = Scatter(config.width);
    head.points[i].y = Scatter(config.height);
    head.velocity[i].x = rand15() % 2 == 0 ? 1 : -1;
    head.velocity[i].y = rand15() % 2 == 0 ? 1 : -1;
  }
  f.trail.Start(config.tail_length);
  f.interval = rand15() % 20 + 30;
}

void Step(Figure& f, HDC dc, PaletteEngine* engine) {
  f.trail.Step(dc, f.width, [&](PointSet& set) {
    MovePoints(f, set);
    DrawPoints(f, set, dc, engine);
  });
}

}  // namespace orvo::beziers
