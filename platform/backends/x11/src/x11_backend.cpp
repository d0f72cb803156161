// The X11 back end: native windows, input, and presentation of the emulated
// 256-colour display on a real X server.
#include "orvo/x11_backend.h"

// Our headers first: Xlib's function-like macros (RootWindow, ...) would
// otherwise rewrite the back-end interface's member names.
#include "orvo/backend.h"
#include "orvo/lock_display.h"
#include "orvo/win_user.h"
#include "clock.h"
#include "cursor.h"
#include "errors.h"
#include "pixel_lut.h"
#include "signals.h"
#include "text.h"
#include "window_search.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#undef RootWindow

namespace orvo::platform {
namespace {

using namespace x11;

// Terminating signals become one kTerminate event; WaitForEvent polls the
// signal pipe together with the X connection.
constexpr int kTerminatingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Whether a terminating signal came since the last kTerminate event.
bool TerminateRequested() {
  for (const int number : kTerminatingSignals)
    if (SignalCaught(number)) return true;
  return false;
}

// ---------------------------------------------------------------------------
// Keys.

std::uint32_t VirtualKeyOf(KeySym sym) {
  if (sym >= XK_a && sym <= XK_z) return static_cast<std::uint32_t>('A' + (sym - XK_a));
  if (sym >= XK_A && sym <= XK_Z) return static_cast<std::uint32_t>('A' + (sym - XK_A));
  if (sym >= XK_0 && sym <= XK_9) return static_cast<std::uint32_t>('0' + (sym - XK_0));
  if (sym >= XK_KP_0 && sym <= XK_KP_9) return static_cast<std::uint32_t>(0x60 + (sym - XK_KP_0));
  if (sym >= XK_F1 && sym <= XK_F24) return static_cast<std::uint32_t>(VK_F1 + (sym - XK_F1));
  switch (sym) {
    case XK_Escape: return VK_ESCAPE;
    case XK_Return:
    case XK_KP_Enter: return VK_RETURN;
    case XK_Tab:
    case XK_ISO_Left_Tab: return VK_TAB;
    case XK_BackSpace: return VK_BACK;
    case XK_space:
    case XK_KP_Space: return VK_SPACE;
    case XK_Left:
    case XK_KP_Left: return VK_LEFT;
    case XK_Up:
    case XK_KP_Up: return VK_UP;
    case XK_Right:
    case XK_KP_Right: return VK_RIGHT;
    case XK_Down:
    case XK_KP_Down: return VK_DOWN;
    case XK_Home:
    case XK_KP_Home: return VK_HOME;
    case XK_End:
    case XK_KP_End: return VK_END;
    case XK_Prior:
    case XK_KP_Prior: return 0x21;  // page up
    case XK_Next:
    case XK_KP_Next: return 0x22;  // page down
    case XK_Insert:
    case XK_KP_Insert: return 0x2D;
    case XK_Delete:
    case XK_KP_Delete: return 0x2E;
    case XK_Shift_L:
    case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R: return VK_MENU;
    case XK_Pause: return 0x13;
    case XK_Caps_Lock: return 0x14;
    case XK_Super_L: return 0x5B;
    case XK_Super_R: return 0x5C;
    case XK_Menu: return 0x5D;
    case XK_KP_Multiply: return 0x6A;
    case XK_KP_Add: return 0x6B;
    case XK_KP_Subtract: return 0x6D;
    case XK_KP_Decimal: return 0x6E;
    case XK_KP_Divide: return 0x6F;
    case XK_Num_Lock: return 0x90;
    case XK_Scroll_Lock: return 0x91;
    case XK_semicolon: return 0xBA;
    case XK_equal: return 0xBB;
    case XK_comma: return 0xBC;
    case XK_minus: return 0xBD;
    case XK_period: return 0xBE;
    case XK_slash: return 0xBF;
    case XK_grave: return 0xC0;
    case XK_bracketleft: return 0xDB;
    case XK_backslash: return 0xDC;
    case XK_bracketright: return 0xDD;
    case XK_apostrophe: return 0xDE;
    default: return 0;
  }
}

// A key we cannot name still counts as a key.
constexpr std::uint32_t kUnknownKey = 0xFF;

// ---------------------------------------------------------------------------
// Our windows.

enum class PixelPath { k32, k16, kGeneric };

struct ImageBuffer {
  XImage* image = nullptr;
  bool shared = false;
  bool busy = false;  // the server may still be reading the shared segment
  std::uint32_t busy_since = 0;
  XShmSegmentInfo segment{};
};

struct OwnWindow {
  Window id = 0;
  NativeId parent = 0;  // as created: 0 for a top-level window
  bool foreign_parent = false;
  bool topmost = false;
  bool alive = true;    // false once the server destroyed it under us
  bool grabbed = false;
  int width = 0;
  int height = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0;
  GC gc = nullptr;

