// The guardian process of a protected full-screen run: its set-up, its
// loop over the X connection, the signals, PAM's worker and the link to
// the animation, and its end.
#include "orvo/guardian.h"

// Our headers first: Xlib's macros would rewrite names in them.
#include "orvo/lock_contract.h"
#include "orvo/password.h"
#include "orvo/ticks.h"
#include "guardian_process.h"

#include "cursor.h"
#include "errors.h"

#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xrandr.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace orvo::platform {
namespace lock::guardian {

Guardian::~Guardian() {
  prompt_.reset();
  if (ic_ != nullptr) XDestroyIC(ic_);
  if (im_ != nullptr) XCloseIM(im_);
}

bool Guardian::StartAnimation() {
  if (!animation_.Start(Now(), static_cast<std::uint32_t>(stage_), -1, {})) return false;
  shown_ = false;
  started_ = Now();
  session_.AnimationStarted();
  return true;
}

// After SIGCHLD: an animation that ended before its first frame or after
// leaves the lock (see AnimationReaped), covered.
void Guardian::Reap() {
  if (AnimationReaped(Now()) && !unlocking_ && !covered_) MapCover();
}

int Guardian::End(int code) {
  animation_.Stop(true);
  RestoreKeymap();
  XUngrabKeyboard(display_, CurrentTime);
  XUngrabPointer(display_, CurrentTime);
  prompt_.reset();
  if (cover_ != 0) XDestroyWindow(display_, cover_);
  cover_ = stage_ = 0;
  for (const OtherCover& c : others_) XDestroyWindow(display_, c.window);
  others_.clear();
  for (std::size_t i = 0; i < overlay_.size(); ++i)
    if (overlay_[i]) XCompositeReleaseOverlayWindow(display_, RootWindow(display_, static_cast<int>(i)));
  overlay_.clear();
  XSync(display_, False);
  return code;
}

// SIGTERM ends a locked run cleanly with 0; before the screen was locked,
// the run did not lock.
int Guardian::EndOnTerm() {
  if (ever_covered_) return End(0);
  std::fprintf(stderr, "%s: cannot lock: ended by SIGTERM before the screen was locked\n", program_.c_str());
  return End(kCouldNotLock);
}

void Guardian::HandleEvent(XEvent& event) {
  const std::uint32_t now = Now();
  switch (event.type) {
    case KeyPress:
    case KeyRelease:
      HandleKey(event);
      WipeSecret(&event, sizeof event);
      return;
    case ButtonPress:
    case ButtonRelease: {
      const unsigned button = event.xbutton.button;
      if (button >= 1 && button <= 3) {
        session_.Motion(now, event.xbutton.x_root, event.xbutton.y_root);
        session_.Button(now, static_cast<int>(button), event.type == ButtonPress);
      } else if (button >= 4 && button <= 7 && event.type == ButtonPress) {
        session_.Wheel(static_cast<int>(button));
      }
      return;
    }
    case MotionNotify: {
      XEvent next{};
      while (XEventsQueued(display_, QueuedAlready) > 0) {
        XPeekEvent(display_, &next);
        if (next.type != MotionNotify) break;
        XNextEvent(display_, &event);
      }
      session_.Motion(now, event.xmotion.x_root, event.xmotion.y_root);
      return;
    }
    case CreateNotify:
      if (event.xcreatewindow.parent == stage_ && stage_ != 0) BlackenAnimation(event.xcreatewindow.window);
      return;
    case DestroyNotify: {
      Window w = event.xdestroywindow.window;
      if (w == cover_ && cover_ != 0) {
        RebuildWindows();
        return;
      }
      for (OtherCover& c : others_) {
        if (c.window != w) continue;
        c.window = MakeCover(c.screen, c.width, c.height);
        if (covered_) XMapRaised(display_, c.window);
      }
      return;
    }
    case UnmapNotify: {
      int screen = 0;
      Window parent = 0;
      if (covered_ && FindCover(event.xunmap.window, &screen, &parent)) {
        // Someone hid a cover: it goes straight back, grabs with it.
        MapCover();
        next_grab_ = now;
      }
      return;
    }
    case ReparentNotify: {
      int screen = 0;
      Window parent = 0;
      if (FindCover(event.xreparent.window, &screen, &parent) && event.xreparent.parent != parent) {
        // Taken into another window (a 1x1 one shows nothing): back where it belongs.
        XReparentWindow(display_, event.xreparent.window, parent, 0, 0);
        if (covered_) MapCover();
        next_grab_ = now;
      }
      return;
    }
    case VisibilityNotify: {
      int screen = 0;
      Window parent = 0;
      if (covered_ && event.xvisibility.state != VisibilityUnobscured &&
          FindCover(event.xvisibility.window, &screen, &parent)) {
        XRaiseWindow(display_, event.xvisibility.window);
        next_grab_ = now;
      }
      return;
    }
    case FocusOut:
      // The server ended our keyboard grab (a grab-breaking key, say).
      if (event.xfocus.mode == NotifyUngrab) next_grab_ = now;
      return;
    case ConfigureNotify: {
      const XConfigureEvent& c = event.xconfigure;
      int screen = 0;
      Window parent = 0;
      const bool root = c.window == root_ || std::any_of(others_.begin(), others_.end(),
                                                            [&c](const OtherCover& o) { return o.root == c.window; });
      if (root) {
        XRRUpdateConfiguration(&event);  // Xlib's idea of the screen size follows too
        ScreenResized(c.window, c.width, c.height);
      } else if (FindCover(c.window, &screen, &parent) && (c.x != 0 || c.y != 0)) {
        XMoveWindow(display_, c.window, 0, 0);
      } else if (c.window == cover_ && (c.width != width_ || c.height != height_)) {
        XResizeWindow(display_, cover_, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
      }
      return;
    }
    case Expose:
      if (prompt_ && event.xexpose.window == prompt_->window() && event.xexpose.count == 0) prompt_->Redraw();
      return;
    case MappingNotify:
      XRefreshKeyboardMapping(&event.xmapping);
      if (event.xmapping.request == MappingKeyboard) CheckKeymap();
      return;
    default:
      if (xkb_event_ >= 0 && event.type == xkb_event_) CheckKeymap();
      if (randr_event_ >= 0 && event.type == randr_event_ + RRScreenChangeNotify) XRRUpdateConfiguration(&event);
      return;
  }
}

void Guardian::ReadLink() {
  LinkMessage m;
  for (;;) {
    const Receive r = ReceiveLinkMessage(animation_.link(), &m);
    if (r != Receive::kMessage) return;  // a closed link shows as the child's end
    if (!ValidForGuardian(m)) continue;
    if (static_cast<LinkType>(m.type) == LinkType::kShown) {
      shown_ = true;
    } else {
      session_.VerifyRequest(Now(), m.sequence);
    }
  }
}

std::uint32_t Guardian::NextWake(std::uint32_t now) const {
  std::uint32_t wait = CoreWait(now);
  auto until = [now](std::uint32_t when) {
    return TickReached(now, when) ? 0u : when - now;
  };
  wait = std::min(wait, until(next_grab_));
  if (!covered_ && !ever_covered_) wait = std::min(wait, until(started_ + kShowLimit));
  if (unlocking_) wait = std::min<std::uint32_t>(wait, 20);
  return wait;
}

bool Guardian::PointerInHotCorner() {
  Window root = 0, child = 0;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  return XQueryPointer(display_, root_, &root, &child, &x, &y, &wx, &wy, &mask) &&
         InHotCorner(x, y, DisplayWidth(display_, screen_), DisplayHeight(display_, screen_));
}

int Guardian::Run() {
  SecludeGuardian();
  x11::CatchSignals(kWakingSignals);

  // The server gone takes every grab and window with it: nothing is left
  // to guard. (The animation lost its display too and ends by itself.)
  XSetIOErrorHandler(x11::ExitOnLostDisplay);
  XSetErrorHandler(x11::RecordError);
  blank_ = x11::CreateInvisibleCursor(display_, root_);

  if (hot_corner_ && PointerInHotCorner()) {
    std::fprintf(stderr, "%s: cannot lock: the pointer rests in the hot corner\n", program_.c_str());
    return End(kCouldNotLock);
  }
  if (!WatchKeymap()) return End(kCouldNotLock);
  if (const int code = LockOrGiveUp(); code != 0) return code;
  // The keymap may have changed while the grabs were taken.
  CheckKeymap();
  if (Terminating()) return EndOnTerm();
  CreateWindows();
  OpenInputMethod();
  UpdateCapsLock();
  if (!StartAnimation()) MapCover();  // black, but locked all the same
  next_grab_ = Now() + kGrabRefresh;

  while (!finished_) {
    while (XPending(display_) > 0 && !finished_) {
      XEvent event{};
      XNextEvent(display_, &event);
      HandleEvent(event);
    }
    XFlush(display_);
    if (Terminating()) return EndOnTerm();
    const std::uint32_t now = Now();
    pollfd fds[4] = {{ConnectionNumber(display_), POLLIN, 0}, {x11::SignalDescriptor(), POLLIN, 0},
                     {worker_.descriptor(), POLLIN, 0}, {animation_.link(), POLLIN, 0}};
    const nfds_t count = animation_.link() >= 0 ? 4 : 3;
    const std::uint32_t wait = NextWake(now);
    poll(fds, count, wait == ~0u ? -1 : static_cast<int>(std::min<std::uint32_t>(wait, 60000)));
    x11::DrainSignalPipe();
    if (Terminating()) return EndOnTerm();
    Reap();
    if (animation_.link() >= 0) ReadLink();
    worker_.Deliver(session_, &Now);
    const std::uint32_t after = Now();
    session_.Tick(after);
    if (!covered_ && !ever_covered_ && (shown_ || after - started_ >= kShowLimit)) MapCover();
    if (static_cast<std::int32_t>(after - next_grab_) >= 0) {
      bool keyboard = false, pointer = false;
      TakeGrabs(&keyboard, &pointer);  // one attempt; a refusal is tried again soon
      next_grab_ = after + (keyboard && pointer ? kGrabRefresh : kGrabRetry);
      if (covered_) RaiseCovers();
    }
    if (RestartNow(after)) StartAnimation();
    WindDown(after);
  }
  return End(exit_code_);
}

}  // namespace lock::guardian

std::optional<int> GuardScreen(int argc, char** argv, const char* saver_name, GuardRequest request) {
  if (lock::LinkToGuardian().active()) return std::nullopt;  // this is the animation
  if (!request.lock && !lock::PasswordSwitchOn()) return std::nullopt;
  const int sleep_lock = lock::TakeSleepLock();
  int told = -1;
  if (request.detach) {
    if (const auto code = lock::DetachGuardian(&told, sleep_lock)) return code;
  }
  lock::UseUtf8Locale();
  ::Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return std::nullopt;  // the program says why it cannot run
  XSetErrorHandler(x11::RecordError);
  // Windows of another saver (locked or not) do not stop this run: it takes
  // the grabs first, and only a lock of ours that holds them ends it.
  int code = 0;
  {
    lock::guardian::Guardian guardian(display, argc, argv, saver_name != nullptr ? saver_name : "Screen saver");
    guardian.Prepare(!request.lock, sleep_lock, told);
    code = guardian.Run();
  }
  XCloseDisplay(display);
  return code;
}

}  // namespace orvo::platform
