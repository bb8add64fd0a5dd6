#include "app/startup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "analysis/triggers.h"
#include "analysis/wav_reader.h"
#include "app/end_box.h"
#include "app/fault.h"
#include "app/key_dispatch.h"
#include "app/main_loop.h"
#include "app/mouse_dispatch.h"
#include "app/session_file.h"
#include "app/single_instance.h"
#include "app/start_screen.h"
#include "lists/import.h"
#include "lists/list_ops.h"
#include "lists/tracks.h"
#include "platform/audio_engine.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/input.h"
#include "platform/mci.h"
#include "platform/paths.h"
#include "platform/screen.h"
#include "playback/compressor.h"
#include "playback/crossfade.h"
#include "playback/gongs.h"
#include "playback/preview.h"
#include "playback/transport.h"
#include "texts/notices.h"
#include "ui/compressor_view.h"
#include "ui/control_panel.h"
#include "ui/envelope_view.h"
#include "ui/list_views.h"
#include "ui/time_display.h"

StartupState startup;

void resetProgramState() {
    transport = Transport{};
    crossFade = CrossFade{};
    compressor = Compressor{};
    gongs = Gongs{};
    preview = Preview{};
    tracks = TrackLists{};
    importRun = ImportRun{};
    listOps = ListOps{};
    envelopes = Envelopes{};
    triggers = Triggers{};
    decoder = Decoder{};
    notices = Notices{};
    controlPanel = ControlPanel{};
    listViews = ListViews{};
    envelopeView = EnvelopeView{};
    timeDisplay = TimeDisplay{};
    mainLoop = MainLoop{};
    keyDispatch = KeyDispatch{};
    mouseDispatch = MouseDispatch{};
    startup = StartupState{};
    endBox = EndBox{};
    sessionFile = SessionFile{};
    paths = Paths{};
    setBlockWalkHook({});
    installHooks();
}

void setProgramPalette() {
    static const int kFixed[][4] = {
        {16, 240, 240, 240}, {17, 249, 249, 249}, {32, 0, 105, 105},  {33, 0, 110, 110},
        {34, 0, 180, 180},   {35, 10, 255, 255},  {36, 85, 255, 255}, {37, 165, 255, 255},
        {38, 195, 255, 255}, {39, 220, 255, 255},
    };
    for (const auto& e : kFixed)
        screen::setPalette(e[0], e[1], e[2], e[3]);
    // nearbyint rounds halves to even in the default rounding mode.
    for (int i = 1; i <= 200; ++i)
        screen::setPalette(55 + i, int(std::nearbyint(std::cos(i / 8.0) * 91 + 159)),
                           int(std::nearbyint(std::cos(i / 25.0) * 65 + 135)),
                           int(std::nearbyint(std::sin(i / 28.0) * 90 + 160)));
}

void showRefusalScreen() {
    backend::current().openWindow(400, 300);
    screen::open(400, 300);
    screen::setColors(0, 29);
    screen::clear();
    screen::locate(4, 2);
    screen::printLine("programm kann nicht gestartet werden:");
    screen::locate(9, 2);
    screen::printLine("Die Grafik des PCs reicht nicht aus.");
    screen::locate(11, 2);
    screen::printLine("Minimum 1000x600 werden verlangt.");
    timing::waitSeconds(8.0);
}

volatile uint32_t speedCounter;

double measureSpeed() {
    // The machine is measured, not the program clock, which stands still in virtual time.
    double start = timing::hostSeconds();
    speedCounter = 1;
    while (speedCounter < 3000001)
        speedCounter = speedCounter + 1;
    double elapsed = timing::hostSeconds() - start;
    return 1.0 / std::max(elapsed, 1e-6);
}

static void restoreSession() {
    readAutosave();
    listViews.stackFirstShown = 1;
    tracks.playPosition = std::max(tracks.playPosition, 1);
    tracks.playlistTop = tracks.playPosition;
    drawControlPanel();
}

