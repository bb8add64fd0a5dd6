#include "app/session_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "analysis/envelope.h"
#include "analysis/triggers.h"
#include "app/key_dispatch.h"
#include "lists/import.h"
#include "lists/length_probe.h"
#include "lists/name_scramble.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/layout.h"
#include "platform/path_rules.h"
#include "platform/rounding.h"
#include "platform/screen.h"
#include "playback/compressor.h"
#include "playback/crossfade.h"
#include "playback/gongs.h"
#include "playback/transport.h"
#include "texts/notices.h"
#include "ui/control_panel.h"
#include "ui/list_views.h"

SessionFile sessionFile;

namespace {

constexpr const char* kFileName = "KLANGKELTER-Spielliste-Autosave.sav";
constexpr const char* kHeader = "AUTOLOAD/AUTOSAVE Klangkelter";
constexpr const char* kEmptyGongLine = "--";
constexpr double kSavedBoxSeconds = 8;
constexpr int kMinGongMs = minTrackMs / 5;
// Added after the gong players: older readers skip a key they do not know.
constexpr const char* kPositionKey = "Liedposition";
constexpr const char* kMatchKey = "Angleichen";
constexpr const char* kBackupSuffix = ".bak";
// What a restore refuses is held longer: the start screen has only just gone.
constexpr NoticeTimes kRestoreTimes{12, 6};
// The quiet saves: looked at this often, written at most this often, and
// while a song plays at least this often, for its position.
constexpr double kQuietCheckSeconds = 2.0;
constexpr double kQuietGapSeconds = 5.0;
constexpr double kPositionRefreshSeconds = 60.0;
// A song resumed closer than this to its start begins at its start cue.
constexpr int32_t kResumeNearStartMs = 5000;
// Folders missing when the session is read are looked for this often, this long.
constexpr double kLateLookSeconds = 5.0;
// The late folders' notice stays until the next look shows it again.
constexpr NoticeTimes kLateNoticeTimes{kLateLookSeconds + 1, kLateLookSeconds - 1};
constexpr double kLateWaitSeconds = 180.0;

// ---------------------------------------------------------------- writing

std::string whole(double v) {
    return std::to_string(static_cast<long long>(std::floor(v)));
}

// The pause cut down to one decimal, as "2.5" or "3".
std::string pauseText(double seconds) {
    const long long tenths = static_cast<long long>(std::floor(10 * seconds));
    std::string s = std::to_string(tenths / 10);
    if (tenths % 10 != 0) s += "." + std::to_string(tenths % 10);
    return s;
}

template <typename Entry> void addEntries(std::string& text, const Entry* first, int count) {
    auto line = [&](const std::string& s) { text += s + "\r\n"; };
    for (int i = 0; i < count; ++i) {
        const Entry& e = first[i];
        line(scrambleName(std::string_view(e.fileName)
                              .substr(0, size_t(std::clamp<int32_t>(e.nameLength, 0,
                                                                    int32_t(e.fileName.size()))))));
        line(std::to_string(e.folderIndex));
    }
}

std::string sessionText() {
    std::string t;
    auto line = [&](const std::string& s) { t += s + "\r\n"; };
    line(kHeader);
    line("Folders/Ordner");
    line("Anzahl");
    line(std::to_string(tracks.folderCount));
    for (int i = 1; i <= tracks.folderCount; ++i)
        line(tracks.folderTable[size_t(i)]);
    line("Files/Dateien Spielliste");
    line("Anzahl");
    line(std::to_string(tracks.playlistCount));
    addEntries(t, &tracks.playlist[1], tracks.playlistCount);
    line("Files/Dateien Stapel");
    line("Anzahl");
    line(std::to_string(tracks.stackCount));
    addEntries(t, &tracks.stack[1], tracks.stackCount);
    line("Autoplay");
    line(std::to_string(transport.autoPlay));
    line("Pause");
    line(pauseText(transport.pauseSeconds));
    line("Playposition");
    line(std::to_string(tracks.playPosition));
    line("Gong-Duck-Tempo");
    line(std::to_string(gongs.duckTempo));
    line("GongBank");
    line(std::to_string(gongs.bank));
    // Single precision, as the values are kept: 0.35f x 100 is 35, not 34.999.
    line("Trigger");
    line(whole(100.0f * triggers.leftTriggerPercent));
    line(whole(100.0f * triggers.rightTriggerPercent));
    line("VOLUME");
    line(whole(100.0f * transport.masterVolume));
    line("Kompressor-Aktiv");
    line(std::to_string(compressor.compressorOn));
    line("Blende");
    line(std::to_string(transport.blendSetting));
    line("Kompressorsetup");
    line(std::to_string(compressor.setupNumber));
    line("Endlos");
    line(std::to_string(transport.endless));
    line("GONGs");
    line(std::to_string(kGongCount));
    for (const GongPlayer& p : gongs.player) {
        if (p.path.empty()) {
            for (int k = 0; k < 5; ++k)
                line(kEmptyGongLine);
            continue;
        }
        line(p.path);
        line(p.name);
        line(std::to_string(p.posMs));
        line(whole(1000.0f * p.duck));
        line(std::to_string(p.volume));
    }
    line(kMatchKey);
    line(std::to_string(compressor.matchOn));
    return t;
}

// Where the current song stands; kept apart from the rest, which the quiet
// saves compare to see whether anything changed.
std::string positionLines() {
    const PlaylistEntry* song = playlistSlot(tracks.playPosition);
    const int32_t ms = song ? std::clamp(song->positionMs, 0, std::max(0, song->lengthMs)) : 0;
    return std::string(kPositionKey) + "\r\n" + std::to_string(ms) + "\r\n";
}

bool tooLittleToSave() {
    return (tracks.playlistCount == 0 && tracks.stackCount == 0) ||
           (tracks.stackCount < 5 && tracks.playlistCount < tracks.playPosition + 5);
}

void drawSavedBox() {
    const int x1 = kStackLeft + 20, y1 = kStackTop + 40, x2 = kStackRight - 20, y2 = y1 + 76;
    screen::fillBox(x1, y1, x2, y2, 2);
    screen::box(x1, y1, x2, y2, 0);
    int y = y1 + 12;
    for (const char* text : {"SITZUNG GESPEICHERT.", "SPIELLISTE, STAPEL", "GONGs und mehr.",
                             "Nutzbar bei Neustart."}) {
        screen::textAt(x1 + 12, y, text, 15);
        y += 14;
    }
}

// ---------------------------------------------------------------- reading

// Walks the file's lines; past the end every line reads as empty.
struct Reader {
    std::vector<std::string> lines;
    size_t next = 0;
    bool atEnd() const { return next >= lines.size(); }
    const std::string& line() {
        static const std::string empty;
        return atEnd() ? empty : lines[next++];
    }
    // A line's leading number: blanks skipped, the longest numeric prefix, 0
    // when there is none. An infinity (also an overflow such as 1e309) lies
    // beyond every limit, so each key's clamp takes its bound; "nan" has no
    // side and takes the key's default.
    double value(double byDefault) {
        const std::string& s = line();
        const char* begin = s.c_str();
        char* end = nullptr;
        const double v = std::strtod(begin, &end);
        if (end == begin) return 0.0;
        if (std::isnan(v)) return byDefault;
        if (std::isinf(v)) return v > 0 ? 1e300 : -1e300;
        return v;
    }
    long long floorValue(long long byDefault) {
        return static_cast<long long>(
            std::clamp(std::floor(value(double(byDefault))), -1e15, 1e15));
    }
    bool skipTo(std::string_view key) {
        while (!atEnd())
            if (line() == key) return true;
        return false;
    }
};

// The songs a session file lists, playlist and stack; 0 for a file that is
// not a session.
int songsInFile(const std::string& path) {
    Reader r;
    if (!files::readLines(path, r.lines) || r.line() != kHeader || r.line() != "Folders/Ordner" ||
        r.line() != "Anzahl")
        return 0;
    const long long folders = r.floorValue(0);
    if (folders < 0 || folders > kMaxFolders) return 0;
    for (long long i = 0; i < folders; ++i)
        r.line();
    if (r.line() != "Files/Dateien Spielliste" || r.line() != "Anzahl") return 0;
    const long long playlist = std::clamp<long long>(r.floorValue(0), 0, maxTracks);
    long long stack = 0;
    if (r.skipTo("Files/Dateien Stapel") && r.line() == "Anzahl")
        stack = std::clamp<long long>(r.floorValue(0), 0, maxTracks);
    return int(playlist + stack);
}

// Writes the session as it stands. A session with fewer songs than the file
// it replaces keeps that file beside it first: one slip must not lose the day.
bool writeSessionFile() {
    const int songs = tracks.playlistCount + tracks.stackCount;
    if (sessionFile.savedSongs < 0) sessionFile.savedSongs = songsInFile(sessionFile.path);
    if (songs < sessionFile.savedSongs) {
        Reader old;
        std::string text;
        if (files::readLines(sessionFile.path, old.lines))
            for (const std::string& l : old.lines)
                text += l + "\r\n";
        if (!text.empty()) files::writeFileAtomically(sessionFile.path + kBackupSuffix, text);
    }
    std::string text = sessionText();
    if (!files::writeFileAtomically(sessionFile.path, text + positionLines())) return false;
    sessionFile.savedSongs = songs;
    sessionFile.lastWritten = std::move(text);
    return true;
}

struct ReadCounts {
    int missing = 0;
    bool refusedLength = false;
};

// One listed song: the unscrambled name and its folder; the path as it stands
// on disk when the song is there and may be listed, empty otherwise.
// `folderAway` tells a song whose whole folder is missing.
std::string songPath(Reader& r, int& folder, std::string& name, bool& folderAway) {
    name = unscrambleName(r.line());
    const long long slot = r.floorValue(0);
    folder = 0;
    folderAway = false;
    if (slot < 1 || slot > tracks.folderCount || name.size() > size_t(nameWidth)) return {};
    folder = int(slot);
    const std::string& folderPath = tracks.folderTable[size_t(slot)];
    const std::string path = files::resolveCase(folderPath + name);
    if (!files::exists(path)) {
        folderAway = !folderPath.empty() && !files::isFolder(folderPath);
        return {};
    }
    if (!files::hasMp3Name(pathrules::nameOf(path))) return {};
    return path;
}

// Adds a song read from the session; false when its length is refused.
bool admit(const std::string& path, int folder, bool toPlaylist) {
    const int32_t length = probeLength(path, toPlaylist ? kSessionProbeAlias : kProbeAlias);
    const std::string name = pathrules::nameOf(path);
    return toPlaylist ? appendPlaylistEntry(name, length, folder)
                      : appendStackEntry(name, length, folder, 0);
}

// The file's playlist songs: their names and the list slot each took or would
// take (a late or missing song: the slot of the next one read).
struct FileOrder {
    std::vector<int> placeOf;
    std::vector<std::string> names;
    std::vector<int> late; // its index among the late songs, or -1
};

// One list section: at most the list's capacity, the surplus announced.
// The playlist is probed under the session's own alias, the stack under the import's.
void readSongs(Reader& r, long long count, ReadCounts& counts, ListKind list,
               FileOrder* order = nullptr) {
    const bool toPlaylist = list == ListKind::Playlist;
    if (count > maxTracks) {
        if (toPlaylist)
            showNotice(notice::kPlaylistFull, kRestoreTimes);
        else
            showNotice(notice::kStackFull);
    }
    for (long long i = 0; i < std::min<long long>(count, maxTracks); ++i) {
        int folder = 0;
        std::string name;
        bool folderAway = false;
        const std::string path = songPath(r, folder, name, folderAway);
        const int read = toPlaylist ? tracks.playlistCount : tracks.stackCount;
        if (order) {
            order->placeOf.push_back(read + 1);
            order->names.push_back(name);
            order->late.push_back(folderAway ? int(sessionFile.lateSongs.size()) : -1);
        }
        if (folderAway) {
            sessionFile.lateSongs.push_back({toPlaylist, read, name, folder});
        } else if (path.empty()) {
            ++counts.missing;
        } else if (!admit(path, folder, toPlaylist)) {
            counts.refusedLength = true;
        }
    }
}

void readGongs(Reader& r) {
    for (int g = 0; g < kGongCount && !r.atEnd(); ++g) {
        const std::string path = r.line();
        GongPlayer& p = gongs.player[size_t(g)];
        if (path == kEmptyGongLine || path.empty() || !files::exists(path)) {
            for (int k = 0; k < 4; ++k)
                r.line();
            continue;
        }
        p.path = path;
        p.lengthMs = probeLength(path, kProbeAlias);
        p.name = r.line();
        p.posMs = int32_t(std::clamp<long long>(r.floorValue(0), 0, p.lengthMs));
        p.duck = float(std::clamp(r.value(p.duck * 1000.0) / 1000.0, 0.1, 1.0));
        p.volume = std::clamp(roundEven(std::clamp(r.value(p.volume), 0.0, 1e6)), 150, 1000);
        if (p.lengthMs < kMinGongMs) {
            resetGongPlayer(g);
            p.duck = 0.5f;
        }
    }
}

void readSettings(Reader& r, const FileOrder& order) {
    if (!r.skipTo("Autoplay")) return;
    const long long autoPlay = r.floorValue(transport.autoPlay);
    transport.autoPlay = int16_t(autoPlay == 0 ? 0 : 1);
    int compressorOn = compressor.compressorOn;
    compressor.matchOn = 0; // older files know no ANGLEICHEN
    while (!r.atEnd()) {
        const std::string key = r.line();
        if (key == "Pause") {
            transport.pauseSeconds = std::clamp(r.value(transport.pauseSeconds), 0.0, 60.0);
        } else if (key == "Playposition") {
            // Counted in the file's songs; the ones not read shift it.
            const long long saved = r.floorValue(tracks.playPosition);
            if (saved >= 1 && saved <= (long long)order.placeOf.size()) {
                tracks.playPosition = order.placeOf[size_t(saved - 1)];
                sessionFile.resumeSong = order.names[size_t(saved - 1)];
                if (const int late = order.late[size_t(saved - 1)]; late >= 0)
                    sessionFile.lateSongs[size_t(late)].current = true;
            } else {
                tracks.playPosition =
                    int32_t(std::clamp<long long>(saved, 0, tracks.playlistCount));
            }
        } else if (key == "Gong-Duck-Tempo") {
            gongs.duckTempo = int16_t(std::clamp<long long>(r.floorValue(gongs.duckTempo), 0, 1));
        } else if (key == "GongBank") {
            gongs.bank = int16_t(r.floorValue(gongs.bank) >= 4 ? 4 : 0);
        } else if (key == "Trigger") {
            for (float* t : {&triggers.leftTriggerPercent, &triggers.rightTriggerPercent})
                *t = float(std::clamp(
                    std::floor(std::clamp(r.value(*t * 100.0), -1e6, 1e6) / 100 * 10) / 10, 0.1,
                    0.8));
        } else if (key == "VOLUME") {
            transport.masterVolume =
                float(std::clamp(r.value(transport.masterVolume * 100.0) / 100, 0.2, 1.0));
        } else if (key == "Blende") {
            transport.blendSetting = int16_t(std::clamp(
                roundEven(std::clamp(r.value(transport.blendSetting), -9.0, 9.0)), 0, 3));
        } else if (key == "Kompressorsetup") {
            compressor.setupNumber = int16_t(std::clamp(
                roundEven(std::clamp(r.value(compressor.setupNumber), -99.0, 99.0)), 0, 12));
        } else if (key == "Kompressor-Aktiv") {
            compressorOn =
                std::clamp(roundEven(std::clamp(r.value(compressorOn), -9.0, 9.0)), 0, 1);
        } else if (key == kMatchKey) {
            compressor.matchOn = int16_t(r.floorValue(0) == 1 ? 1 : 0);
        } else if (key == "Endlos") {
            transport.endless = int16_t(r.floorValue(transport.endless) == 1 ? 1 : 0);
        } else if (key == "GONGs") {
            r.line(); // the count, always eight
            readGongs(r);
        } else if (key == kPositionKey) {
            sessionFile.resumePositionMs = int32_t(std::clamp<long long>(r.floorValue(0), 0, 1e9));
        }
    }
    // Building the setup's curve switches the compressor on; the saved switch wins.
    buildThresholdCurve(0);
    compressor.compressorOn = int16_t(compressor.setupNumber == 0 ? 0 : compressorOn);
}

} // namespace

