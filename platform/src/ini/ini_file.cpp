// File access for the INI functions: locating the configuration folder,
// reading whole files, and crash-safe locked rewrites. The system-specific
// steps are the primitives of sys/files.h.
#include "ini/ini_file.h"

#include "orvo/config_path.h"
#include "sys/files.h"

namespace orvo {

std::string ConfigDirectory() {
  std::string dir = sys::EnvironmentValue("ORVO_CONFIG_DIR");
  if (!dir.empty()) return dir;
  return sys::DefaultConfigDirectory();
}

std::string ResolveConfigPath(const char* name) {
  if (!name || !*name) return std::string();
  std::string file(name);
  if (sys::NamesFolder(file)) return file;
  std::string dir = ConfigDirectory();
  if (dir.empty()) return std::string();
  return sys::JoinPath(dir, file);
}

namespace ini {

ReadResult ReadText(const std::string& path, std::string& text) {
  text.clear();
  if (path.empty()) return ReadResult::kMissing;
  switch (sys::ReadWholeFile(path, kMaxFileBytes, text)) {
    case sys::ReadStatus::kOk: return ReadResult::kOk;
    case sys::ReadStatus::kMissing: return ReadResult::kMissing;
    case sys::ReadStatus::kError: break;
  }
  text.clear();
  return ReadResult::kError;
}

bool UpdateFile(const std::string& path, bool create_folder,
                const std::function<std::optional<std::string>(const std::string&)>& edit) {
  if (path.empty()) return false;
  const std::string target = sys::FollowLink(path);
  if (create_folder && !sys::MakeFolders(sys::FolderOf(target))) return false;

  // The lock lives in its own file: the data file is replaced on every
  // write, so a lock on it would not be seen by the next writer.
  const std::unique_ptr<sys::FileLock> lock = sys::LockExclusive(target + ".lock");
  if (!lock) return false;

  std::string text;
  if (ReadText(target, text) == ReadResult::kError) return false;
  std::optional<std::string> updated = edit(text);
  if (!updated) return true;
  return sys::ReplaceFileContents(target, *updated);
}

}  // namespace ini
}  // namespace orvo
