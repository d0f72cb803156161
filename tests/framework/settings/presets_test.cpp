// Preset lists in the INI file: loading, saving, deleting, applying.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/settings/store.h"
#include "orvo/win_kernel.h"
#include "savers/cyclics/cyclics_settings.h"
#include "savers/polygon/polygon_settings.h"
#include "tests/support/temp_config.h"

namespace {

using orvo::settings::MemoryPresetList;
using orvo::testing::TempConfig;
namespace st = orvo::settings;

constexpr const char* kFile = "control.ini";
constexpr const char* kCyclic = "Screen Saver.Cyclic";

std::vector<std::string> Entries(const st::PresetList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.At(i));
  return out;
}

std::string Key(const char* section, const std::string& key) {
  char buffer[512];
  GetPrivateProfileStringA(section, key.c_str(), "<none>", buffer, sizeof buffer, kFile);
  return buffer;
}

TEST(PresetList, SortsCaseInsensitivelyAndKeepsDuplicates) {
  MemoryPresetList list;
  list.AddSorted("beta");
  list.AddSorted("Alpha");
  list.AddSorted("alpha");
  list.AddSorted("Gamma");
  EXPECT_EQ(list.AddSorted("BETA"), 3);
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(st::CompareNoCase(list.At(0), "ALPHA"), 0);
  EXPECT_EQ(st::CompareNoCase(list.At(1), "ALPHA"), 0);
  EXPECT_EQ(list.At(2), "beta");
  EXPECT_EQ(list.At(3), "BETA");
  EXPECT_EQ(list.At(4), "Gamma");
  EXPECT_EQ(list.At(5), "");
  EXPECT_EQ(list.At(-1), "");
}

TEST(PresetList, FindsTheFirstCaseInsensitivePrefix) {
  MemoryPresetList list;
  list.AddSorted("Default ..... [1,2,3,4,5,1,4]");
  list.AddSorted("Defaults ..... [1,2,3,4,5,1,4]");
  list.AddSorted("Bugs ..... [1,2,3,4,5,1,4]");
  EXPECT_EQ(list.FindPrefix("default"), 1);
  EXPECT_EQ(list.FindPrefix("DEFAULTS"), 2);
  EXPECT_EQ(list.FindPrefix("b"), 0);
  EXPECT_EQ(list.FindPrefix("Zebra"), -1);
  EXPECT_EQ(list.FindPrefix("Bugs ..... [1,2,3,4,5,1,4] and more"), -1);
  EXPECT_EQ(list.FindPrefix(""), -1);  // an empty field matches nothing
  list.Remove(7);
  list.Remove(-1);
  EXPECT_EQ(list.Count(), 3);
}

TEST(LoadPresets, WithoutIndexZeroTheBuiltInsAppearAndNothingIsWritten) {
  TempConfig config;
  config.Put(kFile, "[Screen Saver.Cyclic]\nCyclics=4\nSAVED_1=Orphan ..... [1,1,1,1,1,1,1]\n");
  MemoryPresetList list;
  st::LoadPresets(kCyclicsSettings, kFile, list);
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"Bugs ..... [32,18,50,1,15,0,0]",
                                                     "Default ..... [4,25,100,100,15,1,4]",
                                                     "Fat Fingers ..... [16,12,100,130,15,1,2]"}));
  EXPECT_EQ(config.Get(kFile), "[Screen Saver.Cyclic]\nCyclics=4\nSAVED_1=Orphan ..... [1,1,1,1,1,1,1]\n");

  // A missing file gives the same list, and creates no file.
  TempConfig empty;
  MemoryPresetList fresh;
  st::LoadPresets(kCyclicsSettings, kFile, fresh);
  EXPECT_EQ(Entries(fresh), Entries(list));
  EXPECT_FALSE(std::filesystem::exists(empty.Path(kFile)));
}

