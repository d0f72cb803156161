// What every guardian of a locked screen does apart from its display: its
// seclusion (no core file, no debugger, a session of its own, the ending
// signals ignored), UTF-8 text whatever the environment, the names the
// prompt shows, the idle manager's sleep lock (XSS_SLEEP_LOCK_FD), and a
// detached run that returns to its caller once the screen is locked; and
// GuardianCore, the session, PAM's worker and the animation child with
// what a guardian's loop does with them.
#pragma once

#include <signal.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "orvo/animation_process.h"
#include "orvo/lock_link.h"
#include "orvo/lock_session.h"
#include "orvo/pam_worker.h"

namespace orvo::platform::lock {

// SIGTERM ends the lock; SIGCHLD tells of the animation's end. A guardian
// catches these two (into its poll loop) and ignores the rest.
inline constexpr int kWakingSignals[] = {SIGTERM, SIGCHLD};

// The user's name as the prompt shows it ("?" when unknown), and this
// computer's.
std::string GuardianUserName();
std::string GuardianHostName();

// Nothing typed into the guardian may end up in a core file or be read by
// a debugger; no terminal's keys or hang-up reach it (setsid fails
// harmlessly for a process group's leader, whose terminal signals are then
// ignored); every signal that would end or stop it but SIGTERM is ignored.
void SecludeGuardian();

// Keys become text through the locale: UTF-8 whatever the environment says.
void UseUtf8Locale();

// XSS_SLEEP_LOCK_FD, when it names an open descriptor: taken from the
// environment (never inherited by the animation) and returned, to be closed
// once locked. -1 otherwise.
int TakeSleepLock();

// A detached run: the guardian goes on in a child process (nothing returned
// there, `*told` set to write to once locked); this process waits until it
// is locked (0) or has given up (its exit code) and closes `sleep_lock`.
std::optional<int> DetachGuardian(int* told, int sleep_lock);

// The screen is locked: whoever waits for it (the idle manager's sleep
// lock, the caller of a detached run) hears of it. Both are closed and set
// to -1.
void TellLocked(int* told, int* sleep_lock);

// A guardian's state apart from its display: the session's decisions, PAM's
// worker and the animation child, the fresh starts after an unexpected end
// and the wind-down after the right password. A display's guardian derives
// from it, adds Forward and Show, and calls the steps below from its loop.
class GuardianCore : public SessionEffects {
 public:
  // SessionEffects: PAM's check and the answers to the animation.
  void StartCheck(const char* password) override { worker_.Start(password); }
  void Answer(const char* answer) override { worker_.Answer(answer); }
  void AbandonCheck() override { worker_.Abandon(); }
  void Verdict(std::uint32_t sequence, bool may_close) override;
  void Unlock() override;

 protected:
  // `args`: the program's command line, for the animation; `tty`: PAM's
  // PAM_TTY (the X display, or empty); `now`: the monotonic clock in ms.
  GuardianCore(std::vector<std::string> args, const std::string& tty, std::uint32_t (*now)());

  // After SIGCHLD: whether the animation ended. Unlocking, that ends the run
  // with its exit code; otherwise the lock stays and a fresh start is due
  // (a few a minute; beyond that the screen stays black).
  bool AnimationReaped(std::uint32_t now);
  // A fresh start due at `at` (a new frame size, say).
  void RestartAt(std::uint32_t at) {
    restart_due_ = true;
    restart_at_ = at;
  }
  // Whether the due fresh start is now (then it is no longer due).
  bool RestartNow(std::uint32_t now);
  // Unlocking: the run is over once the animation has ended, or kEndWait
  // after the unlock (then it is stopped).
  void WindDown(std::uint32_t now);
  // How long the loop may sleep for the steps above (~0u: no limit).
  std::uint32_t CoreWait(std::uint32_t now) const;

  std::uint32_t (*now_)();
  LockSession session_;
  PamWorker worker_;
  AnimationProcess animation_;
  bool unlocking_ = false;
  bool finished_ = false;
  int exit_code_ = 0;

 private:
  std::uint32_t unlock_since_ = 0;
  bool restart_due_ = false;
  std::uint32_t restart_at_ = 0;
};

}  // namespace orvo::platform::lock
