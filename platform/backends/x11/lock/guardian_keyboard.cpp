// The guardian's keyboard: keys read through the built-in X input method
// (UTF-8, dead keys and compose sequences) or as Latin-1 without one, the
// Caps Lock state the prompt warns of, and the keymap's grab-breaking keys.
#include "guardian_process.h"

#include "orvo/password.h"
#include "text.h"

#include <X11/XF86keysym.h>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orvo::platform::lock::guardian {

namespace {

// Text typed by a key press, as UTF-8, with the input method's help (dead
// keys and compose sequences arrive as one character).
struct Typed {
  KeySym keysym = NoSymbol;
  char text[64] = {};
  int length = 0;
  ~Typed() { WipeSecret(text, sizeof text); }
};

// Whether an XKB action makes the server drop every grab ("Ungrab") or
// close the client that holds one ("ClsGrb"): the private actions the
// keyboard option grab:break_actions puts on Ctrl+Alt+KP_Divide and
// Ctrl+Alt+KP_Multiply. The server compares their names without case.
bool BreaksGrabs(const XkbAction& action) {
  if (action.type != XkbSA_XFree86Private) return false;
  char name[XkbAnyActionDataSize + 1] = {};
  std::memcpy(name, action.any.data, XkbAnyActionDataSize);
  return strcasecmp(name, "Ungrab") == 0 || strcasecmp(name, "ClsGrb") == 0;
}

// Calls `visit(keycode, index, action)` for each grab-breaking action of
// the keymap `xkb`.
template <typename Visit>
void ForEachBreaker(XkbDescPtr xkb, Visit visit) {
  if (xkb == nullptr || xkb->map == nullptr || xkb->server == nullptr) return;
  for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
    const auto key = static_cast<KeyCode>(code);
    if (!XkbKeyHasActions(xkb, key)) continue;
    XkbAction* actions = XkbKeyActionsPtr(xkb, key);
    const int count = XkbKeyNumActions(xkb, key);
    for (int i = 0; i < count; ++i)
      if (BreaksGrabs(actions[i])) visit(static_cast<unsigned>(code), i, actions[i]);
  }
}

constexpr unsigned kMapParts = XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask;

// Sends the actions of one key to the server (a whole map's worth is refused).
void SendKeyActions(::Display* display, XkbDescPtr xkb, unsigned keycode) {
  XkbMapChangesRec changes{};
  changes.changed = XkbKeyActionsMask;
  changes.first_key_act = static_cast<KeyCode>(keycode);
  changes.num_key_acts = 1;
  XkbChangeMap(display, xkb, &changes);
}

}  // namespace

