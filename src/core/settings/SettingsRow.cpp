#include "settings/SettingsRow.h"

#include "base/Sql.h"

namespace zurm::SettingsRow {

QVariant value(const QSqlDatabase& settings, const QString& field)
{
    return selectValue(settings, QStringLiteral("SELECT ") + quoteName(field)
                                     + QStringLiteral(" FROM [Настройки] ORDER BY rowid LIMIT 1"));
}

QString text(const QSqlDatabase& settings, const QString& field)
{
    const QVariant v = value(settings, field);
    return v.isNull() ? QString() : v.toString().left(255);
}

void setValue(const QSqlDatabase& settings, const QString& field, const QVariant& v)
{
    QVariant stored = v;
    if (v.typeId() == QMetaType::QString && v.toString().isEmpty())
        stored = QVariant();
    execSql(settings, QStringLiteral("UPDATE [Настройки] SET ") + quoteName(field)
                          + QStringLiteral("=? WHERE rowid=(SELECT min(rowid) FROM [Настройки])"),
            {stored});
}

} // namespace zurm::SettingsRow
