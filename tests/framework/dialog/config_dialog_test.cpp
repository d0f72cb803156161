// The setup dialog, driven headlessly against a real INI file in a fresh
// folder: opening, scrolling, presets, OK and Cancel.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "framework/dialog/config_dialog.h"
#include "framework/host/host.h"
#include "orvo/dialog_driver.h"
#include "orvo/display.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "savers/cyclics/cyclics_settings.h"
#include "savers/plasma/plasma_settings.h"

namespace {

namespace fs = std::filesystem;
using namespace orvo::dialog;
using orvo::platform::DialogDriver;

constexpr const char* kCyclic = "Screen Saver.Cyclic";
constexpr const char* kPlasma = "Screen Saver.Plasma";
constexpr const char* kFile = "control.ini";
constexpr const char* kNote256 = "All screen saver features are fully functional in this video mode.";

HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x5150)); }

orvo::SaverModule MakeModule(const char* program, const orvo::settings::SaverSettings* table) {
  orvo::SaverModule module{};
  module.program = program;
  module.settings = table;
  module.frames_per_timer = 5;
  module.clears_at_teardown = true;
  return module;
}

const orvo::SaverModule kCyclicsModule = MakeModule("cyclics", &kCyclicsSettings);
const orvo::SaverModule kPlasmaModule = MakeModule("plasma", &kPlasmaSettings);

class ConfigDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvo-dialog-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ::setenv("ORVO_CONFIG_DIR", dir_.c_str(), 1);
    ::unsetenv("ORVO_DISPLAY_BITS");
    orvo::headless::Install();
    Use(kCyclicsModule);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Use(const orvo::SaverModule& module) {
    orvo::host::Install(module, DefWindowProcA);
    RegisterSetupDialog(Instance(), module);
  }

  static void Put(const char* section, const char* key, const char* value) {
    WritePrivateProfileStringA(section, key, value, kFile);
  }
  static int Get(const char* section, const char* key) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, -12345, kFile));
  }
  static std::string GetString(const char* section, const char* key) {
    char buffer[300] = {};
    GetPrivateProfileStringA(section, key, "<missing>", buffer, sizeof buffer, kFile);
    return buffer;
  }
  std::string FileText() const {
    std::ifstream in(dir_ / kFile);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // The keys of a section, in file order.
  std::vector<std::string> KeysOf(const std::string& section) const {
    std::istringstream in(FileText());
    std::vector<std::string> keys;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && line[0] == '[') {
        inside = line == "[" + section + "]";
      } else if (inside && line.find('=') != std::string::npos) {
        keys.push_back(line.substr(0, line.find('=')));
      }
    }
    return keys;
  }

  static INT_PTR Run(std::function<void(DialogDriver&)> script) {
    orvo::platform::InstallHeadlessDialogView(std::move(script));
    return DialogBoxParamA(Instance(), MAKEINTRESOURCEA(orvo::kSetupDialogId), nullptr, ConfigDialogProc, 0);
  }

  fs::path dir_;
};

// Every control state of the dialog, for comparing before and after an action.
struct Snapshot {
  std::vector<std::string> texts;
  std::vector<int> numbers;
  bool operator==(const Snapshot&) const = default;
};
Snapshot Take(DialogDriver& d, const std::vector<int>& skip = {}) {
  Snapshot s;
  s.texts = d.AllTexts();
  const int ids[] = {102,  103,  104,  108,  109,  1005, 1006, 1007, 1008, 1009, 1010, 1011,
                     1012, 1013, 1014, 1016, 1017, 1018, 1019, 1021, 1022, 1023, IDOK, IDCANCEL};
  for (int id : ids) {
    if (std::find(skip.begin(), skip.end(), id) != skip.end()) continue;
    s.numbers.insert(s.numbers.end(), {id, static_cast<int>(d.Check(id)), d.Enabled(id) ? 1 : 0,
                                       d.ScrollPos(id), d.ScrollMin(id), d.ScrollMax(id), d.Selection(id)});
    for (const std::string& e : d.Entries(id)) s.texts.push_back(e);
  }
  return s;
}

