// The lock under Debian 12's sway 1.7 (headless), which has no session lock:
// the input inhibitor with overlay surfaces. The saver and the prompt are
// on the screen, a wrong password keeps the lock, the animation's crash and
// kill keep it, and the right password (pam_wrapper with pam_matrix) opens
// it; no key typed meanwhile reaches another program's window. Keys come
// from a virtual keyboard plugged in for the whole test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "orvo/lock_prompt.h"
#include "tests/support/wayland/sway_session.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The processes running `program` with --lock: the guardian, and its child
// the animation (same command line, the guardian its parent).
void FindLock(const std::string& program, pid_t* guardian, pid_t* animation) {
  *guardian = *animation = -1;
  struct Process {
    pid_t pid, parent, session;
  };
  std::vector<Process> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream cmdline(entry.path() / "cmdline");
    std::string first;
    std::getline(cmdline, first, '\0');
    if (first != program) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    // Fields after the name in parentheses: state, parent, group, session.
    std::istringstream rest(line.substr(line.rfind(')') + 1));
    std::string state;
    pid_t parent = 0, group = 0, session = 0;
    rest >> state >> parent >> group >> session;
    found.push_back({std::stoi(name), parent, session});
  }
  for (const Process& p : found) {
    const bool child = std::any_of(found.begin(), found.end(), [&](const Process& f) { return f.pid == p.parent; });
    // The animation leads its own session; the password checker, also the
    // guardian's child while a check runs, does not.
    if (!child) {
      *guardian = p.pid;
    } else if (p.session == p.pid) {
      *animation = p.pid;
    }
  }
}

TEST(WaylandLockSwayTest, TheInputInhibitorLockHoldsUntilTheRightPassword) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "pam_wrapper cannot be preloaded into a sanitizer build";
#endif
  const std::string wrapper = ORVO_PAM_WRAPPER_LIBRARY, matrix = ORVO_PAM_MATRIX_MODULE;
  if (!fs::exists(wrapper) || !fs::exists(matrix)) GTEST_SKIP() << "needs pam_wrapper and pam_matrix";
  orvo::test::SwaySession sway;
  std::string why;
  if (!sway.Start(&why)) GTEST_SKIP() << why;
  const std::string dir = sway.folder();
  std::string user;
  ASSERT_EQ(sway.Run("id -un", &user), 0);
  user.erase(user.find_last_not_of('\n') + 1);
  sway.Run("mkdir -p " + dir + "/pam && printf '" + user + ":s3cret:orvo-saver\\n' > " + dir + "/passdb && printf " +
           "'auth required " + matrix + " passdb=" + dir + "/passdb\\naccount required " + matrix + " passdb=" + dir +
           "/passdb\\n' > " + dir + "/pam/orvo-saver && mkfifo " + dir + "/keys");
  const std::string keyboard = sway.Program(ORVO_TEST_DIR "/orvo-test-keyboard");
  sway.Spawn(keyboard + " hold < " + dir + "/keys", "keyboard.err");
  const int keys = open((dir + "/keys").c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(keys, 0);
  auto type = [&](const std::string& lines) { ASSERT_EQ(write(keys, lines.data(), lines.size()), static_cast<ssize_t>(lines.size())); };
  // Another program's window, which gets a key before the lock and none during it.
  const std::string counter = sway.Program(ORVO_TEST_DIR "/orvo-test-key-counter");
  sway.Spawn(counter + " " + dir + "/count", "counter.err");
  auto counted = [&] {
    std::ifstream in(dir + "/count");
    int n = -1;
    in >> n;
    return n;
  };
  for (int i = 0; i < 100 && counted() != 0; ++i) std::this_thread::sleep_for(50ms);
  type("key a\n");
  for (int i = 0; i < 100 && counted() != 1; ++i) std::this_thread::sleep_for(50ms);
  ASSERT_EQ(counted(), 1) << "the test window gets no keys even unlocked";
  const std::string plasma = sway.Program(ORVO_BIN_DIR "/plasma");
  const pid_t run = sway.Spawn("ORVO_CONFIG_DIR=" + dir + " LD_PRELOAD=" + wrapper + " PAM_WRAPPER=1 PAM_WRAPPER_SERVICE_DIR=" +
                               dir + "/pam exec " + plasma + " --lock", "lock.err");
  // The saver on the screen, then the prompt with the verdict on a wrong password.
  int colours = 0;
  for (int i = 0; i < 100 && colours < 100; ++i, std::this_thread::sleep_for(100ms))
    colours = sway.Shot("HEADLESS-1").DistinctColours();
  ASSERT_GE(colours, 100) << "no saver on the screen";
  type("key Escape\ntype wrong\nkey Return\n");
  long wrong = 0;
  for (int i = 0; i < 100 && wrong == 0; ++i, std::this_thread::sleep_for(50ms))
    wrong = sway.Shot("HEADLESS-1").Count(orvo::platform::lock::kErrorColour);
  EXPECT_GT(wrong, 0) << "no \"Wrong password\" on the screen";
  // The animation's crash, then its kill: the lock stays.
  for (const int signal : {SIGSEGV, SIGKILL}) {
    pid_t guardian = -1, animation = -1;
    for (int i = 0; i < 100 && animation < 0; ++i, std::this_thread::sleep_for(50ms)) FindLock(plasma, &guardian, &animation);
    ASSERT_GT(animation, 0);
    kill(animation, signal);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(sway.WaitExit(run, 0), -1) << "the lock ended with the animation's " << signal;
  }
  std::this_thread::sleep_for(1500ms);  // past the wrong password's hold
  type("key Escape\ntype s3cret\nkey Return\n");
  EXPECT_EQ(sway.WaitExit(run, 15000), 0);
  EXPECT_EQ(counted(), 1) << "keys typed into the lock reached another program";
  close(keys);
}

}  // namespace
