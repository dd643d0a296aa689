#include "network/SchemaData.h"

#include "base/NativeSql.h"
#include "base/Sql.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"

#include <QSqlQuery>
#include <algorithm>

namespace zurm {

std::optional<int> intOrNone(const QVariant& value)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (value.isNull() || !ok)
        return std::nullopt;
    return number;
}

const SchemaNode* SchemaData::node(int number) const
{
    const auto it = byNumber_.constFind(number);
    return it == byNumber_.constEnd() ? nullptr : &nodes[size_t(*it)];
}

void SchemaData::index()
{
    byNumber_.clear();
    byNumber_.reserve(qsizetype(nodes.size()));
    // The first row of a number wins, as a walk from the first row would find it.
    for (size_t i = 0; i < nodes.size(); ++i)
        if (!byNumber_.contains(nodes[i].number))
            byNumber_.insert(nodes[i].number, qsizetype(i));
    segmentStarts_.clear();
    segmentStarts_.reserve(qsizetype(segments.size()));
    for (const SchemaSegment& segment : segments)
        if (segment.from)
            segmentStarts_.insert(*segment.from);
}

SchemaData readSchemaData(const DataModule& data)
{
    SchemaData schema;
    const QSqlDatabase db = data.calculation();
    const QVariantList row =
        CalculationRow(db).read({CalculationRow::kStartNode, CalculationRow::kNetworkType, CalculationRow::kMap,
                                 CalculationRow::kMapScale, CalculationRow::kLengthsFromMapScale});
    if (!row.isEmpty()) {
        schema.startNode = intOrNone(row[0]);
        schema.networkType = row[1].toInt();
        schema.mapFile = row[2].isNull() ? QString() : row[2].toString();
        schema.mapScale = row[3];
        schema.lengthsFromScale = row[4].toBool();
    }
    // Whole tables: read on the connection itself.
    NativeStatement nodes(db, QStringLiteral("SELECT [Nуз], [x], [y] FROM [УзлыТС] ORDER BY rowid"));
    while (nodes.step()) {
        const std::optional<int> number = intOrNone(nodes.value(0));
        if (!number)
            continue;
        schema.nodes.push_back({*number, nodes.value(1).toInt(), nodes.value(2).toInt()});
    }
    NativeStatement segments(db, QStringLiteral("SELECT [НачУзел], [КонУзел] FROM [Табл] ORDER BY [id]"));
    while (segments.step())
        schema.segments.push_back({intOrNone(segments.value(0)), intOrNone(segments.value(1))});
    schema.index();
    if (data.workOpen())
        schema.selection = readSchemaSelection(data.work());
    return schema;
}

SchemaSelection readSchemaSelection(const QSqlDatabase& work)
{
    SchemaSelection selection;
    NativeStatement nodes(work, QStringLiteral("SELECT [Nуз] FROM [ВыделУзлыТС] ORDER BY rowid"));
    while (nodes.step())
        if (const std::optional<int> number = intOrNone(nodes.value(0)))
            selection.nodes.push_back(*number);
    QSqlQuery rects = selectSql(work, QStringLiteral("SELECT [x1], [y1], [x2], [y2] FROM [ВыделПрямоуг] LIMIT 2"));
    int rows = 0;
    SelectionRect rect;
    while (rects.next()) {
        ++rows;
        rect = {rects.value(0).toInt(), rects.value(1).toInt(), rects.value(2).toInt(), rects.value(3).toInt()};
    }
    if (rows == 1)
        selection.rect = rect;
    return selection;
}

void clearSchemaSelection(const QSqlDatabase& work)
{
    Transaction transaction(work);
    execSql(work, QStringLiteral("DELETE FROM [ВыделУзлыТС]"));
    execSql(work, QStringLiteral("DELETE FROM [ВыделПрямоуг]"));
    transaction.commit();
}

void addSelectedNode(const QSqlDatabase& work, int node)
{
    execSql(work, QStringLiteral("INSERT OR IGNORE INTO [ВыделУзлыТС] ([Nуз]) VALUES (?)"), {node});
}

void setSelectionRect(const QSqlDatabase& work, const SelectionRect& rect)
{
    Transaction transaction(work);
    execSql(work, QStringLiteral("DELETE FROM [ВыделПрямоуг]"));
    execSql(work, QStringLiteral("INSERT INTO [ВыделПрямоуг] ([x1], [y1], [x2], [y2]) VALUES (?, ?, ?, ?)"),
            {rect.x1, rect.y1, rect.x2, rect.y2});
    transaction.commit();
}

SelectByNumbersResult selectNodesByNumbers(const QSqlDatabase& work, const SchemaData& schema,
                                           const QStringList& texts)
{
    SelectByNumbersResult result;
    Transaction transaction(work);
    execSql(work, QStringLiteral("DELETE FROM [ВыделУзлыТС]"));
    execSql(work, QStringLiteral("DELETE FROM [ВыделПрямоуг]"));
    QSet<int> selected;
    std::optional<SelectionRect> box;
    for (int field = 0; field < texts.size(); ++field) {
        const QString& text = texts[field];
        if (text.isEmpty())
            continue;
        bool ok = false;
        const int number = text.trimmed().toInt(&ok);
        if (!ok) {
            // The nodes selected before the faulty field stay selected.
            result.failedField = field;
            result.message = QLatin1Char('"') + text + QStringLiteral("\" не является целым числом.");
            transaction.commit();
            return result;
        }
        if (number < 0 || number > 32700 || selected.contains(number))
            continue;
        const SchemaNode* node = schema.node(number);
        if (!node)
            continue;
        selected.insert(number);
        addSelectedNode(work, number);
        if (!box) {
            box = SelectionRect{node->x, node->y, node->x, node->y};
        } else {
            box->x1 = std::min(box->x1, node->x);
            box->y1 = std::min(box->y1, node->y);
            box->x2 = std::max(box->x2, node->x);
            box->y2 = std::max(box->y2, node->y);
        }
    }
    if (box && !box->isPoint())
        setSelectionRect(work, *box);
    transaction.commit();
    result.done = true;
    return result;
}

} // namespace zurm