std::string sessionFilePath(const std::string& programDir) {
    if (!programDir.empty()) return pathrules::asFolder(programDir) + kFileName;
    return files::stateFolder() + kFileName;
}

bool sessionFileExists() {
    return !sessionFile.path.empty() && files::exists(sessionFile.path);
}

bool writeAutosave() {
    if (tooLittleToSave()) {
        showNotice(notice::kSaveTooLittle);
        return false;
    }
    if (tracks.stackCount == 0 && controlPanel.rightTab == 1)
        screen::fillBox(649, 111, kStackScrollRect.x1 - 3, 251, 17);
    if (!writeSessionFile()) {
        notices.savedListPath = sessionFile.path;
        showNotice(notice::kSaveFailed);
        return false;
    }
    drawSavedBox();
    timing::waitSeconds(0.3);
    listViews.stackRedrawPending = true;
    listViews.stackRedrawTime = timing::now() + kSavedBoxSeconds;
    return true;
}

bool saveSessionQuietly() {
    // Songs still waiting for their folder are in the file only.
    if (!sessionFile.quietSavesArmed || sessionFile.path.empty() || !sessionFile.lateSongs.empty())
        return false;
    sessionFile.lastQuietSave = timing::now();
    if (sessionFile.savedSongs < 0) sessionFile.savedSongs = songsInFile(sessionFile.path);
    if (tooLittleToSave() && sessionFile.savedSongs > tracks.playlistCount + tracks.stackCount) {
        sessionFile.lastWritten = sessionText(); // asked again only after a change
        return false;
    }
    if (writeSessionFile()) {
        sessionFile.quietSaveFailed = false;
        return true;
    }
    if (!sessionFile.quietSaveFailed) {
        notices.savedListPath = sessionFile.path;
        showNotice(notice::kSaveFailed);
    }
    sessionFile.quietSaveFailed = true;
    return false;
}