// --resume: the music goes on as if PLAY was clicked, or the user learns why not.
static void playOnOrSayWhy() {
    if (startup.restoreChoice != 1) {
        showNotice(notice::kNoSavedSession);
        return;
    }
    sessionFile.resumeWanted = true;
    if (tracks.playlistCount == 0) return; // the songs may be in a folder that comes late
    sessionFile.resumeWanted = false;
    cueResumePosition();
    injectKey(std::string(1, input::kCtrlP));
}

static void startUp(const Options& options) {
    int desktopWidth = 0, desktopHeight = 0;
    backend::current().desktopSize(desktopWidth, desktopHeight);
    if (desktopWidth < kMinDesktopWidth || desktopHeight < kMinDesktopHeight) {
        showRefusalScreen();
        throw backend::RunEnd{};
    }
    // Pauses for a window to settle: SDL's needs none, and the start screen
    // should be up at once; scripted runs keep the timing they were written for.
    const double settleSeconds = headless::active() ? 0.1 : 0.0;
    timing::waitSeconds(settleSeconds);
    screen::open(screen::kWidth, screen::kHeight);
    backend::current().openWindow(screen::kWidth, screen::kHeight);
    checkSingleInstance();

    timing::waitSeconds(settleSeconds);
    screen::setColors(0, 7);
    screen::clear();
    timing::waitSeconds(0.03);

    startup.windowTitle = std::string(" MP3-KlangKelter | ") + KK_VERSION;
    backend::current().setTitle(startup.windowTitle);

    installHooks();
    transport = Transport{};
    compressor = Compressor{};
    gongs = Gongs{};
    buildThresholdCurve(0);
    tracks = TrackLists{};
    decoder = Decoder{};

    derivePaths(options.programDir);
    sessionFile.path = sessionFilePath(options.programDir);
    files::removeStaleSaveFiles(sessionFile.path);
    decoder.lameAvailable = paths.lamePath.empty() ? 0 : 1;
    const bool sessionSaved = sessionFileExists();
    if (options.resume)
        startup.restoreChoice = sessionSaved ? 1 : 0;
    else
        startup.restoreChoice = showStartScreen(sessionSaved) ? 1 : 0;

    setProgramPalette();
    // A scripted run must not depend on how busy the machine is.
    timing::setSpeedIndex(headless::active() ? kHeadlessSpeedIndex : measureSpeed());

    notices.noticeId = notice::kIdle;
    compressor.duckFactor = 1.0f;
    tracks.playlistTop = 1;
    transport.blendSetting = 1;
    drawControlPanel();
    tracks.stackCount = 0;
    if (startup.restoreChoice == 1)
        restoreSession();
    else
        restoreGongSlots(); // standing equipment, kept until the next LOAD
    // The command line wins over the saved session.
    if (options.endless) {
        transport.endless = 1;
        drawAutoPlayButton();
    }
    if (options.match) {
        compressor.matchOn = 1;
        drawCompressorButton();
    }

    while (!input::readKey().empty()) {
    }
    drawPlaylistView();
    if (options.resume) playOnOrSayWhy();
    armQuietSaves();
}

int runProgram(const Options& options) {
    try {
        try {
            startUp(options);
            runMainLoop();
        } catch (const backend::RunEnd&) {
            // A shutdown or a log-out: the day is kept for --resume.
            if (backend::stopRequested()) saveSessionQuietly();
        } catch (const Fault& f) {
            showErrorScreen(f.number, f.line);
        } catch (const std::bad_alloc&) {
            showErrorScreen(faults::kOutOfMemory, 0);
        } catch (const std::out_of_range&) {
            showErrorScreen(faults::kSubscriptOutOfRange, 0);
        } catch (const std::exception&) {
            showErrorScreen(faults::kInternal, 0);
        }
    } catch (const backend::RunEnd&) {
        // The error screen ends like everything else.
    }
    endDecoding();
    return 0;
}