TEST(LoadPresets, StopsAtTheFirstGapAndNeverTouchesLaterKeys) {
  TempConfig config;
  const std::string before =
      "[Screen Saver.Cyclic]\nSAVED_0=c ..... [1,1,1,1,1,1,1]\nSAVED_1=a ..... [2,2,2,2,2,1,4]\n"
      "SAVED_2=B ..... [3,3,3,3,3,0,0]\nSAVED_4=late ..... [4,4,4,4,4,4,4]\n";
  config.Put(kFile, before);
  MemoryPresetList list;
  st::LoadPresets(kCyclicsSettings, kFile, list);
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"a ..... [2,2,2,2,2,1,4]", "B ..... [3,3,3,3,3,0,0]",
                                                     "c ..... [1,1,1,1,1,1,1]"}));
  // Deleting one rewrites keys 0..1 and deletes key 2; key 4 stays.
  EXPECT_TRUE(st::DeletePreset(kCyclicsSettings, kFile, list, "b"));
  EXPECT_EQ(Key(kCyclic, "SAVED_0"), "a ..... [2,2,2,2,2,1,4]");
  EXPECT_EQ(Key(kCyclic, "SAVED_1"), "c ..... [1,1,1,1,1,1,1]");
  EXPECT_EQ(Key(kCyclic, "SAVED_2"), "<none>");
  EXPECT_EQ(Key(kCyclic, "SAVED_4"), "late ..... [4,4,4,4,4,4,4]");
}

TEST(LoadPresets, AnEmptyIndexZeroCountsAsMissing) {
  TempConfig config;
  config.Put(kFile, "[Screen Saver.Polygon]\nSAVED_0=\nSAVED_1=x ..... [1,1,1,1,1,1,1]\n");
  MemoryPresetList list;
  st::LoadPresets(kPolygonSettings, kFile, list);
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"Default ..... [3,10,4,0,12,0,4]"}));
}

TEST(DeletePreset, DeletingTheOnlyPresetBringsTheBuiltInsBack) {
  TempConfig config;
  config.Put(kFile, "[Screen Saver.Polygon]\nVertices=5\nSAVED_0=Mine ..... [5,5,5,0,5,1,1]\n");
  MemoryPresetList list;
  st::LoadPresets(kPolygonSettings, kFile, list);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_TRUE(st::DeletePreset(kPolygonSettings, kFile, list, "MINE"));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(config.Get(kFile), "[Screen Saver.Polygon]\nVertices=5\n");
  MemoryPresetList reopened;
  st::LoadPresets(kPolygonSettings, kFile, reopened);
  EXPECT_EQ(Entries(reopened), (std::vector<std::string>{"Default ..... [3,10,4,0,12,0,4]"}));
}

TEST(DeletePreset, NoMatchStillWritesTheList) {
  TempConfig config;
  MemoryPresetList list;
  st::LoadPresets(kCyclicsSettings, kFile, list);
  EXPECT_FALSE(st::DeletePreset(kCyclicsSettings, kFile, list, "Nothing like it"));
  EXPECT_FALSE(st::DeletePreset(kCyclicsSettings, kFile, list, ""));
  EXPECT_EQ(list.Count(), 3);
  // The built-ins are now stored like any other preset.
  EXPECT_EQ(Key(kCyclic, "SAVED_0"), "Bugs ..... [32,18,50,1,15,0,0]");
  EXPECT_EQ(Key(kCyclic, "SAVED_2"), "Fat Fingers ..... [16,12,100,130,15,1,2]");
  EXPECT_EQ(Key(kCyclic, "SAVED_3"), "<none>");
}

// A list whose search, like a combo box's, finds "" at the first entry.
class EverythingMatchesEmpty final : public st::PresetList {
 public:
  int Count() const override { return inner_.Count(); }
  std::string At(int index) const override { return inner_.At(index); }
  int AddSorted(const std::string& text) override { return inner_.AddSorted(text); }
  int FindPrefix(const std::string& text) const override {
    return text.empty() && inner_.Count() > 0 ? 0 : inner_.FindPrefix(text);
  }
  void Remove(int index) override { inner_.Remove(index); }

