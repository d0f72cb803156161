// The setup dialog shown by the native dialog view: the system's own
// controls at the template's dialog units, mirroring the dialog models, and
// driven as a user would from a second thread while the dialog is modal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "framework/dialog/config_dialog.h"
#include "framework/host/host.h"
#include "orvo/platform.h"
#include "orvo/win32_backend.h"
#include "savers/cyclics/cyclics_settings.h"
#include "win32_probe.h"

namespace {

namespace fs = std::filesystem;
namespace probe = orvo::win32::probe;

constexpr const char* kSection = "Screen Saver.Cyclic";
constexpr std::uint16_t kVkEscape = 0x1B, kVkHome = 0x24, kVkEnd = 0x23, kVkRight = 0x27;

HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x5150)); }

orvo::SaverModule CyclicsModule() {
  orvo::SaverModule module{};
  module.program = "cyclics";
  module.settings = &kCyclicsSettings;
  module.frames_per_timer = 5;
  module.clears_at_teardown = true;
  return module;
}

// Waits until `done` holds, for at most two seconds.
bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 100; ++i) {
    if (done()) return true;
    probe::Pump(20);
  }
  return done();
}

class Win32DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvo-win32-dialog-" + std::to_string(probe::SystemTickCount()));
    fs::create_directories(dir_);
    _putenv_s("ORVO_CONFIG_DIR", dir_.string().c_str());
    orvo::platform::InstallWin32Backend();
    orvo::platform::InstallWin32DialogView();
    static const orvo::SaverModule module = CyclicsModule();
    orvo::host::Install(module, DefWindowProcA);
    RegisterSetupDialog(Instance(), module);
  }
  void TearDown() override {
    _putenv_s("ORVO_CONFIG_DIR", "");
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Shows the dialog with `owner` while `user` acts on it from a second
  // thread; returns the dialog's result.
  static INT_PTR Show(HWND owner, const std::function<void(probe::WindowId)>& user) {
    const std::uint32_t dialog_thread = probe::CurrentThread();
    std::thread driver([&] {
      const probe::WindowId dialog = probe::WaitForTopLevel(0, "#32770", "Cyclic Setup", 10000);
      if (dialog == 0) {
        ADD_FAILURE() << "the dialog did not appear";
        probe::QuitThread(dialog_thread);  // ends a modal loop showing something else
        return;
      }
      user(dialog);
    });
    const INT_PTR result =
        DialogBoxParamA(Instance(), MAKEINTRESOURCEA(orvo::kSetupDialogId), owner, ConfigDialogProc, 0);
    driver.join();
    return result;
  }

  static int Stored(const char* key) { return static_cast<int>(GetPrivateProfileIntA(kSection, key, -1, "control.ini")); }

  fs::path dir_;
};