  // One image, kept converted: only changed rectangles are converted into
  // it, and a new frame waits until the server has copied the last one.
  ImageBuffer buffers[1];
  int buffer_count = 0;
  int image_width = 0;   // in screen pixels
  int image_height = 0;
  PixelPath path = PixelPath::kGeneric;
  std::vector<std::uint32_t> scratch;  // one enlarged row's slots as pixels

  bool table_valid = false;
  std::uint32_t table_version = 0;
  x11::PixelTable32 table32;
  std::array<std::uint16_t, kSlotCount> table16{};
  std::vector<unsigned long> allocated;  // colour cells of a non-true-colour visual
};

class X11Backend final : public Backend, public LockDisplay {
 public:
  explicit X11Backend(::Display* display)
      : display_(display),
        screen_(DefaultScreen(display)),
        root_(DefaultRootWindow(display)) {
    wm_protocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
    wm_delete_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    net_wm_name_ = XInternAtom(display_, "_NET_WM_NAME", False);
    net_wm_pid_ = XInternAtom(display_, "_NET_WM_PID", False);
    net_active_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    utf8_ = XInternAtom(display_, "UTF8_STRING", False);
    motif_hints_ = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    int major = 0, minor = 0;
    Bool pixmaps = False;
    shm_available_ = XShmQueryVersion(display_, &major, &minor, &pixmaps) == True &&
                     std::getenv("ORVO_X11_NO_SHM") == nullptr;
    if (shm_available_) shm_completion_ = XShmGetEventBase(display_) + ShmCompletion;
    std::string warning;
    scale_ = ChoosePixelScale(std::getenv("ORVO_SCALE"), ScreenDpi(), &warning);
    if (!warning.empty()) std::fprintf(stderr, "%s\n", warning.c_str());
    CatchSignals(kTerminatingSignals);
  }

  ~X11Backend() override {
    std::vector<Window> ids;
    for (auto& [id, window] : windows_) ids.push_back(id);
    for (Window id : ids) DestroyNativeWindow(static_cast<NativeId>(id));
    if (invisible_cursor_ != 0) XFreeCursor(display_, invisible_cursor_);
    XCloseDisplay(display_);
    ReleaseSignals(kTerminatingSignals);
  }

  void ScreenSize(int* width, int* height) override {
    if (width) *width = DisplayWidth(display_, screen_) / scale_;
    if (height) *height = DisplayHeight(display_, screen_) / scale_;
  }

  NativeId CreateNativeWindow(const NativeWindowParams& params) override;
  void DestroyNativeWindow(NativeId id) override;
  NativeWindowInfo QueryWindow(NativeId id) override;
  NativeId FindNativeWindow(const char* class_name, const char* title) override;
  bool RaiseWindow(NativeId id) override;
  NativeId ForegroundWindow() override;
  // The screen's root window (overrides the interface's where it has one).
  NativeId RootWindow() { return static_cast<NativeId>(root_); }
  void SetTitle(NativeId id, const char* title) override;
  bool CursorPos(int* x, int* y) override;
  void SetCursorVisible(NativeId id, bool visible) override;
  bool SetInputGrab(NativeId id, bool on) override;
  bool Present(NativeId id, const Surface& surface, std::span<const PixelRect> rects,
               const std::array<Rgb, kSlotCount>& colours,
               std::uint32_t colours_version) override;
  bool PollEvent(BackendEvent* event) override;
  void WaitForEvent(std::uint32_t timeout_ms) override;
  void WatchDescriptor(int fd) override { watched_ = fd; }

