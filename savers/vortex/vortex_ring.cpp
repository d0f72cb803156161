#include "savers/vortex/vortex_ring.h"

#include <algorithm>
#include <cmath>

#include "framework/palette/palette_engine.h"

namespace orvo::vortex {
namespace {

constexpr float kUnit = 1.0f / 32767.0f;

float Draw() { return static_cast<float>(rand15()) * kUnit; }

}  // namespace

std::int16_t Points(std::int32_t stored) {
  return static_cast<std::int16_t>(std::clamp(stored, 2, kMaxPoints));
}
std::int32_t Scale(std::int32_t stored) { return std::clamp(stored, 1, 300); }
std::int32_t Duration(std::int32_t stored) { return std::clamp(stored, 0, 2000000); }

void StartImage(Ring& r, const Config& config, DWORD now, PaletteEngine* engine) {
  r.n = Points(config.points);
  r.twist_scale = (Draw() + 3.0f) * static_cast<float>(301 - Scale(config.scale));
  r.twist_amplitude = static_cast<float>(config.amplitude) * 0.0033333334f;
  r.hold_time = static_cast<DWORD>(Duration(config.duration)) * 1000u;
  const int spread = rand15() % 6 + 4;
  if (engine != nullptr) {
    const std::int64_t ms = std::int64_t{std::clamp(config.tweak, 1, 2000000)} * 1000;
    engine->palette_duration = static_cast<std::uint32_t>(ms);
    engine->shifted = config.shifted;
    SelectEffect(engine, config.effect, engine->shifted);
    SetRampDecay(engine, 0.6f, 0.2f);
    SetWaveSpread(engine, spread);
    NewPalette(engine);
  }
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
    p.x = static_cast<std::int16_t>(r.cx + static_cast<std::int32_t>(r.rho * std::sin(p.angle)));
    p.y = static_cast<std::int16_t>(r.cy + static_cast<std::int32_t>(r.rho * std::cos(p.angle)));
  }
  r.rho -= r.delta;
  const float turn = std::sin(r.rho / r.twist_scale) * r.twist_amplitude;
  for (int i = 0; i < r.n; ++i) r.points[i].angle += turn;
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
    return;
  }
  // Only once the ring is gone: with a hold time of 0 the last band stays
  // up for this one step. Compared wrap-safe, so a deadline beyond the
  // tick count's wrap is not taken as already past.
  if (static_cast<std::int32_t>(now - r.deadline) >= 0) r.restart = true;
}

}  // namespace orvo::vortex
