#include "x_display.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <fcntl.h>

#include <csignal>
#include <thread>

namespace orvo::testing {
namespace {
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }
}  // namespace

XDisplay::XDisplay() {
  // A server resetting after its last client left refuses connections for a moment.
  display_ = XOpenDisplay(nullptr);
  for (int attempt = 0; display_ == nullptr && attempt < 20; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    display_ = XOpenDisplay(nullptr);
  }
  XSetErrorHandler(IgnoreErrors);
}

XDisplay::~XDisplay() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

void XDisplay::Sync() { XSync(display_, False); }

void XDisplay::MovePointer(int x, int y) {
  XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
  Sync();
}

void XDisplay::PressKey(const char* name) {
  const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(name));
  XTestFakeKeyEvent(display_, code, True, CurrentTime);
  XTestFakeKeyEvent(display_, code, False, CurrentTime);
  Sync();
}

void XDisplay::PressButton(unsigned button) {
  XTestFakeButtonEvent(display_, button, True, CurrentTime);
  XTestFakeButtonEvent(display_, button, False, CurrentTime);
  Sync();
}

Window XDisplay::CreateWindow(int width, int height) {
  const int screen = DefaultScreen(display_);
  Window w = XCreateSimpleWindow(display_, RootWindow(display_, screen), 10, 10,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                 BlackPixel(display_, screen), WhitePixel(display_, screen));
  XMapWindow(display_, w);
  Sync();
  return w;
}

Window XDisplay::FindByTitle(const std::string& title) {
  Window root = DefaultRootWindow(display_), parent = 0, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(display_, root, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display_, children[i], &name) && name != nullptr) {
      if (title == name) found = children[i];
      XFree(name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

Window XDisplay::FirstChild(Window parent) {
  Window root = 0, up = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display_, parent, &root, &up, &children, &count)) return 0;
  const Window first = count > 0 ? children[0] : 0;
  if (children != nullptr) XFree(children);
  return first;
}

Window XDisplay::FindByClass(Window top, const std::string& res_class, const std::string& title, int depth) {
  Window root = 0, up = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display_, top, &root, &up, &children, &count)) return 0;
  std::vector<Window> list(children, children + count);
  if (children != nullptr) XFree(children);
  for (Window w : list) {
    XClassHint hint{};
    if (!XGetClassHint(display_, w, &hint)) continue;
    bool same = hint.res_class != nullptr && res_class == hint.res_class;
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    if (same && !title.empty()) {
      char* name = nullptr;
      same = XFetchName(display_, w, &name) && name != nullptr && title == name;
      if (name != nullptr) XFree(name);
    }
    if (same) return w;
  }
  if (depth > 0)
    for (Window w : list)
      if (Window found = FindByClass(w, res_class, title, depth - 1)) return found;
  return 0;
}

long XDisplay::WindowPid(Window w) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  long pid = -1;
  if (XGetWindowProperty(display_, w, XInternAtom(display_, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                         &type, &format, &count, &after, &data) == Success &&
      data != nullptr && format == 32 && count == 1)
    pid = *reinterpret_cast<long*>(data);
  if (data != nullptr) XFree(data);
  return pid;
}

bool XDisplay::Viewable(Window w) {
  XWindowAttributes a;
  return XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable;
}

Window XDisplay::TopWindow() {
  Window root = DefaultRootWindow(display_), up = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display_, root, &root, &up, &children, &count)) return 0;
  const Window top = count > 0 ? children[count - 1] : 0;
  if (children != nullptr) XFree(children);
  return top;
}

std::vector<std::uint32_t> XDisplay::Capture(int x, int y, int width, int height) {
  std::vector<std::uint32_t> pixels;
  XImage* image = XGetImage(display_, DefaultRootWindow(display_), x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col)
      pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, col, row) & 0xFFFFFF));
  XDestroyImage(image);
  return pixels;
}

bool XDisplay::Size(Window w, int* width, int* height) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(display_, w, &a)) return false;
  *width = a.width;
  *height = a.height;
  return true;
}

long XDisplay::Pixel(Window w, int x, int y) {
  XImage* image = XGetImage(display_, w, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return -1;
  const unsigned long p = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return static_cast<long>(p & 0xFFFFFF);
}

Program::Program(const std::vector<std::string>& args, const std::string& stderr_file) {
  pid_ = fork();
  if (pid_ == 0) {
    if (!stderr_file.empty()) {
      const int fd = open(stderr_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd >= 0) dup2(fd, 2);
    }
    std::string path = std::string(ORVO_BIN_DIR) + "/" + args[0];
    std::vector<std::string> copy(args.begin() + 1, args.end());
    std::vector<char*> argv{path.data()};
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
}

Program::~Program() {
  if (pid_ > 0 && !exited_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void Program::Signal(int number) {
  if (pid_ > 0 && !exited_) kill(pid_, number);
}

int Program::WaitExit(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  do {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return -1;
}

}  // namespace orvo::testing