  std::uint32_t TickCount() override { return MonotonicMs(); }

  void SleepMs(std::uint32_t ms) override {
    if (ms == 0) {
      sched_yield();  // the rest of the time slice only
      return;
    }
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    // A terminating signal cuts the sleep short so the run ends promptly.
    while (nanosleep(&left, &left) != 0 && errno == EINTR && !TerminateRequested()) {
    }
  }

 private:
  OwnWindow* Find(NativeId id) {
    auto it = windows_.find(static_cast<Window>(id));
    return it == windows_.end() ? nullptr : it->second.get();
  }
  void SetNames(Window id, const char* class_name, const char* title);

  bool CreateImages(OwnWindow& window, int width, int height);
  bool CreateSharedImage(OwnWindow& window, ImageBuffer& buffer, int width, int height);
  void ReleaseImages(OwnWindow& window);
  void RebuildTable(OwnWindow& window, const std::array<Rgb, kSlotCount>& colours);
  bool StillBusy(ImageBuffer& buffer);
  void PutRect(OwnWindow& window, const PixelRect& rect, bool last);
  void ClearEdges(OwnWindow& window);
  double ScreenDpi();
  // Screen pixels to the emulated display's, rounding down (a position) or
  // up (the far edge of an area).
  int Down(int v) const { return v >= 0 ? v / scale_ : -((-v + scale_ - 1) / scale_); }
  int Up(int v) const { return v >= 0 ? (v + scale_ - 1) / scale_ : -(-v / scale_); }
  void ReleaseGrab(OwnWindow& window);

  void ReadOneEvent();
  void Translate(XEvent& event);
  void Push(const BackendEvent& event) { pending_.push_back(event); }
  void Lost(OwnWindow& window);
  void DrainSignals();

  ::Display* display_;
  int screen_;
  Window root_;
  Atom wm_protocols_ = 0, wm_delete_ = 0, net_wm_name_ = 0, net_wm_pid_ = 0, net_active_ = 0;
  Atom utf8_ = 0, motif_hints_ = 0;
  bool shm_available_ = false;
  int shm_completion_ = -1;
  int scale_ = 1;  // screen pixels per emulated pixel, each way
  bool watching_root_ = false;
  Cursor invisible_cursor_ = 0;
  int watched_ = -1;  // another descriptor that ends WaitForEvent
  std::unordered_map<Window, std::unique_ptr<OwnWindow>> windows_;
  std::deque<BackendEvent> pending_;
};

// ---------------------------------------------------------------------------
// The screen's resolution: the desktop's Xft.dpi setting when it has one,
// else the screen's size in pixels over its physical width; 0 when neither
// is known.

double X11Backend::ScreenDpi() {
  if (const char* resources = XResourceManagerString(display_)) {
    XrmInitialize();
    if (XrmDatabase database = XrmGetStringDatabase(resources)) {
      char* type = nullptr;
      XrmValue value{};
      double dpi = 0;
      if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        const std::string text(value.addr, strnlen(value.addr, value.size));
        char* end = nullptr;
        dpi = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || !std::isfinite(dpi)) dpi = 0;
      }
      XrmDestroyDatabase(database);
      if (dpi > 0) return dpi;
    }
  }
  const int millimetres = DisplayWidthMM(display_, screen_);
  if (millimetres <= 0) return 0;
  return DisplayWidth(display_, screen_) * 25.4 / millimetres;
}

// ---------------------------------------------------------------------------
// Windows.

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

// ---------------------------------------------------------------------------
// Presentation.

