#include "window_search.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstring>
#include <vector>

namespace orvo::platform::x11 {
namespace {

// The children of `parent`, bottom first; none when it cannot be asked.
std::vector<Window> Children(::Display* display, Window parent) {
  Window root = 0, up = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) return {};
  std::vector<Window> list(children, children + count);
  if (children) XFree(children);
  return list;
}

}  // namespace

std::string WindowTitle(::Display* display, Window window) {
  std::string title;
  const Atom net_wm_name = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, net_wm_name, 0, 1024, False, utf8, &type, &format, &count, &after,
                         &data) == Success &&
      data != nullptr && format == 8) {
    title.assign(reinterpret_cast<const char*>(data), count);
    XFree(data);
    return title;
  }
  if (data) XFree(data);
  char* name = nullptr;
  if (XFetchName(display, window, &name) && name) {
    title = name;
    XFree(name);
  }
  return title;
}

bool MatchesWindow(::Display* display, Window window, const char* class_name, const char* title) {
  if (class_name != nullptr) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) return false;
    const bool same = hint.res_class != nullptr && std::strcmp(hint.res_class, class_name) == 0;
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    if (!same) return false;
  }
  if (title != nullptr && WindowTitle(display, window) != title) return false;
  return true;
}

Window FindWindowByClass(::Display* display, Window parent, const char* class_name, const char* title,
                         int depth) {
  const std::vector<Window> children = Children(display, parent);
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if (MatchesWindow(display, *it, class_name, title)) return *it;
  if (depth > 0)
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      if (Window found = FindWindowByClass(display, *it, class_name, title, depth - 1)) return found;
  return 0;
}

}  // namespace orvo::platform::x11
