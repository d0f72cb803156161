#include "presented_surface.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

namespace orvo::platform::wayland {
namespace {

constexpr int kBuffers = 2;

int FloorDiv(int v, int d) { return v >= 0 ? v / d : -((-v + d - 1) / d); }
int CeilDiv(int v, int d) { return v >= 0 ? (v + d - 1) / d : -((-v) / d); }

}  // namespace

PixelRect SlotsUnder(int left, int top, int width, int height, int scale) {
  return {FloorDiv(left, scale), FloorDiv(top, scale), CeilDiv(left + width, scale),
          CeilDiv(top + height, scale)};
}

PresentedSurface::PresentedSurface(wl_compositor* compositor)
    : surface_(wl_compositor_create_surface(compositor)) {}

PresentedSurface::~PresentedSurface() {
  if (frame_ != nullptr) wl_callback_destroy(frame_);
  buffers_.clear();
  if (surface_ != nullptr) wl_surface_destroy(surface_);
}

bool PresentedSurface::HasBuffers(int width, int height) const {
  return !buffers_.empty() && buffers_.front()->width() == width &&
         buffers_.front()->height() == height;
}

void PresentedSurface::MakeBuffers(wl_shm* shm, int width, int height) {
  buffers_.clear();
  for (int i = 0; i < kBuffers; ++i)
    if (auto buffer = ShmBuffer::Create(shm, width, height)) buffers_.push_back(std::move(buffer));
}

bool PresentedSurface::SetScale(wl_shm* shm, int scale) {
  scale = std::max(scale, 1);
  if (scale == scale_) return false;
  const int width = buffer_width() / scale_, height = buffer_height() / scale_;
  scale_ = scale;
  wl_surface_set_buffer_scale(surface_, scale_);
  if (!buffers_.empty()) {
    MakeBuffers(shm, width * scale_, height * scale_);
    Configure(presenter_.area(), slot_size_);
  }
  return true;
}

void PresentedSurface::Configure(const PixelRect& area, int slot_size) {
  slot_size_ = std::max(slot_size, 1);
  presenter_.Configure(area, slot_size_ * scale_, buffer_width(), buffer_height(), BufferCount());
}

void PresentedSurface::ShowBlack() {
  if (buffers_.empty() || buffers_.front()->busy()) return;
  const ShmBuffer& b = *buffers_.front();
  std::memset(b.data(), 0, b.stride() * static_cast<std::size_t>(b.height()));
  Damage(0, 0, b.width(), b.height());
  Commit(0);
}

FrameBuffer PresentedSurface::Buffer(int index) {
  const ShmBuffer& b = *buffers_[static_cast<std::size_t>(index)];
  return {b.data(), b.stride(), b.width(), b.height(), b.busy()};
}

void PresentedSurface::Damage(int x, int y, int width, int height) {
  wl_surface_damage_buffer(surface_, x, y, width, height);
}

void PresentedSurface::Commit(int index) {
  BeforeCommit(index);
  ShmBuffer& b = *buffers_[static_cast<std::size_t>(index)];
  wl_surface_attach(surface_, b.buffer(), 0, 0);
  if (frame_ != nullptr) wl_callback_destroy(frame_);
  static const wl_callback_listener kFrameListener = {&OnFrameDone};
  frame_ = wl_surface_frame(surface_);
  wl_callback_add_listener(frame_, &kFrameListener, this);
  b.set_busy();
  wl_surface_commit(surface_);
  shown_ = true;
}

void PresentedSurface::OnFrameDone(void* data, wl_callback* callback, std::uint32_t) {
  auto* self = static_cast<PresentedSurface*>(data);
  wl_callback_destroy(callback);
  if (self->frame_ == callback) self->frame_ = nullptr;
  self->presenter_.FrameDone();
}

}  // namespace orvo::platform::wayland
