#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

namespace zurm {

class DataModule;
class SchemaEditHistory;
class UserDialogs;

// The items of the drawing window's operation box: modes and operations.
enum SchemaEditMode : int {
    kModePlaceStartNode = 0,
    kModeSelectNode = 1,
    kModeDrawSegment = 2,
    kModeSelectRectangle = 3,
    kOperSelectByNumbers = 4,
    kOperSelectAll = 5,
    kOperCancelSelection = 6,
    kModeMoveSelection = 7,
    kOperDeletePart = 8,
    kOperAddNodes = 9,
    kOperDeleteNodes = 10,
    kOperRenameNodes = 11,
};

// Where nodes may lie on a picture: 17 .. width − 17, 42 .. height − 17.
struct DrawingArea {
    int xmin = 17;
    int ymin = 42;
    int xmax = 0;
    int ymax = 0;
    static DrawingArea of(QSize picture) { return {17, 42, picture.width() - 17, picture.height() - 17}; }
    int clampX(int x) const { return x < xmin ? xmin : (x > xmax ? xmax : x); }
    int clampY(int y) const { return y < ymin ? ymin : (y > ymax ? ymax : y); }
};

// The integer midpoint of two positions, rounded toward zero per half.
int midpoint(int p, int q);

// The outcome of a renaming run: the result text of every plan row in order,
// and the closing message when a row failed (empty when all succeeded).
struct RenameRun {
    bool success = true;
    QStringList results;
    QString message;
};

// The drawing operations on the network tables (УзлыТС, Табл and the rows that
// name their nodes) and the selection of the work database. Each operation
// that changes the network is one transaction, is recorded in the history
// (when given) and ends with one DataModule::noteInputChanged(source). The
// functions returning an int give the operation box's index afterwards.
// Messages and questions go to the dialogs. Database failures throw Failure
// and leave the tables as they were.
class SchemaEditing {
public:
    SchemaEditing(DataModule& data, UserDialogs& dialogs, SchemaEditHistory* history = nullptr,
                  const QObject* source = nullptr)
        : data_(data), dialogs_(dialogs), history_(history), source_(source)
    {
    }

    // A free node number, or −1 when 0 .. 32700 are all taken.
    int GenerateNodeNumber() const;

    int OperSelAllUz();
    int OperCancelSel();
    // Entering the move mode.
    int OperMoveSelUz();
    // Deletes the subtree that begins at the selected node (after asking).
    int OperDelPartTS();
    // Inserts a node before each selected node.
    int OperAddUz();
    // Deletes the selected nodes joining their segments (after asking).
    int OperDelSelUz();
    // Fills the renaming plan ПереимУз with the selected nodes; false (after
    // the message) when nothing is selected.
    bool OperRenameSelUz();
    // Renames after the plan, row by row; writes each row's Рез.
    RenameRun renameNodes();

    // A left-button press at a picture point in the given mode: selects a
    // hit node, or places the start node, adds a segment, or takes a corner
    // of the selection rectangle. Returns the mode afterwards.
    int mousePress(QPoint point, int mode, QSize picture);
    // A left-button release: the group move (mode 7) or the drag of a single
    // selected node.
    void mouseRelease(QPoint down, QPoint up, int mode, QSize picture);

    // Whether the network has a node; the box falls back to placing the start
    // node when it has none.
    bool networkHasNodes() const;

private:
    int boxAfterChange() const;

    DataModule& data_;
    UserDialogs& dialogs_;
    SchemaEditHistory* history_;
    const QObject* source_;
};

} // namespace zurm
