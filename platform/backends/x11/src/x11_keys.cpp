// The X11 back end's keys: key symbols as virtual keys, and the text a
// key press types.
// Our headers first: Xlib's macros would rewrite names in them.
#include "orvo/win_user.h"
#include "x11_display.h"

#include "keysym_vk.h"
#include "text.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace orvo::platform::x11 {
namespace {

// A key we cannot name still counts as a key.
constexpr std::uint32_t kUnknownKey = 0xFF;

}  // namespace

void DescribeKey(XKeyEvent& key, BackendEvent* out) {
  char buffer[8] = {};
  KeySym typed = NoSymbol;
  const int count = XLookupString(&key, buffer, static_cast<int>(sizeof buffer) - 1, &typed, nullptr);
  std::uint32_t vk = VirtualKeyOfKeysym(static_cast<std::uint32_t>(XLookupKeysym(&key, 0)));
  if (vk == 0) vk = VirtualKeyOfKeysym(static_cast<std::uint32_t>(typed));
  out->kind = key.type == KeyPress ? BackendEvent::Kind::kKeyDown : BackendEvent::Kind::kKeyUp;
  out->vk = vk != 0 ? vk : kUnknownKey;
  out->alt = (key.state & Mod1Mask) != 0;
  if (key.type == KeyPress && count > 0) Latin1ToUtf8(buffer, count, out->text, sizeof out->text);
}

}  // namespace orvo::platform::x11
