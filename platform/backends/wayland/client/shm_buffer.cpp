#include "shm_buffer.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <climits>

namespace orvo::platform::wayland {

std::unique_ptr<ShmBuffer> ShmBuffer::Create(wl_shm* shm, int width, int height) {
  if (shm == nullptr || width <= 0 || height <= 0) return nullptr;
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  const std::size_t size = stride * static_cast<std::size_t>(height);
  if (size > static_cast<std::size_t>(INT_MAX)) return nullptr;  // the pool's size is 32-bit
  const int fd = memfd_create("orvo-frame", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  int result = 0;
  do result = ftruncate(fd, static_cast<off_t>(size));
  while (result != 0 && errno == EINTR);
  if (result != 0) {
    close(fd);
    return nullptr;
  }
  void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (memory == MAP_FAILED) {
    close(fd);
    return nullptr;
  }
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(size));
  wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, width, height,
                                                static_cast<std::int32_t>(stride),
                                                WL_SHM_FORMAT_XRGB8888);
  // The buffer keeps the pool's memory; the descriptor is the compositor's now.
  wl_shm_pool_destroy(pool);
  close(fd);
  std::unique_ptr<ShmBuffer> out(new ShmBuffer);
  out->buffer_ = buffer;
  out->data_ = static_cast<std::uint8_t*>(memory);
  out->size_ = size;
  out->stride_ = stride;
  out->width_ = width;
  out->height_ = height;
  static const wl_buffer_listener listener = {&ShmBuffer::OnRelease};
  wl_buffer_add_listener(buffer, &listener, out.get());
  return out;
}

ShmBuffer::~ShmBuffer() {
  if (buffer_ != nullptr) wl_buffer_destroy(buffer_);
  if (data_ != nullptr) munmap(data_, size_);
}

void ShmBuffer::OnRelease(void* data, wl_buffer*) { static_cast<ShmBuffer*>(data)->busy_ = false; }

}  // namespace orvo::platform::wayland
