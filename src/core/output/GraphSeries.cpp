#include "output/GraphSeries.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/CalculationRow.h"
#include "document/Consumers.h"
#include "document/DataModule.h"
#include "hydraulics/WaterSaturation.h"
#include "platform/NumberText.h"
#include "settings/SettingsRow.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <map>

namespace zurm {

namespace {

// The Табл columns a graph reads, in the order of the query.
enum Column {
    kLengthAtStart,   // ДлНачПод
    kLengthOnSegment, // ДлНаУчПод
    kLengthAtEnd,     // ДлКонПод
    kGroundAtStart,   // ГеодВысНач
    kGroundAtEnd,     // ГеодВысКон
    kSupplyHeadStart, // ПНапНачПод
    kSupplyHeadEnd,   // ПНапКонПод
    kReturnHeadStart, // ПНапНачОбр
    kReturnHeadEnd,   // ПНапКонОбр
    kSupplyTempStart, // ТВодыНачПод
    kSupplyTempEnd,   // ТВодыКонПод
    kReturnTempStart, // ТВодыНачОбр
    kReturnTempEnd,   // ТВодыКонОбр
    kSupplyFlow,      // РасхПод
    kReturnFlow,      // РасхОбр
    kNamed,           // the column of the chosen type
    kColumnCount
};

const char* const kColumnNames[kColumnCount - 1] = {
    "ДлНачПод",    "ДлНаУчПод",   "ДлКонПод",    "ГеодВысНач",  "ГеодВысКон",
    "ПНапНачПод",  "ПНапКонПод",  "ПНапНачОбр",  "ПНапКонОбр",  "ТВодыНачПод",
    "ТВодыКонПод", "ТВодыНачОбр", "ТВодыКонОбр", "РасхПод",     "РасхОбр"};

using SegmentValues = std::array<std::optional<double>, kColumnCount>;

quint32 segmentKey(int start, int end)
{
    return (quint32(quint16(start)) << 16) | quint16(end);
}

std::optional<double> number(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// The values of the walked segments, by (НачУзел, КонУзел), in one pass over
// Табл. A column the table lacks reads as Null.
QHash<quint32, SegmentValues> readSegments(const QSqlDatabase& db, const std::vector<GraphMainSegment>& walked,
                                           const QString& namedColumn)
{
    QSet<QString> present;
    for (const ColumnInfo& column : tableColumns(db, QStringLiteral("Табл")))
        present.insert(column.name);
    QStringList select{QStringLiteral("[НачУзел]"), QStringLiteral("[КонУзел]")};
    for (int c = 0; c < kColumnCount; ++c) {
        const QString name = c == kNamed ? namedColumn : QString::fromUtf8(kColumnNames[c]);
        select.append(!name.isEmpty() && present.contains(name) ? quoteName(name) : QStringLiteral("NULL"));
    }
    QStringList ends;
    QSet<int> seen;
    for (const GraphMainSegment& segment : walked)
        if (!seen.contains(segment.end)) {
            seen.insert(segment.end);
            ends.append(QString::number(segment.end));
        }
    QHash<quint32, SegmentValues> values;
    QSqlQuery q = selectSql(db, QStringLiteral("SELECT ") + select.join(QStringLiteral(", "))
                                    + QStringLiteral(" FROM [Табл] WHERE [КонУзел] IN (") + ends.join(QLatin1Char(','))
                                    + QStringLiteral(") ORDER BY [id]"));
    while (q.next()) {
        const quint32 key = segmentKey(q.value(0).toInt(), q.value(1).toInt());
        if (values.contains(key))
            continue; // the first of doubled rows, as a look-up finds it
        SegmentValues row;
        for (int c = 0; c < kColumnCount; ++c)
            row[c] = number(q.value(c + 2));
        values.insert(key, row);
    }
    return values;
}

QString fullNameOf(const QSqlDatabase& db, const QString& table, const QString& shortName)
{
    const QVariant name = selectValue(db, QStringLiteral("SELECT [НаимПок] FROM ") + quoteName(table)
                                              + QStringLiteral(" WHERE [НаимПокСокр] = ? ORDER BY rowid LIMIT 1"),
                                      {shortName});
    return name.isNull() ? QString() : name.toString();
}

// Which kind of graph a type index makes.
enum class GraphKind { Heads, Temperatures, BothFlows, OneColumn };

GraphKind kindOf(int type, bool twoPipe)
{
    if (type == 0)
        return GraphKind::Heads;
    if (type == 1)
        return GraphKind::Temperatures;
    if (type == 4 && twoPipe)
        return GraphKind::BothFlows;
    return GraphKind::OneColumn;
}

// The pressure-regime lines along the walked stretch, at the abscissas the
// ground series already has (each segment's start and the stretch's end).
template <typename ValuesOf>
void addPressureLines(const QSqlDatabase& db, Graph& graph, const std::vector<GraphMainSegment>& walked,
                      const SegmentValues& lastValues, const ValuesOf& valuesOf)
{
    GraphPressureLines& lines = graph.pressure;
    lines.shown = true;
    const PressureLimits limits = readPressureLimits(db);
    lines.staticHead = limits.staticHead;
    lines.allowedPressure = limits.allowedPressure;
    std::vector<GraphPoint> boilingRun;
    size_t walkedIndex = 0;
    for (const GraphStep& step : graph.steps) {
        if (step.values[kGroundSeries].kind != GraphValue::Point)
            continue;
        const double ground = step.values[kGroundSeries].value;
        lines.allowed.push_back({step.x, ground + limits.allowedPressure});
        const std::optional<double> water =
            walkedIndex < walked.size() ? valuesOf(walked[walkedIndex])[kSupplyTempStart] : std::nullopt;
        ++walkedIndex;
        const std::optional<double> head = water && *water > 100 ? boilingHead(*water) : std::nullopt;
        if (head) {
            boilingRun.push_back({step.x, ground + *head});
        } else if (!boilingRun.empty()) {
            lines.boiling.push_back(std::move(boilingRun));
            boilingRun.clear();
        }
    }
    // The stretch's end node: its ground and supply water from the last segment.
    const double endX = graph.steps.empty() ? 0 : graph.steps.back().x;
    const double endGround = lastValues[kGroundAtEnd].value_or(0.0);
    lines.allowed.push_back({endX, endGround + limits.allowedPressure});
    const std::optional<double> water = lastValues[kSupplyTempEnd];
    if (const std::optional<double> head = water && *water > 100 ? boilingHead(*water) : std::nullopt)
        boilingRun.push_back({endX, endGround + *head});
    if (!boilingRun.empty())
        lines.boiling.push_back(std::move(boilingRun));

    // Only a main's own end segment ends at an end node, where a consumer's
    // building stands.
    const GraphMainSegment& last = walked.back();
    if (last.order == 1 && tableExists(db, kConsumersTable)) {
        const QVariant height = selectValue(db, QStringLiteral("SELECT ") + quoteName(ConsumerField::kBuildingHeight)
                                                    + QStringLiteral(" FROM ") + quoteName(kConsumersTable)
                                                    + QStringLiteral(" WHERE ") + quoteName(ConsumerField::kNode)
                                                    + QStringLiteral(" = ?"),
                                            {last.end});
        if (const std::optional<double> h = number(height); h && *h > 0)
            lines.buildings.push_back({last.end, endX, endGround, *h});
    }
}

} // namespace

QStringList fixedGraphTypes(bool twoPipe)
{
    QStringList types{QStringLiteral("Пьезометрический"), QStringLiteral("Температура воды в теплосети"),
                      QStringLiteral("РасхПод")};
    if (twoPipe)
        types << QStringLiteral("РасхОбр") << QStringLiteral("РасхПод, РасхОбр на одном графике");
    return types;
}

std::vector<int> GraphCatalogue::startNodes(int mainIndex) const
{
    std::vector<int> nodes;
    if (mainIndex < 0 || size_t(mainIndex) >= mains.size())
        return nodes;
    for (const GraphMainSegment& segment : mains[size_t(mainIndex)].segments)
        nodes.push_back(segment.start);
    return nodes;
}

std::vector<int> GraphCatalogue::endNodes(int mainIndex, int startNode) const
{
    std::vector<int> nodes;
    if (mainIndex < 0 || size_t(mainIndex) >= mains.size())
        return nodes;
    bool from = false;
    for (const GraphMainSegment& segment : mains[size_t(mainIndex)].segments) {
        from = from || segment.start == startNode;
        if (from)
            nodes.push_back(segment.end);
    }
    return nodes;
}

GraphCatalogue readGraphCatalogue(const DataModule& data)
{
    GraphCatalogue catalogue;
    const QSqlDatabase db = data.calculation();
    catalogue.twoPipe = CalculationRow(db).networkParameters().type() == 1;

    // Each main from the source outward: "id_m ASC, NппУчВМ DESC", sorted here
    // rather than by the database, which is several times faster on a large
    // network.
    // The four small integers of a row come packed in one value: a large
    // network has over a million rows, and every value read costs.
    std::map<int, std::vector<GraphMainSegment>> rows;
    QSqlQuery q = selectSql(db, QStringLiteral("SELECT (([id_m] & 65535) << 48) | (([NппУчВМ] & 65535) << 32) "
                                               "| (([НачУзел] & 65535) << 16) | ([КонУзел] & 65535) "
                                               "FROM [МагистралиТС]"));
    std::vector<GraphMainSegment>* current = nullptr;
    int currentId = 0;
    while (q.next()) {
        const quint64 packed = q.value(0).toULongLong();
        const int id = qint16(quint16(packed >> 48));
        if (!current || id != currentId) {
            current = &rows[id];
            currentId = id;
        }
        current->push_back({qint16(quint16(packed >> 16)), qint16(quint16(packed)), qint16(quint16(packed >> 32))});
    }
    q.finish();
    catalogue.mains.reserve(rows.size());
    for (auto& [id, segments] : rows) {
        std::stable_sort(segments.begin(), segments.end(),
                         [](const GraphMainSegment& a, const GraphMainSegment& b) { return a.order > b.order; });
        GraphMain main;
        main.id = id;
        const auto endSegment = std::find_if(segments.begin(), segments.end(),
                                             [](const GraphMainSegment& s) { return s.order == 1; });
        main.text = QString::number(id) + QStringLiteral(".   ") + QString::number(segments.front().start)
            + QStringLiteral(" - ")
            + QString::number(endSegment != segments.end() ? endSegment->end : segments.back().end);
        main.segments = std::move(segments);
        catalogue.mains.push_back(std::move(main));
    }

    catalogue.types = fixedGraphTypes(catalogue.twoPipe);
    QSqlQuery users = selectSql(db, QStringLiteral("SELECT [НаимПокСокр], [НаимПок], [ТипПок] FROM [Формулы] "
                                                   "ORDER BY [Nпп], rowid"));
    while (users.next()) {
        if (users.value(2).toString().toUpper() == QStringLiteral("З"))
            continue;
        catalogue.types.append(users.value(0).toString());
        catalogue.userShortNames.append(users.value(0).toString());
        catalogue.userFullNames.append(users.value(1).isNull() ? QString() : users.value(1).toString());
    }
    catalogue.supplyFlowName = fullNameOf(db, QStringLiteral("ФлыПредопрПок"), QStringLiteral("РасхПод"));
    catalogue.returnFlowName = fullNameOf(db, QStringLiteral("ФлыПредопрПок"), QStringLiteral("РасхОбр"));
    if (data.settingsOpen()) {
        const QVariant digits = SettingsRow::value(data.settings(), QStringLiteral("ТочностьЧиселВОтч"));
        if (!digits.isNull())
            catalogue.precision = std::clamp(digits.toInt(), 0, 18);
    }
    return catalogue;
}

QString graphNumberText(double value, int precision)
{
    precision = std::clamp(precision, 0, 18);
    QString digits;
    const double scale = std::pow(10.0, precision);
    const double scaled = std::round(std::fabs(value) * scale); // halves away from zero
    if (!std::isfinite(value))
        return QString::number(value);
    if (scaled < 9e15) {
        digits = QString::number(qulonglong(scaled));
        if (precision > 0) {
            if (digits.size() <= precision)
                digits = QString(precision - digits.size() + 1, QLatin1Char('0')) + digits;
            digits.insert(digits.size() - precision, QLatin1Char('.'));
        }
    } else {
        digits = QString::number(std::fabs(value), 'f', precision);
    }
    if (digits.contains(QLatin1Char('.'))) {
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        if (digits.endsWith(QLatin1Char('.')))
            digits.chop(1);
    }
    qsizetype integerEnd = digits.indexOf(QLatin1Char('.'));
    if (integerEnd < 0)
        integerEnd = digits.size();
    for (qsizetype i = integerEnd - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(' '));
    const bool zero = digits.count(QLatin1Char('0')) + digits.count(QLatin1Char(' ')) + digits.count(QLatin1Char('.'))
        == digits.size();
    return value < 0 && !zero ? QLatin1Char('-') + digits : digits;
}

GraphOutcome computeGraph(const DataModule& data, const GraphCatalogue& catalogue, const GraphRequest& request)
{
    GraphOutcome outcome;
    if (!data.calculationDone()) {
        outcome.refusal = kGraphNeedsCalculation;
        return outcome;
    }
    if (request.mainIndex < 0 || size_t(request.mainIndex) >= catalogue.mains.size() || request.typeIndex < 0
        || request.typeIndex >= catalogue.types.size())
        return outcome; // nothing to draw: an empty graph
    const GraphMain& main = catalogue.mains[size_t(request.mainIndex)];
    const int t = request.typeIndex;
    const QString typeText = catalogue.types[t];
    const bool two = catalogue.twoPipe;
    const GraphKind kind = kindOf(t, two);
    Graph& graph = outcome.graph;
    graph.title = main.text;
    graph.precision = catalogue.precision;
    graph.twoPipe = two;
    graph.bottomTitle = request.showSupplyLength
        ? QStringLiteral("Узел теплосети; длина подающего трубопровода от начала сети, м.")
        : QStringLiteral("Узел теплосети");
    if (t == 0) {
        graph.leftTitle = QStringLiteral("Высота, напор, м.");
    } else if (t == 1) {
        graph.leftTitle = QStringLiteral("Температура воды в трубопроводе, град. С");
    } else if (t == 2) {
        graph.leftTitle = catalogue.supplyFlowName;
    } else if (t == 3 && two) {
        graph.leftTitle = catalogue.returnFlowName;
    } else if (t == 4 && two) {
        graph.leftTitle = catalogue.supplyFlowName + QStringLiteral(";\n") + catalogue.returnFlowName;
    } else {
        const qsizetype user = catalogue.userShortNames.indexOf(typeText);
        graph.leftTitle = user >= 0 ? catalogue.userFullNames[user] : QString();
    }
    if (kind == GraphKind::OneColumn)
        graph.seriesTitles[kGroundSeries] = typeText;

    // The stretch: from the segment that starts at the start node to the one
    // that ends at the end node (or the main's end).
    const std::vector<GraphMainSegment>& segments = main.segments;
    if (segments.empty())
        return outcome;
    size_t first = 0;
    if (request.startNode) {
        const auto found = std::find_if(segments.begin(), segments.end(),
                                        [&](const GraphMainSegment& s) { return s.start == *request.startNode; });
        if (found != segments.end())
            first = size_t(found - segments.begin());
    }
    size_t last = segments.size() - 1;
    if (request.endNode)
        for (size_t i = first; i < segments.size(); ++i)
            if (segments[i].end == *request.endNode) {
                last = i;
                break;
            }
    std::vector<GraphMainSegment> walked(segments.begin() + qsizetype(first), segments.begin() + qsizetype(last) + 1);
    if (last + 1 < segments.size())
        walked.push_back(segments[last + 1]); // its start heads continue the lines past the end node
    const QString named = kind == GraphKind::OneColumn ? typeText : QString();
    const QHash<quint32, SegmentValues> table = readSegments(data.calculation(), walked, named);
    if (last + 1 < segments.size())
        walked.pop_back();
    const SegmentValues noValues{};
    auto valuesOf = [&](const GraphMainSegment& s) -> const SegmentValues& {
        const auto found = table.constFind(segmentKey(s.start, s.end));
        return found == table.constEnd() ? noValues : *found;
    };
    // A stored Null reads as 0 where the graph has no gap for it.
    auto zeroed = [](const std::optional<double>& v) { return v.value_or(0.0); };

    double minimum = 0, maximum = 0;
    {
        const SegmentValues& v = valuesOf(walked.front());
        double start = 0;
        switch (kind) {
        case GraphKind::Heads: start = zeroed(v[kGroundAtStart]); break;
        case GraphKind::Temperatures: start = zeroed(v[kSupplyTempStart]); break;
        case GraphKind::BothFlows: start = v[kSupplyFlow].value_or(v[kReturnFlow].value_or(0.0)); break;
        case GraphKind::OneColumn: start = zeroed(v[kNamed]); break;
        }
        minimum = maximum = start;
    }
    auto point = [&](GraphStep& step, int series, double value) {
        step.values[series] = {GraphValue::Point, value};
        minimum = std::min(minimum, value);
        maximum = std::max(maximum, value);
    };
    auto pointOrGap = [&](GraphStep& step, int series, const std::optional<double>& value) {
        if (value)
            point(step, series, *value);
        else
            step.values[series] = {GraphValue::Gap, 0};
    };
    auto label = [&](int node, const std::optional<double>& length) {
        QString text = QString::number(node);
        if (request.showSupplyLength)
            text += QStringLiteral("; ") + graphNumberText(zeroed(length), 0);
        return text;
    };

    const double x0 = request.useSupplyLength ? zeroed(valuesOf(walked.front())[kLengthAtStart]) : 0.0;
    double x = x0;
    QString endLabel;
    for (const GraphMainSegment& segment : walked) {
        const SegmentValues& v = valuesOf(segment);
        GraphStep start{x, label(segment.start, v[kLengthAtStart]), {}};
        switch (kind) {
        case GraphKind::Heads:
            point(start, kGroundSeries, zeroed(v[kGroundAtStart]));
            if (two)
                point(start, kReturnSeries, zeroed(v[kReturnHeadStart]));
            point(start, kSupplySeries, zeroed(v[kSupplyHeadStart]));
            break;
        case GraphKind::Temperatures:
            point(start, kSupplySeries, zeroed(v[kSupplyTempStart]));
            if (two)
                point(start, kReturnSeries, zeroed(v[kReturnTempStart]));
            break;
        case GraphKind::BothFlows:
            pointOrGap(start, kSupplySeries, v[kSupplyFlow]);
            pointOrGap(start, kReturnSeries, v[kReturnFlow]);
            break;
        case GraphKind::OneColumn: pointOrGap(start, kGroundSeries, v[kNamed]); break;
        }
        graph.steps.push_back(start);
        x += request.useSupplyLength ? zeroed(v[kLengthOnSegment]) : 1.0;
        endLabel = label(segment.end, v[kLengthAtEnd]);
        if (kind == GraphKind::Temperatures)
            continue;
        GraphStep end{x, QString(), {}};
        if (kind == GraphKind::Heads) {
            if (two)
                point(end, kReturnSeries, zeroed(v[kReturnHeadEnd]));
            point(end, kSupplySeries, zeroed(v[kSupplyHeadEnd]));
        } else {
            end.label = endLabel;
            for (int series = 0; series < kGraphSeriesCount; ++series)
                end.values[series] = start.values[series];
        }
        graph.steps.push_back(end);
    }
    const GraphMainSegment& lastSegment = walked.back();
    const SegmentValues& lastValues = valuesOf(lastSegment);
    if (kind == GraphKind::Heads)
        addPressureLines(data.calculation(), graph, walked, lastValues, [&](const GraphMainSegment& s) -> const SegmentValues& {
            return valuesOf(s);
        });
    if (kind == GraphKind::Heads) {
        GraphStep end{x, endLabel, {}};
        point(end, kGroundSeries, zeroed(lastValues[kGroundAtEnd]));
        // The heads at the end node after any head change there.
        std::optional<double> returnHead, supplyHead;
        if (lastSegment.order != 1 && last + 1 < segments.size()) {
            const SegmentValues& next = valuesOf(segments[last + 1]);
            returnHead = next[kReturnHeadStart];
            supplyHead = next[kSupplyHeadStart];
        } else {
            // A one-pipe network's КонМаг has no return columns.
            QSqlQuery q = selectSql(data.calculation(),
                                    QStringLiteral("SELECT ") + (two ? QStringLiteral("[ПНапОбр]") : QStringLiteral("NULL"))
                                        + QStringLiteral(", [ПНапПод] FROM [КонМаг] WHERE [КонУзел] = ? "
                                                         "ORDER BY [id_m] LIMIT 1"),
                                    {lastSegment.end});
            if (q.next()) {
                returnHead = number(q.value(0));
                supplyHead = number(q.value(1));
            }
        }
        if (two)
            point(end, kReturnSeries, zeroed(returnHead));
        point(end, kSupplySeries, zeroed(supplyHead));
        graph.steps.push_back(end);
    } else if (kind == GraphKind::Temperatures) {
        GraphStep end{x, endLabel, {}};
        point(end, kSupplySeries, zeroed(lastValues[kSupplyTempEnd]));
        if (two)
            point(end, kReturnSeries, zeroed(lastValues[kReturnTempEnd]));
        graph.steps.push_back(end);
    }

    const double d = (x - x0) / 200.0;
    graph.xFrom = x0 - d;
    graph.xTo = x + d;
    const double h = maximum == minimum ? 5.0 : (maximum - minimum) / 10.0;
    graph.yFrom = minimum - h;
    graph.yTo = maximum + h;
    return outcome;
}

QString graphCsv(const Graph& graph)
{
    std::array<bool, kGraphSeriesCount> used{};
    for (const GraphStep& step : graph.steps)
        for (int series = 0; series < kGraphSeriesCount; ++series)
            used[series] = used[series] || step.values[series].kind != GraphValue::None;
    auto field = [](const QString& text) {
        if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char(';'))
            && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
            return text;
        QString quoted = text;
        quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        return QLatin1Char('"') + quoted + QLatin1Char('"');
    };
    const QString lineEnd = QStringLiteral("\r\n");
    QStringList header{QStringLiteral("Положение"), QStringLiteral("Надпись")};
    for (int series = 0; series < kGraphSeriesCount; ++series)
        if (used[series])
            header.append(field(graph.seriesTitles[series]));
    QString csv = header.join(QLatin1Char(',')) + lineEnd;
    for (const GraphStep& step : graph.steps) {
        QStringList line{formatGeneral15(step.x), field(step.label)};
        for (int series = 0; series < kGraphSeriesCount; ++series)
            if (used[series])
                line.append(step.values[series].kind == GraphValue::Point ? formatGeneral15(step.values[series].value)
                                                                          : QString());
        csv += line.join(QLatin1Char(',')) + lineEnd;
    }
    return csv;
}

} // namespace zurm
