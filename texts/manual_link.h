#pragma once
// Where the user manual lies, and the address the link notice shows and
// opens. No state: worked out from the program's own folder when asked.
#include <string>

// The manual's file: installed under share/doc/klangkelter/ beside the
// program's bin/ folder; in a build tree, the copy the build puts there.
std::string manualPath();
// `path` as a file:// URL, with the bytes a URL cannot carry escaped.
std::string fileUrl(const std::string& path);
// The manual's address, a file:// URL.
std::string manualAddress();
// The address cut to its last folder and the file name, for the notice box.
std::string shortAddress(const std::string& url);
