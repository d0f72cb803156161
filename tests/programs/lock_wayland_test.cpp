// The lock on Wayland with ext-session-lock, against the test compositor:
// the guardian claims the lock only once the compositor says `locked`,
// covers every output (later ones too, and through a change of scale),
// opens only for the right password (pam_wrapper with pam_matrix), survives
// the animation's death, leaves the session locked when killed itself, and
// refuses with one line where it cannot lock.
#include <gtest/gtest.h>
#include <pwd.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "compositor_process.h"
#include "orvo/lock_prompt.h"

namespace {

namespace fs = std::filesystem;
using orvo::testing::CompositorProcess;
using namespace std::chrono_literals;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // the wrapper cannot be preloaded before the sanitizer
#else
constexpr bool kSanitized = false;
#endif

class WaylandLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvo-wllock-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "pam");
    pam_ = !kSanitized && fs::exists(ORVO_PAM_WRAPPER_LIBRARY) && fs::exists(ORVO_PAM_MATRIX_MODULE);
    std::ofstream(dir_ / "passdb") << getpwuid(getuid())->pw_name << ":s3cret:orvo-saver\n";
    const std::string module = std::string(ORVO_PAM_MATRIX_MODULE) + " passdb=" + (dir_ / "passdb").string();
    std::ofstream(dir_ / "pam" / "orvo-saver") << "auth required " << module << "\naccount required " << module << "\n";
  }
  void TearDown() override {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    fs::remove_all(dir_);
  }

  // Starts `plasma ARGS` on the compositor, with PAM's test wrapper.
  void Start(const CompositorProcess& compositor, const std::vector<std::string>& args) {
    pid_ = fork();
    if (pid_ != 0) return;
    setenv("XDG_RUNTIME_DIR", compositor.runtime_dir().c_str(), 1);
    setenv("WAYLAND_DISPLAY", CompositorProcess::kSocket, 1);
    setenv("ORVO_CONFIG_DIR", dir_.c_str(), 1);
    unsetenv("DISPLAY");
    if (pam_) {
      setenv("LD_PRELOAD", ORVO_PAM_WRAPPER_LIBRARY, 1);
      setenv("PAM_WRAPPER", "1", 1);
      setenv("PAM_WRAPPER_SERVICE_DIR", (dir_ / "pam").c_str(), 1);
    }
    freopen((dir_ / "stderr").c_str(), "w", stderr);
    std::vector<std::string> all = {ORVO_BIN_DIR "/plasma"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  // The exit code, waiting at most `limit` (a bound for a hung program).
  int WaitExit(std::chrono::milliseconds limit = 10s) {
    for (auto waited = 0ms; waited < limit; waited += 10ms) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }
  bool Running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  std::string Stderr() {
    std::ifstream in(dir_ / "stderr");
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }
  // The guardian's child: the animation.
  // The animation: the guardian's child that leads its own session (the
  // password checker, also a child while it runs, does not).
  pid_t Animation() {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/task/" + std::to_string(pid_) + "/children");
    for (pid_t child = -1; in >> child;) {
      std::ifstream stat("/proc/" + std::to_string(child) + "/stat");
      std::string line;
      std::getline(stat, line);
      // Fields after the name in parentheses: state, ppid, pgrp, session.
      std::istringstream rest(line.substr(line.rfind(')') + 1));
      std::string state;
      pid_t ppid = 0, group = 0, session = 0;
      if (rest >> state >> ppid >> group >> session && session == child) return child;
    }
    return -1;
  }
  // Pixels of `rgb` in a shot of output `n`.
  int Count(CompositorProcess& compositor, int n, std::uint32_t rgb) {
    const fs::path file = dir_ / "shot.ppm";
    compositor.Send("shot " + std::to_string(n) + " " + file.string());
    if (!compositor.Await("shot " + std::to_string(n))) return -1;
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    in >> magic >> w >> h >> max;
    in.get();
    int count = 0;
    for (int i = 0; i < w * h; ++i) {
      unsigned char p[3] = {};
      in.read(reinterpret_cast<char*>(p), 3);
      count += (static_cast<std::uint32_t>(p[0]) << 16 | p[1] << 8 | p[2]) == rgb;
    }
    return count;
  }

  fs::path dir_;
  bool pam_ = false;
  pid_t pid_ = -1;
};

TEST_F(WaylandLockTest, ClaimsTheLockOnlyOnceLockedAndCoversEveryOutputLaterOnesToo) {
  CompositorProcess compositor({"--output", "640x480", "--output", "320x200", "--hold-locked"});
  ASSERT_TRUE(compositor.ready());
  // An idle manager's sleep lock: its write end goes to the program.
  int sleep_lock[2];
  ASSERT_EQ(pipe(sleep_lock), 0);
  setenv("XSS_SLEEP_LOCK_FD", std::to_string(sleep_lock[1]).c_str(), 1);
  Start(compositor, {"--lock", "--detach"});
  unsetenv("XSS_SLEEP_LOCK_FD");
  close(sleep_lock[1]);
  const auto released = [&] {
    pollfd p = {sleep_lock[0], POLLIN, 0};
    return poll(&p, 1, 0) == 1;  // end of file: every holder closed it
  };
  ASSERT_TRUE(compositor.Await("commit lock_surface 0 640x480"));
  ASSERT_TRUE(compositor.Await("commit lock_surface 1 320x200"));
  // Nothing is claimed before the compositor says locked: the caller waits.
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(Running()) << "--detach returned before `locked`";
  EXPECT_FALSE(released()) << "the sleep lock was let go before `locked`";
  compositor.Send("locked");
  EXPECT_EQ(WaitExit(), 0);  // the caller; the guardian stays behind
  pid_ = -1;
  for (int i = 0; i < 200 && !released(); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(released()) << "the sleep lock is still held once locked";
  close(sleep_lock[0]);

  compositor.Send("output 400x300");
  EXPECT_TRUE(compositor.Await("commit lock_surface 2 400x300"));
}

TEST_F(WaylandLockTest, WrongPasswordKeepsItAKilledAnimationKeepsItTheRightOneUnlocks) {
  if (!pam_) GTEST_SKIP() << "needs pam_wrapper and pam_matrix (and no sanitizer)";
  CompositorProcess compositor({});
  ASSERT_TRUE(compositor.ready());
  Start(compositor, {"--lock"});
  ASSERT_TRUE(compositor.Await("locked"));
  compositor.Send("key Escape");  // wakes the prompt
  compositor.Send("type wrong");
  compositor.Send("key Return");
  int error_pixels = 0;
  for (int i = 0; i < 100 && error_pixels <= 0; ++i) {
    std::this_thread::sleep_for(20ms);
    error_pixels = Count(compositor, 0, orvo::platform::lock::kErrorColour);
  }
  EXPECT_GT(error_pixels, 0) << "no \"Wrong password\" on the screen";
  const pid_t animation = Animation();
  ASSERT_GT(animation, 0);
  kill(animation, SIGKILL);
  std::this_thread::sleep_for(2500ms);  // the message's hold
  EXPECT_TRUE(Running());
  // A hung animation (stopped) that does not answer a key is replaced.
  const pid_t restarted = Animation();
  ASSERT_GT(restarted, 0);
  EXPECT_NE(restarted, animation);
  kill(restarted, SIGSTOP);
  compositor.Send("key Escape");
  for (int i = 0; i < 1000 && (Animation() == restarted || Animation() <= 0); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_NE(Animation(), restarted) << "a stopped animation was kept";
  EXPECT_TRUE(Running());
  compositor.Send("type s3cret");
  compositor.Send("key Return");
  EXPECT_EQ(WaitExit(), 0) << Stderr();
  EXPECT_TRUE(compositor.Await("unlock"));
  for (const std::string& line : compositor.seen()) EXPECT_NE(line.rfind("error", 0), 0u) << line;
}

TEST_F(WaylandLockTest, APasswordOfAnotherLayoutUnlocksThroughTheCompositorsKeymap) {
  if (!pam_) GTEST_SKIP() << "needs pam_wrapper and pam_matrix (and no sanitizer)";
  std::ofstream(dir_ / "passdb") << getpwuid(getuid())->pw_name << ":\xD0\x9F\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C:orvo-saver\n";
  CompositorProcess compositor({"--layout", "ru"});
  ASSERT_TRUE(compositor.ready());
  Start(compositor, {"--lock"});
  ASSERT_TRUE(compositor.Await("locked"));
  compositor.Send("key Escape");
  compositor.Send("type \xD0\x9F\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C");  // "Пароль", with Shift for the capital
  compositor.Send("key Return");
  EXPECT_EQ(WaitExit(), 0) << Stderr();
  EXPECT_TRUE(compositor.Await("unlock"));
}

// A new scale while locked: each commit is the new configure's size at it
// (the compositor ends a client whose buffer is not), and the lock opens.
TEST_F(WaylandLockTest, AnOutputsNewScaleWhileLockedKeepsTheCoverRightAndTheLockOpenable) {
  CompositorProcess compositor({});
  ASSERT_TRUE(compositor.ready());
  Start(compositor, {"--lock"});
  ASSERT_TRUE(compositor.Await("locked"));
  for (const auto& [scale, commit] : {std::pair{"2", "640x480 scale 2"}, {"3", "639x480 scale 3"}, {"1", "640x480"}}) {
    compositor.Send(std::string("scale 0 ") + scale);
    ASSERT_TRUE(compositor.Await(std::string("commit lock_surface 0 ") + commit)) << scale << Stderr();
  }
  if (!pam_) return;  // the password needs the wrapper
  compositor.Send("key Escape");
  compositor.Send("type s3cret");
  compositor.Send("key Return");
  EXPECT_EQ(WaitExit(), 0) << Stderr();
}

TEST_F(WaylandLockTest, AGuardianKilledOrTerminatedLeavesTheSessionLocked) {
  for (const int signal : {SIGKILL, SIGTERM}) {
    CompositorProcess compositor({});
    ASSERT_TRUE(compositor.ready());
    Start(compositor, {"--lock"});
    ASSERT_TRUE(compositor.Await("locked"));
    kill(pid_, signal);
    EXPECT_TRUE(compositor.Await("gone locked")) << signal;
    WaitExit();
  }
}

TEST_F(WaylandLockTest, RefusesWithOneLineWhereItCannotLock) {
  struct Case {
    const char* flag;
    const char* reason;
  };
  pam_ = false;  // PAM is never asked, and its wrapper's notes would muddle standard error
  for (const Case& c : {Case{"--refuse-lock", "refused"}, Case{"--no-session-lock", "neither"}}) {
    CompositorProcess compositor({c.flag});
    ASSERT_TRUE(compositor.ready());
    Start(compositor, {"--lock"});
    EXPECT_EQ(WaitExit(), 2) << c.flag;
    const std::string said = Stderr();
    EXPECT_NE(said.find(c.reason), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  }
}

}  // namespace
