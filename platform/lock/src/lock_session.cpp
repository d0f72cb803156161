#include "orvo/lock_session.h"

#include <cstdlib>

#include "orvo/ticks.h"

namespace orvo::platform::lock {
namespace {

// Forwarded keys carry no name: the animation only needs to know that a key
// was pressed, and which one would tell it something about what is typed.
constexpr std::uint32_t kAnonymousKey = 0xFF;

std::uint32_t Until(std::uint32_t now, std::uint32_t when) {
  return TickReached(now, when) ? 0 : when - now;
}

}  // namespace

void LockSession::AnimationStarted() { animation_ = true; }

void LockSession::AnimationEnded(std::uint32_t now) {
  animation_ = false;
  // Its request has no one left to answer; the prompt stays and unlocks by itself.
  for_animation_ = false;
  if (phase_ == Phase::kPending) OpenPrompt(now, false, 0);  // what was typed for it is kept
}

void LockSession::ForwardInput(BackendEvent::Kind kind, int x, int y, int button, bool alt) {
  LinkMessage m;
  m.type = static_cast<std::uint32_t>(LinkType::kInput);
  m.input = static_cast<std::int32_t>(kind);
  m.x = x;
  m.y = y;
  m.button = button;
  m.vk = kind == BackendEvent::Kind::kKeyDown ? kAnonymousKey : 0;
  m.alt = alt ? 1 : 0;
  effects_.Forward(m);
}

void LockSession::BeginPending(std::uint32_t now) {
  phase_ = Phase::kPending;
  pending_since_ = now;
  typed_.Clear();
  submit_pending_ = cancel_pending_ = false;
}

bool LockSession::MayPromptItself(std::uint32_t now) const {
  return !prompted_before_ || now - last_prompt_end_ >= kPromptGap;
}

void LockSession::Key(std::uint32_t now, const KeyInput& key) {
  switch (phase_) {
    case Phase::kIdle:
      if (animation_) {
        ForwardInput(BackendEvent::Kind::kKeyDown, pointer_x_, pointer_y_, 0, key.alt);
        BeginPending(now);
      } else if (MayPromptItself(now)) {
        OpenPrompt(now, false, 0);  // this key only wakes, as it would the animation
      }
      return;
    case Phase::kPending:
      // Typed ahead of the prompt: kept for it, never forwarded.
      if (submit_pending_ || cancel_pending_) return;
      switch (key.kind) {
        case KeyInput::Kind::kText: typed_.Append(key.text, key.length); break;
        case KeyInput::Kind::kBackspace: typed_.EraseLastCharacter(); break;
        case KeyInput::Kind::kEnter: submit_pending_ = true; break;
        case KeyInput::Kind::kEscape:
          cancel_pending_ = true;
          typed_.Clear();
          break;
        case KeyInput::Kind::kOther: break;
      }
      return;
    case Phase::kTyping:
    case Phase::kAnswering:
      TypeKey(now, key);
      return;
    case Phase::kChecking:
      if (key.kind == KeyInput::Kind::kEscape) Abandon(now, "Password check abandoned");
      return;  // the field is closed meanwhile
    case Phase::kHolding:
    case Phase::kUnlocking:
      return;
  }
}

void LockSession::TypeKey(std::uint32_t now, const KeyInput& key) {
  last_key_ = now;
  switch (key.kind) {
    case KeyInput::Kind::kText:
      typed_.Append(key.text, key.length);
      break;
    case KeyInput::Kind::kBackspace:
      typed_.EraseLastCharacter();
      break;
    case KeyInput::Kind::kEnter:
      if (phase_ == Phase::kTyping) {
        Submit(now);
        return;
      }
      effects_.Answer(typed_.c_str());
      typed_.Clear();
      phase_ = Phase::kChecking;
      break;
    case KeyInput::Kind::kEscape:
      if (phase_ == Phase::kTyping) {
        ClosePrompt(now);
        return;
      }
      typed_.Clear();
      effects_.Answer(nullptr);
      phase_ = Phase::kChecking;
      break;
    case KeyInput::Kind::kOther:
      return;
  }
  Refresh();
}

void LockSession::Motion(std::uint32_t now, int x, int y) {
  pointer_x_ = x;
  pointer_y_ = y;
  if (!pointer_known_) {
    pointer_known_ = true;
    reference_x_ = x;
    reference_y_ = y;
  }
  if (phase_ != Phase::kIdle && phase_ != Phase::kPending) return;  // the prompt ignores the pointer
  if (animation_) ForwardInput(BackendEvent::Kind::kMotion, x, y, 0, false);
  const unsigned distance = static_cast<unsigned>(std::abs(x - reference_x_)) +
                            static_cast<unsigned>(std::abs(y - reference_y_));
  if (distance <= static_cast<unsigned>(kMotionThreshold)) return;
  reference_x_ = x;
  reference_y_ = y;
  if (phase_ != Phase::kIdle) return;
  if (animation_) {
    BeginPending(now);
  } else if (MayPromptItself(now)) {
    OpenPrompt(now, false, 0);
  }
}

void LockSession::Button(std::uint32_t now, int button, bool down) {
  if (phase_ != Phase::kIdle && phase_ != Phase::kPending) return;
  if (animation_) {
    ForwardInput(down ? BackendEvent::Kind::kButtonDown : BackendEvent::Kind::kButtonUp, pointer_x_,
                 pointer_y_, button, false);
    if (down && phase_ == Phase::kIdle) BeginPending(now);
  } else if (down && phase_ == Phase::kIdle && MayPromptItself(now)) {
    OpenPrompt(now, false, 0);
  }
}

void LockSession::Wheel(int button) {
  if ((phase_ == Phase::kIdle || phase_ == Phase::kPending) && animation_)
    ForwardInput(BackendEvent::Kind::kWheel, pointer_x_, pointer_y_, button, false);
}

void LockSession::VerifyRequest(std::uint32_t now, std::uint32_t sequence) {
  if (phase_ == Phase::kIdle || phase_ == Phase::kPending) {
    OpenPrompt(now, true, sequence);
    return;
  }
  if (!for_animation_ && phase_ != Phase::kUnlocking) {
    // A prompt of the guardian's own, from before the animation (re)started:
    // its outcome now answers this request.
    for_animation_ = true;
    sequence_ = sequence;
    return;
  }
  effects_.Verdict(sequence, phase_ == Phase::kUnlocking);
}

void LockSession::OpenPrompt(std::uint32_t now, bool for_animation, std::uint32_t sequence) {
  if (phase_ != Phase::kPending) typed_.Clear();
  phase_ = Phase::kTyping;
  for_animation_ = for_animation;
  sequence_ = sequence;
  last_key_ = now;
  echo_ = false;
  prompt_ = PromptState{};
  prompt_.visible = true;
  prompt_.label = "Password";
  if (cancel_pending_) {
    cancel_pending_ = submit_pending_ = false;
    ClosePrompt(now);
    return;
  }
  if (submit_pending_) {
    submit_pending_ = false;
    Submit(now);
    return;
  }
  Refresh();
}

void LockSession::Submit(std::uint32_t now) {
  phase_ = Phase::kChecking;
  last_key_ = now;
  prompt_.lines.clear();
  // An abandoned check must not skip PAM's delay after a wrong password:
  // the next one waits until kMessageHold after the abandonment.
  deferred_ = abandoned_ && !TickReached(now, retry_after_);
  if (!deferred_) {
    effects_.StartCheck(typed_.c_str());
    typed_.Clear();
  }
  Refresh();
}

void LockSession::ClosePrompt(std::uint32_t now) {
  if (for_animation_) effects_.Verdict(sequence_, false);
  for_animation_ = false;
  typed_.Clear();
  phase_ = Phase::kIdle;
  prompt_ = PromptState{};
  prompted_before_ = true;
  last_prompt_end_ = now;
  // A new request needs new movement from where the pointer is now.
  reference_x_ = pointer_x_;
  reference_y_ = pointer_y_;
  Refresh();
}

// PAM is stopped where it hangs; the field opens again for a new attempt.
void LockSession::Abandon(std::uint32_t now, const char* why) {
  effects_.AbandonCheck();
  abandoned_ = true;
  deferred_ = false;
  retry_after_ = now + kMessageHold;
  phase_ = Phase::kTyping;
  last_key_ = now;
  echo_ = false;
  typed_.Clear();
  prompt_.label = "Password";
  prompt_.lines.assign(1, {PromptLine::Tone::kError, why});
  Refresh();
}

void LockSession::Approve() {
  phase_ = Phase::kUnlocking;
  Refresh();
  if (for_animation_) effects_.Verdict(sequence_, true);
  for_animation_ = false;
  effects_.Unlock();
}

void LockSession::PamQuestion(std::uint32_t now, const std::string& question, bool echo) {
  if (phase_ != Phase::kChecking) {
    effects_.Answer(nullptr);
    return;
  }
  phase_ = Phase::kAnswering;
  echo_ = echo;
  typed_.Clear();
  last_key_ = now;
  prompt_.label = question;
  Refresh();
}

void LockSession::PamMessage(const std::string& text, bool error) {
  if (text.empty()) return;
  prompt_.lines.push_back({error ? PromptLine::Tone::kError : PromptLine::Tone::kInfo, text});
  Refresh();
}

void LockSession::CheckDone(std::uint32_t now, CheckVerdict verdict, const std::string& message) {
  if (phase_ != Phase::kChecking && phase_ != Phase::kAnswering) return;
  using Tone = PromptLine::Tone;
  unlock_after_hold_ = false;
  switch (verdict) {
    case CheckVerdict::kAccepted:
      Approve();
      return;
    case CheckVerdict::kCancelled:
      ClosePrompt(now);
      return;
    case CheckVerdict::kAcceptedExpired:
      prompt_.lines.push_back({Tone::kInfo, "Your password has expired: please change it soon"});
      unlock_after_hold_ = true;
      break;
    case CheckVerdict::kWrong:
      prompt_.lines.push_back({Tone::kError, "Wrong password"});
      break;
    case CheckVerdict::kRefused:
      prompt_.lines.push_back({Tone::kError, message.empty() ? "This account may not log in now" : message});
      break;
    case CheckVerdict::kUnavailable:
      prompt_.lines.push_back(
          {Tone::kError, message.empty() ? "The password cannot be checked" : "The password cannot be checked: " + message});
      break;
  }
  phase_ = Phase::kHolding;
  hold_until_ = now + kMessageHold;
  typed_.Clear();
  Refresh();
}

void LockSession::Tick(std::uint32_t now) {
  switch (phase_) {
    case Phase::kPending:
      // The animation asked nothing in time (stopped, hung, or starting
      // again and again): the guardian's own prompt takes what was typed.
      if (now - pending_since_ >= kPendingLimit) OpenPrompt(now, false, 0);
      return;
    case Phase::kChecking:
      if (deferred_ && TickReached(now, retry_after_)) {
        deferred_ = false;
        last_key_ = now;
        effects_.StartCheck(typed_.c_str());
        typed_.Clear();
      }
      if (now - last_key_ >= kCheckLimit) Abandon(now, "The password check took too long and was abandoned");
      return;
    case Phase::kTyping:
      if (now - last_key_ >= kIdleLimit) ClosePrompt(now);
      return;
    case Phase::kAnswering:
      if (now - last_key_ >= kIdleLimit) {
        typed_.Clear();
        effects_.Answer(nullptr);
        phase_ = Phase::kChecking;
        last_key_ = now;
        Refresh();
      }
      return;
    case Phase::kHolding:
      if (TickReached(now, hold_until_)) {
        if (unlock_after_hold_) {
          Approve();
        } else {
          ClosePrompt(now);
        }
      }
      return;
    default:
      return;
  }
}

std::uint32_t LockSession::NextDeadline(std::uint32_t now) const {
  switch (phase_) {
    case Phase::kPending: return Until(now, pending_since_ + kPendingLimit);
    case Phase::kChecking: return Until(now, deferred_ ? retry_after_ : last_key_ + kCheckLimit);
    case Phase::kTyping:
    case Phase::kAnswering: return Until(now, last_key_ + kIdleLimit);
    case Phase::kHolding: return Until(now, hold_until_);
    default: return ~0u;
  }
}

void LockSession::Refresh() {
  prompt_.accepting = phase_ == Phase::kTyping || phase_ == Phase::kAnswering;
  prompt_.checking = phase_ == Phase::kChecking;
  if (echo_ && phase_ == Phase::kAnswering) {
    prompt_.echo.assign(typed_.c_str(), typed_.size());
    prompt_.bullets = 0;
  } else {
    prompt_.echo.clear();
    prompt_.bullets = phase_ == Phase::kChecking ? 0 : typed_.Characters();
  }
  effects_.Show(prompt_);
}

}  // namespace orvo::platform::lock
