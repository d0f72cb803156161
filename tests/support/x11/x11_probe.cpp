#include "x11_probe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <bit>
#include <cstring>
#include <map>
#include <string>

namespace orvo::testing {
namespace {

Display* D(void* display) { return static_cast<Display*>(display); }

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

std::uint8_t Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask >> shift);
  unsigned long v = (pixel & mask) >> shift;
  if (bits >= 8) return static_cast<std::uint8_t>(v >> (bits - 8));
  // Widen a narrow field so that its maximum reads as 255.
  return static_cast<std::uint8_t>(v * 255 / ((1ul << bits) - 1));
}

}  // namespace

X11Probe::X11Probe() {
  display_ = XOpenDisplay(nullptr);
  // The server may be resetting after the previous test's clients left.
  for (int attempt = 0; !display_ && attempt < 10; ++attempt) {
    usleep(50000);
    display_ = XOpenDisplay(nullptr);
  }
  if (display_) XSetErrorHandler(IgnoreErrors);
}

X11Probe::~X11Probe() {
  if (display_) XCloseDisplay(D(display_));
}

int X11Probe::ScreenWidth() const { return DisplayWidth(D(display_), DefaultScreen(D(display_))); }
int X11Probe::ScreenHeight() const {
  return DisplayHeight(D(display_), DefaultScreen(D(display_)));
}

std::uint32_t X11Probe::CreateWindow(int x, int y, int width, int height, const char* class_name,
                                     const char* title) {
  Display* d = D(display_);
  const Window id = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y,
                                        static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), 0, 0, 0);
  std::string name(class_name ? class_name : "");
  XClassHint hint;
  hint.res_name = name.data();
  hint.res_class = name.data();
  XSetClassHint(d, id, &hint);
  XStoreName(d, id, title ? title : "");
  XMapWindow(d, id);
  XSync(d, False);
  return static_cast<std::uint32_t>(id);
}

std::uint32_t X11Probe::CreateAlphaWindow(int width, int height) {
  Display* d = D(display_);
  XVisualInfo info{};
  if (!XMatchVisualInfo(d, DefaultScreen(d), 32, TrueColor, &info)) return 0;
  XSetWindowAttributes attributes{};
  attributes.colormap = XCreateColormap(d, DefaultRootWindow(d), info.visual, AllocNone);
  attributes.border_pixel = 0;
  attributes.background_pixel = 0;
  const Window id = XCreateWindow(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), 0, 32, InputOutput, info.visual,
                                  CWColormap | CWBorderPixel | CWBackPixel, &attributes);
  XMapWindow(d, id);
  XSync(d, False);
  return static_cast<std::uint32_t>(id);
}

bool X11Probe::RawPixel(std::uint32_t id, int x, int y, std::uint32_t* value) {
  XImage* image = XGetImage(D(display_), id, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return false;
  *value = static_cast<std::uint32_t>(XGetPixel(image, 0, 0));
  XDestroyImage(image);
  return true;
}

void X11Probe::DestroyWindow(std::uint32_t id) {
  XDestroyWindow(D(display_), id);
  XSync(D(display_), False);
}

void X11Probe::ResizeWindow(std::uint32_t id, int width, int height) {
  XResizeWindow(D(display_), id, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(D(display_), False);
}

std::uint32_t X11Probe::StaleWindowId() {
  const std::uint32_t id = CreateWindow(0, 0, 10, 10, "Stale", "Stale");
  DestroyWindow(id);
  return id;
}

bool X11Probe::ReadPixels(std::uint32_t id, int width, int height,
                          std::vector<platform::Rgb>* out) {
  Display* d = D(display_);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(d, id, &attributes)) return false;
  XImage* image = XGetImage(d, id, 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!image) return false;
  const Visual* visual = attributes.visual;
  const bool mapped = visual->c_class != TrueColor && visual->c_class != DirectColor;
  std::map<unsigned long, platform::Rgb> cells;  // colour-mapped visuals: cell colours
  out->assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), {});
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      platform::Rgb colour;
      if (mapped) {
        auto it = cells.find(pixel);
        if (it == cells.end()) {
          XColor cell{};
          cell.pixel = pixel;
          XQueryColor(d, attributes.colormap, &cell);
          it = cells.emplace(pixel, platform::Rgb{static_cast<std::uint8_t>(cell.red >> 8),
                                                  static_cast<std::uint8_t>(cell.green >> 8),
                                                  static_cast<std::uint8_t>(cell.blue >> 8)})
                   .first;
        }
        colour = it->second;
      } else {
        colour = {Channel(pixel, visual->red_mask), Channel(pixel, visual->green_mask),
                  Channel(pixel, visual->blue_mask)};
      }
      (*out)[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
             static_cast<std::size_t>(x)] = colour;
    }
  }
  XDestroyImage(image);
  return true;
}

