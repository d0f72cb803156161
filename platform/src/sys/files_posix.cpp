// The file-system primitives on POSIX systems.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "sys/files.h"

namespace orvo::sys {
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

class FlockLock final : public FileLock {
 public:
  explicit FlockLock(int fd) : fd_(fd) {}
  ~FlockLock() override = default;  // closing the descriptor releases the lock

 private:
  Fd fd_;
};

}  // namespace

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string DefaultConfigDirectory() {
  std::string dir = EnvironmentValue("XDG_CONFIG_HOME");
  if (!dir.empty()) return dir + "/orvo";
  dir = EnvironmentValue("HOME");
  if (!dir.empty()) return dir + "/.config/orvo";
  return std::string();
}

bool NamesFolder(const std::string& name) { return name.find('/') != std::string::npos; }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool MakeFolders(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::string parent = FolderOf(dir);
  if (parent != dir && parent != "." && parent != "/" && !MakeFolders(parent)) return false;
  if (::mkdir(dir.c_str(), 0700) == 0) return true;
  return errno == EEXIST && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

ReadStatus ReadWholeFile(const std::string& path, std::size_t max_bytes, std::string& text) {
  text.clear();
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::kMissing : ReadStatus::kError;
  }
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadStatus::kError;
  if (static_cast<unsigned long long>(st.st_size) > max_bytes) return ReadStatus::kError;
  char chunk[16384];
  for (;;) {
    ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      text.clear();
      return ReadStatus::kError;
    }
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > max_bytes) {
      text.clear();
      return ReadStatus::kError;
    }
    text.append(chunk, static_cast<std::size_t>(n));
  }
  return ReadStatus::kOk;
}

std::unique_ptr<FileLock> LockExclusive(const std::string& lock_path) {
  const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  auto lock = std::make_unique<FlockLock>(fd);
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return nullptr;
  }
  return lock;
}

bool ReplaceFileContents(const std::string& target, const std::string& text) {
  struct stat old_st;
  const bool existed = ::stat(target.c_str(), &old_st) == 0;
  std::vector<char> temp_name(target.begin(), target.end());
  static constexpr char kSuffix[] = ".tmpXXXXXX";
  temp_name.insert(temp_name.end(), kSuffix, kSuffix + sizeof kSuffix);  // with its NUL
  Fd temp(::mkostemp(temp_name.data(), O_CLOEXEC));
  if (temp.get() < 0) return false;
  bool ok = WriteAll(temp.get(), text);
  if (ok && existed) ok = ::fchmod(temp.get(), old_st.st_mode & 07777) == 0;
  if (ok) ok = ::fsync(temp.get()) == 0;
  ok = temp.Reset() && ok;
  if (ok) ok = ::rename(temp_name.data(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp_name.data());
    return false;
  }
  // Make the rename itself durable.
  Fd dir(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return true;
}

std::string FollowLink(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved)) return std::string(resolved);
  return path;
}

}  // namespace orvo::sys
