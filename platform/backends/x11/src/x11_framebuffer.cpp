// The X11 back end's frame buffers and presentation: each window's image
// (MIT-SHM where the server allows, a plain image otherwise), converted
// from the surface's slots through a table rebuilt when the colours change,
// and sent rectangle by rectangle.
#include "x11_display.h"

#include "clock.h"
#include "errors.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace orvo::platform::x11 {

bool X11Backend::CreateSharedImage(OwnWindow& window, ImageBuffer& buffer, int width,
                                   int height) {
  XShmSegmentInfo& segment = buffer.segment;
  segment = XShmSegmentInfo{};
  XImage* image = XShmCreateImage(display_, window.visual, static_cast<unsigned>(window.depth),
                                  ZPixmap, nullptr, &segment, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height));
  if (!image) return false;
  const std::size_t bytes =
      static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height);
  segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (segment.shmid < 0) {
    XDestroyImage(image);
    return false;
  }
  void* address = shmat(segment.shmid, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(segment.shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    return false;
  }
  segment.shmaddr = image->data = static_cast<char*>(address);
  segment.readOnly = False;
  bool attached = false;
  {
    ErrorTrap trap(display_);
    attached = XShmAttach(display_, &segment) && !trap.Failed();
  }
  // Both sides are attached (or the server refused): the segment goes away
  // with the last detach, so a killed process leaks nothing.
  shmctl(segment.shmid, IPC_RMID, nullptr);
  if (!attached) {
    // A remote display, typically: plain images from now on.
    shm_available_ = false;
    XDestroyImage(image);
    shmdt(address);
    return false;
  }
  buffer.image = image;
  buffer.shared = true;
  buffer.busy = false;
  return true;
}

bool X11Backend::CreateImages(OwnWindow& window, int width, int height) {
  ReleaseImages(window);
  if (shm_available_) {
    for (ImageBuffer& buffer : window.buffers) {
      if (!CreateSharedImage(window, buffer, width, height)) break;
      ++window.buffer_count;
    }
  }
  if (window.buffer_count == 0) {
    XImage* image = XCreateImage(display_, window.visual, static_cast<unsigned>(window.depth),
                                 ZPixmap, 0, nullptr, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 32, 0);
    if (!image) return false;
    image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) *
                                                 static_cast<std::size_t>(height)));
    if (!image->data) {
      XDestroyImage(image);
      return false;
    }
    // Our pixels are in this machine's byte order; Xlib swaps for the server.
    image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    XInitImage(image);
    window.buffers[0].image = image;
    window.buffers[0].shared = false;
    window.buffer_count = 1;
  }
  XImage* image = window.buffers[0].image;
  const int native_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  const bool true_colour = window.visual->c_class == TrueColor ||
                           window.visual->c_class == DirectColor;
  window.path = PixelPath::kGeneric;
  if (true_colour && image->byte_order == native_order) {
    if (image->bits_per_pixel == 32) window.path = PixelPath::k32;
    if (image->bits_per_pixel == 16) window.path = PixelPath::k16;
  }
  window.image_width = width;
  window.image_height = height;
  window.scratch.assign(static_cast<std::size_t>(width), 0);
  return true;
}

void X11Backend::ReleaseImages(OwnWindow& window) {
  if (window.buffer_count == 0) return;
  bool synced = false;
  for (int i = 0; i < window.buffer_count; ++i) {
    ImageBuffer& buffer = window.buffers[i];
    if (buffer.shared) {
      if (!synced) XSync(display_, False);  // the server is done reading
      synced = true;
      XShmDetach(display_, &buffer.segment);
      XDestroyImage(buffer.image);
      shmdt(buffer.segment.shmaddr);
    } else {
      XDestroyImage(buffer.image);  // frees the pixels too
    }
    buffer = ImageBuffer{};
  }
  if (synced) XSync(display_, False);
  window.buffer_count = 0;
  window.image_width = window.image_height = 0;
}

void X11Backend::RebuildTable(OwnWindow& window, const std::array<Rgb, kSlotCount>& colours) {
  const Visual* visual = window.visual;
  if (visual->c_class == TrueColor || visual->c_class == DirectColor) {
    const ChannelMasks masks{static_cast<std::uint32_t>(visual->red_mask),
                             static_cast<std::uint32_t>(visual->green_mask),
                             static_cast<std::uint32_t>(visual->blue_mask)};
    BuildPixelTable(colours, masks, &window.table32.pixels);
    if (window.depth == 32) {
      // A visual with alpha (a composited host's window): fully opaque.
      const std::uint32_t alpha = ~(masks.red | masks.green | masks.blue);
      for (std::uint32_t& pixel : window.table32.pixels) pixel |= alpha;
    }
  } else {
    // A colour-mapped visual: share read-only cells of the window's colormap.
    if (!window.allocated.empty()) {
      XFreeColors(display_, window.colormap, window.allocated.data(),
                  static_cast<int>(window.allocated.size()), 0);
      window.allocated.clear();
    }
    for (int i = 0; i < kSlotCount; ++i) {
      XColor colour{};
      colour.red = static_cast<unsigned short>(colours[i].r * 257);
      colour.green = static_cast<unsigned short>(colours[i].g * 257);
      colour.blue = static_cast<unsigned short>(colours[i].b * 257);
      colour.flags = DoRed | DoGreen | DoBlue;
      if (XAllocColor(display_, window.colormap, &colour)) {
        window.allocated.push_back(colour.pixel);
        window.table32.pixels[i] = static_cast<std::uint32_t>(colour.pixel);
      } else {
        window.table32.pixels[i] = static_cast<std::uint32_t>(BlackPixel(display_, screen_));
      }
    }
  }
  window.table32.Update();
  for (int i = 0; i < kSlotCount; ++i)
    window.table16[i] = static_cast<std::uint16_t>(window.table32.pixels[i]);
}

