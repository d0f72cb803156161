// The guardian's animation: the saver program started again as a child
// process that draws inside the stage, linked by a socket pair; reaped,
// restarted a few times a minute after an unexpected end, and stopped.
#include "guardian_process.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace orvo::platform::lock::guardian {

bool Guardian::StartAnimation() {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
  // Everything the child needs is made before fork: after it only exec.
  std::vector<std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    if (std::strncmp(*e, kLinkVariable, std::strlen(kLinkVariable)) == 0) continue;
    if (std::strncmp(*e, kStageVariable, std::strlen(kStageVariable)) == 0) continue;
    env.emplace_back(*e);
  }
  env.push_back(std::string(kLinkVariable) + "=" + std::to_string(pair[1]));
  env.push_back(std::string(kStageVariable) + "=" + std::to_string(stage_));
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = args_;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t guardian = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Its own session: a hang-up of the terminal is not its business.
    setsid();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != guardian) _exit(1);
    fcntl(pair[1], F_SETFD, 0);
    DefaultEndingSignals();
    execve("/proc/self/exe", argv.data(), envp.data());
    _exit(127);
  }
  close(pair[1]);
  if (pid < 0) {
    close(pair[0]);
    return false;
  }
  animation_ = pid;
  link_ = pair[0];
  shown_ = false;
  started_ = Now();
  session_.AnimationStarted();
  return true;
}

namespace {

// Ignoring them all at once leaves SIGTERM's handler and SIGCHLD's alone.
bool Ending(int number) {
  return number != SIGKILL && number != SIGSTOP && number != SIGTERM && number != SIGCHLD && number != SIGCONT &&
         number != SIGURG && number != SIGWINCH;
}

void SetEndingSignals(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  // The C library's own signals (below SIGRTMIN) refuse a change.
  for (int number = 1; number < NSIG; ++number) {
    if (Ending(number)) sigaction(number, &action, nullptr);
  }
}

}  // namespace

void IgnoreEndingSignals() { SetEndingSignals(SIG_IGN); }

void DefaultEndingSignals() {
  SetEndingSignals(SIG_DFL);
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  for (int number : {SIGTERM, SIGCHLD}) sigaction(number, &plain, nullptr);
}

void Guardian::Reap() {
  if (animation_ <= 0) return;
  int status = 0;
  if (waitpid(animation_, &status, WNOHANG) != animation_) return;
  animation_ = -1;
  if (link_ >= 0) close(link_);
  link_ = -1;
  const std::uint32_t now = Now();
  session_.AnimationEnded(now);
  if (unlocking_) {
    finished_ = true;
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    return;
  }
  // Before its first frame or after, the lock stays.
  if (!covered_) MapCover();
  // A few fresh starts a minute; beyond that the screen stays black.
  while (!restarts_.empty() && now - restarts_.front() >= kRestartWindow) restarts_.pop_front();
  restart_due_ = true;
  restart_at_ = restarts_.size() < kRestartsPerWindow ? now + kRestartDelay : restarts_.front() + kRestartWindow;
}

void Guardian::StopAnimation(bool ask_first) {
  if (animation_ <= 0) return;
  if (ask_first) kill(animation_, SIGTERM);
  const std::uint32_t start = Now();
  int status = 0;
  while (ask_first && Now() - start < kEndWait) {
    if (waitpid(animation_, &status, WNOHANG) == animation_) {
      animation_ = -1;
      break;
    }
    usleep(10000);
  }
  if (animation_ > 0) {
    kill(animation_, SIGKILL);
    waitpid(animation_, &status, 0);
    animation_ = -1;
  }
  if (link_ >= 0) close(link_);
  link_ = -1;
}

}  // namespace orvo::platform::lock::guardian
