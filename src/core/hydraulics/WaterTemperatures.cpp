#include "hydraulics/WaterTemperatures.h"

#include "base/Failure.h"
#include "hydraulics/CalculationText.h"
#include "indicators/IndicatorEvaluation.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace zurm {

namespace {

void writeLegend(const WaterTemperatureInput& input, CalculationText& text)
{
    text.writeLine();
    text.writeLine(QStringLiteral("Расчет показателей:"));
    text.writeLine(QStringLiteral("Температура воды в подающем трубопроводе на начальном узле участка, град. С (ТВодыНачПод)"));
    text.writeLine(QStringLiteral("Температура воды в подающем трубопроводе на конечном узле участка, град. С (ТВодыКонПод)"));
    if (input.twoPipe) {
        text.writeLine(QStringLiteral("Температура воды в обратном трубопроводе на начальном узле участка, град. С (ТВодыНачОбр)"));
        text.writeLine(QStringLiteral("Температура воды в обратном трубопроводе на конечном узле участка, град. С (ТВодыКонОбр)"));
    }
    text.writeLine(QStringLiteral("Показатели, используемые в расчете:"));
    text.writeLine(QStringLiteral("Изменение температуры воды на один метр трубопровода, град. С / м. (ИзмТНаМ)"));
    text.write(QStringLiteral("Минимальная температура воды в теплосети, град. С (МинТВоды) = "));
    text.writeNumber(input.minTemperature);
    text.writeLine();
    text.write(QStringLiteral("Максимальная температура воды в теплосети, град. С (МаксТВоды) = "));
    text.writeNumber(input.maxTemperature);
    text.writeLine();
    if (!input.twoPipe) {
        text.write(QStringLiteral(
            "Максимальная длина подающего трубопровода от начального до конечного узла теплосети, м. (МаксДлПод) = "));
        text.writeNumber(input.maxSupplyLength);
        text.writeLine();
    }
    text.writeLine(QStringLiteral("Длина подающего трубопровода на начальном узле участка, м. (ДлНачПод)"));
    text.writeLine(QStringLiteral("Длина подающего трубопровода на конечном узле участка, м. (ДлКонПод)"));
    if (input.twoPipe) {
        text.writeLine(QStringLiteral("Разность между температурой воды в подающем трубопроводе и температурой воды "
                                      "в обратном трубопроводе на узле Х, град. С (ТподМинусТобрХ)"));
        text.writeLine(QStringLiteral("Расчетная минимальная температура воды, град. С (РасМинТВоды)"));
        text.writeLine(QStringLiteral("Расчетная максимальная температура воды, град. С (РасМаксТВоды)"));
        text.writeLine(QStringLiteral("Расчетная длина подающего трубопровода, м. (РасДлТрПод)"));
        text.writeLine(QStringLiteral("Расчетная длина обратного трубопровода, м. (РасДлТрОбр)"));
        text.writeLine(QStringLiteral("Длина подающего трубопровода магистрали, м. (ДлМагПод)"));
        text.writeLine(QStringLiteral("Длина обратного трубопровода магистрали, м. (ДлМагОбр)"));
        text.writeLine(QStringLiteral("Температура воды в подающем трубопроводе на узле Х, град. С (ТВодыПодХ)"));
        text.writeLine(QStringLiteral("Температура воды в обратном трубопроводе на узле Х, град. С (ТВодыОбрХ)"));
        text.writeLine(QStringLiteral("Длина подающего трубопровода на узле Х, м. (ДлПодХ)"));
        text.writeLine(QStringLiteral("Длина обратного трубопровода на узле Х, м. (ДлОбрХ)"));
        text.writeLine(QStringLiteral("Длина обратного трубопровода на начальном узле участка, м. (ДлНачОбр)"));
        text.writeLine(QStringLiteral("Длина обратного трубопровода на конечном узле участка, м. (ДлКонОбр)"));
    }
    text.writeLine();
}

void writeValueLine(CalculationText& text, const QString& start, double value)
{
    text.write(start);
    text.writeNumber(value);
    text.writeLine();
}

// "<ДлНачПод>" from the start node, "(<ДлНачПод> - <ДлПод5>)" from branch start 5.
QString lengthTerm(const QString& lengthName, const QString& atXName, std::optional<qint16> branchNode)
{
    if (!branchNode)
        return QLatin1Char('<') + lengthName + QLatin1Char('>');
    return QStringLiteral("(<") + lengthName + QStringLiteral("> - <") + atXName + QString::number(*branchNode)
        + QStringLiteral(">)");
}

} // namespace

