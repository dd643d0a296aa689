#include "network/SchemaEditing.h"

#include "base/Failure.h"
#include "base/NativeSql.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "document/Segments.h"
#include "network/SchemaData.h"
#include "network/SchemaEditHistory.h"
#include "network/SchemaEditingSteps.h"
#include "network/SchemaGeometry.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <sqlite3.h>
#include <tuple>

namespace zurm {

namespace {

using namespace schema_editing;

const QString kCaption = QStringLiteral("ЗУРМ");
const QString kNoNumber = QStringLiteral("Невозможно сгенерировать номер узла.");

struct Segment {
    qint64 id = 0;
    std::optional<int> from;
    std::optional<int> to;
};


std::vector<Segment> readSegments(const QSqlDatabase& db)
{
    std::vector<Segment> segments;
    NativeStatement query(db, QStringLiteral("SELECT id, НачУзел, КонУзел FROM Табл ORDER BY id"));
    while (query.step())
        segments.push_back({query.value(0).toLongLong(), intOrNone(query.value(1)), intOrNone(query.value(2))});
    return segments;
}

// Whether every row of the table has its Nуз among the numbers (a statement
// over all rows then needs no search for each).
bool coversEveryRow(const QSqlDatabase& db, const QString& table, const QSet<int>& numbers)
{
    NativeStatement all(db, QStringLiteral("SELECT Nуз FROM ") + quoteName(table));
    while (all.step()) {
        const qint64 number = sqlite3_column_int64(all.get(), 0);
        if (sqlite3_column_type(all.get(), 0) != SQLITE_INTEGER || number < INT_MIN || number > INT_MAX
            || !numbers.contains(int(number))) {
            sqlite3_reset(all.get());
            return false;
        }
    }
    return true;
}

std::optional<int> startNodeOf(const QSqlDatabase& db)
{
    return intOrNone(CalculationRow(db).value(CalculationRow::kStartNode));
}

void setStartNode(const QSqlDatabase& db, int node)
{
    CalculationRow(db).setValue(CalculationRow::kStartNode, node);
}

bool hasNodes(const QSqlDatabase& db)
{
    return selectValue(db, QStringLiteral("SELECT 1 FROM УзлыТС LIMIT 1")).isValid();
}

// The rows a drawing operation adds, through statements prepared once.
class NetworkInserts {
public:
    NetworkInserts(const QSqlDatabase& db, SchemaEditRecorder& recorder)
        : db_(db),
          recorder_(recorder),
          node_(db, QStringLiteral("INSERT INTO УзлыТС (Nуз, x, y) VALUES (?, ?, ?)")),
          segment_(db, QStringLiteral("INSERT INTO Табл (id, НачУзел, КонУзел) VALUES (?, ?, ?)")),
          largestId_(db, QStringLiteral("SELECT max(id) FROM Табл"))
    {
    }

    void node(int number, int x, int y)
    {
        node_.run({number, x, y});
        recorder_.inserted(kNodes, sqlite3_last_insert_rowid(node_.connection()));
    }

