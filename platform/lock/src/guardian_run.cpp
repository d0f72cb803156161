// What every guardian does apart from its display.
#include "orvo/guardian_run.h"

#include <fcntl.h>
#include <langinfo.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "orvo/animation_process.h"
#include "orvo/lock_contract.h"
#include "orvo/password_components.h"
#include "orvo/ticks.h"

namespace orvo::platform::lock {

std::string GuardianUserName() {
  const std::string name = CurrentUserName();
  return name.empty() ? "?" : name;
}

std::string GuardianHostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "this computer";
  return name;
}

void SecludeGuardian() {
  prctl(PR_SET_DUMPABLE, 0);
  rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);
  setsid();
  IgnoreEndingSignals();
}

void UseUtf8Locale() {
  std::setlocale(LC_ALL, "");
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}

int TakeSleepLock() {
  const char* text = std::getenv("XSS_SLEEP_LOCK_FD");
  if (text == nullptr || *text == '\0') return -1;
  char* end = nullptr;
  const long fd = std::strtol(text, &end, 10);
  unsetenv("XSS_SLEEP_LOCK_FD");
  if (*end != '\0' || fd < 0 || fd > 65535) return -1;
  const int flags = fcntl(static_cast<int>(fd), F_GETFD);
  if (flags < 0) return -1;
  fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
  return static_cast<int>(fd);
}

std::optional<int> DetachGuardian(int* told, int sleep_lock) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    std::perror("cannot lock: pipe");
    return kCouldNotLock;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fds[0]);
    *told = pipe_fds[1];
    return std::nullopt;
  }
  close(pipe_fds[1]);
  if (sleep_lock >= 0) close(sleep_lock);
  if (pid < 0) {
    close(pipe_fds[0]);
    std::perror("cannot lock: fork");
    return kCouldNotLock;
  }
  char byte = 0;
  ssize_t n = 0;
  do {
    n = read(pipe_fds[0], &byte, 1);
  } while (n < 0 && errno == EINTR);
  close(pipe_fds[0]);
  if (n == 1) return 0;  // locked; the guardian stays behind
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) != 0 ? WEXITSTATUS(status) : kCouldNotLock;
}

void TellLocked(int* told, int* sleep_lock) {
  if (*sleep_lock >= 0) close(*sleep_lock);
  *sleep_lock = -1;
  if (*told >= 0) {
    const char byte = 1;
    while (write(*told, &byte, 1) < 0 && errno == EINTR) {
    }
    close(*told);
  }
  *told = -1;
}

GuardianCore::GuardianCore(std::vector<std::string> args, const std::string& tty, std::uint32_t (*now)())
    : now_(now), session_(*this), worker_(kPamService, GuardianUserName(), tty), animation_(std::move(args)) {}

void GuardianCore::Verdict(std::uint32_t sequence, bool may_close) {
  LinkMessage m;
  m.type = static_cast<std::uint32_t>(LinkType::kVerdict);
  m.sequence = sequence;
  m.value = may_close ? 1 : 0;
  if (animation_.link() >= 0) SendLinkMessage(animation_.link(), m);
}

void GuardianCore::Unlock() {
  if (!unlocking_) unlock_since_ = now_();
  unlocking_ = true;
}

bool GuardianCore::AnimationReaped(std::uint32_t now) {
  int code = 0;
  if (!animation_.Reap(now, &code)) return false;
  session_.AnimationEnded(now);
  if (unlocking_) {
    finished_ = true;
    exit_code_ = code;
  } else {
    restart_due_ = true;
    restart_at_ = animation_.RestartAt(now);
  }
  return true;
}

bool GuardianCore::RestartNow(std::uint32_t now) {
  if (!restart_due_ || unlocking_ || !TickReached(now, restart_at_)) return false;
  restart_due_ = false;
  return true;
}

void GuardianCore::WindDown(std::uint32_t now) {
  if (!unlocking_ || finished_) return;
  if (!animation_.running()) {
    finished_ = true;
  } else if (now - unlock_since_ >= kEndWait) {
    animation_.Stop(false);
    finished_ = true;
  }
}

std::uint32_t GuardianCore::CoreWait(std::uint32_t now) const {
  std::uint32_t wait = session_.NextDeadline(now);
  if (restart_due_) wait = std::min(wait, TickReached(now, restart_at_) ? 0u : restart_at_ - now);
  return wait;
}

}  // namespace orvo::platform::lock
