// The platform's files on Windows: where bare INI names go (%APPDATA%\Orvo),
// paths with backslashes and drive letters, Unicode folders, replacement
// with MoveFileExW under the lock file, and the tick count.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvo/config_path.h"
#include "orvo/win32_backend.h"
#include "orvo/win_kernel.h"
#include "sys/files.h"
#include "win32_probe.h"

namespace {

namespace fs = std::filesystem;
namespace probe = orvo::win32::probe;

// Sets an environment variable (UTF-8) for the life of the object; empty
// unsets it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(Wide(name)) {
    const wchar_t* old = _wgetenv(name_.c_str());
    had_ = old != nullptr;
    if (had_) old_ = old;
    _wputenv_s(name_.c_str(), Wide(value).c_str());
  }
  ~ScopedEnv() { _wputenv_s(name_.c_str(), had_ ? old_.c_str() : L""); }

 private:
  static std::wstring Wide(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end())).wstring();
  }
  std::wstring name_;
  bool had_ = false;
  std::wstring old_;
};

// The key writer t writes as its k-th. (Built by appending: GCC 12 at -O3
// warns falsely about "literal" + std::string temporaries.)
std::string WriterKey(int t, int k) {
  std::string key = "t";
  key += std::to_string(t);
  key += 'k';
  key += std::to_string(k);
  return key;
}

// A fresh folder per test, named in UTF-8.
class TempFolder {
 public:
  explicit TempFolder(const std::u8string& tag) {
    std::string stamp = "-";
    stamp += std::to_string(probe::SystemTickCount());
    path_ = fs::temp_directory_path() / fs::path(tag + std::u8string(stamp.begin(), stamp.end()));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string utf8() const {
    const std::u8string s = path_.u8string();
    return std::string(s.begin(), s.end());
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string Read(const std::string& section, const std::string& key, const char* file = "control.ini") {
  char buffer[256] = {};
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "<none>", buffer, sizeof buffer, file);
  return buffer;
}

TEST(WindowsPaths, BareNamesGoToTheConfigFolderOrAppDataOrvo) {
  ScopedEnv home("HOME", "C:\\home\\nobody");            // Linux places never count here
  ScopedEnv xdg("XDG_CONFIG_HOME", "C:\\xdg");
  struct Case {
    const char* config_dir;
    const char* appdata;
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      {"C:\\cfg", "C:\\Users\\u\\AppData\\Roaming", "control.ini", "C:\\cfg\\control.ini"},
      {"C:\\cfg\\", "C:\\x", "control.ini", "C:\\cfg\\control.ini"},
      {"C:/cfg/", "C:\\x", "control.ini", "C:/cfg/control.ini"},
      {"", "C:\\Users\\u\\AppData\\Roaming", "control.ini", "C:\\Users\\u\\AppData\\Roaming\\Orvo\\control.ini"},
      {"", "D:\\Roaming\\", "registry.ini", "D:\\Roaming\\Orvo\\registry.ini"},
      // A name that names its folder is used as it is.
      {"", "C:\\x", "sub\\a.ini", "sub\\a.ini"},
      {"", "C:\\x", "sub/a.ini", "sub/a.ini"},
      {"", "C:\\x", "C:a.ini", "C:a.ini"},
      {"", "C:\\x", "\\\\server\\share\\a.ini", "\\\\server\\share\\a.ini"},
      {"C:\\cfg", "C:\\x", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.config_dir) + " | " + c.appdata + " | " + c.name);
    ScopedEnv config("ORVO_CONFIG_DIR", c.config_dir);
    ScopedEnv appdata("APPDATA", c.appdata);
    EXPECT_EQ(orvo::ResolveConfigPath(c.name), c.expected);
  }
  // Without APPDATA the user's roaming folder comes from the shell.
  ScopedEnv config("ORVO_CONFIG_DIR", "");
  ScopedEnv appdata("APPDATA", "");
  const std::string fallback = orvo::ResolveConfigPath("control.ini");
  EXPECT_GT(fallback.size(), std::string("\\Orvo\\control.ini").size());
  EXPECT_EQ(fallback.substr(fallback.size() - 17), "\\Orvo\\control.ini");
}

TEST(WindowsPaths, FolderParts) {
  struct Case {
    const char* path;
    const char* folder;
  };
  const Case cases[] = {
      {"C:\\a\\b.ini", "C:\\a"}, {"C:\\b.ini", "C:\\"},   {"C:b.ini", "C:"},     {"\\b.ini", "\\"},
      {"a/b/c.ini", "a/b"},      {"b.ini", "."},          {"\\\\s\\share\\x", "\\\\s\\share"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(orvo::sys::FolderOf(c.path), c.folder);
  }
}

// The first write creates %APPDATA%\Orvo, even below a folder whose name is
// not ASCII, and reads find the value there.
TEST(WindowsFiles, FirstWriteCreatesTheFolderUnderAUnicodeAppData) {
  TempFolder temp(u8"orvo-j\u00fcrgen-\u03c0");
  ScopedEnv config("ORVO_CONFIG_DIR", "");
  ScopedEnv appdata("APPDATA", temp.utf8());
  ASSERT_TRUE(WritePrivateProfileStringA("Screen Saver.Stars", "Warp", "7", "control.ini"));
  EXPECT_TRUE(fs::exists(temp.path() / "Orvo" / "control.ini"));
  EXPECT_EQ(Read("Screen Saver.Stars", "Warp"), "7");
  EXPECT_EQ(GetPrivateProfileIntA("Screen Saver.Stars", "Warp", -1, "control.ini"), 7u);
}

// A file is replaced only while nobody holds it open: a write waits for a
// reader that lets go soon and then succeeds; one that holds on makes it
// fail with the old file intact and no temporary file left; a read-only
// file is never replaced.
TEST(WindowsFiles, ReplacementAroundOtherHoldersOfTheFile) {
  TempFolder temp(u8"orvo-hold");
  ScopedEnv config("ORVO_CONFIG_DIR", temp.utf8());
  const std::string file = temp.utf8() + "\\control.ini";
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "old", "control.ini"));
  {
    probe::HeldFile editor(file, /*share_delete=*/false);
    ASSERT_TRUE(editor.held());
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "lost", "control.ini"));
  }
  EXPECT_EQ(Read("S", "k"), "old");
  {
    auto reader = std::make_unique<probe::HeldFile>(file, /*share_delete=*/false);
    ASSERT_TRUE(reader->held());
    std::thread let_go([&reader] {
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      reader.reset();
    });
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "new", "control.ini"));
    let_go.join();
  }
  EXPECT_EQ(Read("S", "k"), "new");
  ASSERT_TRUE(probe::SetReadOnly(file, true));
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "lost", "control.ini"));
  EXPECT_EQ(Read("S", "k"), "new");
  ASSERT_TRUE(probe::SetReadOnly(file, false));
  std::vector<std::string> entries = probe::FolderEntries(temp.utf8());
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"control.ini", "control.ini.lock"}));
}