 private:
  MemoryPresetList inner_;
};

TEST(DeletePreset, AnEmptyFieldDeletesNothingWhateverTheListSearchDoes) {
  TempConfig config;
  EverythingMatchesEmpty list;
  st::LoadPresets(kCyclicsSettings, kFile, list);
  EXPECT_FALSE(st::DeletePreset(kCyclicsSettings, kFile, list, ""));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(Key(kCyclic, "SAVED_0"), "Bugs ..... [32,18,50,1,15,0,0]");
}

TEST(SavePreset, IntoAListOfThreeWritesFourKeysInOrder) {
  TempConfig config;
  MemoryPresetList list;
  st::LoadPresets(kCyclicsSettings, kFile, list);
  const std::int32_t pos[5] = {7, 8, 9, 10, 11};
  EXPECT_EQ(st::SavePreset(kCyclicsSettings, kFile, list, "clumsy", pos, 0, 3), 1);
  EXPECT_EQ(config.Get(kFile),
            "[Screen Saver.Cyclic]\n"
            "SAVED_0=Bugs ..... [32,18,50,1,15,0,0]\n"
            "SAVED_1=clumsy ..... [7,8,9,10,11,0,3]\n"
            "SAVED_2=Default ..... [4,25,100,100,15,1,4]\n"
            "SAVED_3=Fat Fingers ..... [16,12,100,130,15,1,2]\n");
}

TEST(SavePreset, TwoEqualSavesGiveTwoEntriesAndTwoKeys) {
  TempConfig config;
  config.Put(kFile, "[Screen Saver.Polygon]\nSAVED_0=Mine ..... [5,5,5,0,5,1,1]\n");
  MemoryPresetList list;
  st::LoadPresets(kPolygonSettings, kFile, list);
  const std::int32_t pos[5] = {3, 10, 4, 0, 12};
  st::SavePreset(kPolygonSettings, kFile, list, "Twice", pos, 1, 4);
  st::SavePreset(kPolygonSettings, kFile, list, "Twice", pos, 1, 4);
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"Mine ..... [5,5,5,0,5,1,1]", "Twice ..... [3,10,4,0,12,1,4]",
                                                     "Twice ..... [3,10,4,0,12,1,4]"}));
  EXPECT_EQ(Key("Screen Saver.Polygon", "SAVED_1"), "Twice ..... [3,10,4,0,12,1,4]");
  EXPECT_EQ(Key("Screen Saver.Polygon", "SAVED_2"), "Twice ..... [3,10,4,0,12,1,4]");
  MemoryPresetList reopened;
  st::LoadPresets(kPolygonSettings, kFile, reopened);
  EXPECT_EQ(Entries(reopened), Entries(list));
}

TEST(SavePreset, OtherSectionsAndKeysAreLeftAlone) {
  TempConfig config;
  const std::string before =
      "[Screen Saver.Star]\r\nSAVED_0=Star ..... [1,1,1,1,1,0,0]\r\n; note\r\n[Screen Saver.Cyclic]\r\nTweak=15\r\n";
  config.Put(kFile, before);
  MemoryPresetList list;
  st::LoadPresets(kCyclicsSettings, kFile, list);
  const std::int32_t pos[5] = {1, 2, 3, 4, 5};
  st::SavePreset(kCyclicsSettings, kFile, list, "x", pos, 1, 0);
  const std::string after = config.Get(kFile);
  EXPECT_EQ(after.substr(0, before.size()), before);
  const std::string added = "SAVED_0=Bugs ..... [32,18,50,1,15,0,0]\r\nSAVED_1=";
  EXPECT_EQ(after.substr(before.size(), added.size()), added);  // the file's CRLF is kept
  EXPECT_EQ(Key(kCyclic, "SAVED_3"), "x ..... [1,2,3,4,5,1,0]");
}