void autosaveWhenDue() {
    const double now = timing::now();
    if (!sessionFile.quietSavesArmed || now < sessionFile.nextQuietCheck) return;
    sessionFile.nextQuietCheck = now + kQuietCheckSeconds;
    if (crossFade.fading || now < sessionFile.lastQuietSave + kQuietGapSeconds) return;
    const bool positionStale =
        currentChannelOpen() && now >= sessionFile.lastQuietSave + kPositionRefreshSeconds;
    if (positionStale || sessionText() != sessionFile.lastWritten) saveSessionQuietly();
}

void armQuietSaves() {
    sessionFile.lateUntil = timing::now() + kLateWaitSeconds;
    sessionFile.nextLateLook = timing::now() + kLateLookSeconds;
    sessionFile.quietSavesArmed = true;
    sessionFile.lastWritten = sessionText();
    sessionFile.lastQuietSave = timing::now();
    sessionFile.nextQuietCheck = timing::now() + kQuietCheckSeconds;
}

void cueResumePosition() {
    const PlaylistEntry* song = playlistSlot(tracks.playPosition);
    const int32_t at = sessionFile.resumePositionMs;
    if (!song || song->lengthMs <= 0 || !sameMp3(trackName(*song), sessionFile.resumeSong) ||
        !(at > envelopes.startCue[0] * song->lengthMs + kResumeNearStartMs))
        return;
    const double length = song->lengthMs;
    double cue = std::clamp((at - 300.0) / length, 0.0, 0.95);
    if (length > 150000) cue = std::min(cue, (length - 6000.0) / length);
    envelopes.startCue[0] = cue;
    envelopes.startCueManual[0] = 1;
}

