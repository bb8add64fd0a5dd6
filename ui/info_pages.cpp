#include "ui/info_pages.h"

#include <string_view>
#include <vector>

#include "platform/screen.h"
#include "ui/control_panel.h"

namespace {

constexpr int kTextX = 652;
constexpr int kIndentedX = 653;
constexpr int kSeparatorRight = 978;
constexpr int kSeparatorColour = 24;
// A separator lies this far below the text line before it; the next text
// line follows the separator's own step.
constexpr int kSeparatorDrop = 15, kSeparatorStep = 24;
constexpr int kSep = -1;

struct PageLine {
    int step; // pixels below the previous line (the first line: its y); kSep for a separator
    std::string_view text; // UTF-8
    int x = kTextX;
};

// The font's arrows: left, right, up, down.
#define KK_LEFT "\x11"
#define KK_RIGHT "\x10"
#define KK_UP "\x1e"
#define KK_DOWN "\x1f"

const std::vector<PageLine> kOverview = {
    {71, "Spielt MP3s ab. Keine anderen Formate."},
    {13, "Grund: einfache Steuerung in Windows(R)"},
    {kSep, "Der KOMPRESSOR reduziert Lautstärke-"},
    {13, "unterschiede von Musikstücken."},
    {18, "Er reduziert auch Lautstärkeschwankungen"},
    {13, "INNERHALB von Musikstücken."},
    {18, "Kompressor geht nur, wenn LAME.EXE"},
    {13, "vorhanden ist (im Ordner des Players)."},
    {18, "Tipp: MP3s erst durch MP3Gain schicken."},
    {kSep, "AUTOPLAY für single/continuous Play."},
    {18, "Liedanfänge werden nie eingeblendet,"},
    {13, "ausser beim Start an einem CUE-Punkt."},
    {18, "STILLE am MP3-Start wird ignoriert."},
    {kSep, "Übergänge werden fliessend gestaltet."},
    {18, "Triggert automatisch auf Lautstärke,"},
    {13, "wenn LAME.EXE vorhanden und an ist."},
    {18, "TRIGGER-Punkte manuell setzen:", kIndentedX},
    {13, "STRG-Klick ohne SHIFT in die Hüllkurve.", kIndentedX},
    {13, "Start-CUE setzen: STRG-SHIFT-Klick.", kIndentedX},
    {kSep, "GONG: Acht extra PLAYER für MP3s,"},
    {13, "die auf Abruf sofort bereit sein sollen."},
    {13, "Mit Ducking. Ohne Kompressor."},
};

const std::vector<PageLine> kCompressor = {
    {75, "KOMPRESSOR: Das Tempo der Regelung wird"},
    {14, "an starken Pegelsprüngen kurz erhöht."},
    {18, "Diese adaptive Regelung beruhigt"},
    {14, "sich selbst, wenn es zu wild wird."},
};

const std::vector<PageLine> kKeys = {
    {75, "[STRG A] Alle MP3s im Stapel auswählen."},
    {12, "MP3s auswählen Klick ähnlich wie Windows."},
    {12, "Bsp Gruppe auswählen [Shift-Klick]."},
    {12, "[Doub]-Button MIT Doubletten auswählen."},
    {12, "[ESC]    MP3-Auswahl zurücksetzen."},
    {17, "[ENTF]-Button löscht Auswahl Stapel."},
    {12, "[ENTF]-Taste  löscht Auswahl SPIELLISTE."},
    {17, "[" KK_LEFT "] [" KK_RIGHT "]  Rolle STAPEL-Liste."},
    {12, "[" KK_UP "] [" KK_DOWN "]  Rolle SPIELLISTE."},
    {12, "[Mausrad] rollt die Listen ebenfalls."},
    {17, "[STRG P] PLAY, startet die Wiedergabe."},
    {12, "[STRG S] STOP und selbe MP3 nochmal."},
    {12, "[STRG-SHIFT S] STOP und nächste MP3."},
    {12, "[STRG-SHIFT N] Blende in nächste MP3."},
    {12, "(oder Sprung  bei stehendem Player)"},
    {15, "[STRG-Klick]-Hüllkurve: TRIGGER manuell."},
    {12, "[STRG-SHIFT-Klick]-Hüllkurve: Start-CUE."},
    {17, "[STRG-SHIFT " KK_RIGHT "] Sprung laufende MP3."},
    {12, "[STRG-SHIFT " KK_LEFT "] Sprung laufende MP3."},
    {17, "[STRG-ALT-PLAY] Spielliste Reset auf #1."},
    {17, "Vorhören (leise) Stapel/Spielliste:"},
    {12, "-  [Vorh]-Button muss AN sein."},
    {12, "-  [STRG-ALT-Klick] oder <Langer Klick>"},
    {12, "-  Nur wenn PLAYER gestoppt ist."},
    {17, "Vorsichtsmassnahme: Player-relevante"},
    {12, "Tasten gehen nur mit [STRG] oder [ALT]"},
};

#undef KK_LEFT
#undef KK_RIGHT
#undef KK_UP
#undef KK_DOWN

const std::vector<PageLine>& pageOf(int tab) {
    return tab == 2 ? kOverview : tab == 3 ? kCompressor : kKeys;
}

void drawFrame() {
    screen::fillBox(640, 56, 990, 442, 27);
    screen::box(640, 56, 990, 442, 24);
    screen::box(641, 57, 989, 441, 20);
    screen::box(642, 58, 988, 440, 23);
    screen::box(643, 59, 987, 439, 25);
    screen::fillBox(644, 61, 986, 437, 16);
    screen::box(644, 61, 986, 437, 0);
}

} // namespace

void drawInfoPage(int tab) {
    if (tab < kFirstInfoTab || tab > kLastInfoTab) return;
    screen::lock();
    controlPanel.rightTab = int16_t(tab);
    drawFrame();
    drawTabRow();
    int y = 0;
    for (const PageLine& line : pageOf(tab)) {
        if (line.step == kSep) {
            screen::line(kTextX, y + kSeparatorDrop, kSeparatorRight, y + kSeparatorDrop,
                         kSeparatorColour);
            y += kSeparatorStep;
        } else {
            y += line.step;
        }
        screen::textAt(line.x, y, screen::cp437(line.text), 0);
    }
    screen::unlock();
}
