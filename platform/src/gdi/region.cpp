// Regions (sets of pixels as sorted row spans) and the DC's clip region.
//
// A region holds the pixels of its shape within the display's coordinate
// range [-32768, 32768) on both axes; no surface reaches beyond it, and
// the bound keeps a region made from absurd coordinates small.
#include <algorithm>
#include <memory>

#include "base/geometry.h"
#include "base/polygon_rows.h"
#include "gdi/gdi_objects.h"

using namespace orvo::platform;
using namespace orvo::platform::raster;

namespace {

constexpr Coord kRegionLo = -32768;
constexpr Coord kRegionHi = 32768;

// Working storage of the region calls, kept between calls so that regions
// made and combined in every frame step allocate nothing once warmed up.
std::vector<Span>& ScratchSpans() {
  static std::vector<Span> spans;
  return spans;
}

// Sorts spans and merges those that overlap or touch on a row, into out.
void Normalise(std::vector<Span>& spans, std::vector<Span>& out) {
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
    return a.y != b.y ? a.y < b.y : a.x0 < b.x0;
  });
  out.clear();
  for (const Span& s : spans) {
    if (s.x0 >= s.x1) continue;
    if (!out.empty() && out.back().y == s.y && s.x0 <= out.back().x1) {
      out.back().x1 = std::max(out.back().x1, s.x1);
    } else {
      out.push_back(s);
    }
  }
}

// A sink collecting spans clamped to the region coordinate range.
struct Collector {
  std::vector<Span>& spans;
  void operator()(Coord y, Coord x0, Coord x1) {
    if (y < kRegionLo || y >= kRegionHi) return;
    x0 = std::max(x0, kRegionLo);
    x1 = std::min(x1, kRegionHi);
    if (x0 < x1) spans.push_back(Span{static_cast<int>(y), static_cast<int>(x0),
                                      static_cast<int>(x1)});
  }
};

// A region of the collected spans (sorted and merged); empties `spans`.
HRGN NewRegion(std::vector<Span>& spans) {
  auto region = NewObject<Region>();
  Normalise(spans, region->spans);
  spans.clear();
  return reinterpret_cast<HRGN>(AddObject(std::move(region)));
}

// A region holding a copy of spans that are already normalised.
HRGN CopyRegion(const std::vector<Span>& spans) {
  auto region = NewObject<Region>();
  region->spans.assign(spans.begin(), spans.end());
  return reinterpret_cast<HRGN>(AddObject(std::move(region)));
}

int Complexity(const std::vector<Span>& spans) {
  if (spans.empty()) return NULLREGION;
  for (std::size_t i = 1; i < spans.size(); ++i) {
    const Span& a = spans[i - 1];
    const Span& b = spans[i];
    if (b.y != a.y + 1 || b.x0 != a.x0 || b.x1 != a.x1) return COMPLEXREGION;
  }
  return SIMPLEREGION;
}

// Applies a set operation to two rows of disjoint sorted spans.
template <typename Op>
void CombineRow(int y, const Span* a, const Span* a_end, const Span* b, const Span* b_end, Op op,
                std::vector<Span>& out) {
  static std::vector<int> cuts;
  cuts.clear();
  for (const Span* s = a; s != a_end; ++s) cuts.insert(cuts.end(), {s->x0, s->x1});
  for (const Span* s = b; s != b_end; ++s) cuts.insert(cuts.end(), {s->x0, s->x1});
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  auto inside = [](const Span*& s, const Span* end, int x) {
    while (s != end && s->x1 <= x) ++s;
    return s != end && s->x0 <= x;
  };
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    const int x = cuts[i];
    const bool in_a = inside(a, a_end, x);
    const bool in_b = inside(b, b_end, x);
    if (!op(in_a, in_b)) continue;
    if (!out.empty() && out.back().y == y && out.back().x1 == x) {
      out.back().x1 = cuts[i + 1];
    } else {
      out.push_back(Span{y, x, cuts[i + 1]});
    }
  }
}

