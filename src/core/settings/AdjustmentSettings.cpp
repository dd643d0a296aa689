#include "settings/AdjustmentSettings.h"

#include "base/Failure.h"
#include "base/Sql.h"

#include <QSet>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <optional>

namespace zurm {

const std::vector<Elevator>& standardElevators()
{
    static const std::vector<Elevator> series{{1, 15}, {2, 20}, {3, 25}, {4, 30}, {5, 35}, {6, 47}, {7, 59}};
    return series;
}

const std::vector<AdjustmentConstant>& adjustmentConstants()
{
    using namespace AdjustmentField;
    static const std::vector<AdjustmentConstant> constants{
        {kOrificeFactor, QStringLiteral("Коэффициент диафрагмы"), &AdjustmentSettings::orificeFactor},
        {kNozzleFactor, QStringLiteral("Коэффициент сопла"), &AdjustmentSettings::nozzleFactor},
        {kThroatFactor, QStringLiteral("Коэффициент горловины"), &AdjustmentSettings::throatFactor},
        {kElevatorHeadFactor, QStringLiteral("Коэффициент напора перед элеватором"),
         &AdjustmentSettings::elevatorHeadFactor},
        {kMixingReserve, QStringLiteral("Запас коэффициента смешения k"), &AdjustmentSettings::mixingReserve},
        {kMinOrifice, QStringLiteral("Наименьший диаметр диафрагмы, мм"), &AdjustmentSettings::minOrifice},
        {kMinNozzle, QStringLiteral("Наименьший диаметр сопла, мм"), &AdjustmentSettings::minNozzle},
    };
    return constants;
}

namespace {

bool positive(double value)
{
    return std::isfinite(value) && value > 0;
}

std::optional<double> positiveNumber(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !positive(number))
        return std::nullopt;
    return number;
}

void createTables(const QSqlDatabase& settings)
{
    using namespace AdjustmentField;
    if (!tableExists(settings, kAdjustmentSettingsTable)) {
        QStringList columns;
        QStringList marks;
        QVariantList values;
        const AdjustmentSettings defaults;
        for (const AdjustmentConstant& constant : adjustmentConstants()) {
            columns.append(quoteName(constant.field) + QStringLiteral(" float"));
            marks.append(QStringLiteral("?"));
            values.append(defaults.*constant.value);
        }
        execSql(settings, QStringLiteral("CREATE TABLE ") + quoteName(kAdjustmentSettingsTable) + QStringLiteral(" (")
                              + columns.join(QStringLiteral(", ")) + QLatin1Char(')'));
        execSql(settings, QStringLiteral("INSERT INTO ") + quoteName(kAdjustmentSettingsTable)
                              + QStringLiteral(" VALUES (") + marks.join(QLatin1Char(',')) + QLatin1Char(')'),
                values);
    }
    if (!tableExists(settings, kElevatorsTable)) {
        execSql(settings, QStringLiteral("CREATE TABLE ") + quoteName(kElevatorsTable) + QStringLiteral(" (")
                              + quoteName(kElevatorNumber) + QStringLiteral(" smallint PRIMARY KEY, ")
                              + quoteName(kElevatorThroat) + QStringLiteral(" float)"));
        for (const Elevator& elevator : standardElevators())
            execSql(settings, QStringLiteral("INSERT INTO ") + quoteName(kElevatorsTable) + QStringLiteral(" VALUES (?, ?)"),
                    {elevator.number, elevator.throat});
    }
}

} // namespace

QString adjustmentSettingsProblem(const AdjustmentSettings& settings)
{
    for (const AdjustmentConstant& constant : adjustmentConstants())
        if (!positive(settings.*constant.value))
            return QStringLiteral("Параметр \"") + constant.caption + QStringLiteral("\" должен быть числом больше нуля.");
    if (settings.elevators.empty())
        return QStringLiteral("В таблице элеваторов должен быть хотя бы один элеватор.");
    QSet<int> numbers;
    for (const Elevator& elevator : settings.elevators) {
        if (elevator.number <= 0 || elevator.number > 32767)
            return QStringLiteral("Номер элеватора должен быть целым числом от 1 до 32767: %1.").arg(elevator.number);
        if (numbers.contains(elevator.number))
            return QStringLiteral("Элеватор № %1 указан в таблице дважды.").arg(elevator.number);
        numbers.insert(elevator.number);
        if (!positive(elevator.throat))
            return QStringLiteral("Диаметр горловины элеватора № %1 должен быть числом больше нуля.").arg(elevator.number);
    }
    std::vector<Elevator> sorted = settings.elevators;
    std::sort(sorted.begin(), sorted.end(), [](const Elevator& a, const Elevator& b) { return a.number < b.number; });
    for (size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i].throat <= sorted[i - 1].throat)
            return QStringLiteral("Диаметр горловины элеватора № %1 должен быть больше, чем у элеватора № %2.")
                .arg(sorted[i].number)
                .arg(sorted[i - 1].number);
    return {};
}

