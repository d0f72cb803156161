// Run-mode switches and window handles on the command line.
#include <string>

#include "orvo/dialog_driver.h"
#include "saver_fixture.h"
#include "shell/program.h"
#include "shell/shell.h"

namespace orvo::testing {
namespace {

HWND Handle(std::uintptr_t v) { return reinterpret_cast<HWND>(v); }
std::string Decimal(HWND h) { return std::to_string(reinterpret_cast<std::uintptr_t>(h)); }

TEST(ParseWindowHandle, ReadsDecimalDigitsAfterTheLetterAndSpaces) {
  EXPECT_EQ(shell::ParseWindowHandle("p 42"), Handle(42));
  EXPECT_EQ(shell::ParseWindowHandle("P   42"), Handle(42));
  EXPECT_EQ(shell::ParseWindowHandle("p123abc"), Handle(123));
  EXPECT_EQ(shell::ParseWindowHandle("p"), nullptr);
  EXPECT_EQ(shell::ParseWindowHandle("p abc"), nullptr);
  EXPECT_EQ(shell::ParseWindowHandle("p -5"), nullptr);
  // Only spaces are skipped: a tab makes the text start with a non-digit.
  EXPECT_EQ(shell::ParseWindowHandle("p\t42"), nullptr);
  // No overflow check: 2^32 + 7 wraps to 7.
  EXPECT_EQ(shell::ParseWindowHandle("l 4294967303"), Handle(7));
}

class EntryTest : public SaverFixture {};

TEST_F(EntryTest, UnknownOrBrokenSwitchesExitWithMinusOneAndCreateNothing) {
  for (const char* tail : {"/x", "/ 1", "/\ts", "/p", "/p 0", "/p abc", "-l 999999"}) {
    SCOPED_TRACE(tail);
    int waits = 0;
    EXPECT_EQ(Run(tail, [&](int) { ++waits; return false; }), -1);
    EXPECT_EQ(waits, 0) << "no message loop may run";
    EXPECT_EQ(Counts().read_settings, 0);
    EXPECT_EQ(FindWindowA("WindowsScreenSaverClass", nullptr), nullptr);
  }
}

TEST_F(EntryTest, PreviewRunsInsideTheCallersWindowWithItsSize) {
  HWND parent = headless::CreateForeignWindow(152, 112);
  for (const std::string& tail : {"-P   " + Decimal(parent), "/l " + Decimal(parent)}) {
    SCOPED_TRACE(tail);
    shell::ResetState();
    HWND seen = nullptr;
    RECT r{};
    const int code = Run(tail, [&](int) {
      seen = SaverWindow();
      GetClientRect(seen, &r);
      return false;
    });
    EXPECT_EQ(code, 0);
    ASSERT_NE(seen, nullptr);
    EXPECT_TRUE(shell::State().preview);
    EXPECT_EQ(r.right, 152);
    EXPECT_EQ(r.bottom, 112);
  }
}

TEST_F(EntryTest, PreviewOfAWindowThatIsGoneExitsWithMinusOne) {
  HWND parent = headless::CreateForeignWindow(100, 100);
  headless::DestroyForeignWindow(parent);
  EXPECT_EQ(Run("/p " + Decimal(parent), [](int) { return false; }), -1);
}

TEST_F(EntryTest, SwitchLetterIsFoundBehindAnyMixOfBlanksDashesAndSlashes) {
  for (const char* tail : {"/s", "-S", "/save", "/ - s"}) {
    SCOPED_TRACE(tail);
    shell::ResetState();
    bool ran = false;
    EXPECT_EQ(Run(tail, [&](int) { ran = SaverWindow() != nullptr && !shell::State().preview; return false; }), 0);
    EXPECT_TRUE(ran);
  }
}

TEST_F(EntryTest, SecondFullScreenStartRaisesTheFirstAndExitsAtOnce) {
  HWND first = headless::CreateForeignWindow(320, 200, "WindowsScreenSaverClass", "Screen Saver");
  HWND other = headless::CreateForeignWindow(10, 10, "Other", "Other");
  SetForegroundWindow(other);
  int waits = 0;
  EXPECT_EQ(Run("/s", [&](int) { ++waits; return false; }), 0);
  EXPECT_EQ(waits, 0);
  EXPECT_EQ(headless::Foreground(), first);
  EXPECT_EQ(Counts().read_settings, 0);
}

TEST_F(EntryTest, ConfigurationModeShowsTheSetupDialogAndReturnsItsResult) {
  for (const char* tail : {"", "  -/ ", "/c:77", "C"}) {
    SCOPED_TRACE(tail);
    std::string caption;
    platform::InstallHeadlessDialogView([&](platform::DialogDriver& d) {
      caption = d.Caption();
      d.PressEscape();
    });
    EXPECT_EQ(Run(tail, [](int) { return false; }), 0);
    EXPECT_EQ(caption, "Plasma Setup");
  }
  platform::InstallHeadlessDialogView([](platform::DialogDriver& d) { d.PressEnter(); });
  EXPECT_EQ(Run("/c", [](int) { return false; }), 1);
}

TEST_F(EntryTest, ChangePasswordModeExitsWithZeroWithoutTheComponent) {
  EXPECT_EQ(Run("/a", [](int) { return false; }), 0);
  EXPECT_EQ(Run("/a 12345", [](int) { return false; }), 0);
}

// A desktop whose settings page names itself after the switch ("/c:HWND",
// as Windows does) has that page own the dialog; the foreground window owns
// it when the page is gone, when a blank stands for the colon, and on a
// desktop that does not pass its page (the number is then not used).
TEST_F(EntryTest, ConfigurationDialogIsOwnedByTheNamedSettingsPageOrTheForegroundWindow) {
  struct Case {
    bool desktop_names_page;
    bool page_exists;
    const char* before_handle;
    bool owned_by_page;
  };
  const Case cases[] = {
      {true, true, "/c:", true},  {true, true, "-C:", true},  {true, true, "/c ", false},
      {true, false, "/c:", false}, {false, true, "/c:", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.before_handle) + (c.desktop_names_page ? " named" : "") +
                 (c.page_exists ? "" : " gone"));
    headless::Options options;
    options.names_config_owner = c.desktop_names_page;
    headless::Install(options);
    shell::ResetState();
    shell::PrepareProgram(CountingSaver());
    HWND page = headless::CreateForeignWindow(200, 100, "#32770", "Screen Saver Settings");
    HWND other = headless::CreateForeignWindow(10, 10, "Other", "Other");
    SetForegroundWindow(other);
    const std::string tail = c.before_handle + Decimal(page);
    if (!c.page_exists) headless::DestroyForeignWindow(page);
    HWND owner = nullptr;
    platform::InstallHeadlessDialogView([&](platform::DialogDriver& d) {
      owner = d.Owner();
      d.PressEscape();
    });
    EXPECT_EQ(Run(tail, [](int) { return false; }), 0);
    EXPECT_EQ(owner, c.owned_by_page ? page : other);
  }
}

}  // namespace
}  // namespace orvo::testing
