// The built-in password components: "PASSWORD.CPL" with
// "VerifyScreenSavePwd" (a prompt drawn over the saver window that checks
// the user's login password) and "MPR.DLL" with "PwdChangePasswordA".
// How a password is checked and how a change is conducted is handed in, so
// the components stay the same with PAM, in tests, or without either.
#pragma once

#include <functional>
#include <string>

#include "orvo/win_types.h"

namespace orvo::platform {

enum class CheckResult { kRight, kWrong, kUnavailable };

// Checks the current user's password; `message` may receive a line to show.
using PasswordCheck = std::function<CheckResult(const char* password, std::string* message)>;
// Conducts a password change with the user, in a dialog owned by `parent`.
using PasswordChange = std::function<void(HWND parent)>;

// Registers both components. Without a check "PASSWORD.CPL" has no
// "VerifyScreenSavePwd"; without a change function "MPR.DLL" has no
// "PwdChangePasswordA".
void RegisterPasswordComponents(PasswordCheck check, PasswordChange change);

// Overwrites memory that held a secret; the compiler may not skip it.
void WipeSecret(void* data, std::size_t size);

}  // namespace orvo::platform