TEST(FormatPreset, WritesTheFixedLayout) {
  const std::int32_t pos[5] = {16, 12, 100, 130, 15};
  EXPECT_EQ(st::FormatPreset("Fat Fingers", pos, 1, 2), "Fat Fingers ..... [16,12,100,130,15,1,2]");
  EXPECT_EQ(st::FormatPreset("", pos, 0, 0), " ..... [16,12,100,130,15,0,0]");
  const std::int32_t negative[5] = {-1, 0, 0, 0, 0};
  EXPECT_EQ(st::FormatPreset("n", negative, 0, 4), "n ..... [4294967295,0,0,0,0,0,4]");
}

TEST(FormatPreset, LongNamesAreCutSoTheValuesSurvive) {
  const std::int32_t pos[5] = {99, 50, 100, 200, 1000};
  const std::string suffix = " ..... [99,50,100,200,1000,1,4]";
  std::string name(300, 'n');
  std::string text = st::FormatPreset(name, pos, 1, 4);
  EXPECT_EQ(text.size(), 255u);
  EXPECT_EQ(text, std::string(255 - suffix.size(), 'n') + suffix);
  st::ParsedPreset parsed = st::ParsePreset(text);
  EXPECT_TRUE(st::IsComplete(parsed));
  EXPECT_EQ(parsed.pos[4], 1000);

  // Exactly at the limit nothing is cut.
  std::string fits(255 - suffix.size(), 'f');
  EXPECT_EQ(st::FormatPreset(fits, pos, 1, 4), fits + suffix);

  // The cut never splits a two-byte character ("\xc3\xa9"), whichever
  // byte the limit falls on.
  for (const char* start : {"", "x"}) {
    std::string accented = start;
    while (accented.size() < 300) accented += "\xc3\xa9";
    std::string cut = st::FormatPreset(accented, pos, 1, 4);
    ASSERT_LE(cut.size(), 255u);
    ASSERT_EQ(cut.substr(cut.size() - suffix.size()), suffix);
    std::string kept = cut.substr(0, cut.size() - suffix.size());
    EXPECT_EQ(kept, accented.substr(0, kept.size()));
    EXPECT_NE(static_cast<unsigned char>(kept.back()), 0xc3u) << "split after " << kept.size() << " bytes";
    EXPECT_GE(kept.size(), 255 - suffix.size() - 1);
  }
}

TEST(FormatPreset, LineBreaksInTheNameCannotSplitTheFile) {
  TempConfig config;
  MemoryPresetList list;
  const std::int32_t pos[5] = {1, 2, 3, 4, 5};
  st::SavePreset(kPolygonSettings, kFile, list, "two\nlines\r[Evil]", pos, 0, 1);
  EXPECT_EQ(Key("Screen Saver.Polygon", "SAVED_0"), "two lines [Evil] ..... [1,2,3,4,5,0,1]");
}

TEST(ParsePreset, AppliesTheSevenFields) {
  st::ParsedPreset p = st::ParsePreset("Default ..... [4,25,100,100,15,1,4]");
  EXPECT_EQ(p.fields, 7);
  EXPECT_TRUE(st::IsComplete(p));
  EXPECT_EQ(p.pos[0], 4);
  EXPECT_EQ(p.pos[1], 25);
  EXPECT_EQ(p.pos[2], 100);
  EXPECT_EQ(p.pos[3], 100);
  EXPECT_EQ(p.pos[4], 15);
  EXPECT_EQ(p.shifted, 1);
  EXPECT_EQ(p.effect, 4);
}

