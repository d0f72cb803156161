// The message queue's storage: posted messages, the quit message and the
// timers. It sits below the window layer, which forgets a window's messages
// when the window goes; retrieval (the loop) sits above it.
#pragma once

#include <deque>
#include <vector>

#include "orvo/win_user.h"

namespace orvo::platform {

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT_PTR returned;  // what SetTimer answered, which KillTimer may be given
  DWORD period;
  DWORD due;
  TIMERPROC proc;
};

struct Queue {
  std::deque<MSG> posted;
  bool quit_posted = false;
  int quit_code = 0;
  std::vector<Timer> timers;
};

Queue& TheQueue();

// A message stamped with the time and the pointer's position.
MSG MakeMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// Appends a message to the queue.
void Post(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// Forgets the messages and timers of a window that is going away.
void ForgetWindowMessages(HWND hwnd);
// Empties the message queue and the timers (a fresh display).
void ResetQueue();

}  // namespace orvo::platform
