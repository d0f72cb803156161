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

#include <algorithm>
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

// A one-pixel line from a to b: the start pixel is painted, the end pixel
// is not; the major axis is y when |dx| = |dy|. Only pixels with
// 0 <= x < width and row_lo <= y < row_hi are produced; they are exactly the
// pixels the unclipped line has there. Runs of pixels on one row come out
// as one span.
void ThinLineSpans(IPoint a, IPoint b, Coord width, Coord row_lo, Coord row_hi,
                   const SpanSink& sink);

// The visible pixels of a one-pixel line (those ThinLineSpans gives), as a
// walk along its major axis (y when y_major, x otherwise): pixel k, for
// k < count, lies at major + k * major_step on that axis, and on the other
// at minor, which moves by minor_step whenever the error term (rem at the
// first pixel, 0 <= rem < two_major, growing by two_minor <= two_major a
// step) reaches two_major and drops by it. count > 0, and the visible
// pixels lie in 0 <= x < width, row_lo <= y < row_hi, so with a
// window inside a surface every coordinate of the walk fits an int.
struct ThinLineWalk {
  bool y_major = false;
  Coord major = 0;
  Coord major_step = 1;
  Coord minor = 0;
  Coord minor_step = 1;
  Coord count = 0;
  Coord rem = 0;
  Coord two_major = 1;
  Coord two_minor = 0;
};
// The walk of the line's visible pixels; false when none is visible.
bool ClipThinLine(IPoint a, IPoint b, Coord width, Coord row_lo, Coord row_hi,
                  ThinLineWalk& walk);

// Steps a walk one pixel at a time: minor() is the current pixel's minor
// coordinate (a steep line's column, a flat line's row). The error term is
// kept biased by -two_major, so that both of its next values come from it
// at once and the carry only picks one.
class MinorStepper {
 public:
  explicit MinorStepper(const ThinLineWalk& walk)
      : minor_(walk.minor),
        step_(walk.minor_step),
        error_(walk.rem - walk.two_major),
        up_(walk.two_minor),
        down_(walk.two_minor - walk.two_major) {}
  Coord minor() const { return minor_; }
  void Next() {
    const Coord stay = error_ + up_;
    const Coord carry = error_ + down_;
    const bool moves = stay >= 0;
    error_ = moves ? carry : stay;
    minor_ += moves ? step_ : 0;
  }

 private:
  Coord minor_;
  Coord step_;
  Coord error_;
  Coord up_;
  Coord down_;
};

// Steps an x-major walk one row at a time: length() is the number of
// pixels of the current row, at most what is left of count. A row's length
// is the quotient of two_major by two_minor or one more (longest()),
// decided by a second error term, so the cost is per row, not per pixel.
class RunStepper {
 public:
  explicit RunStepper(const ThinLineWalk& walk) : left_(walk.count) {
    if (walk.two_minor == 0) {  // horizontal: one row
      length_ = left_;
      quotient_ = left_;
      return;
    }
    // Row t >= 1 starts at the first step k with rem + k two_minor >=
    // t two_major: ceil((t two_major - rem) / two_minor), whose numerator
    // grows by two_major a row. The remainder is kept biased by -two_minor.
    const Coord first = walk.two_major - walk.rem + walk.two_minor - 1;
    length_ = std::min(first / walk.two_minor, left_);
    error_ = first % walk.two_minor - walk.two_minor;
    quotient_ = walk.two_major / walk.two_minor;
    up_ = walk.two_major % walk.two_minor;
    two_minor_ = walk.two_minor;
  }
  Coord length() const { return length_; }
  Coord longest() const { return quotient_ + 1; }
  bool done() const { return left_ == 0; }
  // Without a branch (the compiler makes one of a select here): which rows
  // are longer comes unpredictably.
  void Next() {
    left_ -= length_;
    error_ += up_;
    const Coord longer = ~(error_ >> 63);  // all ones when the error reached 0
    error_ -= two_minor_ & longer;
    length_ = std::min(quotient_ - longer, left_);
  }

 private:
  Coord left_;
  Coord length_ = 0;
  Coord error_ = 0;
  Coord quotient_ = 0;
  Coord up_ = 0;
  Coord two_minor_ = 0;
};

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
