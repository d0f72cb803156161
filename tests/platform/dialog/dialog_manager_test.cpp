// The dialog manager and its control models, driven headlessly.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "orvo/dialog_driver.h"
#include "orvo/win_dialog.h"

namespace {

using orvo::platform::DialogDriver;
using orvo::platform::InstallHeadlessDialogView;

HINSTANCE TestInstance() { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x4242)); }

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr int kTemplateId = 77;

const DialogItemTemplate kItems[] = {
    {-1, "BUTTON", kChild | BS_GROUPBOX, "Frame", 2, 2, 100, 80},
    {10, "BUTTON", kChild | BS_AUTORADIOBUTTON | WS_GROUP, "A", 4, 4, 30, 10},
    {11, "BUTTON", kChild | BS_AUTORADIOBUTTON, "B", 4, 14, 30, 10},
    {12, "BUTTON", kChild | BS_AUTORADIOBUTTON, "C", 4, 24, 30, 10},
    {13, "BUTTON", kChild | BS_AUTORADIOBUTTON | WS_GROUP, "D", 4, 34, 30, 10},
    {20, "BUTTON", kChild | BS_AUTOCHECKBOX, "Check", 4, 44, 30, 10},
    {21, "BUTTON", kChild | BS_CHECKBOX, "Manual", 4, 54, 30, 10},
    {30, "COMBOBOX", kChild | CBS_DROPDOWN | CBS_SORT, nullptr, 40, 4, 60, 60},
    {31, "COMBOBOX", kChild | CBS_DROPDOWN, nullptr, 40, 20, 60, 60},
    {40, "SCROLLBAR", kChild | SBS_HORZ, nullptr, 40, 40, 60, 10},
    {50, "EDIT", kChild | WS_DISABLED | WS_BORDER, "seven", 40, 50, 20, 10},
    {IDOK, "BUTTON", kChild | BS_DEFPUSHBUTTON, "OK", 110, 4, 30, 14},
    {IDCANCEL, "BUTTON", kChild | BS_PUSHBUTTON, "Cancel", 110, 20, 30, 14},
};

const DialogTemplate kTemplate = {WS_POPUP | WS_CAPTION | DS_MODALFRAME, "Test Caption", "Helv", 8, 0, 0,
                                  150, 90, kItems, sizeof kItems / sizeof kItems[0]};

// Everything the test procedure saw.
struct Seen {
  int init_dialogs = 0;
  LPARAM init_param = 0;
  std::vector<std::pair<int, int>> commands;  // (id, notification)
  std::vector<std::pair<int, int>> scrolls;   // (action, position)
  std::vector<HWND> scroll_bars;
};
Seen g_seen;

INT_PTR CALLBACK TestProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      ++g_seen.init_dialogs;
      g_seen.init_param = lparam;
      return TRUE;
    case WM_COMMAND:
      g_seen.commands.push_back({LOWORD(wparam), HIWORD(wparam)});
      if (LOWORD(wparam) == IDOK) EndDialog(dialog, 11);
      if (LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 22);
      return TRUE;
    case WM_HSCROLL:
      g_seen.scrolls.push_back({LOWORD(wparam), HIWORD(wparam)});
      g_seen.scroll_bars.push_back(reinterpret_cast<HWND>(lparam));
      return TRUE;
    default: return FALSE;
  }
}

class DialogManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen = Seen{};
    ASSERT_TRUE(RegisterDialogTemplate(TestInstance(), kTemplateId, &kTemplate));
  }
  INT_PTR Run(std::function<void(DialogDriver&)> script) {
    InstallHeadlessDialogView(std::move(script));
    return DialogBoxParamA(TestInstance(), MAKEINTRESOURCEA(kTemplateId), nullptr, TestProc, 1234);
  }
};

