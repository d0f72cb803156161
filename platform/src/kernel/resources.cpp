// The program's instance and its string resources.
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "orvo/resources.h"
#include "orvo/win_user.h"

namespace orvo::platform {
namespace {

std::map<std::pair<std::uintptr_t, UINT>, std::string>& Strings() {
  static std::map<std::pair<std::uintptr_t, UINT>, std::string> strings;
  return strings;
}

}  // namespace

HINSTANCE ProgramInstance() {
  return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x400000));
}

void SetStringResource(HINSTANCE instance, UINT id, const char* text) {
  Strings()[{reinterpret_cast<std::uintptr_t>(instance), id}] = text != nullptr ? text : "";
}

}  // namespace orvo::platform

using namespace orvo::platform;

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  auto& strings = Strings();
  auto it = strings.find({reinterpret_cast<std::uintptr_t>(instance), id});
  if (it == strings.end()) {
    buffer[0] = '\0';
    return 0;
  }
  const int n = std::min<int>(static_cast<int>(it->second.size()), size - 1);
  std::memcpy(buffer, it->second.data(), static_cast<std::size_t>(n));
  buffer[n] = '\0';
  return n;
}
