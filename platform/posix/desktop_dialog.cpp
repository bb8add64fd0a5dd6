// The desktop's file dialog on Linux: zenity or kdialog, run as a child while
// the music goes on.
#include "platform/desktop_dialog.h"

#include <cctype>
#include <vector>

#include "platform/files.h"
#include "platform/path_rules.h"
#include "platform/process.h"

namespace dialogs {
namespace {

// "*.[mM][pP]3": the dialogs' filters are case-sensitive globs.
std::string anyCaseGlob(const std::string& extension) {
    std::string glob = "*";
    for (char c : extension) {
        if (std::isalpha(static_cast<unsigned char>(c)))
            glob += std::string("[") + char(std::tolower(static_cast<unsigned char>(c))) +
                    char(std::toupper(static_cast<unsigned char>(c))) + "]";
        else
            glob += c;
    }
    return glob;
}

std::string folderArgument(const std::string& startFolder) {
    std::string f = startFolder.empty() ? "." : startFolder;
    return pathrules::asFolder(f);
}

} // namespace

std::optional<std::string> desktopFileDialog(const std::string& title, const FileFilter& filter,
                                             const std::string& startFolder, bool save) {
    std::string output;
    if (!files::findTool("", "zenity").empty()) {
        std::string pattern = anyCaseGlob(filter.extension);
        std::vector<std::string> argv = {"zenity", "--file-selection", "--title=" + title,
                                         "--filename=" + folderArgument(startFolder),
                                         "--file-filter=" + filter.name + " | " + pattern};
        if (save) {
            argv.push_back("--save");
            argv.push_back("--confirm-overwrite");
        }
        int rc = process::run(argv, &output, whileOpen);
        return rc == 0 ? output : std::string();
    }
    if (!files::findTool("", "kdialog").empty()) {
        std::string pattern = anyCaseGlob(filter.extension);
        int rc = process::run({"kdialog", "--title", title,
                               save ? "--getsavefilename" : "--getopenfilename",
                               folderArgument(startFolder), pattern + "|" + filter.name},
                              &output, whileOpen);
        return rc == 0 ? output : std::string();
    }
    return std::nullopt;
}

} // namespace dialogs
