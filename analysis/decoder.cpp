#include "analysis/decoder.h"

#include <cctype>
#include <filesystem>

#include "analysis/envelope.h"
#include "analysis/triggers.h"
#include "analysis/wav_reader.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/process.h"

Decoder decoder;

namespace {

constexpr double kFirstPollSeconds = 2.0;
constexpr double kAwaitFileSeconds = 0.5;
constexpr double kRetryFailedSeconds = 60.0;
// The slots are compared with the playlist by name this often.
constexpr double kStaleCheckSeconds = 15.0;
constexpr double kGrowthPollSeconds = 2.0;
// A slow machine decodes slowly; a longer gap keeps a pause in the writing
// from passing for the end.
constexpr double kSlowMachineExtraSeconds = 1.0;
constexpr double kSlowMachineSpeed = 60.0;

std::string lastComponent(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int32_t fileLength(const std::string& path) {
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) return 0;
    return size > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(size);
}

void removeBufferFile() {
    std::error_code ec;
    std::filesystem::remove(paths.lameBufferFile, ec);
}

bool playlistHas(int position) {
    return position >= 1 && position <= tracks.playlistCount && position < kTrackSlots;
}

void finishDecode() {
    // While a long song's blocks are walked the playing song's displays go on,
    // and a click on the window's close button is not left waiting.
    setBlockWalkHook(hooks::keepDisplaysGoing);
    decoder.decodeDone = 0;
    decoder.decodeSlot = 0;
    if (readDecodedWave(paths.lameBufferFile, decoder.decodeTargetSlot).ok) {
        computeTriggers(decoder.decodeTargetSlot);
        // The card still shows the working label; the envelope replaces it.
        if (tracks.playlistTop == tracks.playPosition && decoder.advancedDuringDecode == 0)
            hooks::requestRedraw(hooks::Redraw::PlaylistView);
    }
    removeBufferFile();
    if (decoder.advancedDuringDecode != 0) {
        clearEnvelopeSlot(1);
        clearEnvelopeSlot(2);
        decoder.advancedDuringDecode = 0;
        hooks::requestRedraw(hooks::Redraw::PlaylistView);
    }
}

} // namespace

bool fileExists(const std::string& path) {
    if (path.size() < 7 || path[0] != '/') return false;
    std::string onDisk = files::resolveCase(path);
    return files::exists(onDisk) && sameIgnoringCase(lastComponent(onDisk), lastComponent(path));
}

void startDecode(int slot) {
    if (decoder.lameOn == 0) {
        clearEnvelopeSlot(slot);
        return;
    }
    const PlaylistEntry& entry = tracks.playlist[size_t(tracks.playPosition + slot)];
    if (trackName(entry).empty()) return;
    std::string songPath = files::resolveCase(fullPath(entry));
    if (!fileExists(paths.lamePath)) {
        decoder.lameAvailable = 0;
        return;
    }
    // A stale buffer would pass for this decode's result.
    removeBufferFile();
    bool started =
        process::start({paths.lamePath, "--decode", "--quiet", songPath, paths.lameBufferFile});
    decoder.bufferSizeSample = {0, 0};
    decoder.decodePollTime = timing::now() + kFirstPollSeconds;
    input::discardKeys();
    if (started) {
        decoder.lameAvailable = 1;
        decoder.decodeSlot = int16_t(slot + 1);
        decoder.processStarted = true;
        return;
    }
    if (!fileExists(paths.lamePath)) {
        envelopes.envelopeTrackName[size_t(slot)].clear();
        decoder.lameAvailable = 0;
        decoder.lameOn = 0;
    }
    clearEnvelopeSlot(slot);
    defaultTriggers(slot);
}

// The decoder has ended without leaving a buffer (an unreadable song, say):
// the slot stays empty with default points, and the next slots get their turn.
static void giveUpDecode() {
    int slot = decoder.decodeSlot - 1;
    decoder.decodeSlot = 0;
    decoder.decodeDone = 0;
    decoder.processStarted = false;
    if (slot < 0 || slot >= kEnvelopeSlots) return;
    decoder.retryFailedAfter[envelopes.envelopeTrackName[size_t(slot)]] =
        timing::now() + kRetryFailedSeconds;
    clearEnvelopeSlot(slot);
    defaultTriggers(slot);
}

void pollDecode() {
    process::reap();
    double now = timing::now();
    if (!(now > decoder.decodePollTime)) return;
    if (!files::exists(paths.lameBufferFile)) {
        if (decoder.processStarted && process::runningChildren() == 0) {
            giveUpDecode();
            return;
        }
        decoder.decodePollTime = now + kAwaitFileSeconds;
        return;
    }
    // Only while the view shows the current song at the top is the slot's card the song's.
    if (tracks.playlistTop == tracks.playPosition)
        hooks::requestRedraw(hooks::Redraw::WorkingLabel, decoder.decodeSlot - 1);
    decoder.bufferSizeToggle ^= 1;
    decoder.bufferSizeSample[size_t(decoder.bufferSizeToggle)] = fileLength(paths.lameBufferFile);
    decoder.decodePollTime = now + kGrowthPollSeconds;
    if (decoder.speedIndex < kSlowMachineSpeed) decoder.decodePollTime += kSlowMachineExtraSeconds;
    if (decoder.bufferSizeSample[0] == decoder.bufferSizeSample[1] &&
        decoder.bufferSizeSample[0] != 0)
        decoder.decodeDone = 1;
}

static bool waitingForRetry(const std::string& name) {
    auto it = decoder.retryFailedAfter.find(name);
    if (it == decoder.retryFailedAfter.end()) return false;
    if (timing::now() < it->second) return true;
    decoder.retryFailedAfter.erase(it);
    return false;
}

void serviceDecoder() {
    if (decoder.lameOn != 0) {
        for (int slot = 0; slot < kEnvelopeSlots; ++slot) {
            int position = tracks.playPosition + slot;
            if (envelopes.envelopePresent[size_t(slot)] != 0 || decoder.decodeSlot != 0 ||
                !playlistHas(position))
                continue;
            if (waitingForRetry(trackName(tracks.playlist[size_t(position)]))) continue;
            decoder.decodeTargetSlot = slot;
            envelopes.envelopeTrackName[size_t(slot)] =
                trackName(tracks.playlist[size_t(position)]);
            startDecode(slot);
        }
    }
    if (decoder.decodeSlot != 0) pollDecode();
    if (decoder.decodeDone == 1 && decoder.decodeSlot != 0) finishDecode();
    checkStaleSlots();
}

void checkStaleSlots() {
    const double now = timing::now();
    if (!(now > envelopes.staleCheckTime || tracks.staleCheckDue) || decoder.lameOn == 0 ||
        decoder.decodeSlot != 0)
        return;
    envelopes.staleCheckTime = now + kStaleCheckSeconds;
    tracks.staleCheckDue = false;
    for (int k = 0; k < kEnvelopeSlots; ++k) {
        const std::string& held = envelopes.envelopeTrackName[size_t(k)];
        const int position = tracks.playPosition + k;
        const std::string current =
            playlistHas(position) ? trackName(tracks.playlist[size_t(position)]) : std::string();
        if (held.empty() || current.find_first_not_of(' ') == std::string::npos || held == current)
            continue;
        if (tracks.playlistTop == tracks.playPosition)
            hooks::requestRedraw(hooks::Redraw::StaleBand, k);
        clearEnvelopeSlot(k);
        envelopes.envelopeTrackName[size_t(k)].clear();
    }
}

void endDecoding() {
    process::endAll();
    removeBufferFile();
    decoder.decodeSlot = 0;
    decoder.processStarted = false;
}
