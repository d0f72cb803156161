// One wl_surface that shows part of the emulated display: its buffer scale,
// its shared-memory buffers, its frame callback and the FramePresenter that
// fills them, as the presenter's sink. The role (a layer surface, a toplevel, a lock surface)
// belongs to the class derived from it, which destroys the role first; this
// then destroys the callback, the buffers and the surface.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "frame_presenter.h"
#include "shm_buffer.h"

struct wl_callback;
struct wl_compositor;
struct wl_shm;
struct wl_surface;

namespace orvo::platform::wayland {

// The slots (emulated pixels of `scale` x `scale` logical pixels) that the
// logical rectangle (left, top, width, height) touches.
PixelRect SlotsUnder(int left, int top, int width, int height, int scale);

class PresentedSurface : public FrameSink {
 public:
  explicit PresentedSurface(wl_compositor* compositor);
  ~PresentedSurface() override;
  PresentedSurface(const PresentedSurface&) = delete;
  PresentedSurface& operator=(const PresentedSurface&) = delete;

  wl_surface* surface() const { return surface_; }
  const FramePresenter& presenter() const { return presenter_; }
  // A buffer was committed.
  bool shown() const { return shown_; }

  // Buffer pixels per logical pixel, as declared to the compositor.
  int scale() const { return scale_; }
  // Declares a new scale (from the next commit on) and remakes the buffers
  // it has for the same logical size at that scale, with the presenter
  // showing the same area on them: no commit ever pairs the new scale with
  // buffers of the old one (a lock surface's must match its configured
  // size). False when the scale stays.
  bool SetScale(wl_shm* shm, int scale);

  // Whether it has buffers of `width` x `height` buffer pixels; new ones
  // (one shown, one being drawn; fewer or none where memory cannot be had).
  bool HasBuffers(int width, int height) const;
  void MakeBuffers(wl_shm* shm, int width, int height);
  // The size of its buffers (0 x 0 without).
  int buffer_width() const { return buffers_.empty() ? 0 : buffers_.front()->width(); }
  int buffer_height() const { return buffers_.empty() ? 0 : buffers_.front()->height(); }

  // The presenter, with this surface as its sink (frame_presenter.h): `area`
  // on its buffers, each slot `slot_size` x `slot_size` logical pixels.
  void Configure(const PixelRect& area, int slot_size);
  bool Ready(std::uint32_t now) { return presenter_.Ready(*this, now); }
  void Draw(const Surface& surface, std::span<const PixelRect> rects, const PixelTable32& table,
            std::uint32_t now) {
    presenter_.Draw(*this, surface, rects, table, now);
  }
  // Commits the first buffer all black, unless it has none or the
  // compositor holds it.
  void ShowBlack();

  // FrameSink
  int BufferCount() override { return static_cast<int>(buffers_.size()); }
  FrameBuffer Buffer(int index) override;
  void Damage(int x, int y, int width, int height) override;
  void Commit(int index) final;

 protected:
  // The last drawing into buffer `index` before it is committed.
  virtual void BeforeCommit(int) {}

 private:
  static void OnFrameDone(void* data, wl_callback* callback, std::uint32_t time);

  wl_surface* surface_ = nullptr;
  wl_callback* frame_ = nullptr;
  std::vector<std::unique_ptr<ShmBuffer>> buffers_;
  FramePresenter presenter_;
  int scale_ = 1;
  int slot_size_ = 1;
  bool shown_ = false;
};

}  // namespace orvo::platform::wayland
