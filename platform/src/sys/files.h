// The file-system primitives under the INI files, one implementation per
// system: POSIX (sys/files_posix.cpp) and Windows (the Win32 back end's
// system folder). Paths are UTF-8 on both; the Windows side converts them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace orvo::sys {

// An environment variable as UTF-8; "" when unset.
std::string EnvironmentValue(const char* name);

// The folder for bare INI file names when $ORVO_CONFIG_DIR is not set:
// $XDG_CONFIG_HOME/orvo, else $HOME/.config/orvo on Linux; %APPDATA%\Orvo
// on Windows. "" when none can be found.
std::string DefaultConfigDirectory();

// Whether a file name names its folder too ("a/b.ini"; on Windows also
// "a\b.ini" and "C:b.ini"), so that it is used as it is.
bool NamesFolder(const std::string& name);

// `folder` joined with `name` by the system's separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);

// Creates `folder` and its missing parents; true when it exists afterwards.
bool MakeFolders(const std::string& folder);

enum class ReadStatus {
  kOk,       // text holds the file
  kMissing,  // no such file: text is empty
  kError,    // exists but cannot be read (permissions, a folder, too large)
};

// The whole file, when it holds at most max_bytes.
ReadStatus ReadWholeFile(const std::string& path, std::size_t max_bytes, std::string& text);

// An exclusive lock held on a lock file until destroyed; it blocks while
// another process (or another handle in this one) holds it.
class FileLock {
 public:
  virtual ~FileLock() = default;
};
std::unique_ptr<FileLock> LockExclusive(const std::string& lock_path);

// Writes `text` into a new temporary file in the folder of `target`,
// flushes it to disk and moves it over `target` in one step, so `target`
// is the old file or the new one, never a mix. On POSIX systems the new
// file keeps the old one's permission bits. False when it could not;
// `target` is then untouched.
bool ReplaceFileContents(const std::string& target, const std::string& text);

// The file a symbolic link points to, so that replacing it keeps the link;
// the path itself when it is no link.
std::string FollowLink(const std::string& path);

}  // namespace orvo::sys
