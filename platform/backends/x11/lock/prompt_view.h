// The guardian's password prompt: the shared painter's panel
// (orvo/prompt_painter.h), put into a child window of the covering window
// above the animation, in the middle of the part of the screen it is
// placed in (the pointer's monitor).
#pragma once

// Our headers first: Xlib's macros would rewrite names in them.
#include "orvo/lock_session.h"
#include "orvo/prompt_painter.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <unordered_map>

namespace orvo::platform::lock {

class PromptView {
 public:
  PromptView(::Display* display, int screen, Window parent, std::string title, std::string subtitle);
  ~PromptView();
  PromptView(const PromptView&) = delete;
  PromptView& operator=(const PromptView&) = delete;

  // The screen (the covering window) changed size; the prompt goes in its middle.
  void Resize(int screen_width, int screen_height);
  // The prompt goes in the middle of this part of the screen (a monitor).
  void Place(int x, int y, int width, int height);
  // Shows, redraws or hides the prompt.
  void Show(const PromptState& state, bool caps_lock);
  // Draws again what is shown (after an Expose).
  void Redraw();
  bool visible() const { return visible_; }
  Window window() const { return window_; }

 private:
  void Draw();
  unsigned long PixelOf(std::uint32_t rgb);

  ::Display* display_;
  int screen_;
  Window window_ = 0;
  GC gc_ = nullptr;
  Visual* visual_;
  Colormap colormap_;
  int depth_;
  PromptPainter painter_;
  // A colour-mapped visual's cells, allocated once per colour.
  std::unordered_map<std::uint32_t, unsigned long> cells_;
  int area_x_ = 0, area_y_ = 0, area_width_ = 1, area_height_ = 1;
  PromptState state_;
  bool caps_ = false;
  bool visible_ = false;
  int width_ = 0, height_ = 0;
};

}  // namespace orvo::platform::lock
