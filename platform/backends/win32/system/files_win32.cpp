// The file-system primitives on Windows: wide-character paths, a lock file
// held with LockFileEx, and replacement with MoveFileExW.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "sys/files.h"
#include "wide_text.h"

namespace orvo::sys {
namespace {

using orvo::win32::Narrow;
using orvo::win32::Widen;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Closes a handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Reset(); }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  bool Reset() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return h == INVALID_HANDLE_VALUE || h == nullptr || CloseHandle(h) != 0;
  }

 private:
  HANDLE h_;
};

class LockFileLock final : public FileLock {
 public:
  explicit LockFileLock(HANDLE h) : file_(h) {}
  ~LockFileLock() override {
    OVERLAPPED whole{};
    UnlockFileEx(file_.get(), 0, 1, 0, &whole);
  }

 private:
  Handle file_;
};

// Sharing violations are passing: another reader (a virus scanner, an
// editor saving) holds the file for a moment.
bool Passing(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION;
}

// A file is replaced only while nobody holds it open: a reader that lets
// go within this time delays a write, one that holds on makes it fail.
constexpr int kAttempts = 50;
constexpr DWORD kAttemptPauseMs = 20;

}  // namespace

std::string EnvironmentValue(const char* name) {
  const std::wstring wide_name = Widen(name);
  const DWORD n = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (n == 0) return std::string();
  std::wstring value(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(wide_name.c_str(), value.data(), n);
  if (got == 0 || got >= n) return std::string();
  value.resize(got);
  return Narrow(value);
}

std::string DefaultConfigDirectory() {
  std::string base = EnvironmentValue("APPDATA");
  if (base.empty()) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK)
      base = Narrow(path);
  }
  if (base.empty()) return std::string();
  return JoinPath(base, "Orvo");
}

bool NamesFolder(const std::string& name) {
  return name.find_first_of("/\\:") != std::string::npos;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || IsSeparator(folder.back())) return folder + name;
  return folder + "\\" + name;
}

std::string FolderOf(const std::string& path) {
  const std::size_t at = path.find_last_of("/\\");
  if (at == std::string::npos) {
    // "C:name" lives in the current folder of drive C.
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    return ".";
  }
  // The root keeps its separator: "C:\" or "\".
  if (at == 0 || (at == 2 && path[1] == ':')) return path.substr(0, at + 1);
  return path.substr(0, at);
}

bool MakeFolders(const std::string& folder) {
  const std::wstring wide = Widen(folder);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const std::string parent = FolderOf(folder);
  if (parent != folder && parent != "." && !MakeFolders(parent)) return false;
  if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
  const DWORD now = GetFileAttributesW(wide.c_str());
  return now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

ReadStatus ReadWholeFile(const std::string& path, std::size_t max_bytes, std::string& text) {
  text.clear();
  const std::wstring wide = Widen(path);
  HANDLE raw = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // Readers never stand in the way of a writer's replacement.
    raw = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
    Sleep(kAttemptPauseMs);
  }
  Handle file(raw);
  if (!file.valid()) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ReadStatus::kMissing;
    return ReadStatus::kError;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return ReadStatus::kError;
  }
  const unsigned long long size =
      (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (size > max_bytes) return ReadStatus::kError;
  char chunk[16384];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.get(), chunk, sizeof chunk, &n, nullptr)) {
      text.clear();
      return ReadStatus::kError;
    }
    if (n == 0) break;
    if (text.size() + n > max_bytes) {
      text.clear();
      return ReadStatus::kError;
    }
    text.append(chunk, n);
  }
  return ReadStatus::kOk;
}

std::unique_ptr<FileLock> LockExclusive(const std::string& lock_path) {
  HANDLE raw = CreateFileW(Widen(lock_path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (raw == INVALID_HANDLE_VALUE) return nullptr;
  OVERLAPPED whole{};
  // Waits until no other handle holds the first byte.
  if (!LockFileEx(raw, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
    CloseHandle(raw);
    return nullptr;
  }
  return std::make_unique<LockFileLock>(raw);
}

bool ReplaceFileContents(const std::string& target, const std::string& text) {
  static std::atomic<unsigned> counter{0};
  const std::wstring wide_target = Widen(target);
  // A file its owner made read-only stays as it is (the move would not ask).
  const DWORD attributes = GetFileAttributesW(wide_target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
  // A name of its own per process and call, in the target's folder so the
  // move never crosses volumes.
  std::wstring temp;
  HANDLE raw = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && raw == INVALID_HANDLE_VALUE; ++attempt) {
    temp = wide_target + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter.fetch_add(1));
    raw = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                      nullptr);
    if (raw == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  Handle file(raw);
  if (!file.valid()) return false;
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < text.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 20));
    DWORD written = 0;
    ok = WriteFile(file.get(), text.data() + done, chunk, &written, nullptr) != 0 && written == chunk;
    done += written;
  }
  if (ok) ok = FlushFileBuffers(file.get()) != 0;
  ok = file.Reset() && ok;
  if (ok) {
    ok = false;
    for (int attempt = 0; attempt < kAttempts && !ok; ++attempt) {
      ok = MoveFileExW(temp.c_str(), wide_target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
      if (!ok && !Passing(GetLastError())) break;
      if (!ok) Sleep(kAttemptPauseMs);
    }
  }
  if (!ok) DeleteFileW(temp.c_str());
  return ok;
}

std::string FollowLink(const std::string& path) {
  // A symbolic link is replaced by the move like any file; links to
  // settings files are rare on Windows and not followed.
  return path;
}

}  // namespace orvo::sys