    // A new segment from → to with the next free key and the defaults of a
    // new row; returns its key.
    qint64 segment(int from, int to)
    {
        QVariant maxId;
        if (largestId_.step()) {
            maxId = largestId_.value(0);
            while (largestId_.step()) {
            }
        }
        std::vector<qint64> ids;
        if (!maxId.isNull()) {
            if (maxId.toLongLong() < 2147483600) {
                ids.push_back(maxId.toLongLong());
            } else {
                NativeStatement all(db_, QStringLiteral("SELECT id FROM Табл ORDER BY id ASC"));
                while (all.step())
                    ids.push_back(all.value(0).toLongLong());
            }
        }
        const std::optional<qint64> id = nextSegmentKey(ids);
        if (!id)
            throw Failure(QString::fromLatin1(kSqlErrorClass),
                          QStringLiteral("Невозможно сгенерировать значение ключевого поля."));
        segment_.run({*id, from, to});
        recorder_.inserted(kSegments, *id);
        return *id;
    }

private:
    QSqlDatabase db_;
    SchemaEditRecorder& recorder_;
    NativeStatement node_;
    NativeStatement segment_;
    NativeStatement largestId_;
};

void selectOnly(const QSqlDatabase& work, int node)
{
    clearSchemaSelection(work);
    addSelectedNode(work, node);
}

} // namespace

int midpoint(int p, int q)
{
    return p / 2 + q / 2 + (p % 2 + q % 2) / 2;
}

int SchemaEditing::boxAfterChange() const
{
    return hasNodes(data_.calculation()) ? kModeSelectNode : kModePlaceStartNode;
}

bool SchemaEditing::networkHasNodes() const
{
    return hasNodes(data_.calculation());
}

int SchemaEditing::GenerateNodeNumber() const
{
    const QSqlDatabase db = data_.calculation();
    QVariant largest;
    {
        NativeStatement max(db, QStringLiteral("SELECT max(Nуз) FROM УзлыТС"));
        if (max.step())
            largest = max.value(0);
    }
    if (largest.isNull() || !largest.isValid())
        return 0;
    if (largest.toInt() < kLastNodeNumber)
        return largest.toInt() + 1;
    NativeStatement rows(db, QStringLiteral("SELECT Nуз FROM УзлыТС ORDER BY Nуз ASC"));
    for (int r = 0; r <= kLastNodeNumber && rows.step(); ++r)
        if (rows.value(0).toInt() > r) {
            sqlite3_reset(rows.get());
            return r;
        }
    return -1;
}

int SchemaEditing::OperSelAllUz()
{
    const SchemaData schema = readSchemaData(data_);
    if (schema.nodes.empty()) {
        dialogs_.showMessage(QStringLiteral("Нет узлов для выделения."), MessageKind::Information);
        return kModePlaceStartNode;
    }
    const QSqlDatabase work = data_.work();
    Transaction transaction(work);
    clearSchemaSelection(work);
    SelectionRect box{schema.nodes[0].x, schema.nodes[0].y, schema.nodes[0].x, schema.nodes[0].y};
    std::vector<int> numbers;
    numbers.reserve(schema.nodes.size());
    for (const SchemaNode& node : schema.nodes) {
        numbers.push_back(node.number);
        box = {std::min(box.x1, node.x), std::min(box.y1, node.y), std::max(box.x2, node.x), std::max(box.y2, node.y)};
    }
    // One statement for all, in the nodes' order.
    execSql(work, QStringLiteral("INSERT OR IGNORE INTO ВыделУзлыТС (Nуз) SELECT value FROM json_each(?)"),
            {jsonNumbers(numbers)});
    if (schema.nodes.size() >= 2)
        setSelectionRect(work, box);
    transaction.commit();
    return kOperSelectAll;
}

int SchemaEditing::OperCancelSel()
{
    clearSchemaSelection(data_.work());
    return kOperCancelSelection;
}

int SchemaEditing::OperMoveSelUz()
{
    const QSqlDatabase work = data_.work();
    const SchemaSelection selection = readSchemaSelection(work);
    if (selection.rect && selection.rect->isPoint())
        execSql(work, QStringLiteral("DELETE FROM ВыделПрямоуг"));
    if (selection.nodes.empty()) {
        dialogs_.showMessage(QStringLiteral("Выделите узлы, которые следует переместить."), MessageKind::Warning);
        return kModeSelectRectangle;
    }
    return kModeMoveSelection;
}

int SchemaEditing::OperDelPartTS()
{
    const QSqlDatabase work = data_.work();
    const SchemaSelection selection = readSchemaSelection(work);
    if (selection.nodes.size() != 1) {
        dialogs_.showMessage(QStringLiteral("Выделите узел, с которого начинается удаляемая часть сети."),
                             MessageKind::Warning);
        return boxAfterChange();
    }
    if (!dialogs_.askYesNo(kCaption, QStringLiteral("Удалить часть сети, которая начинается с выделенного узла?")))
        return boxAfterChange();
    const int root = selection.nodes.front();
    runStep(data_, history_, source_, [&](SchemaEditRecorder& recorder) {
        const QSqlDatabase db = data_.calculation();
        const std::vector<Segment> segments = readSegments(db);
        QHash<int, std::vector<int>> children;
        children.reserve(qsizetype(segments.size()));
        for (const Segment& segment : segments)
            if (segment.from && segment.to)
                children[*segment.from].push_back(*segment.to);
        // Level by level from the selected node; each node once.
        QSet<int> removed{root};
        std::vector<int> level{root};
        while (!level.empty()) {
            std::vector<int> next;
            for (int node : level) {
                const auto found = children.constFind(node);
                if (found == children.constEnd())
                    continue;
                for (int child : *found)
                    if (!removed.contains(child)) {
                        removed.insert(child);
                        next.push_back(child);
                    }
            }
            level = std::move(next);
        }
        QSet<int> segmentIds;
        for (const Segment& segment : segments)
            if ((segment.from && removed.contains(*segment.from)) || (segment.to && *segment.to == root))
                segmentIds.insert(int(segment.id));
        recorder.touch(kSegments, QStringLiteral("id"), segmentIds);
        recorder.touch(kNodes, QStringLiteral("Nуз"), removed);
        recorder.touch(kHeadChanges, QStringLiteral("Nуз"), removed);
        // The whole network from its start: the tables are emptied at once.
        if (segmentIds.size() == qsizetype(segments.size()))
            execSql(db, QStringLiteral("DELETE FROM Табл"));
        else
            execSql(db, QStringLiteral("DELETE FROM Табл WHERE id IN ") + kNumberList, {jsonNumbers(segmentIds)});
        const QString removedList = jsonNumbers(removed);
        if (coversEveryRow(db, QStringLiteral("УзлыТС"), removed))
            execSql(db, QStringLiteral("DELETE FROM УзлыТС"));
        else
            execSql(db, QStringLiteral("DELETE FROM УзлыТС WHERE Nуз IN ") + kNumberList, {removedList});
        execSql(db, QStringLiteral("DELETE FROM ИзмПНапВУзлахТС WHERE Nуз IN ") + kNumberList, {removedList});
        clearSchemaSelection(work);
    });
    return boxAfterChange();
}

int SchemaEditing::OperAddUz()
{
    const QSqlDatabase work = data_.work();
    const SchemaSelection selection = readSchemaSelection(work);
    if (selection.nodes.empty()) {
        dialogs_.showMessage(QStringLiteral("Выделите узлы, перед которыми следует добавить новые узлы."),
                             MessageKind::Warning);
        return boxAfterChange();
    }
    bool outOfNumbers = false;
    runStep(data_, history_, source_, [&](SchemaEditRecorder& recorder) {
        const QSqlDatabase db = data_.calculation();
        // The network in memory as the insertions go: node positions, the
        // segments entering each node by key, the start of each segment.
        QHash<int, QPoint> positions;
        {
            NativeStatement nodes(db, QStringLiteral("SELECT Nуз, x, y FROM УзлыТС WHERE typeof(Nуз) = 'integer'"));
            while (nodes.step()) {
                const qint64 number = sqlite3_column_int64(nodes.get(), 0);
                if (number >= INT_MIN && number <= INT_MAX && !positions.contains(int(number)))
                    positions.insert(int(number), QPoint(nodes.value(1).toInt(), nodes.value(2).toInt()));
            }
        }
        QHash<int, std::set<qint64>> entering;
        QHash<qint64, int> startOf;
        {
            NativeStatement segments(
                db, QStringLiteral("SELECT id, НачУзел, КонУзел FROM Табл WHERE typeof(КонУзел) = 'integer'"));
            while (segments.step()) {
                const qint64 to = sqlite3_column_int64(segments.get(), 2);
                if (to < INT_MIN || to > INT_MAX)
                    continue;
                const qint64 id = sqlite3_column_int64(segments.get(), 0);
                entering[int(to)].insert(id);
                startOf.insert(id, segments.value(1).toInt());
            }
        }
        // The node numbers in ascending order, to generate new numbers as
        // GenerateNodeNumber does, while every number is a whole number.
        std::vector<int> numbers;
        bool wholeNumbers = !selectValue(db, QStringLiteral("SELECT 1 FROM УзлыТС WHERE typeof(Nуз) <> 'integer' "
                                                            "OR Nуз NOT BETWEEN -2147483648 AND 2147483647 LIMIT 1"))
                                 .isValid();
        if (wholeNumbers) {
            NativeStatement all(db, QStringLiteral("SELECT Nуз FROM УзлыТС ORDER BY Nуз"));
            while (all.step())
                numbers.push_back(sqlite3_column_int(all.get(), 0));
        }
        const auto newNumber = [&]() {
            if (!wholeNumbers)
                return GenerateNodeNumber();
            if (numbers.empty())
                return 0;
            if (numbers.back() < kLastNodeNumber)
                return numbers.back() + 1;
            for (int r = 0; r <= kLastNodeNumber && r < int(numbers.size()); ++r)
                if (numbers[size_t(r)] > r)
                    return r;
            return -1;
        };
        std::optional<int> start = startNodeOf(db);
        // The segments to be redirected are recorded ahead, for the next
        // selected nodes in growing batches (the numbers may run out first),
        // and one by one where a segment was not foreseen.
        QSet<int> recorded;
        size_t recordedUpTo = 0;
        size_t batch = 64;
        const auto recordAhead = [&](size_t i) {
            if (i < recordedUpTo)
                return;
            QSet<int> ids;
            recordedUpTo = std::min(selection.nodes.size(), i + batch);
            batch *= 2;
            for (size_t k = i; k < recordedUpTo; ++k) {
                const auto in = entering.constFind(selection.nodes[k]);
                if (in != entering.constEnd() && !in->empty())
                    ids.insert(int(*in->begin()));
            }
            recorder.touch(kSegments, QStringLiteral("id"), ids);
            recorded += ids;
        };
        NetworkInserts insert(db, recorder);
        NativeStatement redirect(db, QStringLiteral("UPDATE Табл SET КонУзел = ? WHERE id = ?"));
        const auto addNode = [&](int n, QPoint at) {
            insert.node(n, at.x(), at.y());
            positions.insert(n, at);
            if (wholeNumbers)
                numbers.insert(std::lower_bound(numbers.begin(), numbers.end(), n), n);
        };
        const auto addSegment = [&](int from, int to) {
            const qint64 id = insert.segment(from, to);
            entering[to].insert(id);
            startOf.insert(id, from);
        };
        for (size_t i = 0; i < selection.nodes.size(); ++i) {
            const int b = selection.nodes[i];
            const int n = newNumber();
            if (n < 0) {
                outOfNumbers = true;
                break;
            }
            recordAhead(i);
            if (!positions.contains(b))
                continue;
            const QPoint at = positions.value(b);
            if (start == b) {
                addNode(n, QPoint(std::max(at.x() - 50, 17), std::max(at.y() - 50, 42)));
                setStartNode(db, n);
                start = n;
                addSegment(n, b);
                continue;
            }
            const auto in = entering.find(b);
            if (in == entering.end() || in->empty())
                continue;
            const qint64 id = *in->begin();
            if (!positions.contains(startOf.value(id)))
                continue;
            const QPoint from = positions.value(startOf.value(id));
            if (!recorded.contains(int(id))) {
                recorder.touch(kSegments, QStringLiteral("id"), {int(id)});
                recorded.insert(int(id));
            }
            addNode(n, QPoint(midpoint(from.x(), at.x()), midpoint(from.y(), at.y())));
            redirect.run({n, id});
            entering[b].erase(id);
            entering[n].insert(id);
            addSegment(n, b);
        }
    });
    if (outOfNumbers)
        dialogs_.showMessage(kNoNumber, MessageKind::Error);
    return boxAfterChange();
}

int SchemaEditing::OperDelSelUz()
{
    const QSqlDatabase work = data_.work();
    const SchemaSelection selection = readSchemaSelection(work);
    if (selection.nodes.empty()) {
        dialogs_.showMessage(QStringLiteral("Выделите узлы, которые следует удалить."), MessageKind::Warning);
        return boxAfterChange();
    }
    if (!dialogs_.askYesNo(kCaption, QStringLiteral("Удалить выделенные узлы?")))
        return boxAfterChange();
    bool skipped = false;
    runStep(data_, history_, source_, [&](SchemaEditRecorder& recorder) {
        const QSqlDatabase db = data_.calculation();
        std::vector<Segment> segments = readSegments(db);
        std::optional<int> start = startNodeOf(db);
        const std::optional<int> startBefore = start;
        // The network in memory: segments by start and end node (indices into
        // `segments`; a removed segment loses its id).
        QHash<int, QList<qsizetype>> leaving;
        QHash<int, QList<qsizetype>> entering;
        for (qsizetype i = 0; i < qsizetype(segments.size()); ++i) {
            if (segments[size_t(i)].from)
                leaving[*segments[size_t(i)].from].append(i);
            if (segments[size_t(i)].to)
                entering[*segments[size_t(i)].to].append(i);
        }
        QSet<int> changedSegments;
        QSet<int> droppedSegments;
        QSet<int> removedNodes;
        std::vector<int> removedInOrder;
        const auto dropEntering = [&](int node) {
            for (qsizetype i : entering.take(node)) {
                Segment& segment = segments[size_t(i)];
                if (segment.from)
                    leaving[*segment.from].removeOne(i);
                droppedSegments.insert(int(segment.id));
            }
        };
        for (int b : selection.nodes) {
            if (removedNodes.contains(b))
                continue;
            const QList<qsizetype> out = leaving.value(b);
            if (out.size() >= 2) {
                skipped = true;
                continue;
            }
            if (out.size() == 1) {
                const qsizetype leave = out.front();
                const int c = *segments[size_t(leave)].to;
                if (start != b) {
                    const QList<qsizetype> in = entering.value(b);
                    if (!in.isEmpty()) {
                        const std::optional<int> a = segments[size_t(in.front())].from;
                        segments[size_t(leave)].from = a;
                        leaving[b].removeOne(leave);
                        if (a)
                            leaving[*a].append(leave);
                        changedSegments.insert(int(segments[size_t(leave)].id));
                    }
                    dropEntering(b);
                } else {
                    dropEntering(c);
                    start = c;
                }
            } else if (start != b) {
                dropEntering(b);
            }
            removedNodes.insert(b);
            removedInOrder.push_back(b);
        }
        recorder.touch(kSegments, QStringLiteral("id"), changedSegments + droppedSegments);
        recorder.touch(kNodes, QStringLiteral("Nуз"), removedNodes);
        recorder.touch(kHeadChanges, QStringLiteral("Nуз"), removedNodes);
        NativeStatement update(db, QStringLiteral("UPDATE Табл SET НачУзел = ? WHERE id = ?"));
        for (const Segment& segment : segments) {
            const int id = int(segment.id);
            if (changedSegments.contains(id) && !droppedSegments.contains(id)) {
                int code = segment.from ? sqlite3_bind_int(update.get(), 1, *segment.from)
                                        : sqlite3_bind_null(update.get(), 1);
                if (code != SQLITE_OK || (code = sqlite3_bind_int64(update.get(), 2, segment.id)) != SQLITE_OK)
                    update.fail(code);
                update.run();
            }
        }
        execSql(db, QStringLiteral("DELETE FROM Табл WHERE id IN ") + kNumberList, {jsonNumbers(droppedSegments)});
        const QString removed = jsonNumbers(removedInOrder);
        execSql(db, QStringLiteral("DELETE FROM УзлыТС WHERE Nуз IN ") + kNumberList, {removed});
        execSql(db, QStringLiteral("DELETE FROM ИзмПНапВУзлахТС WHERE Nуз IN ") + kNumberList, {removed});
        execSql(work, QStringLiteral("DELETE FROM ВыделУзлыТС WHERE Nуз IN ") + kNumberList, {removed});
        if (start != startBefore && start)
            setStartNode(db, *start);
        if (readSchemaSelection(work).nodes.size() < 2)
            execSql(work, QStringLiteral("DELETE FROM ВыделПрямоуг"));
    });
    if (skipped)
        dialogs_.showMessage(
            QStringLiteral("Узлы, из которых исходит больше одной ветви теплосети, не могут быть удалены."),
            MessageKind::Warning);
    return boxAfterChange();
}

int SchemaEditing::mousePress(QPoint point, int mode, QSize picture)
{
    const QSqlDatabase work = data_.work();
    const DrawingArea area = DrawingArea::of(picture);
    const QPoint clamped(area.clampX(point.x()), area.clampY(point.y()));
    const SchemaData schema = readSchemaData(data_);
    if (const std::optional<int> hit = HitTestNode(schema, point.x(), point.y())) {
        selectOnly(work, *hit);
        return mode;
    }
    switch (mode) {
    case kModePlaceStartNode: {
        int start = 0;
        runStep(data_, history_, source_, [&](SchemaEditRecorder& recorder) {
            const QSqlDatabase db = data_.calculation();
            if (!schema.nodes.empty()) {
                // The start node's row moves (nothing when no row holds it).
                start = schema.startNode.value_or(-1);
                recorder.touch(kNodes, QStringLiteral("Nуз"), {start});
                execSql(db, QStringLiteral("UPDATE УзлыТС SET x = ?, y = ? WHERE Nуз = ?"),
                        {clamped.x(), clamped.y(), start});
            } else {
                setStartNode(db, 0);
                NetworkInserts(db, recorder).node(0, clamped.x(), clamped.y());
            }
            if (schema.nodes.empty() || schema.node(start))
                selectOnly(work, start);
        });
        return kModeDrawSegment;
    }
    case kModeDrawSegment: {
        if (schema.selection.nodes.size() != 1) {
            dialogs_.showMessage(QStringLiteral("Выберите начальный узел участка."), MessageKind::Warning);
            return mode;
        }
        const int n = GenerateNodeNumber();
        if (n < 0) {
            dialogs_.showMessage(kNoNumber, MessageKind::Error);
            return mode;
        }
        runStep(data_, history_, source_, [&](SchemaEditRecorder& recorder) {
            const QSqlDatabase db = data_.calculation();
            NetworkInserts insert(db, recorder);
            insert.node(n, clamped.x(), clamped.y());
            insert.segment(schema.selection.nodes.front(), n);
            selectOnly(work, n);
        });
        return mode;
    }
    case kModeSelectRectangle: {
        Transaction transaction(work);
        execSql(work, QStringLiteral("DELETE FROM ВыделУзлыТС"));
        const std::optional<SelectionRect> rect = schema.selection.rect;
        if (!rect || !rect->isPoint()) {
            setSelectionRect(work, {clamped.x(), clamped.y(), clamped.x(), clamped.y()});
        } else {
            const SelectionRect box{std::min(rect->x1, clamped.x()), std::min(rect->y1, clamped.y()),
                                    std::max(rect->x1, clamped.x()), std::max(rect->y1, clamped.y())};
            int selected = 0;
            for (const SchemaNode& node : schema.nodes)
                if (box.x1 <= node.x && node.x <= box.x2 && box.y1 <= node.y && node.y <= box.y2) {
                    addSelectedNode(work, node.number);
                    ++selected;
                }
            if (selected < 2)
                execSql(work, QStringLiteral("DELETE FROM ВыделПрямоуг"));
            else
                setSelectionRect(work, box);
        }
        transaction.commit();
        return mode;
    }
    default:
        return mode;
    }
}

void SchemaEditing::mouseRelease(QPoint down, QPoint up, int mode, QSize picture)
{
    if (down == up)
        return;
    const QSqlDatabase work = data_.work();
    const DrawingArea area = DrawingArea::of(picture);
    const SchemaData schema = readSchemaData(data_);
    const SchemaSelection& selection = schema.selection;
    const int dx = up.x() - down.x();
    const int dy = up.y() - down.y();
    const std::optional<SelectionRect>& rect = selection.rect;
    if (mode == kModeMoveSelection && rect && rect->x1 <= down.x() && down.x() <= rect->x2 && rect->y1 <= down.y()
        && down.y() <= rect->y2) {
        const int w = rect->x2 - rect->x1;
        const int h = rect->y2 - rect->y1;
        const int x2 = area.clampX(area.clampX(rect->x1 + dx) + w);
        const int y2 = area.clampY(area.clampY(rect->y1 + dy) + h);
        const SelectionRect moved{x2 - w, y2 - h, x2, y2};
        const int mx = moved.x1 - rect->x1;
        const int my = moved.y1 - rect->y1;
        runStep(data_, history_, source_, [&](SchemaEditRecorder& recorder) {
            const QSqlDatabase db = data_.calculation();
            const QSet<int> nodes(selection.nodes.begin(), selection.nodes.end());
            recorder.touch(kNodes, QStringLiteral("Nуз"), nodes);
            // Every node selected: the whole table moves.
            if (coversEveryRow(db, QStringLiteral("УзлыТС"), nodes))
                execSql(db, QStringLiteral("UPDATE УзлыТС SET x = x + ?, y = y + ?"), {mx, my});
            else
                execSql(db, QStringLiteral("UPDATE УзлыТС SET x = x + ?, y = y + ? WHERE Nуз IN ") + kNumberList,
                        {mx, my, jsonNumbers(selection.nodes)});
            setSelectionRect(work, moved);
        });
        return;
    }
    if (selection.nodes.size() != 1)
        return;
    const int number = selection.nodes.front();
    const SchemaNode* node = schema.node(number);
    if (!node)
        return;
    const int half = schema.startNode == number ? 14 : 8;
    if (std::abs(down.x() - node->x) > half || std::abs(down.y() - node->y) > half)
        return;
    runStep(data_, history_, source_, [&](SchemaEditRecorder& recorder) {
        recorder.touch(kNodes, QStringLiteral("Nуз"), {number});
        execSql(data_.calculation(), QStringLiteral("UPDATE УзлыТС SET x = ?, y = ? WHERE Nуз = ?"),
                {area.clampX(node->x + dx), area.clampY(node->y + dy), number});
    });
}

} // namespace zurm
