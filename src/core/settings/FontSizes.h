#pragma once

#include <QSqlDatabase>

namespace zurm {

// The four font sizes of the program settings, in points.
struct FontSizes {
    int dataCells = 10;    // РШрифтаВТД: cells of the data grids, text of the memos
    int columnTitles = 10; // РШрифтаВЗагКолТД: column titles of the data grids
    int captions = 10;     // РШрифтаНаимПок: caption boxes above the main window's grids
    int graphs = 10;       // РШрифтаГр: marks and axis labels of the graphs

    bool operator==(const FontSizes&) const = default;
};

// The range the settings window accepts for every font size.
inline constexpr int kMinimumFontSize = 8;
inline constexpr int kMaximumFontSize = 20;

// The four sizes from the one row of Настройки. A size that is Null, not a
// number or outside 8 to 20 (a file edited by hand, an older program) keeps its
// default, so no window ever gets an unreadable or absurd font. Throws Failure
// when the row cannot be read.
FontSizes readFontSizes(const QSqlDatabase& settings);

} // namespace zurm
