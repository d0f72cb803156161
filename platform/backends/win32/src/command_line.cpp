#include "command_line.h"

#include "wide_text.h"

namespace orvo::win32 {

std::string CommandTailOf(std::wstring_view line) {
  std::size_t i = 0;
  if (i < line.size() && line[i] == L'"') {
    // A quoted name ends at the next quote (or with the line).
    ++i;
    while (i < line.size() && line[i] != L'"') ++i;
    if (i < line.size()) ++i;
  } else {
    // An unquoted name ends at the first blank or control character.
    while (i < line.size() && line[i] > L' ') ++i;
  }
  while (i < line.size() && line[i] >= 1 && line[i] <= L' ') ++i;
  return Narrow(line.substr(i));
}

}  // namespace orvo::win32
