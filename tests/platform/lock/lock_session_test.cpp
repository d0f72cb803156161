// The guardian's decisions, driven event by event: what reaches the
// animation, what the prompt shows, when PAM is asked and what the
// animation is answered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orvo/lock_session.h"

namespace orvo::platform::lock {
namespace {

using Kind = BackendEvent::Kind;

struct Recorder final : SessionEffects {
  std::vector<LinkMessage> forwarded;
  PromptState shown;
  int shows = 0;
  std::vector<std::string> checks;   // passwords handed to PAM
  std::vector<std::string> answers;  // "<cancel>" for a cancelled question
  std::vector<std::pair<std::uint32_t, bool>> verdicts;
  int unlocks = 0;
  int abandoned = 0;

  void Forward(const LinkMessage& m) override { forwarded.push_back(m); }
  void Show(const PromptState& p) override {
    shown = p;
    ++shows;
  }
  void StartCheck(const char* password) override { checks.emplace_back(password); }
  void Answer(const char* a) override { answers.emplace_back(a != nullptr ? a : "<cancel>"); }
  void Verdict(std::uint32_t s, bool ok) override { verdicts.emplace_back(s, ok); }
  void Unlock() override { ++unlocks; }
  void AbandonCheck() override { ++abandoned; }
};

KeyInput Text(const char* s) {
  KeyInput k;
  k.kind = KeyInput::Kind::kText;
  k.text = s;
  k.length = std::char_traits<char>::length(s);
  return k;
}
KeyInput Special(KeyInput::Kind kind) {
  KeyInput k;
  k.kind = kind;
  return k;
}
const KeyInput kEnter = Special(KeyInput::Kind::kEnter);
const KeyInput kEscape = Special(KeyInput::Kind::kEscape);
const KeyInput kBackspace = Special(KeyInput::Kind::kBackspace);

class LockSessionTest : public ::testing::Test {
 protected:
  LockSessionTest() : session(effects) {}

  // A running animation asks for verification after a key press: the prompt is up.
  void PromptFor(std::uint32_t sequence, std::uint32_t now = 1000) {
    session.Key(now, Text("w"));
    session.VerifyRequest(now + 20, sequence);
    ASSERT_TRUE(effects.shown.visible);
  }
  void Type(std::uint32_t now, const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
      const char one[2] = {*c, '\0'};
      session.Key(now, Text(one));
    }
  }

