// The test binary's entry. Its repeats in a shuffled order find faults of
// order and of left-over state in this process; a test that runs the program
// in a child repeats only the child's run, so the first round records those
// tests (KK_RECORD_PROGRAM_TESTS=FILE) and the later rounds leave them out
// (KK_SKIP_TESTS_IN=FILE:FILE...).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/scenario.h"

namespace {

class ProgramTestRecorder : public ::testing::EmptyTestEventListener {
  public:
    explicit ProgramTestRecorder(std::string path) : path_(std::move(path)) {}

    void OnTestStart(const ::testing::TestInfo&) override { before_ = scenario::programsStarted; }
    void OnTestEnd(const ::testing::TestInfo& info) override {
        if (scenario::programsStarted != before_)
            names_.insert(std::string(info.test_suite_name()) + "." + info.name());
    }
    void OnTestProgramEnd(const ::testing::UnitTest&) override {
        const std::string part = path_ + ".part";
        {
            std::ofstream out(part, std::ios::trunc);
            for (const std::string& name : names_)
                out << name << "\n";
        }
        std::rename(part.c_str(), path_.c_str());
    }

  private:
    std::string path_;
    std::set<std::string> names_;
    int before_ = 0;
};

// The names in the files, as a negative filter appended to `filter`.
std::string withoutListed(std::string filter, const std::string& files) {
    std::string excluded;
    std::stringstream list(files);
    std::string file;
    while (std::getline(list, file, ':')) {
        std::ifstream in(file);
        std::string name;
        while (std::getline(in, name))
            if (!name.empty()) excluded += (excluded.empty() ? "" : ":") + name;
    }
    if (excluded.empty()) return filter;
    return filter + (filter.find('-') == std::string::npos ? "-" : ":") + excluded;
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (const char* files = std::getenv("KK_SKIP_TESTS_IN"))
        GTEST_FLAG_SET(filter, withoutListed(GTEST_FLAG_GET(filter), files));
    if (const char* record = std::getenv("KK_RECORD_PROGRAM_TESTS"))
        ::testing::UnitTest::GetInstance()->listeners().Append(new ProgramTestRecorder(record));
    return RUN_ALL_TESTS();
}
