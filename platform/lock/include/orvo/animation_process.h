// The animation of a locked screen as a child process: the saver program
// started again with the link to its guardian (and, where the guardian
// presents the picture itself, a frame in shared memory) in its
// environment; reaped, restarted a few times a minute after an unexpected
// end, and stopped. Display-independent: a guardian decides what to show
// meanwhile.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace orvo::platform::lock {

inline constexpr std::uint32_t kRestartWindow = 60000;
inline constexpr std::size_t kRestartsPerWindow = 3;  // restarts within kRestartWindow
inline constexpr std::uint32_t kRestartDelay = 250;
inline constexpr std::uint32_t kEndWait = 3000;  // for the animation's own tear-down

// Every catchable signal that would end or stop a guardian, but SIGTERM
// and SIGCHLD: ignored while locked, back to their defaults in the child.
void IgnoreEndingSignals();
void DefaultEndingSignals();

class AnimationProcess {
 public:
  // `args`: the program's command line, handed on unchanged.
  explicit AnimationProcess(std::vector<std::string> args) : args_(std::move(args)) {}
  ~AnimationProcess() { Stop(false); }

  // Starts the child with the link's other end and `stage` in its
  // environment, and `frame_fd` (>= 0) as the shared frame. `drop`: names
  // of variables the child must not see (a display it must not open).
  bool Start(std::uint32_t now, std::uint32_t stage, int frame_fd, const std::vector<std::string>& drop);
  // After SIGCHLD: whether the child ended (then link() is closed); its
  // exit code in *code.
  bool Reap(std::uint32_t now, int* code);
  // SIGTERM first when `ask_first` (waiting kEndWait), then SIGKILL.
  void Stop(bool ask_first);

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  int link() const { return link_; }
  // After an unexpected end: when the next start is due (a few a minute).
  std::uint32_t RestartAt(std::uint32_t now);

 private:
  std::vector<std::string> args_;
  pid_t pid_ = -1;
  int link_ = -1;
  std::deque<std::uint32_t> restarts_;
};

}  // namespace orvo::platform::lock
