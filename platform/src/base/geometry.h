// Shape geometry of the drawing layer: which pixels a line, a wide stroke,
// a polygon or an ellipse covers, produced row by row as spans.
//
// Nothing here touches a surface. Every generator takes a window of rows
// [row_lo, row_hi) and only produces rows inside it, so the work is bounded
// by the window, never by the caller's coordinates; x values come out as
// 64-bit numbers that may lie anywhere and are clipped by the caller.
// All arithmetic is done in 64 or 128 bits, so coordinates anywhere in the
// 32-bit range neither overflow nor lose the unclipped shape's pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

namespace orvo::platform::raster {

using Coord = std::int64_t;

struct IPoint {
  Coord x;
  Coord y;
  friend bool operator==(const IPoint&, const IPoint&) = default;
};

struct DPoint {
  double x;
  double y;
};

// A row span [x0, x1) on row y.
struct RowSpan {
  Coord y;
  Coord x0;
  Coord x1;
};

// A non-owning reference to any callable taking Args: what the generators
// below hand their output to, cheap enough to call once per span.
template <typename... Args>
class SinkRef {
 public:
  template <typename Fn,
            typename = std::enable_if_t<!std::is_same_v<std::decay_t<Fn>, SinkRef> &&
                                        std::is_invocable_v<Fn&, Args...>>>
  SinkRef(Fn&& fn)  // NOLINT: implicit on purpose, like a function reference
      : object_(const_cast<void*>(static_cast<const void*>(&fn))),
        call_([](void* o, Args... args) {
          (*static_cast<std::remove_reference_t<Fn>*>(o))(args...);
        }) {}
  void operator()(Args... args) const { call_(object_, args...); }

 private:
  void* object_;
  void (*call_)(void*, Args...);
};

// Receives one span [x0, x1) of row y.
using SpanSink = SinkRef<Coord, Coord, Coord>;
// Receives the spans of one row at once, as count pairs [x0, x1) in
// bounds[0..2 count), left to right: for shapes with many spans per row.
using RowSink = SinkRef<Coord, const Coord*, std::size_t>;
// Receives the pixels of a steep line, one a row: (xs[i], y + i * step) for
// i < count, step +1 or -1.
using ColumnSink = SinkRef<Coord, Coord, const Coord*, std::size_t>;
// Receives the pixels of a flat line, one run a row: [bounds[2i],
// bounds[2i + 1]) on row y + i * step for i < count, step +1 or -1.
using RunSink = SinkRef<Coord, Coord, const Coord*, std::size_t>;

// A one-pixel line from a to b: the start pixel is painted, the end pixel
// is not; the major axis is y when |dx| = |dy|. Only pixels with
// 0 <= x < width and row_lo <= y < row_hi are produced; they are exactly the
// pixels the unclipped line has there. Runs of pixels on one row come out
// as one span.
void ThinLineSpans(IPoint a, IPoint b, Coord width, Coord row_lo, Coord row_hi,
                   const SpanSink& sink);
// The same pixels a few hundred rows at a time: those of a line with
// |dy| >= |dx| (one a row) handed to columns, the others to runs.
void ThinLineSpans(IPoint a, IPoint b, Coord width, Coord row_lo, Coord row_hi,
                   const RunSink& runs, const ColumnSink& columns);

// Wide strokes: every pixel whose centre lies within radius of one of the
// segments of the path (round caps and joins). A pixel exactly on the
// boundary counts when the boundary is its upper or left side, as with
// filled shapes, so a horizontal stroke of width w covers w rows. Spans of
// the whole path come out merged, one pass per row, each pixel once.
void WidePathSpans(const std::vector<DPoint>& path, bool closed, double radius, Coord width,
                   Coord row_lo, Coord row_hi, const SpanSink& sink);
// Holding wide paths back: consecutive strokes of one slot on one surface
// paint the union of their pixels, which is what painting them one after
// another shows. HoldWidePath adds the pixels WidePathSpans gives the path
// to the union held (rows [row_lo, row_hi), the same until the union is
// taken); false, adding nothing, for a path that only the general way
// below takes, which the caller paints at once. TakeHeldPaths hands the
// union's spans to sink, row by row, and empties it.
bool HoldWidePath(const std::vector<DPoint>& path, bool closed, double radius, Coord width,
                  Coord row_lo, Coord row_hi);
void TakeHeldPaths(const SpanSink& sink);
// The same pixels by the way every path can take, each part's real interval
// on every row it reaches; WidePathSpans takes it for paths with fractional
// points or widths and a faster way for whole ones (compared in the tests).
void WidePathSpansGeneral(const std::vector<DPoint>& path, bool closed, double radius, Coord width,
                          Coord row_lo, Coord row_hi, const SpanSink& sink);

// Pixels of the ellipse inscribed in [left, right) x [top, bottom) (the
// right and bottom edges excluded): the pixels whose centres lie inside or
// on the ellipse that touches the outer edges of the box's outermost
// pixels, so its widest row covers exactly [left, right). Empty when the
// box has no width or height. The box must be normalised.
void EllipseSpans(Coord left, Coord top, Coord right, Coord bottom, Coord row_lo, Coord row_hi,
                  const SpanSink& sink);

// Flattens the cubic from p0 through the control points c1, c2 to p3 into
// points on the curve (p0 excluded, p3 included), rounded to pixels and
// without repeats, appended to out.
void FlattenBezier(IPoint p0, IPoint c1, IPoint c2, IPoint p3, std::vector<IPoint>& out);

// Points around the ellipse outline through the centres of the outermost
// pixels of the box, for stroking it with a wide pen.
std::vector<DPoint> EllipseOutline(Coord left, Coord top, Coord right, Coord bottom);

}  // namespace orvo::platform::raster