std::vector<SegmentTemperatures> computeWaterTemperatures(const WaterTemperatureInput& input, CalculationText& text)
{
    const auto segmentCount = input.segments.size();
    std::vector<SegmentTemperatures> results(segmentCount);
    if (input.mains.size() != input.walks.size())
        throw Failure(QStringLiteral("InvalidArgument"), QStringLiteral("Mains and walks differ in number."));

    // The first Табл row (table order) that ends at a node.
    std::unordered_map<qint16, int> segmentEndingAt;
    for (std::size_t i = 0; i < segmentCount; ++i)
        segmentEndingAt.try_emplace(input.segments[i].endNode, int(i));

    writeLegend(input, text);

    std::vector<std::size_t> order(input.mains.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const double lengthA = input.twoPipe ? input.mains[a].totalLength : input.mains[a].supplyLength;
        const double lengthB = input.twoPipe ? input.mains[b].totalLength : input.mains[b].supplyLength;
        if (lengthA != lengthB)
            return lengthA > lengthB;
        return input.walks[a].id < input.walks[b].id;
    });

    // The visited set of node pairs, kept at the segment of the pair (a row's
    // segment is the first of its pair); a pair of no segment cannot be visited.
    std::vector<char> visited(segmentCount, 0);
    auto isVisited = [&](const MainWalkRow& row) {
        return row.segment >= 0 && std::size_t(row.segment) < segmentCount && visited[std::size_t(row.segment)];
    };
    double changePerMetre = 0;     // ИзмТНаМ
    double maxTemperature = 0;     // РасМаксТВоды
    double minTemperature = 0;     // РасМинТВоды
    bool firstMain = true;

    for (const std::size_t mainIndex : order) {
        const MainWalk& walk = input.walks[mainIndex];
        const TemperatureMain& main = input.mains[mainIndex];

        std::size_t firstRow = 0;
        while (firstRow < walk.rows.size() && isVisited(walk.rows[firstRow]))
            ++firstRow;
        if (firstRow == walk.rows.size()) {
            // Every main ends in a segment of its own, so this needs a table
            // the topology check would have refused.
            firstMain = false;
            continue;
        }
        const qint16 branchStart = walk.rows[firstRow].startNode; // X
        double supplyLengthAtX = 0; // ДлПодХ
        double returnLengthAtX = 0; // ДлОбрХ

        text.writeMainLine(walk.id, std::span<const MainWalkRow>(walk.rows));

        // The "<ДлПодX>" terms name the branch start only where ДлПодХ is set,
        // that is in a two-pipe network away from the start node.
        std::optional<qint16> namedBranch;
        if (!input.twoPipe) {
            if (firstMain) {
                changePerMetre = (input.maxTemperature - input.minTemperature) / input.maxSupplyLength;
                maxTemperature = input.maxTemperature;
                writeValueLine(text, QStringLiteral("ИзмТНаМ = (<МаксТВоды> - <МинТВоды>) / <МаксДлПод> = "),
                               changePerMetre);
            }
        } else {
            double supplyLength = 0; // РасДлТрПод
            double returnLength = 0; // РасДлТрОбр
            if (branchStart == input.startNode) {
                minTemperature = input.minTemperature;
                maxTemperature = input.maxTemperature;
                supplyLength = main.supplyLength;
                returnLength = main.returnLength;
                writeValueLine(text, QStringLiteral("РасМинТВоды = <МинТВоды> = "), minTemperature);
                writeValueLine(text, QStringLiteral("РасМаксТВоды = <МаксТВоды> = "), maxTemperature);
                writeValueLine(text, QStringLiteral("РасДлТрПод = <ДлМагПод> = "), supplyLength);
                writeValueLine(text, QStringLiteral("РасДлТрОбр = <ДлМагОбр> = "), returnLength);
            } else {
                const auto found = segmentEndingAt.find(branchStart);
                if (found == segmentEndingAt.end())
                    throw Failure(QStringLiteral("InvalidArgument"),
                                  QStringLiteral("No segment ends at node %1.").arg(branchStart));
                const TemperatureSegment& before = input.segments[std::size_t(found->second)];
                const SegmentTemperatures& atX = results[std::size_t(found->second)];
                if (!atX.supplyEnd || !atX.returnEnd)
                    throw Failure(QStringLiteral("InvalidArgument"),
                                  QStringLiteral("The segment ending at node %1 has no temperatures.").arg(branchStart));
                // Read back from the stored row, as the table holds it.
                minTemperature = valueAsStoredInSegment(*atX.returnEnd);
                maxTemperature = valueAsStoredInSegment(*atX.supplyEnd);
                supplyLengthAtX = before.supplyEndLength;
                returnLengthAtX = before.returnEndLength;
                supplyLength = main.supplyLength - supplyLengthAtX;
                returnLength = main.returnLength - returnLengthAtX;
                namedBranch = branchStart;
                const QString x = text.enabled() ? QString::number(branchStart) : QString();
                writeValueLine(text, QStringLiteral("РасМинТВоды = <ТВодыОбр") + x + QStringLiteral("> = "),
                               minTemperature);
                writeValueLine(text, QStringLiteral("РасМаксТВоды = <ТВодыПод") + x + QStringLiteral("> = "),
                               maxTemperature);
                writeValueLine(text, QStringLiteral("РасДлТрПод = <ДлМагПод> - <ДлПод") + x + QStringLiteral("> = "),
                               supplyLength);
                writeValueLine(text, QStringLiteral("РасДлТрОбр = <ДлМагОбр> - <ДлОбр") + x + QStringLiteral("> = "),
                               returnLength);
            }
            const double drop = main.temperatureDrop.value_or(0.0); // ТподМинусТобр
            changePerMetre = (maxTemperature - minTemperature - drop) / (supplyLength + returnLength);
            if (text.enabled()) {
                const QString e = QString::number(main.endNode);
                writeValueLine(text, QStringLiteral("ТподМинусТобр") + e + QStringLiteral(" = "), drop);
                writeValueLine(text,
                               QStringLiteral("ИзмТНаМ = (<РасМаксТВоды> - <РасМинТВоды> - <ТподМинусТобр") + e
                                   + QStringLiteral(">) / (<РасДлТрПод> + <РасДлТрОбр>) = "),
                               changePerMetre);
            }
        }
        text.writeLine();
        firstMain = false;

        // The starts of the segment lines, the same for every segment of the main.
        enum { SupplyStart, SupplyEnd, ReturnStart, ReturnEnd };
        QByteArray lineStarts[4];
        if (text.enabled()) {
            const QString supplyMax =
                input.twoPipe ? QStringLiteral("<РасМаксТВоды> - ") : QStringLiteral("<МаксТВоды> - ");
            const QString times = QStringLiteral(" * <ИзмТНаМ> = ");
            lineStarts[SupplyStart] = encodeCp1251(QStringLiteral("ТВодыНачПод = ") + supplyMax
                + lengthTerm(QStringLiteral("ДлНачПод"), QStringLiteral("ДлПод"), namedBranch) + times);
            lineStarts[SupplyEnd] = encodeCp1251(QStringLiteral("ТВодыКонПод = ") + supplyMax
                + lengthTerm(QStringLiteral("ДлКонПод"), QStringLiteral("ДлПод"), namedBranch) + times);
            lineStarts[ReturnStart] = encodeCp1251(QStringLiteral("ТВодыНачОбр = <РасМинТВоды> + ")
                + lengthTerm(QStringLiteral("ДлНачОбр"), QStringLiteral("ДлОбр"), namedBranch) + times);
            lineStarts[ReturnEnd] = encodeCp1251(QStringLiteral("ТВодыКонОбр = <РасМинТВоды> + ")
                + lengthTerm(QStringLiteral("ДлКонОбр"), QStringLiteral("ДлОбр"), namedBranch) + times);
        }
        auto valueLine = [&text](const QByteArray& start, double value) {
            text.writeEncoded(start);
            text.writeNumber(value);
            text.writeLine();
        };
        for (std::size_t r = firstRow; r < walk.rows.size(); ++r) {
            const MainWalkRow& row = walk.rows[r];
            if (row.segment < 0 || std::size_t(row.segment) >= segmentCount)
                throw Failure(QStringLiteral("InvalidArgument"),
                              QStringLiteral("Segment %1 - %2 is not in the table.").arg(row.startNode).arg(row.endNode));
            const TemperatureSegment& segment = input.segments[std::size_t(row.segment)];
            SegmentTemperatures& out = results[std::size_t(row.segment)];
            out.supplyStart = maxTemperature - (segment.supplyStartLength - supplyLengthAtX) * changePerMetre;
            out.supplyEnd = maxTemperature - (segment.supplyEndLength - supplyLengthAtX) * changePerMetre;
            if (input.twoPipe) {
                out.returnStart = minTemperature + (segment.returnStartLength - returnLengthAtX) * changePerMetre;
                out.returnEnd = minTemperature + (segment.returnEndLength - returnLengthAtX) * changePerMetre;
            }

            visited[std::size_t(row.segment)] = 1;
            if (!text.enabled())
                continue;
            text.writeSegmentLine(row.startNode, row.endNode);
            valueLine(lineStarts[SupplyStart], *out.supplyStart);
            valueLine(lineStarts[SupplyEnd], *out.supplyEnd);
            if (input.twoPipe) {
                valueLine(lineStarts[ReturnStart], *out.returnStart);
                valueLine(lineStarts[ReturnEnd], *out.returnEnd);
            }
            text.writeLine();
        }
    }
    return results;
}

} // namespace zurm
