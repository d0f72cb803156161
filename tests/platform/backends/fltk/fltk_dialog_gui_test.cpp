// The setup dialog as a real window under X: keys sent by xdotool reach the
// scroll bars and buttons, and the settings land in the INI file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "framework/dialog/config_dialog.h"
#include "framework/host/host.h"
#include "orvo/display.h"
#include "orvo/fltk_dialog_view.h"
#include "orvo/platform.h"
#include "savers/cyclics/cyclics_settings.h"

// Fontconfig keeps its caches until the process ends; in sanitizer builds
// the leak checker is told so instead of failing the test for them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

namespace fs = std::filesystem;

class FltkDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is missing";
    dir_ = fs::temp_directory_path() / ("orvo-fltk-dialog-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ::setenv("ORVO_CONFIG_DIR", dir_.c_str(), 1);
    orvo::platform::ResetDisplay();
    module_.program = "cyclics";
    // A caption of its own, so that the scripts find this process's window
    // even when other tests show dialogs on the same display.
    caption_ = "Cyclic Setup " + std::to_string(::getpid());
    settings_ = kCyclicsSettings;
    settings_.dialog_caption = caption_.c_str();
    module_.settings = &settings_;
    module_.frames_per_timer = 5;
    orvo::host::Install(module_, DefWindowProcA);
    RegisterSetupDialog(Instance(), module_);
    orvo::platform::InstallFltkDialogView();
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  static HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(7)); }

  // Runs the dialog while another thread types `keys` into it.
  INT_PTR RunWithKeys(const std::string& keys) {
    return RunWithScript(
        "xdotool search --sync --onlyvisible --name 'Cyclic Setup' windowfocus --sync sleep 0.3 key --delay 80 " +
        keys);
  }
  // Runs the dialog while another thread runs a shell script against it.
  INT_PTR RunWithScript(const std::string& script) {
    // The script gets 40 seconds; a dialog still open after it is cancelled,
    // so a script that went wrong fails the test instead of hanging it.
    const fs::path file = dir_ / "script.sh";
    std::ofstream(file) << Script(script) << "\n";
    const std::string command = "timeout 40 sh " + file.string() + " >/dev/null 2>&1; sleep 1; " +
                                Script("W=$(xdotool search --onlyvisible --name 'Cyclic Setup' | head -1); "
                                       "[ -n \"$W\" ] && xdotool windowfocus --sync $W key Escape") +
                                " >/dev/null 2>&1";
    std::thread typist([command] { std::system(command.c_str()); });
    const INT_PTR result =
        DialogBoxParamA(Instance(), MAKEINTRESOURCEA(orvo::kSetupDialogId), nullptr, ConfigDialogProc, 0);
    typist.join();
    return result;
  }
  static int Get(const char* key) {
    return static_cast<int>(GetPrivateProfileIntA("Screen Saver.Cyclic", key, -1, "control.ini"));
  }

  // The scripts below say "Cyclic Setup"; it becomes this window's caption.
  std::string Script(std::string script) const {
    const std::string from = "'Cyclic Setup'";
    for (std::size_t at = script.find(from); at != std::string::npos; at = script.find(from, at + 1)) {
      script.replace(at, from.size(), "'^" + caption_ + "$'");
    }
    return script;
  }

  fs::path dir_;
  std::string caption_;
  orvo::settings::SaverSettings settings_{};
  orvo::SaverModule module_{};
};

TEST_F(FltkDialogTest, HomeAndEndOnFocusedBarsThenEnterStores) {
  // The first bar has the focus at opening; Tab moves to the second bar.
  EXPECT_EQ(RunWithKeys("Home Tab End Tab Right Return"), 1);
  EXPECT_EQ(Get("Cyclics"), 99);
  EXPECT_EQ(Get("Spasticity"), 1);
  EXPECT_EQ(Get("TailLength"), 100);  // already at its maximum
  EXPECT_EQ(Get("Effect"), 4);
}

TEST_F(FltkDialogTest, DraggingTheThumbToTheEndStoresTheReleasePosition) {
  // Positions come from the window's size: 289 x 187 dialog units. The first
  // bar spans 70..148 horizontally and 16..28 vertically; its arrows and
  // thumb are as wide as the bar is high. End puts the thumb at the left.
  const std::string script =
      "W=$(xdotool search --sync --onlyvisible --name 'Cyclic Setup' | head -1); "
      "eval $(xdotool getwindowgeometry --shell $W); "
      "xdotool windowfocus --sync $W; sleep 0.3; xdotool key End; sleep 0.2; "
      "BAR_H=$((HEIGHT * 12 / 187)); GY=$((HEIGHT * 22 / 187)); "
      "GX=$((WIDTH * 70 / 289 + BAR_H + BAR_H / 2)); "
      "xdotool mousemove --window $W $GX $GY; sleep 0.2; xdotool mousedown 1; sleep 0.2; "
      "for STEP in 20 40 60 80 120 200; do xdotool mousemove --window $W $((GX + STEP)) $GY; sleep 0.1; done; "
      "xdotool mousemove --window $W $((WIDTH * 160 / 289)) $GY; sleep 0.2; xdotool mouseup 1; sleep 0.2; "
      "xdotool key Return";
  EXPECT_EQ(RunWithScript(script), 1);
  EXPECT_EQ(Get("Cyclics"), 99);
}

TEST_F(FltkDialogTest, TypedPresetNameIsSavedWithEnterOnTheFocusedButton) {
  // Tab order follows the template: four more bars, five radio buttons,
  // "Shifted", OK, Cancel, then the combo box's edit field and "Save Selection".
  const std::string script =
      "W=$(xdotool search --sync --onlyvisible --name 'Cyclic Setup' | head -1); "
      "xdotool windowfocus --sync $W; sleep 0.3; "
      "for I in 1 2 3 4 5 6 7 8 9 10 11 12 13; do xdotool key Tab; sleep 0.03; done; "
      "xdotool type --delay 60 'Gui'; sleep 0.2; xdotool key Tab; sleep 0.2; xdotool key Return; sleep 0.3; "
      "xdotool key Escape";
  EXPECT_EQ(RunWithScript(script), 0);
  char text[300] = {};
  GetPrivateProfileStringA("Screen Saver.Cyclic", "SAVED_3", "", text, sizeof text, "control.ini");
  EXPECT_STREQ(text, "Gui ..... [4,25,100,100,15,1,4]");
  EXPECT_EQ(Get("Cyclics"), -1);  // Cancel stored no setting
}

TEST_F(FltkDialogTest, EscapeCancelsAndStoresNothing) {
  EXPECT_EQ(RunWithKeys("End Escape"), 0);
  EXPECT_EQ(Get("Cyclics"), -1);
}

}  // namespace
