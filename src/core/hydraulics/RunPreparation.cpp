// The phases of the run that prepare the data: node fields, predefined rows,
// given-head nodes, clearing of old results, lengths, main lengths,
// temperatures, flows, geodetic heights and the given heads at the end nodes.
#include "hydraulics/RunPhases.h"
#include "hydraulics/WaterTemperatures.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "document/NodeNumbers.h"

#include <algorithm>
#include <cmath>

namespace zurm::run {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

double stored(double value) { return valueAsStoredInSegment(value); }

// The node of a node field; a text that is no node number is an input error.
std::optional<qint16> nodeFieldValue(RunState& s, const QString& caption, const QString& text)
{
    QString problem;
    const std::optional<qint16> node = parseNodeNumber(text, problem);
    if (!node)
        s.error = QStringLiteral("Ошибка в поле \"") + caption + QStringLiteral("\":") + kCrLf + problem;
    return node;
}

QString notANumber(const QString& name, const QString& value)
{
    return QStringLiteral("Значение показателя \"") + name + QStringLiteral("\" не является допустимым числом: ")
        + value + QStringLiteral(".");
}

QString networkFormPrefix(const QString& table, const QString& node)
{
    return QStringLiteral("Форма \"Параметры теплосети\", таблица \"") + table + QStringLiteral("\", узел ") + node
        + QStringLiteral(":") + kCrLf + kCrLf;
}

// Every value the user enters and the run reads is a finite number: the header
// and segment indicators entered by the user, the node heights, the head
// changes (with their nodes) and, where the run uses them, the end-node values.
// A stored text that is no number is shown as stored.
// Checked before anything is cleared, so a refused run leaves the file as it was.
void checkInputValues(RunState& s)
{
    const RunModel& m = s.model;
    auto bad = [](const Value& v) { return v && !std::isfinite(*v); };
    auto text = [](const Value& v) { return QString::number(*v); };
    for (int column : m.headerInputColumns)
        if (bad(m.header.values[size_t(column)])) {
            s.error = notANumber(m.headerColumns.names().at(column), m.valueAsStored(-1, column));
            return;
        }
    for (int i = 0; i < int(m.segments.size()); ++i)
        for (int column : m.segmentInputColumns)
            if (const SegmentRecord& segment = m.segments[size_t(i)]; bad(segment.values[size_t(column)])) {
                s.error = RunState::segmentPrefix(segment.startNode, segment.endNode)
                    + notANumber(m.segmentColumns.names().at(column), m.valueAsStored(i, column));
                return;
            }
    if (m.badHeight) {
        s.error = networkFormPrefix(QStringLiteral("Узлы теплосети"), m.badHeight->node)
            + notANumber(QStringLiteral("Геодезическая высота узла, м."), m.badHeight->problem);
        return;
    }
    if (m.badHeadChange) {
        s.error = networkFormPrefix(QStringLiteral("Изменение полного напора в узлах теплосети"), m.badHeadChange->node)
            + (m.badHeadChange->field == QStringLiteral("Nуз")
                   ? m.badHeadChange->problem
                   : notANumber(QStringLiteral("Изменение напора, м."), m.badHeadChange->problem));
        return;
    }
    for (const EndNodeRow& e : m.endNodes) {
        const QString prefix = networkFormPrefix(QStringLiteral("Конечные узлы теплосети"), QString::number(e.endNode));
        if (m.designMode && bad(e.givenHeadSupply))
            s.error = prefix + notANumber(QStringLiteral("Полный напор в под. тр-проводе, м."), text(e.givenHeadSupply));
        else if (m.designMode && m.twoPipe() && bad(e.givenAvailableHead))
            s.error = prefix + notANumber(QStringLiteral("Располагаемый напор, м."), text(e.givenAvailableHead));
        else if (m.twoPipe() && bad(e.deltaT))
            s.error = prefix
                + notANumber(QStringLiteral("Т воды в под. т-п. минус Т воды в обр. т-п., град. С"), text(e.deltaT));
        if (!s.ok())
            return;
    }
}

// The words of the lines written for every segment and main, encoded once.
struct LengthWords {
    QByteArray startSupply = encodeCp1251(QStringLiteral("ДлНачПод = "));
    QByteArray alongSupply = encodeCp1251(QStringLiteral("  ДлНаУчПод = "));
    QByteArray endSupply = encodeCp1251(QStringLiteral("  ДлКонПод = "));
    QByteArray startReturn = encodeCp1251(QStringLiteral("ДлНачОбр = "));
    QByteArray alongReturn = encodeCp1251(QStringLiteral("  ДлНаУчОбр = "));
    QByteArray endReturn = encodeCp1251(QStringLiteral("  ДлКонОбр = "));
    QByteArray mainSupply = encodeCp1251(QStringLiteral("ДлМагПод = "));
    QByteArray mainReturn = encodeCp1251(QStringLiteral("  ДлМагОбр = "));
    QByteArray mainTotal = encodeCp1251(QStringLiteral("  ДлМагСум = "));
};

const LengthWords& lengthWords()
{
    static const LengthWords words;
    return words;
}

// "name = value" of a line: nothing after the name when the value is empty.
void writeValue(CalculationText& t, const QByteArray& name, const Value& v)
{
    t.writeEncoded(name);
    if (v)
        t.writeNumber(*v);
}

// Every result of an earlier run is emptied.
void clearOldResults(RunState& s)
{
    RunModel& m = s.model;
    const bool two = m.twoPipe();
    s.status(QStringLiteral("Подготовка к расчету."));

    for (int column : {m.hcol.minHeight, m.hcol.maxHeight, m.hcol.maxLengthSupply})
        m.head(column).reset();
    if (two) {
        m.head(m.hcol.maxLengthReturn).reset();
        m.head(m.hcol.maxLengthTotal).reset();
    }
    // A user indicator without a column (a return-pipe indicator of a one-pipe
    // network has none) has nothing to clear.
    for (const UserIndicatorRow& row : m.userIndicators)
        if (row.header && !row.enteredByUser && m.headerColumns.indexOf(row.shortName) >= 0)
            m.head(m.headerColumns.indexOf(row.shortName)).reset();

    const SegmentColumns& c = m.col;
    std::vector<int> cleared = {c.startHeight,     c.endHeight,     c.lengthStartSupply, c.lengthEndSupply,
                                c.tempStartSupply, c.tempEndSupply, c.lossStartSupply,   c.lossEndSupply,
                                c.headStartSupply, c.headEndSupply};
    if (m.designMode)
        cleared.push_back(m.segmentColumn(QStringLiteral("УПНВВПод")));
    if (two) {
        if (!m.returnFlowEntered.value_or(false))
            cleared.push_back(c.flowReturn);
        if (!m.returnLengthEntered.value_or(false))
            cleared.push_back(c.lengthReturn);
        for (int column : {c.lengthStartReturn, c.lengthEndReturn, c.tempStartReturn, c.tempEndReturn,
                           c.lossStartReturn, c.lossEndReturn, c.headStartReturn, c.headEndReturn, c.availableStart,
                           c.availableEnd})
            cleared.push_back(column);
        if (m.designMode)
            cleared.push_back(m.segmentColumn(QStringLiteral("УПНВВОбр")));
    }
    for (const UserIndicatorRow& row : m.userIndicators)
        if (!row.header && !row.enteredByUser && m.segmentColumns.indexOf(row.shortName) >= 0)
            cleared.push_back(m.segmentColumns.indexOf(row.shortName));
    // Every row is saved here, and a saved row holds each of its numbers as
    // written in SQL text (15 significant digits), entered values included.
    for (SegmentRecord& segment : m.segments) {
        for (int column : cleared)
            segment.values[size_t(column)].reset();
        for (Value& v : segment.values)
            if (v)
                v = stored(*v);
    }

    for (EndNodeRow& e : m.endNodes) {
        e.doneSupply = false;
        e.branchStartSupply.reset();
        e.lengthSupply.reset();
        e.lossSupply.reset();
        e.headSupply.reset();
        if (!m.designMode)
            e.givenHeadSupply.reset();
        e.givenHeadSupplyBare.reset();
        e.allowedLossSupply.reset();
        if (two) {
            e.doneReturn = false;
            e.branchStartReturn.reset();
            e.lengthReturn.reset();
            e.lengthTotal.reset();
            e.lossReturn.reset();
            e.headReturn.reset();
            e.availableHead.reset();
            if (!m.designMode)
                e.givenAvailableHead.reset();
            e.givenHeadReturn.reset();
            e.givenHeadReturnBare.reset();
            e.allowedLossReturn.reset();
        }
    }
    s.clearStatus();
}

// Every segment has a positive length in each pipe.
void checkSegmentLengths(RunState& s)
{
    RunModel& m = s.model;
    s.status(QStringLiteral("Проверка показателей ДлНаУчПод, ДлНаУчОбр."));
    if (m.twoPipe() && !m.returnLengthEntered.value_or(false))
        for (int i = 0; i < int(m.segments.size()); ++i)
            m.seg(i, m.col.lengthReturn) = m.seg(i, m.col.lengthSupply);
    for (const SegmentRecord& segment : m.segments) {
        const Value supply = segment.values[size_t(m.col.lengthSupply)];
        if (!supply || *supply <= 0) {
            s.error = RunState::segmentPrefix(segment.startNode, segment.endNode)
                + QStringLiteral("Показатель ДлНаУчПод должен быть больше нуля.");
            break;
        }
        if (m.twoPipe()) {
            const Value ret = segment.values[size_t(m.col.lengthReturn)];
            if (!ret || *ret <= 0) {
                s.error = RunState::segmentPrefix(segment.startNode, segment.endNode)
                    + QStringLiteral("Показатель ДлНаУчОбр должен быть больше нуля.");
                break;
            }
        }
    }
    s.clearStatus();
}

// Lengths from the start node along every main, with their section of the text.
void computeLengthsAlongMains(RunState& s)
{
    RunModel& m = s.model;
    const bool two = m.twoPipe();
    const SegmentColumns& c = m.col;
    s.status(QStringLiteral("Расчет показателей ДлНачПод, ДлКонПод, ДлНачОбр, ДлКонОбр."));
    CalculationText& t = s.text;
    t.writeLine();
    t.writeLine(QStringLiteral("Расчет показателей:"));
    t.writeLine(QStringLiteral("Длина подающего трубопровода на начальном узле участка, м. (ДлНачПод)"));
    t.writeLine(QStringLiteral("Длина подающего трубопровода на конечном узле участка, м. (ДлКонПод)"));
    if (two) {
        t.writeLine(QStringLiteral("Длина обратного трубопровода на начальном узле участка, м. (ДлНачОбр)"));
        t.writeLine(QStringLiteral("Длина обратного трубопровода на конечном узле участка, м. (ДлКонОбр)"));
    }
    t.writeLine(QStringLiteral("Показатели, используемые в расчете:"));
    t.writeLine(QStringLiteral("Длина подающего трубопровода на участке, м. (ДлНаУчПод)"));
    if (two)
        t.writeLine(QStringLiteral("Длина обратного трубопровода на участке, м. (ДлНаУчОбр)"));
    t.writeLine();

    m.clearVisited();
    for (const MainRow& row : m.mains) {
        const qint16 a = row.startNode;
        const qint16 b = row.endNode;
        if (m.isVisited(a, b))
            continue;
        double supply = 0;
        double ret = 0;
        if (a != m.startNode) {
            const int previous = m.segmentEndingAt(a);
            if (previous >= 0) {
                supply = m.seg(previous, c.lengthEndSupply).value_or(0.0);
                if (two)
                    ret = m.seg(previous, c.lengthEndReturn).value_or(0.0);
            }
        }
        const int i = m.segmentByNodes(a, b);
        if (i < 0)
            throw Failure(QStringLiteral("FieldError"), QStringLiteral("Участок ") + RunState::segmentName(a, b)
                                                             + QStringLiteral(" не найден в таблице \"Табл\"."));
        m.seg(i, c.lengthStartSupply) = supply;
        m.seg(i, c.lengthEndSupply) = stored(supply + m.seg(i, c.lengthSupply).value_or(0.0));
        if (two) {
            m.seg(i, c.lengthStartReturn) = ret;
            m.seg(i, c.lengthEndReturn) = stored(ret + m.seg(i, c.lengthReturn).value_or(0.0));
        }
        if (t.enabled()) {
            const LengthWords& w = lengthWords();
            t.writeSegmentLine(a, b);
            writeValue(t, w.startSupply, m.seg(i, c.lengthStartSupply));
            writeValue(t, w.alongSupply, m.seg(i, c.lengthSupply));
            writeValue(t, w.endSupply, m.seg(i, c.lengthEndSupply));
            t.writeLine();
            if (two) {
                writeValue(t, w.startReturn, m.seg(i, c.lengthStartReturn));
                writeValue(t, w.alongReturn, m.seg(i, c.lengthReturn));
                writeValue(t, w.endReturn, m.seg(i, c.lengthEndReturn));
                t.writeLine();
            }
            t.writeLine();
        }
        m.visit(a, b);
    }
    s.clearStatus();
}

void maximise(Value& maximum, const Value& value)
{
    if (value && (!maximum || *value > *maximum))
        maximum = value;
}

// Main lengths and their maxima, and the mains section of the text.
void computeMainLengths(RunState& s)
{
    RunModel& m = s.model;
    const bool two = m.twoPipe();
    s.status(QStringLiteral("Расчет показателей МаксДлПод, МаксДлОбр, МаксСумДлПодОбр."));
    Value maxSupply, maxReturn, maxTotal;
    for (EndNodeRow& e : m.endNodes) {
        const int i = m.segmentEndingAt(e.endNode);
        if (i < 0)
            throw Failure(QStringLiteral("FieldError"), QStringLiteral("Участок с конечным узлом ")
                                                             + QString::number(e.endNode)
                                                             + QStringLiteral(" не найден в таблице \"Табл\"."));
        e.lengthSupply = m.seg(i, m.col.lengthEndSupply);
        maximise(maxSupply, e.lengthSupply);
        if (two) {
            e.lengthReturn = m.seg(i, m.col.lengthEndReturn);
            e.lengthTotal =
                m.seg(i, m.col.lengthEndSupply).value_or(0.0) + m.seg(i, m.col.lengthEndReturn).value_or(0.0);
            maximise(maxReturn, e.lengthReturn);
            maximise(maxTotal, e.lengthTotal);
        }
    }
    m.head(m.hcol.maxLengthSupply) = maxSupply;
    if (two) {
        m.head(m.hcol.maxLengthReturn) = maxReturn;
        m.head(m.hcol.maxLengthTotal) = maxTotal;
    }

    CalculationText& t = s.text;
    t.writeLine();
    t.writeLine(QStringLiteral("Магистрали теплосети"));
    t.writeLine(QStringLiteral("Расчет показателей:"));
    t.writeLine(QStringLiteral("Длина подающего трубопровода магистрали, м. (ДлМагПод)"));
    if (two) {
        t.writeLine(QStringLiteral("Длина обратного трубопровода магистрали, м. (ДлМагОбр)"));
        t.writeLine(QStringLiteral("Суммарная длина подающего и обратного трубопроводов магистрали, м. (ДлМагСум)"));
    }
    t.writeLine();
    // Without the text the chains (every row of every main) are not built at all.
    for (const EndNodeRow& e : m.endNodes) {
        if (!t.enabled())
            break;
        const LengthWords& w = lengthWords();
        s.writeMainLine(e.idM);
        writeValue(t, w.mainSupply, e.lengthSupply);
        if (two) {
            writeValue(t, w.mainReturn, e.lengthReturn);
            writeValue(t, w.mainTotal, e.lengthTotal);
        }
        t.writeLine();
        t.writeLine();
    }
    s.clearStatus();
}

// Water temperatures, after the lengths and before the flows.
void computeTemperatures(RunState& s)
{
    RunModel& m = s.model;
    const Value minT = m.head(m.hcol.minTemperature);
    const Value maxT = m.head(m.hcol.maxTemperature);
    if (!minT || !maxT) {
        s.error = QStringLiteral("Показатели \"МинТВоды\", \"МаксТВоды\" должны быть заполнены.");
        return;
    }
    s.status(QStringLiteral("Расчет показателей ТВодыНачПод, ТВодыКонПод, ТВодыНачОбр, ТВодыКонОбр."));
    const SegmentColumns& c = m.col;
    WaterTemperatureInput input;
    input.twoPipe = m.twoPipe();
    input.startNode = m.startNode;
    input.minTemperature = *minT;
    input.maxTemperature = *maxT;
    input.maxSupplyLength = m.head(m.hcol.maxLengthSupply).value_or(0.0);
    input.segments.reserve(m.segments.size());
    for (int i = 0; i < int(m.segments.size()); ++i) {
        TemperatureSegment segment{m.segments[size_t(i)].startNode, m.segments[size_t(i)].endNode,
                                   m.seg(i, c.lengthStartSupply).value_or(0.0), m.seg(i, c.lengthEndSupply).value_or(0.0),
                                   0.0, 0.0};
        if (input.twoPipe) {
            segment.returnStartLength = m.seg(i, c.lengthStartReturn).value_or(0.0);
            segment.returnEndLength = m.seg(i, c.lengthEndReturn).value_or(0.0);
        }
        input.segments.push_back(segment);
    }
    for (const EndNodeRow& e : m.endNodes) {
        MainWalk walk;
        walk.id = e.idM;
        const auto [first, last] = m.mainRows(e.idM);
        for (int r = first; r < last; ++r) {
            const MainRow& row = m.mains[size_t(r)];
            walk.rows.push_back({row.startNode, row.endNode, m.segmentByNodes(row.startNode, row.endNode)});
        }
        input.walks.push_back(std::move(walk));
        input.mains.push_back({e.lengthSupply.value_or(0.0), e.lengthReturn.value_or(0.0),
                               e.lengthTotal.value_or(0.0), e.deltaT, e.endNode});
    }
    const std::vector<SegmentTemperatures> results = computeWaterTemperatures(input, s.text);
    for (int i = 0; i < int(results.size()) && i < int(m.segments.size()); ++i) {
        const SegmentTemperatures& r = results[size_t(i)];
        auto put = [&](int column, const Value& v) {
            if (v)
                m.seg(i, column) = stored(*v);
        };
        put(c.tempStartSupply, r.supplyStart);
        put(c.tempEndSupply, r.supplyEnd);
        if (m.twoPipe()) {
            put(c.tempStartReturn, r.returnStart);
            put(c.tempEndReturn, r.returnEnd);
        }
    }
    s.clearStatus();
}

// Distribution of a flow indicator: the end flows of the mains summed over the
// segments they pass through.
void distributeFlow(RunState& s, bool returnPipe)
{
    RunModel& m = s.model;
    const QString name = returnPipe ? QStringLiteral("РасхОбр") : QStringLiteral("РасхПод");
    const int column = returnPipe ? m.col.flowReturn : m.col.flowSupply;
    const int mainCount = int(m.endNodes.size());
    for (int id = 1; id <= mainCount && s.ok(); ++id) {
        s.rowStatus([&] { return name + QStringLiteral(" по магистралям теплосети. id_m = ") + QString::number(id); });
        const auto [first, last] = m.mainRows(id);
        int endRow = -1;
        for (int r = first; r < last && endRow < 0; ++r)
            if (m.mains[size_t(r)].npp == 1)
                endRow = r;
        if (endRow < 0)
            throw Failure(QStringLiteral("FieldError"), QStringLiteral("Магистраль ") + QString::number(id)
                                                             + QStringLiteral(" не найдена в таблице \"МагистралиТС\"."));
        const MainRow& end = m.mains[size_t(endRow)];
        const int segment = m.segmentByNodes(end.startNode, end.endNode);
        const Value flow = segment >= 0 ? m.seg(segment, column) : Value();
        if (!flow) {
            s.error = RunState::segmentPrefix(end.startNode, end.endNode) + QStringLiteral("Показатель \"") + name
                + QStringLiteral("\" должен быть заполнен.");
            break;
        }
        m.setMainFlow(id, returnPipe, flow);
    }
    if (!s.ok()) {
        s.clearStatus();
        return;
    }
    // Sums per pair of nodes (kept at the pair's first segment) in the stored
    // order of МагистралиТС.
    std::vector<double> sums(m.segments.size(), 0.0);
    for (const int r : m.mainsInStoredOrder()) {
        const MainRow& row = m.mains[size_t(r)];
        const int segment = m.segmentByNodes(row.startNode, row.endNode);
        if (segment < 0)
            continue;
        if (const Value v = m.rowFlow(row, returnPipe))
            sums[size_t(segment)] += *v;
    }
    for (SegmentRecord& segment : m.segments) {
        s.rowStatus([&] { return name + QStringLiteral(" по участкам теплосети. id = ") + QString::number(segment.id); });
        segment.values[size_t(column)] = stored(sums[size_t(m.segmentByNodes(segment.startNode, segment.endNode))]);
    }
    s.clearStatus();
}

// Flows: distributed from the end segments and copied to the return pipe.
void computeFlows(RunState& s)
{
    RunModel& m = s.model;
    if (m.distributeFlows)
        distributeFlow(s, false);
    if (!s.ok() || !m.twoPipe())
        return;
    if (!m.returnFlowEntered.value_or(false)) {
        s.status(QStringLiteral("РасхОбр по участкам теплосети."));
        for (int i = 0; i < int(m.segments.size()); ++i)
            m.seg(i, m.col.flowReturn) = m.seg(i, m.col.flowSupply);
        s.clearStatus();
    } else if (m.distributeFlows) {
        distributeFlow(s, true);
    }
}

// Geodetic heights of the segments' nodes and of the network.
void computeHeights(RunState& s)
{
    RunModel& m = s.model;
    Value lowest, highest;
    for (int i = 0; i < int(m.segments.size()) && s.ok(); ++i) {
        SegmentRecord& segment = m.segments[size_t(i)];
        s.rowStatus([&] {
            return QStringLiteral("Определение показателей ГеодВысНач, ГеодВысКон. id = ") + QString::number(segment.id);
        });
        double h[2] = {0, 0};
        const qint16 nodes[2] = {segment.startNode, segment.endNode};
        for (int k = 0; k < 2 && s.ok(); ++k) {
            const std::optional<Value> height = m.nodeHeight(nodes[k]);
            if (!height)
                s.error = RunState::segmentPrefix(segment.startNode, segment.endNode) + QStringLiteral("Узел ")
                    + QString::number(nodes[k]) + QStringLiteral(" не найден в таблице \"Узлы теплосети\".");
            else if (!*height)
                s.error = RunState::segmentPrefix(segment.startNode, segment.endNode)
                    + QStringLiteral("Не задана геодезическая высота узла ") + QString::number(nodes[k]) + QStringLiteral(".");
            else
                h[k] = **height;
        }
        if (!s.ok())
            break;
        m.seg(i, m.col.startHeight) = stored(h[0]);
        m.seg(i, m.col.endHeight) = stored(h[1]);
        const double low = std::min(h[0], h[1]);
        const double high = std::max(h[0], h[1]);
        if (i == 0) {
            lowest = low;
            highest = high;
        } else {
            if (high > *highest)
                highest = high;
            if (low < *lowest)
                lowest = low;
        }
    }
    if (s.ok()) {
        m.head(m.hcol.minHeight) = lowest;
        m.head(m.hcol.maxHeight) = highest;
    }
    s.clearStatus();
}

// Design mode: the given heads at the end nodes without the head
// changes along their mains.
void computeGivenHeads(RunState& s)
{
    RunModel& m = s.model;
    s.status(QStringLiteral("Определение заданных напоров в конечных узлах теплосети."));
    for (EndNodeRow& e : m.endNodes) {
        double supplySum = 0;
        double returnSum = 0;
        const auto [first, last] = m.mainRows(e.idM);
        for (int r = first; r < last; ++r) {
            supplySum += m.headChangeSum(m.mains[size_t(r)].endNode, false);
            returnSum += m.headChangeSum(m.mains[size_t(r)].endNode, true);
        }
        const QString prefix = QStringLiteral("Форма \"Параметры теплосети\", таблица \"Конечные узлы теплосети\", узел ")
            + QString::number(e.endNode) + QStringLiteral(":") + kCrLf + kCrLf;
        if (!e.givenHeadSupply) {
            s.error = prefix + QStringLiteral("Показатель \"Полный напор в под. тр-проводе, м.\" должен быть заполнен.");
            break;
        }
        e.givenHeadSupplyBare = *e.givenHeadSupply - supplySum;
        if (m.twoPipe()) {
            if (!e.givenAvailableHead) {
                s.error = prefix + QStringLiteral("Показатель \"Располагаемый напор, м.\" должен быть заполнен.");
                break;
            }
            e.givenHeadReturn = *e.givenHeadSupply - *e.givenAvailableHead;
            e.givenHeadReturnBare = *e.givenHeadReturn + returnSum;
        }
    }
    s.clearStatus();
}

} // namespace