TEST_F(DialogManagerTest, InitialisesOnceAndReturnsTheEndDialogResult) {
  std::string caption;
  const INT_PTR result = Run([&](DialogDriver& d) {
    caption = d.Caption();
    EXPECT_EQ(d.Text(50), "seven");
    EXPECT_FALSE(d.Enabled(50));
    EXPECT_TRUE(d.Enabled(10));
    d.PressEnter();  // the default push button is OK
  });
  EXPECT_EQ(result, 11);
  EXPECT_EQ(caption, "Test Caption");
  EXPECT_EQ(g_seen.init_dialogs, 1);
  EXPECT_EQ(g_seen.init_param, 1234);
  ASSERT_EQ(g_seen.commands.size(), 1u);
  EXPECT_EQ(g_seen.commands[0], std::make_pair(IDOK, static_cast<int>(BN_CLICKED)));
}

TEST_F(DialogManagerTest, EscapeSendsCancel) {
  EXPECT_EQ(Run([](DialogDriver& d) { d.PressEscape(); }), 22);
  ASSERT_EQ(g_seen.commands.size(), 1u);
  EXPECT_EQ(g_seen.commands[0].first, IDCANCEL);
}

TEST_F(DialogManagerTest, BadRequestsGiveMinusOneOrFalse) {
  InstallHeadlessDialogView([](DialogDriver& d) { d.PressEnter(); });
  EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCEA(999), nullptr, TestProc, 0), -1);
  EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCEA(kTemplateId), nullptr, nullptr, 0), -1);
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kTemplateId), nullptr, TestProc, 0), -1);
  EXPECT_FALSE(RegisterDialogTemplate(TestInstance(), 5, nullptr));
  // A script that leaves the dialog open must not hang: the dialog ends with -1.
  EXPECT_EQ(Run([](DialogDriver&) {}), -1);
  // Handles of no open dialog are refused.
  HWND stale = nullptr;
  Run([&](DialogDriver& d) {
    stale = d.Dialog();
    d.PressEnter();
  });
  EXPECT_EQ(GetDlgItem(stale, 10), nullptr);
  EXPECT_EQ(SendDlgItemMessageA(stale, 30, CB_GETCOUNT, 0, 0), 0);
  EXPECT_FALSE(EndDialog(stale, 3));
  EXPECT_FALSE(SetDlgItemTextA(stale, 50, "x"));
  EXPECT_FALSE(IsDialogWindow(stale));
  EXPECT_EQ(GetScrollPos(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(12345)), SB_CTL), 0);
  EXPECT_FALSE(EnableWindow(nullptr, TRUE));
}

TEST_F(DialogManagerTest, AutoRadioButtonsClearOnlyTheirGroup) {
  Run([](DialogDriver& d) {
    ASSERT_TRUE(d.Click(13));  // D: a group of its own
    ASSERT_TRUE(d.Click(10));
    EXPECT_EQ(d.Check(10), BST_CHECKED);
    ASSERT_TRUE(d.Click(12));
    EXPECT_EQ(d.Check(10), BST_UNCHECKED);
    EXPECT_EQ(d.Check(11), BST_UNCHECKED);
    EXPECT_EQ(d.Check(12), BST_CHECKED);
    EXPECT_EQ(d.Check(13), BST_CHECKED);  // another group keeps its state
    d.PressEscape();
  });
  // Each click reached the procedure as BN_CLICKED.
  ASSERT_GE(g_seen.commands.size(), 3u);
  EXPECT_EQ(g_seen.commands[2], std::make_pair(12, static_cast<int>(BN_CLICKED)));
}

