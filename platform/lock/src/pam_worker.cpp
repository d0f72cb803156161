#include "orvo/pam_worker.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "orvo/password_components.h"

namespace orvo::platform::lock {

class WorkerDialogue final : public PamDialogue {
 public:
  explicit WorkerDialogue(PamWorker& worker) : worker_(worker) {}
  char* Ask(const char* question, bool echo) override { return worker_.Ask(question, echo); }
  void Tell(const char* text, bool error) override {
    PamWorker::Event e;
    e.kind = PamWorker::Event::Kind::kMessage;
    e.text = text != nullptr ? text : "";
    e.flag = error;
    worker_.Post(std::move(e));
  }

 private:
  PamWorker& worker_;
};

namespace {

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

}  // namespace

PamWorker::PamWorker(std::string service, std::string user, std::string tty)
    : service_(std::move(service)), user_(std::move(user)), tty_(std::move(tty)) {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

PamWorker::~PamWorker() {
  if (thread_.joinable()) {
    Answer(nullptr);  // a question waiting for the user is cancelled
    thread_.join();
  }
  for (int fd : wake_)
    if (fd >= 0) close(fd);
}

void PamWorker::Start(const char* password) {
  if (thread_.joinable()) thread_.join();  // the previous check has ended (its result was seen)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    password_.Assign(password, std::strlen(password));
    first_used_ = false;
    waiting_ = has_answer_ = cancelled_ = false;
    events_.clear();
  }
  thread_ = std::thread([this] { Run(); });
}

void PamWorker::Run() {
  WorkerDialogue dialogue(*this);
  const PamResult result = PamAuthenticate(service_.c_str(), user_, dialogue, tty_.c_str());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    password_.Clear();
  }
  Event done;
  done.kind = Event::Kind::kDone;
  done.verdict = VerdictOf(result.outcome);
  done.text = result.message;
  Post(std::move(done));
}

void PamWorker::Post(Event event) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
  }
  const char byte = 1;
  if (wake_[1] >= 0 && write(wake_[1], &byte, 1) < 0) {
    // Full: a wake-up is pending anyway.
  }
}

char* PamWorker::Ask(const char* question, bool echo) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!echo && !first_used_) {
    // The password the user typed before PAM asked for it.
    first_used_ = true;
    char* answer = strdup(password_.c_str());
    password_.Clear();
    return answer;
  }
  Event e;
  e.kind = Event::Kind::kQuestion;
  e.text = question != nullptr ? question : "";
  e.flag = echo;
  events_.push_back(std::move(e));
  waiting_ = true;
  has_answer_ = cancelled_ = false;
  lock.unlock();
  const char byte = 1;
  if (wake_[1] >= 0 && write(wake_[1], &byte, 1) < 0) {
  }
  lock.lock();
  answered_.wait(lock, [this] { return has_answer_ || cancelled_; });
  waiting_ = false;
  if (cancelled_) return nullptr;
  char* answer = strdup(answer_.c_str());
  answer_.Clear();
  has_answer_ = false;
  return answer;
}

void PamWorker::Answer(const char* answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!waiting_) return;
  if (answer == nullptr) {
    cancelled_ = true;
  } else {
    answer_.Assign(answer, std::strlen(answer));
    has_answer_ = true;
  }
  answered_.notify_all();
}

std::deque<PamWorker::Event> PamWorker::TakeEvents() {
  if (wake_[0] >= 0) {
    char bytes[64];
    while (read(wake_[0], bytes, sizeof bytes) > 0) {
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  std::deque<Event> taken;
  taken.swap(events_);
  return taken;
}

}  // namespace orvo::platform::lock
