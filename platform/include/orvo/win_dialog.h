// Modal dialogs and their controls: templates as data, the dialog manager's
// entry points and the control messages the programs use.
//
// Dialog and control handles come from a private range (kDialogHandleBase
// and up) that never collides with native window ids; every call checks
// the handle against the dialog manager's own table.
#pragma once

#include <cstddef>

#include "orvo/win_types.h"
#include "orvo/win_user.h"

// ---- Templates -------------------------------------------------------------------
// One control of a template. Positions are in dialog units.
struct DialogItemTemplate {
  int id;                  // -1 for controls without an id (labels, frames)
  const char* class_name;  // "BUTTON", "STATIC", "EDIT", "COMBOBOX", "SCROLLBAR"
  DWORD style;             // WS_* | class style (BS_*, SS_*, ES_*, CBS_*, SBS_*)
  const char* text;        // may be nullptr
  short x, y, cx, cy;
};

struct DialogTemplate {
  DWORD style;             // WS_* | DS_*
  const char* caption;
  const char* font_name;   // e.g. "Helv"
  int font_points;         // e.g. 8
  short x, y, cx, cy;
  const DialogItemTemplate* items;
  std::size_t item_count;
};

// Registers a template under (instance, id); the dialog manager keeps its
// own copy, so the caller's data may go away afterwards. A later call for
// the same (instance, id) replaces the earlier template. FALSE for a null
// or malformed template.
BOOL RegisterDialogTemplate(HINSTANCE instance, int id, const DialogTemplate* tmpl);

// Resource names: an integer id carried in a name pointer.
inline LPCSTR MAKEINTRESOURCEA(int id) {
  return reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(id)));
}
inline bool IS_INTRESOURCE(LPCSTR name) {
  return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0;
}

// ---- Dialog styles -------------------------------------------------------------
inline constexpr DWORD DS_SETFONT = 0x40;
inline constexpr DWORD DS_MODALFRAME = 0x80;
inline constexpr DWORD DS_CENTER = 0x0800;

// ---- Control styles --------------------------------------------------------------
inline constexpr DWORD BS_PUSHBUTTON = 0x0;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
inline constexpr DWORD BS_CHECKBOX = 0x2;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x3;
inline constexpr DWORD BS_RADIOBUTTON = 0x4;
inline constexpr DWORD BS_GROUPBOX = 0x7;
inline constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
inline constexpr DWORD BS_TYPEMASK = 0xF;

inline constexpr DWORD SS_LEFT = 0x0;
inline constexpr DWORD SS_CENTER = 0x1;
inline constexpr DWORD SS_RIGHT = 0x2;

inline constexpr DWORD ES_LEFT = 0x0;
inline constexpr DWORD ES_MULTILINE = 0x4;
inline constexpr DWORD ES_AUTOHSCROLL = 0x80;
inline constexpr DWORD ES_READONLY = 0x800;

inline constexpr DWORD CBS_SIMPLE = 0x1;
inline constexpr DWORD CBS_DROPDOWN = 0x2;
inline constexpr DWORD CBS_DROPDOWNLIST = 0x3;
inline constexpr DWORD CBS_SORT = 0x100;

inline constexpr DWORD SBS_HORZ = 0x0;
inline constexpr DWORD SBS_VERT = 0x1;

// ---- Dialog manager ---------------------------------------------------------------
// Shows the template registered under (instance, name) modally. Returns the
// value given to EndDialog, or -1 when the template is unknown, the
// procedure is null, or no dialog view can show it.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR template_name, HWND owner, DLGPROC proc,
                        LPARAM init_param);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL is_signed);

inline constexpr UINT BST_UNCHECKED = 0;
inline constexpr UINT BST_CHECKED = 1;
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckRadioButton(HWND dialog, int first_id, int last_id, int check_id);

// For dialog and control handles only; other handles give FALSE.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
// Whether the handle is a live dialog or dialog control.
BOOL IsDialogWindow(HWND hwnd);
// Messages to a dialog control (what SendMessageA does for such handles).
LRESULT SendDialogControlMessage(HWND control, UINT message, WPARAM wparam, LPARAM lparam);

// ---- Scroll bars (scroll-bar controls: SB_CTL) -------------------------------------
inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;
inline constexpr int SB_CTL = 2;

// WM_HSCROLL actions.
inline constexpr int SB_LINELEFT = 0;
inline constexpr int SB_LINERIGHT = 1;
inline constexpr int SB_PAGELEFT = 2;
inline constexpr int SB_PAGERIGHT = 3;
inline constexpr int SB_THUMBPOSITION = 4;
inline constexpr int SB_THUMBTRACK = 5;
inline constexpr int SB_TOP = 6;
inline constexpr int SB_LEFT = 6;
inline constexpr int SB_BOTTOM = 7;
inline constexpr int SB_RIGHT = 7;
inline constexpr int SB_ENDSCROLL = 8;

// The position is limited to the range; the previous position is returned.
int SetScrollPos(HWND bar, int which, int pos, BOOL redraw);
int GetScrollPos(HWND bar, int which);
// A range with min > max is swapped; the position is limited to the new range.
BOOL SetScrollRange(HWND bar, int which, int min, int max, BOOL redraw);
BOOL GetScrollRange(HWND bar, int which, int* min, int* max);

inline constexpr UINT SBM_SETPOS = 0x00E0;
inline constexpr UINT SBM_GETPOS = 0x00E1;
inline constexpr UINT SBM_SETRANGE = 0x00E2;
inline constexpr UINT SBM_GETRANGE = 0x00E3;

// ---- Buttons ------------------------------------------------------------------------
inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT BM_CLICK = 0x00F5;
inline constexpr WORD BN_CLICKED = 0;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// ---- Combo boxes ----------------------------------------------------------------------
inline constexpr UINT CB_ADDSTRING = 0x0143;
inline constexpr UINT CB_DELETESTRING = 0x0144;
inline constexpr UINT CB_GETCOUNT = 0x0146;
inline constexpr UINT CB_GETCURSEL = 0x0147;
inline constexpr UINT CB_GETLBTEXT = 0x0148;
inline constexpr UINT CB_GETLBTEXTLEN = 0x0149;
inline constexpr UINT CB_INSERTSTRING = 0x014A;
inline constexpr UINT CB_RESETCONTENT = 0x014B;
inline constexpr UINT CB_FINDSTRING = 0x014C;
inline constexpr UINT CB_SETCURSEL = 0x014E;
inline constexpr UINT CB_FINDSTRINGEXACT = 0x0158;
inline constexpr LRESULT CB_OKAY = 0;
inline constexpr LRESULT CB_ERR = -1;

inline constexpr WORD CBN_SELCHANGE = 1;
inline constexpr WORD CBN_EDITCHANGE = 5;

// Private handle range of dialogs and their controls.
inline constexpr std::uintptr_t kDialogHandleBase = 0x7F000000u;
