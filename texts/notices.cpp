#include "texts/notices.h"

#include <algorithm>
#include <string_view>

#include "platform/clock.h"
#include "platform/hooks.h"
#include "platform/layout.h"
#include "platform/screen.h"
#include "texts/help_texts.h"

Notices notices;

namespace {

ListFacts listFactsAtStart() {
    return {};
}
ListFacts (*listFacts)() = listFactsAtStart;

// The state a line or a whole form of a notice is shown in.
enum class When {
    Always,
    FoundDuplicates, // the import skipped files that were there already
    RefusedLength,   // the import refused files for their length
    DuplicatesBarred,
    NumberGiven,
    PlaylistFull,
};

bool holds(When when) {
    switch (when) {
    case When::Always:
        return true;
    case When::FoundDuplicates:
        return notices.importFoundDuplicates;
    case When::RefusedLength:
        return notices.importRefusedLength;
    case When::DuplicatesBarred:
        return listFacts().duplicatesBarred;
    case When::NumberGiven:
        return notices.noticeNumber > 0;
    case When::PlaylistFull:
        return listFacts().playlistFull;
    }
    return false;
}

struct Line {
    std::string_view text; // UTF-8; {n}, {path}, {time} and {song} are filled in when shown
    When when = When::Always;
};

// The first row with the id whose form applies is shown. Line i takes colour
// i, the last colour standing for all further lines.
struct NoticeText {
    int id;
    When form;
    std::vector<int> colours;
    std::vector<Line> lines;
};

constexpr int kOperationColour = 40;
constexpr int kHelpColour = 0;

const std::vector<NoticeText>& noticeTable() {
    static const std::vector<NoticeText> table = {
        // The arrow button's own help while there is room; the refusal once the playlist is full.
        {26,
         When::PlaylistFull,
         {kOperationColour},
         {{"Ausgewählte MP3s zum Ende der Spielliste."},
          {"Momentan gesperrt, weil SPIELLISTE"},
          {"das Maximum an MP3s erreicht hat."}}},
        {26,
         When::Always,
         {kHelpColour},
         {{"Ausgewählte MP3s zur Spielliste schicken."},
          {"Ausgewählte MP3s zum Ende der Spielliste."},
          {"Oder: STRG-Klick auf Spielliste-Lied#xx"},
          {"setzt die Auswahl hinter dieses Lied."}}},
        {notice::kGreyNotSelected,
         When::Always,
         {40, 0},
         {{"Vorsicht DOUBLETTEN: einige Stapel-MP3s"},
          {"sind doppelt, in Spielliste oder Stapel."},
          {"[STRG-Klick] löscht Doubletten-Status."},
          {"Eventuell [Doub]-Button anklicken."}}},
        {notice::kAlreadyLoaded,
         When::Always,
         {kOperationColour},
         {{"Eine/mehrere MP3s wurden nicht geladen"},
          {"... weil sie bereits geladen sind.", When::FoundDuplicates},
          {"DOUB erlaubt Doubletten.", When::DuplicatesBarred},
          {"... wegen ihrer Länge.", When::RefusedLength}}},
        {notice::kDuplicateCleared,
         When::Always,
         {0},
         {{"Bei einer MP3-Datei wurde der"}, {"Doubletten-Status (grau) gelöscht."}}},
        {notice::kPlaylistFull,
         When::Always,
         {kOperationColour},
         {{"Die maximale Anzahl von MP3s"}, {"in der SPIELLISTE ist erreicht."}}},
        {notice::kStackFull,
         When::Always,
         {kOperationColour},
         {{"Die maximale Anzahl von MP3s"}, {"im STAPEL ist erreicht."}}},
        {40,
         When::Always,
         {kOperationColour},
         {{"MP3-Position kann momentan nicht"},
          {"verschoben werden, weil die maximale"},
          {"Anzahl MP3s fast oder ganz erreicht ist."}}},
        {41,
         When::Always,
         {kOperationColour},
         {{"Eine/mehrere MP3s wurden nicht geladen"},
          {"weil sie schon in der Spielliste sind."},
          {"[Doub]-Button ...MIT Doubletten (grau)."}}},
        {notice::kImportRefusedLength,
         When::Always,
         {kOperationColour},
         {{"Eine/mehrere MP3s wurden nicht geladen"},
          {"... weil sie bereits geladen sind.", When::FoundDuplicates},
          {"... wegen ihrer Länge.", When::RefusedLength}}},
        {notice::kRightTrigger,
         When::Always,
         {kOperationColour},
         {{"TRIGGER-Punkt am Liedende"},
          {"wurde manuell gesetzt."},
          {"Maximal 1/3 erlaubt."},
          {"Gilt als STOP-Cue."}}},
        {notice::kLeftTrigger,
         When::Always,
         {kOperationColour},
         {{"TRIGGER-Punkt am Liedanfang"},
          {"wurde manuell gesetzt."},
          {"Maximal 17 Sekunden erlaubt."},
          {"Vorherige MP3 blendet entsprechend."}}},
        {45, When::Always, {kOperationColour}, {{"Dieser Befehl ist momentan gesperrt."}}},
        {notice::kNeedsLame,
         When::Always,
         {kOperationColour},
         {{"Dieser Befehl ist ohne LAME.EXE gesperrt."}}},
        {50, When::Always, {0}, {{"SPIELLISTE ist gespeichert."}, {"Dateiname:"}, {"{path}"}}},
        {53,
         When::Always,
         {0},
         {{"Diese MP3 vorhören mit Sprüngen:"},
          {"ENDE: beliebige Taste oder Mausklick."},
          {"Position: {time}"}}},
        {54,
         When::Always,
         {0, 40, 8},
         {{"Diese MP3 vorhören mit Sprüngen:"},
          {"GESPERRT  weil Player läuft."},
          {"[Vorh]-Button im Stapel unten rechts"}}},
        {notice::kCompressorWarning,
         When::Always,
         {1},
         {{"Der KOMPRESSOR meldet:"},
          {"Der Regelung muss extrem arbeiten."},
          {"Eventuell ein höheres Setup wählen."}}},
        {notice::kDuplicatesLoaded,
         When::Always,
         {1},
         {{"Es sind DOUBLETTEN (grau) geladen worden:"},
          {"Diese MP3s sind in Stapel oder Spielliste"},
          {"bereits vorhanden."}}},
        // Without a count of missing files the list itself was invalid.
        {57,
         When::Always,
         {kOperationColour},
         {{"{n} DateiEN nicht gefunden.", When::NumberGiven},
          {"Die Liste ist ungültig oder"},
          {"Teile der Liste sind ungültig."}}},
        {58,
         When::Always,
         {kOperationColour},
         {{"SAVE LIST"}, {"Die Spielliste ist leer oder"}, {"enthält nur wenige MP3s."}}},
        {notice::kSkippedDuplicates,
         When::Always,
         {kOperationColour},
         {{"Einige angeklickte MP3s sind Doubletten"},
          {"und wurden deshalb nicht mit markiert."},
          {"[Doub]-Button ist ausgeschaltet."}}},
        {notice::kGongRefused,
         When::Always,
         {4},
         {{"LOAD"}, {"Gewählte Datei ist zu kurz / zu lang"}, {"oder keine MP3-Datei."}}},
        {notice::kNoFile, When::Always, {4}, {{"  LOAD"}, {"  Keine Datei ausgewählt."}}},
        {notice::kNoFolder, When::Always, {4}, {{"  LOAD MP3s"}, {"  Keine Datei ausgewählt."}}},
        {75, When::Always, {4}, {{"  LOAD LIST"}, {"  Keine Datei ausgewählt."}}},
        {notice::kGongReset,
         When::Always,
         {4},
         {{"  LOAD & STRG-Taste"}, {"  Player wurde geleert."}, {"  Voreinstellungen gesetzt."}}},
        {77,
         When::Always,
         {4},
         {{"  SPIELLISTE"}, {"  Die Spielliste wurde nicht gefunden"}, {"  oder ist ungültig."}}},
        {78, When::Always, {4}, {{"  AUTOSAVE"}, {"  Erst wieder in {n} Sek."}}},
        {notice::kStackNoRoom,
         When::Always,
         {kOperationColour},
         {{"STAPEL als Ziel oder Puffer: Überlauf"}, {"Aktion kann nicht durchgeführt werden."}}},
        {notice::kStackOverflow,
         When::Always,
         {kOperationColour},
         {{"STAPEL als Ziel oder Puffer: Überlauf"}, {"Eine/mehrere MP3s werden gelöscht."}}},
        {notice::kCutShort,
         When::Always,
         {4, 0},
         {{"Lied endete vor seiner Länge:"},
          {"{song}"},
          {"Datei seit dem LOAD verändert?"},
          {"Das nächste Lied folgt."}}},
        {notice::kFolderAway,
         When::Always,
         {4, 0},
         {{"MUSIKORDNER NICHT ERREICHBAR"},
          {"{song}"},
          {"Neuer Versuch alle 5 Sekunden."},
          {"Die Spielliste wartet."}}},
        {notice::kAnalysisTrouble,
         When::Always,
         {4, 0},
         {{"HÜLLKURVEN: LAME NICHT GEFUNDEN"},
          {"Ohne LAME keine Blende-Punkte aus der"},
          {"Lautstärke; die Musik läuft normal."}}},
        {notice::kAnalysisTrouble + 1,
         When::Always,
         {4, 0},
         {{"HÜLLKURVE: LAME SCHEITERT AN"}, {"{song}"}, {"Neuer Versuch später; Musik läuft."}}},
        {notice::kAnalysisTrouble + 2,
         When::Always,
         {4, 0},
         {{"HÜLLKURVEN: TEMP-ORDNER VOLL"},
          {"oder gesperrt (TMPDIR). Keine Analyse;"},
          {"die Musik läuft normal."}}},
        {notice::kGongUnplayable,
         When::Always,
         {4, 0},
         {{"GONG {n}: MP3 NICHT SPIELBAR"},
          {"{song}"},
          {"Datei fehlt oder ist beschädigt."},
          {"Die Spielliste läuft normal weiter."}}},
        {notice::kSaveFailed,
         When::Always,
         {4, 0},
         {{"SPEICHERN FEHLGESCHLAGEN:"},
          {"{path}"},
          {"Nicht gespeichert (Platte voll, kein"},
          {"Schreibrecht?). Alte Fassung bleibt."}}},
        {notice::kNoSavedSession,
         When::Always,
         {4, 0},
         {{"KEINE GESPEICHERTE SITZUNG"}, {"Start mit leeren Listen."}}},
        {notice::kFolderTableFull,
         When::Always,
         {4, 0},
         {{"LOAD: ORDNER-TABELLE VOLL"},
          {"Nichts geladen. Alle 399 Ordner-Plätze"},
          {"gehören zu MP3s in Stapel/Spielliste."},
          {"Erst MP3s anderer Ordner entfernen."}}},
        {notice::kFolderLate,
         When::Always,
         {4, 0},
         {{"MUSIKORDNER NICHT ERREICHBAR"},
          {"{song}"},
          {"{n} MP3s warten, Suche alle 5 Sek."},
          {"Die anderen spielen schon."}}},
        {notice::kNoAudioDevice,
         When::Always,
         {4, 0},
         {{"KEIN AUDIOGERÄT"}, {"Die Spielliste läuft stumm weiter."}, {"Gerät prüfen."}}},
        {notice::kAudioDeviceBack,
         When::Always,
         {4, 0},
         {{"AUDIOGERÄT WIEDER DA"},
          {"Die Musik spielt hörbar weiter,"},
          {"an der laufenden Stelle."}}},
    };
    return table;
}

const NoticeText* findNotice(int id) {
    for (const NoticeText& row : noticeTable())
        if (row.id == id && holds(row.form)) return &row;
    return nullptr;
}

// Characters that fit into the box beside its margins.
constexpr size_t kBoxChars = (kNoticeRight - kNoticeLeft) / 8 - 2;

// A long path keeps its end, where the file name is.
std::string shortenedPath(const std::string& path) {
    if (path.size() <= kBoxChars) return path;
    return "..." + path.substr(path.size() - (kBoxChars - 3));
}

std::string filledIn(std::string_view text) {
    return fillFields(text, [](std::string_view field) -> std::string {
        if (field == "n") return std::to_string(notices.noticeNumber);
        if (field == "path") return shortenedPath(notices.savedListPath);
        if (field == "time") return notices.previewPositionText;
        if (field == "song") return shortenedPath(notices.songName);
        return {};
    });
}

} // namespace

