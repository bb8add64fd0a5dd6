// The Windows twins of the stop signals, in the real window: a close asked
// from outside (as taskkill asks it) and the end of the session end the day
// as SIGTERM does on Linux: saved, within moments, with no decoder and no
// buffer left behind. The user's own close only opens the end box.
#include <windows.h>
// (the system header first)

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "tests/support/audio_fixtures.h"
#include "tests/support/processes.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

HWND windowOf(int pid) {
    struct Search {
        DWORD pid;
        HWND found;
    } search{DWORD(pid), nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner != s->pid || !IsWindowVisible(w)) return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class StopRequests : public ::testing::Test {
  protected:
    TempDir dir;
    std::string session = dir.file("KLANGKELTER-Spielliste-Autosave.sav");
    int pid = 0;
    int decoderChild = 0;
    HWND window = nullptr;

    // A day saved with two songs in the playlist, resumed in the real window
    // with a decoder that hangs on a child of its own.
    void SetUp() override {
        const std::string music = dir.file("m") + "/";
        fs::create_directory(music);
        ASSERT_TRUE(fixtures::makeSineMp3(music + "a.mp3", 40, 440, 0.3, 8000, 1));
        fs::copy_file(music + "a.mp3", music + "b.mp3");
        auto made = scenario::run(
            dir.path(), scenario::loadIntoPlaylist(music + "a.mp3") + "key ctrl+p\nwait 8\n",
            {"--program-dir", dir.path()}, scenario::isolatedEnvironment(dir.path()));
        ASSERT_EQ(made.exitCode, 0) << made.errorOutput;
        ASSERT_TRUE(fs::exists(session));
        fixtures::installFakeDecoder(dir.path(), "empty\nchild " + dir.file("child") + "\nhang\n");
        std::vector<std::string> env = scenario::isolatedEnvironment(dir.path());
        env.push_back("SDL_AUDIODRIVER=dummy");
        pid = scenario::spawnProgram({KK_BINARY, "--resume", "--program-dir", dir.path()},
                                     dir.path(), env, dir.file("stderr.txt"));
        ASSERT_GT(pid, 0);
        for (int i = 0; i < 400 && (!window || decoderChild == 0); ++i) {
            probe::sleepSeconds(0.05);
            if (!window) window = windowOf(pid);
            std::ifstream(dir.file("child")) >> decoderChild;
        }
        ASSERT_NE(window, nullptr) << "no window";
        ASSERT_GT(decoderChild, 0) << "the decoder did not start";
        ASSERT_EQ(buffers(), 1);
        fs::remove(session);
    }
    void TearDown() override {
        if (probe::alive(pid)) probe::end(pid);
        probe::end(decoderChild);
    }
    int buffers() {
        int n = 0;
        for (const auto& e : fs::directory_iterator(dir.path()))
            n += e.path().filename().string().rfind("klangkelter-", 0) == 0;
        return n;
    }
    // Waits for the program's end; the seconds it took.
    double endsWithin(int& exitCode) {
        const auto sent = std::chrono::steady_clock::now();
        exitCode = scenario::waitProgram(pid);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
    }
    void expectTheDayKept(double seconds, int exitCode) {
        EXPECT_EQ(exitCode, 0);
        EXPECT_LT(seconds, 3.0);
        EXPECT_TRUE(fs::exists(session)) << "saved on the way out";
        EXPECT_FALSE(probe::alive(decoderChild)) << "the decoder's child outlived the program";
        EXPECT_EQ(buffers(), 0);
    }
};

TEST_F(StopRequests, ACloseFromOutsideEndsTheDayAsATermDoes) {
    ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
    int code = -1;
    const double seconds = endsWithin(code);
    expectTheDayKept(seconds, code);
}

TEST_F(StopRequests, TheEndOfTheSessionSavesAndEnds) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                        &answer);
    EXPECT_EQ(answer, TRUE) << "the program does not hold the log-off up";
    SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                        &answer);
    int code = -1;
    const double seconds = endsWithin(code);
    expectTheDayKept(seconds, code);
}

TEST_F(StopRequests, TheUsersOwnCloseOpensTheEndBoxAndEndsNothing) {
    ASSERT_TRUE(PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0));
    probe::sleepSeconds(1.5);
    EXPECT_TRUE(probe::alive(pid)) << "the end box asks first";
    EXPECT_TRUE(probe::alive(decoderChild));
    // A close from outside still ends it, box or not.
    ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
    int code = -1;
    const double seconds = endsWithin(code);
    expectTheDayKept(seconds, code);
}

} // namespace