bool X11Backend::StillBusy(ImageBuffer& buffer) {
  if (!buffer.busy) return false;
  // The completion may be waiting unread.
  while (buffer.busy && XPending(display_)) ReadOneEvent();
  if (!buffer.busy) return false;
  if (MonotonicMs() - buffer.busy_since < 250) return true;
  // No completion for a quarter of a second (the put failed, or another
  // client holds the server): go on rather than wait. At worst the server
  // copies part of a newer frame.
  buffer.busy = false;
  return false;
}

bool X11Backend::Present(NativeId id, const Surface& surface, std::span<const PixelRect> rects,
                         const std::array<Rgb, kSlotCount>& colours,
                         std::uint32_t colours_version) {
  OwnWindow* window = Find(id);
  if (!window || !window->alive) return true;
  // The protocol's sizes are 16-bit: a larger surface shows its top-left part.
  constexpr int kMaxSide = 32767;
  const int width = std::min(surface.width(), kMaxSide / scale_);
  const int height = std::min(surface.height(), kMaxSide / scale_);
  if (width <= 0 || height <= 0) return true;
  if (window->image_width != width * scale_ || window->image_height != height * scale_ ||
      window->buffer_count == 0) {
    if (!CreateImages(*window, width * scale_, height * scale_)) return true;
  }
  ImageBuffer& buffer = window->buffers[0];
  if (StillBusy(buffer)) return false;
  if (!window->table_valid || window->table_version != colours_version) {
    RebuildTable(*window, colours);
    window->table_valid = true;
    window->table_version = colours_version;
  }
  XImage* image = buffer.image;
  auto* data = reinterpret_cast<std::uint8_t*>(image->data);
  const auto bytes_per_line = static_cast<std::size_t>(image->bytes_per_line);
  auto clip = [&](const PixelRect& r) {
    return PixelRect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width),
                     std::min(r.bottom, height)};
  };
  std::size_t last = rects.size();
  for (std::size_t i = 0; i < rects.size(); ++i)
    if (!clip(rects[i]).empty()) last = i;
  bool whole = false;
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const PixelRect r = clip(rects[i]);
    if (r.empty()) continue;
    switch (window->path) {
      case PixelPath::k32:
        ConvertRect32(surface, r, scale_, window->table32, data, bytes_per_line,
                      window->scratch.data());
        break;
      case PixelPath::k16:
        ConvertRect16(surface, r, scale_, window->table16.data(), data, bytes_per_line,
                      reinterpret_cast<std::uint16_t*>(window->scratch.data()));
        break;
      case PixelPath::kGeneric:
        for (int y = r.top; y < r.bottom; ++y) {
          const std::uint8_t* slots = surface.row(y);
          for (int x = r.left; x < r.right; ++x) {
            const unsigned long pixel = window->table32.pixels[slots[x]];
            for (int dy = 0; dy < scale_; ++dy)
              for (int dx = 0; dx < scale_; ++dx)
                XPutPixel(image, x * scale_ + dx, y * scale_ + dy, pixel);
          }
        }
        break;
    }
    PutRect(*window, r, i == last);
    whole = whole || (r.left == 0 && r.top == 0 && r.right == width && r.bottom == height);
  }
  if (whole) ClearEdges(*window);
  XFlush(display_);
  return true;
}

// Sends one converted rectangle. With shared memory the server tells with
// a completion event when it has copied the frame's last rectangle (it
// handles requests in order): until then the image is not written again.
void X11Backend::PutRect(OwnWindow& window, const PixelRect& r, bool last) {
  ImageBuffer& buffer = window.buffers[0];
  const int x = r.left * scale_, y = r.top * scale_;
  const auto w = static_cast<unsigned>((r.right - r.left) * scale_);
  const auto h = static_cast<unsigned>((r.bottom - r.top) * scale_);
  if (buffer.shared) {
    XShmPutImage(display_, window.id, window.gc, buffer.image, x, y, x, y, w, h, last ? True : False);
    if (last) {
      buffer.busy = true;
      buffer.busy_since = MonotonicMs();
    }
  } else {
    XPutImage(display_, window.id, window.gc, buffer.image, x, y, x, y, w, h);
  }
}

// Paints black the screen pixels of the window beyond the last whole
// emulated pixel (a width or height that the scale does not divide).
void X11Backend::ClearEdges(OwnWindow& window) {
  const int covered_w = window.width / scale_ * scale_;
  const int covered_h = window.height / scale_ * scale_;
  if (covered_w >= window.width && covered_h >= window.height) return;
  XSetForeground(display_, window.gc,
                 window.table_valid ? window.table32.pixels[0] : BlackPixel(display_, screen_));
  if (covered_w < window.width)
    XFillRectangle(display_, window.id, window.gc, covered_w, 0,
                   static_cast<unsigned>(window.width - covered_w),
                   static_cast<unsigned>(window.height));
  if (covered_h < window.height)
    XFillRectangle(display_, window.id, window.gc, 0, covered_h,
                   static_cast<unsigned>(covered_w), static_cast<unsigned>(window.height - covered_h));
}

}  // namespace orvo::platform::x11
