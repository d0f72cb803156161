// A protected full-screen run locks the display for real: a guardian
// process holds the grabs and the password prompt, the saver animates in a
// child process, and nothing but the right password (checked by PAM under
// its test wrapper, never a real account) opens the screen.
// gtest before Xlib: Xlib's macros (None, Bool, ...) clash with its names.
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <X11/Xft/Xft.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "orvo/lock_prompt.h"
#include "x_display.h"

namespace orvo::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
namespace lock = orvo::platform::lock;

constexpr const char* kCoverClass = "OrvoScreenLock";
// PAM's test wrapper loads libpam with RTLD_DEEPBIND, which the address
// sanitizer's runtime refuses: sanitizer builds run the tests that need no
// password check, and end the lock with SIGTERM instead of a password.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
constexpr const char* kSaverClass = "WindowsScreenSaverClass";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Where the pixels of one colour lie on the screen.
struct Box {
  int count = 0, left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  int width() const { return right - left + 1; }
};
Box Find(const std::vector<std::uint32_t>& pixels, int width, std::uint32_t colour) {
  Box box;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (pixels[i] != colour) continue;
    const int x = static_cast<int>(i % static_cast<std::size_t>(width));
    const int y = static_cast<int>(i / static_cast<std::size_t>(width));
    ++box.count;
    box.left = std::min(box.left, x);
    box.right = std::max(box.right, x);
    box.top = std::min(box.top, y);
    box.bottom = std::max(box.bottom, y);
  }
  return box;
}

// An X server of the test's own with two screens, ended with the object.
struct OwnServer {
  FILE* out = popen("echo $$; exec Xvfb -displayfd 1 -nolisten tcp -screen 0 1280x720x24 -screen 1 800x600x24", "r");
  char pid[32] = {}, number[32] = {};
  bool ok = out != nullptr && std::fgets(pid, sizeof pid, out) != nullptr && std::fgets(number, sizeof number, out) != nullptr;
  std::string name = ":" + std::string(number, std::strcspn(number, "\n"));
  ~OwnServer() {
    if (out == nullptr) return;
    kill(std::atoi(pid), SIGTERM);
    pclose(out);
  }
};

class LockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok()) << "needs an X display (run under xvfb-run)";
    pam_ = !kSanitized && fs::exists(ORVO_PAM_WRAPPER_LIBRARY) && fs::exists(ORVO_PAM_MATRIX_MODULE);
    dir_ = fs::temp_directory_path() / ("orvo-lock-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "pam");
    setenv("ORVO_CONFIG_DIR", dir_.c_str(), 1);
    std::ofstream(dir_ / "registry.ini")
        << "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\nScreenSaveUsePassword=1\n";
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    user_ = entry->pw_name;
    Password("s3cret");
    const std::string module = std::string(ORVO_PAM_MATRIX_MODULE) + " passdb=" + (dir_ / "passdb").string();
    std::ofstream(dir_ / "pam" / "orvo-saver") << "auth required " << module << "\naccount required " << module
                                               << "\npassword required " << module << "\n";
    const Screen* screen = DefaultScreenOfDisplay(x_.get());
    width_ = WidthOfScreen(screen);
    height_ = HeightOfScreen(screen);
    x_.MovePointer(100, 100);
  }
  void TearDown() override {
    if (breaking_keys_) Keyboard("");
    RestoreKeys();
    XUngrabKeyboard(x_.get(), CurrentTime);
    XUngrabPointer(x_.get(), CurrentTime);
    x_.Sync();
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Ends a lock: with the right password where PAM can check it, else with SIGTERM.
  void EndLock(Program& saver) {
    if (pam_) {
      TypePassword("s3cret");
    } else {
      saver.Signal(SIGTERM);
    }
    EXPECT_EQ(saver.WaitExit(5s), 0);
  }

  void Password(const std::string& password) { std::ofstream(dir_ / "passdb") << user_ << ":" << password << ":orvo-saver\n"; }

  // Starts the saver with PAM's test wrapper in its environment only.
  std::unique_ptr<Program> Start(const std::vector<std::string>& args, const std::string& stderr_file = "",
                                 std::map<std::string, std::string> env = {}) {
    // The sanitizers' runtime need not come first when the wrapper is
    // preloaded; the display libraries keep caches for the process's life.
    env["ASAN_OPTIONS"] = "verify_asan_link_order=0:detect_leaks=0";
    if (pam_) {
      env["LD_PRELOAD"] = ORVO_PAM_WRAPPER_LIBRARY;
      env["PAM_WRAPPER"] = "1";
      env["PAM_WRAPPER_SERVICE_DIR"] = (dir_ / "pam").string();
    }
    std::map<std::string, std::string> saved;
    for (const auto& [name, value] : env) {
      const char* old = getenv(name.c_str());
      saved[name] = old != nullptr ? old : std::string("\x01");
      setenv(name.c_str(), value.c_str(), 1);
    }
    auto program = std::make_unique<Program>(args, stderr_file);
    for (const auto& [name, old] : saved) {
      if (old == "\x01") {
        unsetenv(name.c_str());
      } else {
        setenv(name.c_str(), old.c_str(), 1);
      }
    }
    return program;
  }

  // Starts a protected run and waits until the screen is covered and the
  // animation draws inside the cover.
  std::unique_ptr<Program> StartLocked() {
    auto program = Start({"plasma", "/s"});
    for (int i = 0; i < 250 && (Animation() == 0 || !x_.Viewable(Cover())); ++i) std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(x_.Viewable(Cover())) << "the screen is covered";
    EXPECT_NE(Animation(), 0u) << "the animation runs inside the cover";
    std::this_thread::sleep_for(300ms);
    return program;
  }

  Window Cover() { return x_.FindByClass(DefaultRootWindow(x_.get()), kCoverClass, "", 0); }
  Window Animation() {
    const Window cover = Cover();
    return cover != 0 ? x_.FindByClass(cover, kSaverClass, "Screen Saver", 2) : 0;
  }

  // Whether `w` received a key press within `limit`.
  bool KeyArrives(Window w, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
      XEvent e;
      if (XCheckWindowEvent(x_.get(), w, KeyPressMask, &e)) return true;
      std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }

  // Whether another client holds the keyboard (this one cannot take it).
  bool KeyboardTaken() {
    Display* d = x_.get();
    const bool taken = XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime) != GrabSuccess;
    XUngrabKeyboard(d, CurrentTime);
    x_.Sync();
    return taken;
  }

  Window OtherClientWindow() {
    const Window other = x_.CreateWindow(120, 80);
    XSelectInput(x_.get(), other, KeyPressMask);
    XSetInputFocus(x_.get(), other, RevertToParent, CurrentTime);
    x_.Sync();
    return other;
  }

  // A key press that only wakes the prompt, then the password and Return.
  void TypePassword(const char* text) {
    x_.PressKey("space");
    std::this_thread::sleep_for(300ms);
    for (const char* c = text; *c != '\0'; ++c) {
      const char name[2] = {*c, '\0'};
      x_.PressKey(name);
    }
    x_.PressKey("Return");
  }

  // Keysyms on spare keycodes of the keyboard, as a keyboard layout would
  // put them; the old (empty) keycodes come back in TearDown.
  KeyCode Bind(KeySym sym) {
    int low = 0, high = 0;
    XDisplayKeycodes(x_.get(), &low, &high);
    int per = 0;
    KeySym* map = XGetKeyboardMapping(x_.get(), static_cast<KeyCode>(low), high - low + 1, &per);
    KeyCode spare = 0;
    for (int code = high; code >= low && spare == 0; --code) {
      bool empty = true;
      for (int i = 0; i < per; ++i) empty = empty && map[(code - low) * per + i] == NoSymbol;
      if (empty && std::find(bound_.begin(), bound_.end(), code) == bound_.end()) spare = static_cast<KeyCode>(code);
    }
    XFree(map);
    if (spare == 0) return 0;
    KeySym syms[2] = {sym, sym};
    XChangeKeyboardMapping(x_.get(), spare, 2, syms, 1);
    x_.Sync();
    bound_.push_back(spare);
    return spare;
  }
  void RestoreKeys() {
    for (KeyCode code : bound_) {
      KeySym none[2] = {NoSymbol, NoSymbol};
      XChangeKeyboardMapping(x_.get(), code, 2, none, 1);
    }
    bound_.clear();
    x_.Sync();
  }
  void Press(KeyCode code) {
    XTestFakeKeyEvent(x_.get(), code, True, CurrentTime);
    XTestFakeKeyEvent(x_.get(), code, False, CurrentTime);
    x_.Sync();
  }

  // Width in pixels of `text` as the prompt writes it on this screen.
  int PromptTextWidth(const std::string& text) {
    XftFont* font = XftFontOpen(x_.get(), DefaultScreen(x_.get()), XFT_FAMILY, XftTypeString,
                                lock::kPromptFontFamily, XFT_PIXEL_SIZE, XftTypeDouble,
                                static_cast<double>(lock::PromptTextSize(height_)), XFT_WEIGHT, XftTypeInteger,
                                XFT_WEIGHT_MEDIUM, nullptr);
    if (font == nullptr) return -1;
    XGlyphInfo extents{};
    XftTextExtentsUtf8(x_.get(), font, reinterpret_cast<const FcChar8*>(text.data()), static_cast<int>(text.size()),
                       &extents);
    XftFontClose(x_.get(), font);
    return extents.width;
  }

  XDisplay x_;
  fs::path dir_;
  std::string user_;
  int width_ = 0, height_ = 0;
  std::vector<KeyCode> bound_;
  bool pam_ = false;
  bool breaking_keys_ = false;

  // The server's keymap with these XKB options (empty: none), as a user sets them.
  void Keyboard(const std::string& options) {
    breaking_keys_ = !options.empty();
    ASSERT_EQ(std::system(("setxkbmap -option '' -option '" + options + "'").c_str()), 0);
    x_.Sync();
  }
};

