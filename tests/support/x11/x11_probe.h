// A second X connection for tests: makes "foreign" windows, reads pixels
// back from the server and sends input events, without exposing X11 types.
#pragma once

#include <cstdint>
#include <vector>

#include "orvo/display.h"

namespace orvo::testing {

class X11Probe {
 public:
  X11Probe();  // opens $DISPLAY; ok() tells whether that worked
  ~X11Probe();
  X11Probe(const X11Probe&) = delete;
  X11Probe& operator=(const X11Probe&) = delete;

  bool ok() const { return display_ != nullptr; }
  int ScreenWidth() const;
  int ScreenHeight() const;

  // A mapped ordinary top-level window of this connection.
  std::uint32_t CreateWindow(int x, int y, int width, int height, const char* class_name,
                             const char* title);
  // The same with a 32-bit visual that has alpha (as composited desktops
  // use); 0 when the server has none.
  std::uint32_t CreateAlphaWindow(int width, int height);
  void DestroyWindow(std::uint32_t id);
  void ResizeWindow(std::uint32_t id, int width, int height);
  // An id that named a window a moment ago and names nothing now.
  std::uint32_t StaleWindowId();

  // The window's pixels as colours, row by row; false if it cannot be read.
  bool ReadPixels(std::uint32_t id, int width, int height, std::vector<platform::Rgb>* out);
  // The raw pixel value at x, y.
  bool RawPixel(std::uint32_t id, int x, int y, std::uint32_t* value);
  // Position relative to the root window and size.
  bool Geometry(std::uint32_t id, int* x, int* y, int* width, int* height);
  bool IsOverrideRedirect(std::uint32_t id);
  bool IsShown(std::uint32_t id);
  // Whether the top-level window is the last (uppermost) child of the root.
  bool IsUppermost(std::uint32_t id);
  // Waits (up to a second) until the window is mapped and viewable.
  bool WaitUntilShown(std::uint32_t id);

  // Input sent to the window as a client would (X key symbol names: "a", "Escape").
  void SendKey(std::uint32_t id, const char* keysym, bool press, bool alt);
  void SendButton(std::uint32_t id, int button, bool press, int x, int y);
  void SendMotion(std::uint32_t id, int x, int y);

  // The window manager's close request, as a ClientMessage.
  void SendDeleteRequest(std::uint32_t id);
  void WarpPointer(int x, int y);
  void SetFocus(std::uint32_t id);
  std::uint32_t FocusWindow();

  void Sync();

  // Holds the server for this connection alone (XGrabServer): the server
  // handles no other client's requests until released.
  void GrabServer(bool on);
  // Paints the whole window white from this connection, as another client
  // could (its own window or anyone's).
  void PaintWhite(std::uint32_t id);
  // Sets the desktop's resource string on the root window, as xrdb does
  // (nullptr removes it).
  void SetResources(const char* text);

 private:
  void* display_ = nullptr;  // Display*
};

}  // namespace orvo::testing
