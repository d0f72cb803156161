// The dialog manager: registered templates, the table of open dialogs and
// their controls, the control messages, and the user actions that the
// views turn into WM_COMMAND and WM_HSCROLL for the dialog procedure.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "dialog/dialog_model.h"
#include "orvo/win_kernel.h"

namespace orvo::platform::dialog {
namespace {

struct OwnedItem {
  int id;
  std::string class_name;
  DWORD style;
  std::string text;
  short x, y, cx, cy;
};

struct OwnedTemplate {
  DWORD style = 0;
  std::string caption;
  std::string font_name;
  int font_points = 8;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::vector<OwnedItem> items;
};

std::map<std::pair<HINSTANCE, int>, OwnedTemplate>& Templates() {
  static std::map<std::pair<HINSTANCE, int>, OwnedTemplate> templates;
  return templates;
}

// Open dialogs, innermost last. Their models live on DialogBoxParamA's stack.
std::vector<DialogModel*>& OpenDialogs() {
  static std::vector<DialogModel*> dialogs;
  return dialogs;
}

std::unique_ptr<DialogView>& ViewSlot() {
  static std::unique_ptr<DialogView> view;
  return view;
}

std::uintptr_t& NextHandle() {
  static std::uintptr_t next = kDialogHandleBase + 1;
  return next;
}

HWND NewHandle() {
  std::uintptr_t& next = NextHandle();
  // The range holds 16M handles; wrapping would only reuse handles of
  // dialogs closed long ago.
  if (next >= kDialogHandleBase + 0x00FFFFFFu) next = kDialogHandleBase + 1;
  return reinterpret_cast<HWND>(next++);
}

DialogModel* FindDialog(HWND hwnd) {
  for (DialogModel* dialog : OpenDialogs()) {
    if (dialog->hwnd == hwnd) return dialog;
  }
  return nullptr;
}

// The control behind a handle, and its dialog.
ControlModel* FindControl(HWND hwnd, DialogModel** owner = nullptr) {
  if (hwnd == nullptr) return nullptr;
  for (DialogModel* dialog : OpenDialogs()) {
    if (ControlModel* control = dialog->FindHandle(hwnd)) {
      if (owner != nullptr) *owner = dialog;
      return control;
    }
  }
  return nullptr;
}

ControlModel* FindItem(HWND dialog_hwnd, int id, DialogModel** owner = nullptr) {
  DialogModel* dialog = FindDialog(dialog_hwnd);
  if (dialog == nullptr) return nullptr;
  if (owner != nullptr) *owner = dialog;
  return dialog->Find(id);
}

void Changed(DialogModel* dialog, ControlModel* control) {
  if (dialog != nullptr && control != nullptr && ViewSlot()) ViewSlot()->Refresh(*dialog, *control);
}

int CompareNoCase(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  const std::size_t n = std::strlen(prefix);
  if (n > text.size()) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

ControlKind KindOf(const std::string& class_name, DWORD style) {
  std::string upper;
  for (char c : class_name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "BUTTON") {
    switch (style & BS_TYPEMASK) {
      case BS_DEFPUSHBUTTON: return ControlKind::kDefPushButton;
      case BS_CHECKBOX: return ControlKind::kCheckBox;
      case BS_AUTOCHECKBOX: return ControlKind::kAutoCheckBox;
      case BS_RADIOBUTTON: return ControlKind::kRadioButton;
      case BS_GROUPBOX: return ControlKind::kGroupBox;
      case BS_AUTORADIOBUTTON: return ControlKind::kAutoRadioButton;
      default: return ControlKind::kPushButton;
    }
  }
  if (upper == "EDIT") return ControlKind::kEdit;
  if (upper == "COMBOBOX") return ControlKind::kComboBox;
  if (upper == "SCROLLBAR") return ControlKind::kScrollBar;
  return ControlKind::kStatic;
}

// Copies text and a terminating NUL into a buffer of `size` bytes; returns
// the number of characters copied.
int CopyOut(const std::string& text, char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

INT_PTR CallProc(DialogModel& dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (dialog.proc == nullptr) return 0;
  return dialog.proc(dialog.hwnd, message, wparam, lparam);
}

void SendCommand(DialogModel& dialog, const ControlModel& control, WORD notification) {
  CallProc(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(control.id), notification),
           reinterpret_cast<LPARAM>(control.hwnd));
}

LRESULT ComboMessage(DialogModel* dialog, ControlModel& c, UINT message, WPARAM wparam,
                     LPARAM lparam) {
  const int count = static_cast<int>(c.items.size());
  const int index = static_cast<int>(static_cast<std::intptr_t>(wparam));
  const char* text = reinterpret_cast<const char*>(lparam);
  switch (message) {
    case CB_ADDSTRING: {
      if (text == nullptr) return CB_ERR;
      const std::string entry = text;
      auto at = c.items.end();
      if ((c.style & CBS_SORT) != 0) {
        // After every entry that sorts before or equal to the new one.
        at = std::upper_bound(c.items.begin(), c.items.end(), entry,
                              [](const std::string& a, const std::string& b) {
                                return CompareNoCase(a, b) < 0;
                              });
      }
      const int at_index = static_cast<int>(at - c.items.begin());
      c.items.insert(at, entry);
      if (c.selection >= at_index) ++c.selection;
      Changed(dialog, &c);
      return at_index;
    }
    case CB_INSERTSTRING: {
      if (text == nullptr || index > count) return CB_ERR;
      const int at_index = index < 0 ? count : index;
      c.items.insert(c.items.begin() + at_index, text);
      if (c.selection >= at_index) ++c.selection;
      Changed(dialog, &c);
      return at_index;
    }
    case CB_DELETESTRING: {
      if (index < 0 || index >= count) return CB_ERR;
      c.items.erase(c.items.begin() + index);
      if (c.selection == index) {
        c.selection = -1;
      } else if (c.selection > index) {
        --c.selection;
      }
      Changed(dialog, &c);
      return count - 1;
    }
    case CB_GETCOUNT: return count;
    case CB_GETCURSEL: return c.selection;
    case CB_GETLBTEXT: {
      if (index < 0 || index >= count || lparam == 0) return CB_ERR;
      // The caller's buffer holds CB_GETLBTEXTLEN + 1 bytes, as the protocol
      // requires.
      const std::string& entry = c.items[static_cast<std::size_t>(index)];
      std::memcpy(reinterpret_cast<char*>(lparam), entry.c_str(), entry.size() + 1);
      return static_cast<LRESULT>(entry.size());
    }
    case CB_GETLBTEXTLEN:
      if (index < 0 || index >= count) return CB_ERR;
      return static_cast<LRESULT>(c.items[static_cast<std::size_t>(index)].size());
    case CB_RESETCONTENT:
      c.items.clear();
      c.selection = -1;
      c.text.clear();
      Changed(dialog, &c);
      return CB_OKAY;
    case CB_SETCURSEL:
      if (index < 0 || index >= count) {
        c.selection = -1;
        c.text.clear();
        Changed(dialog, &c);
        return CB_ERR;
      }
      c.selection = index;
      c.text = c.items[static_cast<std::size_t>(index)];
      Changed(dialog, &c);
      return index;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT: {
      if (text == nullptr || count == 0) return CB_ERR;
      // From the entry after `index` to the end, then from the top; -1 (or
      // any index outside the list) searches the whole list from the top.
      const int start = (index < 0 || index >= count) ? 0 : index + 1;
      for (int k = 0; k < count; ++k) {
        const int i = (start + k) % count;
        const std::string& entry = c.items[static_cast<std::size_t>(i)];
        const bool match = message == CB_FINDSTRING ? StartsWithNoCase(entry, text)
                                                    : CompareNoCase(entry, text) == 0;
        if (match) return i;
      }
      return CB_ERR;
    }
    default: return CB_ERR;
  }
}

}  // namespace

ControlModel* DialogModel::Find(int id) {
  for (ControlModel& c : controls) {
    if (c.id == id && id != -1) return &c;
  }
  return nullptr;
}

ControlModel* DialogModel::FindHandle(HWND handle) {
  for (ControlModel& c : controls) {
    if (c.hwnd == handle) return &c;
  }
  return nullptr;
}

ControlModel* DialogModel::DefaultButton() {
  for (ControlModel& c : controls) {
    if (c.kind == ControlKind::kDefPushButton) return &c;
  }
  return nullptr;
}

void InstallDialogView(std::unique_ptr<DialogView> view) { ViewSlot() = std::move(view); }
bool HasDialogView() { return static_cast<bool>(ViewSlot()); }

bool ClickControl(DialogModel& dialog, int id) {
  ControlModel* c = dialog.Find(id);
  if (c == nullptr || !c->enabled || !c->IsButton() || dialog.ended) return false;
  if (c->kind == ControlKind::kAutoCheckBox) {
    c->check = c->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    Changed(&dialog, c);
  } else if (c->kind == ControlKind::kAutoRadioButton) {
    // The group: the run of radio buttons around this one, bounded by a
    // control that is no radio button or that starts a new group.
    const std::size_t at = static_cast<std::size_t>(c - dialog.controls.data());
    std::size_t first = at;
    while (first > 0 && (dialog.controls[first].style & WS_GROUP) == 0 &&
           dialog.controls[first - 1].IsRadio()) {
      --first;
    }
    std::size_t last = at;
    while (last + 1 < dialog.controls.size() && dialog.controls[last + 1].IsRadio() &&
           (dialog.controls[last + 1].style & WS_GROUP) == 0) {
      ++last;
    }
    for (std::size_t i = first; i <= last; ++i) {
      ControlModel& r = dialog.controls[i];
      const UINT want = i == at ? BST_CHECKED : BST_UNCHECKED;
      if (r.check != want) {
        r.check = want;
        Changed(&dialog, &r);
      }
    }
  }
  SendCommand(dialog, *c, BN_CLICKED);
  return true;
}

bool SetComboEditText(DialogModel& dialog, int id, const std::string& text) {
  ControlModel* c = dialog.Find(id);
  if (c == nullptr || c->kind != ControlKind::kComboBox || !c->enabled || dialog.ended) return false;
  c->text = text;
  SendCommand(dialog, *c, CBN_EDITCHANGE);
  return true;
}

bool PickComboEntry(DialogModel& dialog, int id, int index) {
  ControlModel* c = dialog.Find(id);
  if (c == nullptr || c->kind != ControlKind::kComboBox || !c->enabled || dialog.ended) return false;
  if (index < 0 || index >= static_cast<int>(c->items.size())) return false;
  c->selection = index;
  c->text = c->items[static_cast<std::size_t>(index)];
  Changed(&dialog, c);
  SendCommand(dialog, *c, CBN_SELCHANGE);
  return true;
}

bool SendScrollAction(DialogModel& dialog, int id, int action, int thumb_pos) {
  ControlModel* c = dialog.Find(id);
  if (c == nullptr || c->kind != ControlKind::kScrollBar || !c->enabled || dialog.ended) return false;
  if (action < SB_LINELEFT || action > SB_ENDSCROLL) return false;
  const bool thumb = action == SB_THUMBPOSITION || action == SB_THUMBTRACK;
  const WORD pos = thumb ? static_cast<WORD>(std::clamp(thumb_pos, c->min, c->max)) : 0;
  CallProc(dialog, WM_HSCROLL, MAKEWPARAM(static_cast<WORD>(action), pos),
           reinterpret_cast<LPARAM>(c->hwnd));
  return true;
}

void PressEnter(DialogModel& dialog) {
  ControlModel* def = dialog.DefaultButton();
  if (def != nullptr) {
    ClickControl(dialog, def->id);
  } else if (!dialog.ended) {
    CallProc(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
}

void PressEscape(DialogModel& dialog) {
  if (dialog.ended) return;
  ControlModel* cancel = dialog.Find(IDCANCEL);
  if (cancel != nullptr && !cancel->enabled) return;
  CallProc(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
           reinterpret_cast<LPARAM>(cancel != nullptr ? cancel->hwnd : nullptr));
}

}  // namespace orvo::platform::dialog

using orvo::platform::dialog::ControlKind;
using orvo::platform::dialog::ControlModel;
using orvo::platform::dialog::DialogModel;

BOOL RegisterDialogTemplate(HINSTANCE instance, int id, const DialogTemplate* tmpl) {
  using namespace orvo::platform::dialog;
  if (tmpl == nullptr || (tmpl->item_count > 0 && tmpl->items == nullptr)) return FALSE;
  if (tmpl->item_count > 4096) return FALSE;
  OwnedTemplate owned;
  owned.style = tmpl->style;
  owned.caption = tmpl->caption != nullptr ? tmpl->caption : "";
  owned.font_name = tmpl->font_name != nullptr ? tmpl->font_name : "";
  owned.font_points = tmpl->font_points > 0 ? tmpl->font_points : 8;
  owned.x = tmpl->x;
  owned.y = tmpl->y;
  owned.cx = tmpl->cx;
  owned.cy = tmpl->cy;
  for (std::size_t i = 0; i < tmpl->item_count; ++i) {
    const DialogItemTemplate& item = tmpl->items[i];
    owned.items.push_back({item.id, item.class_name != nullptr ? item.class_name : "STATIC",
                           item.style, item.text != nullptr ? item.text : "", item.x, item.y,
                           item.cx, item.cy});
  }
  Templates()[{instance, id}] = std::move(owned);
  return TRUE;
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR template_name, HWND owner, DLGPROC proc,
                        LPARAM init_param) {
  using namespace orvo::platform::dialog;
  if (proc == nullptr || !IS_INTRESOURCE(template_name)) return -1;
  const int id = static_cast<int>(reinterpret_cast<std::uintptr_t>(template_name));
  auto found = Templates().find({instance, id});
  if (found == Templates().end()) return -1;
  if (!ViewSlot()) {
    OutputDebugStringA("orvo: no dialog view installed; the dialog cannot be shown");
    return -1;
  }
  const OwnedTemplate& t = found->second;

  DialogModel dialog;
  dialog.hwnd = NewHandle();
  dialog.owner = owner;
  dialog.proc = proc;
  dialog.caption = t.caption;
  dialog.font_name = t.font_name;
  dialog.font_points = t.font_points;
  dialog.style = t.style;
  dialog.x = t.x;
  dialog.y = t.y;
  dialog.cx = t.cx;
  dialog.cy = t.cy;
  dialog.controls.reserve(t.items.size());
  for (const OwnedItem& item : t.items) {
    ControlModel c;
    c.hwnd = NewHandle();
    c.id = item.id;
    c.kind = KindOf(item.class_name, item.style);
    c.style = item.style;
    c.text = c.kind == ControlKind::kComboBox ? "" : item.text;
    c.x = item.x;
    c.y = item.y;
    c.cx = item.cx;
    c.cy = item.cy;
    c.enabled = (item.style & WS_DISABLED) == 0;
    dialog.controls.push_back(std::move(c));
  }
  OpenDialogs().push_back(&dialog);

  // The first control that takes the focus.
  HWND focus = nullptr;
  for (const ControlModel& c : dialog.controls) {
    if ((c.style & WS_TABSTOP) != 0 && c.enabled) {
      focus = c.hwnd;
      break;
    }
  }
  CallProc(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), init_param);
  bool shown = true;
  if (!dialog.ended) shown = ViewSlot()->Run(dialog);

  auto& open = OpenDialogs();
  open.erase(std::remove(open.begin(), open.end(), &dialog), open.end());
  if (!shown && !dialog.ended) return -1;
  return dialog.result;
}

BOOL EndDialog(HWND hwnd, INT_PTR result) {
  DialogModel* dialog = orvo::platform::dialog::FindDialog(hwnd);
  if (dialog == nullptr) return FALSE;
  if (!dialog->ended) {
    dialog->ended = true;
    dialog->result = result;
  }
  return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
  ControlModel* c = orvo::platform::dialog::FindItem(dialog, id);
  return c != nullptr ? c->hwnd : nullptr;
}

int GetDlgCtrlID(HWND control) {
  ControlModel* c = orvo::platform::dialog::FindControl(control);
  return c != nullptr ? c->id : 0;
}

BOOL IsDialogWindow(HWND hwnd) {
  using namespace orvo::platform::dialog;
  return (FindDialog(hwnd) != nullptr || FindControl(hwnd) != nullptr) ? TRUE : FALSE;
}

LRESULT SendDialogControlMessage(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  using namespace orvo::platform::dialog;
  DialogModel* dialog = nullptr;
  ControlModel* c = FindControl(control, &dialog);
  if (c == nullptr) return 0;
  switch (message) {
    case WM_SETTEXT:
      c->text = lparam != 0 ? reinterpret_cast<const char*>(lparam) : "";
      Changed(dialog, c);
      return TRUE;
    case WM_GETTEXT:
      return CopyOut(c->text, reinterpret_cast<char*>(lparam), static_cast<std::size_t>(wparam));
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(c->text.size());
    case WM_ENABLE:
      c->enabled = wparam != 0;
      Changed(dialog, c);
      return 0;
    default: break;
  }
  if (c->IsButton()) {
    switch (message) {
      case BM_GETCHECK: return c->check;
      case BM_SETCHECK:
        c->check = wparam == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
        Changed(dialog, c);
        return 0;
      case BM_CLICK: ClickControl(*dialog, c->id); return 0;
      default: return 0;
    }
  }
  if (c->kind == ControlKind::kScrollBar) {
    switch (message) {
      case SBM_SETPOS: return SetScrollPos(control, SB_CTL, static_cast<int>(wparam), lparam != 0);
      case SBM_GETPOS: return GetScrollPos(control, SB_CTL);
      case SBM_SETRANGE:
        return SetScrollRange(control, SB_CTL, static_cast<int>(wparam), static_cast<int>(lparam),
                              FALSE);
      case SBM_GETRANGE:
        return GetScrollRange(control, SB_CTL, reinterpret_cast<int*>(wparam),
                              reinterpret_cast<int*>(lparam));
      default: return 0;
    }
  }
  if (c->kind == ControlKind::kComboBox) return ComboMessage(dialog, *c, message, wparam, lparam);
  return 0;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return 0;
  return SendDialogControlMessage(control, message, wparam, lparam);
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return FALSE;
  return static_cast<BOOL>(
      SendDialogControlMessage(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr || size <= 0) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(SendDialogControlMessage(control, WM_GETTEXT, static_cast<WPARAM>(size),
                                                    reinterpret_cast<LPARAM>(buffer)));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL is_signed) {
  char text[16];
  if (is_signed) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  } else {
    std::snprintf(text, sizeof text, "%u", value);
  }
  return SetDlgItemTextA(dialog, id, text);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  ControlModel* c = orvo::platform::dialog::FindItem(dialog, id);
  if (c == nullptr || !c->IsButton()) return FALSE;
  SendDialogControlMessage(c->hwnd, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  ControlModel* c = orvo::platform::dialog::FindItem(dialog, id);
  if (c == nullptr || !c->IsButton()) return BST_UNCHECKED;
  return c->check;
}

BOOL CheckRadioButton(HWND dialog, int first_id, int last_id, int check_id) {
  DialogModel* d = orvo::platform::dialog::FindDialog(dialog);
  if (d == nullptr) return FALSE;
  for (ControlModel& c : d->controls) {
    if (c.id < first_id || c.id > last_id || !c.IsButton()) continue;
    const UINT want = c.id == check_id ? BST_CHECKED : BST_UNCHECKED;
    if (c.check != want) {
      c.check = want;
      orvo::platform::dialog::Changed(d, &c);
    }
  }
  return TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  using namespace orvo::platform::dialog;
  DialogModel* dialog = nullptr;
  ControlModel* c = FindControl(hwnd, &dialog);
  if (c == nullptr) return FALSE;
  // Returns whether the control was disabled before.
  const BOOL was_disabled = c->enabled ? FALSE : TRUE;
  c->enabled = enable != FALSE;
  Changed(dialog, c);
  return was_disabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
  using namespace orvo::platform::dialog;
  if (FindDialog(hwnd) != nullptr) return TRUE;
  ControlModel* c = FindControl(hwnd);
  return (c != nullptr && c->enabled) ? TRUE : FALSE;
}

int SetScrollPos(HWND bar, int which, int pos, BOOL /*redraw*/) {
  using namespace orvo::platform::dialog;
  DialogModel* dialog = nullptr;
  ControlModel* c = FindControl(bar, &dialog);
  if (c == nullptr || which != SB_CTL || c->kind != ControlKind::kScrollBar) return 0;
  const int previous = c->pos;
  c->pos = std::clamp(pos, c->min, c->max);
  Changed(dialog, c);
  return previous;
}

int GetScrollPos(HWND bar, int which) {
  using namespace orvo::platform::dialog;
  ControlModel* c = FindControl(bar);
  if (c == nullptr || which != SB_CTL || c->kind != ControlKind::kScrollBar) return 0;
  return c->pos;
}

BOOL SetScrollRange(HWND bar, int which, int min, int max, BOOL /*redraw*/) {
  using namespace orvo::platform::dialog;
  DialogModel* dialog = nullptr;
  ControlModel* c = FindControl(bar, &dialog);
  if (c == nullptr || which != SB_CTL || c->kind != ControlKind::kScrollBar) return FALSE;
  if (min > max) std::swap(min, max);
  c->min = min;
  c->max = max;
  c->pos = std::clamp(c->pos, c->min, c->max);
  Changed(dialog, c);
  return TRUE;
}

BOOL GetScrollRange(HWND bar, int which, int* min, int* max) {
  using namespace orvo::platform::dialog;
  ControlModel* c = FindControl(bar);
  if (c == nullptr || which != SB_CTL || c->kind != ControlKind::kScrollBar) return FALSE;
  if (min != nullptr) *min = c->min;
  if (max != nullptr) *max = c->max;
  return TRUE;
}
