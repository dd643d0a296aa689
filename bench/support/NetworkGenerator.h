#pragma once

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <QString>

namespace zurm::bench {

// The shape of a generated network: chains ("branches") of branchLength
// segments; branch 0 starts at the start node, every later branch b starts at a
// node of branch (b - 1) / 2, so the branches form a binary tree. With the
// defaults 32 700 segments give 1 554 end nodes (mains) of up to 170 segments.
struct NetworkShape {
    int branchLength = 20;
    // When set: an irregular tree instead, where segment i continues segment
    // i - 1 with this chance (per mille) and otherwise starts at a node drawn
    // from 0 .. i - 1 (450 gives about 11 400 end nodes and 195 000 main rows
    // on 32 000 segments).
    int chainPerMille = -1;
};

// Writes a calculation file at `path` (replaced if present): a copy of the
// template with nodes 0 .. segmentCount (node 0 is the start node), segmentCount
// segments forming a tree (segment i has key i and ends at node i), and values
// in every user-entered column of Табл and in the empty user-entered columns of
// Заг: lengths, flows that add up along the tree (every end node draws the same
// flow), nominal diameters of the reference series that suit the flow, heads and
// temperatures. Node positions and heights are filled too. The network status,
// the mains and the end-of-main values are left to the topology check.
// segmentCount lies in 0 .. 32 700 (node numbers end there). Throws
// zurm::Failure on any database error.
void generateCalculation(const QString& path, const QString& templatePath, int segmentCount,
                         const NetworkShape& shape = {});

// The start node (parent) of segment i (1 .. segmentCount) in that tree.
int parentNode(int segment, const NetworkShape& shape = {});

// What a generator writes into a user-entered segment column.
enum class Fill { Length, Flow, Diameter, Other };

// The INSERT of a generated segment: id, НачУзел, КонУзел, then every
// user-entered column of Табл, whose kind of value is in fills (same order).
struct SegmentInsert {
    QString sql;
    QList<Fill> fills;
};
SegmentInsert segmentInsertFor(const QSqlDatabase& db, const QHash<QString, bool>& userEntered);

// Short name -> user-entered flag for the catalogue of a calculation file; a
// predefined indicator wins over a user one of the same name.
QHash<QString, bool> userEnteredIndicators(const QSqlDatabase& db);

} // namespace zurm::bench