TEST_F(LockTest, TheLockOutlivesItsAnimation) {
  // A crash or a kill of the animation: the cover and the grabs stay, keys
  // reach no other client, a new animation starts, the right password
  // still unlocks.
  for (const int signal_number : {SIGSEGV, SIGKILL}) {
    SCOPED_TRACE(signal_number == SIGSEGV ? "SIGSEGV" : "SIGKILL");
    const Window other = OtherClientWindow();
    x_.PressKey("a");
    ASSERT_TRUE(KeyArrives(other, 1s)) << "the test window gets keys before the lock";

    auto saver = StartLocked();
    const long first = x_.WindowPid(Animation());
    ASSERT_GT(first, 0);
    ASSERT_NE(first, static_cast<long>(saver->pid())) << "the animation is a process of its own";
    kill(static_cast<pid_t>(first), signal_number);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(saver->WaitExit(0ms), -1) << "the lock goes on";
    EXPECT_TRUE(x_.Viewable(Cover()));
    XSetInputFocus(x_.get(), other, RevertToParent, CurrentTime);
    x_.PressKey("b");
    EXPECT_FALSE(KeyArrives(other, 500ms)) << "a key reached another window while locked";
    x_.PressKey("Escape");  // whatever prompt that key brought goes

    long next = -1;
    for (int i = 0; i < 100 && (next <= 0 || next == first); ++i) {
      std::this_thread::sleep_for(20ms);
      next = x_.WindowPid(Animation());
    }
    EXPECT_GT(next, 0);
    EXPECT_NE(next, first) << "a new animation runs";

    std::this_thread::sleep_for(300ms);
    EndLock(*saver);
    EXPECT_EQ(Cover(), 0u);
    XSetInputFocus(x_.get(), other, RevertToParent, CurrentTime);
    x_.Sync();
    while (KeyArrives(other, 0ms)) {
    }
    x_.PressKey("d");
    EXPECT_TRUE(KeyArrives(other, 1s)) << "keys reach other windows again after unlocking";
    XDestroyWindow(x_.get(), other);
  }
}