std::string fillFields(std::string_view text,
                       const std::function<std::string(std::string_view field)>& value) {
    std::string out;
    while (!text.empty()) {
        const size_t open = text.find('{');
        out += text.substr(0, open);
        if (open == std::string_view::npos) break;
        const size_t close = text.find('}', open);
        if (close == std::string_view::npos) break;
        out += value(text.substr(open + 1, close - open - 1));
        text.remove_prefix(close + 1);
    }
    return out;
}

std::vector<std::string> noticeLines(int id) {
    std::vector<std::string> lines;
    if (const NoticeText* row = findNotice(id))
        for (const Line& line : row->lines)
            if (holds(line.when)) lines.push_back(screen::cp437(filledIn(line.text)));
    return lines;
}

std::vector<int> noticeColours(int id) {
    std::vector<int> colours;
    if (const NoticeText* row = findNotice(id))
        for (size_t i = 0; i < row->lines.size(); ++i)
            if (holds(row->lines[i].when))
                colours.push_back(row->colours[std::min(i, row->colours.size() - 1)]);
    return colours;
}

bool takeNoticeToDraw() {
    if (notices.noticeForce != 0) {
        notices.noticeForce = 0;
    } else {
        if (timing::now() < notices.noticeHoldTime) {
            notices.noticePending = 1;
            return false;
        }
        notices.noticeForce = 0;
        if (notices.noticeId == notices.lastNoticeId) return false;
    }
    notices.lastNoticeId = notices.noticeId;
    notices.noticePending = 0;
    notices.hoverResumeTime = timing::now() + 4;
    return true;
}