  Recorder effects;
  LockSession session;
};

TEST_F(LockSessionTest, InputReachesARunningAnimationWithoutWhatWasTyped) {
  session.AnimationStarted();
  struct Step {
    const char* name;
    void (*act)(LockSession&);
    Kind kind;
    int x, y, button;
  };
  const Step steps[] = {
      {"motion", [](LockSession& s) { s.Motion(0, 10, 20); }, Kind::kMotion, 10, 20, 0},
      {"wheel", [](LockSession& s) { s.Wheel(5); }, Kind::kWheel, 10, 20, 5},
      {"button down", [](LockSession& s) { s.Button(0, 3, true); }, Kind::kButtonDown, 10, 20, 3},
      {"button up", [](LockSession& s) { s.Button(0, 3, false); }, Kind::kButtonUp, 10, 20, 3},
  };
  for (const Step& step : steps) {
    effects.forwarded.clear();
    step.act(session);
    ASSERT_EQ(effects.forwarded.size(), 1u) << step.name;
    const LinkMessage& m = effects.forwarded[0];
    EXPECT_EQ(m.type, static_cast<std::uint32_t>(LinkType::kInput)) << step.name;
    EXPECT_EQ(m.input, static_cast<std::int32_t>(step.kind)) << step.name;
    EXPECT_EQ(m.x, step.x) << step.name;
    EXPECT_EQ(m.y, step.y) << step.name;
    EXPECT_EQ(m.button, step.button) << step.name;
  }

  // A key: forwarded as a nameless press, whatever it typed; the next keys
  // are kept for the prompt the animation will ask for.
  LockSession fresh(effects);
  fresh.AnimationStarted();
  effects.forwarded.clear();
  KeyInput alt_q = Text("q");
  alt_q.alt = true;
  fresh.Key(0, alt_q);
  ASSERT_EQ(effects.forwarded.size(), 1u);
  EXPECT_EQ(effects.forwarded[0].input, static_cast<std::int32_t>(Kind::kKeyDown));
  EXPECT_EQ(effects.forwarded[0].vk, 0xFFu) << "the key's name stays with the guardian";
  EXPECT_EQ(effects.forwarded[0].alt, 1u);
  for (const char* c : {"s", "3", "c"}) fresh.Key(10, Text(c));
  fresh.Key(10, kBackspace);
  fresh.Key(10, kEscape);
  EXPECT_EQ(effects.forwarded.size(), 1u) << "keys after the first are never forwarded";
}

TEST_F(LockSessionTest, WithoutAnAnimationNothingIsForwarded) {
  session.Motion(0, 1, 1);
  session.Wheel(4);
  session.Button(0, 1, false);
  EXPECT_TRUE(effects.forwarded.empty());
}

TEST_F(LockSessionTest, KeysTypedBeforeThePromptComeGoIntoIt) {
  session.AnimationStarted();
  session.Key(1000, Text("x"));  // wakes: not part of the password
  Type(1010, "pa\xD1\x8F");    // "pa" and a Cyrillic letter
  session.Key(1010, kBackspace);
  Type(1010, "ss");
  EXPECT_FALSE(effects.shown.visible);
  session.VerifyRequest(1030, 7);
  EXPECT_TRUE(effects.shown.visible);
  EXPECT_EQ(effects.shown.bullets, 4) << "one bullet per character, not per byte";
  EXPECT_TRUE(effects.shown.accepting);
  session.Key(1040, kEnter);
  ASSERT_EQ(effects.checks.size(), 1u);
  EXPECT_EQ(effects.checks[0], "pass");
  EXPECT_TRUE(effects.shown.checking);
  EXPECT_EQ(effects.shown.bullets, 0) << "the typed password is wiped once handed to PAM";
}

TEST_F(LockSessionTest, AnAnimationThatAsksNothingInTimeGetsTheGuardiansOwnPrompt) {
  // Stopped or hung: after kPendingLimit the guardian's prompt comes with
  // the keys typed so far (and a typed-ahead Enter submits them).
  session.AnimationStarted();
  session.Key(1000, Text("x"));
  Type(1100, "secret");
  session.Tick(1000 + kPendingLimit - 1);
  EXPECT_FALSE(effects.shown.visible) << "the animation still has time";
  session.Tick(1000 + kPendingLimit);
  EXPECT_TRUE(effects.shown.visible);
  EXPECT_EQ(effects.shown.bullets, 6) << "what was typed is kept";
  session.VerifyRequest(1000 + kPendingLimit + 5000, 4);  // a late request is answered by this prompt
  session.Key(1000 + kPendingLimit + 5001, kEnter);
  ASSERT_EQ(effects.checks, std::vector<std::string>{"secret"});
  session.CheckDone(1000 + kPendingLimit + 5002, CheckVerdict::kAccepted, "");
  EXPECT_EQ(effects.unlocks, 1);
  EXPECT_EQ(effects.verdicts.back(), std::make_pair(4u, true));
}

TEST_F(LockSessionTest, EscapeOrAHangingPamAbandonsTheCheckAndTheFieldOpensAgain) {
  for (const auto& [escape, after] : {std::pair{true, 300u}, std::pair{false, kCheckLimit}}) {
    SCOPED_TRACE(escape ? "Escape" : "time-out");
    Recorder r;
    LockSession s(r);
    s.Key(0, Text("x"));
    for (const char* k : {"p", "w"}) s.Key(10, Text(k));
    s.Key(20, kEnter);
    ASSERT_TRUE(r.shown.checking);
    s.Tick(20 + after - 1);
    EXPECT_EQ(r.abandoned, 0);
    if (escape) s.Key(20 + after, kEscape);
    else s.Tick(20 + after);
    EXPECT_EQ(r.abandoned, 1);
    EXPECT_TRUE(r.shown.accepting && !r.shown.checking) << "the field is open again";
    ASSERT_EQ(r.shown.lines.size(), 1u) << "and says what happened";
    EXPECT_EQ(r.shown.lines[0].tone, PromptLine::Tone::kError);
    s.CheckDone(after + 30, CheckVerdict::kAccepted, "");  // nothing of the abandoned check counts
    EXPECT_EQ(r.unlocks, 0);
    s.Key(after + 40, Text("q"));
    s.Key(after + 41, kEnter);
    s.Tick(20 + after + kMessageHold - 1);
    EXPECT_EQ(r.checks.size(), 1u) << "no faster than PAM's delay after a wrong password";
    s.Tick(20 + after + kMessageHold);
    EXPECT_EQ(r.checks.back(), "q");
  }
}

TEST_F(LockSessionTest, EnterOrEscapeTypedAheadActAsSoonAsThePromptComes) {
  session.AnimationStarted();
  session.Key(0, Text("x"));
  Type(5, "pw");
  session.Key(5, kEnter);
  Type(6, "zz");  // after Enter: dropped
  session.VerifyRequest(10, 3);
  ASSERT_EQ(effects.checks.size(), 1u);
  EXPECT_EQ(effects.checks[0], "pw");

  Recorder other;
  LockSession cancelled(other);
  cancelled.AnimationStarted();
  cancelled.Key(0, Text("x"));
  Type(5, "pw");
  cancelled.Key(5, kEscape);
  cancelled.VerifyRequest(10, 4);
  ASSERT_EQ(other.verdicts.size(), 1u);
  EXPECT_EQ(other.verdicts[0], std::make_pair(4u, false));
  EXPECT_FALSE(other.shown.visible);
  EXPECT_TRUE(other.checks.empty());
}

TEST_F(LockSessionTest, OutcomesOfTheCheck) {
  struct Case {
    CheckVerdict verdict;
    const char* pam_message;
    bool unlocks;
    const char* line;  // shown for the hold, or nullptr when the prompt closes at once
    PromptLine::Tone tone;
  };
  const Case cases[] = {
      {CheckVerdict::kAccepted, "", true, nullptr, PromptLine::Tone::kInfo},
      {CheckVerdict::kAcceptedExpired, "", true, "Your password has expired: please change it soon",
       PromptLine::Tone::kInfo},
      {CheckVerdict::kWrong, "", false, "Wrong password", PromptLine::Tone::kError},
      {CheckVerdict::kRefused, "Account locked by the administrator", false, "Account locked by the administrator",
       PromptLine::Tone::kError},
      {CheckVerdict::kUnavailable, "Module is unknown", false, "The password cannot be checked: Module is unknown",
       PromptLine::Tone::kError},
      {CheckVerdict::kCancelled, "", false, nullptr, PromptLine::Tone::kInfo},
  };
  for (const Case& c : cases) {
    Recorder r;
    LockSession s(r);
    s.AnimationStarted();
    s.Key(1000, Text("w"));
    s.VerifyRequest(1010, 9);
    for (const char* ch : {"p", "w"}) s.Key(1020, Text(ch));
    s.Key(1030, kEnter);
    s.CheckDone(1500, c.verdict, c.pam_message);
    const int name = static_cast<int>(c.verdict);
    if (c.line == nullptr) {
      ASSERT_EQ(r.verdicts.size(), 1u) << name;
      EXPECT_EQ(r.verdicts[0], std::make_pair(9u, c.unlocks)) << name;
      EXPECT_EQ(r.unlocks, c.unlocks ? 1 : 0) << name;
      continue;
    }
    // The outcome stays on the screen for the hold, then counts.
    ASSERT_FALSE(r.shown.lines.empty()) << name;
    EXPECT_EQ(r.shown.lines.back().text, c.line) << name;
    EXPECT_EQ(r.shown.lines.back().tone, c.tone) << name;
    EXPECT_TRUE(r.shown.visible) << name;
    EXPECT_FALSE(r.shown.accepting) << name;
    s.Key(1600, Text("x"));  // keys during the hold do nothing
    s.Key(1600, kEscape);
    s.Tick(1500 + kMessageHold - 1);
    EXPECT_TRUE(r.verdicts.empty()) << name;
    EXPECT_EQ(r.unlocks, 0) << name;
    EXPECT_EQ(s.NextDeadline(1500 + kMessageHold - 1), 1u) << name;
    s.Tick(1500 + kMessageHold);
    ASSERT_EQ(r.verdicts.size(), 1u) << name;
    EXPECT_EQ(r.verdicts[0], std::make_pair(9u, c.unlocks)) << name;
    EXPECT_EQ(r.unlocks, c.unlocks ? 1 : 0) << name;
    if (!c.unlocks) {
      EXPECT_FALSE(r.shown.visible) << name;
    }
  }
}

TEST_F(LockSessionTest, EscapeAndThirtySecondsWithoutTypingCancel) {
  session.AnimationStarted();
  PromptFor(1, 1000);
  session.Key(1100, kEscape);
  ASSERT_EQ(effects.verdicts.size(), 1u);
  EXPECT_EQ(effects.verdicts[0], std::make_pair(1u, false));
  EXPECT_FALSE(effects.shown.visible);

  PromptFor(2, 5000);
  session.Key(6000, Text("a"));  // typing restarts the idle time
  session.Tick(6000 + kIdleLimit - 1);
  EXPECT_EQ(effects.verdicts.size(), 1u);
  session.Tick(6000 + kIdleLimit);
  ASSERT_EQ(effects.verdicts.size(), 2u);
  EXPECT_EQ(effects.verdicts[1], std::make_pair(2u, false));
  EXPECT_TRUE(effects.checks.empty());
}

TEST_F(LockSessionTest, PamQuestionsAreShownAndAnsweredByTheUser) {
  session.AnimationStarted();
  PromptFor(1);
  Type(1100, "pw");
  session.Key(1100, kEnter);
  session.PamMessage("Your token needs a second factor", false);
  session.PamQuestion(1200, "Verification code:", true);
  EXPECT_EQ(effects.shown.label, "Verification code:");
  EXPECT_TRUE(effects.shown.accepting);
  Type(1300, "42");
  EXPECT_EQ(effects.shown.echo, "42") << "an answer PAM lets be seen is shown";
  session.Key(1300, kEnter);
  session.PamQuestion(1400, "PIN:", false);
  Type(1500, "1234");
  EXPECT_EQ(effects.shown.echo, "");
  EXPECT_EQ(effects.shown.bullets, 4);
  session.Key(1500, kEscape);
  ASSERT_EQ(effects.answers.size(), 2u);
  EXPECT_EQ(effects.answers[0], "42");
  EXPECT_EQ(effects.answers[1], "<cancel>");
  ASSERT_FALSE(effects.shown.lines.empty());
  EXPECT_EQ(effects.shown.lines[0].text, "Your token needs a second factor");
  session.CheckDone(1600, CheckVerdict::kCancelled, "");
  ASSERT_EQ(effects.verdicts.size(), 1u);
  EXPECT_FALSE(effects.verdicts[0].second);
}

TEST_F(LockSessionTest, AQuestionLeftUnansweredIsCancelledAfterThirtySeconds) {
  session.AnimationStarted();
  PromptFor(1);
  session.Key(1100, kEnter);
  session.PamQuestion(2000, "Code:", true);
  session.Tick(2000 + kIdleLimit - 1);
  EXPECT_TRUE(effects.answers.empty());
  session.Tick(2000 + kIdleLimit);
  ASSERT_EQ(effects.answers.size(), 1u);
  EXPECT_EQ(effects.answers[0], "<cancel>");
}

TEST_F(LockSessionTest, WithoutAnAnimationTheGuardianAsksByItself) {
  // A key, a button or a movement of more than 4 pixels brings the prompt;
  // the right password unlocks with no one to answer.
  session.Motion(0, 100, 100);
  session.Motion(10, 103, 101);  // 4 in all: nothing yet
  EXPECT_FALSE(effects.shown.visible);
  session.Motion(20, 104, 101);
  EXPECT_TRUE(effects.shown.visible);
  session.Key(30, kEscape);
  EXPECT_FALSE(effects.shown.visible);
  EXPECT_TRUE(effects.verdicts.empty());
  session.Key(30 + kPromptGap - 1, Text("k"));
  EXPECT_FALSE(effects.shown.visible) << "no new prompt within 200 ms of the last";
  session.Button(30 + kPromptGap, 1, true);
  EXPECT_TRUE(effects.shown.visible);
  Type(300, "pw");
  session.Key(300, kEnter);
  session.CheckDone(400, CheckVerdict::kAccepted, "");
  EXPECT_EQ(effects.unlocks, 1);
  EXPECT_TRUE(effects.verdicts.empty());
}

TEST_F(LockSessionTest, TheAnimationEndingNeverLosesThePrompt) {
  // Ends while its prompt is up: the right password still unlocks.
  session.AnimationStarted();
  PromptFor(5);
  session.AnimationEnded(1100);
  Type(1200, "pw");
  session.Key(1200, kEnter);
  session.CheckDone(1300, CheckVerdict::kAccepted, "");
  EXPECT_EQ(effects.unlocks, 1);
  EXPECT_TRUE(effects.verdicts.empty()) << "nobody is left to answer";

  // Ends after a key but before it asked: the guardian asks, keeping what was typed.
  Recorder r;
  LockSession s(r);
  s.AnimationStarted();
  s.Key(0, Text("x"));
  for (const char* c : {"a", "b", "c"}) s.Key(5, Text(c));
  s.AnimationEnded(10);
  EXPECT_TRUE(r.shown.visible);
  EXPECT_EQ(r.shown.bullets, 3);

  // A new animation asking while the guardian's own prompt is up gets its outcome.
  s.AnimationStarted();
  s.VerifyRequest(20, 1);
  s.Key(30, kEnter);
  s.CheckDone(40, CheckVerdict::kAccepted, "");
  ASSERT_EQ(r.verdicts.size(), 1u);
  EXPECT_EQ(r.verdicts[0], std::make_pair(1u, true));
}

TEST_F(LockSessionTest, ASecondRequestDuringAPromptIsRefusedAtOnce) {
  session.AnimationStarted();
  PromptFor(1);
  session.VerifyRequest(1100, 2);
  ASSERT_EQ(effects.verdicts.size(), 1u);
  EXPECT_EQ(effects.verdicts[0], std::make_pair(2u, false));
  EXPECT_TRUE(effects.shown.visible) << "the first prompt goes on";
}

TEST_F(LockSessionTest, PointerMovementsAddUpBeyondFourPixels) {
  // 3 right and 1 down: keys still go to the animation. One more to the
  // right crosses the threshold: from then on keys wait for the prompt.
  session.AnimationStarted();
  session.Motion(0, 50, 50);
  session.Motion(1, 53, 51);
  session.Key(2, Text("a"));
  EXPECT_EQ(effects.forwarded.back().input, static_cast<std::int32_t>(Kind::kKeyDown));
  session.Tick(2 + kPendingLimit);  // that key's wait is over

  Recorder r;
  LockSession s(r);
  s.AnimationStarted();
  s.Motion(0, 50, 50);
  s.Motion(1, 53, 51);
  s.Motion(2, 54, 51);
  const std::size_t before = r.forwarded.size();
  s.Key(3, Text("a"));
  EXPECT_EQ(r.forwarded.size(), before) << "typed after a wake-up movement: kept for the prompt";
  s.VerifyRequest(4, 1);
  EXPECT_EQ(r.shown.bullets, 1);
  // While the prompt is up the pointer does nothing.
  s.Motion(5, 500, 500);
  s.Button(5, 1, true);
  EXPECT_EQ(r.forwarded.size(), before);
}

TEST(LockedSecretTest, KeepsWholeUtf8CharactersWithinItsCapacity) {
  LockedSecret s;
  EXPECT_TRUE(s.Append("\xD0\xBF", 2));    // п
  EXPECT_TRUE(s.Append("\xE2\x82\xAC", 3));  // €
  EXPECT_TRUE(s.Append("\xF0\x9F\x94\x91", 4));  // a four-byte character
  EXPECT_EQ(s.Characters(), 3);
  s.EraseLastCharacter();
  EXPECT_EQ(s.size(), 5u);
  EXPECT_STREQ(s.c_str(), "\xD0\xBF\xE2\x82\xAC");
  s.EraseLastCharacter();
  s.EraseLastCharacter();
  s.EraseLastCharacter();  // nothing left: no harm
  EXPECT_EQ(s.size(), 0u);

  std::string full(LockedSecret::kCapacity - 1, 'a');
  EXPECT_TRUE(s.Append(full.data(), full.size()));
  EXPECT_FALSE(s.Append("\xE2\x82\xAC", 3)) << "a character that does not fit is not cut";
  EXPECT_TRUE(s.Append("b", 1));
  EXPECT_FALSE(s.Append("c", 1));
  EXPECT_EQ(s.size(), LockedSecret::kCapacity);

  // Cleared means wiped, not just shortened.
  const char* data = s.c_str();
  s.Clear();
  for (std::size_t i = 0; i <= LockedSecret::kCapacity; ++i) ASSERT_EQ(data[i], '\0') << i;
  EXPECT_TRUE(s.Assign("xyz", 3));
  EXPECT_STREQ(s.c_str(), "xyz");
}

TEST(LockedSecretTest, AnotherCapacityIsKeptToTheByte) {
  LockedSecret s(255);  // the in-process prompt's
  const std::string full(254, 'a');
  EXPECT_TRUE(s.Append(full.data(), full.size()));
  EXPECT_FALSE(s.Append("\xD0\xBF", 2));
  EXPECT_TRUE(s.Append("b", 1));
  EXPECT_FALSE(s.Append("c", 1));
  EXPECT_EQ(s.size(), 255u);
}

}  // namespace
}  // namespace orvo::platform::lock