template <typename Op>
void Combine(const std::vector<Span>& a, const std::vector<Span>& b, Op op,
             std::vector<Span>& out) {
  out.clear();
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() || j < b.size()) {
    int y;
    if (i == a.size()) {
      y = b[j].y;
    } else if (j == b.size()) {
      y = a[i].y;
    } else {
      y = std::min(a[i].y, b[j].y);
    }
    std::size_t i_end = i;
    while (i_end < a.size() && a[i_end].y == y) ++i_end;
    std::size_t j_end = j;
    while (j_end < b.size() && b[j_end].y == y) ++j_end;
    CombineRow(y, a.data() + i, a.data() + i_end, b.data() + j, b.data() + j_end, op, out);
    i = i_end;
    j = j_end;
  }
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  const Coord x0 = std::max<Coord>(std::min(left, right), kRegionLo);
  const Coord x1 = std::min<Coord>(std::max(left, right), kRegionHi);
  const Coord y0 = std::max<Coord>(std::min(top, bottom), kRegionLo);
  const Coord y1 = std::min<Coord>(std::max(top, bottom), kRegionHi);
  std::vector<Span>& spans = ScratchSpans();
  spans.clear();
  if (x0 < x1) {
    for (Coord y = y0; y < y1; ++y) {
      spans.push_back(Span{static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1)});
    }
  }
  return NewRegion(spans);
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
  std::vector<Span>& spans = ScratchSpans();
  spans.clear();
  EllipseSpans(std::min(left, right), std::min(top, bottom), std::max(left, right),
               std::max(top, bottom), kRegionLo, kRegionHi, Collector{spans});
  return NewRegion(spans);
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fill_mode) {
  if (points == nullptr || count <= 0 || (fill_mode != ALTERNATE && fill_mode != WINDING)) {
    return nullptr;
  }
  static std::vector<IPoint> path;
  path.clear();
  for (int i = 0; i < count; ++i) path.push_back(IPoint{points[i].x, points[i].y});
  std::vector<Span>& spans = ScratchSpans();
  spans.clear();
  PolygonSpans(path, fill_mode == WINDING, kRegionLo, kRegionHi, Collector{spans});
  return NewRegion(spans);
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
  Region* d = FindRegion(dest);
  const Region* a = FindRegion(src1);
  if (d == nullptr || a == nullptr) return ERROR;
  if (mode == RGN_COPY) {
    if (d != a) d->spans.assign(a->spans.begin(), a->spans.end());
    return Complexity(d->spans);
  }
  const Region* b = FindRegion(src2);
  if (b == nullptr) return ERROR;
  // The destination may be one of the sources: combine into scratch first.
  std::vector<Span>& result = ScratchSpans();
  switch (mode) {
    case RGN_AND: Combine(a->spans, b->spans, [](bool x, bool y) { return x && y; }, result); break;
    case RGN_OR: Combine(a->spans, b->spans, [](bool x, bool y) { return x || y; }, result); break;
    case RGN_XOR: Combine(a->spans, b->spans, [](bool x, bool y) { return x != y; }, result); break;
    case RGN_DIFF: Combine(a->spans, b->spans, [](bool x, bool y) { return x && !y; }, result); break;
    default: return ERROR;
  }
  d->spans.assign(result.begin(), result.end());
  result.clear();
  return Complexity(d->spans);
}

int SelectClipRgn(HDC hdc, HRGN region) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr) return ERROR;
  if (region == nullptr) {
    if (dc->clip != nullptr) RemoveObject(reinterpret_cast<HGDIOBJ>(dc->clip));
    dc->clip = nullptr;
    return SIMPLEREGION;
  }
  const Region* source = FindRegion(region);
  if (source == nullptr) return ERROR;
  // The DC keeps its own copy: the caller may change or delete its region.
  const HRGN copy = CopyRegion(source->spans);
  if (dc->clip != nullptr) RemoveObject(reinterpret_cast<HGDIOBJ>(dc->clip));
  dc->clip = copy;
  return Complexity(source->spans);
}

BOOL PtInRegion(HRGN region, int x, int y) {
  const Region* r = FindRegion(region);
  if (r == nullptr) return FALSE;
  auto it = std::upper_bound(r->spans.begin(), r->spans.end(), Span{y, x, x},
                             [](const Span& p, const Span& s) {
                               return p.y != s.y ? p.y < s.y : p.x0 < s.x0;
                             });
  if (it == r->spans.begin()) return FALSE;
  --it;
  return it->y == y && it->x0 <= x && x < it->x1 ? TRUE : FALSE;
}
