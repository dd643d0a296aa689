#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

namespace zurm {

// The single row of Настройки in the settings file.
namespace SettingsRow {
QVariant value(const QSqlDatabase& settings, const QString& field);
// Text of at most 255 characters; empty when Null.
QString text(const QSqlDatabase& settings, const QString& field);
// Stores a value (an empty text is stored as Null) and posts it.
void setValue(const QSqlDatabase& settings, const QString& field, const QVariant& value);

inline const QString kCalculationFile = QStringLiteral("ФайлГР");
inline const QString kReferenceFile = QStringLiteral("ФайлСпр");
} // namespace SettingsRow

} // namespace zurm
