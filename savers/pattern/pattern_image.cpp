#include "savers/pattern/pattern_image.h"

#include <cmath>
#include <cstdlib>

#include "orvo/win_kernel.h"

namespace orvo::pattern {
namespace {

bool g_toggle = false;

// 1/32767 and 1/32766 as single-precision values.
const float kUnit = 1.0f / 32767.0f;
const float kSineScale = 1.0f / 32766.0f;

// trunc(v) taken as a signed 16-bit value (wrapping); 0 for a non-finite v.
std::int16_t TruncToInt16(double v) {
  if (v > -2147483648.0 && v < 2147483648.0) {
    return static_cast<std::int16_t>(static_cast<std::int32_t>(v));  // the common case
  }
  if (!std::isfinite(v)) return 0;
  const double wrapped = std::fmod(std::trunc(v), 65536.0);
  return static_cast<std::int16_t>(static_cast<std::int32_t>(wrapped));
}

// trunc(num / den) rem 2048 for a 32-bit quotient; 0 when it is not finite.
int ProfileIndex(float num, float den) {
  if (den == 0.0f) return 0;
  const float q = num / den;
  if (q >= 0.0f && q < 2147483648.0f) return static_cast<std::int32_t>(q) % kSamples;
  if (!std::isfinite(q)) return 0;
  int i = static_cast<int>(std::fmod(std::trunc(static_cast<double>(q)), 2048.0));
  return i < 0 ? i + kSamples : i;
}

// idx(num / den); a zero divisor (a wavelength slot never drawn) gives 0.
int IndexOf(int num, float den) {
  if (den == 0.0f) return 0;
  return WaveIndex(static_cast<float>(num) / den);
}

// |trunc(v)| rem m for a float product; 0 when not finite or m < 1.
int AbsTruncRem(float v, int m) {
  if (m < 1 || !std::isfinite(v)) return 0;
  return static_cast<int>(std::fmod(std::fabs(std::trunc(static_cast<double>(v))), m));
}

// Sine factor S[|j rem 2048|] * c for j = trunc(f * 2048) as 16-bit.
float SineFactor(float f, const std::int16_t* sine) {
  const int j = TruncToInt16(static_cast<double>(f * 2048.0f));
  return static_cast<float>(sine[std::abs(j % kSamples)]) * kSineScale;
}

// |trunc(c * a)|, never above `limit` (|a| stays within 1).
int ScaledCoordinate(int c, float a, int limit) {
  const float v = std::fabs(static_cast<float>(c) * a);
  if (!std::isfinite(v)) return 0;
  const int r = static_cast<int>(std::fmin(v, static_cast<float>(limit)));
  return r < 0 ? 0 : r;
}

std::int32_t Abs32(std::int32_t v) { return v < 0 ? -v : v; }

}  // namespace

bool SignedProfiles(int type) { return type >= 3 && type <= 8; }

int WaveIndex(float q) {
  const int k = TruncToInt16(static_cast<double>(q));
  const int i = k % kSamples;
  return i < 0 ? i + kSamples : i;
}

int RemOrZero(std::int32_t a, std::int32_t b) { return b < 1 ? 0 : a % b; }

bool AlternationToggle() { return g_toggle; }
void SetAlternationToggleForTesting(bool value) { g_toggle = value; }

float RandomUnit() { return static_cast<float>(rand15()) * kUnit; }

void Image::Attach(std::int16_t* column_profile, std::int16_t* row_profile, int width, int height) {
  columns = column_profile;
  rows = row_profile;
  w = width;
  h = height;
  xmax = width - 1;
  ymax = height - 1;
}

void Image::DrawParameters(bool coarse) {
  pc = static_cast<std::uint16_t>(rand15() % kIndices);
  pr = static_cast<std::uint16_t>(rand15() % kIndices);
  f1 = RandomUnit() + 0.05f;
  f2 = RandomUnit() + 0.05f;
  mode = rand15() % 4;
  distortion = rand15() % 3 == 0;
  if (mode == 1) {
    k = RandomUnit() * 25000.0f + 4000.0f;
  } else if (mode == 2) {
    k = RandomUnit() * 40000.0f + 1000.0f;
  } else {
    k = RandomUnit() * 1000000.0f + 50000.0f;
  }
  band = static_cast<std::int16_t>(rand15() % 12000 + 1);
  divisor = static_cast<std::int16_t>(rand15() % 12 + 1);
  float base = 0.2f;
  if (coarse || distortion) {
    base = coarse ? 0.6f : 0.4f;
    band = static_cast<std::int16_t>(band + 2048);
    shift = 6 + rand15() % 2;
  } else {
    shift = 6;
  }
  for (int i = 0; i < n; ++i) {
    lc[i] = RandomUnit() * 1.5f + base;
    lr[i] = RandomUnit() * 1.5f + base;
  }
}

std::int16_t Image::WaveAverage(int p, const float* lengths, const std::int16_t* wave) const {
  const bool keep_sign = SignedProfiles(t);
  const float position = static_cast<float>(p);
  std::int32_t sum = 0;
  for (int i = 0; i < n; ++i) {
    const std::int32_t sample = wave[ProfileIndex(position, lengths[i])];
    sum += keep_sign ? sample : Abs32(sample);
  }
  return static_cast<std::int16_t>(sum / n);
}

void Image::BuildProfiles(const std::int16_t* wave) {
  for (int y = 0; y <= ymax; ++y) rows[y] = WaveAverage(pr + y, lr, wave);
  for (int x = 0; x <= xmax; ++x) columns[x] = WaveAverage(pc + x, lc, wave);
}

void Image::Distort(int x, int y, const std::int16_t* sine, int* xd, int* yd) const {
  const float dx = static_cast<float>(x - (xmax >> 1));
  const float dy = static_cast<float>(y - (ymax >> 1));
  float a = 0.0f;
  switch (mode) {
    case 0:
      a = SineFactor((dy * dy + dx * dx) / k, sine);
      break;
    case 1:
      a = SineFactor(static_cast<float>(P(x, y)) / k, sine);
      break;
    case 2:
      a = SineFactor(static_cast<float>(rows[y]) / k, sine) +
          SineFactor(static_cast<float>(columns[x]) / k, sine);
      break;
    default: {
      const float f = (dy * dy + dx * dx) / k;
      *yd = AbsTruncRem(static_cast<float>(y) * f, h);
      *xd = AbsTruncRem(static_cast<float>(x) * f, w);
      return;
    }
  }
  *yd = ScaledCoordinate(y, a, ymax);
  *xd = ScaledCoordinate(x, a, xmax);
}

int Image::Pixel(int x, int y, int xd, int yd, std::int32_t rt, const std::int16_t* wave) {
  const int xm = xmax - xd, ym = ymax - yd;
  const std::int32_t p = P(xd, yd);
  auto m1 = [&] { return P(xm, ym); };
  auto m2 = [&] { return P(xd, ym); };
  auto m3 = [&] { return P(xm, yd); };
  auto quadrant = [&](std::int32_t q, std::int32_t v0, bool absolute) {
    std::int32_t v = v0;
    if (q == 1) v = m1();
    if (q == 2) v = m2();
    if (q == 3) v = m3();
    return absolute && q >= 1 && q <= 3 ? Abs32(v) : v;
  };
  auto column_term = [&] { return (static_cast<std::int32_t>(xd * f1) % kIndices) ^ rt; };
  auto alternate = [] {
    const bool set = g_toggle;
    g_toggle = !g_toggle;
    return set;
  };
  auto a6 = [&] {
    std::int32_t sum = 0;
    for (int i = 0; i < n; ++i) sum += Abs32(wave[IndexOf(xd, lc[i])] + row_terms[i]);
    return sum / n;
  };
  const int s = shift;
  switch (t) {
    case 0:
      return p >> s;
    case 1:
      return quadrant((p / band) % 4, p, false) >> s;
    case 2:
      return (p >> s) % 20 + column_term() / divisor;
    case 3:
      return Abs32(p) >> s;
    case 4:
      return quadrant((Abs32(p) / band) % 4, Abs32(p), true) >> s;
    case 5:
      return (Abs32(p) >> s) % 20 + column_term() / divisor;
    case 6:
      return a6() >> s;
    case 7: {
      const std::int32_t a = a6();
      return quadrant((a / band) % 4, a, true) >> s;
    }
    case 8: {
      const std::int32_t a = a6();
      const std::int32_t q = (a / band) % 3;
      std::int32_t v = a;
      if (q == 1) v = Abs32(m1());
      if (q == 2) v = Abs32(P(RemOrZero(2 * xd, xmax), RemOrZero(2 * yd, ymax)));
      return v >> s;
    }
    case 9:
      return quadrant((x + y) % 4, p, false) >> s;
    case 10:
      return (alternate() ? Abs32(p) : Abs32(m1())) >> s;
    case 11:
      return (Abs32(p) >> s) & (Abs32(m1()) >> s);
    case 12:
      return (Abs32(p) >> s) + ((Abs32(m1()) >> s) & 15);
    case 13:
      return (Abs32(p) + Abs32(m1())) >> (s + 1);
    case 14: {
      const std::int32_t t14 = p >> (s + 6);
      const int xi = RemOrZero(xd + 100 * t14, xmax);
      const int yi = RemOrZero(yd + 100 * t14, ymax);
      return Abs32(P(xi < 0 ? 0 : xi, yi < 0 ? 0 : yi)) >> s;
    }
    case 15: {
      const std::int32_t v0 = alternate() ? Abs32(p) : Abs32(m1());
      return quadrant((v0 / band) % 4, v0, true) >> s;
    }
    case 16: {
      const int slot = alternate() ? 0 : 1;
      const std::int32_t v = wave[IndexOf(yd, lr[slot])] + wave[IndexOf(xd, lc[slot])];
      return Abs32(v) >> (s + 1);
    }
    case 17:
      return alternate() ? p >> s : column_term();
    case 18:
      if (alternate()) {
        shift = 7;
        return Abs32(p) >> 7;
      }
      shift = 5;
      return Abs32(m1()) >> 5;
    case 19: {
      const std::int32_t ap = Abs32(p) >> s, a1 = Abs32(m1()) >> s;
      const std::int32_t a2 = Abs32(m2()) >> s, a3 = Abs32(m3()) >> s;
      return alternate() ? ap + (a1 & 7) + (a2 & 7) : a1 + (a3 & 7) + (ap & 7);
    }
    case 20: {
      std::int32_t v = 0;
      if (alternate()) {
        v = wave[IndexOf(yd, lr[0])] + wave[IndexOf(xd, lc[0])];
      } else {
        v = wave[IndexOf(x, lc[1])] + wave[IndexOf(y, lr[1])];
      }
      return Abs32(v) >> (s + 1);
    }
    default:
      return 0;
  }
}

void Image::ComputeRow(int y, std::uint8_t* out, const std::int16_t* wave,
                       const std::int16_t* sine) {
  std::int32_t rt = 0;
  if (t == 2 || t == 5 || t == 17) rt = static_cast<std::int32_t>(y * f2) % kIndices;
  if (t >= 6 && t <= 8) {
    for (int i = n - 1; i >= 0; --i) row_terms[i] = wave[IndexOf(y, lr[i])];
  }
  for (int x = xmax; x >= 0; --x) {
    int xd = x, yd = y;
    if (distortion) Distort(x, y, sine, &xd, &yd);
    int v = Pixel(x, y, xd, yd, rt, wave) % kIndices;
    // Every formula yields a non-negative value on profiles of its own
    // kind; a negative one would only come from a foreign profile.
    if (v < 0) v += kIndices;
    out[x] = static_cast<std::uint8_t>(v);
  }
}

}  // namespace orvo::pattern
