#include "orvo/pam_worker.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "orvo/password.h"
#include "orvo/password_components.h"

namespace orvo::platform::lock {
namespace {

// Messages between the guardian and its helper, one a packet: a kind byte,
// a flag byte, a verdict byte, then text.
constexpr std::size_t kPacket = 4096;
constexpr char kPassword = 'P', kAnswer = 'A', kCancel = 'C';      // to the helper
constexpr char kQuestion = 'Q', kMessage = 'M', kDone = 'D';       // from it

// A packet that holds a secret: wiped when it goes.
struct Packet {
  char bytes[kPacket];
  ~Packet() { WipeSecret(bytes, sizeof bytes); }
};

bool SendPacket(int fd, char kind, bool flag, int verdict, const char* text) {
  Packet p;
  p.bytes[0] = kind;
  p.bytes[1] = flag ? 1 : 0;
  p.bytes[2] = static_cast<char>(verdict);
  std::size_t n = text != nullptr ? std::strlen(text) : 0;
  if (n > kPacket - 3) n = kPacket - 3;
  if (n > 0) std::memcpy(p.bytes + 3, text, n);
  ssize_t sent = 0;
  do {
    sent = send(fd, p.bytes, n + 3, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(n + 3);
}

// Blocks for the next packet; its length, or -1 when the other side is gone.
ssize_t ReceivePacket(int fd, Packet& p) {
  ssize_t n = 0;
  do {
    n = recv(fd, p.bytes, sizeof p.bytes - 1, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 3) return -1;
  p.bytes[n] = '\0';
  return n;
}

CheckVerdict VerdictOf(PamOutcome outcome) {
  switch (outcome) {
    case PamOutcome::kAccepted: return CheckVerdict::kAccepted;
    case PamOutcome::kAcceptedExpired: return CheckVerdict::kAcceptedExpired;
    case PamOutcome::kWrong: return CheckVerdict::kWrong;
    case PamOutcome::kRefused: return CheckVerdict::kRefused;
    case PamOutcome::kCancelled: return CheckVerdict::kCancelled;
    case PamOutcome::kUnavailable: break;
  }
  return CheckVerdict::kUnavailable;
}

void KillHelper(pid_t pid) {
  kill(-pid, SIGKILL);  // its process group: whatever PAM's modules started
  kill(pid, SIGKILL);
}

}  // namespace

// The helper's side: PAM's questions and messages go to the guardian; the
// first hidden question gets the password the guardian sent.
class WorkerDialogue final : public PamDialogue {
 public:
  WorkerDialogue(int fd, LockedSecret& password) : fd_(fd), password_(password) {}
  char* Ask(const char* question, bool echo) override {
    if (!echo && !first_used_) {
      first_used_ = true;
      char* answer = strdup(password_.c_str());
      password_.Clear();
      return answer;
    }
    if (!SendPacket(fd_, kQuestion, echo, 0, question)) return nullptr;
    Packet p;
    const ssize_t n = ReceivePacket(fd_, p);
    if (n < 0 || p.bytes[0] != kAnswer) return nullptr;
    return strdup(p.bytes + 3);
  }
  void Tell(const char* text, bool error) override { SendPacket(fd_, kMessage, error, 0, text); }

 private:
  int fd_;
  LockedSecret& password_;
  bool first_used_ = false;
};

namespace {

[[noreturn]] void RunHelper(int fd, pid_t guardian, const std::string& service, const std::string& user,
                            const std::string& tty) {
  // Dies with the guardian; a group of its own, so everything PAM starts
  // can be killed with it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != guardian) _exit(1);
  setpgid(0, 0);
  // Nothing of the guardian's but the socket: not its display connection,
  // not the animation's link.
  if (fd != 3) {
    dup2(fd, 3);
    fd = 3;
  }
  if (close_range(4, ~0u, 0) != 0)
    for (int other = 4; other < 1024; ++other) close(other);
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  for (int number = 1; number < NSIG; ++number) sigaction(number, &plain, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);

  LockedSecret password;
  {
    Packet p;
    const ssize_t n = ReceivePacket(fd, p);
    if (n < 0 || p.bytes[0] != kPassword) _exit(1);
    password.Assign(p.bytes + 3, static_cast<std::size_t>(n - 3));
  }
  WorkerDialogue dialogue(fd, password);
  const PamResult result = PamAuthenticate(service.c_str(), user, dialogue, tty.c_str());
  password.Clear();
  SendPacket(fd, kDone, false, static_cast<int>(VerdictOf(result.outcome)), result.message.c_str());
  _exit(0);
}

}  // namespace

PamWorker::PamWorker(std::string service, std::string user, std::string tty)
    : service_(std::move(service)), user_(std::move(user)), tty_(std::move(tty)) {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    wake_[0] = wake_[1] = -1;
    return;
  }
  idle_ = fcntl(wake_[0], F_DUPFD_CLOEXEC, 0);
}

PamWorker::~PamWorker() {
  Abandon();
  for (pid_t pid : killed_) waitpid(pid, nullptr, WNOHANG);
  for (int fd : {wake_[0], wake_[1], idle_})
    if (fd >= 0) close(fd);
}

void PamWorker::Start(const char* password) {
  Abandon();  // an earlier check's verdict was seen, or no longer counts
  int pair[2];
  // Without a helper the check ends at once, as one PAM could not make.
  auto fail = [this](const char* what) {
    std::perror(what);
    failed_ = true;
    const char byte = 1;
    if (wake_[1] >= 0 && write(wake_[1], &byte, 1) < 0) {
    }
  };
  if (idle_ < 0 || socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
    fail("cannot check the password: socketpair");
    return;
  }
  const pid_t guardian = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    close(pair[0]);
    RunHelper(pair[1], guardian, service_, user_, tty_);
  }
  close(pair[1]);
  if (pid < 0) {
    close(pair[0]);
    fail("cannot check the password: fork");
    return;
  }
  setpgid(pid, pid);
  helper_ = pid;
  waiting_ = false;
  // The helper's socket takes the place of the idle pipe: descriptor() stays.
  dup3(pair[0], wake_[0], O_CLOEXEC);
  close(pair[0]);
  Send(kPassword, password);
}

void PamWorker::Send(char kind, const char* text) {
  if (helper_ > 0) SendPacket(wake_[0], kind, false, 0, text);
}

void PamWorker::Answer(const char* answer) {
  if (helper_ <= 0 || !waiting_) return;
  waiting_ = false;
  Send(answer != nullptr ? kAnswer : kCancel, answer);
}

// The helper has given its verdict or is gone: reaped, the idle pipe back.
void PamWorker::Finish() {
  if (helper_ <= 0) return;
  KillHelper(helper_);
  if (waitpid(helper_, nullptr, WNOHANG) != helper_) killed_.push_back(helper_);
  helper_ = -1;
  waiting_ = false;
  dup3(idle_, wake_[0], O_CLOEXEC);
  // A killed helper stuck in the kernel is reaped once it can be.
  for (auto it = killed_.begin(); it != killed_.end();)
    it = waitpid(*it, nullptr, WNOHANG) == 0 ? it + 1 : killed_.erase(it);
}

void PamWorker::Abandon() {
  Finish();
  if (failed_) {
    // The wake-up of a failed start goes with it.
    char bytes[16];
    while (read(wake_[0], bytes, sizeof bytes) > 0) {
    }
  }
  failed_ = false;
}

void PamWorker::Deliver(LockSession& session, std::uint32_t (*now)()) {
  for (Event& e : TakeEvents()) {
    switch (e.kind) {
      case Event::Kind::kQuestion: session.PamQuestion(now(), e.text, e.flag); break;
      case Event::Kind::kMessage: session.PamMessage(e.text, e.flag); break;
      case Event::Kind::kDone: session.CheckDone(now(), e.verdict, e.text); break;
    }
  }
}

std::deque<PamWorker::Event> PamWorker::TakeEvents() {
  std::deque<Event> events;
  if (failed_) {
    Abandon();
    Event e;
    e.kind = Event::Kind::kDone;
    e.verdict = CheckVerdict::kUnavailable;
    e.text = "no process for the check";
    events.push_back(std::move(e));
  }
  while (helper_ > 0) {
    Packet p;
    const ssize_t n = recv(wake_[0], p.bytes, sizeof p.bytes - 1, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    Event e;
    if (n < 3) {
      // Gone without a verdict (a module crashed it).
      Finish();
      e.kind = Event::Kind::kDone;
      e.verdict = CheckVerdict::kUnavailable;
      e.text = "the check ended unexpectedly";
      events.push_back(std::move(e));
      break;
    }
    p.bytes[n] = '\0';
    e.text = p.bytes + 3;
    e.flag = p.bytes[1] != 0;
    if (p.bytes[0] == kQuestion) {
      e.kind = Event::Kind::kQuestion;
      waiting_ = true;
    } else if (p.bytes[0] == kMessage) {
      e.kind = Event::Kind::kMessage;
    } else {
      e.kind = Event::Kind::kDone;
      const int v = p.bytes[2];
      e.verdict = v >= 0 && v <= static_cast<int>(CheckVerdict::kCancelled) ? static_cast<CheckVerdict>(v)
                                                                            : CheckVerdict::kUnavailable;
      Finish();
    }
    events.push_back(std::move(e));
  }
  return events;
}

}  // namespace orvo::platform::lock
