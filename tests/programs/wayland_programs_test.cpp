// The saver programs as Wayland clients of a real compositor: sway 1.7,
// headless, with two outputs of different sizes (the second at scale 2),
// a panel on the bottom layer, keys from wtype and a virtual pointer; and
// of the test compositor, which has no layer-shell.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "compositor_process.h"
#include "tests/support/wayland/sway_session.h"

namespace {

using orvo::test::RgbImage;
using orvo::test::SwaySession;

constexpr std::uint32_t kPanel = 0x129A34;
constexpr const char* kClient = ORVO_TEST_DIR "/wayland_test_client";

// The saver's picture: many colours, and nothing of the panel.
bool ShowsSaver(const RgbImage& shot) {
  return shot.width > 0 && shot.Count(kPanel) == 0 && shot.DistinctColours() > 64;
}

bool Eventually(const std::function<bool()>& condition, int timeout_ms = 20000) {
  for (int waited = 0; waited < timeout_ms; waited += 200) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return condition();
}

class WaylandPrograms : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    session_ = new SwaySession;
    if (!session_->Start(&why_)) return;
    // A second output beside the first: 640 x 480 pixels at scale 2.
    if (session_->Run("swaymsg create_output >/dev/null && swaymsg output HEADLESS-2 resolution "
                      "640x480 scale 2 position 800 0 >/dev/null") != 0)
      why_ = "sway could not make a second output";
    // A pointer device for the whole run, resting on the first output.
    if (why_.empty())
      session_->Spawn("exec '" + session_->Program(kClient) + "' pointer 300 200");
  }
  static void TearDownTestSuite() {
    delete session_;
    session_ = nullptr;
  }
  void SetUp() override {
    if (!why_.empty()) GTEST_SKIP() << why_;
  }
  pid_t StartSaver(const std::string& switches) {
    const std::string plasma = session_->Program(ORVO_BIN_DIR "/plasma");
    return session_->Spawn("exec '" + plasma + "' " + switches, "saver.err");
  }
  int Move(int dx, int dy) {
    return session_->Run("'" + session_->Program(kClient) + "' move " + std::to_string(dx) + " " +
                         std::to_string(dy));
  }
  // The seat has a keyboard only while wtype's virtual one exists: the key
  // comes a moment after it appeared, so that the saver has its keyboard.
  int Key(const char* key) { return session_->Run(std::string("wtype -s 300 ") + key); }
  std::string SaverErrors() {
    std::ifstream in(session_->folder() + "/saver.err");
    return {std::istreambuf_iterator<char>(in), {}};
  }

  static SwaySession* session_;
  static std::string why_;
};

SwaySession* WaylandPrograms::session_ = nullptr;
std::string WaylandPrograms::why_;

TEST_F(WaylandPrograms, FullScreenCoversEveryOutputAboveThePanelAndAKeyEndsIt) {
  const pid_t panel = session_->Spawn("exec '" + session_->Program(kClient) + "' panel 129A34 30");
  for (const char* output : {"HEADLESS-1", "HEADLESS-2"})
    ASSERT_TRUE(Eventually([&] { return session_->Shot(output).Count(kPanel) > 0; })) << output;
  const pid_t saver = StartSaver("/s");
  for (const char* output : {"HEADLESS-1", "HEADLESS-2"})
    EXPECT_TRUE(Eventually([&] { return ShowsSaver(session_->Shot(output)); })) << output << "\n"
                                                                              << SaverErrors();
  // On the scale-2 output each emulated pixel is one logical pixel: 2 x 2
  // of its pixels.
  const RgbImage scaled = session_->Shot("HEADLESS-2");
  bool blocks = scaled.width == 640;
  for (int y = 0; blocks && y < scaled.height; y += 2)
    for (int x = 0; blocks && x < scaled.width; x += 2)
      blocks = scaled.At(x, y) == scaled.At(x + 1, y) && scaled.At(x, y) == scaled.At(x, y + 1) &&
               scaled.At(x, y) == scaled.At(x + 1, y + 1);
  EXPECT_TRUE(blocks);
  ASSERT_EQ(Key("a"), 0);
  EXPECT_EQ(session_->WaitExit(saver, 10000), 0) << SaverErrors();
  session_->Kill(panel);
}

TEST_F(WaylandPrograms, PointerMovesOfThreePixelsKeepItRunningFiveEndIt) {
  const pid_t saver = StartSaver("/s");
  ASSERT_TRUE(Eventually([&] { return ShowsSaver(session_->Shot("HEADLESS-1")); })) << SaverErrors();
  ASSERT_EQ(Move(3, 0), 0);
  ASSERT_EQ(Move(-3, 0), 0);
  EXPECT_EQ(session_->WaitExit(saver, 1500), -1) << "a move of 3 pixels ended the run";
  ASSERT_EQ(Move(0, 5), 0);
  EXPECT_EQ(session_->WaitExit(saver, 10000), 0) << SaverErrors();
  session_->Kill(saver);
}

