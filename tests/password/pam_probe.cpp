// Checks one password with PAM in a process of its own, so a test can run
// it under PAM's test wrapper: pam_probe SERVICE USER PASSWORD.
// Exit status: 0 right, 1 wrong, 2 cannot check, 3 bad arguments.
#include <cstdio>
#include <string>

#include "orvo/password_components.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: pam_probe SERVICE USER PASSWORD\n", stderr);
    return 3;
  }
  std::string message;
  switch (orvo::platform::PamCheckPassword(argv[1], argv[2], argv[3], &message)) {
    case orvo::platform::CheckResult::kRight: return 0;
    case orvo::platform::CheckResult::kWrong: return 1;
    case orvo::platform::CheckResult::kUnavailable: return 2;
  }
  return 2;
}
