// The dialog manager's models (platform-internal): one DialogModel per open
// dialog with one ControlModel per template control, and the view that
// shows them (FLTK for the programs, a headless driver for tests).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "orvo/win_dialog.h"

namespace orvo::platform::dialog {

enum class ControlKind {
  kStatic,
  kGroupBox,
  kPushButton,
  kDefPushButton,
  kCheckBox,      // checked only by the procedure
  kAutoCheckBox,  // toggles itself when clicked
  kRadioButton,
  kAutoRadioButton,  // checks itself and clears its group when clicked
  kEdit,
  kComboBox,
  kScrollBar,
};

struct ControlModel {
  HWND hwnd = nullptr;
  int id = -1;
  ControlKind kind = ControlKind::kStatic;
  DWORD style = 0;
  std::string text;  // label, edit text or the combo box's edit field
  short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  bool enabled = true;
  UINT check = BST_UNCHECKED;
  // Scroll bars.
  int pos = 0;
  int min = 0;
  int max = 100;
  // Combo boxes.
  std::vector<std::string> items;
  int selection = -1;

  bool IsButton() const {
    return kind == ControlKind::kPushButton || kind == ControlKind::kDefPushButton ||
           kind == ControlKind::kCheckBox || kind == ControlKind::kAutoCheckBox ||
           kind == ControlKind::kRadioButton || kind == ControlKind::kAutoRadioButton;
  }
  bool IsRadio() const {
    return kind == ControlKind::kRadioButton || kind == ControlKind::kAutoRadioButton;
  }
};

struct DialogModel {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  DLGPROC proc = nullptr;
  std::string caption;
  std::string font_name;
  int font_points = 8;
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::vector<ControlModel> controls;  // template order (tab order)
  bool ended = false;
  INT_PTR result = 0;

  ControlModel* Find(int id);
  ControlModel* FindHandle(HWND hwnd);
  ControlModel* DefaultButton();
};

// Shows a dialog and turns the user's actions into the operations below.
class DialogView {
 public:
  virtual ~DialogView() = default;
  // Runs the modal dialog until dialog.ended is set (the procedure called
  // EndDialog). Returns false when the dialog cannot be shown at all.
  virtual bool Run(DialogModel& dialog) = 0;
  // A control's state changed (text, check, range, position, list, enabled).
  virtual void Refresh(DialogModel& /*dialog*/, ControlModel& /*control*/) {}
};

// The view used by DialogBoxParamA. Installing one replaces the previous.
void InstallDialogView(std::unique_ptr<DialogView> view);
bool HasDialogView();

// ---- User actions, shared by every view ----------------------------------------
// Each one sends the messages the procedure would receive and returns false
// when the control does not exist, is disabled or does not take the action.

// A click on a button: auto check boxes toggle, auto radio buttons check
// themselves and clear the other radio buttons of their group, then
// WM_COMMAND with BN_CLICKED reaches the procedure.
bool ClickControl(DialogModel& dialog, int id);
// Text typed into the combo box's edit field (replaces the field's text);
// the procedure receives CBN_EDITCHANGE.
bool SetComboEditText(DialogModel& dialog, int id, const std::string& text);
// A list entry picked: selection and edit field change, then CBN_SELCHANGE.
bool PickComboEntry(DialogModel& dialog, int id, int index);
// WM_HSCROLL with the action (and, for thumb actions, the position).
bool SendScrollAction(DialogModel& dialog, int id, int action, int thumb_pos);
// Enter: the default push button; Escape or the window's close box: Cancel.
void PressEnter(DialogModel& dialog);
void PressEscape(DialogModel& dialog);

}  // namespace orvo::platform::dialog
