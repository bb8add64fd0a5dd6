// The manual opens from the link notice in whatever browser the desktop has,
// often without a network: every link and image must be found beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "texts/manual_link.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Where the built program looks for its manual: the build tree's copy.
fs::path builtManualFolder() {
    return fs::path(KK_BINARY).parent_path() / "share/doc/klangkelter";
}

TEST(Manual, EveryLinkAndImageIsFoundBesideThePage) {
    const fs::path source = fs::path(KK_SOURCE_DIR) / "docs";
    const std::string page = readAll(source / "manual.html");
    ASSERT_FALSE(page.empty());

    std::set<std::string> ids;
    const std::regex idAttr(R"re(\sid="([^"]+)")re");
    for (std::sregex_iterator it(page.begin(), page.end(), idAttr), end; it != end; ++it)
        ids.insert((*it)[1]);

    const std::regex reference(R"re(\s(href|src)="([^"]*)")re");
    int local = 0;
    for (std::sregex_iterator it(page.begin(), page.end(), reference), end; it != end; ++it) {
        const std::string target = (*it)[2];
        EXPECT_EQ(target.find("//"), std::string::npos)
            << target << ": the page must not need the network";
        if (target.empty() || target[0] == '#') {
            EXPECT_TRUE(target.size() > 1 && ids.count(target.substr(1))) << "no anchor " << target;
            continue;
        }
        const std::string file = target.substr(0, target.find('#'));
        EXPECT_TRUE(fs::is_regular_file(source / file)) << file << " missing in docs/";
        EXPECT_TRUE(fs::is_regular_file(builtManualFolder() / file))
            << file << " not copied beside the built program";
        ++local;
    }
    EXPECT_GT(local, 0) << "the annotated screenshot";
}

TEST(Manual, TheBuiltProgramFindsItsCopy) {
    // The tests live one folder below the program, as an installed program
    // lies one folder below share/.
    EXPECT_EQ(fs::weakly_canonical(manualPath()),
              fs::weakly_canonical(builtManualFolder() / "manual.html"));
    EXPECT_TRUE(fs::is_regular_file(manualPath()));
}

} // namespace
