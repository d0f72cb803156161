// Authenticates with PAM in a process of its own, so a test can run it
// under PAM's test wrapper: pam_probe SERVICE USER [ANSWER...].
// The answers go to PAM's questions in order (none left: the question is
// cancelled). Prints what PAM asked and said, one line each ("ask shown
// TEXT", "ask hidden TEXT", "tell error TEXT", "tell info TEXT"), then
// "outcome N MESSAGE"; exits with N, the PamOutcome's number (9 for bad
// arguments).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "orvo/password_components.h"

namespace {

class Script final : public orvo::platform::PamDialogue {
 public:
  explicit Script(std::vector<std::string> answers) : answers_(std::move(answers)) {}
  char* Ask(const char* question, bool echo) override {
    std::printf("ask %s %s\n", echo ? "shown" : "hidden", question);
    if (next_ >= answers_.size()) return nullptr;
    return strdup(answers_[next_++].c_str());
  }
  void Tell(const char* text, bool error) override { std::printf("tell %s %s\n", error ? "error" : "info", text); }

 private:
  std::vector<std::string> answers_;
  std::size_t next_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: pam_probe SERVICE USER [ANSWER...]\n", stderr);
    return 9;
  }
  Script script(std::vector<std::string>(argv + 3, argv + argc));
  const orvo::platform::PamResult r = orvo::platform::PamAuthenticate(argv[1], argv[2], script);
  std::printf("outcome %d %s\n", static_cast<int>(r.outcome), r.message.c_str());
  return static_cast<int>(r.outcome);
}