TEST_F(WaylandPrograms, AnOutputAddedWhileRunningIsCoveredAndAClickEndsIt) {
  const pid_t saver = StartSaver("/s");
  ASSERT_TRUE(Eventually([&] { return ShowsSaver(session_->Shot("HEADLESS-1")); })) << SaverErrors();
  ASSERT_EQ(session_->Run("swaymsg create_output >/dev/null && swaymsg output HEADLESS-3 resolution "
                          "400x300 position 0 600 >/dev/null"),
            0);
  EXPECT_TRUE(Eventually([&] { return ShowsSaver(session_->Shot("HEADLESS-3")); })) << SaverErrors();
  ASSERT_EQ(session_->Run("'" + session_->Program(kClient) + "' click 272 0"), 0);  // BTN_LEFT
  EXPECT_EQ(session_->WaitExit(saver, 10000), 0) << SaverErrors();
  session_->Kill(saver);
}

// --window: an ordinary toplevel that Escape, q and the close request end.
TEST_F(WaylandPrograms, WindowEndsOnEscapeQAndClose) {
  ASSERT_EQ(session_->Run("swaymsg focus output HEADLESS-1 >/dev/null"), 0);  // where it is looked for
  for (const std::string end : {"wtype -s 300 -k Escape", "wtype -s 300 q", "swaymsg [title=Orvo] kill >/dev/null"}) {
    const pid_t saver = StartSaver("--window");
    ASSERT_TRUE(Eventually([&] { return ShowsSaver(session_->Shot("HEADLESS-1")); })) << SaverErrors();
    ASSERT_TRUE(Eventually([&] { return session_->Run(end) == 0; }, 5000)) << end;
    EXPECT_EQ(session_->WaitExit(saver, 10000), 0) << end << "\n" << SaverErrors();
    session_->Kill(saver);
  }
}

// Xwayland's grabs hold only against X clients: a lock there would only
// pretend, so it is refused with one line.
TEST_F(WaylandPrograms, ProtectedRunForcedOntoXwaylandRefuses) {
  if (session_->x_display().empty()) GTEST_SKIP() << "Xwayland is not installed (package xwayland)";
  const std::string plasma = session_->Program(ORVO_BIN_DIR "/plasma");
  const pid_t saver = session_->Spawn("ORVO_BACKEND=x11 DISPLAY=" + session_->x_display() + " exec '" +
                                      plasma + "' --lock", "saver.err");
  const int status = session_->WaitExit(saver, 10000);
  session_->Kill(saver);
  EXPECT_GT(status, 0) << "-1: it locked (or hung) instead of refusing";
  const std::string errors = SaverErrors();
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  EXPECT_NE(errors.find("Xwayland"), std::string::npos) << errors;
}

// A compositor without layer-shell (the test compositor, offering xdg-shell
// but no lock): /s runs as a fullscreen toplevel, showing the saver, and
// says once that other windows may be raised over it; a protected /s
// refuses. Each says one line.
TEST(WaylandWithoutLayerShell, FullScreenIsAToplevelAndAProtectedRunRefuses) {
  struct Run {
    bool protect;
    int status;
    const char* says;
  };
  for (const Run& run : {Run{false, 0, "other windows may be raised over it"}, Run{true, 2, "cannot lock"}}) {
    orvo::testing::CompositorProcess compositor({"--no-session-lock"});
    ASSERT_TRUE(compositor.ready());
    const std::string dir = compositor.runtime_dir(), errors = dir + "/stderr", shot = dir + "/shot.ppm";
    std::ofstream(dir + "/registry.ini") << "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\nScreenSaveUsePassword="
                                         << run.protect << "\n";
    const pid_t saver = fork();
    if (saver == 0) {
      setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
      setenv("WAYLAND_DISPLAY", compositor.kSocket, 1);
      setenv("ORVO_CONFIG_DIR", dir.c_str(), 1);
      unsetenv("ORVO_BACKEND");
      if (freopen(errors.c_str(), "w", stderr) != nullptr) execl(ORVO_BIN_DIR "/plasma", "plasma", "/s", nullptr);
      _exit(127);
    }
    if (!run.protect) {
      EXPECT_TRUE(compositor.Await("toplevel fullscreen -1") && compositor.Await("commit toplevel 640x480"));
      EXPECT_TRUE(Eventually([&] {
        compositor.Send("shot 0 " + shot);
        const RgbImage picture = compositor.Await("shot 0") ? orvo::test::ReadPpm(shot) : RgbImage{};
        return picture.width == 640 && picture.height == 480 && picture.DistinctColours() > 64;
      }));
      compositor.Send("type a");
    }
    int status = -1;
    if (!Eventually([&] { return waitpid(saver, &status, WNOHANG) == saver; }, 10000))
      kill(saver, SIGKILL), waitpid(saver, nullptr, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == run.status) << run.says << ": " << status;
    std::ifstream in(errors);
    const std::string said(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find(run.says), std::string::npos) << said;
  }
}

}  // namespace