TEST_F(LockTest, AGrabHeldByAnotherProgramMeansNoLockAtAll) {
  struct Case {
    const char* device;
    bool keyboard;
  };
  for (const Case& c : {Case{"keyboard", true}, Case{"pointer", false}}) {
    SCOPED_TRACE(c.device);
    const Window root = DefaultRootWindow(x_.get());
    const int taken = c.keyboard ? XGrabKeyboard(x_.get(), root, False, GrabModeAsync, GrabModeAsync, CurrentTime)
                                 : XGrabPointer(x_.get(), root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                                                None, None, CurrentTime);
    ASSERT_EQ(taken, GrabSuccess);
    x_.Sync();
    const fs::path errors = dir_ / "stderr";
    const auto start = std::chrono::steady_clock::now();
    auto saver = Start({"plasma", "/s"}, errors.string());
    bool ever_covered = false;
    int code = -1;
    while (code == -1 && std::chrono::steady_clock::now() - start < 8s) {
      ever_covered = ever_covered || x_.Viewable(Cover());
      code = saver->WaitExit(50ms);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(code, 2) << "could not lock";
    EXPECT_NE(code, -1) << "gave up within about 5 s";
    EXPECT_GE(took, 4500ms);
    EXPECT_LE(took, 7000ms);
    EXPECT_FALSE(ever_covered) << "nothing looked locked";
    EXPECT_EQ(Cover(), 0u);
    EXPECT_NE(ReadFile(errors).find(std::string("cannot lock: another program holds the ") + c.device),
              std::string::npos)
        << ReadFile(errors);
    if (c.keyboard) {
      XUngrabKeyboard(x_.get(), CurrentTime);
    } else {
      XUngrabPointer(x_.get(), CurrentTime);
    }
    x_.Sync();
  }
}

// A protected run that never locks says so with 2, never 0: with the
// pointer resting in the hot corner, and on SIGTERM while it still waits
// for a grab that another program holds.
TEST_F(LockTest, ARunThatNeverLockedExitsWithTwo) {
  x_.MovePointer(width_ - 5, height_ - 5);
  auto corner = Start({"plasma", "/s"});
  EXPECT_EQ(corner->WaitExit(5s), 2) << "the hot corner";
  x_.MovePointer(100, 100);

  const Window root = DefaultRootWindow(x_.get());
  ASSERT_EQ(XGrabKeyboard(x_.get(), root, False, GrabModeAsync, GrabModeAsync, CurrentTime), GrabSuccess);
  x_.Sync();
  auto waiting = Start({"plasma", "/s"});
  EXPECT_EQ(waiting->WaitExit(1s), -1) << "still waiting for the keyboard";
  waiting->Signal(SIGTERM);
  EXPECT_EQ(waiting->WaitExit(3s), 2) << "SIGTERM before the lock";
  EXPECT_EQ(Cover(), 0u);
  XUngrabKeyboard(x_.get(), CurrentTime);
  x_.Sync();
}

TEST_F(LockTest, AnUnmappedOrDestroyedCoverComesBackWithItsGrabs) {
  const Window other = OtherClientWindow();
  auto saver = StartLocked();
  const Window cover = Cover();
  XUnmapWindow(x_.get(), cover);
  XRaiseWindow(x_.get(), other);
  XSetInputFocus(x_.get(), other, RevertToParent, CurrentTime);
  x_.Sync();
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(x_.Viewable(cover)) << "mapped again";
  EXPECT_EQ(x_.TopWindow(), cover) << "and on top";
  x_.PressKey("b");
  EXPECT_FALSE(KeyArrives(other, 500ms)) << "the grabs hold";
  // Another client cannot take the keyboard from the lock either.
  EXPECT_NE(XGrabKeyboard(x_.get(), DefaultRootWindow(x_.get()), False, GrabModeAsync, GrabModeAsync, CurrentTime),
            GrabSuccess);
  // A destroyed cover is made again, with an animation inside it.
  XDestroyWindow(x_.get(), cover);
  x_.Sync();
  Window again = 0;
  for (int i = 0; i < 150 && (again == 0 || Animation() == 0); ++i) {
    std::this_thread::sleep_for(20ms);
    again = Cover();
  }
  EXPECT_NE(again, 0u);
  EXPECT_TRUE(x_.Viewable(again));
  EXPECT_NE(Animation(), 0u);
  x_.PressKey("c");
  EXPECT_FALSE(KeyArrives(other, 500ms));
  saver->Signal(SIGTERM);
  EXPECT_EQ(saver->WaitExit(4s), 0) << "SIGTERM ends the run cleanly";
  EXPECT_EQ(Cover(), 0u);
}

TEST_F(LockTest, PasswordsOfAnyKeyboardLayoutUnlock) {
  if (!pam_) GTEST_SKIP() << "needs PAM's test wrapper (libpam-wrapper), which sanitizer builds cannot load";
  // Keys of a Cyrillic layout and the euro sign, and a dead key composing
  // an accented letter, as an X input method reads them: the password
  // reaches PAM as UTF-8.
  struct Case {
    const char* name;
    const char* password;
    std::vector<KeySym> keys;
  };
  const Case cases[] = {
      {"Cyrillic and euro", "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C\xE2\x82\xAC",
       {XK_Cyrillic_pe, XK_Cyrillic_a, XK_Cyrillic_er, XK_Cyrillic_o, XK_Cyrillic_el, XK_Cyrillic_softsign,
        XK_EuroSign}},
      {"dead acute", "caf\xC3\xA9", {XK_c, XK_a, XK_f, XK_dead_acute, XK_e}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Password(c.password);
    std::vector<KeyCode> codes;
    for (KeySym sym : c.keys) {
      const KeyCode existing = XKeysymToKeycode(x_.get(), sym);
      codes.push_back(existing != 0 ? existing : Bind(sym));
      ASSERT_NE(codes.back(), 0) << "no spare keycode";
    }
    auto saver = StartLocked();
    x_.PressKey("space");
    std::this_thread::sleep_for(300ms);
    // The same keys with their Latin meaning first: not the password.
    for (const char* latin : {"g", "f", "h"}) x_.PressKey(latin);
    x_.PressKey("Return");
    EXPECT_EQ(saver->WaitExit(2500ms), -1);
    x_.PressKey("space");
    std::this_thread::sleep_for(300ms);
    for (KeyCode code : codes) Press(code);
    x_.PressKey("Return");
    EXPECT_EQ(saver->WaitExit(5s), 0);
    RestoreKeys();
  }
}

TEST_F(LockTest, AWrongPasswordCanBeReadOnTheScreen) {
  if (!pam_) GTEST_SKIP() << "needs PAM's test wrapper (libpam-wrapper), which sanitizer builds cannot load";
  // Two monitors side by side, the pointer on the right one.
  Display* d = x_.get();
  const Window root = DefaultRootWindow(d);
  const Atom halves[2] = {XInternAtom(d, "ORVO-LEFT", False), XInternAtom(d, "ORVO-RIGHT", False)};
  for (int i = 0; i < 2; ++i) {
    XRRMonitorInfo m{halves[i], False, False, 0, i * width_ / 2, 0, width_ / 2, height_, 0, 0, nullptr};
    XRRSetMonitor(d, root, &m);
  }
  x_.Sync();
  x_.MovePointer(width_ * 3 / 4, height_ / 2);
  auto saver = StartLocked();
  TypePassword("wrong");
  std::this_thread::sleep_for(1s);
  std::vector<std::uint32_t> screen = x_.Capture(0, 0, width_, height_);
  ASSERT_EQ(screen.size(), static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
  const Box message = Find(screen, width_, lock::kErrorColour);
  ASSERT_GT(message.count, 50) << "no message text on the screen";
  const int expected = PromptTextWidth("Wrong password");
  ASSERT_GT(expected, 0);
  EXPECT_NEAR(message.width(), expected, 3) << "the red line is as wide as \"Wrong password\"";
  // On the prompt's panel, which sits in the middle of the pointer's monitor.
  const Box panel = Find(screen, width_, lock::kPanelColour);
  EXPECT_NEAR(panel.left + panel.right, width_ / 2 + width_, 2);
  EXPECT_NEAR(panel.top + panel.bottom, height_, 2);
  EXPECT_GT(message.left, panel.left);
  EXPECT_LT(message.right, panel.right);
  EXPECT_GT(message.top, panel.top);
  EXPECT_LT(message.bottom, panel.bottom);
  // Then it goes, the prompt with it, and the lock stays.
  std::this_thread::sleep_for(1500ms);
  screen = x_.Capture(0, 0, width_, height_);
  EXPECT_EQ(Find(screen, width_, lock::kErrorColour).count, 0);
  EXPECT_EQ(Find(screen, width_, lock::kPanelColour).count, 0) << "the prompt closed";
  EXPECT_EQ(saver->WaitExit(0ms), -1);
  TypePassword("s3cret");
  EXPECT_EQ(saver->WaitExit(5s), 0);
  for (Atom half : halves) XRRDeleteMonitor(d, root, half);
}

TEST_F(LockTest, AnExpiredPasswordUnlocksAndSaysSo) {
  if (!pam_) GTEST_SKIP() << "needs PAM's test wrapper (libpam-wrapper), which sanitizer builds cannot load";
  const std::string module = std::string(ORVO_PAM_TEST_MODULE) + " password=pw account=expired";
  std::ofstream(dir_ / "pam" / "orvo-saver") << "auth required " << module << "\naccount required " << module << "\n";
  auto saver = StartLocked();
  TypePassword("pw");
  const auto entered = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(700ms);
  const std::vector<std::uint32_t> screen = x_.Capture(0, 0, width_, height_);
  EXPECT_GT(Find(screen, width_, lock::kInfoColour).count, 50) << "the expiry is on the screen";
  EXPECT_EQ(Find(screen, width_, lock::kErrorColour).count, 0);
  EXPECT_EQ(saver->WaitExit(6s), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - entered, 1500ms) << "the message stayed up before unlocking";
}

TEST_F(LockTest, ThePasswordChangedWithSwitchAUnlocksTheNextLock) {
  if (!pam_) GTEST_SKIP() << "needs PAM's test wrapper (libpam-wrapper), which sanitizer builds cannot load";
  // "/a" asks PAM's questions in dialogs; pam_matrix changes the password
  // file. Then the new password unlocks and the old one does not.
  auto change = Start({"plasma", "/a"});
  // Each dialog comes up under the pointer, where keys go without a window
  // manager; the answers are typed once it is up.
  auto dialog_up = [&](bool up, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      const Window top = x_.TopWindow();
      if ((top != 0 && x_.Viewable(top)) == up) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  };
  for (const char* answer : {"s3cret", "n3w-pass", "n3w-pass", ""}) {
    ASSERT_TRUE(dialog_up(true, 5s)) << "a dialog for " << answer;
    std::this_thread::sleep_for(150ms);
    for (const char* c = answer; *c != '\0'; ++c) {
      const char name[2] = {*c, '\0'};
      x_.PressKey(*c == '-' ? "minus" : name);
    }
    x_.PressKey("Return");  // the last one closes the closing message
    dialog_up(false, 600ms);
  }
  ASSERT_EQ(change->WaitExit(3s), 0);
  ASSERT_NE(ReadFile(dir_ / "passdb").find(":n3w-pass:"), std::string::npos) << ReadFile(dir_ / "passdb");

  auto saver = StartLocked();
  TypePassword("s3cret");
  EXPECT_EQ(saver->WaitExit(2500ms), -1) << "the old password no longer unlocks";
  x_.PressKey("space");
  std::this_thread::sleep_for(300ms);
  for (const char* key : {"n", "3", "w", "minus", "p", "a", "s", "s"}) x_.PressKey(key);
  x_.PressKey("Return");
  EXPECT_EQ(saver->WaitExit(5s), 0);
}

TEST_F(LockTest, NoSignalButTermEndsOrStopsALock) {
  const Window other = OtherClientWindow();
  auto saver = StartLocked();
  for (const int number : {SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGTSTP}) {
    SCOPED_TRACE(strsignal(number));
    saver->Signal(number);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(saver->WaitExit(0ms), -1);
    EXPECT_TRUE(x_.Viewable(Cover()));
    x_.PressKey("b");
    EXPECT_FALSE(KeyArrives(other, 300ms));
  }
  x_.PressKey("Escape");
  std::this_thread::sleep_for(300ms);
  EndLock(*saver);
}

TEST_F(LockTest, ASaverWindowAlreadyThereDoesNotEndTheRunWithoutALock) {
  for (const char* window_class : {kCoverClass, kSaverClass}) {
    SCOPED_TRACE(window_class);
    const Window foreign = x_.CreateWindow(64, 64);
    std::string name = window_class;
    XClassHint hint{name.data(), name.data()};
    XSetClassHint(x_.get(), foreign, &hint);
    XStoreName(x_.get(), foreign, "Screen Saver");
    x_.Sync();
    auto saver = Start({"plasma", "/s"});
    int code = -1;
    for (int i = 0; i < 100 && code == -1 && !KeyboardTaken(); ++i) code = saver->WaitExit(20ms);
    ASSERT_EQ(code, -1) << "ended without a lock";
    std::this_thread::sleep_for(1s);
    EndLock(*saver);
    XDestroyWindow(x_.get(), foreign);
  }
}

TEST_F(LockTest, ASecondLockDefersToTheOneHoldingTheScreenWithCode3) {
  auto first = StartLocked();
  auto second = Start({"plasma", "/s"});
  EXPECT_EQ(second->WaitExit(8s), 3);
  EXPECT_EQ(first->WaitExit(0ms), -1);
  EndLock(*first);
}

TEST_F(LockTest, TheSleepLockIsClosedOnlyOnceLocked) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  setenv("XSS_SLEEP_LOCK_FD", std::to_string(ends[1]).c_str(), 1);
  auto saver = Start({"plasma", "/s"});
  unsetenv("XSS_SLEEP_LOCK_FD");
  close(ends[1]);
  pollfd closed{ends[0], POLLIN, 0};
  ASSERT_EQ(poll(&closed, 1, 8000), 1) << "closed while the lock goes on";
  EXPECT_TRUE(KeyboardTaken());
  EXPECT_TRUE(x_.Viewable(Cover()));
  close(ends[0]);
  std::this_thread::sleep_for(300ms);
  EndLock(*saver);
}

TEST_F(LockTest, LockWithTheSwitchOffAndDetachReturnsOnceLocked) {
  std::ofstream(dir_ / "registry.ini") << "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\nScreenSaveUsePassword=0\n";
  auto caller = Start({"plasma", "--lock", "--detach"});
  ASSERT_EQ(caller->WaitExit(8s), 0);
  EXPECT_TRUE(KeyboardTaken()) << "locked when the caller is told";
  EXPECT_TRUE(x_.Viewable(Cover()));
  const pid_t guardian = static_cast<pid_t>(x_.WindowPid(Cover()));
  std::this_thread::sleep_for(300ms);
  if (pam_) TypePassword("s3cret");
  else kill(guardian, SIGTERM);
  for (int i = 0; i < 250 && Cover() != 0; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_EQ(Cover(), 0u) << "the lock stayed behind until unlocked";
  if (Cover() != 0 && guardian > 0) kill(guardian, SIGKILL);
}

// Never locked out: a stopped animation never asks for the prompt, so the
// guardian opens its own with the keys typed so far; a PAM check that hangs
// gives way to Escape within a second, and the next attempt works.
TEST_F(LockTest, AStoppedAnimationOrAHangingCheckDoesNotLockTheUserOut) {
  if (!pam_) GTEST_SKIP() << "needs PAM's test wrapper (libpam-wrapper), which sanitizer builds cannot load";
  auto stopped = StartLocked();
  const pid_t animation = static_cast<pid_t>(x_.WindowPid(Animation()));
  ASSERT_GT(animation, 0);
  kill(animation, SIGSTOP);
  TypePassword("s3cret");
  EXPECT_EQ(stopped->WaitExit(10s), 0) << "the password typed for a stopped animation unlocks";
  kill(animation, SIGCONT);

  ASSERT_TRUE(fs::exists(ORVO_PAM_EXEC_MODULE));
  const std::string matrix = std::string(ORVO_PAM_MATRIX_MODULE) + " passdb=" + (dir_ / "passdb").string();
  std::ofstream(dir_ / "pam" / "orvo-saver") << "auth optional " << ORVO_PAM_EXEC_MODULE << " /bin/sleep 60\n"
                                             << "auth required " << matrix << "\naccount required " << matrix << "\n";
  auto saver = StartLocked();
  TypePassword("s3cret");
  std::this_thread::sleep_for(1s);
  ASSERT_EQ(saver->WaitExit(0ms), -1) << "PAM sleeps";
  ASSERT_EQ(Find(x_.Capture(0, 0, width_, height_), width_, lock::kErrorColour).count, 0);
  x_.PressKey("Escape");
  const auto escaped = std::chrono::steady_clock::now();
  bool said = false;
  while (!said && std::chrono::steady_clock::now() - escaped < 1s)
    said = Find(x_.Capture(0, 0, width_, height_), width_, lock::kErrorColour).count > 50;
  EXPECT_TRUE(said) << "the prompt says within a second that the check was abandoned";
  std::ofstream(dir_ / "pam" / "orvo-saver") << "auth required " << matrix << "\naccount required " << matrix << "\n";
  for (const char* key : {"s", "3", "c", "r", "e", "t"}) x_.PressKey(key);
  x_.PressKey("Return");
  EXPECT_EQ(saver->WaitExit(8s), 0) << "the prompt works again";
}

// Another client's window over a lock whose animation is stopped: once the
// cover is back on top and the window gone, none of its picture is left on
// the screen (no stopped animation repaints what it covered).
TEST_F(LockTest, AWindowOverAStoppedAnimationLeavesNothingBehind) {
  auto saver = StartLocked();
  const pid_t animation = static_cast<pid_t>(x_.WindowPid(Animation()));
  ASSERT_GT(animation, 0);
  kill(animation, SIGSTOP);
  std::this_thread::sleep_for(100ms);
  const std::vector<std::uint32_t> before = x_.Capture(0, 0, width_, height_);
  Display* d = x_.get();
  constexpr std::uint32_t kForeign = 0x13F27A;
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = kForeign;  // the 24-bit TrueColor visual of the test server
  const Window foreign = XCreateWindow(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(width_),
                                       static_cast<unsigned>(height_), 0, CopyFromParent, InputOutput, CopyFromParent,
                                       CWOverrideRedirect | CWBackPixel, &a);
  XMapRaised(d, foreign);
  x_.Sync();
  for (int i = 0; i < 100 && x_.TopWindow() != Cover(); ++i) std::this_thread::sleep_for(20ms);
  ASSERT_EQ(x_.TopWindow(), Cover()) << "the guardian raised its cover";
  XDestroyWindow(d, foreign);
  x_.Sync();
  std::this_thread::sleep_for(300ms);
  const std::vector<std::uint32_t> after = x_.Capture(0, 0, width_, height_);
  long left = 0;
  for (std::size_t i = 0; i < after.size(); ++i) left += after[i] == kForeign && before[i] != kForeign;
  EXPECT_EQ(left, 0) << "pixels of another client's window stay visible on the locked screen";
  kill(animation, SIGCONT);
  EndLock(*saver);
}

// Keys that make the server drop every grab or close the lock's connection
// (keyboard option grab:break_actions): a run refuses to lock with 2 while
// they are there; set while locked, they are switched off and the lock holds
// against Ctrl+Alt+KP_Multiply, which closes the grabbing client.
TEST_F(LockTest, GrabBreakingKeysAreRefusedOrSwitchedOff) {
  const fs::path errors = dir_ / "stderr";
  Keyboard("grab:break_actions");
  auto refused = Start({"plasma", "/s"}, errors.string());
  int code = -1;
  bool ever_covered = false;
  for (int i = 0; i < 400 && code == -1; ++i, ever_covered = ever_covered || Cover() != 0) code = refused->WaitExit(20ms);
  EXPECT_EQ(code, 2);
  EXPECT_FALSE(ever_covered) << "nothing was covered";
  EXPECT_NE(ReadFile(errors).find("cannot lock: the keyboard has keys that break grabs (keyboard option grab:break_actions)"),
            std::string::npos)
      << ReadFile(errors);

  Keyboard("");
  auto saver = Start({"plasma", "/s"}, errors.string());
  for (int i = 0; i < 400 && (Animation() == 0 || !x_.Viewable(Cover())); ++i) std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(x_.Viewable(Cover()));
  Keyboard("grab:break_actions");
  for (int i = 0; i < 250 && ReadFile(errors).find("switched off while") == std::string::npos; ++i)
    std::this_thread::sleep_for(20ms);
  EXPECT_NE(ReadFile(errors).find("switched off while the screen is locked"), std::string::npos) << ReadFile(errors);
  const KeyCode chord[] = {XKeysymToKeycode(x_.get(), XK_Control_L), XKeysymToKeycode(x_.get(), XK_Alt_L),
                           XKeysymToKeycode(x_.get(), XK_KP_Multiply)};
  for (KeyCode k : chord) XTestFakeKeyEvent(x_.get(), k, True, CurrentTime);
  for (KeyCode k : chord) XTestFakeKeyEvent(x_.get(), k, False, CurrentTime);
  x_.Sync();
  EXPECT_EQ(saver->WaitExit(1s), -1) << "the lock goes on";
  EXPECT_TRUE(x_.Viewable(Cover()));
  EXPECT_TRUE(KeyboardTaken());
  x_.PressKey("Escape");
  std::this_thread::sleep_for(300ms);
  EndLock(*saver);
}

// Every X screen gets a cover: a white window filling each screen of a
// two-screen server is hidden. Under a compositing manager (here on the
// second screen) the cover lives in the composite overlay window, and taken
// into a 1x1 window by another client it goes back there.
TEST_F(LockTest, EveryXScreenIsCoveredAndACoverStaysWhereItShows) {
  OwnServer server;
  Display* d = server.ok ? XOpenDisplay(server.name.c_str()) : nullptr;
  ASSERT_TRUE(d != nullptr && ScreenCount(d) == 2) << "Xvfb with two screens";
  const Window second = RootWindow(d, 1);
  XSetSelectionOwner(d, XInternAtom(d, "_NET_WM_CM_S1", False), XCreateSimpleWindow(d, second, 0, 0, 1, 1, 0, 0, 0),
                     CurrentTime);
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = WhitePixel(d, 0);
  XMapWindow(d, XCreateWindow(d, RootWindow(d, 0), 0, 0, 1280, 720, 0, CopyFromParent, InputOutput, CopyFromParent,
                              CWOverrideRedirect | CWBackPixel, &a));
  XSync(d, False);
  auto white = [d] {  // the share of white pixels on the first screen, as xwd would read it
    XImage* image = XGetImage(d, RootWindow(d, 0), 0, 0, 1280, 720, AllPlanes, ZPixmap);
    long count = 0;
    for (int i = 0; image != nullptr && i < 1280 * 720; ++i) count += XGetPixel(image, i % 1280, i / 1280) == WhitePixel(d, 0);
    if (image != nullptr) XDestroyImage(image);
    return static_cast<double>(count) / (1280 * 720);
  };
  ASSERT_EQ(white(), 1.0);
  const Window overlay = XCompositeGetOverlayWindow(d, second);  // held here too: one window throughout
  auto covered = [d, overlay] {  // the viewable window in the overlay (only the lock puts one there), or 0
    Window root = 0, up = 0, *children = nullptr, found = 0;
    unsigned count = 0;
    if (XQueryTree(d, overlay, &root, &up, &children, &count) && count > 0) found = children[count - 1];
    if (children != nullptr) XFree(children);
    XWindowAttributes at{};
    return found != 0 && XGetWindowAttributes(d, found, &at) && at.map_state == IsViewable ? found : 0;
  };
  auto saver = Start({"plasma", "/s"}, "", {{"DISPLAY", server.name}});
  for (int i = 0; i < 100 && (white() > 0.5 || covered() == 0); ++i) std::this_thread::sleep_for(100ms);
  EXPECT_LT(white(), 0.5) << "the animation's screen is covered";
  const Window cover = covered();
  ASSERT_NE(cover, 0u) << "the second screen is covered, in the compositor's overlay";
  XReparentWindow(d, cover, XCreateSimpleWindow(d, second, 0, 0, 1, 1, 0, 0, 0), 0, 0);
  XSync(d, False);
  for (int i = 0; i < 100 && covered() != cover; ++i) std::this_thread::sleep_for(50ms);
  EXPECT_EQ(covered(), cover) << "a reparented cover goes back";
  saver->Signal(SIGTERM);
  EXPECT_EQ(saver->WaitExit(5s), 0);
  XCloseDisplay(d);
}

}  // namespace
}  // namespace orvo::testing
