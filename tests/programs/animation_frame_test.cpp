// A saver program as the animation of a lock whose guardian presents the
// picture itself (on Wayland): with no display at all, handed a frame in
// shared memory, it animates there until SIGTERM ends it cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "orvo/shared_frame.h"
#include "tests/support/temp_config.h"

namespace orvo::platform::lock {
namespace {

TEST(AnimationFrameTest, PlasmaWithoutADisplayAnimatesInTheGuardiansFrame) {
  orvo::testing::TempConfig config;
  auto reader = SharedFrameReader::Create(320, 200);
  ASSERT_TRUE(reader);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = dup(reader->fd());  // without close-on-exec
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv(kFrameVariable, std::to_string(fd).c_str(), 1);
    execl(ORVO_BIN_DIR "/plasma", "plasma", "/s", nullptr);
    _exit(127);
  }
  // Frames until the colours moved a few times (plasma's palette cycles).
  int taken = 0;
  for (int i = 0; i < 10000 && reader->colours_version() < 5; ++i) {
    if (reader->TakeFrame() == SharedFrameReader::Take::kFrame) ++taken;
    else usleep(1000);
  }
  kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_GE(reader->colours_version(), 5u) << taken << " frames taken";
  // Plasma covers the whole frame with palette slots (none of the black static one).
  int black = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 320; ++x) black += reader->surface().row(y)[x] == 0;
  EXPECT_EQ(black, 0);
}

}  // namespace
}  // namespace orvo::platform::lock
