// The test compositor (orvo-test-compositor) as a child process of a test:
// its own runtime folder and socket, commands written to it, and the lines
// it prints awaited one by one.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace orvo::testing {

class CompositorProcess {
 public:
  // `flags`: the compositor's options besides --socket.
  explicit CompositorProcess(const std::vector<std::string>& flags) {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvo-wl-XXXXXX").string();
    runtime_ = mkdtemp(pattern.data()) != nullptr ? pattern : "";
    int in[2], out[2];
    if (runtime_.empty() || pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> args = {ORVO_TEST_COMPOSITOR, "--socket", "wayland-test"};
    args.insert(args.end(), flags.begin(), flags.end());
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    commands_ = in[1];
    lines_ = out[0];
    ready_ = Await("ready");
  }
  ~CompositorProcess() {
    if (commands_ >= 0) close(commands_);  // its end of the run
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (lines_ >= 0) close(lines_);
    std::error_code ignored;
    if (!runtime_.empty()) std::filesystem::remove_all(runtime_, ignored);
  }

  bool ready() const { return ready_; }
  // What a client needs to find it.
  const std::string& runtime_dir() const { return runtime_; }
  static constexpr const char* kSocket = "wayland-test";

  void Send(const std::string& command) {
    const std::string line = command + "\n";
    if (write(commands_, line.data(), line.size()) < 0) return;
  }

  // Waits for a line equal to `line` (at most `limit_ms`, a safety bound
  // for a compositor that hangs), keeping every line seen in seen().
  bool Await(const std::string& line, int limit_ms = 20000) {
    for (std::size_t i = checked_; i < seen_.size(); ++i)
      if (seen_[i] == line) return (checked_ = i + 1, true);
    checked_ = seen_.size();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{lines_, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
      char chunk[1024];
      const ssize_t n = read(lines_, chunk, sizeof chunk);
      if (n <= 0) return false;
      partial_.append(chunk, static_cast<std::size_t>(n));
      for (std::size_t end; (end = partial_.find('\n')) != std::string::npos; partial_.erase(0, end + 1))
        seen_.push_back(partial_.substr(0, end));
      for (; checked_ < seen_.size(); ++checked_)
        if (seen_[checked_] == line) return (++checked_, true);
    }
  }
  const std::vector<std::string>& seen() const { return seen_; }

 private:
  std::string runtime_;
  pid_t pid_ = -1;
  int commands_ = -1;
  int lines_ = -1;
  bool ready_ = false;
  std::string partial_;
  std::vector<std::string> seen_;
  std::size_t checked_ = 0;
};

}  // namespace orvo::testing
