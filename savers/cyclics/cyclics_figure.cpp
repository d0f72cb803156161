#include "savers/cyclics/cyclics_figure.h"

#include <cmath>

#include "framework/palette/palette_engine.h"
#include "orvo/float_int.h"

namespace orvo::cyclics {
namespace {

constexpr float kRandScale = 1.0f / 32767.0f;  // the single-precision 1/32767
constexpr float kTurn = 6.283184f;
constexpr float kDrift = 0.01f;

// One fresh draw scaled to 0..1.
float Fresh() { return static_cast<float>(rand15()) * kRandScale; }

double S(double v) { return std::sin(v); }

// -v with 32-bit wrap-around (the negation of -2^31 is itself).
std::int32_t WrapNeg(std::int32_t v) {
  return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(v));
}

}  // namespace

std::int16_t CyclicCount(std::int32_t stored) {
  const std::int16_t n = static_cast<std::int16_t>(stored);
  return n > kMaxCyclics ? static_cast<std::int16_t>(kMaxCyclics) : n;
}

std::int16_t SpeedDivisor(std::int32_t spasticity) {
  const auto sp = static_cast<std::int16_t>(WrapAdd32(51, WrapNeg(spasticity)));
  return sp < 1 ? std::int16_t{1} : sp;
}

std::int16_t PenWidth(std::int32_t stored) { return static_cast<std::int16_t>(stored); }

PathValues Path(int mode, const CyclicSet& set, float amplitude, float theta) {
  const double a0 = set.a0, a1 = set.a1, a3 = set.a3;
  double a = 0.0, b = 0.0;
  switch (mode) {
    case 2: a = S(a0); b = S(a0 + a1); break;
    case 3: a = S(a0 + a1); b = S(a1); break;
    case 4: a = S(a0 + a3); b = S(a1 + a3); break;
    case 5: a = S(a0); b = S(std::cos(a1) + a3); break;
    case 6: a = S(std::cos(a0) + a3); b = S(a0); break;
    case 7: a = S(a3); b = S(a3 + S(a3)); break;
    case 8: a = S(a1 + a3); b = S(a3); break;
    default: a = S(a0); b = std::cos(a1); break;
  }
  return PathValues{static_cast<float>(amplitude * a), static_cast<float>(theta * b)};
}

void InitialiseSet(const Figure& f, CyclicSet& set) {
  set.a0 = set.a1 = set.a2 = 0.0f;
  set.a3 = static_cast<float>(std::sin(0.0));
  if (f.n <= 0) return;  // no cyclics: no turn to divide
  const float step = kTurn / static_cast<float>(f.n);
  float accumulator = 0.0f;
  for (int i = f.n - 1; i >= 0; --i) {
    CyclicRecord& r = set.records[i];
    r.x = f.cx;
    r.y = f.cy;
    r.angle = accumulator;
    accumulator = accumulator + step;
  }
}

void MoveSet(const Figure& f, CyclicSet& set) {
  for (int i = f.n - 1; i >= 0; --i) {
    CyclicRecord& r = set.records[i];
    const PathValues p = Path(f.x_mode, set, f.amplitude, r.angle);
    r.previous_x = r.x;
    r.x = static_cast<std::int16_t>(WrapAdd32(f.cx, TruncToInt32(std::sin(double{p.b}) * p.a)));
  }
  for (int i = f.n - 1; i >= 0; --i) {
    CyclicRecord& r = set.records[i];
    const PathValues p = Path(f.y_mode, set, f.amplitude, r.angle);
    r.previous_y = r.y;
    r.y = static_cast<std::int16_t>(WrapAdd32(f.cy, TruncToInt32(std::cos(double{p.b}) * p.a)));
  }
  set.a0 = set.a0 + f.d0;
  set.a1 = set.a1 + f.d1;
  set.a2 = set.a2 + f.d2;
  set.a3 = static_cast<float>(std::sin(double{set.a2}));
  const double g = std::sin(double{set.a1} + set.a0) * double{kDrift};
  for (int i = f.n - 1; i >= 0; --i) {
    CyclicRecord& r = set.records[i];
    r.angle = static_cast<float>(r.angle + g);
  }
}

