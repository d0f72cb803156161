// What every guardian of a locked screen does apart from its display: its
// seclusion (no core file, no debugger, a session of its own, the ending
// signals ignored), UTF-8 text whatever the environment, the names the
// prompt shows, the idle manager's sleep lock (XSS_SLEEP_LOCK_FD), and a
// detached run that returns to its caller once the screen is locked.
#pragma once

#include <signal.h>

#include <optional>
#include <string>

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

}  // namespace orvo::platform::lock
