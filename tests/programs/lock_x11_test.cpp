// A protected full-screen run locks the display for real: no key reaches
// another client's window until the right password is typed.
// gtest before Xlib: Xlib's macros (None, Bool, ...) clash with its names.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "x_display.h"

namespace orvo::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class LockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok()) << "needs an X display (run under xvfb-run)";
#if defined(__SANITIZE_ADDRESS__)
    // PAM's test wrapper loads libpam with RTLD_DEEPBIND, which the address
    // sanitizer's runtime refuses; the plain build runs these tests.
    GTEST_SKIP() << "PAM's test wrapper cannot run under the address sanitizer";
#endif
    if (!fs::exists(ORVO_PAM_WRAPPER_LIBRARY) || !fs::exists(ORVO_PAM_MATRIX_MODULE)) {
      GTEST_SKIP() << "PAM's test wrapper (libpam-wrapper) is not installed";
    }
    dir_ = fs::temp_directory_path() / ("orvo-lock-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "pam");
    setenv("ORVO_CONFIG_DIR", dir_.c_str(), 1);
    std::ofstream(dir_ / "registry.ini")
        << "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\nScreenSaveUsePassword=1\n";
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    const std::string name = entry->pw_name;
    std::ofstream(dir_ / "passdb") << name << ":s3cret:orvo-saver\n";
    const std::string module = std::string(ORVO_PAM_MATRIX_MODULE) + " passdb=" + (dir_ / "passdb").string();
    std::ofstream(dir_ / "pam" / "orvo-saver") << "auth required " << module << "\naccount required " << module << "\n";
    x_.MovePointer(100, 100);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Starts the saver with PAM's test wrapper in its environment only.
  std::unique_ptr<Program> StartProtected() {
    setenv("LD_PRELOAD", ORVO_PAM_WRAPPER_LIBRARY, 1);
    setenv("PAM_WRAPPER", "1", 1);
    setenv("PAM_WRAPPER_SERVICE_DIR", (dir_ / "pam").c_str(), 1);
    const char* asan = getenv("ASAN_OPTIONS");
    const std::string saved_asan = asan != nullptr ? asan : "";
    setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
    auto program = std::make_unique<Program>(std::vector<std::string>{"plasma", "/s"});
    unsetenv("LD_PRELOAD");
    unsetenv("PAM_WRAPPER");
    unsetenv("PAM_WRAPPER_SERVICE_DIR");
    if (saved_asan.empty()) unsetenv("ASAN_OPTIONS"); else setenv("ASAN_OPTIONS", saved_asan.c_str(), 1);
    return program;
  }

  // Whether `w` received a key press within `limit`.
  bool KeyArrives(Window w, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
      XEvent e;
      while (XCheckWindowEvent(x_.get(), w, KeyPressMask, &e)) return true;
      std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }

  void Type(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
      const char name[2] = {*c, '\0'};
      x_.PressKey(name);
    }
  }

  XDisplay x_;
  fs::path dir_;
};

TEST_F(LockTest, KeysReachNoOtherWindowUntilTheRightPassword) {
  const Window other = x_.CreateWindow(120, 80);
  XSelectInput(x_.get(), other, KeyPressMask);
  XSetInputFocus(x_.get(), other, RevertToParent, CurrentTime);
  x_.Sync();
  x_.PressKey("a");
  ASSERT_TRUE(KeyArrives(other, 1s)) << "the test window gets keys before the lock";

  auto saver = StartProtected();
  for (int i = 0; i < 150 && x_.FindByTitle("Screen Saver") == 0; ++i) std::this_thread::sleep_for(20ms);
  std::this_thread::sleep_for(500ms);

  // Another program tries to take the focus back and type.
  XSetInputFocus(x_.get(), other, RevertToParent, CurrentTime);
  x_.Sync();
  x_.PressKey("b");  // also asks the saver to close: the prompt comes up
  EXPECT_FALSE(KeyArrives(other, 500ms)) << "a key reached another window while locked";
  EXPECT_EQ(saver->WaitExit(0ms), -1);

  Type("wrong");
  x_.PressKey("Return");
  EXPECT_EQ(saver->WaitExit(1500ms), -1) << "a wrong password keeps it locked";
  EXPECT_FALSE(KeyArrives(other, 100ms));

  std::this_thread::sleep_for(300ms);
  x_.PressKey("c");  // a new close request, a new prompt
  std::this_thread::sleep_for(200ms);
  Type("s3cret");
  x_.PressKey("Return");
  ASSERT_EQ(saver->WaitExit(5s), 0);

  XSetInputFocus(x_.get(), other, RevertToParent, CurrentTime);
  x_.Sync();
  while (KeyArrives(other, 0ms)) {
  }
  x_.PressKey("d");
  EXPECT_TRUE(KeyArrives(other, 1s)) << "keys reach other windows again after unlocking";
}

}  // namespace
}  // namespace orvo::testing
