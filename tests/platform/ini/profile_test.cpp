// Reading and writing private-profile files: names, defaults, odd input.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "orvo/config_path.h"
#include "orvo/win_kernel.h"
#include "tests/support/temp_config.h"

namespace {

using orvo::testing::TempConfig;

std::string ReadString(const char* section, const char* key, const char* fallback = "dflt",
                       const char* file = "control.ini", DWORD size = 256, DWORD* length = nullptr) {
  std::vector<char> buffer(size + 1, '#');
  DWORD n = GetPrivateProfileStringA(section, key, fallback, buffer.data(), size, file);
  if (length) *length = n;
  return std::string(buffer.data());
}

// Splits a "a\0b\0\0" list.
std::vector<std::string> ReadList(const char* section, DWORD size, DWORD* length) {
  std::vector<char> buffer(size, '#');
  *length = GetPrivateProfileStringA(section, nullptr, "", buffer.data(), size, "control.ini");
  std::vector<std::string> names;
  for (std::size_t i = 0; i < buffer.size() && buffer[i] != '\0';) {
    names.emplace_back(&buffer[i]);
    i += names.back().size() + 1;
  }
  return names;
}

// Restores an environment variable when the test ends.
class SavedEnv {
 public:
  explicit SavedEnv(const char* name) : name_(name) {
    const char* value = std::getenv(name);
    had_ = value != nullptr;
    if (had_) value_ = value;
  }
  ~SavedEnv() {
    if (had_) {
      ::setenv(name_, value_.c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string value_;
};

// Linux places; the Windows ones are tested in tests/platform/backends/win32.
#ifndef _WIN32
TEST(ConfigPath, BareNamesFollowTheEnvironmentInOrder) {
  SavedEnv config("ORVO_CONFIG_DIR"), xdg("XDG_CONFIG_HOME"), home("HOME");
  ::setenv("ORVO_CONFIG_DIR", "/a/b", 1);
  ::setenv("XDG_CONFIG_HOME", "/x", 1);
  ::setenv("HOME", "/h", 1);
  EXPECT_EQ(orvo::ResolveConfigPath("control.ini"), "/a/b/control.ini");
  ::setenv("ORVO_CONFIG_DIR", "", 1);
  EXPECT_EQ(orvo::ResolveConfigPath("control.ini"), "/x/orvo/control.ini");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(orvo::ResolveConfigPath("control.ini"), "/h/.config/orvo/control.ini");
  EXPECT_EQ(orvo::ResolveConfigPath("./local.ini"), "./local.ini");
  EXPECT_EQ(orvo::ResolveConfigPath("/etc/x.ini"), "/etc/x.ini");
  EXPECT_EQ(orvo::ResolveConfigPath(""), "");
  EXPECT_EQ(orvo::ResolveConfigPath(nullptr), "");
  ::unsetenv("HOME");
  ::unsetenv("ORVO_CONFIG_DIR");
  EXPECT_EQ(orvo::ResolveConfigPath("control.ini"), "");
}
#endif

TEST(ProfileRead, MissingFileSectionOrKeyGivesTheDefault) {
  TempConfig config;
  EXPECT_EQ(ReadString("S", "k", "fallback"), "fallback");
  EXPECT_EQ(GetPrivateProfileIntA("S", "k", 17, "control.ini"), 17u);
  config.Put("control.ini", "[S]\nother=1\n");
  EXPECT_EQ(ReadString("S", "k", "fallback  "), "fallback");  // trailing blanks of the default dropped
  EXPECT_EQ(ReadString("T", "other", nullptr), "");
  EXPECT_EQ(GetPrivateProfileIntA("T", "other", -3, "control.ini"), static_cast<UINT>(-3));
}

TEST(ProfileRead, NamesAreCaseInsensitiveAndBlanksAreIgnored) {
  TempConfig config;
  config.Put("control.ini", "  [ Screen Saver.Cyclic ]  \n  TailLength   =   42  \n\tName\t=\t two words \t\n");
  EXPECT_EQ(ReadString("screen saver.CYCLIC", "taillength"), "42");
  EXPECT_EQ(ReadString("Screen Saver.Cyclic", "NAME"), "two words");
  EXPECT_EQ(GetPrivateProfileIntA("SCREEN SAVER.cyclic", "TAILLENGTH", 0, "control.ini"), 42u);
}

TEST(ProfileRead, CrlfAndMissingFinalNewline) {
  TempConfig config;
  config.Put("control.ini", "[A]\r\nx=1\r\ny=two\r\n[B]\r\nz=3");
  EXPECT_EQ(ReadString("A", "y"), "two");  // no "\r" left on the value
  EXPECT_EQ(ReadString("B", "z"), "3");
  EXPECT_EQ(GetPrivateProfileIntA("A", "x", 9, "control.ini"), 1u);
}

TEST(ProfileRead, ByteOrderMarkBeforeTheFirstSection) {
  TempConfig config;
  config.Put("control.ini", "\xEF\xBB\xBF[S]\nk=1\n");
  EXPECT_EQ(ReadString("S", "k"), "1");
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "2", "control.ini"));
  EXPECT_EQ(config.Get("control.ini"), "\xEF\xBB\xBF[S]\nk=2\n");
}

TEST(ProfileRead, QuotesCommentsAndKeysOutsideSections) {
  TempConfig config;
  config.Put("control.ini", "orphan=1\n[S]\n;k=comment\na=\"quoted value\"\nb='x'\nc=\"unbalanced\nd=\n");
  EXPECT_EQ(ReadString("S", "orphan"), "dflt");
  EXPECT_EQ(ReadString("S", ";k"), "dflt");
  EXPECT_EQ(ReadString("S", "k"), "dflt");
  EXPECT_EQ(ReadString("S", "a"), "quoted value");
  EXPECT_EQ(ReadString("S", "b"), "x");
  EXPECT_EQ(ReadString("S", "c"), "\"unbalanced");
  EXPECT_EQ(ReadString("S", "d"), "");  // present but empty: not the default
  EXPECT_EQ(GetPrivateProfileIntA("S", "d", 5, "control.ini"), 5u);
}

TEST(ProfileRead, DuplicateSectionsAndKeysReadTheFirstOccurrence) {
  TempConfig config;
  config.Put("control.ini", "[S]\nk=first\nk=second\n[T]\nk=other\n[s]\nk=third\nonly=later\n");
  EXPECT_EQ(ReadString("S", "k"), "first");
  EXPECT_EQ(ReadString("S", "only"), "later");  // a repeated section still counts
  EXPECT_EQ(ReadString("T", "k"), "other");

  // A write changes the occurrence a read would return, and only that one.
  ASSERT_TRUE(WritePrivateProfileStringA("S", "only", "now", "control.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "1st", "control.ini"));
  EXPECT_EQ(config.Get("control.ini"), "[S]\nk=1st\nk=second\n[T]\nk=other\n[s]\nk=third\nonly=now\n");
}

TEST(ProfileRead, IntegersParseLeadingDecimalDigits) {
  TempConfig config;
  config.Put("control.ini",
             "[S]\na=  123abc\nb=-1\nc=abc\nd=+7\ne=4294967297\nf=0x1F\ng=12 34\n");
  EXPECT_EQ(GetPrivateProfileIntA("S", "a", 0, "control.ini"), 123u);
  EXPECT_EQ(GetPrivateProfileIntA("S", "b", 0, "control.ini"), 0xFFFFFFFFu);
  EXPECT_EQ(GetPrivateProfileIntA("S", "c", 99, "control.ini"), 0u);
  EXPECT_EQ(GetPrivateProfileIntA("S", "d", 0, "control.ini"), 7u);
  EXPECT_EQ(GetPrivateProfileIntA("S", "e", 0, "control.ini"), 1u);  // wraps at 2^32
  EXPECT_EQ(GetPrivateProfileIntA("S", "f", 99, "control.ini"), 0u);
  EXPECT_EQ(GetPrivateProfileIntA("S", "g", 0, "control.ini"), 12u);
  EXPECT_EQ(GetPrivateProfileIntA(nullptr, "a", 8, "control.ini"), 8u);
  EXPECT_EQ(GetPrivateProfileIntA("S", nullptr, 8, "control.ini"), 8u);
}

TEST(ProfileRead, StringsAreCutToTheBuffer) {
  TempConfig config;
  config.Put("control.ini", "[S]\nk=abcdefghij\n");
  DWORD n = 0;
  EXPECT_EQ(ReadString("S", "k", "", "control.ini", 5, &n), "abcd");
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(ReadString("S", "k", "", "control.ini", 11, &n), "abcdefghij");
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(ReadString("S", "missing", "0123456789", "control.ini", 3, &n), "01");
  EXPECT_EQ(n, 2u);
  char one = '#';
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", &one, 1, "control.ini"), 0u);
  EXPECT_EQ(one, '\0');
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", nullptr, 10, "control.ini"), 0u);
}

TEST(ProfileRead, VeryLongLinesAndNonTextBytes) {
  TempConfig config;
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 131 + 7) & 0xFF));
  const std::string long_value(1 << 20, 'v');
  std::string text = garbage + "\n[S]\nlong=" + long_value + "\nbin=a\x01\xff" + std::string(1, '\0') +
                     "z\nafter=ok\n" + garbage;
  config.Put("control.ini", text);
  DWORD n = 0;
  std::string got = ReadString("S", "long", "", "control.ini", 256, &n);
  EXPECT_EQ(got, std::string(255, 'v'));
  EXPECT_EQ(n, 255u);
  EXPECT_EQ(ReadString("S", "bin"), "a\x01\xff");  // stops at the NUL byte like any C string
  EXPECT_EQ(ReadString("S", "after"), "ok");

