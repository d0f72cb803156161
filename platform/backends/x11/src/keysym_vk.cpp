#include "keysym_vk.h"

#include <X11/keysym.h>

#include "orvo/win_user.h"

namespace orvo::platform::x11 {

std::uint32_t VirtualKeyOfKeysym(std::uint32_t sym) {
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

}  // namespace orvo::platform::x11
