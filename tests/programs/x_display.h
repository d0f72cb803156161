// A test's own connection to the X display: it plays the user (pointer and
// keys through XTEST), the other clients (foreign windows) and the eye
// (reading pixels and finding windows).
#pragma once

#include <X11/Xlib.h>

#include <sys/types.h>

#include <chrono>
#include <cstdint>
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
  // A window below `top` (at most `depth` levels down) whose WM_CLASS class
  // is `res_class` (and whose name is `title`, unless empty); 0 if none.
  Window FindByClass(Window top, const std::string& res_class, const std::string& title, int depth);
  // The process that made `w` (its _NET_WM_PID), or -1.
  long WindowPid(Window w);
  bool Viewable(Window w);
  // The topmost child of the root window.
  Window TopWindow();
  // The screen's pixels in a rectangle, as 0xRRGGBB, row by row.
  std::vector<std::uint32_t> Capture(int x, int y, int width, int height);
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
  // `stderr_file`: where its standard error goes (inherited when empty).
  explicit Program(const std::vector<std::string>& args, const std::string& stderr_file = "");
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  // The exit code once the program ended within `limit`, or -1 while it runs.
  int WaitExit(std::chrono::milliseconds limit);
  // Sends a signal to the program.
  void Signal(int number);
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

}  // namespace orvo::testing
