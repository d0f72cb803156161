// The command-line tail the shell's entry takes, from the whole command
// line the system keeps for the process.
#pragma once

#include <string>
#include <string_view>

namespace orvo::win32 {

// What follows the program's name (which may be enclosed in double quotes)
// and every following character from 1 to 32, as UTF-8.
std::string CommandTailOf(std::wstring_view command_line);

}  // namespace orvo::win32
