// The few POSIX calls the portable tests use, for the Windows build (the
// C runtime spells them differently). Included into every test source of
// that build by the compiler; nothing here includes windows.h.
#pragma once

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <process.h>
#include <stdlib.h>
#include <string.h>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  // An empty value removes a variable here; our readers treat both alike.
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

// POSIX's mkdir takes permissions, which folders here do not have.
inline int mkdir(const char* path, int /*mode*/) { return _mkdir(path); }

// A folder given as a std::filesystem::path, whose text is wide here.
inline int setenv(const char* name, const wchar_t* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  wchar_t wide_name[256] = {};
  for (size_t i = 0; name[i] != '\0' && i + 1 < 256; ++i) wide_name[i] = static_cast<unsigned char>(name[i]);
  return _wputenv_s(wide_name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

// A new folder named after `pattern` (ending in XXXXXX), or nullptr.
inline char* mkdtemp(char* pattern) {
  const size_t size = strlen(pattern) + 1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char* name = static_cast<char*>(malloc(size));
    if (name == nullptr) return nullptr;
    memcpy(name, pattern, size);
    const bool named = _mktemp_s(name, size) == 0;
    const bool made = named && _mkdir(name) == 0;
    if (made) memcpy(pattern, name, size);
    free(name);
    if (made) return pattern;
    if (!named) return nullptr;
  }
  return nullptr;
}
#endif
