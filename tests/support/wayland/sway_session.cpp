#include "tests/support/wayland/sway_session.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <unordered_set>

namespace orvo::test {
namespace {

constexpr const char* kUser = "orvo-wayland-test";

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string FindIn(const std::string& folder, const std::string& prefix, const std::string& suffix) {
  std::string found;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.rfind(prefix, 0) == 0 && name.size() >= suffix.size() &&
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
          name.find(".lock") == std::string::npos)
        found = name;
    }
    closedir(dir);
  }
  return found;
}

}  // namespace

int RgbImage::DistinctColours() const {
  std::unordered_set<std::uint32_t> seen;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) seen.insert(At(x, y));
  return static_cast<int>(seen.size());
}

long RgbImage::Count(std::uint32_t colour) const {
  long n = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) n += At(x, y) == colour;
  return n;
}

SwaySession::~SwaySession() {
  for (const pid_t pid : spawned_)
    if (pid != sway_) Kill(pid);
  if (sway_ > 0) {
    // Sway, and Xwayland in its process group.
    kill(-sway_, SIGTERM);
    if (WaitExit(sway_, 3000) < 0) Kill(sway_);
    kill(-sway_, SIGKILL);
  }
  if (!folder_.empty()) std::system(("rm -rf '" + folder_ + "'").c_str());
}

bool SwaySession::Start(std::string* why) {
  if (access("/usr/bin/sway", X_OK) != 0 || access("/usr/bin/grim", X_OK) != 0 ||
      access("/usr/bin/wtype", X_OK) != 0) {
    *why = "sway, grim or wtype is not installed (scripts/deps.sh installs them)";
    return false;
  }
  uid_ = getuid();
  gid_ = getgid();
  if (uid_ == 0) {
    // Sway refuses to run as root: an unprivileged user of our own.
    if (getpwnam(kUser) == nullptr)
      std::system((std::string("useradd --system --no-create-home --shell /usr/sbin/nologin ") + kUser +
                   " >/dev/null 2>&1").c_str());
    const passwd* user = getpwnam(kUser);
    if (user == nullptr) {
      *why = std::string("running as root, and the user ") + kUser +
             " that sway needs (it refuses root) could not be made";
      return false;
    }
    uid_ = user->pw_uid;
    gid_ = user->pw_gid;
  }
  char folder[] = "/tmp/orvo-wayland-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    *why = "no temporary folder";
    return false;
  }
  folder_ = folder;
  chmod(folder, 0700);
  if (chown(folder, uid_, gid_) != 0) {
    *why = "cannot give the session folder to the test user";
    return false;
  }
  const bool xwayland = access("/usr/bin/Xwayland", X_OK) == 0;
  {
    std::ofstream config(folder_ + "/config");
    config << "xwayland " << (xwayland ? "force" : "disable") << "\n"
           << "output HEADLESS-1 resolution 800x600 position 0 0 scale 1\n";
  }
  chown((folder_ + "/config").c_str(), uid_, gid_);
  sway_ = Spawn("exec sway -c '" + folder_ + "/config'", "sway.log");
  for (int i = 0; i < 100 && (wayland_display_.empty() || swaysock_.empty()); ++i) {
    Pause(100);
    wayland_display_ = FindIn(folder_, "wayland-", "");
    swaysock_ = FindIn(folder_, "sway-ipc.", ".sock");
    if (WaitExit(sway_, 0) >= 0) break;
  }
  if (wayland_display_.empty() || swaysock_.empty() || Run("swaymsg -t get_outputs >/dev/null") != 0) {
    *why = "sway did not start (see its log)";
    return false;
  }
  if (xwayland) {
    for (int i = 0; i < 50 && x_display_.empty(); ++i) {
      std::string out;
      Run("swaymsg exec 'echo $DISPLAY > \"" + folder_ + "/display\"' >/dev/null; sleep 0.1; cat \"" +
              folder_ + "/display\" 2>/dev/null",
          &out);
      while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
      if (!out.empty()) x_display_ = out;
    }
  }
  return true;
}

std::string SwaySession::Environment() const {
  std::string env = "env -i PATH=/usr/bin:/bin HOME='" + folder_ + "' XDG_RUNTIME_DIR='" + folder_ +
                    "' ORVO_CONFIG_DIR='" + folder_ + "/config.d' WLR_BACKENDS=headless " +
                    "WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 LANG=C.UTF-8";
  if (!wayland_display_.empty()) env += " WAYLAND_DISPLAY=" + wayland_display_;
  if (!swaysock_.empty()) env += " SWAYSOCK='" + folder_ + "/" + swaysock_ + "'";
  for (const char* pass : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
    if (const char* value = std::getenv(pass)) env += std::string(" ") + pass + "='" + value + "'";
  return env;
}

pid_t SwaySession::Spawn(const std::string& command, const std::string& stderr_file) {
  const std::string line = Environment() + " sh -c '" + [&] {
    std::string quoted;
    for (char c : command) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted;
  }() + "'";
  const std::string err = stderr_file.empty() ? "" : folder_ + "/" + stderr_file;
  const pid_t pid = fork();
  if (pid != 0) {
    if (pid > 0) {
      setpgid(pid, pid);
      spawned_.push_back(pid);
    }
    return pid;
  }
  // A process group of its own, so that what it starts ends with it; its
  // output never holds the test runner's.
  setpgid(0, 0);
  if (const int null = open("/dev/null", O_RDWR); null >= 0) {
    dup2(null, 0);
    dup2(null, 1);
    if (err.empty()) dup2(null, 2);
    close(null);
  }
  if (!err.empty()) {
    const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, 2);
      close(fd);
    }
    if (fchown(2, uid_, gid_) != 0) {
    }
  }
  if (chdir(folder_.c_str()) != 0) _exit(127);
  if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0)) _exit(127);
  execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

int SwaySession::Run(const std::string& command, std::string* output) {
  const std::string file = folder_ + "/run.out";
  const pid_t pid = Spawn(command + " > '" + file + "'");
  if (pid < 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  std::erase(spawned_, pid);
  if (output) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    *output = text.str();
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int SwaySession::WaitExit(pid_t pid, int timeout_ms) {
  for (int waited = 0;; waited += 50) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      std::erase(spawned_, pid);
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (done < 0 || waited >= timeout_ms) return -1;
    Pause(50);
  }
}

void SwaySession::Kill(pid_t pid) {
  if (WaitExit(pid, 0) >= 0) return;  // gone already
  kill(-pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

std::string SwaySession::Program(const std::string& path) {
  const std::string name = path.substr(path.find_last_of('/') + 1);
  const std::string copy = folder_ + "/" + name;
  if (!Exists(copy)) {
    std::system(("cp '" + path + "' '" + copy + "'").c_str());
    chown(copy.c_str(), uid_, gid_);
    chmod(copy.c_str(), 0755);
  }
  return copy;
}

RgbImage SwaySession::Shot(const std::string& output) {
  const std::string file = folder_ + "/shot.ppm";
  if (Run("grim -t ppm -o " + output + " '" + file + "'") != 0) return RgbImage{};
  return ReadPpm(file);
}

RgbImage ReadPpm(const std::string& file) {
  RgbImage image;
  std::ifstream in(file, std::ios::binary);
  std::string magic;
  int max = 0;
  in >> magic >> image.width >> image.height >> max;
  in.get();
  if (magic != "P6" || max != 255 || image.width <= 0 || image.height <= 0) return RgbImage{};
  image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
  in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
  if (!in) return RgbImage{};
  return image;
}

}  // namespace orvo::test
