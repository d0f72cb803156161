#include "savers/vortex/vortex_ring.h"

#include <algorithm>
#include <cmath>

#include "framework/palette/palette_engine.h"
#include "orvo/float_int.h"
#include "orvo/ticks.h"

namespace orvo::vortex {
namespace {

constexpr float kUnit = 1.0f / 32767.0f;

float Draw() { return static_cast<float>(rand15()) * kUnit; }

// cx + trunc(rho * sin(angle)) kept in 16 bits, as the point fields are.
// A NaN or far-off product converts to the defined indefinite value.
std::int16_t Coordinate(std::int16_t centre, float rho, double wave) {
  return static_cast<std::int16_t>(WrapAdd32(centre, TruncToInt32(double{rho} * wave)));
}

}  // namespace

std::int16_t Points(std::int32_t stored) {
  if (stored <= 0) return 2;
  return static_cast<std::int16_t>(std::min(stored, kMaxPoints));
}

std::int32_t Duration(std::int32_t stored) { return std::clamp(stored, -2147483, 2147483); }

void BeginImage(Ring& r, const Config& config) {
  r.n = Points(config.points);
  // 301 - Scale in 32-bit arithmetic: Scale 301 gives a twist scale of 0
  // (the turn is then NaN and the ring collapses to the centre, see
  // Coordinate), larger values a negative one.
  const auto span = static_cast<std::int32_t>(301u - static_cast<std::uint32_t>(config.scale));
  r.twist_scale = (Draw() + 3.0f) * static_cast<float>(span);
  r.twist_amplitude = static_cast<float>(config.amplitude) * 0.0033333334f;
  r.hold_time = static_cast<DWORD>(Duration(config.duration)) * 1000u;
}

void FinishImage(Ring& r, const Config& config, DWORD now, PaletteEngine* engine) {
  if (engine != nullptr) {
    engine->palette_duration = static_cast<std::uint32_t>(config.tweak) * 1000u;
    engine->shifted = config.shifted;
  }
  SelectEffect(engine, config.effect, engine != nullptr ? engine->shifted : config.shifted);
  SetRampDecay(engine, 0.6f, 0.2f);
  SetWaveSpread(engine, rand15() % 6 + 4);
  NewPalette(engine);

  const std::int32_t half_w = config.width / 2, half_h = config.height / 2;
  r.cx = static_cast<std::int16_t>(half_w);
  r.cy = static_cast<std::int16_t>(half_h);
  r.rho = std::sqrt(static_cast<float>(half_w) * static_cast<float>(half_w) +
                    static_cast<float>(half_h) * static_cast<float>(half_h));
  r.delta = Draw() * 6.0f + 3.0f;

  const float sector = 6.283184f / static_cast<float>(r.n);
  const int q = rand15();
  r.mirrored = q % 3 != 0;
  float angle = 0.0f;
  for (int i = r.n - 1; i >= 0; --i) {
    RingPoint& p = r.points[i];
    p.x = p.prev_x = r.cx;
    p.y = p.prev_y = r.cy;
    p.angle = angle;
    p.offset = static_cast<std::int16_t>(r.mirrored && (i & 1) != 0 ? r.n - i : i);
    angle += sector;
  }
  RingStep(r);
  r.frame = 1;
  r.restart = false;
  r.interval = rand15() % 20 + 30;
  r.deadline = now + r.hold_time;
}

void RingStep(Ring& r) {
  for (int i = r.n - 1; i >= 0; --i) {
    RingPoint& p = r.points[i];
    p.prev_x = p.x;
    p.prev_y = p.y;
    p.x = Coordinate(r.cx, r.rho, std::sin(double{p.angle}));
    p.y = Coordinate(r.cy, r.rho, std::cos(double{p.angle}));
  }
  r.rho -= r.delta;
  const double turn = std::sin(double{r.rho / r.twist_scale}) * r.twist_amplitude;
  for (int i = 0; i < r.n; ++i) {
    r.points[i].angle = static_cast<float>(r.points[i].angle + turn);
  }
}

int BandIndex(const Ring& r, int i) {
  const int index = (r.points[i].offset + r.frame) % kPaletteEntries;
  return index < 0 ? index + kPaletteEntries : index;
}

void DrawBand(Ring& r, HDC dc) {
  SelectObject(dc, GetStockObject(NULL_PEN));
  for (int i = 0; i < r.n; ++i) {
    const RingPoint& a = r.points[i];
    const RingPoint& b = r.points[(i + 1) % r.n];
    HBRUSH brush = CreateSolidBrush(PALETTEINDEX(static_cast<WORD>(BandIndex(r, i))));
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(brush));
    const POINT quad[4] = {{a.x, a.y}, {b.x, b.y}, {b.prev_x, b.prev_y}, {a.prev_x, a.prev_y}};
    Polygon(dc, quad, 4);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
  }
  r.frame = static_cast<std::int16_t>(r.frame + 1);
}

void Step(Ring& r, HDC dc, DWORD now, PaletteEngine* engine) {
  PaletteTick(engine, r.interval);
  if (r.rho > 0.0f) {
    RingStep(r);
    DrawBand(r, dc);
    r.deadline = now + r.hold_time;
  }
  // Strictly past, compared wrap-safe, so a deadline beyond the tick
  // count's wrap is not taken as already past. With a hold time of 0 the
  // finished vortex stays up until the tick count moves on.
  if (TickPassed(now, r.deadline)) r.restart = true;
}

}  // namespace orvo::vortex
