// The command line is read before the display is opened: which mode each
// text asks for, and what a program does with it when it has no display.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "framework/host/host.h"
#include "saver_fixture.h"
#include "savers/plasma/plasma_settings.h"
#include "shell/command_line.h"
#include "shell/program.h"
#include "shell/shell.h"

namespace orvo::testing {
namespace {

using shell::RunMode;

HWND Handle(std::uintptr_t v) { return reinterpret_cast<HWND>(v); }

TEST(ParseCommandLine, FirstSignificantCharacterAndTheLinuxWordsChooseTheMode) {
  struct Case {
    const char* tail;
    const char* manager_window;  // XSCREENSAVER_WINDOW
    RunMode mode;
    std::uintptr_t window;
  } cases[] = {
      // The desktop's letters behind any mix of blanks, '-' and '/'.
      {"", nullptr, RunMode::kConfigure, 0},          {"  -/ ", nullptr, RunMode::kConfigure, 0},
      {"/c:77", nullptr, RunMode::kConfigureOwned, 77}, {"C", nullptr, RunMode::kConfigureOwned, 0},
      {"/c 77", nullptr, RunMode::kConfigureOwned, 0}, {"-C:x", nullptr, RunMode::kConfigureOwned, 0},
      {"/s", nullptr, RunMode::kFullScreen, 0},        {"-S", nullptr, RunMode::kFullScreen, 0},
      {"/save", nullptr, RunMode::kFullScreen, 0},     {"/ - s", nullptr, RunMode::kFullScreen, 0},
      {"--s", nullptr, RunMode::kFullScreen, 0},       {"/p 42", nullptr, RunMode::kPreview, 42},
      {"-P   42", nullptr, RunMode::kPreview, 42},     {"/l 42", nullptr, RunMode::kPreview, 42},
      {"p123abc", nullptr, RunMode::kPreview, 123},
      {"/p 4294967303", nullptr, RunMode::kPreview, 7},  // no overflow check: wraps
      {"/a", nullptr, RunMode::kChangePassword, 0},    {"/a 12345", nullptr, RunMode::kChangePassword, 12345},
      {"/a xyz", nullptr, RunMode::kChangePassword, 0},
      // A preview whose handle reads as 0, and letters not in the table.
      {"/p", nullptr, RunMode::kBadSwitch, 0},         {"/p 0", nullptr, RunMode::kBadSwitch, 0},
      {"/p abc", nullptr, RunMode::kBadSwitch, 0},     {"/p\t42", nullptr, RunMode::kBadSwitch, 0},
      {"-l -5", nullptr, RunMode::kBadSwitch, 0},      {"/l 4294967296", nullptr, RunMode::kBadSwitch, 0},
      {"/x", nullptr, RunMode::kBadSwitch, 0},         {"/ 1", nullptr, RunMode::kBadSwitch, 0},
      {"/\ts", nullptr, RunMode::kBadSwitch, 0},       {"\ts", nullptr, RunMode::kBadSwitch, 0},
      {"-h", nullptr, RunMode::kBadSwitch, 0},         {"-help", nullptr, RunMode::kBadSwitch, 0},
      {"--helpme", nullptr, RunMode::kBadSwitch, 0},   {"-version", nullptr, RunMode::kBadSwitch, 0},
      {"-windows", nullptr, RunMode::kBadSwitch, 0},   {"--rooted", nullptr, RunMode::kBadSwitch, 0},
      // Help and version take two dashes.
      {"--help", nullptr, RunMode::kHelp, 0},          {" --help /s", nullptr, RunMode::kHelp, 0},
      {"--version", nullptr, RunMode::kVersion, 0},
      // The words of screen-saver managers, with one dash or two.
      {"--root", nullptr, RunMode::kRoot, 0},          {"-root", "", RunMode::kRoot, 0},
      {"-root", "0x2a", RunMode::kRoot, 42},           {"--root", "42", RunMode::kRoot, 42},
      {"--root", "0xZZ", RunMode::kBadSwitch, 0},      {"--root", "99999999999", RunMode::kBadSwitch, 0},
      {"--window-id 0x2A", nullptr, RunMode::kWindowId, 42},
      {"-window-id=42", nullptr, RunMode::kWindowId, 42},
      {"-window-id   4294967295", nullptr, RunMode::kWindowId, 4294967295u},
      {"--window-id", nullptr, RunMode::kBadSwitch, 0}, {"--window-id 0", nullptr, RunMode::kBadSwitch, 0},
      {"--window-id 0xZZ", nullptr, RunMode::kBadSwitch, 0},
      {"--window-id 42abc", nullptr, RunMode::kBadSwitch, 0},
      {"--window-id 4294967296", nullptr, RunMode::kBadSwitch, 0},
      {"--window", nullptr, RunMode::kWindowed, 0},    {"-window", nullptr, RunMode::kWindowed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.tail + "\"" + (c.manager_window ? std::string(" XSCREENSAVER_WINDOW=") + c.manager_window : ""));
    // A saver's setting options change nothing of how the switches read.
    const shell::CommandLine line = shell::ParseCommandLine(c.tail, c.manager_window, &kPlasmaSettings);
    EXPECT_EQ(static_cast<int>(line.mode), static_cast<int>(c.mode));
    EXPECT_EQ(line.window, Handle(c.window));
  }
}

TEST(ParseCommandLine, SettingOptionsGoAnywhereWithAnyModeAndMalformedOnesAreRefusedWithTheReason) {
  using Given = std::optional<std::int32_t>;
  struct Case {
    const char* tail;
    RunMode mode;
    Given roughness, speed, effect, shifted;
    const char* problem;  // part of the reason of a refused line
  } cases[] = {
      {"/s --roughness 7", RunMode::kFullScreen, 7, {}, {}, {}, ""},
      {"--roughness=7 --animation-speed -3 /p 42", RunMode::kPreview, 7, -3, {}, {}, ""},
      {"--root --effect coarse --no-shifted", RunMode::kRoot, {}, {}, 3, 0, ""},
      {"--effect 9 --shifted --help", RunMode::kHelp, {}, {}, 9, 1, ""},
      {"--lock --roughness 2147483647 --detach", RunMode::kFullScreen, INT32_MAX, {}, {}, {}, ""},
      {"--roughness 5 --roughness +6", RunMode::kConfigure, 6, {}, {}, {}, ""},
      {"--size 5", RunMode::kFullScreen, {}, {}, {}, {}, ""},  // not plasma's: the letter counts
      {"/s --roughness", RunMode::kBadSwitch, {}, {}, {}, {}, "--roughness needs a value"},
      {"/s --roughness 2147483648", RunMode::kBadSwitch, {}, {}, {}, {}, "--roughness needs a whole number"},
      {"--roughness 1e3 /s", RunMode::kBadSwitch, {}, {}, {}, {}, "not \"1e3\""},
      {"--roughness= /s", RunMode::kBadSwitch, {}, {}, {}, {}, "--roughness needs a whole number"},
      {"--effect ramps /s", RunMode::kBadSwitch, {}, {}, {}, {}, "--effect needs ramp, fade"},
      {"--shifted=0 /s", RunMode::kBadSwitch, {}, {}, {}, {}, "--shifted takes no value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail);
    const shell::CommandLine line = shell::ParseCommandLine(c.tail, nullptr, &kPlasmaSettings);
    EXPECT_EQ(static_cast<int>(line.mode), static_cast<int>(c.mode));
    EXPECT_NE(line.problem.find(c.problem), std::string::npos) << line.problem;
    EXPECT_EQ(line.problem.empty(), *c.problem == '\0') << line.problem;
    if (*c.problem != '\0') continue;
    EXPECT_EQ(line.given.row[0], c.roughness);
    EXPECT_EQ(line.given.row[1], c.speed);
    EXPECT_EQ(line.given.effect, c.effect);
    EXPECT_EQ(line.given.shifted, c.shifted);
  }
}

TEST(ParseCommandLine, IdleManagersAskForALockAndMayDetach) {
  const shell::CommandLine lock = shell::ParseCommandLine("--lock", nullptr, nullptr);
  EXPECT_TRUE(lock.mode == RunMode::kFullScreen && lock.lock && !lock.detach);
  const shell::CommandLine both = shell::ParseCommandLine("--detach --lock", nullptr, nullptr);
  EXPECT_TRUE(both.mode == RunMode::kFullScreen && both.lock && both.detach);
  const shell::CommandLine saver = shell::ParseCommandLine("/s --detach", nullptr, nullptr);
  EXPECT_TRUE(saver.mode == RunMode::kFullScreen && !saver.lock && saver.detach);
  for (const char* bad : {"-lock", "/p 42 --detach", "--detached"})
    EXPECT_TRUE(shell::ParseCommandLine(bad, nullptr, nullptr).mode == RunMode::kBadSwitch) << bad;
}

TEST(ParseCommandLine, OnlyHelpVersionAndBadSwitchesRunWithoutADisplayAndOnlyDesktopModesHaveAHotCorner) {
  struct Case {
    RunMode mode;
    bool needs_display;
    bool hot_corner;
  } cases[] = {
      {RunMode::kConfigure, true, false},      {RunMode::kConfigureOwned, true, false},
      {RunMode::kFullScreen, true, true},      {RunMode::kPreview, true, true},
      {RunMode::kChangePassword, true, false}, {RunMode::kRoot, true, false},
      {RunMode::kWindowId, true, false},       {RunMode::kWindowed, true, false},
      {RunMode::kHelp, false, false},          {RunMode::kVersion, false, false},
      {RunMode::kBadSwitch, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    EXPECT_EQ(shell::NeedsDisplay(c.mode), c.needs_display);
    EXPECT_EQ(shell::AppliesHotCorner(c.mode), c.hot_corner);
  }
}

// ProgramMain with a display that can or cannot be opened: what a program
// prints and returns, and whether it tried the display at all.
class ProgramMainTest : public SaverFixture {
 protected:
  struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
    int display_opened = 0;
  };

  static int opens_;
  static bool display_available_;
  static bool OpenDisplay(std::string* error) {
    ++opens_;
    if (!display_available_) {
      *error = "no X display: DISPLAY is not set";
      return false;
    }
    return true;  // the fixture's headless display is installed already
  }

  Outcome Main(const std::string& tail, bool display) {
    opens_ = 0;
    display_available_ = display;
    unsetenv("XSCREENSAVER_WINDOW");
    FreshProcess();
    Counts() = HookCounts{};
    headless::SetIdleHandler([]() { return false; });
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    Outcome o;
    o.code = shell::ProgramMain(CountingSaver(), tail, OpenDisplay);
    o.out = ::testing::internal::GetCapturedStdout();
    o.err = ::testing::internal::GetCapturedStderr();
    o.display_opened = opens_;
    headless::SetIdleHandler(nullptr);
    return o;
  }
};
int ProgramMainTest::opens_ = 0;
bool ProgramMainTest::display_available_ = false;

TEST_F(ProgramMainTest, TheCommandLineIsReadBeforeTheDisplayIsOpened) {
  const std::string usage = "usage: counting [/s | /c | /p ID | /l ID | /a [ID] | --root | --window-id ID";
  const std::string no_display = "counting: no X display: DISPLAY is not set\n";
  struct Case {
    const char* tail;
    bool display;  // whether the display can be opened
    int code;
    int opened;    // attempts to open the display
    std::string err;  // standard error starts with this
  } cases[] = {
      // Bad switches: the usage, whatever the display, which is never tried.
      {"/x", false, 255, 0, usage},       {"/x", true, 255, 0, usage},
      {"/p 0", false, 255, 0, usage},     {"/p 0", true, 255, 0, usage},
      {"/p", false, 255, 0, usage},       {"-l abc", true, 255, 0, usage},
      {"/ 1", false, 255, 0, usage},      {"-h", true, 255, 0, usage},
      {"--window-id", false, 255, 0, usage}, {"--window-id zz", true, 255, 0, usage},
      // Valid modes need the display.
      {"", false, 1, 1, no_display},      {"/c", false, 1, 1, no_display},
      {"/s", false, 1, 1, no_display},    {"-S", false, 1, 1, no_display},
      {"/p 42", false, 1, 1, no_display}, {"/l 42", false, 1, 1, no_display},
      {"/a", false, 1, 1, no_display},    {"--root", false, 1, 1, no_display},
      {"-window-id 0x10", false, 1, 1, no_display}, {"--window", false, 1, 1, no_display},
      // With it, they run; a window that does not exist is named.
      {"/s", true, 0, 1, ""},
      {"/p 999999", true, 255, 1, "counting: preview window 999999 does not exist\n"},
      {"--window-id 0x999999", true, 255, 1, "counting: window 0x999999 of --window-id does not exist\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.tail + (c.display ? "\" with a display" : "\" without a display"));
    const Outcome o = Main(c.tail, c.display);
    EXPECT_EQ(o.code, c.code);
    EXPECT_EQ(o.display_opened, c.opened);
    EXPECT_EQ(o.err.rfind(c.err, 0), 0u) << o.err;
    EXPECT_EQ(o.err.empty() || o.err.find('\n') == o.err.size() - 1, true) << "at most one line: " << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(Counts().read_settings, c.code == 0 ? 1 : 0);
  }
}

TEST_F(ProgramMainTest, HelpAndVersionGoToStandardOutputWithoutTheDisplay) {
  for (bool display : {false, true}) {
    SCOPED_TRACE(display ? "with a display" : "without a display");
    const Outcome o = Main("--help", display);
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.display_opened, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.out.rfind("Orvo Test, a screen saver.\n", 0), 0u) << o.out;
    for (const char* form : {"usage: counting ", "/c", "/s", "/p ID", "/l ID", "/a [ID]", "--root", "-root",
                             "XSCREENSAVER_WINDOW", "--window-id ID", "-window-id ID", "--window", "-window",
                             "--lock", "--detach", "--help", "--version", "control.ini", "255",
                             "30 columns"}) {
      EXPECT_NE(o.out.find(form), std::string::npos) << form;
    }
  }
  const Outcome v = Main("--version", false);
  EXPECT_EQ(v.code, 0);
  EXPECT_EQ(v.display_opened, 0);
  EXPECT_EQ(v.out, std::string("counting (Orvo savers) ") + ORVO_PROJECT_VERSION +
                       "\nCopyright (c) the Orvo savers authors; released under the MIT licence.\n");
  EXPECT_EQ(v.err, "");
}

}  // namespace
}  // namespace orvo::testing