TEST_F(DialogManagerTest, CheckBoxesAndDisabledControls) {
  Run([](DialogDriver& d) {
    HWND dialog = d.Dialog();
    ASSERT_TRUE(d.Click(20));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 20), BST_CHECKED);
    ASSERT_TRUE(d.Click(20));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 20), BST_UNCHECKED);
    // A plain check box is checked only by the procedure.
    ASSERT_TRUE(d.Click(21));
    EXPECT_EQ(d.Check(21), BST_UNCHECKED);
    CheckDlgButton(dialog, 21, BST_CHECKED);
    EXPECT_EQ(d.Check(21), BST_CHECKED);
    // A disabled button takes no click and sends nothing.
    EXPECT_FALSE(EnableWindow(GetDlgItem(dialog, 20), FALSE));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 20)));
    EXPECT_FALSE(d.Click(20));
    EXPECT_EQ(d.Check(20), BST_UNCHECKED);
    EXPECT_TRUE(EnableWindow(GetDlgItem(dialog, 20), TRUE));  // was disabled
    EXPECT_FALSE(d.Click(999));
    CheckRadioButton(dialog, 10, 12, 11);
    EXPECT_EQ(d.Check(10), BST_UNCHECKED);
    EXPECT_EQ(d.Check(11), BST_CHECKED);
    d.PressEscape();
  });
  EXPECT_EQ(g_seen.commands.size(), 4u);  // 20, 20, 21, Cancel
}

TEST_F(DialogManagerTest, ComboBoxKeepsASortedCaseInsensitiveList) {
  Run([](DialogDriver& d) {
    HWND dialog = d.Dialog();
    auto add = [&](const char* text) {
      return SendDlgItemMessageA(dialog, 30, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    };
    EXPECT_EQ(add("beta"), 0);
    EXPECT_EQ(add("Alpha"), 0);
    EXPECT_EQ(add("gamma"), 2);
    EXPECT_EQ(add("BETA"), 2);  // after the equal entry
    EXPECT_EQ(d.Entries(30), (std::vector<std::string>{"Alpha", "beta", "BETA", "gamma"}));
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_GETCOUNT, 0, 0), 4);
    // An unsorted combo box appends.
    SendDlgItemMessageA(dialog, 31, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("z"));
    SendDlgItemMessageA(dialog, 31, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a"));
    EXPECT_EQ(d.Entries(31), (std::vector<std::string>{"z", "a"}));

    // Prefix search, case-insensitive, from the entry after wParam, wrapping.
    auto find = [&](WPARAM start, const char* text) {
      return SendDlgItemMessageA(dialog, 30, CB_FINDSTRING, start, reinterpret_cast<LPARAM>(text));
    };
    EXPECT_EQ(find(static_cast<WPARAM>(-1), "BE"), 1);
    EXPECT_EQ(find(1, "be"), 2);
    EXPECT_EQ(find(2, "be"), 1);  // wraps to the top
    EXPECT_EQ(find(static_cast<WPARAM>(-1), "GAMMA"), 3);
    EXPECT_EQ(find(static_cast<WPARAM>(-1), "delta"), CB_ERR);
    EXPECT_EQ(find(static_cast<WPARAM>(-1), "gammas"), CB_ERR);

    // Texts and lengths; bad indices give CB_ERR.
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_GETLBTEXTLEN, 3, 0), 5);
    char text[16] = {};
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(text)), 5);
    EXPECT_STREQ(text, "gamma");
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_GETLBTEXT, 4, reinterpret_cast<LPARAM>(text)), CB_ERR);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_GETLBTEXTLEN, static_cast<WPARAM>(-1), 0), CB_ERR);

    // Selection follows insertions and deletions.
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_SETCURSEL, 2, 0), 2);
    EXPECT_EQ(d.Text(30), "BETA");
    add("aardvark");
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_GETCURSEL, 0, 0), 3);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_DELETESTRING, 0, 0), 4);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_DELETESTRING, 2, 0), 3);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_DELETESTRING, 7, 0), CB_ERR);
    EXPECT_EQ(d.Entries(30), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    SendDlgItemMessageA(dialog, 30, CB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 30, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>("")),
              CB_ERR);
    d.PressEscape();
  });
}

