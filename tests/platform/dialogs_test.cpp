// The path line of the window's own prompt: what is typed names the file.
#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/path_rules.h"
#include "platform/screen.h"
#include "tests/support/audio_fixtures.h"

namespace {

namespace fs = std::filesystem;

// A UTF-8 name as a path, whatever the system's narrow code page is.
fs::path utf8Path(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

void type(dialogs::PathLine& line, const std::string& utf8) {
    for (char c : screen::cp437(utf8))
        line.feed(std::string(1, c));
}

TEST(PathLine, UmlautsTypedInTheWindowNameTheFileOnDisk) {
    fixtures::TempDir dir;
    const std::string folder = dir.file("Musik für Café");
    fs::create_directory(utf8Path(folder));
    std::ofstream(utf8Path(folder + "/Café del Mar.mp3")) << "x";

    dialogs::PathLine line;
    line.text = dir.path() + "/";
    type(line, "Musik für Caf");
    line.feed("\b"); // one character back: the 'f'
    type(line, "fé/Café del Mar.mp3");
    EXPECT_EQ(line.text, folder + "/Café del Mar.mp3");
    line.feed("\r");
    ASSERT_TRUE(line.done);
    EXPECT_EQ(line.answer, folder + "/Café del Mar.mp3");

    // A name that is not there says so and waits for a better one; a folder
    // without its slash is that folder.
    dialogs::PathLine missing;
    missing.text = folder + "/Cafe del Mar.mp3";
    missing.feed("\r");
    EXPECT_FALSE(missing.done);
    EXPECT_EQ(missing.message, "nicht gefunden: " + folder + "/Cafe del Mar.mp3");
    missing.feed("\x15"); // Ctrl+U
    type(missing, folder);
    missing.feed("\r");
    EXPECT_TRUE(missing.done);
    EXPECT_EQ(missing.answer, pathrules::asFolder(folder)); // with this system's separator
    // Backspace over "é" takes both of its bytes.
    dialogs::PathLine back;
    back.text = "/Café";
    back.feed("\b");
    EXPECT_EQ(back.text, "/Caf");

    // A file to write may be new, but its folder must be there.
    dialogs::PathLine save;
    save.forSaving = true;
    save.text = folder + "/neu.PYL";
    save.feed("\r");
    EXPECT_EQ(save.answer, folder + "/neu.PYL");
    save = {};
    save.forSaving = true;
    save.text = dir.file("nirgends") + "/neu.PYL";
    save.feed("\r");
    EXPECT_FALSE(save.done);
}

} // namespace