// Every control of the template is a system control of its kind, placed
// at its dialog units in the system's dialog font.
TEST_F(Win32DialogTest, ControlsAreTheSystemsAtTheTemplatesDialogUnits) {
  struct Control {
    int id;
    const char* system_class;
    int units[4];  // x, y, cx, cy in dialog units, as the template gives them
  };
  const Control controls[] = {
      {1010, "ScrollBar", {70, 16, 78, 12}}, {104, "Edit", {152, 16, 26, 12}},
      {1007, "ScrollBar", {70, 32, 78, 12}}, {102, "Edit", {152, 32, 26, 12}},
      {1008, "ScrollBar", {70, 48, 78, 12}}, {103, "Edit", {152, 48, 26, 12}},
      {1009, "ScrollBar", {70, 64, 78, 12}}, {1005, "Edit", {152, 64, 26, 12}},
      {1011, "ScrollBar", {70, 80, 78, 12}}, {1006, "Edit", {152, 80, 26, 12}},
      {1012, "Button", {194, 15, 40, 16}},   {1013, "Button", {194, 34, 40, 16}},
      {1016, "Button", {194, 53, 40, 16}},   {1017, "Button", {194, 72, 40, 16}},
      {1014, "Button", {194, 91, 40, 16}},  {1018, "Button", {194, 110, 38, 13}},
      {1, "Button", {239, 6, 46, 26}},       {2, "Button", {239, 36, 46, 26}},
      {1021, "Button", {9, 129, 84, 12}},    {1023, "Button", {96, 129, 84, 12}},
      {1022, "Edit", {3, 152, 180, 31}},     {108, "Button", {195, 145, 77, 16}},
      {109, "Button", {193, 163, 86, 15}},
  };
  bool checked = false;
  const INT_PTR result = Show(nullptr, [&](probe::WindowId dialog) {
    EXPECT_EQ(probe::ClassOf(dialog), "#32770");
    for (const Control& c : controls) {
      SCOPED_TRACE(c.id);
      const probe::WindowId control = probe::DialogItem(dialog, c.id);
      ASSERT_NE(control, 0u);
      EXPECT_EQ(probe::ClassOf(control), c.system_class);
      EXPECT_EQ(probe::RectInParent(control),
                probe::ControlPlace(dialog, c.units[0], c.units[1], c.units[2], c.units[3]));
    }
    // The combo box: its field at the template's place and width.
    const probe::Rect combo = probe::RectInParent(probe::DialogItem(dialog, 1019));
    const probe::Rect units = probe::ControlPlace(dialog, 9, 111, 170, 132);
    EXPECT_EQ(probe::ClassOf(probe::DialogItem(dialog, 1019)), "ComboBox");
    EXPECT_EQ(combo.left, units.left);
    EXPECT_EQ(combo.top, units.top);
    EXPECT_EQ(combo.width(), units.width());
    // The frames and labels are there too, in template order, with their texts.
    std::vector<std::string> texts;
    for (probe::WindowId child : probe::Children(dialog)) texts.push_back(probe::TextOf(child));
    for (const char* text : {"Control Settings", "Number of Cyclics", "Spasticity", "Trail Length", "Diameter",
                             "Palette Duration", "Effects", "Ramp", "Fade", "Smooth", "Coarse", "Random",
                             "Shifted", "OK", "Cancel", "Save/Restore Control Settings", "Save Selection",
                             "Delete Selection", "Password Options", "&Password Protected", "&Set Password..."}) {
      EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << text;
    }
    const char* shots = std::getenv("ORVO_SHOTS_DIR");
    if (shots != nullptr && *shots != '\0') {
      probe::Rect frame = probe::ClientOnScreen(dialog);
      frame.left -= 8;
      frame.top -= 30;
      frame.right += 8;
      frame.bottom += 8;
      probe::SaveBmp(probe::CaptureScreen(frame), std::string(shots) + "/dialog-in-process.bmp");
    }
    checked = true;
    probe::PostKey(dialog, kVkEscape);
  });
  EXPECT_TRUE(checked);
  EXPECT_EQ(result, 0);
}

