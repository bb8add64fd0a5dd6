#pragma once
// What the Windows implementations share: UTF-8 inside and UTF-16 at the
// system's wide calls, command lines as CreateProcessW takes them, and the
// letters of unique file names. No state but a counter.
#include <string>
#include <vector>

namespace win32 {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);
// The arguments as one command line that CommandLineToArgvW reads back
// exactly: quoted where they hold blanks or quotes, backslashes doubled
// before a quote. No shell is involved.
std::wstring commandLine(const std::vector<std::string>& args);
// Six letters and digits that no other name made now by this or another
// process is likely to share; callers still make the file CREATE_NEW.
std::string sixLetters();

} // namespace win32