bool X11Probe::Geometry(std::uint32_t id, int* x, int* y, int* width, int* height) {
  Display* d = D(display_);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(d, id, &attributes)) return false;
  Window child = 0;
  XTranslateCoordinates(d, id, attributes.root, 0, 0, x, y, &child);
  *width = attributes.width;
  *height = attributes.height;
  return true;
}

bool X11Probe::IsOverrideRedirect(std::uint32_t id) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(D(display_), id, &attributes) && attributes.override_redirect;
}

bool X11Probe::IsShown(std::uint32_t id) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(D(display_), id, &attributes) &&
         attributes.map_state == IsViewable;
}

bool X11Probe::WaitUntilShown(std::uint32_t id) {
  for (int i = 0; i < 100; ++i) {
    if (IsShown(id)) return true;
    usleep(10000);
  }
  return false;
}

bool X11Probe::IsUppermost(std::uint32_t id) {
  Display* d = D(display_);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return false;
  const bool top = count > 0 && children[count - 1] == id;
  if (children) XFree(children);
  return top;
}

void X11Probe::SendKey(std::uint32_t id, const char* keysym, bool press, bool alt) {
  Display* d = D(display_);
  XEvent event{};
  event.xkey.type = press ? KeyPress : KeyRelease;
  event.xkey.display = d;
  event.xkey.window = id;
  event.xkey.root = DefaultRootWindow(d);
  event.xkey.time = CurrentTime;
  event.xkey.x = event.xkey.y = 1;
  event.xkey.same_screen = True;
  event.xkey.state = alt ? Mod1Mask : 0;
  event.xkey.keycode = XKeysymToKeycode(d, XStringToKeysym(keysym));
  XSendEvent(d, id, True, press ? KeyPressMask : KeyReleaseMask, &event);
  XSync(d, False);
}

void X11Probe::SendButton(std::uint32_t id, int button, bool press, int x, int y) {
  Display* d = D(display_);
  XEvent event{};
  event.xbutton.type = press ? ButtonPress : ButtonRelease;
  event.xbutton.display = d;
  event.xbutton.window = id;
  event.xbutton.root = DefaultRootWindow(d);
  event.xbutton.x = x;
  event.xbutton.y = y;
  event.xbutton.button = static_cast<unsigned>(button);
  event.xbutton.same_screen = True;
  XSendEvent(d, id, True, press ? ButtonPressMask : ButtonReleaseMask, &event);
  XSync(d, False);
}

void X11Probe::SendMotion(std::uint32_t id, int x, int y) {
  Display* d = D(display_);
  XEvent event{};
  event.xmotion.type = MotionNotify;
  event.xmotion.display = d;
  event.xmotion.window = id;
  event.xmotion.root = DefaultRootWindow(d);
  event.xmotion.x = x;
  event.xmotion.y = y;
  event.xmotion.same_screen = True;
  XSendEvent(d, id, True, PointerMotionMask, &event);
  XSync(d, False);
}

void X11Probe::SendDeleteRequest(std::uint32_t id) {
  Display* d = D(display_);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = id;
  event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, id, False, NoEventMask, &event);
  XSync(d, False);
}

void X11Probe::WarpPointer(int x, int y) {
  Display* d = D(display_);
  XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
  XSync(d, False);
}

void X11Probe::SetFocus(std::uint32_t id) {
  XSetInputFocus(D(display_), id, RevertToParent, CurrentTime);
  XSync(D(display_), False);
}

std::uint32_t X11Probe::FocusWindow() {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(D(display_), &focus, &revert);
  return static_cast<std::uint32_t>(focus);
}

void X11Probe::Sync() { XSync(D(display_), False); }

void X11Probe::GrabServer(bool on) {
  if (on) {
    XGrabServer(D(display_));
  } else {
    XUngrabServer(D(display_));
  }
  XSync(D(display_), False);
}

void X11Probe::PaintWhite(std::uint32_t id) {
  Display* d = D(display_);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(d, id, &attributes)) return;
  GC gc = XCreateGC(d, id, 0, nullptr);
  XSetForeground(d, gc, WhitePixel(d, DefaultScreen(d)));
  XFillRectangle(d, id, gc, 0, 0, static_cast<unsigned>(attributes.width),
                 static_cast<unsigned>(attributes.height));
  XFreeGC(d, gc);
  XSync(d, False);
}

void X11Probe::SetResources(const char* text) {
  Display* d = D(display_);
  const Atom property = XInternAtom(d, "RESOURCE_MANAGER", False);
  if (text == nullptr) {
    XDeleteProperty(d, DefaultRootWindow(d), property);
  } else {
    XChangeProperty(d, DefaultRootWindow(d), property, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)));
  }
  XSync(d, False);
}

}  // namespace orvo::testing
