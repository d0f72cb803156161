// PAM's check as the screen lock conducts it, under PAM's test wrapper with
// its matrix module and with a test module of ours: a test service and a
// test password file, never a real account or the system's configuration.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvo/password_components.h"

namespace {

namespace fs = std::filesystem;
using orvo::platform::PamOutcome;

struct ProbeResult {
  int outcome = -1;
  std::string transcript;
};

class PamCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
    // PAM's test wrapper loads libpam with RTLD_DEEPBIND, which the address
    // sanitizer's runtime refuses; the plain build runs these tests.
    GTEST_SKIP() << "PAM's test wrapper cannot run under the address sanitizer";
#endif
    if (!fs::exists(ORVO_PAM_WRAPPER_LIBRARY) || !fs::exists(ORVO_PAM_MATRIX_MODULE)) {
      GTEST_SKIP() << "PAM's test wrapper (libpam-wrapper) is not installed";
    }
    dir_ = fs::temp_directory_path() / ("orvo-pam-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    user_ = orvo::platform::CurrentUserName();
    ASSERT_FALSE(user_.empty());
    std::ofstream(dir_ / "passdb") << user_ << ":s3cret:orvo-saver-test\n";
    const std::string module = std::string(ORVO_PAM_MATRIX_MODULE) + " passdb=" + (dir_ / "passdb").string();
    Service("orvo-saver-test", "auth required " + module + "\naccount required " + module + "\n");
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  void Service(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }
  // A service of our test module for both auth and account, with `arguments`.
  void TestModuleService(const std::string& name, const std::string& arguments) {
    const std::string line = std::string(ORVO_PAM_TEST_MODULE) + " " + arguments;
    Service(name, "auth required " + line + "\naccount required " + line + "\n");
  }

  // Runs the probe under the wrapper with `answers` for PAM's questions.
  ProbeResult Probe(const std::string& service, const std::vector<std::string>& answers,
                    const std::string& user = "") {
    int out[2];
    if (pipe(out) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(out[1], 1);
      close(out[0]);
      setenv("LD_PRELOAD", ORVO_PAM_WRAPPER_LIBRARY, 1);
      setenv("PAM_WRAPPER", "1", 1);
      setenv("PAM_WRAPPER_SERVICE_DIR", dir_.c_str(), 1);
      // The sanitizers' runtime need not come first when the wrapper is preloaded.
      setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
      const std::string probe = std::string(ORVO_TEST_DIR) + "/pam_probe";
      std::vector<std::string> args{probe, service, user.empty() ? user_ : user};
      args.insert(args.end(), answers.begin(), answers.end());
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(probe.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    ProbeResult r;
    char buffer[512];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) r.transcript.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.outcome = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
  }

  fs::path dir_;
  std::string user_;
};

constexpr int Code(PamOutcome o) { return static_cast<int>(o); }

TEST_F(PamCheckTest, PasswordsAgainstTheMatrix) {
  struct Case {
    const char* password;
    PamOutcome outcome;
  };
  for (const Case& c : {Case{"s3cret", PamOutcome::kAccepted}, Case{"s3cre", PamOutcome::kWrong},
                        Case{"", PamOutcome::kWrong}, Case{"S3CRET", PamOutcome::kWrong}}) {
    const ProbeResult r = Probe("orvo-saver-test", {c.password});
    EXPECT_EQ(r.outcome, Code(c.outcome)) << c.password << "\n" << r.transcript;
  }
}

TEST_F(PamCheckTest, AnotherUsersPasswordDoesNotOpenThisUsersLock) {
  std::ofstream(dir_ / "passdb", std::ios::app) << "someoneelse:other:orvo-saver-test\n";
  EXPECT_NE(Probe("orvo-saver-test", {"other"}).outcome, Code(PamOutcome::kAccepted));
}

TEST_F(PamCheckTest, MissingServiceNeverAccepts) {
  const ProbeResult r = Probe("no-such-service", {"s3cret"});
  EXPECT_TRUE(r.outcome == Code(PamOutcome::kWrong) || r.outcome == Code(PamOutcome::kUnavailable))
      << r.transcript;
}

TEST_F(PamCheckTest, TheAccountCheckDecidesAfterTheRightPassword) {
  // An expired password still proves who the user is; a refused account
  // does not log in, and PAM's reason comes along.
  TestModuleService("expired", "password=pw account=expired");
  TestModuleService("refused", "password=pw account=refused");
  TestModuleService("fine", "password=pw");
  EXPECT_EQ(Probe("expired", {"pw"}).outcome, Code(PamOutcome::kAcceptedExpired));
  EXPECT_EQ(Probe("expired", {"px"}).outcome, Code(PamOutcome::kWrong)) << "expired, but still the password";
  const ProbeResult refused = Probe("refused", {"pw"});
  EXPECT_EQ(refused.outcome, Code(PamOutcome::kRefused));
  EXPECT_NE(refused.transcript.find("tell error Your account has been disabled"), std::string::npos)
      << refused.transcript;
  EXPECT_EQ(Probe("fine", {"pw"}).outcome, Code(PamOutcome::kAccepted));
}

TEST_F(PamCheckTest, EveryQuestionAndMessageIsPutToTheUser) {
  TestModuleService("second", "password=pw info=One_more_step ask=Verification_code: answer=42");
  const ProbeResult right = Probe("second", {"pw", "42"});
  EXPECT_EQ(right.outcome, Code(PamOutcome::kAccepted)) << right.transcript;
  EXPECT_EQ(right.transcript,
            "tell info One more step\nask hidden Password: \nask shown Verification code:\noutcome 0 \n");
  EXPECT_EQ(Probe("second", {"pw", "41"}).outcome, Code(PamOutcome::kWrong));
  // Nobody answers the second question: the check is cancelled, not answered blindly.
  EXPECT_EQ(Probe("second", {"pw"}).outcome, Code(PamOutcome::kCancelled));
}

}  // namespace
