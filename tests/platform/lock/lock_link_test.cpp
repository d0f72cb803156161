// The link between the guardian and its animation: what may travel on it,
// and who counts as a guardian.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "orvo/lock_link.h"

namespace orvo::platform::lock {
namespace {

using Kind = BackendEvent::Kind;

TEST(LockLinkTest, OnlyInputTheShellNeedsAndWellFormedAnswersReachTheAnimation) {
  struct Case {
    const char* name;
    LinkType type;
    Kind input;
    std::uint32_t value;
    int button;
    bool valid;
  };
  const Case cases[] = {
      {"key press", LinkType::kInput, Kind::kKeyDown, 0, 0, true},
      {"button press", LinkType::kInput, Kind::kButtonDown, 0, 1, true},
      {"button release", LinkType::kInput, Kind::kButtonUp, 0, 3, true},
      {"wheel", LinkType::kInput, Kind::kWheel, 0, 7, true},
      {"motion", LinkType::kInput, Kind::kMotion, 0, 0, true},
      {"key release", LinkType::kInput, Kind::kKeyUp, 0, 0, false},
      {"terminate", LinkType::kInput, Kind::kTerminate, 0, 0, false},
      {"destroyed", LinkType::kInput, Kind::kDestroyed, 0, 0, false},
      {"resize", LinkType::kInput, Kind::kResize, 0, 0, false},
      {"close request", LinkType::kInput, Kind::kCloseRequest, 0, 0, false},
      {"button out of range", LinkType::kInput, Kind::kButtonDown, 0, 8, false},
      {"verdict yes", LinkType::kVerdict, Kind::kExpose, 1, 0, true},
      {"verdict no", LinkType::kVerdict, Kind::kExpose, 0, 0, true},
      {"verdict neither", LinkType::kVerdict, Kind::kExpose, 2, 0, false},
      {"a request, the wrong way", LinkType::kVerifyRequest, Kind::kExpose, 0, 0, false},
      {"unknown type", static_cast<LinkType>(99), Kind::kExpose, 0, 0, false},
  };
  for (const Case& c : cases) {
    LinkMessage m;
    m.type = static_cast<std::uint32_t>(c.type);
    m.input = static_cast<std::int32_t>(c.input);
    m.value = c.value;
    m.button = c.button;
    EXPECT_EQ(ValidForAnimation(m), c.valid) << c.name;
  }
  for (const auto& [type, valid] : {std::pair{LinkType::kVerifyRequest, true}, std::pair{LinkType::kShown, true},
                                    std::pair{LinkType::kInput, false}, std::pair{LinkType::kVerdict, false}}) {
    LinkMessage m;
    m.type = static_cast<std::uint32_t>(type);
    EXPECT_EQ(ValidForGuardian(m), valid) << static_cast<int>(type);
  }
}

TEST(LockLinkTest, MessagesArriveWholeAndTheEndIsSeen) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair), 0);
  LinkMessage m, got;
  EXPECT_EQ(ReceiveLinkMessage(pair[1], &got), Receive::kNothing);
  m.type = static_cast<std::uint32_t>(LinkType::kVerifyRequest);
  m.sequence = 77;
  ASSERT_TRUE(SendLinkMessage(pair[0], m));
  // A datagram of another size is dropped, and the next one still reads.
  const char junk[3] = {1, 2, 3};
  ASSERT_EQ(send(pair[0], junk, sizeof junk, 0), 3);
  m.sequence = 78;
  ASSERT_TRUE(SendLinkMessage(pair[0], m));
  ASSERT_EQ(ReceiveLinkMessage(pair[1], &got), Receive::kMessage);
  EXPECT_EQ(got.sequence, 77u);
  EXPECT_EQ(ReceiveLinkMessage(pair[1], &got), Receive::kNothing);
  ASSERT_EQ(ReceiveLinkMessage(pair[1], &got), Receive::kMessage);
  EXPECT_EQ(got.sequence, 78u);
  close(pair[0]);
  EXPECT_EQ(ReceiveLinkMessage(pair[1], &got), Receive::kClosed);
  EXPECT_FALSE(SendLinkMessage(pair[1], m)) << "no signal, just false, when the peer is gone";
  close(pair[1]);
  EXPECT_EQ(ReceiveLinkMessage(-1, &got), Receive::kClosed);
}

// Runs `body` in a child process; its exit status (0: as expected).
int InChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(LockLinkTest, OnlyASocketFromTheParentMakesAProcessAGuardiansAnimation) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair), 0);
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  struct Case {
    const char* name;
    std::function<std::string()> descriptor;  // made in the child
    const char* stage;
    bool active;
  };
  const Case cases[] = {
      {"the parent's socket pair", [&] { return std::to_string(pair[1]); }, "0x400001", true},
      {"decimal stage", [&] { return std::to_string(pair[1]); }, "4194305", true},
      {"no stage", [&] { return std::to_string(pair[1]); }, "0", false},
      {"stage not a number", [&] { return std::to_string(pair[1]); }, "12abc", false},
      {"a pipe", [&] { return std::to_string(pipe_ends[0]); }, "0x400001", false},
      {"the child's own socket pair",
       [] {
         int own[2];
         return socketpair(AF_UNIX, SOCK_SEQPACKET, 0, own) == 0 ? std::to_string(own[1]) : std::string("-1");
       },
       "0x400001", false},
      {"not a number", [] { return std::string("three"); }, "0x400001", false},
      {"standard input", [] { return std::string("0"); }, "0x400001", false},
  };
  for (const Case& c : cases) {
    const int status = InChild([&] {
      setenv(kLinkVariable, c.descriptor().c_str(), 1);
      setenv(kStageVariable, c.stage, 1);
      const GuardianLink& link = LinkToGuardian();
      if (getenv(kLinkVariable) != nullptr || getenv(kStageVariable) != nullptr) return 2;  // must be removed
      return link.active() == c.active ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << c.name;
  }
  EXPECT_FALSE(LinkToGuardian().active()) << "the test itself has no guardian";
  for (int fd : {pair[0], pair[1], pipe_ends[0], pipe_ends[1]}) close(fd);
}

}  // namespace
}  // namespace orvo::platform::lock