TEST_F(ConfigDialogTest, OpeningShowsTheDefaultsAndBuiltInPresets) {
  bool ran = false;
  Run([&](DialogDriver& d) {
    ran = true;
    EXPECT_EQ(d.Caption(), "Cyclic Setup");
    // Rows top to bottom: ranges, positions and value fields.
    const int bars[] = {1010, 1007, 1008, 1009, 1011};
    const int fields[] = {104, 102, 103, 1005, 1006};
    for (int i = 0; i < 5; ++i) {
      const auto& row = kCyclicsSettings.rows[i];
      EXPECT_EQ(d.ScrollMin(bars[i]), row.min) << i;
      EXPECT_EQ(d.ScrollMax(bars[i]), row.max) << i;
      EXPECT_EQ(d.ScrollPos(bars[i]), row.default_value) << i;
      EXPECT_EQ(d.Text(fields[i]), std::to_string(row.default_value)) << i;
      EXPECT_FALSE(d.Enabled(fields[i]));
    }
    // Effect 4 is "Random"; "Shifted" 1; no password.
    EXPECT_EQ(d.Check(1014), BST_CHECKED);
    for (int id : {1012, 1013, 1016, 1017}) EXPECT_EQ(d.Check(id), BST_UNCHECKED) << id;
    EXPECT_EQ(d.Check(1018), BST_CHECKED);
    EXPECT_EQ(d.Check(108), BST_UNCHECKED);
    EXPECT_FALSE(d.Enabled(109));
    EXPECT_EQ(d.Entries(1019), (std::vector<std::string>{"Bugs ..... [32,18,50,1,15,0,0]",
                                                         "Default ..... [4,25,100,100,15,1,4]",
                                                         "Fat Fingers ..... [16,12,100,130,15,1,2]"}));
    EXPECT_EQ(d.Text(1022), kNote256);
    // The row labels come from the saver's table.
    const std::vector<std::string> texts = d.AllTexts();
    for (const char* label : {"Number of Cyclics", "Spasticity", "Trail Length", "Diameter", "Palette Duration",
                              "&Password Protected", "&Set Password...", "Save Selection"}) {
      EXPECT_NE(std::find(texts.begin(), texts.end(), label), texts.end()) << label;
    }
    d.PressEscape();
  });
  EXPECT_TRUE(ran);
  // Opening writes nothing: the built-in presets stay out of the file.
  EXPECT_EQ(GetString(kCyclic, "SAVED_0"), "<missing>");
}

TEST_F(ConfigDialogTest, PasswordCheckBoxEnablesSetPasswordOnlyAtOpening) {
  Put(kCyclic, "PWProtected", "1");
  Run([](DialogDriver& d) {
    EXPECT_EQ(d.Check(108), BST_CHECKED);
    EXPECT_TRUE(d.Enabled(109));
    // "&Set Password..." opens nothing and changes nothing.
    const Snapshot before = Take(d);
    EXPECT_TRUE(d.Click(109));
    EXPECT_FALSE(d.Ended());
    EXPECT_EQ(Take(d), before);
    // Clearing the box does not disable the button either.
    EXPECT_TRUE(d.Click(108));
    EXPECT_EQ(d.Check(108), BST_UNCHECKED);
    EXPECT_TRUE(d.Enabled(109));
    d.PressEnter();
  });
  EXPECT_EQ(Get(kCyclic, "PWProtected"), 0);
}