namespace {

// Moves the list's last entry to slot `to`, the ones from there one down.
void moveLastTo(ListKind list, int to) {
    for (int i = list == ListKind::Playlist ? tracks.playlistCount : tracks.stackCount; i > to;
         --i) {
        swapEntries(list, i, i - 1);
        if (list == ListKind::Playlist)
            std::swap(tracks.playlist[size_t(i)].positionMs,
                      tracks.playlist[size_t(i - 1)].positionMs);
    }
}

// Puts the late songs of folders that have come back at their places.
void bringBackLateSongs() {
    auto& late = sessionFile.lateSongs;
    bool playlistChanged = false;
    for (size_t k = 0; k < late.size();) {
        const SessionFile::LateSong song = late[k];
        const std::string& folder = tracks.folderTable[size_t(song.folder)];
        if (!files::isFolder(folder)) {
            ++k;
            continue;
        }
        late.erase(late.begin() + long(k));
        // The songs behind it in the file are now one further down.
        for (SessionFile::LateSong& other : late)
            if (other.toPlaylist == song.toPlaylist && other.before >= song.before) ++other.before;
        const std::string path = files::resolveCase(folder + song.name);
        if (!files::exists(path)) {
            ++sessionFile.missingAtStart;
            for (SessionFile::LateSong& other : late)
                if (other.toPlaylist == song.toPlaylist && other.before > song.before)
                    --other.before;
            continue;
        }
        const ListKind list = song.toPlaylist ? ListKind::Playlist : ListKind::Stack;
        if (!admit(path, song.folder, song.toPlaylist)) {
            notices.importRefusedLength = true;
            continue;
        }
        const int to = song.before + 1;
        moveLastTo(list, to);
        if (!song.toPlaylist) continue;
        playlistChanged = true;
        // The song at the play position stays there, playing or not; until
        // the music starts, the song the session stood at takes its place.
        if (to <= tracks.playPosition && tracks.playPosition < tracks.playlistCount)
            ++tracks.playPosition;
        if (song.current && transport.playerRunning == 0) tracks.playPosition = to;
        tracks.playPosition = std::max(tracks.playPosition, 1);
    }
    if (playlistChanged) {
        playlistOrderChanged();
        tracks.playlistTop = tracks.playPosition;
        hooks::requestRedraw(hooks::Redraw::PlaylistView);
    }
    listViews.stackRedrawPending = true;
}

} // namespace

