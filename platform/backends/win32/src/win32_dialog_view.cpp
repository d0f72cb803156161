// Our half of the native dialog view: the dialog models handed to the
// system half (native_dialog.cpp) as plain control states, and the user's
// actions handed back to the dialog manager.
#include <memory>
#include <vector>

#include "dialog/dialog_model.h"
#include "native.h"
#include "orvo/win32_backend.h"
#include "orvo/win_kernel.h"

namespace orvo::platform {
namespace {

using dialog::ControlModel;
using dialog::DialogModel;

win32::ControlKind KindOf(dialog::ControlKind kind) {
  using K = dialog::ControlKind;
  using W = win32::ControlKind;
  switch (kind) {
    case K::kStatic: return W::kStatic;
    case K::kGroupBox: return W::kGroupBox;
    case K::kPushButton: return W::kPushButton;
    case K::kDefPushButton: return W::kDefPushButton;
    case K::kCheckBox: return W::kCheckBox;
    case K::kAutoCheckBox: return W::kAutoCheckBox;
    case K::kRadioButton: return W::kRadioButton;
    case K::kAutoRadioButton: return W::kAutoRadioButton;
    case K::kEdit: return W::kEdit;
    case K::kComboBox: return W::kComboBox;
    case K::kScrollBar: return W::kScrollBar;
  }
  return W::kStatic;
}

std::vector<win32::ControlState> StateOf(const DialogModel& model) {
  std::vector<win32::ControlState> states;
  states.reserve(model.controls.size());
  for (const ControlModel& c : model.controls) {
    win32::ControlState s;
    s.id = c.id;
    s.kind = KindOf(c.kind);
    s.style = c.style;
    s.x = c.x;
    s.y = c.y;
    s.cx = c.cx;
    s.cy = c.cy;
    s.text = c.text;
    s.enabled = c.enabled;
    s.checked = c.check == BST_CHECKED;
    s.pos = c.pos;
    s.min = c.min;
    s.max = c.max;
    s.items = c.items;
    s.selection = c.selection;
    states.push_back(std::move(s));
  }
  return states;
}

// The system window behind an owner handle; 0 for none or for one of our
// emulated dialogs, which have no system window.
win32::WindowId OwnerOf(HWND owner) {
  const auto value = reinterpret_cast<std::uintptr_t>(owner);
  if (owner == nullptr || IsDialogWindow(owner) || value > 0xFFFFFFFFu) return 0;
  return static_cast<win32::WindowId>(value);
}

class Win32DialogView final : public dialog::DialogView {
 public:
  bool Run(DialogModel& model) override {
    win32::DialogSpec spec;
    spec.caption = model.caption;
    spec.style = model.style;
    spec.cx = model.cx;
    spec.cy = model.cy;
    spec.owner = OwnerOf(model.owner);

    win32::DialogActions actions;
    actions.click = [&](int id) { dialog::ClickControl(model, id); };
    actions.scroll = [&](int id, int action, int pos) { dialog::SendScrollAction(model, id, action, pos); };
    actions.type = [&](int id, const std::string& text) { dialog::SetComboEditText(model, id, text); };
    actions.pick = [&](int id, int index) { dialog::PickComboEntry(model, id, index); };
    actions.escape = [&]() { dialog::PressEscape(model); };
    actions.enter = [&]() { dialog::PressEnter(model); };
    actions.state = [&]() { return StateOf(model); };
    actions.ended = [&](std::intptr_t* result) {
      if (model.ended) *result = model.result;
      return model.ended;
    };
    if (!win32::RunDialog(spec, actions)) {
      OutputDebugStringA("orvo: the dialog could not be shown");
      return false;
    }
    if (!model.ended) {
      // The system ended the dialog without its procedure (the session
      // ending, say): as Cancel.
      model.ended = true;
      model.result = 0;
    }
    return true;
  }
};

}  // namespace

void InstallWin32DialogView() { dialog::InstallDialogView(std::make_unique<Win32DialogView>()); }

}  // namespace orvo::platform
