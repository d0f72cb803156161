// The guardian's cover over the screen and its grabs: both grabs before
// anything looks locked, the covering window with the stage for the
// animation and the prompt above it, and the cover made again when another
// client destroys it.
#include "orvo/guardian.h"
#include "guardian_process.h"

#include "cursor.h"
#include "window_search.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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

void Guardian::CreateWindows() {
  width_ = DisplayWidth(display_, screen_);
  height_ = DisplayHeight(display_, screen_);
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = BlackPixel(display_, screen_);
  a.border_pixel = 0;
  a.cursor = blank_;
  a.event_mask = StructureNotifyMask | VisibilityChangeMask;
  cover_ = XCreateWindow(display_, root_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0,
                         CopyFromParent, InputOutput, CopyFromParent,
                         CWOverrideRedirect | CWBackPixel | CWBorderPixel | CWCursor | CWEventMask, &a);
  std::string res = kCoverClass;
  XClassHint hint{res.data(), res.data()};
  XSetClassHint(display_, cover_, &hint);
  XStoreName(display_, cover_, kCoverTitle);
  const long pid = static_cast<long>(getpid());
  XChangeProperty(display_, cover_, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  // The stage holds the animation's window; the prompt is its sibling above it.
  XSetWindowAttributes s{};
  s.background_pixel = BlackPixel(display_, screen_);
  stage_ = XCreateWindow(display_, cover_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0,
                         CopyFromParent, InputOutput, CopyFromParent, CWBackPixel, &s);
  XMapWindow(display_, stage_);
  prompt_ = std::make_unique<PromptView>(display_, screen_, cover_, saver_name_,
                                         "locked by " + UserName() + " on " + HostName());
  prompt_->Resize(width_, height_);
  // A changed screen size, and an end of the keyboard grab by the server.
  XSelectInput(display_, root_, StructureNotifyMask | FocusChangeMask);
  XFlush(display_);
}

void Guardian::MapCover() {
  XMapRaised(display_, cover_);
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
  if (sleep_lock_ >= 0) close(sleep_lock_);
  sleep_lock_ = -1;
  if (told_ >= 0) {
    const char byte = 1;
    while (write(told_, &byte, 1) < 0 && errno == EINTR) {
    }
    close(told_);
  }
  told_ = -1;
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
  if (animation_ > 0) kill(animation_, SIGTERM);
}

}  // namespace orvo::platform::lock::guardian
