// Presentation of one part of the emulated display on one Wayland surface:
// the slots of an area of the surface, each shown as a block of pixels,
// converted into one of the surface's buffers. Only the changed
// rectangles are converted and damaged; a buffer that sat out a frame
// first gets what changed meanwhile. A frame is committed only after the
// compositor's frame callback for the last one (or, from a surface the
// compositor stopped drawing, after a second), never into a buffer the
// compositor still holds. The Wayland calls are behind FrameSink, so the
// decisions are tested without a compositor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "orvo/display.h"
#include "orvo/pixel_convert.h"

namespace orvo::platform::wayland {

// One buffer as the presenter sees it.
struct FrameBuffer {
  std::uint8_t* data = nullptr;  // XRGB8888 rows
  std::size_t stride = 0;
  int width = 0;
  int height = 0;
  bool busy = false;  // the compositor holds it
};

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual int BufferCount() = 0;
  virtual FrameBuffer Buffer(int index) = 0;
  // Buffer pixels that changed in the frame about to be committed.
  virtual void Damage(int x, int y, int width, int height) = 0;
  // Attaches the buffer, asks for a frame callback and commits.
  virtual void Commit(int index) = 0;
};

class FramePresenter {
 public:
  // The part of the emulated display shown: `area` in slots, each slot a
  // block of `block` x `block` buffer pixels; buffers of the sink are
  // `buffer_width` x `buffer_height`. Everything counts as changed.
  void Configure(const PixelRect& area, int block, int buffer_width, int buffer_height,
                 int buffer_count);
  const PixelRect& area() const { return area_; }
  bool configured() const { return configured_; }

  // Whether a frame can go now (`now`: milliseconds of a monotonic clock).
  bool Ready(FrameSink& sink, std::uint32_t now) const;
  // Converts the rectangles (surface coordinates; the part inside the area)
  // into a free buffer, damages them and commits. Only when Ready().
  void Draw(FrameSink& sink, const Surface& surface, std::span<const PixelRect> rects,
            const PixelTable32& table, std::uint32_t now);
  // The compositor's frame callback: the last frame was shown.
  void FrameDone() { waiting_ = false; }

  // Frames committed and frame callbacks received (for tests and figures).
  std::uint64_t commits() const { return commits_; }

 private:
  void ConvertInto(const FrameBuffer& buffer, const Surface& surface, const PixelRect& rect,
                   const PixelTable32& table);
  void AddStale(std::vector<PixelRect>& stale, const PixelRect& rect);

  PixelRect area_{};
  int block_ = 1;
  int buffer_width_ = 0;
  int buffer_height_ = 0;
  bool configured_ = false;
  bool waiting_ = false;        // a frame callback is due
  std::uint32_t committed_at_ = 0;
  std::uint64_t commits_ = 0;
  std::vector<std::vector<PixelRect>> stale_;  // per buffer: what it misses
  std::vector<std::uint32_t> row_;             // one row of converted slots
  std::vector<std::uint32_t> wide_;            // the same row enlarged
};

}  // namespace orvo::platform::wayland
