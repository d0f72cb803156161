// The login password checked with PAM, under PAM's test wrapper and its
// matrix module: a test service and a test password file, never a real
// account or the system's PAM configuration.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "orvo/password_components.h"

namespace {

namespace fs = std::filesystem;

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
    std::ofstream(dir_ / "orvo-saver-test") << "auth required " << module << "\naccount required " << module
                                            << "\n";
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Runs the probe under the wrapper; returns its exit status.
  int Probe(const std::string& service, const std::string& user, const std::string& password) {
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("LD_PRELOAD", ORVO_PAM_WRAPPER_LIBRARY, 1);
      setenv("PAM_WRAPPER", "1", 1);
      setenv("PAM_WRAPPER_SERVICE_DIR", dir_.c_str(), 1);
      // The sanitizers' runtime need not come first when the wrapper is preloaded.
      setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
      const std::string probe = std::string(ORVO_TEST_DIR) + "/pam_probe";
      execl(probe.c_str(), probe.c_str(), service.c_str(), user.c_str(), password.c_str(), nullptr);
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path dir_;
  std::string user_;
};

TEST_F(PamCheckTest, RightPasswordIsAccepted) { EXPECT_EQ(Probe("orvo-saver-test", user_, "s3cret"), 0); }

TEST_F(PamCheckTest, WrongOrEmptyPasswordIsRefused) {
  EXPECT_EQ(Probe("orvo-saver-test", user_, "s3cre"), 1);
  EXPECT_EQ(Probe("orvo-saver-test", user_, ""), 1);
  EXPECT_EQ(Probe("orvo-saver-test", user_, "S3CRET"), 1);
}

TEST_F(PamCheckTest, AnotherUsersPasswordDoesNotOpenThisUsersLock) {
  std::ofstream(dir_ / "passdb", std::ios::app) << "someoneelse:other:orvo-saver-test\n";
  EXPECT_NE(Probe("orvo-saver-test", user_, "other"), 0);
}

TEST_F(PamCheckTest, MissingServiceCannotCheckAndNeverAccepts) {
  const int status = Probe("no-such-service", user_, "s3cret");
  EXPECT_NE(status, 0);
  EXPECT_TRUE(status == 1 || status == 2) << status;
}

}  // namespace