TEST_F(DialogManagerTest, ComboBoxEditFieldAndPicking) {
  Run([](DialogDriver& d) {
    HWND dialog = d.Dialog();
    for (const char* t : {"one", "two", "three"}) {
      SendDlgItemMessageA(dialog, 30, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    }
    ASSERT_TRUE(d.TypeText(30, "typed name"));
    char buffer[8] = {};
    // The text is cut to the buffer and always terminated.
    EXPECT_EQ(GetDlgItemTextA(dialog, 30, buffer, sizeof buffer), 7u);
    EXPECT_STREQ(buffer, "typed n");
    ASSERT_TRUE(d.PickEntry(30, 1));  // one, three, two
    EXPECT_EQ(d.Text(30), "three");
    EXPECT_EQ(d.Selection(30), 1);
    EXPECT_FALSE(d.PickEntry(30, 3));
    EXPECT_FALSE(d.PickEntry(30, -1));
    EXPECT_FALSE(d.TypeText(40, "not a combo"));
    d.PressEscape();
  });
  ASSERT_EQ(g_seen.commands.size(), 3u);
  EXPECT_EQ(g_seen.commands[0], std::make_pair(30, static_cast<int>(CBN_EDITCHANGE)));
  EXPECT_EQ(g_seen.commands[1], std::make_pair(30, static_cast<int>(CBN_SELCHANGE)));
}

TEST_F(DialogManagerTest, ScrollBarsKeepThePositionInTheRangeAndReportActions) {
  HWND bar = nullptr;
  Run([&](DialogDriver& d) {
    HWND dialog = d.Dialog();
    bar = GetDlgItem(dialog, 40);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetDlgCtrlID(bar), 40);
    EXPECT_TRUE(SetScrollRange(bar, SB_CTL, 50, 10, FALSE));  // swapped
    int lo = 0, hi = 0;
    EXPECT_TRUE(GetScrollRange(bar, SB_CTL, &lo, &hi));
    EXPECT_EQ(lo, 10);
    EXPECT_EQ(hi, 50);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 10);  // limited to the new range
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 70, TRUE), 10);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 50);
    SetScrollPos(bar, SB_CTL, -3, TRUE);
    EXPECT_EQ(d.ScrollPos(40), 10);
    EXPECT_EQ(GetScrollPos(bar, SB_HORZ), 0);  // only SB_CTL for controls
    // The bar does not move by itself: the procedure decides.
    ASSERT_TRUE(d.Scroll(40, SB_LINERIGHT));
    EXPECT_EQ(d.ScrollPos(40), 10);
    ASSERT_TRUE(d.DragThumb(40, 30));
    ASSERT_TRUE(d.ReleaseThumb(40, 33));
    ASSERT_TRUE(d.PressHome(40));
    EXPECT_FALSE(d.Scroll(30, SB_LINELEFT));  // not a scroll bar
    d.PressEscape();
  });
  const std::vector<std::pair<int, int>> expected = {
      {SB_LINERIGHT, 0}, {SB_ENDSCROLL, 0}, {SB_THUMBTRACK, 30}, {SB_THUMBPOSITION, 33},
      {SB_ENDSCROLL, 0}, {SB_TOP, 0},       {SB_ENDSCROLL, 0}};
  EXPECT_EQ(g_seen.scrolls, expected);
  for (HWND h : g_seen.scroll_bars) EXPECT_EQ(h, bar);
}

TEST_F(DialogManagerTest, TemplateIsCopiedAtRegistration) {
  std::string caption = "Before";
  std::vector<DialogItemTemplate> items = {{7, "STATIC", kChild, "label", 0, 0, 10, 10}};
  DialogTemplate t = kTemplate;
  t.caption = caption.c_str();
  t.items = items.data();
  t.item_count = items.size();
  ASSERT_TRUE(RegisterDialogTemplate(TestInstance(), 78, &t));
  caption = "Overwritten afterwards";
  items[0].text = "gone";
  std::string seen_caption, seen_label;
  InstallHeadlessDialogView([&](DialogDriver& d) {
    seen_caption = d.Caption();
    seen_label = d.Text(7);
    EndDialog(d.Dialog(), 5);
  });
  EXPECT_EQ(DialogBoxParamA(TestInstance(), MAKEINTRESOURCEA(78), nullptr, TestProc, 0), 5);
  EXPECT_EQ(seen_caption, "Before");
  EXPECT_EQ(seen_label, "label");
}

}  // namespace
