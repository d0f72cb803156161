// A wl_shm buffer of XRGB8888 pixels in a memfd: the memory is mapped here
// and shared with the compositor, which holds the buffer from an attach
// until it sends "release".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct wl_shm;
struct wl_buffer;

namespace orvo::platform::wayland {

class ShmBuffer {
 public:
  // nullptr when memory or the compositor's pool cannot be had.
  static std::unique_ptr<ShmBuffer> Create(wl_shm* shm, int width, int height);
  ~ShmBuffer();
  ShmBuffer(const ShmBuffer&) = delete;
  ShmBuffer& operator=(const ShmBuffer&) = delete;

  wl_buffer* buffer() const { return buffer_; }
  std::uint8_t* data() const { return data_; }
  std::size_t stride() const { return stride_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Attached and not yet released by the compositor: not to be written.
  bool busy() const { return busy_; }
  void set_busy() { busy_ = true; }

 private:
  ShmBuffer() = default;
  static void OnRelease(void* data, wl_buffer* buffer);

  wl_buffer* buffer_ = nullptr;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t stride_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool busy_ = false;
};

}  // namespace orvo::platform::wayland
