// The system half of the native dialog view: a dialog template built in
// memory from the dialog model (the same controls, ids, styles and dialog
// units) with the system's dialog font, run by the system's own modal
// dialog loop. The models stay the only state: every notification becomes
// one of the dialog manager's user actions, after which each control is
// brought back in line with its model.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "native.h"
#include "wide_text.h"

namespace orvo::win32 {
namespace {

// Predefined control classes of a dialog template.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;
constexpr WORD kScrollBarAtom = 0x0084;
constexpr WORD kComboBoxAtom = 0x0085;

// The system's dialog font: "MS Shell Dlg" maps to the font the desktop
// uses for every dialog of its own.
constexpr const wchar_t* kDialogFont = L"MS Shell Dlg";
constexpr WORD kDialogFontPoints = 8;

WORD AtomOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kStatic: return kStaticAtom;
    case ControlKind::kEdit: return kEditAtom;
    case ControlKind::kComboBox: return kComboBoxAtom;
    case ControlKind::kScrollBar: return kScrollBarAtom;
    default: return kButtonAtom;
  }
}

bool IsButton(ControlKind kind) { return AtomOf(kind) == kButtonAtom && kind != ControlKind::kGroupBox; }
bool HasCheck(ControlKind kind) {
  return kind == ControlKind::kCheckBox || kind == ControlKind::kAutoCheckBox ||
         kind == ControlKind::kRadioButton || kind == ControlKind::kAutoRadioButton;
}

// A dialog template in memory: WORD-aligned fields, DWORD-aligned items.
class TemplateBuilder {
 public:
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Text(const std::wstring& text) {
    for (wchar_t c : text) Word(static_cast<WORD>(c));
    Word(0);
  }
  void AlignDword() {
    if (words_.size() % 2 != 0) Word(0);
  }
  std::vector<WORD>& words() { return words_; }

 private:
  std::vector<WORD> words_;
};

std::vector<WORD> BuildTemplate(const DialogSpec& spec, const std::vector<ControlState>& controls) {
  TemplateBuilder t;
  // Centred on the owner, or on the screen without one.
  const DWORD style = (spec.style & ~static_cast<DWORD>(DS_ABSALIGN)) | DS_SETFONT | DS_CENTER;
  t.Dword(style);
  t.Dword(0);  // extended style
  t.Word(static_cast<WORD>(controls.size()));
  t.Word(0);  // x, y: DS_CENTER places the dialog
  t.Word(0);
  t.Word(static_cast<WORD>(spec.cx));
  t.Word(static_cast<WORD>(spec.cy));
  t.Word(0);  // no menu
  t.Word(0);  // the system's dialog class
  t.Text(Widen(spec.caption));
  t.Word(kDialogFontPoints);
  t.Text(kDialogFont);
  for (const ControlState& c : controls) {
    t.AlignDword();
    DWORD item_style = c.style | WS_CHILD | WS_VISIBLE;
    // The model keeps the list sorted; the control shows it in that order.
    if (c.kind == ControlKind::kComboBox) item_style &= ~static_cast<DWORD>(CBS_SORT);
    t.Dword(item_style);
    t.Dword(0);
    t.Word(static_cast<WORD>(c.x));
    t.Word(static_cast<WORD>(c.y));
    t.Word(static_cast<WORD>(c.cx));
    t.Word(static_cast<WORD>(c.cy));
    t.Word(static_cast<WORD>(c.id));  // -1 (no id) becomes 0xFFFF, as in resource files
    t.Word(0xFFFF);
    t.Word(AtomOf(c.kind));
    t.Text(c.kind == ControlKind::kComboBox ? std::wstring() : Widen(c.text));
    t.Word(0);  // no creation data
  }
  return std::move(t.words());
}

std::string WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return Narrow(text);
}

struct Session {
  const DialogActions* actions = nullptr;
  std::vector<HWND> handles;               // per control, in template order
  std::vector<ControlState> shown;         // what each control shows
  std::vector<std::vector<std::string>> lists;  // combo box entries as shown
  HWND tracking = nullptr;                 // a scroll bar whose thumb is dragged
};

int IndexOf(const Session& s, HWND control) {
  for (std::size_t i = 0; i < s.handles.size(); ++i)
    if (s.handles[i] == control) return static_cast<int>(i);
  return -1;
}