// Writers on four threads, each with its own handles, never lose each
// other's keys: the lock file orders them.
TEST(WindowsFiles, ConcurrentWritersLoseNothing) {
  TempFolder temp(u8"orvo-writers");
  ScopedEnv config("ORVO_CONFIG_DIR", temp.utf8());
  constexpr int kThreads = 4, kKeys = 15;
  std::atomic<int> failures{0};
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t, &failures] {
      for (int k = 0; k < kKeys; ++k) {
        const std::string key = WriterKey(t, k);
        if (!WritePrivateProfileStringA("Shared", key.c_str(), std::to_string(t * 100 + k).c_str(), "control.ini"))
          ++failures;
      }
    });
  }
  for (std::thread& w : writers) w.join();
  EXPECT_EQ(failures.load(), 0);
  for (int t = 0; t < kThreads; ++t)
    for (int k = 0; k < kKeys; ++k)
      EXPECT_EQ(Read("Shared", WriterKey(t, k)), std::to_string(t * 100 + k));
}

// While someone holds the lock, a write waits for it instead of going ahead.
TEST(WindowsFiles, AWriteWaitsForTheLock) {
  TempFolder temp(u8"orvo-lock");
  ScopedEnv config("ORVO_CONFIG_DIR", temp.utf8());
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "before", "control.ini"));
  auto lock = orvo::sys::LockExclusive(temp.utf8() + "\\control.ini.lock");
  ASSERT_NE(lock, nullptr);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    WritePrivateProfileStringA("S", "k", "after", "control.ini");
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(done.load());
  EXPECT_EQ(Read("S", "k"), "before");
  lock.reset();
  writer.join();
  EXPECT_EQ(Read("S", "k"), "after");
}

// The tick count of the Win32 back end is the system's own.
TEST(WindowsClock, TickCountIsTheSystems) {
  orvo::platform::InstallWin32Backend();
  for (int i = 0; i < 20; ++i) {
    const std::uint32_t before = probe::SystemTickCount();
    const std::uint32_t ours = GetTickCount();
    const std::uint32_t after = probe::SystemTickCount();
    // Unsigned differences: correct across the 49.7-day wrap.
    EXPECT_LE(ours - before, after - before);
    Sleep(3);
  }
}

}  // namespace
