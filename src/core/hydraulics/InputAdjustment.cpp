#include "hydraulics/InputAdjustment.h"

#include "base/Sql.h"
#include "document/CalculationRow.h"

#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

namespace zurm {

namespace {

// More orifices in series than this is no device anyone would fit; the
// count also stays far from any overflow for a tiny flow.
constexpr double kMostOrifices = 1000;

// Numbers in the remarks: Russian text, so a decimal comma, at most two
// decimals and no trailing zeros ("95", "70,5", "12,57").
QString shown(double value)
{
    QString text = QString::number(value, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text.replace(QLatin1Char('.'), QLatin1Char(','));
}

void addRemark(InputAdjustment& result, const QString& text)
{
    if (!result.remark.isEmpty())
        result.remark += QLatin1Char(' ');
    result.remark += text;
}

double orificeDiameter(double flow, double head, const AdjustmentSettings& settings)
{
    return settings.orificeFactor * std::pow(flow * flow / head, 0.25);
}

// The orifices that throttle `head` and what the remark says of them.
void fitOrifices(InputAdjustment& result, double flow, double head, const AdjustmentSettings& settings)
{
    const Orifices orifices = sizeOrifices(flow, head, settings);
    if (orifices.count == 0) {
        addRemark(result, QStringLiteral("Диафрагма d = %1 мм меньше наименьшей (%2 мм), а для напора %3 м "
                                         "понадобилось бы более %4 диафрагм.")
                              .arg(shown(orificeDiameter(flow, head, settings)), shown(settings.minOrifice),
                                   shown(head), shown(kMostOrifices)));
        return;
    }
    result.orifices = orifices;
    if (orifices.count > 1)
        addRemark(result, QStringLiteral("Диафрагма d = %1 мм меньше наименьшей (%2 мм): напор %3 м делится поровну "
                                         "между %4 диафрагмами по %5 мм, установленными последовательно.")
                              .arg(shown(orificeDiameter(flow, head, settings)), shown(settings.minOrifice),
                                   shown(head), QString::number(orifices.count), shown(orifices.diameter)));
}

void adjustWithOrifice(InputAdjustment& result, const Consumer& consumer, double flow, double head,
                       const AdjustmentSettings& settings)
{
    if (!consumer.requiredHead) {
        addRemark(result, QStringLiteral("Не задан требуемый напор на вводе Hтреб."));
        return;
    }
    const double throttled = head - *consumer.requiredHead;
    if (throttled < 0) {
        addRemark(result, QStringLiteral("Недостаточно напора: H = %1 м меньше требуемого Hтреб = %2 м на %3 м; "
                                         "диафрагма не ставится.")
                              .arg(shown(head), shown(*consumer.requiredHead), shown(-throttled)));
        return;
    }
    if (throttled == 0) {
        addRemark(result, QStringLiteral("Располагаемый напор равен требуемому: диафрагма не нужна."));
        return;
    }
    result.device = AdjustmentDevice::Orifice;
    fitOrifices(result, flow, throttled, settings);
}

void adjustWithElevator(InputAdjustment& result, const Consumer& consumer, double flow, double head,
                        const AdjustmentSettings& settings)
{
    const InputConditions& at = result.conditions;
    if (!consumer.systemLoss || !(*consumer.systemLoss > 0)) {
        addRemark(result, QStringLiteral("Потери напора в системе здания h должны быть заданы и больше нуля."));
        return;
    }
    if (!consumer.mixedTemperature) {
        addRemark(result, QStringLiteral("Не задана температура воды после смешения t3."));
        return;
    }
    if (!at.supplyTemperature || !at.returnTemperature) {
        addRemark(result, QStringLiteral("Нет температур воды τ1 и τ2 в узле."));
        return;
    }
    const double t1 = *at.supplyTemperature;
    const double t2 = *at.returnTemperature;
    const double t3 = *consumer.mixedTemperature;
    if (!(t2 < t3 && t3 < t1)) {
        addRemark(result, QStringLiteral("Температура воды после смешения t3 = %1 °C должна быть ниже τ1 = %2 °C "
                                         "и выше τ2 = %3 °C.")
                              .arg(shown(t3), shown(t1), shown(t2)));
        return;
    }
    const double h = *consumer.systemLoss;
    result.device = AdjustmentDevice::Elevator;
    const double u = (t1 - t3) / (t3 - t2);
    const double up = settings.mixingReserve * u;
    result.mixingRatio = u;
    result.designRatio = up;
    const double mixed = (1 + up) * (1 + up);
    const double throat = settings.throatFactor * std::pow(flow * flow * mixed / h, 0.25);
    result.throat = throat;
    // The series is kept by number; its throats grow with it, so the first
    // that is wide enough is also the narrowest one that is.
    for (const Elevator& elevator : settings.elevators)
        if (elevator.throat >= throat * (1 - 1e-12)) {
            result.elevatorNumber = elevator.number;
            break;
        }
    if (!result.elevatorNumber && !settings.elevators.empty()) {
        const Elevator& widest = *std::max_element(
            settings.elevators.begin(), settings.elevators.end(),
            [](const Elevator& a, const Elevator& b) { return a.throat < b.throat; });
        addRemark(result, QStringLiteral("Нет элеватора с горловиной не меньше dг = %1 мм: наибольшая горловина "
                                         "%2 мм (№ %3).")
                              .arg(shown(throat), shown(widest.throat), QString::number(widest.number)));
    }
    const double minimumHead = settings.elevatorHeadFactor * h * mixed;
    result.minimumHead = minimumHead;
    if (head < minimumHead) {
        addRemark(result, QStringLiteral("Недостаточно напора для элеватора: H = %1 м меньше Hmin = %2 м на %3 м.")
                              .arg(shown(head), shown(minimumHead), shown(minimumHead - head)));
        return;
    }
    const double nozzle = settings.nozzleFactor * std::pow(flow * flow / head, 0.25);
    if (nozzle >= settings.minNozzle) {
        result.nozzle = nozzle;
        return;
    }
    // The smallest nozzle passes the flow at a lower head than H; an orifice
    // before the elevator throttles the rest.
    result.nozzle = settings.minNozzle;
    const double nozzleHead = flow * flow * std::pow(settings.nozzleFactor / settings.minNozzle, 4);
    const double rest = head - nozzleHead;
    addRemark(result, QStringLiteral("Сопло dс = %1 мм меньше наименьшего: принято %2 мм, напор %3 м сверх "
                                     "нужного соплу гасит диафрагма перед элеватором.")
                          .arg(shown(nozzle), shown(settings.minNozzle), shown(rest)));
    if (rest > 0)
        fitOrifices(result, flow, rest, settings);
}

std::optional<double> number(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace

Orifices sizeOrifices(double flow, double head, const AdjustmentSettings& settings)
{
    Orifices orifices{head, orificeDiameter(flow, head, settings), 1};
    if (orifices.diameter >= settings.minOrifice)
        return orifices;
    // d of one part of n is d·n^¼, so n ≥ (dmin/d)^4; the count is then
    // checked against the diameters themselves, whose rounding decides.
    const double needed = std::pow(settings.minOrifice / orifices.diameter, 4);
    if (!(needed <= kMostOrifices))
        return Orifices{head, 0, 0};
    int count = std::max(2, int(std::ceil(needed)));
    while (count > 2 && orificeDiameter(flow, head / (count - 1), settings) >= settings.minOrifice)
        --count;
    while (orificeDiameter(flow, head / count, settings) < settings.minOrifice)
        ++count;
    return Orifices{head, orificeDiameter(flow, head / count, settings), count};
}

InputAdjustment adjustInput(const InputConditions& conditions, const Consumer* consumer,
                            const AdjustmentSettings& settings)
{
    InputAdjustment result;
    result.conditions = conditions;
    if (!consumer) {
        result.remark = QStringLiteral("Нет данных о потребителе.");
        return result;
    }
    result.hasConsumer = true;
    result.consumer = consumer->name;
    result.scheme = consumer->scheme;
    if (!consumer->scheme) {
        addRemark(result, QStringLiteral("Не задана схема присоединения."));
        return result;
    }
    if (!conditions.flow || !(*conditions.flow > 0)) {
        addRemark(result, QStringLiteral("Расход на вводе G должен быть больше нуля."));
        return result;
    }
    if (!conditions.head) {
        addRemark(result, QStringLiteral("Нет располагаемого напора H в узле."));
        return result;
    }
    if (*consumer->scheme == ConnectionScheme::Elevator)
        adjustWithElevator(result, *consumer, *conditions.flow, *conditions.head, settings);
    else
        adjustWithOrifice(result, *consumer, *conditions.flow, *conditions.head, settings);
    return result;
}

std::vector<InputConditions> readInputConditions(const QSqlDatabase& calculation)
{
    auto present = [&](const QString& table) {
        QStringList names;
        for (const ColumnInfo& column : tableColumns(calculation, table))
            names.append(column.name);
        return names;
    };
    const QStringList segments = present(QStringLiteral("Табл"));
    const QStringList mains = present(QStringLiteral("КонМаг"));
    // A column the indicator definitions do not give is read as empty.
    auto field = [](const QStringList& columns, const QString& prefix, const QString& name) {
        return columns.contains(name) ? prefix + quoteName(name) : QStringLiteral("NULL");
    };
    const QString t = QStringLiteral("t.");
    QSqlQuery query = selectSql(calculation, QStringLiteral("SELECT k.[КонУзел], ")
                                                 + field(mains, QStringLiteral("k."), QStringLiteral("РНап"))
                                                 + QStringLiteral(", ") + field(segments, t, QStringLiteral("РасхПод"))
                                                 + QStringLiteral(", ") + field(segments, t, QStringLiteral("ТВодыКонПод"))
                                                 + QStringLiteral(", ") + field(segments, t, QStringLiteral("ТВодыКонОбр"))
                                                 + QStringLiteral(" FROM [КонМаг] k LEFT JOIN [Табл] t ON "
                                                                  "t.[КонУзел] = k.[КонУзел] ORDER BY k.[id_m], k.rowid, t.id"));
    query.setForwardOnly(true);
    std::vector<InputConditions> rows;
    std::unordered_set<int> seen;
    while (query.next()) {
        if (query.value(0).isNull())
            continue;
        const int node = query.value(0).toInt();
        // One segment ends at a node; a damaged file with more lists the node once.
        if (!seen.insert(node).second)
            continue;
        rows.push_back({node, number(query.value(2)), number(query.value(1)), number(query.value(3)),
                        number(query.value(4))});
    }
    return rows;
}

AdjustmentTable adjustInputs(const QSqlDatabase& calculation, bool calculationDone, const AdjustmentSettings& settings)
{
    AdjustmentTable table;
    if (!calculationDone) {
        table.refusal = kAdjustmentNeedsCalculation;
        return table;
    }
    if (CalculationRow(calculation).networkParameters().type() != 1) {
        table.refusal = kAdjustmentNeedsTwoPipes;
        return table;
    }
    std::unordered_map<int, Consumer> consumers;
    for (Consumer& consumer : readConsumers(calculation))
        consumers.emplace(consumer.node, std::move(consumer));
    const std::vector<InputConditions> conditions = readInputConditions(calculation);
    table.rows.reserve(conditions.size());
    for (const InputConditions& at : conditions) {
        const auto found = consumers.find(at.node);
        table.rows.push_back(adjustInput(at, found == consumers.end() ? nullptr : &found->second, settings));
        table.hasConsumers = table.hasConsumers || table.rows.back().hasConsumer;
    }
    return table;
}

} // namespace zurm
