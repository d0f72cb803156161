// orvo-xscreensaver-setup: adds the nine savers to the programs list of
// ~/.xscreensaver, or with --remove takes them out again.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/command_line.h"
#include "tools/catalog/saver_catalog.h"
#include "tools/orvo-xscreensaver-setup/new_preferences.h"
#include "tools/orvo-xscreensaver-setup/programs_list.h"

namespace {

constexpr const char* kSelf = "orvo-xscreensaver-setup";

void PrintHelp() {
  std::printf(
      "Usage: %s [--remove] [--libexec-dir DIR]\n"
      "\n"
      "Adds the nine Orvo savers to the programs list of ~/.xscreensaver, so that\n"
      "xscreensaver runs them and xscreensaver-settings lists them. Every other line\n"
      "and setting of the file stays as it was; savers already in the list are left\n"
      "alone. The file is replaced in one step (a temporary file renamed over it),\n"
      "with its permissions kept. A running xscreensaver notices the change itself.\n"
      "\n"
      "  --remove           take the Orvo savers out of the list again\n"
      "  --libexec-dir DIR  the folder that holds the programs (default: ../libexec/orvo\n"
      "                     beside this command, or this command's own folder)\n"
      "  --help             show this text\n"
      "  --version          show the version\n"
      "\n"
      "If ~/.xscreensaver does not exist yet, it is made as xscreensaver would first\n"
      "save it: xscreensaver's installed settings and programs list (its app-defaults\n"
      "file XScreenSaver), with the Orvo savers added, mode 0644.\n",
      kSelf);
}

std::string ProgramsIn(const std::string& dir) {
  return dir + "/" + orvo::catalog::Savers().front().module->program;
}

// The installed layout puts this command in bin/ and the programs in
// libexec/orvo/; a build tree keeps them all in one folder.
std::string DefaultLibexecDir() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  const std::filesystem::path bin = self.parent_path();
  for (const std::filesystem::path& dir : {bin.parent_path() / "libexec" / "orvo", bin}) {
    const std::filesystem::path found = std::filesystem::weakly_canonical(dir, ec);
    if (!ec && ::access(ProgramsIn(found.string()).c_str(), X_OK) == 0) return found.string();
  }
  return {};
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  const passwd* pw = ::getpwuid(::getuid());
  return pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "";
}

enum class ReadResult { kOk, kMissing, kError };

ReadResult ReadFile(const std::string& path, std::string* text, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return ReadResult::kMissing;
    *error = std::strerror(errno);
    return ReadResult::kError;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *error = "not a regular file";
    return ReadResult::kError;
  }
  char chunk[16384];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = std::strerror(errno);
      ::close(fd);
      return ReadResult::kError;
    }
    if (n == 0) break;
    text->append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ReadResult::kOk;
}

