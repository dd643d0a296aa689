#pragma once

#include <QChar>

namespace zurm {

// The program-wide number format. Numbers written into SQL text or report
// data always use "." and " "; the user's own separators are remembered at
// start only to build spreadsheet number formats.
struct ProgramFormat {
    QChar decimalSeparator = QLatin1Char('.');
    QChar thousandsSeparator = QLatin1Char(' ');
    QChar userDecimalSeparator = QLatin1Char('.');
    QChar userThousandsSeparator = QLatin1Char(',');

    // Remembers the separators of the user's locale (QLocale::system()).
    static ProgramFormat fromSystemLocale();
};

} // namespace zurm
