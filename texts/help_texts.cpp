#include "texts/help_texts.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/layout.h"
#include "platform/screen.h"
#include "texts/manual_link.h"
#include "texts/notices.h"

namespace {

HelpFacts factsAtStart() {
    return {};
}
HelpFacts (*helpFacts)() = factsAtStart;

using Test = bool (*)(const HelpFacts&);

struct Line {
    std::string_view text; // UTF-8; {...} fields are filled in when shown
    Test when = nullptr;   // null: always shown
};

// A key word drawn on a highlight at the right end of a row.
struct Keyword {
    size_t row;
    std::string_view text;
};

// The first row with the id whose form holds is shown.
struct HelpText {
    int id;
    Test form; // null: always
    int colour;
    std::vector<Line> lines;
    std::vector<Keyword> keywords = {};
};

constexpr int kText = 0;
constexpr int kGongSwitchText = 40;
constexpr int kCountText = 1;
constexpr int kKeywordInk = 0, kKeywordBackground = 14;

// The arrow characters of the font: up, down, left, right.
#define KK_UP "\x1e"
#define KK_DOWN "\x1f"
#define KK_LEFT "\x11"
#define KK_RIGHT "\x10"

const std::vector<HelpText>& helpTable() {
    static const std::vector<HelpText> table = {
        {notice::kIdle,
         nullptr,
         kText,
         {{" Buttons  werden bei Berührung erklärt."}, {"{address}"}}},
        {notice::kLink, nullptr, kText, {{" Klick aktiviert Browser"}, {"{address}"}}},
        // With a selection and songs to go behind, how to place it.
        {1,
         [](const HelpFacts& f) { return f.stackSelection && !f.playlistEmpty; },
         kText,
         {{"Angeklickte MP3s zu Spielliste:"},
          {"Hinter Position #xx mit STRG-Klick."},
          {"Zum Listenende Klick Pfeil-Button."}}},
        {1,
         nullptr,
         kText,
         {{"Angeklickte MP3s zu Spielliste:"},
          {"Klick auf grünen Pfeil-Button."},
          {"Gruppe anklicken: [Shift-Klick]"}}},
        {2,
         nullptr,
         kText,
         {{"Angeklickte löschen mit ENTF-Taste"},
          {"STRG-Klick auf Lied #xx"},
          {"stellt angeklickte Lieder hinter #xx."}},
         {{0, "[ENTF]"}, {1, "POSITION "}}},
        {10,
         nullptr,
         kText,
         {{"PLAY-Button  startet oberste MP3 ..."},
          {"... und folgende, wenn AUTOPLAY ON."},
          {"(STRG-ALT PLAY reaktiviert ab Titel #01)"}}},
        {11,
         nullptr,
         kText,
         {{"STOP-Button stoppt MP3 mit Blende."},
          {"Sprung auf folgende MP3."},
          {"Wartet auf neuen PLAY-Befehl."},
          {"(Cue setzen/löschen: STRG-Shift-Klick)"}}},
        {12,
         nullptr,
         kText,
         {{"STOP-Button stoppt MP3 mit Blende."},
          {"Sprung auf Anfang der MP3."},
          {"Wartet auf neuen PLAY-Befehl."},
          {"(Cue setzen/löschen: STRG-Shift-Klick)"}}},
        {13,
         nullptr,
         kText,
         {{"Klick = Blende auf die nächste MP3."},
          {"Nur bei aktiviertem AUTOPLAY."},
          {"Beachte auch BLEND und PAUSE."}}},
        {14,
         nullptr,
         kText,
         {{"Zur Steuerung der Blende am MP3-Ende:"},
          {"Alle Übergänge in nächste MP3"},
          {"und Verhalten bei STOP und PAUSE."}}},
        {15,
         nullptr,
         kText,
         {{"Verzögert Start des nächsten Titels"},
          {"bei aktiviertem AUTOPLAY."},
          {"Pause variiert, wenn länger als 10 Sek."},
          {"Bitte linken Trigger minimieren, wenn"},
          {"Pause länger als 1 Sek."}}},
        {16,
         nullptr,
         kText,
         {{"AUTO PLAY an/aus schalten."},
          {"Am Ende der MP3 startet nächste MP3"},
          {"automatisch."},
          {"Beachte TRIGGER, BLENDE, PAUSE."},
          {"STRG-Klick: ENDLOS wiederholt die Spielliste."}}},
        {17,
         nullptr,
         kText,
         {{"KOMPRESSOR an/aus schalten."},
          {"Reguliert Lautstärke vorausschauend."},
          {"Reagiert auf Effektivwert (RMS)."},
          {"Schmaler Balken = DUCKING (GONG)"},
          {"STRG-Klick: ANGLEICHEN, MP3s gleich laut."},
          {"Roter Balken zeigt Reduktion.",
           [](const HelpFacts& f) { return f.lameAvailable && f.lameOn && f.songPlaying; }},
          {"Geht nicht weil LAME.EXE fehlt.", [](const HelpFacts& f) { return !f.lameAvailable; }},
          {"Geht nicht weil LAME abgeschaltet.",
           [](const HelpFacts& f) { return f.lameAvailable && !f.lameOn; }},
          {"Grenzwert und Tempo sind adaptiv.",
           [](const HelpFacts& f) { return f.lameAvailable && f.lameOn && !f.songPlaying; }}}},
        {18,
         nullptr,
         kText,
         {{"Klick wechselt durch KOMPRESSOR Setup."},
          {"FAST=schnell  MEDI=mittel SLOW=langsam"},
          {"Verschiedene Grenzwertkurven (blau)"}}},
        {19,
         [](const HelpFacts& f) { return !f.lameOn || !f.lameAvailable; },
         kText,
         {{"TRIGGER für smarte automatische Übergänge"},
          {"ist deaktiviert,"},
          {"weil LAME aus oder nicht vorhanden ist."}}},
        {19,
         [](const HelpFacts& f) { return !f.autoPlay; },
         kText,
         {{"Rechter TRIGGER setzt STOP-CUEs."},
          {"Linker TRIGGER ist deaktiviert,"},
          {"weil AUTO PLAY AUS ist."}}},
        {19,
         [](const HelpFacts& f) { return !f.triggerWarning; },
         kText,
         {{"Linker TRIGGER sucht leisen MP3-Anfang."},
          {"Rechter TRIGGER setzt STOP-CUEs."},
          {"Ziel: bei AUTO PLAY nächste MP3 smart"},
          {"starten, via Lautstärke."}}},
        {19,
         nullptr,
         kText,
         {{"Bitte beide TRIGGER minimieren."},
          {"Grund: PAUSE ist an, und duch die Trigger"},
          {"wird am MP3-Ende zu früh ausgeblendet."},
          {"(Ausser es ist so gewünscht.)"}}},
        {20,
         nullptr,
         kText,
         {{"ZOOM-Button"}, {"Hüllkurven Anfang und Ende werden"}, {"vergrössert angezeigt."}}},
        {21,
         nullptr,
         kText,
         {{"LOAD-Button.   Importiere ganzen Ordner."},
          {"EINE MP3 öffnen, alle andren kommen mit."},
          {"[Doub]-Button  MIT Doubletten (grau)"},
          {"3x [Klick]     LOAD & Shuffle & Play"}}},
        {22,
         nullptr,
         kText,
         {{"LOAD-Button"},
          {"Nur EINE MP3-Datei in den Stapel holen"},
          {"[Doub]-Button    MIT Doubletten (grau)"}}},
        {23,
         nullptr,
         kText,
         {{"LAME.EXE an/aus schalten."},
          {"Hüllkurve, Kompressor, Triggerung"},
          {"brauchen LAME.EXE im Arbeitsordner."}}},
        {25,
         nullptr,
         kText,
         {{"[Klick]    Alle MP3s auswählen."},
          {"[Doub]-Button    MIT Doubletten (grau)."},
          {"Zur Spielliste senden via Pfeil-Button."}}},
        {27, nullptr, kText, {{"ABC-Button"}, {"Sortiert alle MP3s nach Alphabet auf/ab."}}},
        {28, nullptr, kText, {{"123-Button"}, {"Sortiert alle MP3s nach Länge auf/ab."}}},
        // ENTF takes the grey duplicates first, the selection only once none are left.
        {29,
         [](const HelpFacts& f) { return f.stackDuplicates; },
         kText,
         {{"ENTF-Button  entfernt zunächst"},
          {"nur die Doubletten (grau)."},
          {"(Doppelt vorhandene MP3s)"}}},
        {29,
         nullptr,
         kText,
         {{"ENTF-Button"},
          {"Entfernt auswählte MP3s aus Stapel."},
          {"Zur Zeit sind keine MP3s ausgewählt.",
           [](const HelpFacts& f) { return !f.stackSelection; }}}},
        {30,
         nullptr,
         kText,
         {{"SHUFFLE-Button"}, {"Sortiert alle MP3s per Zufall"}, {"im STAPEL."}}},
        {31,
         nullptr,
         kText,
         {{"PAUSE-Button mit Blende setzt einen neuen"},
          {"Startpunkt (Cue). Den Cue-Punkt manuell"},
          {"setzen/löschen/schieben: STRG-SHIFT-Klick"}}},
        {32,
         nullptr,
         kText,
         {{"VOLUME-Button:  Lautstärke ändern."},
          {"Bitte möglichst auf 100% lassen und lieber"},
          {"die Steuerung von Windows nutzen."},
          {"Ausnahme: eine andre Audioanwendung läuft"},
          {"mit  und KLANGKELTER ist zu laut."}}},
        {33,
         nullptr,
         kText,
         {{"Zeigt die Hüllkurve (Lautstärke)"},
          {"des laufenden Musikstücks mit"},
          {"Peak (Spitzenwert) und RMS (Effektivwert)."}}},
        {34,
         nullptr,
         kText,
         {{"SHUFFLE-Button"},
          {"Klick setzt Reihenfolge per Zufall"},
          {"in der Spielliste ab dem vierten Lied."}}},
        {48,
         nullptr,
         kText,
         {{"SAVE LIST    NUR SPIELLISTE sichern"},
          {"... ab aktueller Position."},
          {"[STRG-ALT-PLAY] reaktiviert Spielliste:"},
          {"                Zurück zur Position #1."}}},
        {49,
         nullptr,
         kText,
         {{"LOAD LIST"},
          {"[Klick]    ...  MP3s in den Stapel holen"},
          {"[Doub]-Button   MIT Doubletten (grau)"},
          {"3x [Klick] ...  LOAD & Shuffle & Play."}}},
        {51,
         nullptr,
         kText,
         {{"Klick in die Hüllkurve:"},
          {"STRG-Klick => Triggerpunkte manuell"},
          {"STRG-SHIFT-Klick => Start-CUE setzen"}}},
        // While the player runs the preview cannot start.
        {52,
         [](const HelpFacts& f) { return f.playerRunning; },
         kText,
         {{"Vorhören-Modus ist jetzt gesperrt,"}, {"weil der Player läuft."}}},
        {52,
         nullptr,
         kText,
         {{"VORHÖREN MP3. MODUS IST AN.", [](const HelpFacts& f) { return f.previewMode; }},
          {"VORHÖREN MP3. MODUS IST AUS.", [](const HelpFacts& f) { return !f.previewMode; }},
          {"[LANG-Klick] oder [STRG-ALT-Klick] auf MP3"},
          {"Stapel & Spielliste (leise)."},
          {"Deaktiviert sich nach 30 Sek. oder Taste."}}},
        {59,
         nullptr,
         kText,
         {{"DOUBLETTEN"},
          {"Erlauben, dass MP3s doppelt vorkommen."},
          {"Gilt bei LOAD und AUSWAHL. "}}},
        {60,
         nullptr,
         kCountText,
         {{"Anzahl der MP3s im Stapel."},
          {"In dieser Version maximal {capacity}."},
          {"Spielliste hat selbes Maximum."}}},
        {63,
         nullptr,
         kText,
         {{"ROLLBALKEN Spielliste"},
          {"[Klick]  oder  (Schieben) oder"},
          {"Mausrad oder Tasten " KK_UP " " KK_DOWN}}},
        {64,
         nullptr,
         kText,
         {{"ROLLBALKEN Stapel"},
          {"[Klick]  oder  (Schieben) oder"},
          {"Mausrad oder Tasten " KK_LEFT " " KK_RIGHT}}},
        {65,
         nullptr,
         kText,
         {{"PLAY spielt diese MP3 ohne Kompressor."},
          {"(PAUSE-Button, wenn MP3 spielt)"},
          {"Lade eine MP3 mit dem LOAD-Button.", [](const HelpFacts& f) { return !f.gongLoaded; }},
          {"Multiple PLAY fähig."}}},
        {66,
         nullptr,
         kText,
         {{"STOP und auf Startposition stellen."},
          {"(oder zur Startposition nach PAUSE)"},
          {"Lade eine MP3 mit dem LOAD-Button.",
           [](const HelpFacts& f) { return !f.gongLoaded; }}}},
        // The compressor ducks the playlist whether it levels or not.
        {67,
         nullptr,
         kText,
         {{"DUCKING dämpft Spielliste via Kompressor."},
          {"Linksklick/Rechtsklick ändert Wert."},
          {"Stärkster Wert ist entscheidend."}}},
        {68,
         nullptr,
         kText,
         {{"VOLUME - Lautstärke diese MP3."},
          {"Linksklick/Rechtsklick ändert Wert."},
          {"Jetzt {gongPercent}%  oder {gongDb} dB"}}},
        {69,
         nullptr,
         kText,
         {{"Dauer dieser MP3."},
          {"Position in dieser MP3."},
          {"STRG-SHIFT Linksklick/Rechtsklick."}}},
        {70,
         nullptr,
         kText,
         {{"LOAD    Lade eine MP3-Datei."},
          {"Länge: {gongMin} Sek bis {gongMax} Min."},
          {"Gesperrt bei PLAY."},
          {"STRG-Klick = Player leeren & resetten."}}},
        {71, nullptr, kText, {{"Name der MP3-Datei."}, {"Datei bleibt nach STOP stehen."}}},
        {notice::kAutosaveHelp,
         nullptr,
         kText,
         {{"AUTOSAVE sichert alle Listen und mehr."},
          {"Bei Neustart kann der Zustand wieder"},
          {"geladen werden."},
          {"(STAPEL/SAVE sichert nur Spielliste)"}}},
        {82,
         nullptr,
         kGongSwitchText,
         {{"TEMPO"},
          {"DUCKING schnell/langsam"},
          {"Ist jetzt schnell.", [](const HelpFacts& f) { return f.duckFast; }},
          {"Ist jetzt langsam.", [](const HelpFacts& f) { return !f.duckFast; }}}},
        {83,
         nullptr,
         kGongSwitchText,
         {{"BANK"}, {"Schaltet um zwischen"}, {"Player 1-4  und 5-8."}}},
    };
    return table;
}

#undef KK_UP
#undef KK_DOWN
#undef KK_LEFT
#undef KK_RIGHT

const HelpText* findHelp(int id, const HelpFacts& facts) {
    for (const HelpText& row : helpTable())
        if (row.id == id && (!row.form || row.form(facts))) return &row;
    return nullptr;
}

std::string filledIn(std::string_view text, const HelpFacts& f) {
    return fillFields(text, [&f](std::string_view field) -> std::string {
        if (field == "address") return shortAddress(manualAddress());
        if (field == "capacity") return std::to_string(f.listCapacity);
        if (field == "gongPercent") return std::to_string(f.gongVolume / 10);
        if (field == "gongDb")
            return std::to_string(
                int(std::nearbyint(20.0 * std::log10(std::max(f.gongVolume, 1) / 1000.0))));
        if (field == "gongMin") return std::to_string(f.gongMinSeconds);
        if (field == "gongMax") return std::to_string(f.gongMaxMinutes);
        return {};
    });
}

// Where rows go: most notices from the box's top left, with a closer pitch
// when they need more than four rows; the idle and link notices further in,
// with the address in the box's clickable lower part.
constexpr int kLineX = kNoticeLeft + 8;
constexpr int kFourRowsY[] = {kNoticeTop + 9, kNoticeTop + 21, kNoticeTop + 35, kNoticeTop + 49};
constexpr int kIdleX = kNoticeLeft + 12;
constexpr int kIdleY[] = {kNoticeTop + 14, kNoticeTop + 40};
// The inner edge of the box's right outline: text must end before it.
constexpr int kTextRight = kNoticeRight - 1;

int rowY(size_t row, size_t rows) {
    if (rows <= 4) return kFourRowsY[row];
    const int pitch = rows == 5 ? 11 : 10;
    const int top = rows == 5 ? kNoticeTop + 5 : kNoticeTop + 3;
    return top + pitch * int(row);
}

// A line longer than the box breaks at its last blank that fits.
void wrapInto(std::vector<std::string>& rows, std::string line, size_t maxChars) {
    while (line.size() > maxChars) {
        size_t cut = line.rfind(' ', maxChars);
        if (cut == std::string::npos || cut == 0) cut = maxChars;
        rows.push_back(line.substr(0, cut));
        line.erase(0, line[cut] == ' ' ? cut + 1 : cut);
    }
    rows.push_back(line);
}

} // namespace