// The settings xscreensaver is installed with: its app-defaults file,
// looked for as X toolkit programs look for it (XFILESEARCHPATH, else the
// system's folders). Empty when there is none.
std::string AppDefaultsFile() {
  std::vector<std::string> candidates;
  const char* search = std::getenv("XFILESEARCHPATH");
  if (search != nullptr && *search != '\0') {
    std::string templates = search;
    for (std::size_t begin = 0; begin <= templates.size();) {
      std::size_t end = templates.find(':', begin);
      if (end == std::string::npos) end = templates.size();
      std::string path;
      for (std::size_t i = begin; i < end; ++i) {
        if (templates[i] != '%' || i + 1 >= end) {
          path += templates[i];
          continue;
        }
        const char code = templates[++i];
        if (code == 'T') path += "app-defaults";
        else if (code == 'N') path += "XScreenSaver";
        else if (code == '%') path += '%';
        // %S, %C and the language's parts (%L, %l, %t, %c) stay empty.
      }
      candidates.push_back(path);
      begin = end + 1;
    }
  } else {
    candidates = {"/etc/X11/app-defaults/XScreenSaver", "/usr/share/X11/app-defaults/XScreenSaver",
                  "/usr/lib/X11/app-defaults/XScreenSaver"};
  }
  for (const std::string& path : candidates) {
    struct stat st;
    if (!path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return path;
  }
  return {};
}

// Whether the xscreensaver command is on PATH.
bool XscreensaverInstalled() {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "";
  for (std::size_t begin = 0; begin <= folders.size();) {
    std::size_t end = folders.find(':', begin);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = end > begin ? folders.substr(begin, end - begin) : ".";
    if (::access((folder + "/xscreensaver").c_str(), X_OK) == 0) return true;
    begin = end + 1;
  }
  return false;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes text to a temporary file beside path (beside the target of a
// symbolic link, which stays a link), with path's mode and owner, and
// renames it over path: readers see the old file or the new one, never a
// part of either.
bool ReplaceFile(const std::string& path, const std::string& text, std::string* error) {
  std::string target = path;
  char resolved[PATH_MAX];
  struct stat link_st;
  if (::lstat(path.c_str(), &link_st) == 0 && S_ISLNK(link_st.st_mode) &&
      ::realpath(path.c_str(), resolved) != nullptr) {
    target = resolved;
  }
  struct stat st;
  if (::stat(target.c_str(), &st) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  std::string temp = target + ".orvo-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = std::string("cannot create a temporary file beside it: ") + std::strerror(errno);
    return false;
  }
  bool ok = WriteAll(fd, text) && ::fchmod(fd, st.st_mode & 07777) == 0;
  // Keeps the owner when root edits another user's file; refused (and not
  // needed) otherwise.
  if (ok && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
      // Not an error: the new file is ours, with the old mode.
    }
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    *error = std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  const std::string folder = std::filesystem::path(target).parent_path().string();
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

// Makes path with text, mode 0644, in one step: a temporary file beside it
// linked to its name, which fails rather than replace a file that appeared
// meanwhile (*exists is then set). The owner of the folder owns it.
bool CreateFile(const std::string& path, const std::string& text, bool* exists, std::string* error) {
  std::string temp = path + ".orvo-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = std::string("cannot create a temporary file beside it: ") + std::strerror(errno);
    return false;
  }
  struct stat folder;
  const std::string parent = std::filesystem::path(path).parent_path().string();
  if (::stat(parent.c_str(), &folder) == 0 && folder.st_uid != ::geteuid() && ::geteuid() == 0) {
    if (::fchown(fd, folder.st_uid, folder.st_gid) != 0) {
      // Not an error: the file is then root's, readable by its user.
    }
  }
  bool ok = WriteAll(fd, text) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  bool linked = false;
  if (ok) {
    linked = ::link(temp.c_str(), path.c_str()) == 0;
    // A file system without hard links: renamed into place instead.
    if (!linked && (errno == EPERM || errno == EOPNOTSUPP)) ok = ::rename(temp.c_str(), path.c_str()) == 0;
    else ok = linked;
  }
  const int saved = errno;
  if (linked || !ok) ::unlink(temp.c_str());
  if (!ok) {
    *exists = saved == EEXIST;
    *error = std::strerror(saved);
    return false;
  }
  const int dir = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool remove = false;
  std::string libexec;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      PrintHelp();
      return 0;
    } else if (a == "--version") {
      std::fputs(orvo::shell::VersionLine(kSelf).c_str(), stdout);
      return 0;
    } else if (a == "--remove") {
      remove = true;
    } else if (a == "--libexec-dir") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        std::fprintf(stderr, "%s: --libexec-dir needs a folder\n", kSelf);
        return 2;
      }
      libexec = argv[++i];
    } else {
      std::fprintf(stderr, "%s: unknown argument \"%s\" (see --help)\n", kSelf, a.c_str());
      return 2;
    }
  }

  if (libexec.empty()) {
    libexec = DefaultLibexecDir();
    if (libexec.empty()) {
      std::fprintf(stderr, "%s: cannot find the Orvo programs; name their folder with --libexec-dir\n", kSelf);
      return 1;
    }
  } else {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(libexec, ec);
    if (!ec) libexec = absolute.lexically_normal().string();
    while (libexec.size() > 1 && libexec.back() == '/') libexec.pop_back();
  }

  std::vector<orvo::xss::Program> programs;
  for (const orvo::catalog::Entry& e : orvo::catalog::Savers()) {
    const std::string path = libexec + "/" + e.module->program;
    programs.push_back({e.module->display_name, path, path + " --root"});
    if (!remove && ::access(path.c_str(), X_OK) != 0) {
      std::fprintf(stderr, "%s: %s is not an installed program\n", kSelf, path.c_str());
      return 1;
    }
  }

  const std::string home = HomeFolder();
  if (home.empty()) {
    std::fprintf(stderr, "%s: no home folder (HOME is not set)\n", kSelf);
    return 1;
  }
  const std::string path = home + "/.xscreensaver";
  std::string text;
  std::string error;
  bool created = false;
  switch (ReadFile(path, &text, &error)) {
    case ReadResult::kMissing: {
      if (remove) {
        std::printf("%s does not exist: nothing to remove.\n", path.c_str());
        return 0;
      }
      // A fresh account: the file xscreensaver would first save, with ours.
      if (!XscreensaverInstalled()) {
        std::fprintf(stderr, "%s: xscreensaver is not installed (no xscreensaver command on PATH)\n", kSelf);
        return 1;
      }
      const std::string defaults = AppDefaultsFile();
      std::string defaults_text;
      if (defaults.empty() || ReadFile(defaults, &defaults_text, &error) != ReadResult::kOk) {
        std::fprintf(stderr, "%s: cannot read xscreensaver's defaults (its app-defaults file XScreenSaver)\n",
                     kSelf);
        return 1;
      }
      text = orvo::xss::NewPreferences(defaults_text, defaults, std::string(kSelf) + " " + orvo::shell::Version());
      if (text.empty()) {
        std::fprintf(stderr, "%s: %s holds no programs list\n", kSelf, defaults.c_str());
        return 1;
      }
      created = true;
      break;
    }
    case ReadResult::kError:
      std::fprintf(stderr, "%s: cannot read %s: %s\n", kSelf, path.c_str(), error.c_str());
      return 1;
    case ReadResult::kOk:
      break;
  }

  const orvo::xss::Edit edit = remove ? orvo::xss::RemovePrograms(text, programs)
                                      : orvo::xss::AddPrograms(text, programs);
  if (!edit.changed()) {
    if (remove) {
      std::printf("No Orvo savers in the programs list of %s: nothing to remove.\n", path.c_str());
    } else {
      std::printf("All nine Orvo savers are already in the programs list of %s.\n", path.c_str());
    }
    return 0;
  }
  if (created) {
    bool exists = false;
    if (!CreateFile(path, edit.text, &exists, &error)) {
      std::fprintf(stderr, "%s: cannot write %s: %s%s\n", kSelf, path.c_str(), error.c_str(),
                   exists ? " (it appeared meanwhile: run the command again)" : "");
      return 1;
    }
    std::printf("Wrote %s with xscreensaver's settings and programs and the %d Orvo savers (from %s).\n",
                path.c_str(), edit.added, libexec.c_str());
    return 0;
  }
  if (!ReplaceFile(path, edit.text, &error)) {
    std::fprintf(stderr, "%s: cannot write %s: %s (the file is unchanged)\n", kSelf, path.c_str(),
                 error.c_str());
    return 1;
  }
  if (remove) {
    std::printf("Took %d Orvo saver%s out of the programs list of %s.\n", edit.removed,
                edit.removed == 1 ? "" : "s", path.c_str());
  } else {
    std::printf("Added %d Orvo saver%s (from %s) to the programs list of %s.\n", edit.added,
                edit.added == 1 ? "" : "s", libexec.c_str(), path.c_str());
    if (edit.new_list) {
      std::printf("The file had no programs list: it now holds the Orvo savers only, until\n"
                  "xscreensaver-settings next saves it with its own programs added.\n");
    }
  }
  return 0;
}
