// PAM's check in a helper process of its own, so the guardian keeps its
// grabs, its prompt and its watch while PAM works (and waits, after a wrong
// password), and can kill a check that hangs. The password travels to the
// helper over a socket pair and is wiped on both sides; the helper dies
// with the guardian. The first hidden question gets the password typed into
// the prompt; any other question is put to the user through the prompt and
// waits for the answer.
#pragma once

#include <sys/types.h>

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

  // Readable when events wait; the same descriptor for the worker's life.
  int descriptor() const { return wake_[0]; }

  // Starts a check with `password` (copied into locked memory).
  void Start(const char* password);
  // The user's answer to the current question, or nullptr to cancel it.
  void Answer(const char* answer);
  // Events since the last call, in order. A helper that ends without a
  // verdict shows as kDone with kUnavailable.
  std::deque<Event> TakeEvents();
  // TakeEvents handed to a locked screen's session, in order.
  void Deliver(LockSession& session, std::uint32_t (*now)());
  // Stops the running check at once (the helper and whatever PAM started
  // are killed); nothing it would have reported comes.
  void Abandon();
  // Whether a check is running.
  bool busy() const { return helper_ > 0; }

 private:
  void Finish();
  void Send(char kind, const char* text);

  std::string service_, user_, tty_;
  // wake_[0]: the helper's socket while a check runs, else the read end of
  // a pipe that is never written (wake_[1]; idle_ keeps a copy of its read end).
  int wake_[2] = {-1, -1};
  int idle_ = -1;
  pid_t helper_ = -1;
  bool waiting_ = false;  // the helper waits for the user's answer
  bool failed_ = false;   // no helper could be started: the check is over
  std::deque<pid_t> killed_;  // killed helpers not yet reaped
  friend class WorkerDialogue;
};

}  // namespace orvo::platform::lock
