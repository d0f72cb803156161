// Whole-file access for the private-profile functions and the registry.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace orvo::ini {

// Files larger than this are refused (reads give defaults, writes fail)
// rather than half-read or truncated.
inline constexpr std::size_t kMaxFileBytes = 16u << 20;

enum class ReadResult {
  kOk,       // text holds the file
  kMissing,  // no such file: text is empty
  kError,    // exists but cannot be read (permissions, a folder, too large)
};

ReadResult ReadText(const std::string& path, std::string& text);

// Read-modify-write under an exclusive lock on path + ".lock": edit gets
// the current text (empty for a missing file) and returns the new text, or
// nullopt when nothing changes (the file is then left alone; true). The new text goes to a temporary file in
// the same folder, is flushed to disk and renamed over path, so the file is
// either the old or the new one, never a mix. Creates the folder of a bare
// configuration name. Returns false when nothing could be written; the old
// file is then untouched.
bool UpdateFile(const std::string& path, bool create_folder,
                const std::function<std::optional<std::string>(const std::string&)>& edit);

}  // namespace orvo::ini
