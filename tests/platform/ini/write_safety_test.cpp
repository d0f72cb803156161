// Writes that fail must leave the old file as it was; concurrent writers
// must not lose each other's keys.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "orvo/win_kernel.h"
#include "tests/support/temp_config.h"

namespace {

using orvo::testing::TempConfig;

std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ProfileWriteFailure, FolderBelowARegularFileCannotBeCreated) {
  TempConfig config;
  config.Put("plainfile", "not a folder\n");
  std::string below = config.Path("plainfile") + "/orvo";
  ::setenv("ORVO_CONFIG_DIR", below.c_str(), 1);
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "1", "control.ini"));
  char buffer[8];
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", buffer, sizeof buffer, "control.ini"), 1u);
  EXPECT_STREQ(buffer, "d");
  ::setenv("ORVO_CONFIG_DIR", config.dir().c_str(), 1);
  EXPECT_EQ(config.Get("plainfile"), "not a folder\n");
}

TEST(ProfileWriteFailure, ExplicitPathBelowARegularFile) {
  TempConfig config;
  config.Put("plainfile", "x");
  std::string path = config.Path("plainfile") + "/control.ini";
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "1", path.c_str()));
  EXPECT_EQ(config.Get("plainfile"), "x");
}

// A write that fails half-way (the file size limit stops the temporary
// file) returns FALSE and leaves the old file and no temporary behind.
TEST(ProfileWriteFailure, FailedWriteKeepsTheOldFile) {
  TempConfig config;
  std::string before = "[Keep]\n";
  for (int i = 0; i < 40; ++i) before += "key" + std::to_string(i) + "=value " + std::to_string(i) + "\n";
  config.Put("control.ini", before);

  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    BOOL ok = WritePrivateProfileStringA("Keep", "key3", "a much longer value than before", "control.ini");
    ::_exit(ok ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write reported success";
  EXPECT_EQ(config.Get("control.ini"), before);
  EXPECT_EQ(FolderEntries(config.dir()), (std::vector<std::string>{"control.ini", "control.ini.lock"}));
}

// A file beyond the size limit is neither half-read nor rewritten.
TEST(ProfileWriteFailure, OversizedFileIsLeftAlone) {
  TempConfig config;
  config.Put("control.ini", "[S]\nk=1\n");
  std::filesystem::resize_file(config.Path("control.ini"), 17u << 20);
  char buffer[8];
  GetPrivateProfileStringA("S", "k", "d", buffer, sizeof buffer, "control.ini");
  EXPECT_STREQ(buffer, "d");
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "2", "control.ini"));
  EXPECT_EQ(std::filesystem::file_size(config.Path("control.ini")), 17u << 20);
}

TEST(ProfileWrite, LeavesNoTemporaryFiles) {
  TempConfig config;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(WritePrivateProfileStringA("S", ("k" + std::to_string(i % 5)).c_str(), std::to_string(i).c_str(),
                                           "control.ini"));
  }
  EXPECT_EQ(FolderEntries(config.dir()), (std::vector<std::string>{"control.ini", "control.ini.lock"}));
}

TEST(ProfileWrite, KeepsTheFileMode) {
  TempConfig config;
  config.Put("control.ini", "[S]\nk=1\n");
  ASSERT_EQ(::chmod(config.Path("control.ini").c_str(), 0640), 0);
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "2", "control.ini"));
  struct stat st;
  ASSERT_EQ(::stat(config.Path("control.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Several processes write different keys of the same file at once; every
// key of every writer and the untouched sections must survive.
TEST(ProfileWrite, ConcurrentProcessesLoseNothing) {
  TempConfig config;
  const std::string keep = "; shared file\n[Other]\na=1\nb=2\n\n";
  config.Put("control.ini", keep);
  constexpr int kWriters = 6;
  constexpr int kKeys = 25;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::string section = "Saver" + std::to_string(w % 3);  // two writers per section
      int failures = 0;
      for (int k = 0; k < kKeys; ++k) {
        std::string key = "w" + std::to_string(w) + "k" + std::to_string(k);
        std::string value = std::to_string(w * 1000 + k);
        if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), "control.ini")) ++failures;
      }
      ::_exit(failures == 0 ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < kWriters; ++w) {
    std::string section = "Saver" + std::to_string(w % 3);
    for (int k = 0; k < kKeys; ++k) {
      std::string key = "w" + std::to_string(w) + "k" + std::to_string(k);
      EXPECT_EQ(GetPrivateProfileIntA(section.c_str(), key.c_str(), -1, "control.ini"),
                static_cast<UINT>(w * 1000 + k))
          << section << "/" << key;
    }
  }
  const std::string after = config.Get("control.ini");
  EXPECT_EQ(after.substr(0, keep.size()), keep);
}

}  // namespace