// The controls show the models: ranges, positions, numbers, effect,
// check boxes, presets and the note; the user's actions go through the
// dialog procedure and the controls follow; OK stores what they show.
TEST_F(Win32DialogTest, ControlsFollowTheModelsAndOkStores) {
  const INT_PTR result = Show(nullptr, [&](probe::WindowId dialog) {
    auto item = [&](int id) { return probe::DialogItem(dialog, id); };
    // Cyclics' ranges and defaults, as its table gives them.
    const int ranges[5][3] = {{1, 99, 4}, {1, 50, 25}, {1, 100, 100}, {0, 200, 100}, {1, 1000, 15}};
    const int bars[5] = {1010, 1007, 1008, 1009, 1011};
    const int values[5] = {104, 102, 103, 1005, 1006};
    for (int row = 0; row < 5; ++row) {
      SCOPED_TRACE(row);
      int min = 0, max = 0, pos = 0;
      ASSERT_TRUE(probe::ScrollState(item(bars[row]), &min, &max, &pos));
      EXPECT_EQ(min, ranges[row][0]);
      EXPECT_EQ(max, ranges[row][1]);
      EXPECT_EQ(pos, ranges[row][2]);
      EXPECT_EQ(probe::TextOf(item(values[row])), std::to_string(ranges[row][2]));
      EXPECT_FALSE(probe::Enabled(item(values[row])));
    }
    EXPECT_EQ(probe::CheckOf(item(1014)), 1);  // effect 4: "Random"
    EXPECT_EQ(probe::CheckOf(item(1012)), 0);
    EXPECT_EQ(probe::CheckOf(item(1018)), 1);  // "Shifted" 1
    EXPECT_FALSE(probe::Enabled(item(109)));   // "PWProtected" 0 at opening
    EXPECT_EQ(probe::TextOf(item(1022)), "All screen saver features are fully functional in this video mode.");
    EXPECT_EQ(probe::ComboEntries(item(1019)),
              (std::vector<std::string>{"Bugs ..... [32,18,50,1,15,0,0]", "Default ..... [4,25,100,100,15,1,4]",
                                        "Fat Fingers ..... [16,12,100,130,15,1,2]"}));

    // Keys on a focused scroll bar: Home is the maximum, End the minimum.
    const probe::WindowId first = item(1010);
    probe::PostKey(first, kVkHome);
    EXPECT_TRUE(Eventually([&] { return probe::TextOf(item(104)) == "99"; }));
    probe::PostKey(first, kVkEnd);
    EXPECT_TRUE(Eventually([&] { return probe::TextOf(item(104)) == "1"; }));
    probe::PostKey(first, kVkRight);
    EXPECT_TRUE(Eventually([&] { return probe::TextOf(item(104)) == "2"; }));
    int min = 0, max = 0, pos = 0;
    probe::ScrollState(first, &min, &max, &pos);
    EXPECT_EQ(pos, 2);

    // A radio button clears the others of its group.
    probe::Click(item(1013));
    EXPECT_TRUE(Eventually([&] { return probe::CheckOf(item(1013)) == 1 && probe::CheckOf(item(1014)) == 0; }));

    // Picking a preset sets every control from it.
    const probe::WindowId combo = item(1019);
    probe::PickEntry(dialog, 1019, 0);
    EXPECT_TRUE(Eventually([&] { return probe::TextOf(item(102)) == "18"; }));
    EXPECT_EQ(probe::TextOf(item(104)), "32");
    EXPECT_EQ(probe::TextOf(item(103)), "50");
    EXPECT_EQ(probe::TextOf(item(1005)), "1");
    EXPECT_EQ(probe::TextOf(item(1006)), "15");
    EXPECT_EQ(probe::CheckOf(item(1012)), 1);  // effect 0: "Ramp"
    EXPECT_EQ(probe::CheckOf(item(1013)), 0);
    EXPECT_EQ(probe::CheckOf(item(1018)), 0);
    EXPECT_EQ(probe::TextOf(combo), "Bugs ..... [32,18,50,1,15,0,0]");

    probe::Click(item(1));
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Stored("Cyclics"), 32);
  EXPECT_EQ(Stored("Spasticity"), 18);
  EXPECT_EQ(Stored("TailLength"), 50);
  EXPECT_EQ(Stored("PenWidth"), 1);
  EXPECT_EQ(Stored("Tweak"), 15);
  EXPECT_EQ(Stored("Effect"), 0);
  EXPECT_EQ(Stored("Shifted"), 0);
}

// The owner given to the dialog owns the system dialog; Escape is Cancel,
// which stores nothing.
TEST_F(Win32DialogTest, OwnedByTheGivenWindowAndEscapeCancels) {
  probe::HostWindow owner(200, 100);
  probe::WindowId seen_owner = 0;
  const INT_PTR result = Show(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(owner.id())),
                              [&](probe::WindowId dialog) {
                                seen_owner = probe::OwnerOf(dialog);
                                probe::PostKey(dialog, kVkEscape);
                              });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(seen_owner, owner.id());
  EXPECT_EQ(Stored("Cyclics"), -1);
}

}  // namespace
