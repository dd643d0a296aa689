#include "settings/FontSizes.h"

#include "settings/SettingsRow.h"

namespace zurm {

namespace {

void readSize(const QSqlDatabase& settings, const QString& field, int& size)
{
    const QVariant stored = SettingsRow::value(settings, field);
    if (!stored.isValid() || stored.isNull())
        return;
    bool ok = false;
    const int value = stored.toInt(&ok);
    if (ok && value >= kMinimumFontSize && value <= kMaximumFontSize)
        size = value;
}

} // namespace

FontSizes readFontSizes(const QSqlDatabase& settings)
{
    FontSizes sizes;
    readSize(settings, QStringLiteral("РШрифтаВТД"), sizes.dataCells);
    readSize(settings, QStringLiteral("РШрифтаВЗагКолТД"), sizes.columnTitles);
    readSize(settings, QStringLiteral("РШрифтаНаимПок"), sizes.captions);
    readSize(settings, QStringLiteral("РШрифтаГр"), sizes.graphs);
    return sizes;
}

} // namespace zurm
