// The X11 back end's windows: creating them (ours, or inside a foreign
// window), finding any client's, stacking and focus, titles; the pointer,
// the cursor and the lock's grabs.
#include "x11_display.h"

#include "cursor.h"
#include "errors.h"
#include "window_search.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace orvo::platform::x11 {

void X11Backend::SetNames(Window id, const char* class_name, const char* title) {
  std::string res(class_name ? class_name : "");
  XClassHint hint;
  hint.res_name = res.data();
  hint.res_class = res.data();
  XSetClassHint(display_, id, &hint);
  SetTitle(static_cast<NativeId>(id), title);
}

NativeId X11Backend::CreateNativeWindow(const NativeWindowParams& params) {
  Window parent = root_;
  Visual* visual = DefaultVisual(display_, screen_);
  int depth = DefaultDepth(display_, screen_);
  Colormap colormap = DefaultColormap(display_, screen_);
  // The requested place and size are the emulated display's.
  auto screen = [this](int v) {
    return static_cast<int>(std::clamp<long long>(static_cast<long long>(v) * scale_, -65536, 65536));
  };
  int x = screen(params.x), y = screen(params.y);
  int width = screen(params.width), height = screen(params.height);
  bool foreign_parent = false;

  if (params.parent != 0) {
    XWindowAttributes attributes{};
    {
      ErrorTrap trap(display_);
      if (!XGetWindowAttributes(display_, params.parent, &attributes)) return 0;
    }
    if (attributes.c_class == InputOnly) return 0;
    parent = params.parent;
    // A child shares its parent's visual, which need not be the default one.
    visual = attributes.visual;
    depth = attributes.depth;
    colormap = attributes.colormap;
    if (width <= 0 || height <= 0) {
      width = attributes.width;
      height = attributes.height;
    }
    foreign_parent = Find(params.parent) == nullptr;
  } else if (params.topmost_fullscreen) {
    x = 0;
    y = 0;
    width = DisplayWidth(display_, screen_);
    height = DisplayHeight(display_, screen_);
  } else if (width <= 0 || height <= 0) {
    width = screen(640);
    height = screen(480);
  }
  width = std::clamp(width, 1, 32767);
  height = std::clamp(height, 1, 32767);

  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;  // every pixel is ours to draw
  attributes.border_pixel = 0;
  attributes.bit_gravity = NorthWestGravity;
  // A window made directly on the root (--root without a manager's window)
  // is placed by us, not by a window manager.
  const bool on_root = params.parent != 0 && static_cast<Window>(params.parent) == root_;
  attributes.override_redirect = params.topmost_fullscreen || on_root ? True : False;
  attributes.colormap = colormap;
  // A window without input (the animation under a screen lock) hears only
  // about its own painting and size.
  attributes.event_mask = params.input
                              ? KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                                    PointerMotionMask | ExposureMask | StructureNotifyMask |
                                    VisibilityChangeMask | FocusChangeMask
                              : ExposureMask | StructureNotifyMask;
  const unsigned long mask = CWBackPixmap | CWBorderPixel | CWBitGravity | CWOverrideRedirect |
                             CWColormap | CWEventMask;
  Window id = 0;
  {
    ErrorTrap trap(display_);
    id = XCreateWindow(display_, parent, x, y, static_cast<unsigned>(width),
                       static_cast<unsigned>(height), 0, depth, InputOutput, visual, mask,
                       &attributes);
    if (trap.Failed()) return 0;
  }
  if (id == 0) return 0;

  auto window = std::make_unique<OwnWindow>();
  window->id = id;
  window->parent = params.parent;
  window->foreign_parent = foreign_parent;
  window->topmost = params.topmost_fullscreen;
  window->width = width;
  window->height = height;
  window->visual = visual;
  window->depth = depth;
  window->colormap = colormap;
  window->gc = XCreateGC(display_, id, 0, nullptr);
  XSetGraphicsExposures(display_, window->gc, False);

  SetNames(id, params.class_name, params.title);
  const long pid = static_cast<long>(getpid());
  XChangeProperty(display_, id, net_wm_pid_, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  if (params.parent == 0 && !params.topmost_fullscreen) {
    XSetWMProtocols(display_, id, &wm_delete_, 1);
    if (!params.decorated) {
      // A plain pop-up: ask the window manager for no frame.
      const long hints[5] = {2, 0, 0, 0, 0};  // flags: decorations; decorations: none
      XChangeProperty(display_, id, motif_hints_, motif_hints_, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(hints), 5);
    }
  }
  if (foreign_parent) {
    // Learn when the caller's window goes away or changes size.
    XSelectInput(display_, parent, StructureNotifyMask);
  }
  if (params.topmost_fullscreen && !watching_root_) {
    // A change of screen size resizes the full-screen windows.
    XSelectInput(display_, root_, StructureNotifyMask);
    watching_root_ = true;
  }
  if (params.visible) {
    XMapRaised(display_, id);
    if (params.topmost_fullscreen) {
      ErrorTrap trap(display_);  // refused while something else holds a grab
      XSetInputFocus(display_, id, RevertToParent, CurrentTime);
    }
  }
  XFlush(display_);
  windows_[id] = std::move(window);
  return static_cast<NativeId>(id);
}

void X11Backend::DestroyNativeWindow(NativeId id) {
  auto it = windows_.find(static_cast<Window>(id));
  if (it == windows_.end()) return;
  OwnWindow& window = *it->second;
  ReleaseGrab(window);
  ReleaseImages(window);
  if (window.gc) XFreeGC(display_, window.gc);
  if (window.alive) XDestroyWindow(display_, window.id);
  if (window.foreign_parent) {
    const bool shared = std::any_of(windows_.begin(), windows_.end(), [&](const auto& entry) {
      return entry.second.get() != &window && entry.second->foreign_parent &&
             entry.second->parent == window.parent;
    });
    if (!shared && window.parent != root_) {
      ErrorTrap trap(display_);  // the parent may be gone already
      XSelectInput(display_, window.parent, NoEventMask);
    }
  }
  if (!window.allocated.empty())
    XFreeColors(display_, window.colormap, window.allocated.data(),
                static_cast<int>(window.allocated.size()), 0);
  XFlush(display_);
  windows_.erase(it);
  std::erase_if(pending_, [id](const BackendEvent& e) { return e.window == id; });
}

NativeWindowInfo X11Backend::QueryWindow(NativeId id) {
  NativeWindowInfo info;
  if (id == 0) return info;
  ErrorTrap trap(display_);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, id, &attributes)) return info;
  info.exists = true;
  info.width = attributes.width / scale_;
  info.height = attributes.height / scale_;
  if (OwnWindow* own = Find(id); own && own->alive) {
    info.ours = true;
    info.parent = own->parent;
    return info;
  }
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display_, id, &root, &parent, &children, &count)) {
    if (children) XFree(children);
    info.parent = parent == root ? 0 : static_cast<NativeId>(parent);
  }
  return info;
}