bool X11Backend::CreateSharedImage(OwnWindow& window, ImageBuffer& buffer, int width,
                                   int height) {
  XShmSegmentInfo& segment = buffer.segment;
  segment = XShmSegmentInfo{};
  XImage* image = XShmCreateImage(display_, window.visual, static_cast<unsigned>(window.depth),
                                  ZPixmap, nullptr, &segment, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height));
  if (!image) return false;
  const std::size_t bytes =
      static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height);
  segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (segment.shmid < 0) {
    XDestroyImage(image);
    return false;
  }
  void* address = shmat(segment.shmid, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(segment.shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    return false;
  }
  segment.shmaddr = image->data = static_cast<char*>(address);
  segment.readOnly = False;
  bool attached = false;
  {
    ErrorTrap trap(display_);
    attached = XShmAttach(display_, &segment) && !trap.Failed();
  }
  // Both sides are attached (or the server refused): the segment goes away
  // with the last detach, so a killed process leaks nothing.
  shmctl(segment.shmid, IPC_RMID, nullptr);
  if (!attached) {
    // A remote display, typically: plain images from now on.
    shm_available_ = false;
    XDestroyImage(image);
    shmdt(address);
    return false;
  }
  buffer.image = image;
  buffer.shared = true;
  buffer.busy = false;
  return true;
}

bool X11Backend::CreateImages(OwnWindow& window, int width, int height) {
  ReleaseImages(window);
  if (shm_available_) {
    for (ImageBuffer& buffer : window.buffers) {
      if (!CreateSharedImage(window, buffer, width, height)) break;
      ++window.buffer_count;
    }
  }
  if (window.buffer_count == 0) {
    XImage* image = XCreateImage(display_, window.visual, static_cast<unsigned>(window.depth),
                                 ZPixmap, 0, nullptr, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 32, 0);
    if (!image) return false;
    image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) *
                                                 static_cast<std::size_t>(height)));
    if (!image->data) {
      XDestroyImage(image);
      return false;
    }
    // Our pixels are in this machine's byte order; Xlib swaps for the server.
    image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    XInitImage(image);
    window.buffers[0].image = image;
    window.buffers[0].shared = false;
    window.buffer_count = 1;
  }
  XImage* image = window.buffers[0].image;
  const int native_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  const bool true_colour = window.visual->c_class == TrueColor ||
                           window.visual->c_class == DirectColor;
  window.path = PixelPath::kGeneric;
  if (true_colour && image->byte_order == native_order) {
    if (image->bits_per_pixel == 32) window.path = PixelPath::k32;
    if (image->bits_per_pixel == 16) window.path = PixelPath::k16;
  }
  window.image_width = width;
  window.image_height = height;
  window.scratch.assign(static_cast<std::size_t>(width), 0);
  return true;
}

void X11Backend::ReleaseImages(OwnWindow& window) {
  if (window.buffer_count == 0) return;
  bool synced = false;
  for (int i = 0; i < window.buffer_count; ++i) {
    ImageBuffer& buffer = window.buffers[i];
    if (buffer.shared) {
      if (!synced) XSync(display_, False);  // the server is done reading
      synced = true;
      XShmDetach(display_, &buffer.segment);
      XDestroyImage(buffer.image);
      shmdt(buffer.segment.shmaddr);
    } else {
      XDestroyImage(buffer.image);  // frees the pixels too
    }
    buffer = ImageBuffer{};
  }
  if (synced) XSync(display_, False);
  window.buffer_count = 0;
  window.image_width = window.image_height = 0;
}

