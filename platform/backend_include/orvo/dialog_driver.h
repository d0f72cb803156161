// A headless dialog view for tests: modal dialogs run without a display,
// and a script drives them as a user would, once they are initialised.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "orvo/win_dialog.h"

namespace orvo::platform {

class DialogDriver {
 public:
  virtual ~DialogDriver() = default;

  virtual HWND Dialog() const = 0;
  virtual HWND Owner() const = 0;
  virtual std::string Caption() const = 0;
  virtual bool Ended() const = 0;
  virtual INT_PTR Result() const = 0;

  // User actions. Each returns false when the control does not exist, is
  // disabled, does not take the action, or the dialog has ended.
  virtual bool Click(int id) = 0;                              // button, check box, radio
  virtual bool TypeText(int id, const std::string& text) = 0;  // combo box edit field
  virtual bool PickEntry(int id, int index) = 0;               // combo box list
  // A scroll action (SB_LINELEFT ... SB_BOTTOM) followed by SB_ENDSCROLL, as
  // a click on the bar or a key on a focused bar sends them.
  virtual bool Scroll(int id, int action) = 0;
  virtual bool PressHome(int id) = 0;  // SB_TOP
  virtual bool PressEnd(int id) = 0;   // SB_BOTTOM
  // Dragging the thumb: SB_THUMBTRACK at pos; releasing: SB_THUMBPOSITION at
  // pos, then SB_ENDSCROLL.
  virtual bool DragThumb(int id, int pos) = 0;
  virtual bool ReleaseThumb(int id, int pos) = 0;
  virtual void PressEnter() = 0;   // the default push button
  virtual void PressEscape() = 0;  // Cancel

  // Control state.
  virtual bool Exists(int id) const = 0;
  virtual std::string Text(int id) const = 0;  // combo box: the edit field
  virtual UINT Check(int id) const = 0;
  virtual bool Enabled(int id) const = 0;
  virtual int ScrollPos(int id) const = 0;
  virtual int ScrollMin(int id) const = 0;
  virtual int ScrollMax(int id) const = 0;
  virtual std::vector<std::string> Entries(int id) const = 0;
  virtual int Selection(int id) const = 0;
  // Every control's text, in template order (labels, frames, buttons).
  virtual std::vector<std::string> AllTexts() const = 0;
};

using DialogScript = std::function<void(DialogDriver&)>;

// Installs the headless view: every following modal dialog runs `script`
// once, right after WM_INITDIALOG. A dialog the script leaves open is ended
// with -1, so a broken script never hangs a test.
void InstallHeadlessDialogView(DialogScript script);

}  // namespace orvo::platform
