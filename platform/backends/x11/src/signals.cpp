#include "signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace orvo::platform::x11 {
namespace {

int g_pipe[2] = {-1, -1};
int g_catchers = 0;  // catches not yet released, over every signal
volatile sig_atomic_t g_caught[NSIG] = {};
int g_users[NSIG] = {};
struct sigaction g_previous[NSIG];

bool Valid(int number) { return number > 0 && number < NSIG; }

void OnSignal(int number) {
  const int saved = errno;
  if (Valid(number)) g_caught[number] = 1;
  if (g_pipe[1] >= 0) {
    const char byte = 1;
    if (write(g_pipe[1], &byte, 1) < 0) {
      // The pipe is full: a wake-up is already pending.
    }
  }
  errno = saved;
}

}  // namespace

void CatchSignals(std::span<const int> numbers) {
  for (const int number : numbers) {
    if (!Valid(number)) continue;
    if (g_catchers++ == 0 && pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0) g_pipe[0] = g_pipe[1] = -1;
    if (g_users[number]++ > 0) continue;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(number, &action, &g_previous[number]);
  }
}

void ReleaseSignals(std::span<const int> numbers) {
  for (const int number : numbers) {
    if (!Valid(number) || g_users[number] == 0) continue;
    if (--g_users[number] == 0) sigaction(number, &g_previous[number], nullptr);
    if (--g_catchers > 0) continue;
    for (int& fd : g_pipe) {
      if (fd >= 0) close(fd);
      fd = -1;
    }
  }
}

int SignalDescriptor() { return g_pipe[0]; }

void DrainSignalPipe() {
  if (g_pipe[0] < 0) return;
  char bytes[64];
  while (read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
}

bool SignalCaught(int number) { return Valid(number) && g_caught[number] != 0; }

void ClearSignal(int number) {
  if (Valid(number)) g_caught[number] = 0;
}

}  // namespace orvo::platform::x11