void DrawSet(const Figure& f, const CyclicSet& set, HDC dc, PaletteEngine* engine) {
  const int w = f.window_width, h = f.window_height;
  for (int i = f.n - 1; i >= 0; --i) {
    const CyclicRecord& r = set.records[i];
    MoveToEx(dc, r.x, r.y, nullptr);
    LineTo(dc, r.previous_x, r.previous_y);
    if (f.mirror) {
      MoveToEx(dc, w - r.x, r.y, nullptr);
      LineTo(dc, w - r.previous_x, r.previous_y);
      MoveToEx(dc, w - r.x, h - r.y, nullptr);
      LineTo(dc, w - r.previous_x, h - r.previous_y);
      MoveToEx(dc, r.x, h - r.y, nullptr);
      LineTo(dc, r.previous_x, h - r.previous_y);
    }
    PaletteTick(engine, f.interval);
  }
}

void NewFigure(Figure& f, const Config& config, DWORD now, PaletteEngine* engine) {
  f.n = CyclicCount(config.cyclics);
  f.sp = SpeedDivisor(config.spasticity);
  f.width = PenWidth(config.pen_width);
  f.window_width = config.width;
  f.window_height = config.height;
  if (engine != nullptr) {
    engine->palette_duration = static_cast<std::uint32_t>(config.tweak) * 1000u;
    engine->shifted = config.shifted;
  }
  f.pulse_phase = 0.0f;
  const int a = rand15();
  const int b = rand15();
  f.pulsing = f.width == 0;
  f.pulse_speed = static_cast<float>(static_cast<float>(a) * kRandScale / (b % 5 + 5.0));
  f.change_time = now + static_cast<DWORD>(200 * (5 * (rand15() % (10 * f.sp)) + 100));
  SelectEffect(engine, config.effect, engine != nullptr ? engine->shifted : config.shifted);
  SetRampDecay(engine, 0.8f, 0.16f);
  SetWaveSpread(engine, rand15() % 12 + 4);
  NewPalette(engine);
  f.d0 = static_cast<float>((Fresh() + 0.05) / (f.sp * 3.0));
  f.d1 = static_cast<float>((Fresh() + 0.05) / (f.sp * 5.0));
  f.d2 = static_cast<float>((Fresh() + 0.05) / (f.sp * 4.0));
  f.cx = static_cast<std::int16_t>(config.width / 2);
  f.cy = static_cast<std::int16_t>(config.height / 2);
  f.x_mode = static_cast<std::int16_t>(rand15() % 8 + 1);
  f.amplitude = static_cast<float>(f.cx);
  f.y_mode = static_cast<std::int16_t>(rand15() % 8 + 1);
  f.mirror = rand15() % 2 != 0;
  // Both copies start identical: initialised and moved once, so every
  // previous position is the centre.
  if (f.trail.attached()) {
    InitialiseSet(f, f.trail.head());
    MoveSet(f, f.trail.head());
  }
  f.trail.Start(config.tail_length);
  f.interval = rand15() % 20 + 30;
}

int StrokeWidth(const Figure& f) {
  // Every segment starts at a cyclic: x within 0..W (|A| <= cx), y within
  // cx of the centre row (mirrored ones too), so no pixel of the window
  // lies farther than 2 x (W + H) + 2 from a segment. A pen twice that wide
  // already paints the whole window; wider ones are drawn at that width,
  // which paints the same pixels at a cost that does not grow with the pen.
  const int covering = 4 * (f.window_width + f.window_height) + 4;
  return f.width > covering ? covering : f.width;
}

void Step(Figure& f, HDC dc, PaletteEngine* engine) {
  if (f.pulsing) {
    f.pulse_phase = f.pulse_phase + f.pulse_speed;
    f.width = static_cast<std::int16_t>(
        TruncToInt32(std::fabs(std::sin(double{f.pulse_phase}) * 70.0)) + 70);
  }
  f.trail.Step(dc, StrokeWidth(f), [&](CyclicSet& set) {
    MoveSet(f, set);
    DrawSet(f, set, dc, engine);
  });
}

}  // namespace orvo::cyclics
