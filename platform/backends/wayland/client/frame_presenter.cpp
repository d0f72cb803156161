#include "frame_presenter.h"

#include <algorithm>
#include <cstring>

namespace orvo::platform::wayland {
namespace {

// A surface the compositor stopped drawing (on an output switched off, say)
// sends no frame callbacks: after this long the next frame goes anyway.
constexpr std::uint32_t kFrameTimeoutMs = 1000;
// More stale rectangles than this for one buffer become their bounding box.
constexpr std::size_t kMaxStale = 32;

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

}  // namespace

void FramePresenter::Configure(const PixelRect& area, int block, int buffer_width,
                               int buffer_height, int buffer_count) {
  area_ = area;
  block_ = std::max(block, 1);
  buffer_width_ = buffer_width;
  buffer_height_ = buffer_height;
  configured_ = !area.empty() && buffer_width > 0 && buffer_height > 0 && buffer_count > 0;
  stale_.assign(static_cast<std::size_t>(std::max(buffer_count, 0)), {area});
  row_.assign(static_cast<std::size_t>(std::max(area.right - area.left, 0)), 0);
  wide_.assign(row_.size() * static_cast<std::size_t>(block_), 0);
}

bool FramePresenter::Ready(FrameSink& sink, std::uint32_t now) const {
  if (!configured_) return false;
  if (waiting_ && now - committed_at_ < kFrameTimeoutMs) return false;
  for (int i = 0; i < sink.BufferCount(); ++i)
    if (!sink.Buffer(i).busy) return true;
  return false;
}

void FramePresenter::AddStale(std::vector<PixelRect>& stale, const PixelRect& rect) {
  if (rect.empty()) return;
  stale.push_back(rect);
  if (stale.size() <= kMaxStale) return;
  PixelRect all = stale.front();
  for (const PixelRect& r : stale) all = Union(all, r);
  stale.assign(1, all);
}

// Slot (x, y) of the area becomes the block at ((x - left) * block,
// (y - top) * block) of the buffer; blocks are cut at the buffer's edges.
void FramePresenter::ConvertInto(const FrameBuffer& buffer, const Surface& surface,
                                 const PixelRect& rect, const PixelTable32& table) {
  const PixelRect r = Intersect(Intersect(rect, area_), {0, 0, surface.width(), surface.height()});
  if (r.empty()) return;
  const int count = r.right - r.left;
  const int x0 = (r.left - area_.left) * block_;
  if (x0 >= buffer.width) return;
  const int columns = std::min(count * block_, buffer.width - x0);
  for (int y = r.top; y < r.bottom; ++y) {
    const int y0 = (y - area_.top) * block_;
    if (y0 >= buffer.height) break;
    ConvertRow32(surface.row(y) + r.left, row_.data(), count, table);
    const std::uint32_t* pixels = row_.data();
    if (block_ > 1) {
      ExpandRow32(row_.data(), wide_.data(), count, block_);
      pixels = wide_.data();
    }
    const int rows = std::min(block_, buffer.height - y0);
    for (int dy = 0; dy < rows; ++dy)
      std::memcpy(buffer.data + static_cast<std::size_t>(y0 + dy) * buffer.stride +
                      static_cast<std::size_t>(x0) * 4,
                  pixels, static_cast<std::size_t>(columns) * 4);
  }
}

void FramePresenter::Draw(FrameSink& sink, const Surface& surface, std::span<const PixelRect> rects,
                          const PixelTable32& table, std::uint32_t now) {
  int index = -1;
  for (int i = 0; i < sink.BufferCount() && i < static_cast<int>(stale_.size()); ++i)
    if (!sink.Buffer(i).busy) {
      index = i;
      break;
    }
  if (index < 0) return;
  const FrameBuffer buffer = sink.Buffer(index);
  if (buffer.width != buffer_width_ || buffer.height != buffer_height_) return;
  // First what this buffer missed while others were shown, then the frame.
  for (const PixelRect& r : stale_[static_cast<std::size_t>(index)]) ConvertInto(buffer, surface, r, table);
  stale_[static_cast<std::size_t>(index)].clear();
  for (const PixelRect& rect : rects) {
    const PixelRect r = Intersect(rect, area_);
    if (r.empty()) continue;
    ConvertInto(buffer, surface, r, table);
    const int x = (r.left - area_.left) * block_, y = (r.top - area_.top) * block_;
    const int w = std::min((r.right - r.left) * block_, buffer.width - x);
    const int h = std::min((r.bottom - r.top) * block_, buffer.height - y);
    if (w > 0 && h > 0) sink.Damage(x, y, w, h);
    for (std::size_t other = 0; other < stale_.size(); ++other)
      if (static_cast<int>(other) != index) AddStale(stale_[other], r);
  }
  sink.Commit(index);
  waiting_ = true;
  committed_at_ = now;
  ++commits_;
}

}  // namespace orvo::platform::wayland
