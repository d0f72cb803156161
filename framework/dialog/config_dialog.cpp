#include "framework/dialog/config_dialog.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "framework/host/host.h"
#include "framework/settings/settings.h"
#include "framework/settings/store.h"
#include "orvo/win_gdi.h"
#include "orvo/win_kernel.h"
#include "orvo/win_user.h"

namespace orvo::dialog {
namespace {

using settings::kRowCount;
using settings::kScrollIds;
using settings::kValueIds;

// What the open dialog works on: the saver's table and the INI file name,
// taken at opening.
struct DialogState {
  const settings::SaverSettings* table = nullptr;
  settings::SaverSettings section_table{};  // the table with the string-table section
  std::string file = settings::kSettingsFile;
  std::string section;
};

DialogState& State() {
  static DialogState state;
  return state;
}

HINSTANCE& SetupInstance() {
  static HINSTANCE instance = nullptr;
  return instance;
}

// The preset list held by combo box 1019, for the settings store.
class ComboPresetList final : public settings::PresetList {
 public:
  explicit ComboPresetList(HWND dialog) : dialog_(dialog) {}

  int Count() const override {
    const LRESULT n = SendDlgItemMessageA(dialog_, kIdPresets, CB_GETCOUNT, 0, 0);
    return n > 0 ? static_cast<int>(n) : 0;
  }
  std::string At(int index) const override {
    const LRESULT len =
        SendDlgItemMessageA(dialog_, kIdPresets, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (len < 0) return std::string();
    std::vector<char> buffer(static_cast<std::size_t>(len) + 1, '\0');
    SendDlgItemMessageA(dialog_, kIdPresets, CB_GETLBTEXT, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data());
  }
  int AddSorted(const std::string& text) override {
    return static_cast<int>(SendDlgItemMessageA(dialog_, kIdPresets, CB_ADDSTRING, 0,
                                                reinterpret_cast<LPARAM>(text.c_str())));
  }
  int FindPrefix(const std::string& text) const override {
    const LRESULT found = SendDlgItemMessageA(dialog_, kIdPresets, CB_FINDSTRING,
                                              static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(text.c_str()));
    return found >= 0 ? static_cast<int>(found) : -1;
  }
  void Remove(int index) override {
    SendDlgItemMessageA(dialog_, kIdPresets, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
  }

 private:
  HWND dialog_;
};

std::string LoadString(UINT id, const char* fallback) {
  char buffer[256] = {};
  if (SetupInstance() != nullptr && LoadStringA(SetupInstance(), id, buffer, sizeof buffer) > 0) {
    return buffer;
  }
  return fallback != nullptr ? fallback : "";
}

void ShowUnsigned(HWND dialog, int id, std::int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
  SetDlgItemTextA(dialog, id, text);
}

void RefreshValueFields(HWND dialog) {
  for (int i = 0; i < kRowCount; ++i) {
    ShowUnsigned(dialog, kValueIds[i], GetScrollPos(GetDlgItem(dialog, kScrollIds[i]), SB_CTL));
  }
}

void SelectEffect(HWND dialog, std::int32_t effect) {
  for (int e = 0; e < 5; ++e) {
    CheckDlgButton(dialog, kEffectRadioIds[e], e == effect ? BST_CHECKED : BST_UNCHECKED);
  }
}

std::string EditFieldText(HWND dialog) {
  char buffer[settings::kPresetMaxLength + 1] = {};
  GetDlgItemTextA(dialog, kIdPresets, buffer, static_cast<int>(sizeof buffer));
  return buffer;
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

int EffectFromControls(HWND dialog) {
  return settings::EffectFromRadios(Checked(dialog, kIdRamp), Checked(dialog, kIdFade),
                                    Checked(dialog, kIdSmooth), Checked(dialog, kIdCoarse),
                                    Checked(dialog, kIdRandom));
}

void Positions(HWND dialog, std::int32_t pos[kRowCount]) {
  for (int i = 0; i < kRowCount; ++i) pos[i] = GetScrollPos(GetDlgItem(dialog, kScrollIds[i]), SB_CTL);
}

BOOL OnInitDialog(HWND dialog) {
  DialogState& state = State();
  state.table = host::HasModule() ? host::CurrentModule().settings : nullptr;
  state.file = LoadString(kStringIniFile, settings::kSettingsFile);
  const settings::SaverSettings* table = state.table;

  // The video-mode note does not depend on the saver.
  HDC screen = GetDC(nullptr);
  SetDlgItemTextA(dialog, kIdVideoNote,
                  VideoModeNote(GetDeviceCaps(screen, PLANES), GetDeviceCaps(screen, BITSPIXEL)).c_str());
  ReleaseDC(nullptr, screen);
  if (table == nullptr) return TRUE;

  // The section comes from the string table when the program carries one.
  state.section = LoadString(kStringSection, table->section);
  state.section_table = *table;
  state.section_table.section = state.section.c_str();
  const settings::SaverSettings& t = state.section_table;

  const settings::Values values = settings::Load(t, state.file.c_str());
  ComboPresetList presets(dialog);
  settings::LoadPresets(t, state.file.c_str(), presets);

  for (int i = 0; i < kRowCount; ++i) {
    HWND bar = GetDlgItem(dialog, kScrollIds[i]);
    SetScrollRange(bar, SB_CTL, t.rows[i].min, t.rows[i].max, FALSE);
    SetScrollPos(bar, SB_CTL, values.row[i], TRUE);
    // The value as read, even when the bar limits it to its range.
    ShowUnsigned(dialog, kValueIds[i], values.row[i]);
  }
  SelectEffect(dialog, values.effect);
  CheckDlgButton(dialog, kIdShifted, values.shifted != 0 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, kIdPasswordProtected, values.pw_protected != 0 ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(dialog, kIdSetPassword), values.pw_protected != 0 ? TRUE : FALSE);
  return TRUE;
}

void ApplySelection(HWND dialog) {
  const LRESULT index = SendDlgItemMessageA(dialog, kIdPresets, CB_GETCURSEL, 0, 0);
  if (index < 0) return;
  const std::string text = ComboPresetList(dialog).At(static_cast<int>(index));
  const settings::ParsedPreset preset = settings::ParsePreset(text);
  // A text without all seven fields is not applied.
  if (!settings::IsComplete(preset)) return;
  for (int i = 0; i < kRowCount; ++i) {
    SetScrollPos(GetDlgItem(dialog, kScrollIds[i]), SB_CTL, preset.pos[i], TRUE);
    ShowUnsigned(dialog, kValueIds[i], preset.pos[i]);
  }
  CheckDlgButton(dialog, kIdShifted, preset.shifted != 0 ? BST_CHECKED : BST_UNCHECKED);
  SelectEffect(dialog, preset.effect);
}

void OnOk(HWND dialog) {
  DialogState& state = State();
  if (state.table != nullptr) {
    settings::Values values{};
    Positions(dialog, values.row);
    values.pw_protected = Checked(dialog, kIdPasswordProtected) ? 1 : 0;
    values.shifted = Checked(dialog, kIdShifted) ? 1 : 0;
    values.effect = EffectFromControls(dialog);
    settings::Store(state.section_table, values, state.file.c_str());
  }
  EndDialog(dialog, 1);
}

void OnCommand(HWND dialog, WPARAM wparam) {
  // The selection change is recognised by its notification code alone.
  if (HIWORD(wparam) == CBN_SELCHANGE) {
    ApplySelection(dialog);
    return;
  }
  DialogState& state = State();
  switch (LOWORD(wparam)) {
    case kIdSaveSelection:
      if (state.table != nullptr) {
        ComboPresetList presets(dialog);
        std::int32_t pos[kRowCount];
        Positions(dialog, pos);
        // Adds the entry and rewrites the presets in the file.
        settings::SavePreset(state.section_table, state.file.c_str(), presets, EditFieldText(dialog), pos,
                             Checked(dialog, kIdShifted) ? 1 : 0, EffectFromControls(dialog));
      }
      break;
    case kIdDeleteSelection:
      if (state.table != nullptr) {
        ComboPresetList presets(dialog);
        // Removes the first entry beginning with the text, then rewrites.
        settings::DeletePreset(state.section_table, state.file.c_str(), presets, EditFieldText(dialog));
      }
      break;
    case IDOK: OnOk(dialog); break;
    case IDCANCEL: EndDialog(dialog, 0); break;
    default: break;  // 108, 109 and everything else change nothing
  }
}

void OnHScroll(HWND dialog, WPARAM wparam, LPARAM lparam) {
  HWND bar = reinterpret_cast<HWND>(lparam);
  int min = 0, max = 0;
  if (!GetScrollRange(bar, SB_CTL, &min, &max)) return;
  const int pos = GetScrollPos(bar, SB_CTL);
  int next = pos;
  switch (LOWORD(wparam)) {
    case SB_LINELEFT:
    case SB_PAGELEFT: next = pos - 1; break;
    case SB_LINERIGHT:
    case SB_PAGERIGHT: next = pos + 1; break;
    case SB_THUMBPOSITION: next = HIWORD(wparam); break;
    case SB_TOP: next = max; break;     // Home: the range's maximum
    case SB_BOTTOM: next = min; break;  // End: the range's minimum
    default: break;                     // thumb tracking, end of scrolling
  }
  SetScrollPos(bar, SB_CTL, std::clamp(next, min, max), TRUE);
  RefreshValueFields(dialog);
}

// ---- The template ----------------------------------------------------------------
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

struct SetupTemplate {
  std::vector<std::string> labels;  // keeps the row labels alive
  std::string caption;
  std::vector<DialogItemTemplate> items;
  DialogTemplate tmpl{};
};

}  // namespace

std::string VideoModeNote(int planes, int bits_per_pixel) {
  long long bits = static_cast<long long>(planes) * bits_per_pixel;
  // A 64-bit count holds every real depth; absurd values are kept in range.
  bits = std::clamp(bits, 0LL, 63LL);
  const unsigned long long colours = 1ULL << bits;
  if (colours == 256) return "All screen saver features are fully functional in this video mode.";
  char text[256];
  std::snprintf(text, sizeof text,
                "You are running in a %llu color video mode.  Some animation features are available "
                "only in 256 color video modes.  Please consult the docs for more info.",
                colours);
  return text;
}

}  // namespace orvo::dialog

void RegisterSetupDialog(HINSTANCE instance, const orvo::SaverModule& module) {
  using namespace orvo::dialog;
  SetupInstance() = instance;
  const orvo::settings::SaverSettings* table = module.settings;
  auto setup = std::make_unique<SetupTemplate>();
  setup->caption = table != nullptr && table->dialog_caption != nullptr ? table->dialog_caption : "Setup";
  for (int i = 0; i < 4; ++i) {
    const char* label = table != nullptr ? table->rows[i].label : nullptr;
    setup->labels.push_back(label != nullptr ? label : "");
  }
  const char* l1 = setup->labels[0].c_str();
  const char* l2 = setup->labels[1].c_str();
  const char* l3 = setup->labels[2].c_str();
  const char* l4 = setup->labels[3].c_str();
  const DWORD bar = kChild | SBS_HORZ | WS_TABSTOP;
  const DWORD number = kChild | WS_DISABLED | WS_BORDER;
  const DWORD radio = kChild | BS_AUTORADIOBUTTON;
  const DWORD button = kChild | BS_PUSHBUTTON | WS_TABSTOP;
  setup->items = {
      {-1, "BUTTON", kChild | BS_GROUPBOX, "Control Settings", 4, 2, 180, 96},
      {-1, "STATIC", kChild | SS_RIGHT, l1, 6, 17, 60, 12},
      {kIdScrollRow1, "SCROLLBAR", bar, nullptr, 70, 16, 78, 12},
      {kIdValueRow1, "EDIT", number, nullptr, 152, 16, 26, 12},
      {-1, "STATIC", kChild | SS_LEFT, l2, 6, 33, 60, 12},
      {kIdScrollRow2, "SCROLLBAR", bar, nullptr, 70, 32, 78, 12},
      {kIdValueRow2, "EDIT", number, nullptr, 152, 32, 26, 12},
      {-1, "STATIC", kChild | SS_LEFT, l3, 6, 49, 60, 12},
      {kIdScrollRow3, "SCROLLBAR", bar, nullptr, 70, 48, 78, 12},
      {kIdValueRow3, "EDIT", number, nullptr, 152, 48, 26, 12},
      {-1, "STATIC", kChild | SS_LEFT, l4, 6, 65, 60, 12},
      {kIdScrollRow4, "SCROLLBAR", bar, nullptr, 70, 64, 78, 12},
      {kIdValueRow4, "EDIT", number | ES_AUTOHSCROLL, nullptr, 152, 64, 26, 12},
      {-1, "STATIC", kChild | SS_LEFT, "Palette Duration", 6, 81, 60, 12},
      {kIdScrollRow5, "SCROLLBAR", bar, nullptr, 70, 80, 78, 12},
      {kIdValueRow5, "EDIT", number | ES_AUTOHSCROLL, nullptr, 152, 80, 26, 12},
      {-1, "BUTTON", kChild | BS_GROUPBOX, "Effects", 188, 2, 48, 130},
      {kIdRamp, "BUTTON", radio | WS_GROUP | WS_TABSTOP, "Ramp", 194, 15, 40, 16},
      {kIdFade, "BUTTON", radio, "Fade", 194, 34, 40, 16},
      {kIdSmooth, "BUTTON", radio, "Smooth", 194, 53, 40, 16},
      {kIdCoarse, "BUTTON", radio, "Coarse", 194, 72, 40, 16},
      {kIdRandom, "BUTTON", radio, "Random", 194, 91, 40, 16},
      {kIdShifted, "BUTTON", kChild | BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, "Shifted", 194, 110, 38, 13},
      {IDOK, "BUTTON", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, "OK", 239, 6, 46, 26},
      {IDCANCEL, "BUTTON", button, "Cancel", 239, 36, 46, 26},
      {-1, "BUTTON", kChild | BS_GROUPBOX, "Save/Restore Control Settings", 4, 98, 180, 49},
      {kIdPresets, "COMBOBOX", kChild | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP, nullptr, 9,
       111, 170, 132},
      {kIdSaveSelection, "BUTTON", button, "Save Selection", 9, 129, 84, 12},
      {kIdDeleteSelection, "BUTTON", button, "Delete Selection", 96, 129, 84, 12},
      {kIdVideoNote, "EDIT", kChild | ES_MULTILINE | ES_READONLY | WS_BORDER, nullptr, 3, 152, 180, 31},
      {-1, "BUTTON", kChild | BS_GROUPBOX, "Password Options", 188, 136, 97, 47},
      {kIdPasswordProtected, "BUTTON", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, "&Password Protected", 195,
       145, 77, 16},
      {kIdSetPassword, "BUTTON", button, "&Set Password...", 193, 163, 86, 15},
  };
  setup->tmpl = DialogTemplate{WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                               setup->caption.c_str(),
                               "Helv",
                               8,
                               34,
                               32,
                               289,
                               187,
                               setup->items.data(),
                               setup->items.size()};
  // The dialog manager copies the template.
  RegisterDialogTemplate(instance, orvo::kSetupDialogId, &setup->tmpl);
}

BOOL InitConfigClasses(HINSTANCE) { return TRUE; }

INT_PTR ConfigDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  using namespace orvo::dialog;
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: OnCommand(dialog, wparam); return TRUE;
    case WM_HSCROLL: OnHScroll(dialog, wparam, lparam); return TRUE;
    default: return FALSE;
  }
}
