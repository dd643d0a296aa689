// Header indicators, the supply and return passes along the mains, the heads at
// the nodes of the segments and at the end nodes, and the end of the text.
#include "hydraulics/DesignMainSelection.h"
#include "hydraulics/RunPhases.h"

#include "base/Failure.h"

namespace zurm::run {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kHeadsError = QStringLiteral("Ошибка при вычислении напоров в узлах теплосети.");

double stored(double value) { return valueAsStoredInSegment(value); }

[[noreturn]] void missingColumn(const QString& name)
{
    throw Failure(QStringLiteral("FieldError"), QStringLiteral("Поле \"") + name + QStringLiteral("\" не найдено."));
}

QString fullNameOf(const RunState& s, const OrderedIndicator& indicator)
{
    if (indicator.shortName == QStringLiteral("ПНапНаУзПод"))
        return QStringLiteral("Полный напор на узле ") + QString::number(s.model.supplyHeadNode)
            + QStringLiteral(" в подающем трубопроводе, м.");
    if (indicator.shortName == QStringLiteral("РНапНаУз"))
        return QStringLiteral("Располагаемый напор на узле ") + QString::number(s.model.availableHeadNode)
            + QStringLiteral(", м.");
    return indicator.fullName;
}

// Header indicators in their calculation order.
void evaluateHeader(RunState& s)
{
    RunModel& m = s.model;
    CalculationText& t = s.text;
    s.status(QStringLiteral("Расчет показателей заголовочной части."));
    t.writeLine();
    t.writeLine(QStringLiteral("Расчет заголовочных показателей:"));
    for (const OrderedIndicator& indicator : m.headerOrder) {
        if (indicator.column < 0)
            missingColumn(indicator.shortName);
        t.write(fullNameOf(s, indicator) + QStringLiteral(" (") + indicator.shortName + QStringLiteral(") = "));
        QString error;
        if (indicator.position > 0)
            error = EvaluateHeaderIndicator(*indicator.compiled, m.header, s.evaluation);
        if (const Value v = m.head(indicator.column))
            t.writeNumber(*v);
        t.writeLine();
        if (!error.isEmpty()) {
            s.error = error;
            break;
        }
    }
    if (s.ok() && !m.head(m.hcol.supplyHead))
        s.error = QStringLiteral("Значение показателя \"ПНапНаУзПод\" должно быть заполнено.");
    if (s.ok() && m.twoPipe() && !m.head(m.hcol.availableHead))
        s.error = QStringLiteral("Значение показателя \"РНапНаУз\" должно быть заполнено.");
    s.clearStatus();
}

// One pass along the mains, supply or return, in the order the selection picks them.
void calculatePass(RunState& s, PipePass pass)
{
    RunModel& m = s.model;
    CalculationText& t = s.text;
    const bool ret = pass == PipePass::Return;
    const SegmentColumns& c = m.col;
    const int lossStart = ret ? c.lossStartReturn : c.lossStartSupply;
    const int lossEnd = ret ? c.lossEndReturn : c.lossEndSupply;
    const int lengthEnd = ret ? c.lengthEndReturn : c.lengthEndSupply;
    const QString startName = ret ? QStringLiteral("ПотНОтИНачОбр") : QStringLiteral("ПотНОтИНачПод");
    const QString endName = ret ? QStringLiteral("ПотНОтИКонОбр") : QStringLiteral("ПотНОтИКонПод");
    const QString statusStart =
        ret ? QStringLiteral("Расчет обратного трубопровода. Участок ") : QStringLiteral("Расчет подающего трубопровода. Участок ");
    const std::vector<OrderedIndicator>& order = ret ? m.returnOrder : m.supplyOrder;
    int branchLossColumn = -1;
    if (m.designMode)
        branchLossColumn = m.segmentColumn(ret ? QStringLiteral("УПНВВОбр") : QStringLiteral("УПНВВПод"));

    if (!ret)
        t.writeLine();
    t.writeLine();
    t.writeLine(ret ? QStringLiteral("Расчет обратного трубопровода:") : QStringLiteral("Расчет подающего трубопровода:"));
    t.writeLine();

    m.clearVisited();

    // The indicator lines' starts, encoded once: "Full name (short) = ",
    // followed by "formula = " for an indicator evaluated here (which the
    // evaluation would write first of all).
    std::vector<QByteArray> indicatorStarts;
    if (t.enabled())
        for (const OrderedIndicator& indicator : order)
            indicatorStarts.push_back(
                encodeCp1251(indicator.fullName + QStringLiteral(" (") + indicator.shortName + QStringLiteral(") = ")
                             + (indicator.position > 0 ? indicator.compiled->formula() + QStringLiteral(" = ")
                                                       : QString())));
    IndicatorEvaluation evaluation = s.evaluation;
    evaluation.writeText = nullptr;

    // The selection's view of the mains, parallel to КонМаг in ascending id_m.
    std::vector<MainWalk> walks;
    walks.reserve(m.endNodes.size());
    for (const EndNodeRow& e : m.endNodes) {
        MainWalk walk;
        walk.id = e.idM;
        const auto [first, last] = m.mainRows(e.idM);
        for (int r = first; r < last; ++r) {
            const MainRow& row = m.mains[size_t(r)];
            walk.rows.push_back({row.startNode, row.endNode, m.segmentByNodes(row.startNode, row.endNode)});
        }
        walks.push_back(std::move(walk));
    }
    std::vector<MainSelectionState> states;
    states.reserve(m.endNodes.size());
    for (const EndNodeRow& e : m.endNodes) {
        MainSelectionState st;
        st.endNode = e.endNode;
        st.supplyDone = e.doneSupply;
        st.returnDone = e.doneReturn;
        st.supplyLength = e.lengthSupply.value_or(0.0);
        st.returnLength = e.lengthReturn.value_or(0.0);
        st.supplyGivenHead = e.givenHeadSupplyBare;
        st.returnGivenHead = e.givenHeadReturnBare;
        st.supplyBranchStart = e.branchStartSupply;
        st.returnBranchStart = e.branchStartReturn;
        st.supplyAllowedLoss = e.allowedLossSupply;
        st.returnAllowedLoss = e.allowedLossReturn;
        states.push_back(st);
    }
    auto syncBack = [&] {
        for (size_t i = 0; i < states.size(); ++i) {
            EndNodeRow& e = m.endNodes[i];
            e.doneSupply = states[i].supplyDone;
            e.doneReturn = states[i].returnDone;
            e.branchStartSupply = states[i].supplyBranchStart;
            e.branchStartReturn = states[i].returnBranchStart;
            e.allowedLossSupply = states[i].supplyAllowedLoss;
            e.allowedLossReturn = states[i].returnAllowedLoss;
        }
    };

    DesignMainSelectionSetup setup;
    setup.pass = pass;
    setup.designMode = m.designMode;
    setup.startNode = m.startNode;
    setup.supplyHeadAtNode = m.head(m.hcol.supplyHead).value_or(0.0);
    if (m.twoPipe())
        setup.availableHeadAtNode = m.head(m.hcol.availableHead).value_or(0.0);
    setup.headChanges = m.headChangeRows();
    setup.visitedInOrder = &m.visitedList;
    DesignMainSelection select(setup, walks);
    // КонМаг gets the selection's values when the pass ends, also when it ends
    // by a failure (the run then writes what it has): copying every main at
    // every call would cost the square of the number of mains.
    struct SyncAtEnd {
        const decltype(syncBack)& sync;
        ~SyncAtEnd() { sync(); }
    } syncAtEnd{syncBack};
    const VisitedSegment visited = [&m](const MainWalkRow& row) { return m.isVisited(row.startNode, row.endNode); };
    const SegmentEndingAt endingAt = [&m, lossEnd, lengthEnd](qint16 node) -> std::optional<SegmentAtBranchStart> {
        const int i = m.segmentEndingAt(node);
        if (i < 0)
            return std::nullopt;
        return SegmentAtBranchStart{m.seg(i, lossEnd), m.seg(i, lengthEnd).value_or(0.0)};
    };

    while (s.ok()) {
        const std::optional<std::size_t> chosen = select(states, visited, endingAt, t);
        if (!chosen)
            break;
        const std::size_t d = *chosen;
        const MainWalk& walk = walks[d];
        for (std::size_t r = 0; r < walk.rows.size() && s.ok(); ++r) {
            const qint16 a = walk.rows[r].startNode;
            const qint16 b = walk.rows[r].endNode;
            if (m.isVisited(a, b))
                continue;
            s.rowStatus([&] { return statusStart + RunState::segmentName(a, b) + QStringLiteral("."); });
            double loss = 0;
            if (a != m.startNode) {
                const int previous = m.segmentEndingAt(a);
                auto prefix = [&] {
                    return RunState::segmentPrefix(a, b) + QStringLiteral("Ошибка при расчете показателя \"")
                        + startName + QStringLiteral("\":") + kCrLf + kCrLf;
                };
                if (previous < 0) {
                    s.error = prefix() + QStringLiteral("Не найден участок с конечным узлом № ") + QString::number(a)
                        + QStringLiteral(".");
                    break;
                }
                const Value previousLoss = m.seg(previous, lossEnd);
                if (!previousLoss) {
                    const SegmentRecord& p = m.segments[size_t(previous)];
                    s.error = prefix() + QStringLiteral("Значение показателя \"") + endName
                        + QStringLiteral("\" на участке ") + RunState::segmentName(p.startNode, p.endNode)
                        + QStringLiteral(" не заполнено.");
                    break;
                }
                loss = *previousLoss - m.firstHeadChange(a, ret);
            }
            const int i = walk.rows[r].segment;
            if (i < 0)
                throw Failure(QStringLiteral("FieldError"), QStringLiteral("Участок ") + RunState::segmentName(a, b)
                                                                 + QStringLiteral(" не найден в таблице \"Табл\"."));
            m.seg(i, lossStart) = stored(loss);
            if (m.designMode) {
                const std::optional<double> branchLoss =
                    select.branchSpecificLoss(d, r, states, visited, endingAt, t);
                m.seg(i, branchLossColumn) = branchLoss ? Value(stored(*branchLoss)) : Value();
            }
            t.writeSegmentLine(a, b);
            SegmentRecord& segment = m.segments[size_t(i)];
            for (std::size_t k = 0; k < order.size(); ++k) {
                const OrderedIndicator& indicator = order[k];
                if (indicator.column < 0)
                    missingColumn(indicator.shortName);
                if (t.enabled())
                    t.writeEncoded(indicatorStarts[k]);
                QString error;
                if (indicator.position > 0)
                    error = EvaluateSegmentIndicator(*indicator.compiled, segment, m.header, evaluation);
                if (const Value v = segment.values[size_t(indicator.column)])
                    t.writeNumber(*v);
                t.writeLine();
                if (!error.isEmpty()) {
                    s.error = error;
                    break;
                }
            }
            if (s.ok()) {
                t.writeLine();
                m.visit(a, b);
            }
        }
        if (s.ok())
            (ret ? states[d].returnDone : states[d].supplyDone) = true;
    }
    s.clearStatus();
}

// Full and available heads at the nodes of every segment.
void calculateNodeHeads(RunState& s)
{
    RunModel& m = s.model;
    CalculationText& t = s.text;
    const SegmentColumns& c = m.col;
    const bool two = m.twoPipe();
    s.status(QStringLiteral("Расчет напоров в узлах теплосети."));
    t.writeLine();
    t.writeLine(QStringLiteral("Расчет показателей:"));
    t.writeLine(QStringLiteral("Полный напор на начальном узле участка под. трубопровода, м. (ПНапНачПод)"));
    t.writeLine(QStringLiteral("Полный напор на конечном узле участка под. трубопровода, м. (ПНапКонПод)"));
    if (two) {
        t.writeLine(QStringLiteral("Располагаемый напор на начальном узле участка, м. (РНапНач)"));
        t.writeLine(QStringLiteral("Полный напор на начальном узле участка обр. трубопровода, м. (ПНапНачОбр)"));
        t.writeLine(QStringLiteral("Располагаемый напор на конечном узле участка, м. (РНапКон)"));
        t.writeLine(QStringLiteral("Полный напор на конечном узле участка обр. трубопровода, м. (ПНапКонОбр)"));
    }
    t.writeLine();

    // The words of the lines of every segment, encoded once.
    static const struct {
        QByteArray headStartSupply = encodeCp1251(u"ПНапНачПод = ");
        QByteArray headEndSupply = encodeCp1251(u"  ПНапКонПод = ");
        QByteArray availableStart = encodeCp1251(u"РНапНач = ");
        QByteArray headStartReturn = encodeCp1251(u"  ПНапНачОбр = ");
        QByteArray availableEnd = encodeCp1251(u"  РНапКон = ");
        QByteArray headEndReturn = encodeCp1251(u"  ПНапКонОбр = ");
    } words;
    auto segmentText = [&m](int i) {
        const SegmentRecord& seg = m.segments[size_t(i)];
        return RunState::segmentName(seg.startNode, seg.endNode);
    };

    // Supply head at the source.
    double supplySource = 0;
    const double givenSupply = m.head(m.hcol.supplyHead).value_or(0.0);
    if (const int i = m.segmentStartingAt(m.supplyHeadNode); i >= 0) {
        if (const Value loss = m.seg(i, c.lossStartSupply))
            supplySource = givenSupply + *loss;
        else
            s.error = kHeadsError + kCrLf + QStringLiteral("Показатель \"ПотНОтИНачПод\" на участке ") + segmentText(i)
                + QStringLiteral(" не заполнен.");
    } else if (const int j = m.segmentEndingAt(m.supplyHeadNode); j >= 0) {
        if (const Value loss = m.seg(j, c.lossEndSupply))
            supplySource = givenSupply - m.firstHeadChange(m.supplyHeadNode, false) + *loss;
        else
            s.error = kHeadsError + kCrLf + QStringLiteral("Показатель \"ПотНОтИКонПод\" на участке ") + segmentText(j)
                + QStringLiteral(" не заполнен.");
    }

    // Available head at the source.
    double availableSource = 0;
    if (s.ok() && two) {
        const double givenAvailable = m.head(m.hcol.availableHead).value_or(0.0);
        if (const int i = m.segmentStartingAt(m.availableHeadNode); i >= 0) {
            const Value ls = m.seg(i, c.lossStartSupply);
            const Value lr = m.seg(i, c.lossStartReturn);
            if (ls && lr)
                availableSource = givenAvailable + *ls + *lr;
            else
                s.error = kHeadsError + kCrLf
                    + QStringLiteral("Показатели \"ПотНОтИНачПод\", \"ПотНОтИНачОбр\" на участке ") + segmentText(i)
                    + QStringLiteral(" должны быть заполнены.");
        } else if (const int j = m.segmentEndingAt(m.availableHeadNode); j >= 0) {
            const Value ls = m.seg(j, c.lossEndSupply);
            const Value lr = m.seg(j, c.lossEndReturn);
            if (ls && lr)
                availableSource = givenAvailable + *ls + *lr - m.firstHeadChange(m.availableHeadNode, false)
                    - m.firstHeadChange(m.availableHeadNode, true);
            else
                s.error = kHeadsError + kCrLf
                    + QStringLiteral("Показатели \"ПотНОтИКонПод\", \"ПотНОтИКонОбр\" на участке ") + segmentText(j)
                    + QStringLiteral(" должны быть заполнены.");
        }
    }

    for (int i = 0; i < int(m.segments.size()) && s.ok(); ++i) {
        t.writeSegmentLine(m.segments[size_t(i)].startNode, m.segments[size_t(i)].endNode);
        const Value ls = m.seg(i, c.lossStartSupply);
        const Value le = m.seg(i, c.lossEndSupply);
        if (!ls || !le) {
            s.error = kHeadsError + kCrLf + QStringLiteral("Показатели \"ПотНОтИНачПод\", \"ПотНОтИКонПод\" на участке ")
                + segmentText(i) + QStringLiteral(" должны быть заполнены.");
            break;
        }
        // The row is computed in full precision and stored as a whole, as a
        // saved row would be.
        const double headStart = supplySource - *ls;
        const double headEnd = supplySource - *le;
        m.seg(i, c.headStartSupply) = stored(headStart);
        m.seg(i, c.headEndSupply) = stored(headEnd);
        if (two) {
            const Value rs = m.seg(i, c.lossStartReturn);
            const Value re = m.seg(i, c.lossEndReturn);
            if (!rs || !re) {
                s.error = kHeadsError + kCrLf
                    + QStringLiteral("Показатели \"ПотНОтИНачОбр\", \"ПотНОтИКонОбр\" на участке ") + segmentText(i)
                    + QStringLiteral(" должны быть заполнены.");
                break;
            }
            const double availableStart = availableSource - *ls - *rs;
            const double availableEnd = availableSource - *le - *re;
            m.seg(i, c.availableStart) = stored(availableStart);
            m.seg(i, c.headStartReturn) = stored(headStart - availableStart);
            m.seg(i, c.availableEnd) = stored(availableEnd);
            m.seg(i, c.headEndReturn) = stored(headEnd - availableEnd);
        }
        if (!t.enabled())
            continue;
        auto value = [&](const QByteArray& name, int column) {
            t.writeEncoded(name);
            t.writeNumber(m.seg(i, column).value_or(0.0));
        };
        value(words.headStartSupply, c.headStartSupply);
        value(words.headEndSupply, c.headEndSupply);
        t.writeLine();
        if (two) {
            value(words.availableStart, c.availableStart);
            value(words.headStartReturn, c.headStartReturn);
            value(words.availableEnd, c.availableEnd);
            value(words.headEndReturn, c.headEndReturn);
            t.writeLine();
        }
        t.writeLine();
    }
    s.clearStatus();
}

// Heads at the end nodes, after the node's own head change.
void calculateEndNodeHeads(RunState& s)
{
    RunModel& m = s.model;
    const SegmentColumns& c = m.col;
    QHash<int, EndNodeRow*> byId;
    for (EndNodeRow& e : m.endNodes)
        if (!byId.contains(e.idM))
            byId.insert(e.idM, &e);
    for (const MainRow& row : m.mains) {
        if (row.npp != 1)
            continue;
        EndNodeRow* e = byId.value(row.idM, nullptr);
        const int i = m.segmentEndingAt(row.endNode);
        if (!e || i < 0)
            continue;
        const qint16 node = row.endNode;
        const double supplyChange = m.firstHeadChange(node, false);
        e->lossSupply = m.seg(i, c.lossEndSupply).value_or(0.0) - supplyChange;
        e->headSupply = m.seg(i, c.headEndSupply).value_or(0.0) + supplyChange;
        if (m.twoPipe()) {
            const double returnChange = m.firstHeadChange(node, true);
            e->lossReturn = m.seg(i, c.lossEndReturn).value_or(0.0) - returnChange;
            e->headReturn = m.seg(i, c.headEndReturn).value_or(0.0) - returnChange;
            e->availableHead = *e->headSupply - *e->headReturn;
        }
    }
}

} // namespace

