#include "savers/stars/star_field.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "orvo/float_int.h"

namespace orvo::stars {
namespace {

constexpr float kUnit = 1.0f / 32767.0f;
constexpr double kSpin = 0.02;

double Draw() { return static_cast<double>(static_cast<float>(rand15()) * kUnit); }

// Shows the generated colours once, since pixel mode never animates the
// palette: entry 0 is the erase colour (black, like the cleared window) and
// entries 1..234 keep their generated colours.
void ShowStillPalette(HDC dc, PaletteEngine* engine) {
  if (engine == nullptr) return;
  const HPALETTE ours =
      SelectPalette(dc, reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
  SelectPalette(dc, ours, FALSE);
  PALETTEENTRY entries[kPaletteEntries];
  entries[0] = PALETTEENTRY{0, 0, 0, PC_RESERVED};
  for (int i = 1; i < kPaletteEntries; ++i) {
    entries[i] = PALETTEENTRY{engine->current[kRed][i], engine->current[kGreen][i],
                              engine->current[kBlue][i], PC_RESERVED};
  }
  AnimatePalette(ours, 0, kPaletteEntries, entries);
}

}  // namespace

std::int16_t Abs16(std::int32_t stored) {
  // The low 16 bits, then their absolute value; -32768 has none in 16 bits
  // and is held at 32767, so a size, speed or flag set is never negative.
  const int low = static_cast<std::int16_t>(stored);
  return static_cast<std::int16_t>(std::min(low < 0 ? -low : low, 32767));
}

int StarCount(int stored) { return 5 * std::clamp(stored, 1, kMaxStars / 5); }

bool Project(const Camera& c, double x, double y, double z, std::int32_t* sx,
             std::int32_t* sy) {
  if (!(z > c.z)) return false;
  const double d = z - c.z;
  // A star a hair in front of the camera projects far outside any window;
  // such values convert to the integer-indefinite result.
  *sx = TruncToInt32((x - c.x) / d * kFocal + c.x + c.half_width);
  *sy = TruncToInt32(c.half_height - ((y - c.y) / d * kFocal + c.y));
  return true;
}

void Respawn(Field& field, Star& star) {
  const int w = static_cast<int>(field.camera.width);
  const int h = static_cast<int>(field.camera.height);
  star.x = Draw() * (4.0 * w) - 4 * (w / 2);
  star.y = Draw() * (4.0 * h) - 4 * (h / 2);
  star.z = Draw() * (4.0 * w);
  star.brightness = 0;
  Project(field.camera, star.x, star.y, star.z, &star.sx, &star.sy);
}

int StreakIndex(std::uint16_t frame) {
  const int low = frame & 0xFF;
  // Indices 235..255 name no palette entry. Entry 0 (what the display would
  // give them) would paint 21 frames' streaks in one flat colour, and black
  // would cut dark lines through the picture; instead the index turns back
  // from 234 (235 -> 233, ..., 255 -> 213), so each frame's streaks stay a
  // neighbour of the previous frame's as the colour walk of the trails does.
  return low < kPaletteEntries ? low : 2 * (kPaletteEntries - 1) - low;
}

void Start(Field& field, const Config& config, HDC dc, int width, int height,
           PaletteEngine* engine) {
  field.count = static_cast<std::int16_t>(StarCount(config.stars));
  field.pen_width = Abs16(config.size);
  field.speed = Abs16(config.speed);
  field.flags = Abs16(config.type);
  field.pixel_mode = config.tweak == 0;
  if (engine != nullptr) {
    engine->palette_duration =
        field.pixel_mode ? 16777215u : static_cast<std::uint32_t>(config.tweak) * 1000u;
    engine->shifted = config.shifted;
  }
  Camera& cam = field.camera;
  cam.width = width;
  cam.height = height;
  cam.half_width = cam.width * 0.5;
  cam.half_height = cam.height * 0.5;
  field.frame = 0;
  for (int i = field.count - 1; i >= 0; --i) Respawn(field, field.stars[i]);
  if (engine != nullptr) {
    SelectEffect(engine, config.effect, engine->shifted);
    SetRampDecay(engine, 0.8f, 0.14f);
    SetWaveSpread(engine, rand15() % 15 + 8);
    NewPalette(engine);
  } else {
    rand15();  // the wave spread draw keeps its place in the sequence
  }
  if (field.pixel_mode) ShowStillPalette(dc, engine);
  GdiFlush();
  Pass(field, dc);
  GdiSetBatchLimit(std::numeric_limits<DWORD>::max());
}

void Pass(Field& field, HDC dc) {
  const double c = std::cos(kSpin), n = std::sin(kSpin);
  const Camera& cam = field.camera;
  for (int i = 0; i < field.count; ++i) {
    Star& s = field.stars[i];
    s.z -= field.speed;
    const auto px = static_cast<std::int16_t>(s.sx);
    const auto py = static_cast<std::int16_t>(s.sy);
    if (field.pixel_mode) SetPixel(dc, px, py, PALETTEINDEX(0));
    if (field.flags & 1) {
      const double x = s.x * c + s.y * n;
      s.y = s.y * c - s.x * n;
      s.x = x;
    }
    if (field.flags & 2) {
      const double y = s.y * c + s.z * n;
      s.z = s.z * c - s.y * n;
      s.y = y;
    }
    if (field.flags & 4) {
      const double z = s.z * c + s.x * n;
      s.x = s.x * c - s.z * n;
      s.z = z;
    }
    if (!Project(cam, s.x, s.y, s.z, &s.sx, &s.sy)) {
      Respawn(field, s);
      continue;
    }
    if (field.pixel_mode) {
      s.brightness = std::min(s.brightness + 1.5f, 233.0f);
      const auto index = static_cast<WORD>(static_cast<int>(s.brightness) & 0xFF);
      SetPixel(dc, s.sx, s.sy, PALETTEINDEX(index));
    } else if (px > 0 && px < cam.width && py > 0 && py < cam.height) {
      MoveToEx(dc, px, py, nullptr);
      LineTo(dc, s.sx, s.sy);
    }
  }
  GdiFlush();
}

void Sway(Field& field) {
  Camera& cam = field.camera;
  if (field.flags < 8) {
    cam.x = 0;
    cam.y = 0;
    cam.z = kRestDepth;
    return;
  }
  field.sway_a += 0.03;
  field.sway_b += 0.02;
  field.sway_c += 0.01;
  cam.x = 200.0 * std::sin(field.sway_a);
  cam.y = 200.0 * std::sin(field.sway_b);
  cam.z = 100.0 * std::sin(field.sway_c) - 200.0;
}

int StreakWidth(const Field& field) {
  // A streak starts strictly inside the window, so a pen of twice the
  // window's width plus height already paints every pixel of the window
  // from that start; wider pens are drawn at that width, which paints the
  // same pixels at a cost that does not grow with the pen.
  const int covering =
      2 * (static_cast<int>(field.camera.width) + static_cast<int>(field.camera.height)) + 2;
  return field.pen_width > covering ? covering : field.pen_width;
}

void Step(Field& field, HDC dc, PaletteEngine* engine) {
  ++field.frame;
  if (!field.pixel_mode) PaletteTick(engine, 0);
  Sway(field);
  const HPEN pen = CreatePen(PS_SOLID, StreakWidth(field),
                             PALETTEINDEX(static_cast<WORD>(StreakIndex(field.frame))));
  SelectObject(dc, reinterpret_cast<HGDIOBJ>(pen));
  Pass(field, dc);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
}

}  // namespace orvo::stars