NativeId X11Backend::FindNativeWindow(const char* class_name, const char* title) {
  if (class_name == nullptr && title == nullptr) return 0;
  ErrorTrap trap(display_);
  return static_cast<NativeId>(FindWindowByClass(display_, root_, class_name, title, 1));
}

bool X11Backend::RaiseWindow(NativeId id) {
  if (id == 0) return false;
  ErrorTrap trap(display_);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, id, &attributes)) return false;
  XRaiseWindow(display_, id);
  if (attributes.map_state == IsViewable)
    XSetInputFocus(display_, id, RevertToParent, CurrentTime);
  if (!attributes.override_redirect) {
    // Window managers take activation requests through the root.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = net_active_;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;  // from a pager: honoured without focus-stealing checks
    XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
  }
  return true;
}

NativeId X11Backend::ForegroundWindow() {
  ErrorTrap trap(display_);
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display_, &focus, &revert);
  if (focus != None && focus != PointerRoot && focus != root_) return static_cast<NativeId>(focus);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  NativeId active = 0;
  if (XGetWindowProperty(display_, root_, net_active_, 0, 1, False, XA_WINDOW, &type, &format,
                         &count, &after, &data) == Success &&
      data != nullptr && format == 32 && count == 1) {
    active = static_cast<NativeId>(*reinterpret_cast<unsigned long*>(data));
  }
  if (data) XFree(data);
  return active;
}

void X11Backend::SetTitle(NativeId id, const char* title) {
  const char* text = title ? title : "";
  ErrorTrap trap(display_);
  XStoreName(display_, id, text);
  XChangeProperty(display_, id, net_wm_name_, utf8_, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text),
                  static_cast<int>(std::strlen(text)));
}

// ---------------------------------------------------------------------------
// Pointer, cursor, grabs.

bool X11Backend::CursorPos(int* x, int* y) {
  Window root = 0, child = 0;
  int root_x = 0, root_y = 0, win_x = 0, win_y = 0;
  unsigned state = 0;
  if (!XQueryPointer(display_, root_, &root, &child, &root_x, &root_y, &win_x, &win_y, &state))
    return false;
  if (x) *x = Down(root_x);
  if (y) *y = Down(root_y);
  return true;
}

void X11Backend::SetCursorVisible(NativeId id, bool visible) {
  OwnWindow* window = Find(id);
  if (!window || !window->alive) return;
  if (visible) {
    XUndefineCursor(display_, window->id);
  } else {
    if (invisible_cursor_ == 0) invisible_cursor_ = CreateInvisibleCursor(display_, root_);
    XDefineCursor(display_, window->id, invisible_cursor_);
  }
  XFlush(display_);
}

void X11Backend::ReleaseGrab(OwnWindow& window) {
  if (!window.grabbed) return;
  XUngrabKeyboard(display_, CurrentTime);
  XUngrabPointer(display_, CurrentTime);
  XFlush(display_);
  window.grabbed = false;
}

bool X11Backend::SetInputGrab(NativeId id, bool on) {
  OwnWindow* window = Find(id);
  if (!window || !window->alive) return false;
  if (!on) {
    ReleaseGrab(*window);
    return false;
  }
  if (window->grabbed) return true;
  // One attempt: the caller tries again later and never waits here.
  const int keyboard =
      XGrabKeyboard(display_, window->id, True, GrabModeAsync, GrabModeAsync, CurrentTime);
  if (keyboard == GrabSuccess) {
    const int pointer = XGrabPointer(
        display_, window->id, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
        GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    if (pointer == GrabSuccess) {
      window->grabbed = true;
      return true;
    }
    XUngrabKeyboard(display_, CurrentTime);
  }
  XFlush(display_);
  return false;
}

}  // namespace orvo::platform::x11