void watchLateFolders() {
    if (sessionFile.lateSongs.empty() || timing::now() < sessionFile.nextLateLook) return;
    sessionFile.nextLateLook = timing::now() + kLateLookSeconds;
    const bool wasSilent = transport.playerRunning == 0;
    bringBackLateSongs();
    if (!sessionFile.lateSongs.empty() && timing::now() >= sessionFile.lateUntil) {
        sessionFile.missingAtStart += int(sessionFile.lateSongs.size());
        sessionFile.lateSongs.clear();
    }
    if (sessionFile.lateSongs.empty()) {
        // The wait is over: what never came is told, and saving goes on.
        if (sessionFile.missingAtStart > 0) {
            notices.noticeNumber = sessionFile.missingAtStart;
            showNotice(notice::kListInvalid, kRestoreTimes);
        }
        sessionFile.lastWritten.clear();
    } else {
        notices.songName = tracks.folderTable[size_t(sessionFile.lateSongs.front().folder)];
        notices.noticeNumber = int(sessionFile.lateSongs.size());
        showNotice(notice::kFolderLate, kLateNoticeTimes);
    }
    // --resume that found nothing to play: the music starts with what came.
    if (sessionFile.resumeWanted && wasSilent && tracks.playlistCount > 0 &&
        tracks.playPosition <= tracks.playlistCount) {
        sessionFile.resumeWanted = false;
        cueResumePosition();
        injectKey(std::string(1, input::kCtrlP));
    }
}

