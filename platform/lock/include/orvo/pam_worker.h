// PAM's check on a thread of its own, so the guardian keeps its grabs, its
// prompt and its watch while PAM works (and waits, after a wrong password).
// The first hidden question gets the password typed into the prompt; any
// other question is put to the user through the prompt and waits for the
// answer.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "orvo/lock_session.h"
#include "orvo/locked_secret.h"

namespace orvo::platform::lock {

class PamWorker {
 public:
  struct Event {
    enum class Kind { kQuestion, kMessage, kDone } kind = Kind::kDone;
    std::string text;
    bool flag = false;  // question: echo; message: error
    CheckVerdict verdict = CheckVerdict::kUnavailable;
  };

  PamWorker(std::string service, std::string user, std::string tty);
  ~PamWorker();
  PamWorker(const PamWorker&) = delete;
  PamWorker& operator=(const PamWorker&) = delete;

  // Readable when events wait.
  int descriptor() const { return wake_[0]; }

  // Starts a check with `password` (copied into locked memory).
  void Start(const char* password);
  // The user's answer to the current question, or nullptr to cancel it.
  void Answer(const char* answer);
  // Events since the last call, in order.
  std::deque<Event> TakeEvents();

 private:
  void Run();
  void Post(Event event);
  char* Ask(const char* question, bool echo);

  std::string service_, user_, tty_;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable answered_;
  std::deque<Event> events_;
  LockedSecret password_;
  LockedSecret answer_;
  bool first_used_ = false;
  bool waiting_ = false;
  bool has_answer_ = false;
  bool cancelled_ = false;
  friend class WorkerDialogue;
};

}  // namespace orvo::platform::lock