TEST_F(ConfigDialogTest, TickingPasswordProtectedChangesNothingElse) {
  const INT_PTR result = Run([](DialogDriver& d) {
    const Snapshot before = Take(d, {108});
    EXPECT_TRUE(d.Click(108));
    EXPECT_EQ(d.Check(108), BST_CHECKED);
    EXPECT_FALSE(d.Enabled(109));
    EXPECT_FALSE(d.Click(109));  // disabled: takes no click
    EXPECT_FALSE(d.Ended());
    EXPECT_EQ(Take(d, {108}), before);
    d.PressEnter();
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Get(kCyclic, "PWProtected"), 1);
}

TEST_F(ConfigDialogTest, HomeGoesToTheMaximumAndEndToTheMinimum) {
  Run([](DialogDriver& d) {
    ASSERT_TRUE(d.PressHome(1010));
    EXPECT_EQ(d.ScrollPos(1010), 99);
    EXPECT_EQ(d.Text(104), "99");
    ASSERT_TRUE(d.PressEnd(1009));
    EXPECT_EQ(d.ScrollPos(1009), 0);
    EXPECT_EQ(d.Text(1005), "0");
    ASSERT_TRUE(d.PressEnd(1011));
    EXPECT_EQ(d.Text(1006), "1");
    d.PressEnter();
  });
  EXPECT_EQ(Get(kCyclic, "Cyclics"), 99);
  EXPECT_EQ(Get(kCyclic, "PenWidth"), 0);
  EXPECT_EQ(Get(kCyclic, "Tweak"), 1);
}

TEST_F(ConfigDialogTest, ArrowsMoveByOneAndStopAtTheEnds) {
  Put(kCyclic, "Cyclics", "99");  // at the maximum
  Put(kCyclic, "Spasticity", "1");  // at the minimum
  Run([](DialogDriver& d) {
    d.Scroll(1010, SB_LINERIGHT);
    d.Scroll(1010, SB_PAGERIGHT);
    EXPECT_EQ(d.ScrollPos(1010), 99);
    EXPECT_EQ(d.Text(104), "99");
    d.Scroll(1007, SB_LINELEFT);
    d.Scroll(1007, SB_PAGELEFT);
    EXPECT_EQ(d.ScrollPos(1007), 1);
    EXPECT_EQ(d.Text(102), "1");
    d.Scroll(1010, SB_LINELEFT);
    EXPECT_EQ(d.ScrollPos(1010), 98);
    d.Scroll(1007, SB_PAGERIGHT);
    d.Scroll(1007, SB_LINERIGHT);
    EXPECT_EQ(d.ScrollPos(1007), 3);
    EXPECT_EQ(d.Text(102), "3");
    EXPECT_EQ(d.Text(104), "98");
    d.PressEscape();
  });
}

TEST_F(ConfigDialogTest, DraggingTheThumbChangesTheNumberOnlyAtRelease) {
  Run([](DialogDriver& d) {
    ASSERT_TRUE(d.DragThumb(1008, 40));
    EXPECT_EQ(d.ScrollPos(1008), 100);
    EXPECT_EQ(d.Text(103), "100");
    ASSERT_TRUE(d.DragThumb(1008, 60));
    EXPECT_EQ(d.Text(103), "100");
    ASSERT_TRUE(d.ReleaseThumb(1008, 60));
    EXPECT_EQ(d.ScrollPos(1008), 60);
    EXPECT_EQ(d.Text(103), "60");
    d.PressEnter();
  });
  EXPECT_EQ(Get(kCyclic, "TailLength"), 60);
}

TEST_F(ConfigDialogTest, EffectOutsideTheRangeSelectsNoRadioAndOkStoresRandom) {
  Put(kCyclic, "Effect", "7");
  Run([](DialogDriver& d) {
    for (int id : kEffectRadioIds) EXPECT_EQ(d.Check(id), BST_UNCHECKED) << id;
    d.PressEnter();
  });
  EXPECT_EQ(Get(kCyclic, "Effect"), 4);
}

TEST_F(ConfigDialogTest, OkStoresTheChosenEffectAndShifted) {
  Put(kCyclic, "Effect", "1");
  Run([](DialogDriver& d) {
    EXPECT_EQ(d.Check(1013), BST_CHECKED);
    EXPECT_TRUE(d.Click(1017));  // Coarse
    EXPECT_EQ(d.Check(1013), BST_UNCHECKED);
    EXPECT_TRUE(d.Click(1018));  // Shifted off
    d.PressEnter();
  });
  EXPECT_EQ(Get(kCyclic, "Effect"), 3);
  EXPECT_EQ(Get(kCyclic, "Shifted"), 0);
}

TEST_F(ConfigDialogTest, OkWritesTheKeysInStoreOrder) {
  EXPECT_EQ(Run([](DialogDriver& d) { d.PressEnter(); }), 1);
  EXPECT_EQ(KeysOf(kCyclic), (std::vector<std::string>{"Cyclics", "Spasticity", "TailLength", "PenWidth",
                                                       "Effect", "Tweak", "PWProtected", "Shifted"}));
  EXPECT_EQ(Get(kCyclic, "Tweak"), 15);

  Use(kPlasmaModule);
  EXPECT_EQ(Run([](DialogDriver& d) {
              EXPECT_EQ(d.Caption(), "Plasma Setup");
              d.PressEnter();
            }),
            1);
  EXPECT_EQ(KeysOf(kPlasma), (std::vector<std::string>{"Roughness", "Speed", "Gradient", "ImageDuration",
                                                       "PaletteDuration", "Effect", "PWProtected", "Shifted"}));
}

TEST_F(ConfigDialogTest, CancelStoresNothingButKeepsASavedPreset) {
  Put(kCyclic, "Cyclics", "7");
  const INT_PTR result = Run([](DialogDriver& d) {
    d.Scroll(1010, SB_LINERIGHT);
    ASSERT_TRUE(d.TypeText(1019, "Mine"));
    ASSERT_TRUE(d.Click(1021));
    EXPECT_EQ(d.Entries(1019).size(), 4u);
    d.PressEscape();
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Get(kCyclic, "Cyclics"), 7);
  EXPECT_EQ(Get(kCyclic, "Effect"), -12345);  // never written
  // Built-in presets and the new one, in list order.
  EXPECT_EQ(GetString(kCyclic, "SAVED_0"), "Bugs ..... [32,18,50,1,15,0,0]");
  EXPECT_EQ(GetString(kCyclic, "SAVED_1"), "Default ..... [4,25,100,100,15,1,4]");
  EXPECT_EQ(GetString(kCyclic, "SAVED_2"), "Fat Fingers ..... [16,12,100,130,15,1,2]");
  EXPECT_EQ(GetString(kCyclic, "SAVED_3"), "Mine ..... [8,25,100,100,15,1,4]");

  // The next opening lists exactly the file's presets.
  Run([](DialogDriver& d) {
    EXPECT_EQ(d.Entries(1019).size(), 4u);
    // Deleting by prefix removes the first match and rewrites at once.
    ASSERT_TRUE(d.TypeText(1019, "fat"));
    ASSERT_TRUE(d.Click(1023));
    EXPECT_EQ(d.Entries(1019).size(), 3u);
    d.PressEscape();
  });
  EXPECT_EQ(GetString(kCyclic, "SAVED_2"), "Mine ..... [8,25,100,100,15,1,4]");
  EXPECT_EQ(GetString(kCyclic, "SAVED_3"), "<missing>");
}

TEST_F(ConfigDialogTest, PresetListFollowsTheFileKeys) {
  // Reading stops at the first missing index: the key of index 4 is never read.
  Put(kCyclic, "SAVED_0", "Zed ..... [1,1,1,1,1,0,0]");
  Put(kCyclic, "SAVED_1", "Solo ..... [2,2,2,2,2,0,1]");
  Put(kCyclic, "SAVED_2", "alpha ..... [3,3,3,3,3,1,2]");
  Put(kCyclic, "SAVED_4", "Lost ..... [4,4,4,4,4,1,3]");
  Run([](DialogDriver& d) {
    EXPECT_EQ(d.Entries(1019), (std::vector<std::string>{"alpha ..... [3,3,3,3,3,1,2]", "Solo ..... [2,2,2,2,2,0,1]",
                                                         "Zed ..... [1,1,1,1,1,0,0]"}));
    // Saving twice with the same name keeps both entries.
    d.TypeText(1019, "Twin");
    d.Click(1021);
    d.Click(1021);
    EXPECT_EQ(d.Entries(1019).size(), 5u);
    d.PressEscape();
  });
  EXPECT_EQ(GetString(kCyclic, "SAVED_0"), "alpha ..... [3,3,3,3,3,1,2]");
  EXPECT_EQ(GetString(kCyclic, "SAVED_2"), "Twin ..... [4,25,100,100,15,1,4]");
  EXPECT_EQ(GetString(kCyclic, "SAVED_3"), "Twin ..... [4,25,100,100,15,1,4]");
  EXPECT_EQ(GetString(kCyclic, "SAVED_4"), "Zed ..... [1,1,1,1,1,0,0]");

  // Deleting every entry removes the keys; the next opening shows the
  // built-in presets again.
  Run([](DialogDriver& d) {
    for (const char* prefix : {"zed", "twin", "TWIN", "solo", "a"}) {
      d.TypeText(1019, prefix);
      d.Click(1023);
    }
    EXPECT_TRUE(d.Entries(1019).empty());
    d.PressEscape();
  });
  EXPECT_EQ(GetString(kCyclic, "SAVED_0"), "<missing>");
  Run([](DialogDriver& d) {
    EXPECT_EQ(d.Entries(1019).size(), 3u);
    EXPECT_EQ(d.Entries(1019)[1], "Default ..... [4,25,100,100,15,1,4]");
    d.PressEscape();
  });
}

TEST_F(ConfigDialogTest, OutOfRangeValuesAreShownAsReadAndOkStoresTheLimitedPosition) {
  Put(kCyclic, "Cyclics", "500");
  Put(kCyclic, "Tweak", "0");
  Run([](DialogDriver& d) {
    EXPECT_EQ(d.Text(104), "500");
    EXPECT_EQ(d.ScrollPos(1010), 99);
    EXPECT_EQ(d.Text(1006), "0");
    EXPECT_EQ(d.ScrollPos(1011), 1);
    d.PressEnter();
  });
  EXPECT_EQ(Get(kCyclic, "Cyclics"), 99);
  EXPECT_EQ(Get(kCyclic, "Tweak"), 1);
}

TEST_F(ConfigDialogTest, ApplyingAPresetSetsTheControlsAndWritesNothing) {
  Put(kCyclic, "Effect", "0");
  Put(kCyclic, "Shifted", "0");
  Put(kCyclic, "SAVED_0", "Default ..... [4,25,100,100,15,1,4]");
  Put(kCyclic, "SAVED_1", "Odd ..... [500,2,3,4,5,0,9]");
  Put(kCyclic, "SAVED_2", "Short ..... [9,9,9]");
  const std::string before = FileText();
  Run([](DialogDriver& d) {
    ASSERT_EQ(d.Entries(1019).size(), 3u);
    ASSERT_TRUE(d.PickEntry(1019, 0));
    const int bars[] = {1010, 1007, 1008, 1009, 1011};
    const int fields[] = {104, 102, 103, 1005, 1006};
    const int want[] = {4, 25, 100, 100, 15};
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(d.ScrollPos(bars[i]), want[i]);
      EXPECT_EQ(d.Text(fields[i]), std::to_string(want[i]));
    }
    EXPECT_EQ(d.Check(1018), BST_CHECKED);
    EXPECT_EQ(d.Check(1014), BST_CHECKED);
    EXPECT_EQ(d.Check(1012), BST_UNCHECKED);
    EXPECT_EQ(d.Text(1019), "Default ..... [4,25,100,100,15,1,4]");

    // Values outside a range: the field shows them, the bar limits them; an
    // unknown effect clears every radio button.
    ASSERT_TRUE(d.PickEntry(1019, 1));
    EXPECT_EQ(d.Text(104), "500");
    EXPECT_EQ(d.ScrollPos(1010), 99);
    EXPECT_EQ(d.ScrollPos(1007), 2);
    EXPECT_EQ(d.Check(1018), BST_UNCHECKED);
    for (int id : kEffectRadioIds) EXPECT_EQ(d.Check(id), BST_UNCHECKED) << id;

    // A text without all seven fields leaves the controls as they are.
    const Snapshot held = Take(d, {1019});
    ASSERT_TRUE(d.PickEntry(1019, 2));
    EXPECT_EQ(Take(d, {1019}).numbers, held.numbers);
    d.PressEscape();
  });
  EXPECT_EQ(FileText(), before);
}

TEST_F(ConfigDialogTest, VideoModeNoteFollowsTheScreenDepth) {
  const struct {
    const char* bits;
    const char* count;
  } cases[] = {{"16", "65536"}, {"4", "16"}, {"24", "16777216"}, {"32", "4294967296"}};
  for (const auto& c : cases) {
    ::setenv("ORVO_DISPLAY_BITS", c.bits, 1);
    orvo::platform::ResetDisplay();
    std::string note;
    Run([&](DialogDriver& d) {
      note = d.Text(1022);
      d.PressEscape();
    });
    EXPECT_EQ(note, std::string("You are running in a ") + c.count +
                        " color video mode.  Some animation features are available only in 256 color video "
                        "modes.  Please consult the docs for more info.")
        << c.bits;
  }
  ::setenv("ORVO_DISPLAY_BITS", "8", 1);
  orvo::platform::ResetDisplay();
  Run([](DialogDriver& d) {
    EXPECT_EQ(d.Text(1022), kNote256);
    d.PressEscape();
  });
  // Absurd depths never shift out of range.
  EXPECT_NE(VideoModeNote(0, 0).find(" 1 color"), std::string::npos);
  EXPECT_NE(VideoModeNote(4, 32).find("9223372036854775808"), std::string::npos);
  EXPECT_NE(VideoModeNote(-1, 8).find(" 1 color"), std::string::npos);
}

TEST_F(ConfigDialogTest, HooksAndAMissingSaverAreHarmless) {
  EXPECT_EQ(InitConfigClasses(Instance()), TRUE);
  // Without saver settings the dialog still opens and closes; OK writes nothing.
  const orvo::SaverModule empty = MakeModule("none", nullptr);
  Use(empty);
  EXPECT_EQ(Run([](DialogDriver& d) {
              d.Click(1021);
              d.Click(1023);
              d.PressEnter();
            }),
            1);
  EXPECT_FALSE(fs::exists(dir_ / kFile));
}

}  // namespace
