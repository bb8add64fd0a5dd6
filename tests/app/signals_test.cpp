#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/audio_fixtures.h"
#include "tests/support/processes.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

// SIGTERM, SIGINT, SIGHUP and SIGQUIT end the program within a second whatever it is doing,
// with no decoder left running and no buffer file left in TMPDIR.
struct Case {
    int signal;
    bool dialogOpen;
};

class Signals : public ::testing::TestWithParam<Case> {
  protected:
    static inline TempDir* sources = nullptr;
    static void SetUpTestSuite() {
        sources = new TempDir;
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("a40.mp3"), 40, 440, 0.3, 8000, 1));
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("b40.mp3"), 40, 660, 0.3, 8000, 1));
    }
    static void TearDownTestSuite() {
        delete sources;
        sources = nullptr;
    }
};

TEST_P(Signals, EndTheProgramPromptlyWithNothingLeftBehind) {
    const Case c = GetParam();
    TempDir dir;
    const std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    for (const char* name : {"a40.mp3", "b40.mp3"})
        fs::copy_file(sources->file(name), music + name);
    // The decoder starts its buffer file, then waits on a child of its own
    // that hangs.
    fixtures::installFakeDecoder(dir.path(), "empty\nchild " + dir.file("pid") + "\nhang\n");
    std::string script = scenario::loadIntoPlaylist(music + "a40.mp3") + "key ctrl+p\nwait 1\n";
    if (c.dialogOpen) script += "dialog hold 100000 cancel\nclick 903 83\n";
    script += "wait 100000\n";
    auto running =
        scenario::start(dir.path(), script,
                        {"--program-dir", dir.path(), "--process-wait", c.dialogOpen ? "0" : "100"},
                        scenario::isolatedEnvironment(dir.path()));
    ASSERT_GT(running.pid, 0);
    // The decoder starts with the import. Without the dialog the program waits
    // for it (virtual time must not outrun a real child); with it, virtual
    // time goes on and the dialog opens a moment later, long before the
    // decoder's time limit.
    for (int i = 0; i < 1000 && !fs::exists(dir.file("pid")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(fs::exists(dir.file("pid")));
    if (c.dialogOpen) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int decoderPid = 0;
    for (int i = 0; i < 100 && decoderPid == 0; ++i) {
        std::ifstream(dir.file("pid")) >> decoderPid; // it may be half written
        if (decoderPid == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_GT(decoderPid, 0);
    auto buffers = [&] {
        int n = 0;
        for (const auto& e : fs::directory_iterator(dir.path()))
            n += e.path().filename().string().rfind("klangkelter-", 0) == 0;
        return n;
    };
    ASSERT_EQ(buffers(), 1);

    const auto sent = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(running.pid, c.signal), 0);
    auto r = scenario::finish(running);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
    EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
    EXPECT_LT(seconds, 1.0);
    // Orphaned by the decoder, it may linger a moment as a zombie until init
    // reaps it: that is dead too.
    EXPECT_FALSE(probe::alive(decoderPid)) << "the decoder's child outlived the program";
    EXPECT_EQ(buffers(), 0);
}

INSTANTIATE_TEST_SUITE_P(DecodingOrInADialog, Signals,
                         ::testing::Values(Case{SIGTERM, false}, Case{SIGINT, false},
                                           Case{SIGHUP, false}, Case{SIGQUIT, false},
                                           Case{SIGTERM, true}, Case{SIGINT, true}));

} // namespace
