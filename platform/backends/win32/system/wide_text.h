// UTF-8 <-> UTF-16 for the Windows side: our strings are UTF-8, the
// system's wide functions take UTF-16. Invalid input becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace orvo::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace orvo::win32