void X11Backend::RebuildTable(OwnWindow& window, const std::array<Rgb, kSlotCount>& colours) {
  const Visual* visual = window.visual;
  if (visual->c_class == TrueColor || visual->c_class == DirectColor) {
    const x11::ChannelMasks masks{static_cast<std::uint32_t>(visual->red_mask),
                                  static_cast<std::uint32_t>(visual->green_mask),
                                  static_cast<std::uint32_t>(visual->blue_mask)};
    x11::BuildPixelTable(colours, masks, &window.table32.pixels);
    if (window.depth == 32) {
      // A visual with alpha (a composited host's window): fully opaque.
      const std::uint32_t alpha = ~(masks.red | masks.green | masks.blue);
      for (std::uint32_t& pixel : window.table32.pixels) pixel |= alpha;
    }
  } else {
    // A colour-mapped visual: share read-only cells of the window's colormap.
    if (!window.allocated.empty()) {
      XFreeColors(display_, window.colormap, window.allocated.data(),
                  static_cast<int>(window.allocated.size()), 0);
      window.allocated.clear();
    }
    for (int i = 0; i < kSlotCount; ++i) {
      XColor colour{};
      colour.red = static_cast<unsigned short>(colours[i].r * 257);
      colour.green = static_cast<unsigned short>(colours[i].g * 257);
      colour.blue = static_cast<unsigned short>(colours[i].b * 257);
      colour.flags = DoRed | DoGreen | DoBlue;
      if (XAllocColor(display_, window.colormap, &colour)) {
        window.allocated.push_back(colour.pixel);
        window.table32.pixels[i] = static_cast<std::uint32_t>(colour.pixel);
      } else {
        window.table32.pixels[i] = static_cast<std::uint32_t>(BlackPixel(display_, screen_));
      }
    }
  }
  window.table32.Update();
  for (int i = 0; i < kSlotCount; ++i)
    window.table16[i] = static_cast<std::uint16_t>(window.table32.pixels[i]);
}

bool X11Backend::StillBusy(ImageBuffer& buffer) {
  if (!buffer.busy) return false;
  // The completion may be waiting unread.
  while (buffer.busy && XPending(display_)) ReadOneEvent();
  if (!buffer.busy) return false;
  if (MonotonicMs() - buffer.busy_since < 250) return true;
  // No completion for a quarter of a second (the put failed, or another
  // client holds the server): go on rather than wait. At worst the server
  // copies part of a newer frame.
  buffer.busy = false;
  return false;
}

bool X11Backend::Present(NativeId id, const Surface& surface, std::span<const PixelRect> rects,
                         const std::array<Rgb, kSlotCount>& colours,
                         std::uint32_t colours_version) {
  OwnWindow* window = Find(id);
  if (!window || !window->alive) return true;
  // The protocol's sizes are 16-bit: a larger surface shows its top-left part.
  constexpr int kMaxSide = 32767;
  const int width = std::min(surface.width(), kMaxSide / scale_);
  const int height = std::min(surface.height(), kMaxSide / scale_);
  if (width <= 0 || height <= 0) return true;
  if (window->image_width != width * scale_ || window->image_height != height * scale_ ||
      window->buffer_count == 0) {
    if (!CreateImages(*window, width * scale_, height * scale_)) return true;
  }
  ImageBuffer& buffer = window->buffers[0];
  if (StillBusy(buffer)) return false;
  if (!window->table_valid || window->table_version != colours_version) {
    RebuildTable(*window, colours);
    window->table_valid = true;
    window->table_version = colours_version;
  }
  XImage* image = buffer.image;
  auto* data = reinterpret_cast<std::uint8_t*>(image->data);
  const auto bytes_per_line = static_cast<std::size_t>(image->bytes_per_line);
  auto clip = [&](const PixelRect& r) {
    return PixelRect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width),
                     std::min(r.bottom, height)};
  };
  std::size_t last = rects.size();
  for (std::size_t i = 0; i < rects.size(); ++i)
    if (!clip(rects[i]).empty()) last = i;
  bool whole = false;
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const PixelRect r = clip(rects[i]);
    if (r.empty()) continue;
    switch (window->path) {
      case PixelPath::k32:
        x11::ConvertRect32(surface, r, scale_, window->table32, data, bytes_per_line,
                           window->scratch.data());
        break;
      case PixelPath::k16:
        x11::ConvertRect16(surface, r, scale_, window->table16.data(), data, bytes_per_line,
                           reinterpret_cast<std::uint16_t*>(window->scratch.data()));
        break;
      case PixelPath::kGeneric:
        for (int y = r.top; y < r.bottom; ++y) {
          const std::uint8_t* slots = surface.row(y);
          for (int x = r.left; x < r.right; ++x) {
            const unsigned long pixel = window->table32.pixels[slots[x]];
            for (int dy = 0; dy < scale_; ++dy)
              for (int dx = 0; dx < scale_; ++dx)
                XPutPixel(image, x * scale_ + dx, y * scale_ + dy, pixel);
          }
        }
        break;
    }
    PutRect(*window, r, i == last);
    whole = whole || (r.left == 0 && r.top == 0 && r.right == width && r.bottom == height);
  }
  if (whole) ClearEdges(*window);
  XFlush(display_);
  return true;
}

