#pragma once

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

namespace zurm {

class DataModule;

// A stored whole number, or nothing for Null or a value that is no number.
std::optional<int> intOrNone(const QVariant& value);

// A node as the schema shows it: its number and its position on the map
// picture (0 where the row holds Null; x = 0 or y = 0 means "not placed").
struct SchemaNode {
    int number = 0;
    int x = 0;
    int y = 0;
};

// A segment from НачУзел to КонУзел (either may be missing in a damaged row).
struct SchemaSegment {
    std::optional<int> from;
    std::optional<int> to;
};

// ВыделПрямоуг: the selection rectangle in picture coordinates.
struct SelectionRect {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    // The first corner of a rectangle being drawn.
    bool isPoint() const { return x1 == x2 && y1 == y2; }
    bool operator==(const SelectionRect&) const = default;
};

// The selection: ВыделУзлыТС in its order, and the rectangle when ВыделПрямоуг
// holds exactly one row.
struct SchemaSelection {
    std::vector<int> nodes;
    std::optional<SelectionRect> rect;
};

// Everything the schema is painted from, read in one pass: the nodes in
// УзлыТС order with a lookup by number, the segments in Табл order, the start
// node, the network type, the map and its scale, and the selection.
class SchemaData {
public:
    std::vector<SchemaNode> nodes;
    std::vector<SchemaSegment> segments;
    std::optional<int> startNode;   // NНачУз
    int networkType = 0;            // ТипСети (0 one-pipe, 1 two-pipe)
    QString mapFile;                // Карта, empty when Null
    QVariant mapScale;              // МасштабКарты as stored
    bool lengthsFromScale = false;  // ВычДлПоМасш
    SchemaSelection selection;

    // The node with this number, null when УзлыТС has none.
    const SchemaNode* node(int number) const;
    // Some segment starts at the node (label mode 1 labels the others).
    bool startsSegment(int number) const { return segmentStarts_.contains(number); }
    // Rebuilds the lookups after nodes or segments changed.
    void index();

private:
    QHash<int, qsizetype> byNumber_;
    QSet<int> segmentStarts_;
};

// Reads the schema of the open calculation and the selection from the work
// database. Throws Failure.
SchemaData readSchemaData(const DataModule& data);

// The selection tables of the work database. Each throws Failure.
SchemaSelection readSchemaSelection(const QSqlDatabase& work);
void clearSchemaSelection(const QSqlDatabase& work);
// Adds the node unless it is selected already.
void addSelectedNode(const QSqlDatabase& work, int node);
// Replaces the rectangle.
void setSelectionRect(const QSqlDatabase& work, const SelectionRect& rect);

// Selecting nodes by their numbers, as typed into the fields of the selection
// dialog: the selection is emptied, then every field in order that holds a
// number of an existing node from 0 to 32700 selects it once; empty fields
// and other numbers are skipped. Two or more distinct positions store their
// bounding box as the selection rectangle. A field that is no integer stops
// the selection there (the nodes selected before it stay selected).
struct SelectByNumbersResult {
    bool done = false;
    int failedField = -1; // index of the field that is no integer
    QString message;      // its message
};
SelectByNumbersResult selectNodesByNumbers(const QSqlDatabase& work, const SchemaData& schema,
                                           const QStringList& texts);

} // namespace zurm