// Grab-breaking keys cannot be held off by any grab: a lock refuses to
// start while the keymap has them. 'false' (with the reason said) when it
// has; else true, with keymap changes watched from now on.
bool Guardian::WatchKeymap() {
  int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
  bool breakers = false;
  if (XkbQueryExtension(display_, &opcode, &xkb_event_, &error, &major, &minor)) {
    XkbDescPtr xkb = XkbGetMap(display_, kMapParts, XkbUseCoreKbd);
    ForEachBreaker(xkb, [&](unsigned, int, XkbAction&) { breakers = true; });
    if (xkb != nullptr) XkbFreeKeyboard(xkb, 0, True);
    XkbSelectEvents(display_, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
  } else {
    // A server without XKB that still reports the keys by their names.
    xkb_event_ = -1;
    breakers = XKeysymToKeycode(display_, XF86XK_Ungrab) != 0 || XKeysymToKeycode(display_, XF86XK_ClearGrab) != 0;
  }
  if (breakers)
    std::fprintf(stderr, "%s: cannot lock: the keyboard has keys that break grabs (keyboard option %s)\n",
                 program_.c_str(), kGrabBreakOption);
  return !breakers;
}

// The keymap changed while locked. Grab-breaking keys that came with it
// would end the lock without the password: they are switched off (their
// actions made NoAction on the server), and the lock goes on.
void Guardian::CheckKeymap() {
  if (xkb_event_ < 0) return;
  XkbDescPtr xkb = XkbGetMap(display_, kMapParts, XkbUseCoreKbd);
  bool found = false;
  ForEachBreaker(xkb, [&](unsigned code, int, XkbAction& action) {
    std::memset(&action, 0, sizeof action);
    action.type = XkbSA_NoAction;
    SendKeyActions(display_, xkb, code);
    found = true;
  });
  if (found) {
    disarmed_ = true;
    XSync(display_, False);
    std::fprintf(stderr, "%s: the keyboard now has keys that break grabs (keyboard option %s): "
                 "switched off while the screen is locked\n", program_.c_str(), kGrabBreakOption);
  }
  if (xkb != nullptr) XkbFreeKeyboard(xkb, 0, True);
}

// The lock ends. The server takes no private action from a client, so the
// keys switched off cannot be given theirs back: the user is told how.
void Guardian::RestoreKeymap() {
  if (!disarmed_) return;
  disarmed_ = false;
  std::fprintf(stderr, "%s: the keys that break grabs stay off until the keyboard option %s is set again "
               "(setxkbmap -option %s)\n", program_.c_str(), kGrabBreakOption, kGrabBreakOption);
}

void Guardian::OpenInputMethod() {
  // The built-in input method only: dead keys and compose sequences work,
  // and no keystroke of the password goes to another process.
  XSetLocaleModifiers("@im=none");
  im_ = XOpenIM(display_, nullptr, nullptr, nullptr);
  if (im_ != nullptr) {
    ic_ = XCreateIC(im_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, cover_, XNFocusWindow,
                    cover_, nullptr);
  }
  if (ic_ != nullptr) {
    XSetICFocus(ic_);
  } else {
    std::fprintf(stderr, "%s: no X input method: only Latin-1 can be typed\n", program_.c_str());
  }
}

void Guardian::UpdateCapsLock() {
  XkbStateRec state{};
  if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success) return;
  const bool on = (state.locked_mods & LockMask) != 0;
  if (on == caps_lock_) return;
  caps_lock_ = on;
  if (prompt_ && session_.prompt().visible) prompt_->Show(session_.prompt(), caps_lock_);
}

void Guardian::HandleKey(XEvent& event) {
  const bool press = event.type == KeyPress;
  if (XFilterEvent(&event, cover_)) return;  // part of a compose sequence
  if (!press) {
    UpdateCapsLock();
    return;
  }
  Typed typed;
  if (ic_ != nullptr) {
    Status status = 0;
    typed.length = Xutf8LookupString(ic_, &event.xkey, typed.text, static_cast<int>(sizeof typed.text) - 1,
                                     &typed.keysym, &status);
    if (status == XBufferOverflow || status == XLookupNone) typed.length = 0;
    if (status == XLookupChars) typed.keysym = NoSymbol;
  } else {
    char latin1[32] = {};
    const int n = XLookupString(&event.xkey, latin1, static_cast<int>(sizeof latin1) - 1, &typed.keysym, nullptr);
    typed.length = static_cast<int>(x11::Latin1ToUtf8(latin1, n, typed.text, sizeof typed.text));
    WipeSecret(latin1, sizeof latin1);
  }
  typed.length = std::max(typed.length, 0);
  KeyInput key;
  key.alt = (event.xkey.state & Mod1Mask) != 0;
  switch (typed.keysym) {
    case XK_Escape: key.kind = KeyInput::Kind::kEscape; break;
    case XK_Return:
    case XK_KP_Enter: key.kind = KeyInput::Kind::kEnter; break;
    case XK_BackSpace: key.kind = KeyInput::Kind::kBackspace; break;
    default: {
      const auto first = static_cast<unsigned char>(typed.text[0]);
      if (typed.length > 0 && first >= 0x20 && first != 0x7F) {
        key.kind = KeyInput::Kind::kText;
        key.text = typed.text;
        key.length = static_cast<std::size_t>(typed.length);
      }
      break;
    }
  }
  session_.Key(Now(), key);
  UpdateCapsLock();
}

}  // namespace orvo::platform::lock::guardian
