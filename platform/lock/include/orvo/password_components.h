// The programs' password components: the current user's login password,
// checked with PAM under the service "orvo-saver".
#pragma once

#include <string>

#include "orvo/password.h"

namespace orvo::platform {

inline constexpr const char* kPamService = "orvo-saver";

// Registers "MPR.DLL" (a password change through PAM) and "PASSWORD.CPL".
// A locked screen's password is checked by its guardian process only: in
// the animation of a guardian "VerifyScreenSavePwd" asks the guardian;
// anywhere else "PASSWORD.CPL" has no such function, so a run that no
// guardian protects never claims to be locked.
void InstallPasswordComponents(const char* service = kPamService);

// The name of the user running the program.
std::string CurrentUserName();

// The user's side of a PAM conversation.
class PamDialogue {
 public:
  virtual ~PamDialogue() = default;
  // PAM asks `question` (`echo`: the answer may be shown). Returns the
  // answer in memory from malloc, which PAM takes over, or nullptr to cancel.
  virtual char* Ask(const char* question, bool echo) = 0;
  // PAM says something (`error`: a complaint rather than information).
  virtual void Tell(const char* text, bool error) = 0;
};

enum class PamOutcome {
  kAccepted,         // authenticated, and the account may log in
  kAcceptedExpired,  // authenticated, but the password has expired (account check)
  kWrong,            // not authenticated
  kRefused,          // the account may not log in now (or PAM refused the user)
  kUnavailable,      // PAM could not check
  kCancelled,        // the dialogue cancelled a question
};

struct PamResult {
  PamOutcome outcome = PamOutcome::kUnavailable;
  std::string message;  // PAM's reason for a refusal or failure, if any
};

// Authenticates `user` with the PAM service and checks the account; every
// question and message goes through `dialogue`. `tty` names the display
// for PAM (may be null).
PamResult PamAuthenticate(const char* service, const std::string& user, PamDialogue& dialogue,
                          const char* tty = nullptr);

// Conducts a password change through PAM, asking the user in dialogs.
void PamChangePassword(const char* service, const std::string& user);

}  // namespace orvo::platform
