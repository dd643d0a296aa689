#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace zurm {

// The names of the indicators in the reports (workbook, printed report), by
// short name: the predefined catalogue ФлыПредопрПок first, then the user's
// Формулы. Only indicators marked ВывВОтчТабл are shown; the two given-head
// indicators name their node.
class ReportCaptions {
public:
    // Throws Failure.
    explicit ReportCaptions(const QSqlDatabase& db);

    // The display name, or nothing for an indicator left out of the reports.
    std::optional<QString> displayName(const QString& shortName) const;
    // "display name (short name)".
    std::optional<QString> of(const QString& shortName) const;
    // The full name in the catalogues, empty for an unknown name.
    QString fullName(const QString& shortName) const;

private:
    struct Entry {
        QString fullName;
        bool exported = false;
    };
    static void read(const QSqlDatabase& db, const QString& table, QHash<QString, Entry>& into);

    QString supplyNode_;
    QString availableNode_;
    QHash<QString, Entry> predefined_;
    QHash<QString, Entry> user_;
};

} // namespace zurm