AdjustmentSettings readAdjustmentSettings(const QSqlDatabase& settings)
{
    using namespace AdjustmentField;
    AdjustmentSettings values;
    if (tableExists(settings, kAdjustmentSettingsTable)) {
        const QList<ColumnInfo> present = tableColumns(settings, kAdjustmentSettingsTable);
        QStringList fields;
        std::vector<const AdjustmentConstant*> read;
        for (const AdjustmentConstant& constant : adjustmentConstants())
            if (std::any_of(present.begin(), present.end(), [&](const ColumnInfo& c) {
                    return c.name.compare(constant.field, Qt::CaseInsensitive) == 0;
                })) {
                fields.append(quoteName(constant.field));
                read.push_back(&constant);
            }
        if (!fields.isEmpty()) {
            QSqlQuery row = selectSql(settings, QStringLiteral("SELECT ") + fields.join(QStringLiteral(", "))
                                                    + QStringLiteral(" FROM ") + quoteName(kAdjustmentSettingsTable)
                                                    + QStringLiteral(" ORDER BY rowid LIMIT 1"));
            if (row.next())
                for (size_t i = 0; i < read.size(); ++i)
                    if (const std::optional<double> number = positiveNumber(row.value(int(i))))
                        values.*(read[i]->value) = *number;
        }
    }
    if (tableExists(settings, kElevatorsTable)) {
        std::vector<Elevator> elevators;
        QSet<int> numbers;
        QSqlQuery rows = selectSql(settings, QStringLiteral("SELECT ") + quoteName(kElevatorNumber) + QStringLiteral(", ")
                                                 + quoteName(kElevatorThroat) + QStringLiteral(" FROM ")
                                                 + quoteName(kElevatorsTable) + QStringLiteral(" ORDER BY rowid"));
        while (rows.next()) {
            const std::optional<double> number = positiveNumber(rows.value(0));
            const std::optional<double> throat = positiveNumber(rows.value(1));
            if (!number || !throat || *number != std::floor(*number) || *number > 32767)
                continue;
            const int whole = int(*number);
            if (numbers.contains(whole))
                continue;
            numbers.insert(whole);
            elevators.push_back({whole, *throat});
        }
        std::sort(elevators.begin(), elevators.end(),
                  [](const Elevator& a, const Elevator& b) { return a.number < b.number; });
        if (!elevators.empty())
            values.elevators = std::move(elevators);
    }
    return values;
}

void ensureAdjustmentSettingsTables(const QSqlDatabase& settings)
{
    if (tableExists(settings, kAdjustmentSettingsTable) && tableExists(settings, kElevatorsTable))
        return;
    Transaction transaction(settings);
    createTables(settings);
    transaction.commit();
}

void writeAdjustmentSettings(const QSqlDatabase& settings, const AdjustmentSettings& values)
{
    if (const QString problem = adjustmentSettingsProblem(values); !problem.isEmpty())
        throw Failure(QStringLiteral("ValueError"), problem);
    using namespace AdjustmentField;
    Transaction transaction(settings);
    createTables(settings);
    if (!selectValue(settings, QStringLiteral("SELECT 1 FROM ") + quoteName(kAdjustmentSettingsTable)).isValid())
        execSql(settings, QStringLiteral("INSERT INTO ") + quoteName(kAdjustmentSettingsTable)
                              + QStringLiteral(" DEFAULT VALUES"));
    QStringList assignments;
    QVariantList bound;
    for (const AdjustmentConstant& constant : adjustmentConstants()) {
        assignments.append(quoteName(constant.field) + QStringLiteral("=?"));
        bound.append(values.*constant.value);
    }
    execSql(settings, QStringLiteral("UPDATE ") + quoteName(kAdjustmentSettingsTable) + QStringLiteral(" SET ")
                          + assignments.join(QStringLiteral(", ")) + QStringLiteral(" WHERE rowid=(SELECT min(rowid) FROM ")
                          + quoteName(kAdjustmentSettingsTable) + QLatin1Char(')'),
            bound);
    execSql(settings, QStringLiteral("DELETE FROM ") + quoteName(kElevatorsTable));
    for (const Elevator& elevator : values.elevators)
        execSql(settings, QStringLiteral("INSERT INTO ") + quoteName(kElevatorsTable) + QStringLiteral(" (")
                              + quoteName(kElevatorNumber) + QStringLiteral(", ") + quoteName(kElevatorThroat)
                              + QStringLiteral(") VALUES (?, ?)"),
                {elevator.number, elevator.throat});
    transaction.commit();
}

} // namespace zurm
