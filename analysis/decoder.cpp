#include "analysis/decoder.h"

#include <cctype>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <limits>

#include "analysis/envelope.h"
#include "analysis/triggers.h"
#include "analysis/wav_reader.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/hooks.h"
#include "platform/path_rules.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "texts/notices.h"

Decoder decoder;

namespace {

// The decoder's state is looked at this often; a pass costs one waitpid.
constexpr double kPollSeconds = 0.5;
constexpr double kFirstPollSeconds = 2.0;
// A failed song waits this long before its next try, and after the last
// not again this session: one bad file must not keep the decoder busy.
constexpr double kRetrySeconds[] = {60.0, 300.0};
// The slots are compared with the playlist by name this often.
constexpr double kStaleCheckSeconds = 15.0;
// A decoder gets this long, plus a tenth of the song's length, and twice
// that on a slow machine; a hung one would block all analysis.
constexpr double kTimeLimitSeconds = 30.0;
constexpr double kSlowMachineSpeed = 60.0;
// The decoded length must agree with the song's measured one this closely
// (a few 50 ms blocks): a decoder that stopped early is no analysis.
constexpr double kLengthToleranceSeconds = 0.25;
constexpr size_t kRecentBuffers = 16;

std::string lastComponent(const std::string& path) {
    return pathrules::nameOf(path);
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void removeBufferFile() {
    if (decoder.bufferFile.empty()) return;
    std::error_code ec;
    std::filesystem::remove(decoder.bufferFile, ec);
    decoder.bufferFile.clear();
}

bool playlistHas(int position) {
    return position >= 1 && position <= tracks.playlistCount && position < kTrackSlots;
}

// Said once a session for each kind of trouble, in words a user understands.
void tell(AnalysisTrouble trouble, const std::string& song = {}) {
    auto& told = decoder.told[size_t(trouble)];
    if (told) return;
    told = true;
    notices.songName = song;
    showNotice(notice::kAnalysisTrouble + int(trouble));
}

// The song's analysis failed: its slot keeps the default points, and the song
// is tried again later, then not at all.
void failDecode(int slot, const std::string& name, bool decoderFailed = true) {
    Decoder::Failure& f = decoder.failures[name];
    f.retryAfter = f.count < int(std::size(kRetrySeconds))
                       ? timing::now() + kRetrySeconds[size_t(f.count)]
                       : std::numeric_limits<double>::infinity();
    ++f.count;
    if (slot >= 0 && slot < kEnvelopeSlots) {
        clearEnvelopeSlot(slot);
        defaultTriggers(slot);
    }
    if (decoderFailed) tell(AnalysisTrouble::DecoderFails, name);
}

bool lengthAgrees(const WaveReadResult& wave, const PlaylistEntry* entry) {
    if (!entry || entry->lengthMs <= 0 || wave.sampleRate <= 0) return false;
    const double decoded = double(wave.frames) / wave.sampleRate;
    return std::fabs(decoded - entry->lengthMs / 1000.0) <= kLengthToleranceSeconds;
}

// Ends the decode of the slot being decoded: the process has ended (or was
// ended), its buffer is read when it exited well, and removed in any case.
void finishDecode(bool exitedWell) {
    const int slot = decoder.decodeTargetSlot;
    const std::string name = envelopes.envelopeTrackName[size_t(slot)];
    const PlaylistEntry* entry = playlistHas(tracks.playPosition + slot)
                                     ? &tracks.playlist[size_t(tracks.playPosition + slot)]
                                     : nullptr;
    decoder.decodeSlot = 0;
    decoder.pid = 0;
    bool ok = false;
    if (exitedWell) {
        // While a long song's blocks are walked the playing song's displays go
        // on, and a click on the window's close button is not left waiting.
        setBlockWalkHook(hooks::keepDisplaysGoing);
        const WaveReadResult wave = readDecodedWave(decoder.bufferFile, slot);
        ok = wave.ok && (decoder.advancedDuringDecode != 0 || lengthAgrees(wave, entry));
    }
    removeBufferFile();
    if (ok) {
        decoder.failures.erase(name);
        computeTriggers(slot);
        // The card still shows the working label; the envelope replaces it.
        if (tracks.playlistTop == tracks.playPosition && decoder.advancedDuringDecode == 0)
            hooks::requestRedraw(hooks::Redraw::PlaylistView);
    } else if (decoder.advancedDuringDecode == 0) {
        failDecode(slot, name);
        if (tracks.playlistTop == tracks.playPosition)
            hooks::requestRedraw(hooks::Redraw::PlaylistView);
    }
    if (decoder.advancedDuringDecode != 0) {
        clearEnvelopeSlot(1);
        clearEnvelopeSlot(2);
        decoder.advancedDuringDecode = 0;
        hooks::requestRedraw(hooks::Redraw::PlaylistView);
    }
}

bool waitingForRetry(const std::string& name) {
    auto it = decoder.failures.find(name);
    return it != decoder.failures.end() && timing::now() < it->second.retryAfter;
}

} // namespace

bool fileExists(const std::string& path) {
    if (path.size() < 7 || !pathrules::isAbsolute(path)) return false;
    std::string onDisk = files::resolveCase(path);
    return files::exists(onDisk) && sameIgnoringCase(lastComponent(onDisk), lastComponent(path));
}

void startDecode(int slot) {
    if (decoder.lameOn == 0) {
        clearEnvelopeSlot(slot);
        return;
    }
    // One decoder at a time: a second would fight over the processor and the disk.
    if (decoder.pid != 0) return;
    const PlaylistEntry& entry = tracks.playlist[size_t(tracks.playPosition + slot)];
    const std::string name = trackName(entry);
    if (name.empty()) return;
    std::string songPath = files::resolveCase(fullPath(entry));
    if (!fileExists(paths.lamePath)) {
        decoder.lameAvailable = 0;
        tell(AnalysisTrouble::NoDecoder);
        return;
    }
    decoder.bufferFile = makeTempFile("klangkelter-", ".wav");
    if (decoder.bufferFile.empty()) {
        tell(AnalysisTrouble::NoTempSpace);
        failDecode(slot, name, false);
        return;
    }
    decoder.recentBuffers.push_back(decoder.bufferFile);
    if (decoder.recentBuffers.size() > kRecentBuffers) decoder.recentBuffers.pop_front();
    const int pid =
        process::startChild({paths.lamePath, "--decode", "--quiet", songPath, decoder.bufferFile});
    const double now = timing::now();
    decoder.decodePollTime = now + kFirstPollSeconds;
    double limit = kTimeLimitSeconds + entry.lengthMs / 10000.0;
    if (timing::speedIndex() < kSlowMachineSpeed) limit *= 2;
    decoder.deadline = now + limit;
    hooks::dropKeys();
    if (pid != 0) {
        decoder.pid = pid;
        decoder.lameAvailable = 1;
        decoder.decodeSlot = int16_t(slot + 1);
        if (tracks.playlistTop == tracks.playPosition)
            hooks::requestRedraw(hooks::Redraw::WorkingLabel, slot);
        return;
    }
    removeBufferFile();
    if (!fileExists(paths.lamePath)) {
        envelopes.envelopeTrackName[size_t(slot)].clear();
        decoder.lameAvailable = 0;
        decoder.lameOn = 0;
        tell(AnalysisTrouble::NoDecoder);
    }
    clearEnvelopeSlot(slot);
    defaultTriggers(slot);
}

void pollDecode() {
    const double now = timing::now();
    if (decoder.pid == 0 || !(now > decoder.decodePollTime)) return;
    decoder.decodePollTime = now + kPollSeconds;
    switch (process::childState(decoder.pid)) {
    case process::ChildState::Running:
        if (now > decoder.deadline) {
            process::endChild(decoder.pid);
            finishDecode(false);
            return;
        }
        // Only while the view shows the current song at the top is the slot's card the song's.
        if (tracks.playlistTop == tracks.playPosition)
            hooks::requestRedraw(hooks::Redraw::WorkingLabel, decoder.decodeSlot - 1);
        return;
    case process::ChildState::Succeeded:
        finishDecode(true);
        return;
    case process::ChildState::Failed:
        finishDecode(false);
        return;
    }
}

void serviceDecoder() {
    if (decoder.lameOn != 0) {
        for (int slot = 0; slot < kEnvelopeSlots; ++slot) {
            int position = tracks.playPosition + slot;
            if (envelopes.envelopePresent[size_t(slot)] != 0 || decoder.decodeSlot != 0 ||
                decoder.pid != 0 || !playlistHas(position))
                continue;
            if (waitingForRetry(trackName(tracks.playlist[size_t(position)]))) continue;
            decoder.decodeTargetSlot = slot;
            envelopes.envelopeTrackName[size_t(slot)] =
                trackName(tracks.playlist[size_t(position)]);
            startDecode(slot);
        }
    }
    if (decoder.decodeSlot != 0) pollDecode();
    checkStaleSlots();
}

void followPlaylistOrder() {
    for (int k = 0; k < kEnvelopeSlots; ++k) {
        const std::string& held = envelopes.envelopeTrackName[size_t(k)];
        const int position = tracks.playPosition + k;
        const std::string current =
            playlistHas(position) ? trackName(tracks.playlist[size_t(position)]) : std::string();
        if (held.empty() || held == current) continue;
        // A decode for a song that left this place would fill the slot for it.
        if (decoder.decodeSlot == k + 1) {
            process::endChild(decoder.pid);
            removeBufferFile();
            decoder.pid = 0;
            decoder.decodeSlot = 0;
            decoder.advancedDuringDecode = 0;
        }
        clearEnvelopeSlot(k);
        envelopes.envelopeTrackName[size_t(k)].clear();
    }
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
    process::endChild(decoder.pid);
    process::endAll();
    removeBufferFile();
    for (const std::string& path : decoder.recentBuffers) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    decoder.recentBuffers.clear();
    decoder.pid = 0;
    decoder.decodeSlot = 0;
}
