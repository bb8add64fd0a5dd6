#include "app/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string outputOf(const std::string& command, int& status) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    char buf[512];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    status = p ? pclose(p) : -1;
    return out;
}

TEST(Options, HelpAndVersionWinOverEverythingElseOnTheLine) {
    std::string error;
    const char* help[] = {"klangkelter", "--headless", "--help", "--no-such-option"};
    auto o = parseOptions(4, const_cast<char**>(help), error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->help);
    const char* version[] = {"klangkelter", "--version"};
    o = parseOptions(2, const_cast<char**>(version), error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->version);
    EXPECT_FALSE(o->help);
}

// Every option the usage lines name has a line of its own that explains it.
TEST(Options, HelpPrintsEveryOptionOnItsOwnLineAndExitsZero) {
    int status = -1;
    const std::string out = outputOf(std::string(KK_BINARY) + " --help", status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, kUsage);
    std::set<std::string> named, explained;
    const std::regex option(R"(--[a-z-]+)");
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const bool explains = line.rfind("  --", 0) == 0;
        for (std::sregex_iterator it(line.begin(), line.end(), option), end; it != end; ++it)
            named.insert(it->str());
        if (explains) explained.insert(line.substr(2, line.find(' ', 2) - 2));
    }
    for (const std::string& name : named)
        EXPECT_TRUE(explained.count(name)) << name << " has no line of its own";
    EXPECT_TRUE(explained.count("--resume") && explained.count("--endless"));
}

TEST(Options, VersionPrintsTheBuildsVersion) {
    int status = -1;
    EXPECT_EQ(outputOf(std::string(KK_BINARY) + " --version", status),
              std::string("klangkelter ") + KK_VERSION + "\n");
    EXPECT_EQ(status, 0);
}

} // namespace
