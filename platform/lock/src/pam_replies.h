// The answers of a PAM conversation that gives up: each one wiped (it may
// hold a password) and freed, then the array.
#pragma once

#include <security/pam_appl.h>

namespace orvo::platform {

// Wipes and frees the first `count` answers of `replies`, then `replies`.
void DropReplies(pam_response* replies, int count);

}  // namespace orvo::platform
