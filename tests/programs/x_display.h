// A test's own connection to the X display: it plays the user (pointer and
// keys through XTEST), the other clients (foreign windows) and the eye
// (reading pixels and finding windows).
#pragma once

#include <X11/Xlib.h>

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace orvo::testing {

class XDisplay {
 public:
  XDisplay();
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  bool ok() const { return display_ != nullptr; }
  Display* get() const { return display_; }

  void MovePointer(int x, int y);
  void PressKey(const char* keysym_name);
  void PressButton(unsigned button);
  void Sync();

  // A mapped top-level window of this client, filled with white.
  Window CreateWindow(int width, int height);
  // A top-level window (or one level below, under a window manager) named `title`.
  Window FindByTitle(const std::string& title);
  // Children of `parent`; 0 when it has none.
  Window FirstChild(Window parent);
  bool Size(Window w, int* width, int* height);
  // The pixel at x, y of window w as 0xRRGGBB, or -1 when unreadable.
  long Pixel(Window w, int x, int y);

 private:
  Display* display_ = nullptr;
};

// A saver program started in the background (from the build's bin folder),
// killed if still running when the object goes.
class Program {
 public:
  explicit Program(const std::vector<std::string>& args);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  // The exit code once the program ended within `limit`, or -1 while it runs.
  int WaitExit(std::chrono::milliseconds limit);
  // Sends a signal to the program.
  void Signal(int number);

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

}  // namespace orvo::testing
