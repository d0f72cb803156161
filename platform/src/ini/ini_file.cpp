// File access for the INI functions: locating the configuration folder,
// reading whole files, and crash-safe locked rewrites.
#include "ini/ini_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "orvo/config_path.h"

namespace orvo {

namespace {

std::string EnvValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

std::string ConfigDirectory() {
  std::string dir = EnvValue("ORVO_CONFIG_DIR");
  if (!dir.empty()) return dir;
  dir = EnvValue("XDG_CONFIG_HOME");
  if (!dir.empty()) return dir + "/orvo";
  dir = EnvValue("HOME");
  if (!dir.empty()) return dir + "/.config/orvo";
  return std::string();
}

std::string ResolveConfigPath(const char* name) {
  if (!name || !*name) return std::string();
  std::string file(name);
  if (file.find('/') != std::string::npos) return file;
  std::string dir = ConfigDirectory();
  if (dir.empty()) return std::string();
  if (dir.back() != '/') dir += '/';
  return dir + file;
}

namespace ini {
namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Reset(); }
  int get() const { return fd_; }
  bool Reset() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string Folder(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool MakeFolders(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::string parent = Folder(dir);
  if (parent != dir && parent != "." && parent != "/" && !MakeFolders(parent)) return false;
  if (::mkdir(dir.c_str(), 0700) == 0) return true;
  return errno == EEXIST && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A symbolic link is followed so that the rename replaces its target, not
// the link.
std::string FollowLink(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved)) return std::string(resolved);
  return path;
}

}  // namespace

ReadResult ReadText(const std::string& path, std::string& text) {
  text.clear();
  if (path.empty()) return ReadResult::kMissing;
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? ReadResult::kMissing : ReadResult::kError;
  }
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::kError;
  if (static_cast<unsigned long long>(st.st_size) > kMaxFileBytes) return ReadResult::kError;
  char chunk[16384];
  for (;;) {
    ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      text.clear();
      return ReadResult::kError;
    }
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > kMaxFileBytes) {
      text.clear();
      return ReadResult::kError;
    }
    text.append(chunk, static_cast<std::size_t>(n));
  }
  return ReadResult::kOk;
}

bool UpdateFile(const std::string& path, bool create_folder,
                const std::function<std::optional<std::string>(const std::string&)>& edit) {
  if (path.empty()) return false;
  const std::string target = FollowLink(path);
  const std::string folder = Folder(target);
  if (create_folder && !MakeFolders(folder)) return false;

  // The lock lives in its own file: the data file is replaced on every
  // write, so a lock on it would not be seen by the next writer.
  const std::string lock_path = target + ".lock";
  Fd lock(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.get() < 0) return false;
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return false;
  }

  std::string text;
  if (ReadText(target, text) == ReadResult::kError) return false;
  std::optional<std::string> updated = edit(text);
  if (!updated) return true;

  struct stat old_st;
  const bool existed = ::stat(target.c_str(), &old_st) == 0;
  std::vector<char> temp_name(target.begin(), target.end());
  static constexpr char kSuffix[] = ".tmpXXXXXX";
  temp_name.insert(temp_name.end(), kSuffix, kSuffix + sizeof kSuffix);  // with its NUL
  Fd temp(::mkostemp(temp_name.data(), O_CLOEXEC));
  if (temp.get() < 0) return false;
  bool ok = WriteAll(temp.get(), *updated);
  if (ok && existed) ok = ::fchmod(temp.get(), old_st.st_mode & 07777) == 0;
  if (ok) ok = ::fsync(temp.get()) == 0;
  ok = temp.Reset() && ok;
  if (ok) ok = ::rename(temp_name.data(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp_name.data());
    return false;
  }
  // Make the rename itself durable.
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return true;
}

}  // namespace ini
}  // namespace orvo