void Sync(Session& s) {
  const std::vector<ControlState> state = s.actions->state();
  for (std::size_t i = 0; i < state.size() && i < s.handles.size(); ++i) {
    const ControlState& c = state[i];
    HWND h = s.handles[i];
    if (h == nullptr) continue;
    if ((IsWindowEnabled(h) != FALSE) != c.enabled) EnableWindow(h, c.enabled ? TRUE : FALSE);
    switch (c.kind) {
      case ControlKind::kScrollBar: {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_POS;
        GetScrollInfo(h, SB_CTL, &info);
        const bool range = info.nMin != c.min || info.nMax != c.max;
        const bool pos = info.nPos != c.pos && h != s.tracking;
        if (range || pos) {
          info.fMask = (range ? SIF_RANGE : 0) | (pos ? SIF_POS : 0);
          info.nMin = c.min;
          info.nMax = c.max;
          info.nPos = c.pos;
          SetScrollInfo(h, SB_CTL, &info, TRUE);
        }
        break;
      }
      case ControlKind::kComboBox: {
        if (i >= s.lists.size()) s.lists.resize(i + 1);
        if (s.lists[i] != c.items) {
          SendMessageW(h, CB_RESETCONTENT, 0, 0);
          for (const std::string& item : c.items)
            SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
          s.lists[i] = c.items;
        }
        if (SendMessageW(h, CB_GETCURSEL, 0, 0) != c.selection)
          SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(c.selection), 0);
        if (WindowText(h) != c.text) SetWindowTextW(h, Widen(c.text).c_str());
        break;
      }
      default:
        if (WindowText(h) != c.text) SetWindowTextW(h, Widen(c.text).c_str());
        if (HasCheck(c.kind)) {
          const WPARAM want = c.checked ? BST_CHECKED : BST_UNCHECKED;
          if (static_cast<WPARAM>(SendMessageW(h, BM_GETCHECK, 0, 0)) != want)
            SendMessageW(h, BM_SETCHECK, want, 0);
        }
        break;
    }
  }
  s.shown = state;
}

// After every action: the dialog ends when its procedure said so, else the
// controls follow the models.
void AfterAction(HWND dialog, Session& s) {
  std::intptr_t result = 0;
  if (s.actions->ended(&result)) {
    EndDialog(dialog, result);
    return;
  }
  Sync(s);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* s = reinterpret_cast<Session*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      s = reinterpret_cast<Session*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(s));
      // The controls were made in template order, each below the last.
      const std::size_t count = s->shown.size();
      for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr && s->handles.size() < count;
           child = GetWindow(child, GW_HWNDNEXT)) {
        s->handles.push_back(child);
      }
      s->handles.resize(count, nullptr);
      Sync(*s);
      return TRUE;  // the first control with a tab stop takes the focus
    }
    case WM_COMMAND: {
      if (s == nullptr) return FALSE;
      const int id = LOWORD(wparam);
      const WORD code = HIWORD(wparam);
      const int index = IndexOf(*s, reinterpret_cast<HWND>(lparam));
      const ControlState* c = index >= 0 ? &s->shown[static_cast<std::size_t>(index)] : nullptr;
      if (c != nullptr && c->kind == ControlKind::kComboBox) {
        HWND combo = s->handles[static_cast<std::size_t>(index)];
        if (code == CBN_SELCHANGE) {
          const LRESULT picked = SendMessageW(combo, CB_GETCURSEL, 0, 0);
          if (picked != CB_ERR) s->actions->pick(c->id, static_cast<int>(picked));
        } else if (code == CBN_EDITCHANGE) {
          s->actions->type(c->id, WindowText(combo));
        } else {
          return FALSE;
        }
      } else if (code == BN_CLICKED) {
        // Enter and Escape arrive as clicks on the default and the Cancel
        // button; without such a button they keep their own meaning.
        if (c != nullptr && IsButton(c->kind)) {
          s->actions->click(c->id);
        } else if (id == IDCANCEL) {
          s->actions->escape();
        } else if (id == IDOK) {
          s->actions->enter();
        } else {
          return FALSE;
        }
      } else {
        return FALSE;
      }
      AfterAction(dialog, *s);
      return TRUE;
    }
    case WM_HSCROLL: {
      if (s == nullptr) return FALSE;
      HWND bar = reinterpret_cast<HWND>(lparam);
      const int index = IndexOf(*s, bar);
      if (index < 0) return FALSE;
      const int action = LOWORD(wparam);
      int pos = HIWORD(wparam);
      if (action == SB_THUMBTRACK || action == SB_THUMBPOSITION) {
        // The full 32-bit position, not the message's 16 bits.
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        if (GetScrollInfo(bar, SB_CTL, &info)) pos = info.nTrackPos;
      }
      // While the thumb is dragged the bar shows the dragged place.
      s->tracking = action == SB_THUMBTRACK ? bar : nullptr;
      s->actions->scroll(s->shown[static_cast<std::size_t>(index)].id, action, pos);
      AfterAction(dialog, *s);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

bool RunDialog(const DialogSpec& spec, const DialogActions& actions) {
  static const bool common_controls = [] {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&init) != FALSE;
  }();
  (void)common_controls;  // the plain controls work without it too

  Session session;
  session.actions = &actions;
  session.shown = actions.state();
  std::vector<WORD> words = BuildTemplate(spec, session.shown);
  HWND owner = spec.owner != 0
                   ? reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(spec.owner)))
                   : nullptr;
  if (owner != nullptr && !IsWindow(owner)) owner = nullptr;
  SetLastError(ERROR_SUCCESS);
  const INT_PTR result = DialogBoxIndirectParamW(
      GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner, DialogProc,
      reinterpret_cast<LPARAM>(&session));
  return result != -1 || GetLastError() == ERROR_SUCCESS;
}

}  // namespace orvo::win32