void storeNodeFields(RunState& s)
{
    RunModel& m = s.model;
    const QSqlDatabase db = s.data.calculation();
    if (s.options.supplyHeadNodeText.isEmpty()) {
        s.error = QStringLiteral("Поле \"ПНапНаУзПод задан для узла:\" должно быть заполнено.");
        return;
    }
    const std::optional<qint16> supplyNode =
        nodeFieldValue(s, QStringLiteral("ПНапНаУзПод задан для узла:"), s.options.supplyHeadNodeText);
    if (!supplyNode)
        return;
    m.supplyHeadNode = *supplyNode;
    CalculationRow(db).setValue(CalculationRow::kSupplyHeadNode, int(m.supplyHeadNode));
    if (m.twoPipe()) {
        if (s.options.availableHeadNodeText.isEmpty()) {
            s.error = QStringLiteral("Поле \"РНапНаУз задан для узла:\" должно быть заполнено.");
            return;
        }
        const std::optional<qint16> availableNode =
            nodeFieldValue(s, QStringLiteral("РНапНаУз задан для узла:"), s.options.availableHeadNodeText);
        if (!availableNode)
            return;
        m.availableHeadNode = *availableNode;
        CalculationRow(db).setValue(CalculationRow::kAvailableHeadNode, int(m.availableHeadNode));
    }
}

