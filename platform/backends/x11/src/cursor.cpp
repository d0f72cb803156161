#include "cursor.h"

namespace orvo::platform::x11 {

Cursor CreateInvisibleCursor(::Display* display, Window root) {
  const char bits[1] = {0};
  Pixmap blank = XCreateBitmapFromData(display, root, bits, 1, 1);
  XColor black{};
  const Cursor cursor = XCreatePixmapCursor(display, blank, blank, &black, &black, 0, 0);
  XFreePixmap(display, blank);
  return cursor;
}

}  // namespace orvo::platform::x11