// Sends one converted rectangle. With shared memory the server tells with
// a completion event when it has copied the frame's last rectangle (it
// handles requests in order): until then the image is not written again.
void X11Backend::PutRect(OwnWindow& window, const PixelRect& r, bool last) {
  ImageBuffer& buffer = window.buffers[0];
  const int x = r.left * scale_, y = r.top * scale_;
  const auto w = static_cast<unsigned>((r.right - r.left) * scale_);
  const auto h = static_cast<unsigned>((r.bottom - r.top) * scale_);
  if (buffer.shared) {
    XShmPutImage(display_, window.id, window.gc, buffer.image, x, y, x, y, w, h, last ? True : False);
    if (last) {
      buffer.busy = true;
      buffer.busy_since = MonotonicMs();
    }
  } else {
    XPutImage(display_, window.id, window.gc, buffer.image, x, y, x, y, w, h);
  }
}

// Paints black the screen pixels of the window beyond the last whole
// emulated pixel (a width or height that the scale does not divide).
void X11Backend::ClearEdges(OwnWindow& window) {
  const int covered_w = window.width / scale_ * scale_;
  const int covered_h = window.height / scale_ * scale_;
  if (covered_w >= window.width && covered_h >= window.height) return;
  XSetForeground(display_, window.gc,
                 window.table_valid ? window.table32.pixels[0] : BlackPixel(display_, screen_));
  if (covered_w < window.width)
    XFillRectangle(display_, window.id, window.gc, covered_w, 0,
                   static_cast<unsigned>(window.width - covered_w),
                   static_cast<unsigned>(window.height));
  if (covered_h < window.height)
    XFillRectangle(display_, window.id, window.gc, 0, covered_h,
                   static_cast<unsigned>(covered_w), static_cast<unsigned>(window.height - covered_h));
}

// ---------------------------------------------------------------------------
// Events.

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
      char buffer[8] = {};
      KeySym typed = NoSymbol;
      const int count =
          XLookupString(&event.xkey, buffer, static_cast<int>(sizeof buffer) - 1, &typed, nullptr);
      std::uint32_t vk = VirtualKeyOf(XLookupKeysym(&event.xkey, 0));
      if (vk == 0) vk = VirtualKeyOf(typed);
      out.kind = event.type == KeyPress ? Kind::kKeyDown : Kind::kKeyUp;
      out.vk = vk != 0 ? vk : kUnknownKey;
      out.alt = (event.xkey.state & Mod1Mask) != 0;
      out.x = Down(event.xkey.x);
      out.y = Down(event.xkey.y);
      if (event.type == KeyPress && count > 0)
        Latin1ToUtf8(buffer, count, out.text, sizeof out.text);
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

}  // namespace

bool InstallX11Backend(std::string* error) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    if (error) *error = "no X display: DISPLAY is not set";
    return false;
  }
  // A server that is resetting after its last client left refuses
  // connections for a moment: try a few times before giving up.
  ::Display* display = XOpenDisplay(nullptr);
  for (int attempt = 0; display == nullptr && attempt < 10; ++attempt) {
    usleep(50000);
    display = XOpenDisplay(nullptr);
  }
  if (display == nullptr) {
    if (error) *error = std::string("cannot open X display \"") + name + "\"";
    return false;
  }
  XSetErrorHandler(RecordError);
  XSetIOErrorHandler(ExitOnLostDisplay);
  InstallBackend(std::make_unique<X11Backend>(display));
  return true;
}

}  // namespace orvo::platform