void restoreGongSlots() {
    Reader r;
    if (!sessionFileExists() || !files::readLines(sessionFile.path, r.lines) ||
        r.line() != kHeader || !r.skipTo("GONGs"))
        return;
    r.line(); // the count, always eight
    readGongs(r);
}

bool readAutosave() {
    sessionFile.resumePositionMs = 0;
    sessionFile.resumeSong.clear();
    sessionFile.lateSongs.clear();
    notices.importFoundDuplicates = false;
    notices.importRefusedLength = false;
    clearLists();
    screen::textAt(100, 100, "Lade AUTOSAVE-Datei", 0);
    Reader r;
    if (!sessionFileExists() || !files::readLines(sessionFile.path, r.lines)) return false;

    auto invalid = [] {
        notices.noticeNumber = 0;
        showNotice(notice::kListInvalid);
        return false;
    };
    if (r.line() != kHeader || r.line() != "Folders/Ordner" || r.line() != "Anzahl")
        return invalid();
    const long long folders = r.floorValue(0);
    if (folders < 0 || folders > kMaxFolders) return invalid();
    for (long long i = 1; i <= folders; ++i)
        tracks.folderTable[size_t(i)] = r.line();
    tracks.folderCount = int32_t(folders);

    ReadCounts counts;
    if (r.line() != "Files/Dateien Spielliste" || r.line() != "Anzahl") {
        clearLists();
        return invalid();
    }
    const long long songs = r.floorValue(0);
    if (songs < 0) {
        clearLists();
        return invalid();
    }
    FileOrder order;
    readSongs(r, songs, counts, ListKind::Playlist, &order);

    if (r.skipTo("Files/Dateien Stapel")) {
        if (r.line() != "Anzahl") return invalid();
        readSongs(r, std::max(0LL, r.floorValue(0)), counts, ListKind::Stack);
    }
    readSettings(r, order);

    sessionFile.missingAtStart = counts.missing;
    if (!sessionFile.lateSongs.empty()) {
        // The missing ones are counted with the late ones that never come.
        notices.songName = tracks.folderTable[size_t(sessionFile.lateSongs.front().folder)];
        notices.noticeNumber = int(sessionFile.lateSongs.size());
        showNotice(notice::kFolderLate, kLateNoticeTimes);
    } else if (counts.missing > 0) {
        notices.noticeNumber = counts.missing;
        showNotice(notice::kListInvalid, kRestoreTimes);
    }
    if (counts.refusedLength) {
        notices.importRefusedLength = true;
        showNotice(notice::kImportRefusedLength);
    }
    return true;
}
