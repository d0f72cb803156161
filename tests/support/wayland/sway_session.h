// A headless sway for the Wayland tests: started from the test, as an
// unprivileged user made for the purpose when the test runs as root (sway
// refuses root), with its own runtime folder, the pixman renderer and no
// input devices. Commands (swaymsg, grim, wtype, our programs) run as that
// user with the session's environment; programs are copied where that
// user can read them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvo::test {

// An RGB picture read from grim's PPM.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  std::uint32_t At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return (std::uint32_t{rgb[i]} << 16) | (std::uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
  }
  int DistinctColours() const;
  // Pixels of exactly this colour.
  long Count(std::uint32_t colour) const;
};

// A binary PPM (grim's, the test compositor's), empty when unreadable.
RgbImage ReadPpm(const std::string& file);

class SwaySession {
 public:
  SwaySession() = default;
  ~SwaySession();
  SwaySession(const SwaySession&) = delete;
  SwaySession& operator=(const SwaySession&) = delete;

  // Starts sway with one output HEADLESS-1 of 800 x 600 (and Xwayland when
  // installed). False with the reason in *why when it cannot run here.
  bool Start(std::string* why);

  // Runs a shell command as the session's user, in its environment;
  // returns its exit status (-1 when it could not run) and its output.
  int Run(const std::string& command, std::string* output = nullptr);
  // Starts a shell command as the session's user without waiting;
  // standard error goes to `stderr_file` (in the session folder).
  pid_t Spawn(const std::string& command, const std::string& stderr_file = "");
  // Waits up to `timeout_ms` for the process; its exit status (128 + the
  // signal that ended it), or -1 while it still runs.
  int WaitExit(pid_t pid, int timeout_ms);
  // Ends the process and its process group, unless it is gone already.
  void Kill(pid_t pid);

  // A copy of a program of the build, readable by the session's user.
  std::string Program(const std::string& name);
  // The output's picture (grim -o NAME), empty when grim failed.
  RgbImage Shot(const std::string& output);
  const std::string& folder() const { return folder_; }
  const std::string& x_display() const { return x_display_; }

 private:
  std::string Environment() const;

  uid_t uid_ = 0;
  gid_t gid_ = 0;
  pid_t sway_ = -1;
  std::vector<pid_t> spawned_;  // not yet waited for
  std::string folder_;
  std::string wayland_display_;
  std::string swaysock_;
  std::string x_display_;
};

}  // namespace orvo::test
