// The guardian's covers and its grabs: both grabs before anything looks
// locked, the covering window of the main screen with the stage for the
// animation and the prompt above it, a black cover on every other X screen,
// inside the composite overlay under a compositing manager, and each made
// again, put back or resized when another client or RandR changes it.
#include "orvo/guardian.h"
#include "guardian_process.h"

#include "cursor.h"
#include "window_search.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

namespace orvo::platform::lock::guardian {

bool Guardian::TakeGrabs(bool* keyboard, bool* pointer) {
  // On the root window: it can never be unmapped, so no other client can
  // end these grabs by hiding a window of ours.
  if (!*keyboard)
    *keyboard = XGrabKeyboard(display_, root_, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
  if (!*pointer)
    *pointer = XGrabPointer(display_, root_, False, kPointerEvents, GrabModeAsync, GrabModeAsync, None, blank_,
                            CurrentTime) == GrabSuccess;
  return *keyboard && *pointer;
}

// Both grabs, before anything looks locked; 0 when held, else the exit code.
int Guardian::LockOrGiveUp() {
  const std::uint32_t start = Now();
  bool keyboard = false, pointer = false;
  while (!TakeGrabs(&keyboard, &pointer)) {
    if (Terminating()) return EndOnTerm();
    if (Now() - start >= kGrabLimit) {
      XUngrabKeyboard(display_, CurrentTime);
      XUngrabPointer(display_, CurrentTime);
      XSync(display_, False);
      // A lock of ours in its wind-down lets go within kEndWait; one that
      // still holds the grabs is locked, and this run defers to it.
      if (x11::FindWindowByClass(display_, root_, kCoverClass, nullptr, 0) != 0) {
        std::fprintf(stderr, "%s: cannot lock: another screen lock of these savers is active\n", program_.c_str());
        return End(kAnotherLock);
      }
      std::fprintf(stderr, "%s: cannot lock: another program holds the %s\n", program_.c_str(),
                   keyboard ? "pointer" : "keyboard");
      return End(kCouldNotLock);
    }
    pollfd fd{x11::SignalDescriptor(), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(kGrabRetry));
  }
  return 0;
}

// Under a compositing manager (the owner of _NET_WM_CM_S<n>) a cover on
// the root would show only through it, and a stalled compositor would keep
// the desktop on the screen: the cover goes into the composite overlay
// window, which the server shows above everything the compositor draws.
Window Guardian::CoverParent(int screen) {
  if (parents_.empty()) {
    const int count = ScreenCount(display_);
    parents_.assign(static_cast<std::size_t>(count), 0);
    overlay_.assign(static_cast<std::size_t>(count), false);
  }
  const auto i = static_cast<std::size_t>(screen);
  if (parents_[i] != 0) return parents_[i];
  const Window root = RootWindow(display_, screen);
  parents_[i] = root;
  int event = 0, error = 0;
  const std::string selection = "_NET_WM_CM_S" + std::to_string(screen);
  if (XCompositeQueryExtension(display_, &event, &error) &&
      XGetSelectionOwner(display_, XInternAtom(display_, selection.c_str(), False)) != 0) {
    const Window overlay = XCompositeGetOverlayWindow(display_, root);
    if (overlay != 0) {
      parents_[i] = overlay;
      overlay_[i] = true;
    }
  }
  return parents_[i];
}

// A black covering window for `screen`, unmapped, with the lock's class,
// title and process id, watched for being hidden, moved or taken away.
Window Guardian::MakeCover(int screen, int width, int height) {
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = BlackPixel(display_, screen);
  a.border_pixel = 0;
  a.cursor = blank_;
  a.event_mask = StructureNotifyMask | VisibilityChangeMask;
  const Window cover = XCreateWindow(display_, CoverParent(screen), 0, 0, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 0, DefaultDepth(display_, screen), InputOutput,
                                     DefaultVisual(display_, screen),
                                     CWOverrideRedirect | CWBackPixel | CWBorderPixel | CWCursor | CWEventMask, &a);
  std::string res = kCoverClass;
  XClassHint hint{res.data(), res.data()};
  XSetClassHint(display_, cover, &hint);
  XStoreName(display_, cover, kCoverTitle);
  const long pid = static_cast<long>(getpid());
  XChangeProperty(display_, cover, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  // A changed screen size (from the server, never Xlib's cached one).
  XSelectInput(display_, RootWindow(display_, screen),
               StructureNotifyMask | (screen == screen_ ? FocusChangeMask : 0));
  if (randr_event_ >= 0) XRRSelectInput(display_, RootWindow(display_, screen), RRScreenChangeNotifyMask);
  return cover;
}

namespace {

void RootSize(::Display* display, Window root, int* width, int* height) {
  Window ignored = 0;
  int x = 0, y = 0;
  unsigned w = 1, h = 1, border = 0, depth = 0;
  XGetGeometry(display, root, &ignored, &x, &y, &w, &h, &border, &depth);
  *width = static_cast<int>(std::max(w, 1u));
  *height = static_cast<int>(std::max(h, 1u));
}

}  // namespace

void Guardian::CreateWindows() {
  if (randr_event_ < 0) {
    int error = 0;
    if (!XRRQueryExtension(display_, &randr_event_, &error)) randr_event_ = -1;
  }
  RootSize(display_, root_, &width_, &height_);
  cover_ = MakeCover(screen_, width_, height_);
  // The stage holds the animation's window; the prompt is its sibling above it.
  // The stage hears of the animation's window being made (see BlackenAnimation).
  XSetWindowAttributes s{};
  s.background_pixel = BlackPixel(display_, screen_);
  s.event_mask = SubstructureNotifyMask;
  stage_ = XCreateWindow(display_, cover_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0,
                         CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &s);
  XMapWindow(display_, stage_);
  prompt_ = std::make_unique<PromptView>(display_, screen_, cover_, saver_name_,
                                         "locked by " + GuardianUserName() + " on " + GuardianHostName());
  prompt_->Resize(width_, height_);
  if (others_.empty()) MakeOtherCovers();
  XFlush(display_);
}

// Every other X screen (:0.1, ...) gets a black cover of its own.
void Guardian::MakeOtherCovers() {
  for (int screen = 0; screen < ScreenCount(display_); ++screen) {
    if (screen == screen_) continue;
    OtherCover other{screen, RootWindow(display_, screen), 0, 1, 1};
    RootSize(display_, other.root, &other.width, &other.height);
    other.window = MakeCover(screen, other.width, other.height);
    others_.push_back(other);
  }
}

// Whether `w` is one of the covers; its screen and the parent it belongs in.
bool Guardian::FindCover(Window w, int* screen, Window* parent) {
  if (w == 0) return false;
  if (w == cover_) {
    *screen = screen_;
  } else {
    const auto it = std::find_if(others_.begin(), others_.end(), [w](const OtherCover& c) { return c.window == w; });
    if (it == others_.end()) return false;
    *screen = it->screen;
  }
  *parent = CoverParent(*screen);
  return true;
}

// The animation draws its window without a background of its own, so an
// exposure it does not repaint (a stopped or hung animation, after another
// client's window was over the lock) would keep that client's picture on
// the locked screen. With a black background the server clears every
// exposed part itself; a live animation paints it again on the exposure.
void Guardian::BlackenAnimation(Window window) {
  // Nothing is cleared now: what the animation has drawn stays.
  XSetWindowBackground(display_, window, BlackPixel(display_, screen_));
}

void Guardian::RaiseCovers() {
  XRaiseWindow(display_, cover_);
  for (const OtherCover& c : others_) XRaiseWindow(display_, c.window);
}

// A screen changed size (RandR): its cover follows, from the new size.
void Guardian::ScreenResized(Window root, int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (root == root_) {
    width_ = width;
    height_ = height;
    XMoveResizeWindow(display_, cover_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    XResizeWindow(display_, stage_, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    if (prompt_) prompt_->Resize(width_, height_);
    if (prompt_ && prompt_->visible()) PlacePrompt();
    return;
  }
  for (OtherCover& c : others_) {
    if (c.root != root) continue;
    c.width = width;
    c.height = height;
    XMoveResizeWindow(display_, c.window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
  }
}

// The prompt goes in the middle of the monitor that holds the pointer (the
// first monitor when the pointer is on another screen), the rest stays covered.
void Guardian::PlacePrompt() {
  if (!prompt_) return;
  int x = 0, y = 0, width = width_, height = height_;
  Window root = 0, child = 0;
  int px = 0, py = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  const bool here = XQueryPointer(display_, root_, &root, &child, &px, &py, &wx, &wy, &mask);
  int count = 0;
  XRRMonitorInfo* monitors = randr_event_ >= 0 ? XRRGetMonitors(display_, root_, True, &count) : nullptr;
  for (int i = 0; i < count; ++i) {
    const XRRMonitorInfo& m = monitors[i];
    const bool holds = here && px >= m.x && px < m.x + m.width && py >= m.y && py < m.y + m.height;
    if (i == 0 || holds) {
      x = m.x;
      y = m.y;
      width = m.width;
      height = m.height;
    }
    if (holds) break;
  }
  if (monitors != nullptr) XRRFreeMonitors(monitors);
  prompt_->Place(x, y, width, height);
}

void Guardian::MapCover() {
  XMapRaised(display_, cover_);
  for (const OtherCover& c : others_) XMapRaised(display_, c.window);
  if (prompt_ && prompt_->visible()) XRaiseWindow(display_, prompt_->window());
  XFlush(display_);
  const bool first = !ever_covered_;
  covered_ = ever_covered_ = true;
  if (first) TellLocked();
}

// The grabs are held and the cover is mapped: whoever waits for the lock
// (an idle manager's sleep lock, the caller of a detached run) hears of it.
void Guardian::TellLocked() {
  XSync(display_, False);
  lock::TellLocked(&told_, &sleep_lock_);
}

// Another client destroyed the cover (and with it the stage, the prompt and
// the animation's window): everything is made again. The grabs, on the
// root window, were never lost.
void Guardian::RebuildWindows() {
  prompt_.reset();
  if (ic_ != nullptr) XDestroyIC(ic_);
  ic_ = nullptr;
  CreateWindows();
  if (im_ != nullptr)
    ic_ = XCreateIC(im_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, cover_, XNFocusWindow,
                    cover_, nullptr);
  if (ic_ != nullptr) XSetICFocus(ic_);
  MapCover();
  prompt_->Show(session_.prompt(), caps_lock_);
  // The animation lost its window with the stage; a new one gets the new stage.
  if (animation_.running()) kill(animation_.pid(), SIGTERM);
}

}  // namespace orvo::platform::lock::guardian
