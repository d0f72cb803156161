// The X11 back end's events: X events translated into back-end events,
// terminating signals as kTerminate, and the wait for either.
#include "x11_display.h"

#include "errors.h"
#include "signals.h"

#include <poll.h>

#include <algorithm>
#include <climits>

namespace orvo::platform::x11 {

void X11Backend::Lost(OwnWindow& window) {
  if (!window.alive) return;
  window.alive = false;
  window.grabbed = false;
  for (int i = 0; i < window.buffer_count; ++i) window.buffers[i].busy = false;
  BackendEvent out;
  out.kind = BackendEvent::Kind::kDestroyed;
  out.window = static_cast<NativeId>(window.id);
  Push(out);
}

void X11Backend::Translate(XEvent& event) {
  using Kind = BackendEvent::Kind;
  {
    if (shm_completion_ >= 0 && event.type == shm_completion_) {
      const auto& done = reinterpret_cast<const XShmCompletionEvent&>(event);
      for (auto& [id, window] : windows_)
        for (int i = 0; i < window->buffer_count; ++i)
          if (window->buffers[i].shared && window->buffers[i].segment.shmseg == done.shmseg)
            window->buffers[i].busy = false;
      return;
    }
  }
  const Window target = event.xany.window;

  if (event.type == ConfigureNotify && event.xconfigure.window == root_) {
    // The screen changed size: full-screen windows follow it.
    for (auto& [id, window] : windows_)
      if (window->alive && window->topmost)
        XMoveResizeWindow(display_, window->id, 0, 0,
                          static_cast<unsigned>(std::max(event.xconfigure.width, 1)),
                          static_cast<unsigned>(std::max(event.xconfigure.height, 1)));
  }

  OwnWindow* window = Find(static_cast<NativeId>(target));
  if (event.type == DestroyNotify) {
    const Window gone = event.xdestroywindow.window;
    if (OwnWindow* own = Find(static_cast<NativeId>(gone))) {
      Lost(*own);
      return;
    }
    for (auto& [id, child] : windows_)
      if (child->foreign_parent && child->parent == gone) Lost(*child);
    return;
  }
  if (event.type == ConfigureNotify && !window) {
    // A foreign parent changed size: the preview follows it.
    const Window changed = event.xconfigure.window;
    for (auto& [id, child] : windows_)
      if (child->alive && child->foreign_parent && child->parent == changed)
        XResizeWindow(display_, child->id,
                      static_cast<unsigned>(std::max(event.xconfigure.width, 1)),
                      static_cast<unsigned>(std::max(event.xconfigure.height, 1)));
    return;
  }
  if (!window || !window->alive) return;

  BackendEvent out;
  out.window = static_cast<NativeId>(window->id);
  switch (event.type) {
    case KeyPress:
    case KeyRelease: {
      DescribeKey(event.xkey, &out);
      out.x = Down(event.xkey.x);
      out.y = Down(event.xkey.y);
      Push(out);
      return;
    }
    case ButtonPress:
    case ButtonRelease: {
      const unsigned button = event.xbutton.button;
      out.x = Down(event.xbutton.x);
      out.y = Down(event.xbutton.y);
      out.alt = (event.xbutton.state & Mod1Mask) != 0;
      if (button >= 1 && button <= 3) {
        out.kind = event.type == ButtonPress ? Kind::kButtonDown : Kind::kButtonUp;
        out.button = static_cast<int>(button);
        Push(out);
      } else if (button >= 4 && button <= 7 && event.type == ButtonPress) {
        // The wheel: 4 up, 5 down, 6 left, 7 right, in `button`.
        out.kind = Kind::kWheel;
        out.button = static_cast<int>(button);
        Push(out);
      }
      return;
    }
    case MotionNotify: {
      // Motions already queued behind this one for the same window collapse
      // into the last: only where the pointer is matters.
      XMotionEvent last = event.xmotion;
      XEvent next{};
      while (XEventsQueued(display_, QueuedAlready) > 0) {
        XPeekEvent(display_, &next);
        if (next.type != MotionNotify || next.xmotion.window != last.window) break;
        XNextEvent(display_, &next);
        last = next.xmotion;
      }
      out.kind = Kind::kMotion;
      out.x = Down(last.x);
      out.y = Down(last.y);
      Push(out);
      return;
    }
    case Expose: {
      const XExposeEvent& e = event.xexpose;
      out.kind = Kind::kExpose;
      out.x = Down(e.x);
      out.y = Down(e.y);
      out.width = Up(e.x + e.width) - out.x;
      out.height = Up(e.y + e.height) - out.y;
      // Screen pixels beyond the last whole emulated pixel are ours to clear.
      if (e.x + e.width > window->width / scale_ * scale_ ||
          e.y + e.height > window->height / scale_ * scale_) {
        ClearEdges(*window);
      }
      Push(out);
      return;
    }
    case ConfigureNotify:
      if (event.xconfigure.window != window->id) return;
      if (event.xconfigure.width == window->width && event.xconfigure.height == window->height)
        return;
      window->width = event.xconfigure.width;
      window->height = event.xconfigure.height;
      out.kind = Kind::kResize;
      out.width = window->width / scale_;
      out.height = window->height / scale_;
      Push(out);
      return;
    case VisibilityNotify:
      // Something covers the full-screen window: it goes back on top.
      if (window->topmost && event.xvisibility.state != VisibilityUnobscured) {
        XRaiseWindow(display_, window->id);
        XFlush(display_);
      }
      return;
    case FocusOut:
      // The full-screen window keeps the keyboard while it is up.
      if (window->topmost && event.xfocus.mode == NotifyNormal &&
          event.xfocus.detail != NotifyInferior) {
        ErrorTrap trap(display_);  // the window may be on its way out
        XSetInputFocus(display_, window->id, RevertToParent, CurrentTime);
      }
      return;
    case ClientMessage:
      if (event.xclient.message_type == wm_protocols_ && event.xclient.format == 32 &&
          static_cast<Atom>(event.xclient.data.l[0]) == wm_delete_) {
        out.kind = Kind::kCloseRequest;
        Push(out);
      }
      return;
    default:
      return;
  }
}

void X11Backend::ReadOneEvent() {
  XEvent event{};
  XNextEvent(display_, &event);
  Translate(event);
}

void X11Backend::DrainSignals() {
  DrainSignalPipe();
  if (TerminateRequested()) {
    for (const int number : kTerminatingSignals) ClearSignal(number);
    BackendEvent out;
    out.kind = BackendEvent::Kind::kTerminate;
    Push(out);
  }
}

bool X11Backend::PollEvent(BackendEvent* event) {
  DrainSignals();
  while (pending_.empty() && XPending(display_)) ReadOneEvent();
  if (pending_.empty()) return false;
  if (event) *event = pending_.front();
  pending_.pop_front();
  return true;
}

void X11Backend::WaitForEvent(std::uint32_t timeout_ms) {
  if (!pending_.empty() || TerminateRequested()) return;
  if (XPending(display_)) return;  // also sends what is buffered
  pollfd fds[3] = {{ConnectionNumber(display_), POLLIN, 0}, {SignalDescriptor(), POLLIN, 0},
                   {watched_, POLLIN, 0}};
  nfds_t count = 1;
  if (SignalDescriptor() >= 0) fds[count++] = fds[1];
  if (watched_ >= 0) fds[count++] = pollfd{watched_, POLLIN, 0};
  const int timeout =
      timeout_ms == ~0u ? -1 : static_cast<int>(std::min<std::uint32_t>(timeout_ms, INT_MAX));
  poll(fds, count, timeout);
}

}  // namespace orvo::platform::x11
