// The registry subset: the current user's "Control Panel\Desktop" key, read
// from registry.ini in the configuration folder. Values are decimal or
// 0x-hexadecimal numbers and read as REG_DWORD; a value that is not a
// number is reported on the debugger output and reads as missing.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "ini/ini_file.h"
#include "ini/ini_text.h"
#include "orvo/config_path.h"
#include "orvo/win_kernel.h"

namespace {

constexpr LSTATUS kErrorInvalidHandle = 6;
constexpr LSTATUS kErrorInvalidParameter = 87;
constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kDesktopSection = "HKEY_CURRENT_USER\\Control Panel\\Desktop";
constexpr const char* kRegistryFile = "registry.ini";

// The one opened key. Not a pointer to anything: handles are only compared.
const HKEY kDesktopHandle = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x0D35C000u));

std::optional<DWORD> ParseDword(const std::string& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  unsigned base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    if (digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > 0xFFFFFFFFu) return std::nullopt;  // does not fit a DWORD
  }
  DWORD result = static_cast<DWORD>(value);
  return negative ? 0u - result : result;
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD /*options*/, DWORD /*access*/, HKEY* result) {
  if (!result) return kErrorInvalidParameter;
  *result = nullptr;
  if (key == kDesktopHandle && (!sub_key || !*sub_key)) {
    *result = kDesktopHandle;
    return ERROR_SUCCESS;
  }
  if (key != HKEY_CURRENT_USER) return key == kDesktopHandle ? ERROR_FILE_NOT_FOUND : kErrorInvalidHandle;
  if (!sub_key || !*sub_key) {
    *result = HKEY_CURRENT_USER;
    return ERROR_SUCCESS;
  }
  if (!orvo::ini::NamesEqual(sub_key, kDesktopKey)) return ERROR_FILE_NOT_FOUND;
  *result = kDesktopHandle;
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, DWORD* /*reserved*/, DWORD* type, BYTE* data, DWORD* size) {
  if (key == HKEY_CURRENT_USER) return ERROR_FILE_NOT_FOUND;  // no values at the root
  if (key != kDesktopHandle) return kErrorInvalidHandle;
  if (data && !size) return kErrorInvalidParameter;
  std::string text;
  orvo::ini::ReadText(orvo::ResolveConfigPath(kRegistryFile), text);
  std::optional<std::string> value = orvo::ini::Lookup(text, kDesktopSection, name ? name : "");
  if (!value) return ERROR_FILE_NOT_FOUND;

  std::optional<DWORD> number = ParseDword(*value);
  if (!number) {
    std::string line = std::string(kRegistryFile) + ": value \"" + (name ? name : "") + "\" is not a number";
    OutputDebugStringA(line.c_str());
    return ERROR_FILE_NOT_FOUND;
  }
  if (type) *type = REG_DWORD;
  if (!data) {
    if (size) *size = 4;
    return ERROR_SUCCESS;
  }
  if (*size < 4) {
    *size = 4;
    return ERROR_MORE_DATA;
  }
  *size = 4;
  DWORD v = *number;
  std::memcpy(data, &v, 4);  // little-endian, as the desktop stores it
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
  return (key == kDesktopHandle || key == HKEY_CURRENT_USER) ? ERROR_SUCCESS : kErrorInvalidHandle;
}
