// The animation child: fork and exec with its link, reaping, restarts and
// stopping.
#include "orvo/animation_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "orvo/lock_link.h"
#include "orvo/shared_frame.h"

extern char** environ;

namespace orvo::platform::lock {
namespace {

bool Ending(int number) {
  return number != SIGKILL && number != SIGSTOP && number != SIGTERM && number != SIGCHLD && number != SIGCONT &&
         number != SIGURG && number != SIGWINCH;
}

void SetEndingSignals(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  for (int number = 1; number < NSIG; ++number)
    if (Ending(number)) sigaction(number, &action, nullptr);
}

bool Named(const char* entry, const std::string& name) {
  return std::strncmp(entry, name.c_str(), name.size()) == 0 && entry[name.size()] == '=';
}

}  // namespace

void IgnoreEndingSignals() { SetEndingSignals(SIG_IGN); }

void DefaultEndingSignals() {
  SetEndingSignals(SIG_DFL);
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  for (int number : {SIGTERM, SIGCHLD}) sigaction(number, &plain, nullptr);
}

bool AnimationProcess::Start(std::uint32_t, std::uint32_t stage, int frame_fd,
                             const std::vector<std::string>& drop) {
  if (pid_ > 0) return true;
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
  // Everything the child needs is made before fork: after it only exec.
  std::vector<std::string> names = drop;
  names.insert(names.end(), {kLinkVariable, kStageVariable, kFrameVariable});
  std::vector<std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    bool dropped = false;
    for (const std::string& name : names) dropped |= Named(*e, name);
    if (!dropped) env.emplace_back(*e);
  }
  env.push_back(std::string(kLinkVariable) + "=" + std::to_string(pair[1]));
  env.push_back(std::string(kStageVariable) + "=" + std::to_string(stage));
  if (frame_fd >= 0) env.push_back(std::string(kFrameVariable) + "=" + std::to_string(frame_fd));
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
    setsid();  // a hang-up of the terminal is not its business
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != guardian) _exit(1);
    fcntl(pair[1], F_SETFD, 0);
    if (frame_fd >= 0) fcntl(frame_fd, F_SETFD, 0);
    DefaultEndingSignals();
    execve("/proc/self/exe", argv.data(), envp.data());
    _exit(127);
  }
  close(pair[1]);
  if (pid < 0) {
    close(pair[0]);
    return false;
  }
  pid_ = pid;
  link_ = pair[0];
  return true;
}

bool AnimationProcess::Reap(std::uint32_t, int* code) {
  if (pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
  pid_ = -1;
  if (link_ >= 0) close(link_);
  link_ = -1;
  if (code != nullptr) *code = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
  return true;
}

std::uint32_t AnimationProcess::RestartAt(std::uint32_t now) {
  while (!restarts_.empty() && now - restarts_.front() >= kRestartWindow) restarts_.pop_front();
  const std::uint32_t at = restarts_.size() < kRestartsPerWindow ? now + kRestartDelay : restarts_.front() + kRestartWindow;
  restarts_.push_back(at);
  return at;
}

void AnimationProcess::Stop(bool ask_first) {
  if (pid_ <= 0) return;
  int status = 0;
  if (ask_first) {
    kill(pid_, SIGTERM);
    for (int waited = 0; waited < static_cast<int>(kEndWait) / 10; ++waited) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      usleep(10000);
    }
  }
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  if (link_ >= 0) close(link_);
  link_ = -1;
}

}  // namespace orvo::platform::lock
