#include "hydraulics/PressureRegime.h"

#include "base/NativeSql.h"
#include "base/Sql.h"
#include "document/CalculationRow.h"
#include "hydraulics/WaterSaturation.h"

#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace zurm {

namespace {

constexpr int kNodeSlots = 65536; // every 16-bit node number

int slotOf(int node) { return (node + 32768) & 0xffff; }

std::optional<double> realAt(const NativeStatement& statement, int column)
{
    switch (statement.kind(column)) {
    case NativeStatement::Kind::Integer:
    case NativeStatement::Kind::Real: {
        const double v = statement.real(column);
        return std::isfinite(v) ? std::optional(v) : std::nullopt;
    }
    case NativeStatement::Kind::Text: {
        bool ok = false;
        const double v = statement.value(column).toDouble(&ok);
        return ok && std::isfinite(v) ? std::optional(v) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

// "[name]" when the table has the column, else NULL: a one-pipe network has
// no return columns.
QString columnOrNull(const QSet<QString>& present, const QString& name)
{
    return present.contains(name) ? quoteName(name) : QStringLiteral("NULL");
}

QSet<QString> columnsOf(const QSqlDatabase& db, const QString& table)
{
    QSet<QString> names;
    for (const ColumnInfo& column : tableColumns(db, table))
        names.insert(column.name);
    return names;
}

// A length in metres as the messages write it: "60", "2,5".
QString metres(double value)
{
    QString text = QString::number(value, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text.replace(QLatin1Char('.'), QLatin1Char(','));
}

QString nodeList(const std::vector<int>& nodes)
{
    QStringList numbers;
    const size_t shown = std::min(nodes.size(), size_t(kPressureNodesShown));
    for (size_t i = 0; i < shown; ++i)
        numbers.append(QString::number(nodes[i]));
    QString text = (nodes.size() == 1 ? QStringLiteral("узел ") : QStringLiteral("узлы "))
        + numbers.join(QStringLiteral(", "));
    if (nodes.size() > shown)
        text += QStringLiteral(" … и ещё ") + QString::number(nodes.size() - shown);
    return text + QLatin1Char('.');
}

} // namespace

bool PressureRegimeCheck::clean() const
{
    return std::all_of(nodes.begin(), nodes.end(), [](const std::vector<int>& list) { return list.empty(); });
}

PressureRegimeCheck checkPressureRegime(const std::vector<NodeHeads>& heads, bool twoPipe,
                                        const PressureLimits& limits)
{
    PressureRegimeCheck check;
    check.twoPipe = twoPipe;
    check.limits = limits;
    // A node is listed once per fault however many of its head pairs show it.
    std::vector<unsigned char> seen(kNodeSlots, 0);
    auto mark = [&](PressureFault fault, int node) {
        const unsigned char bit = static_cast<unsigned char>(1u << int(fault));
        unsigned char& flags = seen[size_t(slotOf(node))];
        if (!(flags & bit)) {
            flags |= bit;
            check.nodes[size_t(fault)].push_back(node);
        }
    };
    for (const NodeHeads& at : heads) {
        if (!std::isfinite(at.ground))
            continue;
        if (at.supplyHead) {
            const double supply = *at.supplyHead;
            if (supply < at.ground)
                mark(PressureFault::SupplyVacuum, at.node);
            if (supply > at.ground + limits.allowedPressure)
                mark(PressureFault::SupplyTooHigh, at.node);
            if (at.supplyTemperature) {
                if (const std::optional<double> boiling = boilingHead(*at.supplyTemperature))
                    if (supply < at.ground + *boiling + limits.boilingReserve)
                        mark(PressureFault::Boiling, at.node);
            }
        }
        if (twoPipe && at.returnHead) {
            const double back = *at.returnHead;
            if (back < at.ground)
                mark(PressureFault::ReturnVacuum, at.node);
            if (at.buildingHeight && back < at.ground + *at.buildingHeight + kSystemFillingReserve)
                mark(PressureFault::SystemsEmpty, at.node);
        }
    }
    for (std::vector<int>& list : check.nodes)
        std::sort(list.begin(), list.end());
    return check;
}

PressureRegimeInput readPressureRegimeInput(const QSqlDatabase& db)
{
    PressureRegimeInput input;
    input.twoPipe = CalculationRow(db).networkParameters().type() == 1;
    input.limits = readPressureLimits(db);

    // Building heights by end node.
    std::vector<std::optional<double>> building(kNodeSlots);
    if (tableExists(db, kConsumersTable)) {
        NativeStatement consumers(db, QStringLiteral("SELECT ") + quoteName(ConsumerField::kNode) + QLatin1Char(',')
                                          + quoteName(ConsumerField::kBuildingHeight) + QStringLiteral(" FROM ")
                                          + quoteName(kConsumersTable) + QStringLiteral(" WHERE ")
                                          + quoteName(ConsumerField::kNode) + QStringLiteral(" IS NOT NULL"));
        while (consumers.step())
            building[size_t(slotOf(int(consumers.integer(0))))] = realAt(consumers, 1);
    }

    const QSet<QString> segmentColumns = columnsOf(db, QStringLiteral("Табл"));
    auto column = [&](const char* name) { return columnOrNull(segmentColumns, QString::fromUtf8(name)); };
    NativeStatement segments(db, QStringLiteral("SELECT [НачУзел], [КонУзел], ") + column("ГеодВысНач") + QLatin1Char(',')
                                     + column("ГеодВысКон") + QLatin1Char(',') + column("ПНапНачПод") + QLatin1Char(',')
                                     + column("ПНапКонПод") + QLatin1Char(',') + column("ПНапНачОбр") + QLatin1Char(',')
                                     + column("ПНапКонОбр") + QLatin1Char(',') + column("ТВодыНачПод")
                                     + QLatin1Char(',') + column("ТВодыКонПод")
                                     + QStringLiteral(" FROM [Табл] ORDER BY [id]"));
    // Where an end node's КонМаг heads stand: the ground and the supply water
    // of the first segment that ends there.
    struct EndOf {
        bool found = false;
        std::optional<double> ground, temperature;
    };
    std::vector<EndOf> ends(kNodeSlots);
    std::vector<int> endedHere;
    while (segments.step()) {
        const int a = int(segments.integer(0));
        const int b = int(segments.integer(1));
        const std::optional<double> groundA = realAt(segments, 2), groundB = realAt(segments, 3);
        if (groundA)
            input.heads.push_back({a, *groundA, realAt(segments, 4), realAt(segments, 6), realAt(segments, 8),
                                   building[size_t(slotOf(a))]});
        if (groundB)
            input.heads.push_back({b, *groundB, realAt(segments, 5), realAt(segments, 7), realAt(segments, 9),
                                   building[size_t(slotOf(b))]});
        EndOf& end = ends[size_t(slotOf(b))];
        if (!end.found) {
            end.found = true;
            end.ground = groundB;
            end.temperature = realAt(segments, 9);
        }
    }

    const QSet<QString> endColumns = columnsOf(db, QStringLiteral("КонМаг"));
    NativeStatement mains(db, QStringLiteral("SELECT [КонУзел], ") + columnOrNull(endColumns, QStringLiteral("ПНапПод"))
                                  + QLatin1Char(',') + columnOrNull(endColumns, QStringLiteral("ПНапОбр"))
                                  + QStringLiteral(" FROM [КонМаг] WHERE [КонУзел] IS NOT NULL"));
    std::vector<bool> endNode(kNodeSlots, false);
    while (mains.step()) {
        const int c = int(mains.integer(0));
        endNode[size_t(slotOf(c))] = true;
        const EndOf& end = ends[size_t(slotOf(c))];
        if (end.ground)
            input.heads.push_back({c, *end.ground, realAt(mains, 1), realAt(mains, 2), end.temperature,
                                   building[size_t(slotOf(c))]});
    }
    // Only a consumer at an end node has a building on the network; a row left
    // from a node that no longer ends a main stands for nothing.
    for (NodeHeads& heads : input.heads)
        if (!endNode[size_t(slotOf(heads.node))])
            heads.buildingHeight.reset();
    return input;
}

PressureRegimeCheck checkPressureRegime(const QSqlDatabase& calculation)
{
    const PressureRegimeInput input = readPressureRegimeInput(calculation);
    return checkPressureRegime(input.heads, input.twoPipe, input.limits);
}

QString pressureRegimeText(const PressureRegimeCheck& check)
{
    const QString texts[kPressureFaultCount] = {
        QStringLiteral("Вакуум в подающем трубопроводе (напор ниже отметки земли): "),
        QStringLiteral("Вакуум в обратном трубопроводе (напор ниже отметки земли): "),
        QStringLiteral("Опорожнение систем потребителей (напор в обратном трубопроводе ниже отметки земли "
                       "+ высота здания + ")
            + metres(kSystemFillingReserve) + QStringLiteral(" м): "),
        QStringLiteral("Давление в подающем трубопроводе выше допустимого для систем потребителей (напор выше "
                       "отметки земли + ")
            + metres(check.limits.allowedPressure) + QStringLiteral(" м): "),
        QStringLiteral("Вскипание воды в подающем трубопроводе (напор ниже отметки земли + напор вскипания + запас ")
            + metres(check.limits.boilingReserve) + QStringLiteral(" м): "),
    };
    QStringList lines;
    for (int fault = 0; fault < kPressureFaultCount; ++fault)
        if (!check.nodes[size_t(fault)].empty())
            lines.append(texts[fault] + nodeList(check.nodes[size_t(fault)]));
    if (lines.isEmpty())
        return QStringLiteral("Нарушений режима давления нет.");
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace zurm
