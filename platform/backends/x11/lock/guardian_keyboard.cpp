// The guardian's keyboard: keys read through the built-in X input method
// (UTF-8, dead keys and compose sequences) or as Latin-1 without one, and
// the Caps Lock state the prompt warns of.
#include "guardian_process.h"

#include "orvo/password.h"
#include "text.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>

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

}  // namespace

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
