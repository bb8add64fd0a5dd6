#pragma once
// UTF-8 inside, UTF-16 at the system's wide calls: the conversions, for the
// Windows implementations only.
#include <string>

namespace win32 {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);

} // namespace win32