void prepareRun(RunState& s)
{
    RunModel& m = s.model;
    if (s.ok() && (!m.returnLengthEntered || !m.returnFlowEntered))
        s.error = QStringLiteral("В таблице \"Предопределенные показатели расчета\" должны присутствовать показатели: "
                                 "\"ДлНаУчОбр\", \"РасхОбр\".");
    if (s.ok()) {
        s.status(QStringLiteral("Проверка полей \"ПНапНаУзПод задан для узла:\", \"РНапНаУз задан для узла:\"."));
        auto present = [&m](qint16 node) { return m.segmentStartingAt(node) >= 0 || m.segmentEndingAt(node) >= 0; };
        if (!present(m.supplyHeadNode)) {
            const QString n = QString::number(m.supplyHeadNode);
            s.error = QStringLiteral("Показатель \"ПНапНаУзПод\" задан для узла ") + n + QStringLiteral(". Узел ") + n
                + QStringLiteral(" не найден в таблице \"Участки теплосети\".");
        } else if (m.twoPipe() && !present(m.availableHeadNode)) {
            const QString n = QString::number(m.availableHeadNode);
            s.error = QStringLiteral("Показатель \"РНапНаУз\" задан для узла ") + n + QStringLiteral(". Узел ") + n
                + QStringLiteral(" не найден в таблице \"Участки теплосети\".");
        }
        s.clearStatus();
    }
    if (s.ok())
        checkInputValues(s);
    if (s.ok())
        clearOldResults(s);
    if (s.ok())
        checkSegmentLengths(s);
    if (s.ok())
        computeLengthsAlongMains(s);
    if (s.ok())
        computeMainLengths(s);
    if (s.ok())
        computeTemperatures(s);
    if (s.ok())
        computeFlows(s);
    if (s.ok())
        computeHeights(s);
    if (s.ok() && m.designMode)
        computeGivenHeads(s);
}

} // namespace zurm::run
