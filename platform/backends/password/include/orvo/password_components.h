// The programs' password components: the current user's login password,
// checked with PAM under the service "orvo-saver".
#pragma once

#include <string>

#include "orvo/password.h"

namespace orvo::platform {

inline constexpr const char* kPamService = "orvo-saver";

// Registers "PASSWORD.CPL" and "MPR.DLL" backed by PAM.
void InstallPasswordComponents(const char* service = kPamService);

// The name of the user running the program.
std::string CurrentUserName();

// Checks `password` for `user` with the PAM service; `message` receives
// what PAM said, if anything.
CheckResult PamCheckPassword(const char* service, const std::string& user, const char* password,
                             std::string* message);

// Conducts a password change through PAM, asking the user in dialogs.
void PamChangePassword(const char* service, const std::string& user);

}  // namespace orvo::platform
