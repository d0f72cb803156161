#include "prompt_view.h"

#include "orvo/pixel_convert.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace orvo::platform::lock {

PromptView::PromptView(::Display* display, int screen, Window parent, std::string title, std::string subtitle)
    : display_(display),
      screen_(screen),
      visual_(DefaultVisual(display, screen)),
      colormap_(DefaultColormap(display, screen)),
      depth_(DefaultDepth(display, screen)),
      painter_(std::move(title), std::move(subtitle)) {
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;  // every pixel is the panel's
  attributes.event_mask = ExposureMask;
  window_ = XCreateWindow(display_, parent, 0, 0, 1, 1, 0, depth_, InputOutput, visual_,
                          CWBackPixmap | CWEventMask, &attributes);
  gc_ = XCreateGC(display_, window_, 0, nullptr);
}

PromptView::~PromptView() {
  std::vector<unsigned long> cells;
  for (const auto& [rgb, cell] : cells_) cells.push_back(cell);
  if (!cells.empty()) XFreeColors(display_, colormap_, cells.data(), static_cast<int>(cells.size()), 0);
  if (gc_ != nullptr) XFreeGC(display_, gc_);
  if (window_ != 0) XDestroyWindow(display_, window_);
}

// The pixel of 0x00RRGGBB: placed into a true-colour visual's channels
// (opaque where the visual has alpha), else a shared cell of the colormap,
// black or white when none is left.
unsigned long PromptView::PixelOf(std::uint32_t rgb) {
  const Rgb colour{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                   static_cast<std::uint8_t>(rgb)};
  if (visual_->c_class == TrueColor || visual_->c_class == DirectColor) {
    const ChannelMasks masks{static_cast<std::uint32_t>(visual_->red_mask),
                             static_cast<std::uint32_t>(visual_->green_mask),
                             static_cast<std::uint32_t>(visual_->blue_mask)};
    const std::uint32_t alpha = depth_ == 32 ? ~(masks.red | masks.green | masks.blue) : 0;
    return platform::PixelOf(colour, masks) | alpha;
  }
  if (const auto it = cells_.find(rgb); it != cells_.end()) return it->second;
  XColor cell{};
  cell.red = static_cast<unsigned short>(colour.r * 257);
  cell.green = static_cast<unsigned short>(colour.g * 257);
  cell.blue = static_cast<unsigned short>(colour.b * 257);
  cell.flags = DoRed | DoGreen | DoBlue;
  if (XAllocColor(display_, colormap_, &cell)) return cells_[rgb] = cell.pixel;
  return colour.r + colour.g + colour.b >= 3 * 128 ? WhitePixel(display_, screen_) : BlackPixel(display_, screen_);
}

void PromptView::Resize(int screen_width, int screen_height) { Place(0, 0, screen_width, screen_height); }

void PromptView::Place(int x, int y, int width, int height) {
  area_x_ = x;
  area_y_ = y;
  area_width_ = std::max(width, 1);
  area_height_ = std::max(height, 1);
  width_ = height_ = 0;  // placed again on the next drawing
  if (visible_) Draw();
}

void PromptView::Show(const PromptState& state, bool caps_lock) {
  state_ = state;
  caps_ = caps_lock;
  if (!state.visible) {
    if (visible_) XUnmapWindow(display_, window_);
    visible_ = false;
    XFlush(display_);
    return;
  }
  Draw();
  if (!visible_) {
    XMapRaised(display_, window_);
    visible_ = true;
    Draw();
  }
}

void PromptView::Redraw() {
  if (visible_) Draw();
}

// The painter's panel for the area's size, converted to the window's
// pixels and put in the middle of the area.
void PromptView::Draw() {
  const PromptPicture& picture = painter_.Paint(state_, caps_, area_width_, area_height_);
  const int width = picture.width, height = picture.height;
  if (width <= 0 || height <= 0) return;
  if (width != width_ || height != height_) {
    width_ = width;
    height_ = height;
    XMoveResizeWindow(display_, window_, area_x_ + (area_width_ - width) / 2, area_y_ + (area_height_ - height) / 2,
                      static_cast<unsigned>(width), static_cast<unsigned>(height));
  }
  XImage* image = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (image == nullptr) return;
  image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) * height));
  if (image->data == nullptr) {
    XDestroyImage(image);
    return;
  }
  // The panel has a few colours and their blends at glyph edges: each run
  // of one colour is converted once.
  std::uint32_t last_rgb = ~0u;
  unsigned long last_pixel = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t rgb = picture.pixels[static_cast<std::size_t>(y) * width + x];
      if (rgb != last_rgb) {
        last_rgb = rgb;
        last_pixel = PixelOf(rgb);
      }
      XPutPixel(image, x, y, last_pixel);
    }
  }
  XPutImage(display_, window_, gc_, image, 0, 0, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XDestroyImage(image);  // frees the pixels too
  XFlush(display_);
}

}  // namespace orvo::platform::lock