void requestNoticeDraw() {
    hooks::requestRedraw(hooks::Redraw::Notice);
}

bool noticeHeld() {
    return timing::now() < notices.noticeHoldTime;
}

NoticeTimes noticeTimes(int id) {
    // Errors the user must read stay longer; hints give way soon.
    static const std::pair<int, NoticeTimes> kTimes[] = {
        {notice::kGreyNotSelected, {12, 5}},
        {notice::kAlreadyLoaded, {12, 11}},
        {notice::kDuplicateCleared, {12, 5}},
        {notice::kPlaylistFull, {12, 5}},
        {notice::kStackFull, {12, 4}},
        {notice::kImportRefusedLength, {12, 11}},
        {notice::kRightTrigger, {12, 5}},
        {notice::kLeftTrigger, {12, 5}},
        {notice::kNeedsLame, {12, 5}},
        {notice::kCompressorWarning, {50, 45}},
        {notice::kListInvalid, {12, 4}},
        {notice::kSaveTooLittle, {12, 7}},
        {notice::kDuplicatesLoaded, {12, 11}},
        {notice::kSkippedDuplicates, {12, 12}},
        {notice::kStackNoRoom, {12, 5}},
        {notice::kGongRefused, {9, 9}},
        {notice::kNoFile, {12, 6}},
        {notice::kNoFolder, {12, 6}},
        {notice::kGongReset, {6, 6}},
        {notice::kSaveRepeat, {12, 2}},
        {notice::kStackOverflow, {12, 5}},
        {notice::kCutShort, {30, 8}},
        {notice::kNoAudioDevice, {30, 6}},
        {notice::kAnalysisTrouble, {20, 8}},
        {notice::kAnalysisTrouble + 1, {20, 8}},
        {notice::kAnalysisTrouble + 2, {20, 8}},
        {notice::kGongUnplayable, {9, 6}},
        {notice::kSaveFailed, {15, 8}},
        {notice::kNoSavedSession, {12, 6}},
        {notice::kFolderTableFull, {12, 6}},
        {notice::kAudioDeviceBack, {4, 6}},
        {notice::kIdle, {2, 0}},
        {notice::kListSaved, {12, 5}},
        {notice::kVorhHelp, {12, 2}},
        {notice::kPreviewRunning, {12, 0}},
        {notice::kPreviewRefused, {12, 4}},
        {notice::kNoText, {1, 0}},
        {notice::kNoListChosen, {12, 6}},
        {notice::kListNotFound, {12, 6}},
        {notice::kPlaylistHelp, {12, 3}},
    };
    for (const auto& [row, times] : kTimes)
        if (row == id) return times;
    return {};
}

void showNotice(int id) {
    showNotice(id, noticeTimes(id));
}

void showNotice(int id, NoticeTimes times) {
    notices.noticeHoldTime = timing::now() - 0.1;
    notices.noticeId = id;
    notices.noticeIdleTime = timing::now() + times.idle;
    requestNoticeDraw();
    notices.noticeHoldTime = timing::now() + times.hold;
}

void setListFactsQuery(ListFacts (*query)()) {
    listFacts = query ? query : listFactsAtStart;
}
