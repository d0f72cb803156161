// The link between a screen lock's guardian and its animation: one
// SOCK_SEQPACKET socket pair, fixed-size messages, nothing secret on it.
//
// guardian -> animation: input the saver shell needs (keys without their
//   text, buttons, the wheel, pointer motion) and verdicts on verification
//   requests;
// animation -> guardian: verification requests (the shell wants to close)
//   and "shown" (the animation has drawn its first picture).
#pragma once

#include <cstdint>

#include "orvo/backend.h"

namespace orvo::platform::lock {

enum class LinkType : std::uint32_t {
  kInput = 1,          // guardian -> animation: `input` is a back-end event kind
  kVerdict = 2,        // guardian -> animation: `sequence` answered, `value` 1 = may close
  kVerifyRequest = 3,  // animation -> guardian: `sequence` names the request
  kShown = 4,          // animation -> guardian: the first picture is on the screen
};

struct LinkMessage {
  std::uint32_t type = 0;
  std::uint32_t sequence = 0;
  std::uint32_t value = 0;
  std::int32_t input = 0;  // BackendEvent::Kind of an input message
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t button = 0;
  std::uint32_t vk = 0;
  std::uint32_t alt = 0;
};

// The input kinds that may travel on the link; everything else is dropped.
bool ForwardableInput(BackendEvent::Kind kind);

// Whether a message read from the link is well formed for the receiver.
bool ValidForAnimation(const LinkMessage& message);
bool ValidForGuardian(const LinkMessage& message);

// Sends one message without blocking; false when the peer is gone or the
// socket is full.
bool SendLinkMessage(int fd, const LinkMessage& message);

enum class Receive { kMessage, kNothing, kClosed };
// Reads one message without blocking. A datagram of the wrong size is
// consumed and reported as kNothing.
Receive ReceiveLinkMessage(int fd, LinkMessage* message);

// Environment variables that tell a saver program it is the animation of a
// guardian: the link's descriptor and the guardian's window to draw into.
inline constexpr const char* kLinkVariable = "ORVO_LOCK_LINK";
inline constexpr const char* kStageVariable = "ORVO_LOCK_STAGE";

// The link of this process to its guardian, read from the environment on
// the first call and removed from it. Only a socket pair end whose peer is
// the parent process counts; anything else is ignored (the process then
// runs as if started by the desktop).
struct GuardianLink {
  int fd = -1;
  NativeId stage = 0;
  bool active() const { return fd >= 0 && stage != 0; }
};
const GuardianLink& LinkToGuardian();

// In the animation process: wraps the installed back end so that the
// full-screen window becomes a child of the guardian's stage without input,
// input comes from the link, and "VerifyScreenSavePwd" asks the guardian.
// Call after the display back end is installed. False when this process
// has no guardian (nothing changes then).
bool InstallAnimationSide();

}  // namespace orvo::platform::lock
