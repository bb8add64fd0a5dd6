#pragma once
// File-system services: where the program lives, the temporary and the state
// folders, finding a tool, looking up a file name without regard to letter
// case, atomic saves. Shared parts in files.cpp, the rest each system's own
// (posix/files.cpp, win32/files.cpp).
#include <string>
#include <vector>

namespace files {

// Folder of the running executable, ending in a separator; empty if it cannot be found.
std::string executableFolder();
// TMPDIR followed by "/", or "/tmp/" when it is not set (%TEMP% on Windows).
std::string tempFolder();
// The program's own folder for its session, made when missing:
// $XDG_STATE_HOME/klangkelter/ or ~/.local/state/klangkelter/ here,
// %LOCALAPPDATA%\klangkelter\ on Windows.
std::string stateFolder();
bool isExecutableFile(const std::string& path);
// `folder` + name if that is an executable file, else the first match on PATH
// (with the system's program suffix, ".exe" on Windows); empty when there is none.
std::string findTool(const std::string& folder, const std::string& name);
// The path as it stands on disk: the exact path if it exists, otherwise the
// first entry of its folder whose name matches without regard to case.
// Returns the input unchanged when nothing matches.
std::string resolveCase(const std::string& path);
bool exists(const std::string& path);
bool isFolder(const std::string& path);

// Writes `contents` to a temporary file in the same folder, flushes it to disk
// and renames it over `path`: an interrupted write (a crash, a full disk, a
// kill) leaves the previous version whole. False when anything failed; the
// previous version is then untouched and no temporary file is left behind.
bool writeFileAtomically(const std::string& path, const std::string& contents);
// Removes the temporary files that interrupted writes left in the folder of
// `path`; a successful write does it by itself.
void removeStaleSaveFiles(const std::string& path);
// Tests only: called with 0 to 3 between the steps of writeFileAtomically
// (made, written, flushed, closed and about to be renamed).
void setSaveStepHook(void (*hook)(int step));

// The lines of a text file, with CR LF or LF ends and with or without a final
// line end. False when the file cannot be read or is larger than `maxBytes`
// (list and session files are small; a huge one is not ours).
bool readLines(const std::string& path, std::vector<std::string>& lines,
               size_t maxBytes = size_t(4) << 20);

// Whether a file name ends in ".mp3", in any letter case.
bool hasMp3Name(const std::string& name);
// Whether it holds ".mp3" anywhere, in any letter case: a folder listing's candidates.
bool mentionsMp3(const std::string& name);

// Shared by the systems' implementations: names sorted without regard to
// case (equal ones in byte order), and a text cut into its lines.
void sortByName(std::vector<std::string>& names);
std::vector<std::string> splitLines(const std::string& text);
void saveStep(int step);

} // namespace files

namespace files {
// Regular files of `folder`, or links to regular files (no folders, no
// dangling links), whose name contains ".mp3"
// in any letter case, sorted by name without regard to case, as a directory
// listing with the pattern "*.mp3" would give them.
std::vector<std::string> listMp3Candidates(const std::string& folder);
} // namespace files