void setHelpFactsQuery(HelpFacts (*query)()) {
    helpFacts = query ? query : factsAtStart;
}

const std::vector<int>& helpNoticeIds() {
    static const std::vector<int> ids = [] {
        std::vector<int> out;
        for (const HelpText& row : helpTable())
            if (out.empty() || out.back() != row.id) out.push_back(row.id);
        return out;
    }();
    return ids;
}

std::vector<HelpRow> helpRows(int id) {
    const HelpFacts facts = helpFacts();
    const HelpText* help = findHelp(id, facts);
    if (!help) return {};
    const bool idleLayout = id == notice::kIdle || id == notice::kLink;
    const int x = idleLayout ? kIdleX : kLineX;
    const size_t maxChars = size_t(kTextRight - x) / 8;

    std::vector<std::string> texts;
    std::vector<size_t> firstRowOfLine;
    for (const Line& line : help->lines) {
        if (line.when && !line.when(facts)) continue;
        firstRowOfLine.push_back(texts.size());
        wrapInto(texts, screen::cp437(filledIn(line.text, facts)), maxChars);
    }

    std::vector<HelpRow> rows;
    for (size_t i = 0; i < texts.size(); ++i) {
        const int y =
            idleLayout ? kIdleY[std::min(i, std::size(kIdleY) - 1)] : rowY(i, texts.size());
        rows.push_back({texts[i], x, y, help->colour});
    }
    for (const Keyword& k : help->keywords) {
        if (k.row >= firstRowOfLine.size()) continue;
        const std::string text = screen::cp437(k.text);
        const int kx = kTextRight - 8 - 8 * int(text.size());
        rows.push_back({text, kx, rows[firstRowOfLine[k.row]].y, kKeywordInk, kKeywordBackground});
    }
    return rows;
}
