#include "document/Consumers.h"

#include "base/Sql.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>

namespace zurm {

const QStringList& connectionSchemeNames()
{
    static const QStringList names{
        QStringLiteral("элеваторная"),
        QStringLiteral("непосредственная без смешения"),
        QStringLiteral("независимая через теплообменник"),
        QStringLiteral("насосное смешение"),
    };
    return names;
}

QString connectionSchemeName(ConnectionScheme scheme)
{
    return connectionSchemeNames().value(static_cast<int>(scheme));
}

std::optional<ConnectionScheme> connectionSchemeFromCode(const QVariant& code)
{
    if (code.isNull() || !code.isValid())
        return std::nullopt;
    bool ok = false;
    const double value = code.toDouble(&ok);
    if (!ok || value != std::floor(value) || value < 0 || value >= kConnectionSchemeCount)
        return std::nullopt;
    return static_cast<ConnectionScheme>(static_cast<int>(value));
}

std::optional<ConnectionScheme> connectionSchemeFromText(const QString& text)
{
    const QString wanted = text.trimmed();
    const QStringList& names = connectionSchemeNames();
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(wanted, Qt::CaseInsensitive) == 0)
            return static_cast<ConnectionScheme>(i);
    return connectionSchemeFromCode(QVariant(wanted));
}

void ensureConsumerTables(const QSqlDatabase& calculation)
{
    using namespace ConsumerField;
    if (!tableExists(calculation, kConsumersTable))
        execSql(calculation, QStringLiteral("CREATE TABLE ") + quoteName(kConsumersTable) + QStringLiteral(" (")
                                 + quoteName(kNode) + QStringLiteral(" smallint PRIMARY KEY, ")
                                 + quoteName(kName) + QStringLiteral(" text(255), ")
                                 + quoteName(kScheme) + QStringLiteral(" smallint, ")
                                 + quoteName(kSystemLoss) + QStringLiteral(" float, ")
                                 + quoteName(kBuildingHeight) + QStringLiteral(" float, ")
                                 + quoteName(kMixedTemperature) + QStringLiteral(" float, ")
                                 + quoteName(kRequiredHead) + QStringLiteral(" float)"));
    if (!tableExists(calculation, kPressureLimitsTable)) {
        using namespace PressureLimitsField;
        execSql(calculation, QStringLiteral("CREATE TABLE ") + quoteName(kPressureLimitsTable) + QStringLiteral(" (")
                                 + quoteName(kStaticHead) + QStringLiteral(" float, ")
                                 + quoteName(kAllowedPressure) + QStringLiteral(" float, ")
                                 + quoteName(kBoilingReserve) + QStringLiteral(" float)"));
        const PressureLimits defaults;
        execSql(calculation, QStringLiteral("INSERT INTO ") + quoteName(kPressureLimitsTable)
                                 + QStringLiteral(" VALUES (NULL, ?, ?)"),
                {defaults.allowedPressure, defaults.boilingReserve});
    }
}

namespace {

std::optional<double> number(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return std::nullopt;
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace

std::vector<Consumer> readConsumers(const QSqlDatabase& calculation)
{
    std::vector<Consumer> consumers;
    if (!tableExists(calculation, kConsumersTable))
        return consumers;
    using namespace ConsumerField;
    QSqlQuery query = selectSql(calculation, QStringLiteral("SELECT ") + quoteName(kNode) + QLatin1Char(',')
                                                 + quoteName(kName) + QLatin1Char(',') + quoteName(kScheme)
                                                 + QLatin1Char(',') + quoteName(kSystemLoss) + QLatin1Char(',')
                                                 + quoteName(kBuildingHeight) + QLatin1Char(',')
                                                 + quoteName(kMixedTemperature) + QLatin1Char(',')
                                                 + quoteName(kRequiredHead) + QStringLiteral(" FROM ")
                                                 + quoteName(kConsumersTable) + QStringLiteral(" WHERE ")
                                                 + quoteName(kNode) + QStringLiteral(" IS NOT NULL ORDER BY ")
                                                 + quoteName(kNode));
    while (query.next()) {
        Consumer c;
        c.node = query.value(0).toInt();
        c.name = query.value(1).isNull() ? QString() : query.value(1).toString();
        c.scheme = connectionSchemeFromCode(query.value(2));
        c.systemLoss = number(query.value(3));
        c.buildingHeight = number(query.value(4));
        c.mixedTemperature = number(query.value(5));
        c.requiredHead = number(query.value(6));
        consumers.push_back(std::move(c));
    }
    return consumers;
}

PressureLimits readPressureLimits(const QSqlDatabase& calculation)
{
    PressureLimits limits;
    if (!tableExists(calculation, kPressureLimitsTable))
        return limits;
    using namespace PressureLimitsField;
    QSqlQuery query = selectSql(calculation, QStringLiteral("SELECT ") + quoteName(kStaticHead) + QLatin1Char(',')
                                                 + quoteName(kAllowedPressure) + QLatin1Char(',')
                                                 + quoteName(kBoilingReserve) + QStringLiteral(" FROM ")
                                                 + quoteName(kPressureLimitsTable)
                                                 + QStringLiteral(" ORDER BY rowid LIMIT 1"));
    if (!query.next())
        return limits;
    limits.staticHead = number(query.value(0));
    limits.allowedPressure = number(query.value(1)).value_or(limits.allowedPressure);
    limits.boilingReserve = number(query.value(2)).value_or(limits.boilingReserve);
    return limits;
}

void writePressureLimits(const QSqlDatabase& calculation, const PressureLimits& limits)
{
    Transaction transaction(calculation);
    ensureConsumerTables(calculation);
    using namespace PressureLimitsField;
    const QVariant staticHead = limits.staticHead ? QVariant(*limits.staticHead) : QVariant();
    if (!selectValue(calculation, QStringLiteral("SELECT 1 FROM ") + quoteName(kPressureLimitsTable)).isValid())
        execSql(calculation, QStringLiteral("INSERT INTO ") + quoteName(kPressureLimitsTable)
                                 + QStringLiteral(" DEFAULT VALUES"));
    execSql(calculation, QStringLiteral("UPDATE ") + quoteName(kPressureLimitsTable) + QStringLiteral(" SET ")
                             + quoteName(kStaticHead) + QStringLiteral("=?, ") + quoteName(kAllowedPressure)
                             + QStringLiteral("=?, ") + quoteName(kBoilingReserve)
                             + QStringLiteral("=? WHERE rowid=(SELECT min(rowid) FROM ")
                             + quoteName(kPressureLimitsTable) + QLatin1Char(')'),
            {staticHead, limits.allowedPressure, limits.boilingReserve});
    transaction.commit();
}

} // namespace zurm
