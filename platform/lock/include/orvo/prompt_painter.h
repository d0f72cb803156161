// The guardian's password prompt painted into 32-bit pixels (0x00RRGGBB)
// with FreeType and fontconfig, the one layout of every guardian's panel
// (X11 and Wayland): texts, colours (orvo/lock_prompt.h) and sizes from
// the height of the screen or monitor it goes on; the caller puts it in
// the middle of that screen or monitor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "orvo/lock_session.h"

namespace orvo::platform::lock {

struct PromptPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // rows of `width` pixels
};

class PromptPainter {
 public:
  // `title`: e.g. "Orvo Plasma is locked"; `subtitle`: who locked it.
  PromptPainter(std::string title, std::string subtitle);
  ~PromptPainter();
  PromptPainter(const PromptPainter&) = delete;
  PromptPainter& operator=(const PromptPainter&) = delete;

  // Paints the panel for a screen of the given size (nothing, 0 x 0, while
  // the state is not visible). Text is left out when no font was found.
  // The same state, caps lock and size give the picture painted before,
  // without painting it again (a guardian asks for every frame and output).
  const PromptPicture& Paint(const PromptState& state, bool caps_lock, int screen_width, int screen_height);

  // Whether fontconfig found a font to draw text with.
  bool HasFont();

 private:
  struct Fonts;
  struct Painted {
    int screen_width = 0, screen_height = 0;
    PromptPicture picture;
  };
  const PromptPicture& PaintNew(const PromptState& state, bool caps_lock, int screen_width, int screen_height);

  std::string title_, subtitle_;
  std::unique_ptr<Fonts> fonts_;
  PromptPicture picture_;
  // What was painted for the current state, per screen size.
  PromptState painted_state_;
  bool painted_caps_ = false;
  std::vector<Painted> painted_;
};

}  // namespace orvo::platform::lock