void calculateHeads(RunState& s)
{
    if (s.ok())
        evaluateHeader(s);
    s.checkResults();
    if (s.ok())
        calculatePass(s, PipePass::Supply);
    if (s.ok() && s.model.twoPipe())
        calculatePass(s, PipePass::Return);
    s.checkResults();
    if (s.ok())
        calculateNodeHeads(s);
    if (s.ok())
        calculateEndNodeHeads(s);
    s.checkResults();
}

void writeTextEnd(RunState& s)
{
    CalculationText& t = s.text;
    if (!t.enabled())
        return; // nothing but text here
    if (!s.ok()) {
        t.writeLine();
        t.writeLine();
        t.write(s.error);
        return;
    }
    const RunModel& m = s.model;
    const bool two = m.twoPipe();
    t.writeLine();
    t.writeLine(QStringLiteral("Расчет напоров в конечных узлах теплосети:"));
    t.writeLine(QStringLiteral("Потери напора от источника в подающем трубопроводе, м. (ПотНОтИПод)"));
    t.write(QStringLiteral("Полный напор в подающем трубопроводе, м. (ПНапПод)"));
    if (two) {
        t.writeLine();
        t.writeLine(QStringLiteral("Потери напора от источника в обратном трубопроводе, м. (ПотНОтИОбр)"));
        t.writeLine(QStringLiteral("Полный напор в обратном трубопроводе, м. (ПНапОбр)"));
        t.write(QStringLiteral("Располагаемый напор, м. (РНап)"));
    }
    auto v = [&s](const Value& value) { return value ? s.text.number(*value) : QString(); };
    for (const EndNodeRow& e : m.endNodes) {
        t.writeLine();
        t.writeLine();
        s.writeMainLine(e.idM);
        t.write(QStringLiteral("ПотНОтИПод = ") + v(e.lossSupply) + QStringLiteral("  ПНапПод = ") + v(e.headSupply));
        if (two) {
            t.writeLine();
            t.write(QStringLiteral("ПотНОтИОбр = ") + v(e.lossReturn) + QStringLiteral("  ПНапОбр = ")
                    + v(e.headReturn) + QStringLiteral("  РНап = ") + v(e.availableHead));
        }
    }
}

QList<qint16> nodesShortOfAvailableHead(const RunModel& m)
{
    QList<qint16> nodes;
    if (!m.twoPipe())
        return nodes;
    QSet<qint16> listed;
    auto add = [&](qint16 node) {
        if (!listed.contains(node)) {
            listed.insert(node);
            nodes.append(node);
        }
    };
    for (const EndNodeRow& e : m.endNodes)
        if (e.availableHead && *e.availableHead < 0.1)
            add(e.endNode);
    for (int i = 0; i < int(m.segments.size()); ++i) {
        const Value start = m.seg(i, m.col.availableStart);
        const Value end = m.seg(i, m.col.availableEnd);
        if (start && *start < 0.1)
            add(m.segments[size_t(i)].startNode);
        if (end && *end < 0.1)
            add(m.segments[size_t(i)].endNode);
    }
    return nodes;
}

} // namespace zurm::run