  // Writing keeps the garbage, the long line and the binary bytes.
  ASSERT_TRUE(WritePrivateProfileStringA("S", "after", "changed", "control.ini"));
  std::string expected = text;
  expected.replace(expected.find("after=ok") + 6, 2, "changed");
  EXPECT_EQ(config.Get("control.ini"), expected);
}

TEST(ProfileRead, UnreadableFileGivesDefaults) {
  TempConfig config;
  // A folder where the file should be: exists, but cannot be read as a file.
  ASSERT_EQ(::mkdir(config.Path("control.ini").c_str(), 0700), 0);
  EXPECT_EQ(ReadString("S", "k", "fallback"), "fallback");
  EXPECT_EQ(GetPrivateProfileIntA("S", "k", 4, "control.ini"), 4u);
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "1", "control.ini"));
  EXPECT_TRUE(std::filesystem::is_directory(config.Path("control.ini")));
}

TEST(ProfileRead, ListsKeysAndSections) {
  TempConfig config;
  config.Put("control.ini", "[A]\none=1\nTwo=2\n[B]\nx=1\n[a]\nthree=3\nONE=again\n");
  DWORD n = 0;
  EXPECT_EQ(ReadList("a", 64, &n), (std::vector<std::string>{"one", "Two", "three"}));
  EXPECT_EQ(n, 14u);  // "one\0Two\0three\0"
  EXPECT_EQ(ReadList(nullptr, 64, &n), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(n, 4u);
  // Too small: cut, still ending with two terminators, length = size - 2.
  std::vector<std::string> cut = ReadList("A", 7, &n);
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(cut, (std::vector<std::string>{"one", "T"}));
  EXPECT_EQ(ReadList("none", 8, &n), std::vector<std::string>{});
  EXPECT_EQ(n, 0u);
}

TEST(ProfileWrite, CreatesFolderFileAndSection) {
  TempConfig config;
  std::string nested = config.dir() + "/deeper/still";
  ::setenv("ORVO_CONFIG_DIR", nested.c_str(), 1);
  ASSERT_TRUE(WritePrivateProfileStringA("Screen Saver.Star", "Stars", "80", "control.ini"));
  EXPECT_EQ(ReadString("screen saver.star", "stars"), "80");
  ::setenv("ORVO_CONFIG_DIR", config.dir().c_str(), 1);
  EXPECT_EQ(config.Get("deeper/still/control.ini"), "[Screen Saver.Star]\nStars=80\n");
}

TEST(ProfileWrite, OnlyTheWrittenKeyChanges) {
  TempConfig config;
  const std::string before =
      "; leading comment\r\n\r\n[Other]\r\nkeep = me \r\n\r\n[Screen Saver.Cyclic]\r\n"
      "  Tweak  =  15  ; not a comment\r\nEffect=4\r\n; trailing comment\r\n\r\n[screen saver.cyclic]\r\n"
      "Tweak=99\r\n";
  config.Put("control.ini", before);

  ASSERT_TRUE(WritePrivateProfileStringA("Screen Saver.Cyclic", "tweak", "20", "control.ini"));
  std::string expected = before;
  expected.replace(expected.find("15  ; not a comment"), 19, "20");
  EXPECT_EQ(config.Get("control.ini"), expected);

  // A new key goes after the last non-blank line of the first occurrence,
  // with the file's own line ending.
  ASSERT_TRUE(WritePrivateProfileStringA("Screen Saver.Cyclic", "Shifted", "1", "control.ini"));
  std::string with_new = expected;
  with_new.insert(with_new.find("; trailing comment\r\n") + 20, "Shifted=1\r\n");
  EXPECT_EQ(config.Get("control.ini"), with_new);

  // Writing the value it already has changes nothing.
  ASSERT_TRUE(WritePrivateProfileStringA("Screen Saver.Cyclic", "Shifted", "1", "control.ini"));
  EXPECT_EQ(config.Get("control.ini"), with_new);
}

TEST(ProfileWrite, AppendsToAFileWithoutFinalNewline) {
  TempConfig config;
  config.Put("control.ini", "[S]\na=1");
  ASSERT_TRUE(WritePrivateProfileStringA("S", "b", "2", "control.ini"));
  EXPECT_EQ(config.Get("control.ini"), "[S]\na=1\nb=2\n");
  config.Put("control.ini", "[S]\na=1");
  ASSERT_TRUE(WritePrivateProfileStringA("T", "c", "3", "control.ini"));
  EXPECT_EQ(config.Get("control.ini"), "[S]\na=1\n\n[T]\nc=3\n");
}

TEST(ProfileWrite, NullValueDeletesKeyNullKeyDeletesSection) {
  TempConfig config;
  config.Put("control.ini", "[A]\nk=1\nj=2\n[B]\nk=1\n[a]\nK=3\n");
  ASSERT_TRUE(WritePrivateProfileStringA("a", "k", nullptr, "control.ini"));
  EXPECT_EQ(config.Get("control.ini"), "[A]\nj=2\n[B]\nk=1\n[a]\n");
  EXPECT_EQ(ReadString("A", "k"), "dflt");  // no shadowed duplicate comes back
  ASSERT_TRUE(WritePrivateProfileStringA("A", nullptr, nullptr, "control.ini"));
  EXPECT_EQ(config.Get("control.ini"), "[B]\nk=1\n");
  // Deleting what is not there succeeds and creates nothing.
  ASSERT_TRUE(WritePrivateProfileStringA("Z", "k", nullptr, "other.ini"));
  EXPECT_FALSE(std::filesystem::exists(config.Path("other.ini")));
}

TEST(ProfileWrite, RefusesTextThatWouldBreakTheFile) {
  TempConfig config;
  const std::string before = "[S]\na=1\n";
  config.Put("control.ini", before);
  EXPECT_FALSE(WritePrivateProfileStringA("S", "a", "1\n[Evil]\nx=1", "control.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("S", "a=b", "1", "control.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("S]", "a", "1", "control.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("", "a", "1", "control.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("S", "  ", "1", "control.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("S", "a", "1", nullptr));
  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "a", "1", "control.ini"));
  EXPECT_EQ(config.Get("control.ini"), before);
}

TEST(ProfileWrite, PathsWithASlashAreUsedAsTheyAre) {
  TempConfig config;
  std::string path = config.dir() + "/sub.ini";
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", path.c_str()));
  EXPECT_EQ(config.Get("sub.ini"), "[S]\nk=v\n");
  // No folder is created for an explicit path.
  std::string missing = config.dir() + "/nofolder/x.ini";
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", missing.c_str()));
}

#ifndef _WIN32  // symbolic links are not followed on Windows
TEST(ProfileWrite, ThroughASymbolicLinkTheTargetIsUpdated) {
  TempConfig config;
  config.Put("real.ini", "[S]\nk=1\n");
  ASSERT_EQ(::symlink(config.Path("real.ini").c_str(), config.Path("control.ini").c_str()), 0);
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "2", "control.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(config.Path("control.ini")));
  EXPECT_EQ(config.Get("real.ini"), "[S]\nk=2\n");
}
#endif

}  // namespace
