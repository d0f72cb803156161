// The guardian's password prompt: a panel in the middle of the screen, in
// a child window of the covering window above the animation, drawn with
// Xft at a size taken from the screen height.
#pragma once

// Our headers first: Xlib's macros would rewrite names in them.
#include "orvo/lock_session.h"

#include <X11/Xlib.h>
#include <X11/Xft/Xft.h>

#include <string>
#include <vector>

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
  bool OpenFonts();
  void CloseFonts();
  int TextWidth(XftFont* font, const std::string& text);
  XftColor* Colour(std::uint32_t rgb);
  void Draw();
  std::vector<std::string> Wrap(XftFont* font, const std::string& text, int width);

  ::Display* display_;
  int screen_;
  Window window_ = 0;
  Visual* visual_;
  Colormap colormap_;
  int depth_;
  std::string title_, subtitle_;
  int screen_width_ = 0, screen_height_ = 0;
  int area_x_ = 0, area_y_ = 0, area_width_ = 0, area_height_ = 0;
  int text_px_ = 0;
  XftFont* body_ = nullptr;
  XftFont* heading_ = nullptr;
  std::vector<std::pair<std::uint32_t, XftColor>> colours_;
  PromptState state_;
  bool caps_ = false;
  bool visible_ = false;
  int width_ = 0, height_ = 0;
};

}  // namespace orvo::platform::lock
