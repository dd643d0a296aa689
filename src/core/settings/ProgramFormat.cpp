#include "settings/ProgramFormat.h"

#include <QLocale>

namespace zurm {

ProgramFormat ProgramFormat::fromSystemLocale()
{
    ProgramFormat format;
    const QLocale locale = QLocale::system();
    const QString decimal = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    if (!decimal.isEmpty())
        format.userDecimalSeparator = decimal.at(0);
    if (!group.isEmpty())
        format.userThousandsSeparator = group.at(0);
    return format;
}

} // namespace zurm
