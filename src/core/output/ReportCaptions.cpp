#include "output/ReportCaptions.h"

#include "base/Sql.h"
#include "document/CalculationRow.h"

#include <QSqlQuery>

namespace zurm {

ReportCaptions::ReportCaptions(const QSqlDatabase& db)
{
    const CalculationRow row(db);
    const QVariantList nodes = row.read({CalculationRow::kSupplyHeadNode, CalculationRow::kAvailableHeadNode});
    supplyNode_ = nodes.value(0).isNull() ? QString() : nodes.value(0).toString();
    availableNode_ = nodes.value(1).isNull() ? QString() : nodes.value(1).toString();
    read(db, QStringLiteral("ФлыПредопрПок"), predefined_);
    read(db, QStringLiteral("Формулы"), user_);
}

std::optional<QString> ReportCaptions::displayName(const QString& shortName) const
{
    if (const auto it = predefined_.constFind(shortName); it != predefined_.constEnd()) {
        if (!it->exported)
            return std::nullopt;
        if (shortName == QStringLiteral("ПНапНаУзПод"))
            return QStringLiteral("Полный напор на узле ") + supplyNode_ + QStringLiteral(" в подающем трубопроводе, м.");
        if (shortName == QStringLiteral("РНапНаУз"))
            return QStringLiteral("Располагаемый напор на узле ") + availableNode_ + QStringLiteral(", м.");
        return it->fullName;
    }
    if (const auto user = user_.constFind(shortName); user != user_.constEnd() && user->exported)
        return user->fullName;
    return std::nullopt;
}

std::optional<QString> ReportCaptions::of(const QString& shortName) const
{
    const std::optional<QString> name = displayName(shortName);
    if (!name)
        return std::nullopt;
    return *name + QStringLiteral(" (") + shortName + QLatin1Char(')');
}

QString ReportCaptions::fullName(const QString& shortName) const
{
    if (const auto it = predefined_.constFind(shortName); it != predefined_.constEnd())
        return it->fullName;
    return user_.value(shortName).fullName;
}

void ReportCaptions::read(const QSqlDatabase& db, const QString& table, QHash<QString, Entry>& into)
{
    QSqlQuery q = selectSql(db, QStringLiteral("SELECT [НаимПокСокр], [НаимПок], [ВывВОтчТабл] FROM ") + quoteName(table)
                                    + QStringLiteral(" ORDER BY rowid"));
    while (q.next()) {
        const QString shortName = q.value(0).toString();
        if (!into.contains(shortName))
            into.insert(shortName, {q.value(1).toString(), !q.value(2).isNull() && q.value(2).toDouble() != 0});
    }
}

} // namespace zurm