TEST(ParsePreset, FieldsReadLikeDecimalIntegers) {
  st::ParsedPreset p = st::ParsePreset("x [ -5,+7,abc,12xyz,\t3,1,  2 ]");
  EXPECT_TRUE(st::IsComplete(p));
  EXPECT_EQ(p.pos[0], -5);
  EXPECT_EQ(p.pos[1], 7);
  EXPECT_EQ(p.pos[2], 0);
  EXPECT_EQ(p.pos[3], 12);
  EXPECT_EQ(p.pos[4], 3);
  EXPECT_EQ(p.effect, 2);
}

TEST(ParsePreset, ABracketInTheNameDoesNotShiftTheValues) {
  st::ParsedPreset p = st::ParsePreset("a[b ..... [1,2,3,4,5,1,4]");
  EXPECT_TRUE(st::IsComplete(p));
  EXPECT_EQ(p.pos[0], 1);
  EXPECT_EQ(p.pos[1], 2);
  EXPECT_EQ(p.effect, 4);
}

// Saving with an existing preset's text still in the field makes that text
// the name; applying the new preset must give the new values, not the old.
TEST(SavePreset, ResavingUnderAnOldPresetTextKeepsTheNewValues) {
  TempConfig config;
  MemoryPresetList list;
  st::LoadPresets(kCyclicsSettings, kFile, list);
  const std::int32_t pos[5] = {9, 10, 11, 12, 13};
  int index = st::SavePreset(kCyclicsSettings, kFile, list, "Default ..... [4,25,100,100,15,1,4]", pos, 0, 1);
  EXPECT_EQ(list.At(index), "Default ..... [4,25,100,100,15,1,4] ..... [9,10,11,12,13,0,1]");
  st::ParsedPreset p = st::ParsePreset(list.At(index));
  ASSERT_TRUE(st::IsComplete(p));
  EXPECT_EQ(p.pos[0], 9);
  EXPECT_EQ(p.pos[4], 13);
  EXPECT_EQ(p.shifted, 0);
  EXPECT_EQ(p.effect, 1);
}

TEST(ParsePreset, MalformedTextsAreIncompleteAndHarmless) {
  struct Case {
    const char* text;
    int fields;
  };
  const Case cases[] = {
      {"", 0}, {"no bracket", 0}, {"[", 0}, {"x [1,2,3", 2}, {"x [1,2,3,4,5,1,4", 6},
      {"x [1,2,3,4,5,1]", 5}, {"x [1,2,3,4,5,1,4,9]", 7}, {"x ]1,2,3,4,5,1,4[", 0}, {"x [1,2,3,4,5,1,4] [", 0},
  };
  for (const Case& c : cases) {
    st::ParsedPreset p = st::ParsePreset(c.text);
    EXPECT_EQ(p.fields, c.fields) << c.text;
    EXPECT_EQ(st::IsComplete(p), c.fields == 7) << c.text;
  }
  st::ParsedPreset partial = st::ParsePreset("x [1,2,3");
  EXPECT_EQ(partial.pos[0], 1);
  EXPECT_EQ(partial.pos[1], 2);
  EXPECT_EQ(partial.pos[2], 0);  // a field without its end is not read
  // Extra fields: the effect ends at the first "]" only after its ",".
  st::ParsedPreset extra = st::ParsePreset("x [1,2,3,4,5,1,4,9]");
  EXPECT_EQ(extra.effect, 4);
}

TEST(EffectFromRadios, FollowsThePriority) {
  EXPECT_EQ(st::EffectFromRadios(true, true, true, true, true), 4);
  EXPECT_EQ(st::EffectFromRadios(true, true, true, true, false), 3);
  EXPECT_EQ(st::EffectFromRadios(true, true, true, false, false), 2);
  EXPECT_EQ(st::EffectFromRadios(true, true, false, false, false), 1);
  EXPECT_EQ(st::EffectFromRadios(true, false, false, false, false), 0);
  EXPECT_EQ(st::EffectFromRadios(false, false, false, false, false), 4);
  EXPECT_EQ(st::EffectFromRadios(false, true, false, true, false), 3);
}

}  // namespace
