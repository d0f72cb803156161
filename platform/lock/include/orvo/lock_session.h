// What the guardian of a locked screen does with each event: the decisions
// only, with no display, PAM or process in them. The guardian feeds it the
// user's input, the animation's requests and PAM's progress, and carries out
// what it asks through SessionEffects.
//
// Rules:
// - While no prompt is up, input goes to the animation: keys as a bare key
//   press (no text, no key name), buttons, the wheel and pointer motion. The
//   animation decides, by its own rules, whether to ask for verification.
// - After a forwarded key or button press, or a pointer movement of more
//   than 4 pixels, keys are kept for the prompt the animation is expected to
//   ask for; if it asks nothing within kPendingLimit (stopped, hung, dying
//   again and again) the guardian opens its own prompt with those keys in it.
// - Without a running animation the guardian asks for the password itself
//   on the same input (at most one prompt per kPromptGap after the last).
// - While a prompt is up every key is the prompt's; the pointer does nothing.
// - Escape or kIdleLimit without a key cancel the prompt. A wrong password
//   stays on the screen for kMessageHold before the prompt closes; so do a
//   refusal and an expired password (which still unlocks).
// - Escape while PAM checks, or kCheckLimit without an answer from it,
//   abandons the check (AbandonCheck) and opens the field again, saying so;
//   the next check starts kMessageHold after the abandonment at the earliest
//   (so abandoning never skips PAM's delay after a wrong password).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orvo/lock_contract.h"
#include "orvo/lock_link.h"
#include "orvo/locked_secret.h"

namespace orvo::platform::lock {

inline constexpr std::uint32_t kPendingLimit = 1500;
inline constexpr std::uint32_t kMessageHold = 2000;
inline constexpr std::uint32_t kPromptGap = 200;
inline constexpr int kMotionThreshold = 4;
inline constexpr std::uint32_t kCheckLimit = 30000;

// A key press as the guardian read it.
struct KeyInput {
  enum class Kind { kText, kBackspace, kEnter, kEscape, kOther };
  Kind kind = Kind::kOther;
  const char* text = nullptr;  // UTF-8 of a kText key (not kept)
  std::size_t length = 0;
  bool alt = false;
};

// What PAM's check came to.
enum class CheckVerdict {
  kAccepted,         // right password, account fine
  kAcceptedExpired,  // right password, but it has expired: unlock and say so
  kWrong,            // wrong password
  kRefused,          // right or not, the account may not log in now
  kUnavailable,      // PAM could not check
  kCancelled,        // the user cancelled one of PAM's questions
};

struct PromptLine {
  enum class Tone { kInfo, kError } tone = Tone::kInfo;
  std::string text;
};

// What the prompt shows.
struct PromptState {
  bool visible = false;
  std::string label;         // PAM's question, or "Password"
  int bullets = 0;           // one per typed character of a hidden answer
  std::string echo;          // the typed answer to a question PAM lets be shown
  bool accepting = false;    // keys are typed into the field (a caret shows)
  bool checking = false;     // PAM is at work
  std::vector<PromptLine> lines;  // PAM's messages and the outcome
};

class SessionEffects {
 public:
  virtual ~SessionEffects() = default;
  virtual void Forward(const LinkMessage& input) = 0;
  virtual void Show(const PromptState& prompt) = 0;
  // Starts PAM's check with the typed password (copied by the callee).
  virtual void StartCheck(const char* password) = 0;
  // Answers PAM's current question; nullptr cancels it.
  virtual void Answer(const char* answer) = 0;
  // Answers the animation's verification request `sequence`.
  virtual void Verdict(std::uint32_t sequence, bool may_close) = 0;
  // The right password was given: end the lock.
  virtual void Unlock() = 0;
  // The running check is given up (Escape, or PAM took kCheckLimit): stop
  // it; nothing it reports afterwards counts.
  virtual void AbandonCheck() = 0;
};

class LockSession {
 public:
  explicit LockSession(SessionEffects& effects) : effects_(effects) {}

  void AnimationStarted();
  void AnimationEnded(std::uint32_t now);
  bool animation_running() const { return animation_; }

  void Key(std::uint32_t now, const KeyInput& key);
  void Motion(std::uint32_t now, int x, int y);
  void Button(std::uint32_t now, int button, bool down);
  void Wheel(int button);

  void VerifyRequest(std::uint32_t now, std::uint32_t sequence);

  void PamQuestion(std::uint32_t now, const std::string& question, bool echo);
  void PamMessage(const std::string& text, bool error);
  void CheckDone(std::uint32_t now, CheckVerdict verdict, const std::string& message);

  // Timeouts; call at least every NextDeadline.
  void Tick(std::uint32_t now);
  // Milliseconds from `now` to the next timeout, or ~0u.
  std::uint32_t NextDeadline(std::uint32_t now) const;

  bool prompt_up() const { return phase_ != Phase::kIdle && phase_ != Phase::kPending; }
  bool unlocking() const { return phase_ == Phase::kUnlocking; }
  const PromptState& prompt() const { return prompt_; }

 private:
  enum class Phase { kIdle, kPending, kTyping, kChecking, kAnswering, kHolding, kUnlocking };

  void ForwardInput(BackendEvent::Kind kind, int x, int y, int button, bool alt);
  void BeginPending(std::uint32_t now);
  void OpenPrompt(std::uint32_t now, bool for_animation, std::uint32_t sequence);
  void TypeKey(std::uint32_t now, const KeyInput& key);
  void Submit(std::uint32_t now);
  void ClosePrompt(std::uint32_t now);
  void Abandon(std::uint32_t now, const char* why);
  void Approve();
  bool MayPromptItself(std::uint32_t now) const;
  void Refresh();

  SessionEffects& effects_;
  Phase phase_ = Phase::kIdle;
  bool animation_ = false;
  // The verification request the prompt answers, if the animation asked.
  bool for_animation_ = false;
  std::uint32_t sequence_ = 0;

  LockedSecret typed_;
  bool echo_ = false;           // the current question's answer may be shown
  bool submit_pending_ = false;  // Enter was pressed before the prompt came
  bool cancel_pending_ = false;  // Escape was pressed before the prompt came
  bool unlock_after_hold_ = false;
  bool abandoned_ = false;          // a check was abandoned: the next waits for retry_after_
  bool deferred_ = false;           // the submitted password waits for retry_after_
  std::uint32_t retry_after_ = 0;
  std::uint32_t pending_since_ = 0;
  std::uint32_t last_key_ = 0;
  std::uint32_t hold_until_ = 0;
  bool prompted_before_ = false;
  std::uint32_t last_prompt_end_ = 0;

  bool pointer_known_ = false;
  int pointer_x_ = 0, pointer_y_ = 0;
  int reference_x_ = 0, reference_y_ = 0;

  PromptState prompt_;
};

}  // namespace orvo::platform::lock
