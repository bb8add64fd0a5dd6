#include "ui/notice_view.h"

#include <iterator>
#include <string>
#include <vector>

#include "platform/layout.h"
#include "platform/screen.h"
#include "texts/help_texts.h"
#include "texts/notices.h"

namespace {

// Rows of an operation notice, from the box's top left.
constexpr int kLineX = kNoticeLeft + 8;
constexpr int kLineY[] = {kNoticeTop + 9, kNoticeTop + 21, kNoticeTop + 35, kNoticeTop + 49};

bool drawHelpRows(int id) {
    const std::vector<HelpRow> rows = helpRows(id);
    if (rows.empty()) return false;
    for (const HelpRow& row : rows) {
        if (row.highlight >= 0)
            screen::fillBox(row.x - 2, row.y - 2, row.x + 8 * int(row.text.size()) + 2, row.y + 8,
                            row.highlight);
        screen::textAt(row.x, row.y, row.text, row.colour);
    }
    return true;
}

} // namespace

void drawNotice() {
    if (!takeNoticeToDraw()) return;
    // The idle and link notices sit on a darker box, so they read as background.
    const int boxColour = notices.noticeId > 125 ? 29 : 31;
    screen::fillBox(kNoticeLeft, kNoticeTop, kNoticeRight, kNoticeBottom, boxColour);
    screen::box(kNoticeLeft + 1, kNoticeTop + 1, kNoticeRight, kNoticeBottom, 27);
    screen::box(kNoticeLeft + 1, kNoticeTop + 1, kNoticeRight - 1, kNoticeBottom - 1, 0);
    if (drawHelpRows(notices.noticeId)) return;
    const std::vector<std::string> lines = noticeLines(notices.noticeId);
    const std::vector<int> colours = noticeColours(notices.noticeId);
    for (size_t i = 0; i < lines.size() && i < std::size(kLineY); ++i)
        screen::textAt(kLineX, kLineY[i], lines[i], colours[i]);
}
