// The private-profile functions over real files.
#include <cstring>
#include <string>
#include <vector>

#include "ini/ini_file.h"
#include "ini/ini_text.h"
#include "orvo/config_path.h"
#include "orvo/win_kernel.h"

namespace {

using orvo::ini::ReadResult;

std::string ReadProfile(LPCSTR file) {
  std::string text;
  orvo::ini::ReadText(orvo::ResolveConfigPath(file), text);  // unreadable reads as empty
  return text;
}

// Copies a string and its terminator, cut to fit; returns the length copied.
DWORD CopyValue(const std::string& value, LPSTR buffer, DWORD size) {
  std::size_t n = value.size() < size - 1 ? value.size() : size - 1;
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

// Copies names as "a\0b\0\0". When they do not fit, the list is cut and
// still ends with two terminators; the result is then size - 2.
DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
  std::string joined;
  for (const std::string& name : names) {
    joined.append(name.c_str());  // a name stops at an embedded NUL
    joined.push_back('\0');
  }
  if (joined.size() + 1 <= size) {
    std::memcpy(buffer, joined.data(), joined.size());
    buffer[joined.size()] = '\0';
    if (joined.empty() && size > 1) buffer[1] = '\0';
    return static_cast<DWORD>(joined.size());
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, joined.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

// Leading blanks, an optional sign, then decimal digits up to the first
// other character; arithmetic wraps modulo 2^32 like the 32-bit result.
UINT ParseProfileInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  UINT value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10u + static_cast<UINT>(text[i] - '0');
  }
  return negative ? 0u - value : value;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR buffer, DWORD size,
                               LPCSTR file) {
  if (!buffer || size == 0) return 0;
  const std::string text = ReadProfile(file);
  if (!section) return CopyList(orvo::ini::ListKeys(text, nullptr), buffer, size);
  if (!key) {
    std::string_view wanted(section);
    return CopyList(orvo::ini::ListKeys(text, &wanted), buffer, size);
  }
  std::optional<std::string> value = orvo::ini::Lookup(text, section, key);
  if (value) return CopyValue(*value, buffer, size);
  std::string fallback = default_value ? default_value : "";
  while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t')) fallback.pop_back();
  return CopyValue(fallback, buffer, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR file) {
  const UINT fallback = static_cast<UINT>(default_value);
  if (!section || !key) return fallback;
  std::optional<std::string> value = orvo::ini::Lookup(ReadProfile(file), section, key);
  if (!value || value->empty()) return fallback;
  return ParseProfileInt(*value);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  if (!section) return (!key && !value) ? TRUE : FALSE;  // a flush request: nothing is cached
  if (!file || !*file || !orvo::ini::ValidSection(section)) return FALSE;
  if (key && !orvo::ini::ValidKey(key)) return FALSE;
  if (key && value && !orvo::ini::ValidValue(value)) return FALSE;
  const std::string path = orvo::ResolveConfigPath(file);
  if (path.empty()) return FALSE;
  const bool bare_name = std::strchr(file, '/') == nullptr;
  const std::string sec(section);
  const std::string k = key ? key : "";
  const std::string v = value ? value : "";
  auto edit = [&](const std::string& text) -> std::optional<std::string> {
    std::optional<std::string> out;
    if (!key) {
      out = orvo::ini::DeleteSection(text, sec);
    } else if (!value) {
      out = orvo::ini::DeleteKey(text, sec, k);
    } else {
      out = orvo::ini::SetValue(text, sec, k, v);
    }
    if (out && *out == text) return std::nullopt;
    return out;
  };
  return orvo::ini::UpdateFile(path, bare_name, edit) ? TRUE : FALSE;
}
