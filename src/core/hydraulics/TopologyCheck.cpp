#include "hydraulics/TopologyCheck.h"

#include "base/Failure.h"
#include "base/NativeSql.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "document/NodeNumbers.h"
#include "platform/Cp1251.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

namespace zurm {

namespace {

// Node numbers are 16-bit. A stored value that is no integer of that range
// (65538, 2.9, a text) is reported as it is stored, never narrowed.
using Node = qint16;
constexpr int kNodeSlots = 65536;
constexpr int kNone = -1;
// Row-level status texts are shown for the first row and then every so many
// rows: repainting the status bar per row would cost more than the check.
constexpr int kStatusStride = 256;

const QString kEndNodeTable = QStringLiteral("КонМаг");

int slot(Node node) { return quint16(node); }

QString nodeText(std::optional<Node> node) { return node ? QString::number(*node) : QString(); }

struct Segment {
    qint64 id = 0;
    std::optional<Node> from; // НачУзел
    std::optional<Node> to;   // КонУзел
};

struct Network {
    std::vector<std::optional<Node>> nodes; // УзлыТС.Nуз in stored order
    std::vector<Segment> segments;          // Табл in stored order
    // The first stored node number that is no node number: its message, and
    // for a segment its row.
    QString badNode;
    int badSegmentRow = kNone;
    QString badSegment;
};

struct MainRow {
    int main = 0;     // id_m
    int position = 0; // NппУчВМ
    int segment = 0;  // index into Network::segments
};

// Everything the rebuild writes, computed before anything is written.
struct MainsPlan {
    std::vector<int> endSegments; // per main (id_m = index + 1)
    std::vector<MainRow> rows;    // МагистралиТС in writing order: the end segments, then each walk
    std::vector<char> onMain;     // per segment
    std::vector<char> reachesStart; // per main
};

class StatusBar {
public:
    explicit StatusBar(Progress& progress) : progress_(progress) {}
    void show(const QString& text)
    {
        progress_.setStatus(text);
        progress_.processEvents();
    }
    void showRow(std::size_t index, const QString& text, qint64 number)
    {
        if (index % kStatusStride == 0)
            show(text + QString::number(number));
    }

private:
    Progress& progress_;
};

TopologyResult error(const QString& message) { return {kNetworkError, message}; }

QString segmentPrefix(const Segment& s)
{
    return QStringLiteral("Участок ") + nodeText(s.from) + QStringLiteral(" - ") + nodeText(s.to)
        + QStringLiteral(":\r");
}

QString segmentName(const Segment& s) { return nodeText(s.from) + QStringLiteral(" - ") + nodeText(s.to); }

// A stored node number of the current row, as storedNodeNumber reads it.
std::optional<Node> nodeAt(const NativeStatement& q, int column, QString& problem)
{
    if (q.kind(column) == NativeStatement::Kind::Integer) {
        const qint64 number = q.integer(column);
        if (number >= std::numeric_limits<Node>::min() && number <= std::numeric_limits<Node>::max()) {
            problem.clear();
            return Node(number);
        }
    }
    return storedNodeNumber(q.value(column), problem);
}

Network loadNetwork(const QSqlDatabase& db)
{
    Network network;
    QString problem;
    NativeStatement nodes(db, QStringLiteral("SELECT [Nуз] FROM [УзлыТС] ORDER BY rowid"));
    while (nodes.step()) {
        network.nodes.push_back(nodeAt(nodes, 0, problem));
        if (!problem.isEmpty() && network.badNode.isEmpty())
            network.badNode = QStringLiteral("Таблица \"Узлы теплосети\":\rОшибка в поле Nуз: ") + problem;
    }
    NativeStatement segments(db, QStringLiteral("SELECT [id], [НачУзел], [КонУзел] FROM [Табл] ORDER BY rowid"));
    while (segments.step()) {
        Segment s;
        s.id = segments.kind(0) == NativeStatement::Kind::Integer ? segments.integer(0) : segments.value(0).toLongLong();
        s.from = nodeAt(segments, 1, problem);
        if (!problem.isEmpty() && network.badSegmentRow == kNone) {
            network.badSegmentRow = int(network.segments.size());
            network.badSegment = QStringLiteral("Ошибка в поле НачУзел: ") + problem;
        }
        s.to = nodeAt(segments, 2, problem);
        if (!problem.isEmpty() && network.badSegmentRow == kNone) {
            network.badSegmentRow = int(network.segments.size());
            network.badSegment = QStringLiteral("Ошибка в поле КонУзел: ") + problem;
        }
        if (network.badSegmentRow == int(network.segments.size()))
            network.badSegment = QStringLiteral("Участок ") + storedValueText(segments.value(1)) + QStringLiteral(" - ")
                + storedValueText(segments.value(2)) + QStringLiteral(":\r") + network.badSegment;
        network.segments.push_back(s);
    }
    return network;
}

// Both numbers filled, different, not ending at the start node, both known nodes.
QString checkSegmentRows(const Network& network, Node start, const std::vector<char>& nodeExists)
{
    for (std::size_t r = 0; r < network.segments.size(); ++r) {
        const Segment& s = network.segments[r];
        if (int(r) == network.badSegmentRow)
            return network.badSegment;
        if (!s.from || !s.to)
            return segmentPrefix(s) + QStringLiteral("Поля НачУзел, КонУзел должны быть заполнены.");
        if (*s.from == *s.to)
            return segmentPrefix(s) + QStringLiteral("Значения полей НачУзел, КонУзел не должны совпадать.");
        if (*s.to == start)
            return segmentPrefix(s)
                + QStringLiteral("Значение поля КонУзел не должно совпадать с номером начального узла теплосети.");
        if (!nodeExists[slot(*s.from)] || !nodeExists[slot(*s.to)])
            return segmentPrefix(s)
                + QStringLiteral("Значения полей НачУзел, КонУзел должны присутствовать в таблице \"Узлы теплосети\".");
    }
    return {};
}

QString checkNodesUsed(const Network& network)
{
    std::vector<char> used(kNodeSlots, 0);
    for (const Segment& s : network.segments) {
        used[slot(*s.from)] = 1;
        used[slot(*s.to)] = 1;
    }
    for (const std::optional<Node>& node : network.nodes)
        if (!node || !used[slot(*node)])
            return QStringLiteral("Узел ") + nodeText(node) + QStringLiteral(" не найден в таблице \"Участки теплосети\".");
    return {};
}

quint32 pairKey(Node from, Node to) { return (quint32(quint16(from)) << 16) | quint16(to); }

// Row i pairs badly with row j when j ends where i ends, or j is i reversed.
// The first i in table order that has such a j, and its first j, are the ones
// reported. Both relations are symmetric, so that j always comes after i.
QString checkSegmentPairs(const Network& network)
{
    const std::vector<Segment>& rows = network.segments;
    // The first two rows ending at each node: enough to find, for any row, the
    // first other row with the same end.
    std::vector<int> firstEnding(kNodeSlots, kNone);
    std::vector<int> secondEnding(kNodeSlots, kNone);
    std::unordered_map<quint32, int> firstWithPair;
    firstWithPair.reserve(rows.size() * 2);
    for (int r = 0; r < int(rows.size()); ++r) {
        const int end = slot(*rows[r].to);
        if (firstEnding[end] == kNone)
            firstEnding[end] = r;
        else if (secondEnding[end] == kNone)
            secondEnding[end] = r;
        firstWithPair.try_emplace(pairKey(*rows[r].from, *rows[r].to), r);
    }
    for (int i = 0; i < int(rows.size()); ++i) {
        const Node k = *rows[i].from;
        const Node j = *rows[i].to;
        const int sameEnd = firstEnding[slot(j)] != i ? firstEnding[slot(j)] : secondEnding[slot(j)];
        const auto reversedAt = firstWithPair.find(pairKey(j, k));
        const int reversed = reversedAt == firstWithPair.end() ? kNone : reversedAt->second;
        if (sameEnd == kNone && reversed == kNone)
            continue;
        const bool reversedFirst = reversed != kNone && (sameEnd == kNone || reversed < sameEnd);
        const Segment& other = rows[reversedFirst ? reversed : sameEnd];
        return QStringLiteral("Участки ") + QString::number(k) + QStringLiteral(" - ") + QString::number(j)
            + QStringLiteral(", ") + segmentName(other) + QStringLiteral(":\r")
            + (reversedFirst ? QStringLiteral("Недопустимое сочетание участков.")
                             : QStringLiteral("Конечные узлы участков не должны совпадать."));
    }
    return {};
}

// End segments in the order of the view sorted by КонУзел (ties by table
// order), each starting one main; then every main walked back toward the
// source. After the pair check every node has at most one incoming segment,
// so "the row ending at x" is a single look-up. A walk that would take a
// segment its main already holds has entered a closed loop: that is reported
// instead of walking forever.
QString planMains(const Network& network, Node start, StatusBar& status, MainsPlan& plan)
{
    const std::vector<Segment>& rows = network.segments;
    std::vector<char> startsSegment(kNodeSlots, 0);
    std::vector<int> endingAt(kNodeSlots, kNone);
    for (int r = 0; r < int(rows.size()); ++r) {
        startsSegment[slot(*rows[r].from)] = 1;
        endingAt[slot(*rows[r].to)] = r;
    }

    std::vector<int> byEnd(rows.size());
    for (int r = 0; r < int(rows.size()); ++r)
        byEnd[r] = r;
    std::stable_sort(byEnd.begin(), byEnd.end(),
                     [&](int a, int b) { return *rows[a].to < *rows[b].to; });
    for (std::size_t p = 0; p < byEnd.size(); ++p) {
        const Segment& s = rows[byEnd[p]];
        status.showRow(p, QStringLiteral("Определение конечных участков. id = "), s.id);
        if (startsSegment[slot(*s.to)])
            continue;
        plan.endSegments.push_back(byEnd[p]);
        plan.rows.push_back({int(plan.endSegments.size()), 1, byEnd[p]});
    }

    plan.onMain.assign(rows.size(), 0);
    plan.reachesStart.assign(plan.endSegments.size(), 0);
    std::vector<int> heldByMain(rows.size(), 0);
    for (std::size_t m = 0; m < plan.endSegments.size(); ++m) {
        const int main = int(m) + 1;
        status.showRow(m, QStringLiteral("Определение магистралей теплосети. id_m = "), main);
        int segment = plan.endSegments[m];
        heldByMain[segment] = main;
        plan.onMain[segment] = 1;
        int position = 1;
        Node x = *rows[segment].from;
        while ((segment = endingAt[slot(x)]) != kNone) {
            if (heldByMain[segment] == main)
                return QStringLiteral("Участки теплосети образуют замкнутый контур: участок ")
                    + segmentName(rows[segment])
                    + QStringLiteral(" входит в контур, не связанный с начальным узлом теплосети.");
            heldByMain[segment] = main;
            plan.onMain[segment] = 1;
            plan.rows.push_back({main, ++position, segment});
            x = *rows[segment].from;
        }
        // No segment ends at the start node, so a main reaches it exactly when
        // its walk stops there.
        plan.reachesStart[m] = x == start;
    }
    return {};
}

// The rows of МагистралиТС, in the plan's order (the end segments, then each
// main walked back toward the source): a large network has over a million.
std::vector<WrittenMainRow> writeMainRows(const QSqlDatabase& db, const Network& network, const MainsPlan& plan,
                                          bool listWritten)
{
    std::vector<WrittenMainRow> written;
    if (listWritten)
        written.reserve(plan.rows.size());
    NativeStatement insert(
        db, QStringLiteral("INSERT INTO [МагистралиТС] ([id_m], [NппУчВМ], [НачУзел], [КонУзел]) VALUES (?, ?, ?, ?)"));
    for (const MainRow& row : plan.rows) {
        const Segment& s = network.segments[size_t(row.segment)];
        insert.run({row.main, row.position, *s.from, *s.to});
        if (listWritten)
            written.push_back({insert.lastInsertRowid(), row.main, row.position, *s.from, *s.to});
    }
    return written;
}

// Replaces МагистралиТС and КонМаг in one transaction. The values the user gave
// per end node (the head in the supply pipe, and for a two-pipe network the
// available head and the temperature difference) follow their end node into
// its new row; when several old rows name one end node the last one wins.
// True when МагистралиТС holds exactly the rows a rewrite would give (the
// same whole numbers, rowids 1, 2, … in the plan's order); their flows, when
// any is set, go to `flows`.
bool holdsPlannedRows(const QSqlDatabase& db, const Network& network, const MainsPlan& plan,
                      std::vector<std::pair<std::optional<double>, std::optional<double>>>& flows)
{
    using Kind = NativeStatement::Kind;
    flows.clear();
    flows.reserve(plan.rows.size());
    bool anyFlow = false;
    NativeStatement rows(db, QStringLiteral("SELECT rowid, [id_m], [NппУчВМ], [НачУзел], [КонУзел], [РасхПод], "
                                            "[РасхОбр] FROM [МагистралиТС] ORDER BY rowid"));
    std::size_t r = 0;
    // A flow as the run reads it; false for a value that is no number.
    auto flow = [&rows](int column, std::optional<double>& value) {
        switch (rows.kind(column)) {
        case Kind::Null:
            value = std::nullopt;
            return true;
        case Kind::Integer:
            value = double(rows.integer(column));
            return true;
        case Kind::Real:
            value = rows.real(column);
            return true;
        default:
            return false;
        }
    };
    auto holds = [&rows](int column, qint64 expected) {
        return rows.integer(column) == expected && rows.kind(column) == Kind::Integer;
    };
    while (rows.step()) {
        std::optional<double> supply, ret;
        bool same = r < plan.rows.size() && rows.integer(0) == qint64(r) + 1;
        if (same) {
            const MainRow& row = plan.rows[r];
            const Segment& s = network.segments[std::size_t(row.segment)];
            same = holds(1, row.main) && holds(2, row.position) && holds(3, *s.from) && holds(4, *s.to)
                && flow(5, supply) && flow(6, ret);
        }
        if (!same) {
            flows.clear();
            return false;
        }
        flows.emplace_back(supply, ret);
        anyFlow = anyFlow || supply || ret;
        ++r;
    }
    if (!anyFlow)
        flows.clear();
    return r == plan.rows.size();
}

std::vector<WrittenMainRow> writeMains(const QSqlDatabase& db, const Network& network, const MainsPlan& plan,
                                       bool twoPipe, bool designMode, WrittenMains* keep)
{
    QStringList endColumns;
    for (const ColumnInfo& column : tableColumns(db, kEndNodeTable))
        endColumns.append(column.name);
    QStringList kept;
    if (twoPipe || designMode) {
        QStringList wanted = {QStringLiteral("ПНапЗПод")};
        if (twoPipe)
            wanted << QStringLiteral("РНапЗ") << QStringLiteral("ДельтаТ");
        for (const QString& column : wanted)
            if (endColumns.contains(column))
                kept.append(column);
    }
    const bool returnBit = endColumns.contains(QStringLiteral("РВОбр"));

    Transaction transaction(db);
    std::unordered_map<int, QVariantList> keptByEnd;
    if (!kept.isEmpty()) {
        QStringList quoted;
        for (const QString& column : kept)
            quoted.append(quoteName(column));
        QSqlQuery old = selectSql(db, QStringLiteral("SELECT [КонУзел], ") + quoted.join(QStringLiteral(", "))
                                          + QStringLiteral(" FROM [КонМаг] ORDER BY [id_m], rowid"));
        QString problem;
        while (old.next()) {
            // A row whose end node is no node number belongs to no end node.
            const std::optional<Node> end = storedNodeNumber(old.value(0), problem);
            if (!end)
                continue;
            QVariantList values;
            for (int c = 0; c < kept.size(); ++c)
                values.append(old.value(c + 1));
            keptByEnd[slot(*end)] = values;
        }
    }
    std::vector<WrittenMainRow> written;
    if (keep && holdsPlannedRows(db, network, plan, keep->flowsLeft)) {
        written.reserve(plan.rows.size());
        for (std::size_t r = 0; r < plan.rows.size(); ++r) {
            const MainRow& row = plan.rows[r];
            const Segment& s = network.segments[std::size_t(row.segment)];
            written.push_back({qint64(r) + 1, row.main, row.position, *s.from, *s.to});
        }
    } else {
        if (keep)
            keep->flowsLeft.clear();
        execSql(db, QStringLiteral("DELETE FROM [МагистралиТС]"));
        written = writeMainRows(db, network, plan, keep != nullptr);
    }
    execSql(db, QStringLiteral("DELETE FROM [КонМаг]"));

    QStringList columns = {QStringLiteral("id_m"), QStringLiteral("РВПод"), QStringLiteral("КонУзел")};
    if (returnBit)
        columns << QStringLiteral("РВОбр");
    columns << kept;
    QStringList quoted, marks;
    for (const QString& column : columns) {
        quoted.append(quoteName(column));
        marks.append(QStringLiteral("?"));
    }
    NativeStatement ends(db, QStringLiteral("INSERT INTO ") + quoteName(kEndNodeTable) + QStringLiteral(" (")
                                 + quoted.join(QLatin1Char(',')) + QStringLiteral(") VALUES (")
                                 + marks.join(QLatin1Char(',')) + QLatin1Char(')'));
    for (std::size_t m = 0; m < plan.endSegments.size(); ++m) {
        const Node end = *network.segments[plan.endSegments[m]].to;
        int index = 0;
        ends.bindInteger(++index, qint64(m) + 1);
        ends.bindInteger(++index, 0);
        ends.bindInteger(++index, end);
        if (returnBit)
            ends.bindInteger(++index, 0);
        const auto found = keptByEnd.find(slot(end));
        for (int c = 0; c < kept.size(); ++c)
            ends.bindValue(++index, found == keptByEnd.end() ? QVariant() : found->second.at(c));
        ends.run();
    }
    transaction.commit();
    return written;
}

TopologyResult runCheck(DataModule& data, StatusBar& status, const QString& startNodeText, WrittenMainRows* written)
{
    const QSqlDatabase db = data.calculation();
    const CalculationRow row(db);
    const CalculationRow::NetworkParameters parameters = row.networkParameters();
    const bool twoPipe = parameters.type() == kTwoPipe;
    const bool designMode = parameters.designMode;

    QString problem;
    const std::optional<Node> parsed = parseNodeNumber(startNodeText, problem);
    if (!parsed)
        return error(QStringLiteral("Ошибка в параметре \"Начальный узел теплосети\":\r") + problem);
    const Node start = *parsed;
    row.setValue(CalculationRow::kStartNode, int(start));

    const Network network = loadNetwork(db);
    if (!network.badNode.isEmpty())
        return error(network.badNode);
    std::vector<char> nodeExists(kNodeSlots, 0);
    for (const std::optional<Node>& node : network.nodes)
        if (node)
            nodeExists[slot(*node)] = 1;
    if (!nodeExists[slot(start)])
        return error(QStringLiteral("Параметр \"Начальный узел теплосети\" не найден в таблице \"Узлы теплосети\"."));
    if (network.segments.empty())
        return {kNetworkEmpty, {}};

    status.show(QStringLiteral("Проверка корректности значений в полях НачУзел, КонУзел."));
    // Every later step relies on the numbers being filled, so the row check
    // must have passed before any of them runs.
    if (QString message = checkSegmentRows(network, start, nodeExists); !message.isEmpty())
        return error(message);
    if (QString message = checkNodesUsed(network); !message.isEmpty())
        return error(message);
    if (QString message = checkSegmentPairs(network); !message.isEmpty())
        return error(message);

    MainsPlan plan;
    if (QString message = planMains(network, start, status, plan); !message.isEmpty())
        return error(message);
    if (written) {
        auto mains = std::make_shared<WrittenMains>();
        mains->rows = writeMains(db, network, plan, twoPipe, designMode, mains.get());
        *written = std::move(mains);
    } else {
        writeMains(db, network, plan, twoPipe, designMode, nullptr);
    }

    for (std::size_t r = 0; r < network.segments.size(); ++r) {
        const Segment& s = network.segments[r];
        status.showRow(r, QStringLiteral("Проверка участков теплосети. id = "), s.id);
        if (!plan.onMain[r])
            return error(QStringLiteral("Участок ") + segmentName(s)
                         + QStringLiteral(" не входит ни в одну магистраль теплосети."));
    }
    for (std::size_t m = 0; m < plan.endSegments.size(); ++m) {
        status.showRow(m, QStringLiteral("Проверка магистралей теплосети. id_m = "), qint64(m) + 1);
        if (!plan.reachesStart[m])
            return error(QStringLiteral("Узел ") + nodeText(network.segments[plan.endSegments[m]].to)
                         + QStringLiteral(" не соединен с начальным узлом теплосети."));
    }
    return {};
}

} // namespace

QString networkStatusMessage(const QString& text)
{
    return fromCp1251(toCp1251(text).left(255));
}

TopologyResult ParTSCorrF(DataModule& data, Progress& progress, const QString& startNodeText, WrittenMainRows* written)
{
    // The check stores the start node and the network's status.
    data.noteInputChanged();
    progress.setBusy(true);
    progress.lockWindow();
    // The check replaces the end-node rows itself; the user may delete none of
    // them afterwards, and inserting stays as it was.
    EditGuards& guards = data.guards();
    const bool insertRefused = guards.refuses(kEndNodeTable, EditOperation::Insert);
    guards.setRefused(kEndNodeTable, EditOperation::Delete, false);
    guards.setRefused(kEndNodeTable, EditOperation::Insert, false);
    struct Finish {
        Progress& progress;
        EditGuards& guards;
        bool insertRefused;
        ~Finish()
        {
            progress.setStatus(QString());
            guards.setRefused(kEndNodeTable, EditOperation::Delete, true);
            guards.setRefused(kEndNodeTable, EditOperation::Insert, insertRefused);
            progress.unlockWindow();
            progress.setBusy(false);
        }
    } finish{progress, guards, insertRefused};

    StatusBar status(progress);
    TopologyResult result = runCheck(data, status, startNodeText, written);
    result.message = networkStatusMessage(result.message);
    return result;
}

void clearFlowsLeft(DataModule& data, const WrittenMainRows& written)
{
    if (!written || written->flowsLeft.empty())
        return;
    execSql(data.calculation(), QStringLiteral("UPDATE [МагистралиТС] SET [РасхПод] = NULL, [РасхОбр] = NULL "
                                               "WHERE [РасхПод] IS NOT NULL OR [РасхОбр] IS NOT NULL"));
    written->flowsLeft.clear();
}

void applyHeadChangeRule(DataModule& data, TopologyResult& result)
{
    if (result.status != kNetworkCorrect)
        return;
    const QSqlDatabase db = data.calculation();
    QString problem;
    const std::optional<Node> start =
        storedNodeNumber(CalculationRow(db).value(CalculationRow::kStartNode), problem);
    if (!start)
        return;
    // A head-change node that is no node number is never the start node; the
    // run refuses it.
    QSqlQuery changes = selectSql(db, QStringLiteral("SELECT [Nуз] FROM [ИзмПНапВУзлахТС]"));
    while (changes.next()) {
        if (storedNodeNumber(changes.value(0), problem) == start) {
            result.status = kNetworkHeadAtStart;
            result.message.clear();
            return;
        }
    }
}

void storeNetworkStatus(DataModule& data, int status, const QString& message)
{
    const QString text = networkStatusMessage(message);
    CalculationRow(data.calculation())
        .write({CalculationRow::kNetworkStatus, CalculationRow::kNetworkStatusText},
               {status, text.isEmpty() ? QVariant() : QVariant(text)});
}

} // namespace zurm
