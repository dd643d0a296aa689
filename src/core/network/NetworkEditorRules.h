#pragma once

#include "network/NetworkTableModel.h"

#include <QList>
#include <QSet>
#include <QString>

namespace zurm {

class DataModule;
class Progress;
class UserDialogs;

// The text shown for a network status (empty for a correct network).
QString networkStatusText(int status, const QString& message);

// What the network parameters editor works with while it is open: the two
// modes, the network status with its message, and what it reads from the
// calculation when it opens.
class NetworkEditorState {
public:
    NetworkEditorState(DataModule& data, UserDialogs& dialogs, Progress& progress);

    // Reads the calculation's row and the predefined indicators; manual-fill
    // mode starts on for status 1 or 3. Throws Failure.
    void open(int status, const QString& message);

    bool manualFill() const { return manualFill_; }
    bool endNodeEditing() const { return endNodeEditing_; }
    int status() const { return status_; }
    const QString& message() const { return message_; }
    bool twoPipe() const { return twoPipe_; }
    bool designMode() const { return designMode_; }
    // The end-node tab and its command exist for two-pipe networks or in design mode.
    bool endNodesShown() const { return twoPipe_ || designMode_; }

    QString supplyFlowCaption;
    QString returnFlowCaption;
    bool returnLengthEntered = false;
    bool returnFlowEntered = false;

    struct Columns {
        bool returnLength = false, returnFlow = false, givenSupplyHead = true, givenAvailableHead = false,
             temperatureDifference = false;
    };
    Columns columns() const;

    // Everything UpdateEditorMenus decides, for the given number of end-node rows.
    struct Menus {
        bool manualCommands = false;    // delete/mark commands of nodes and segments, start-node field
        bool keyGridsEditable = false;  // DGUzTS, DGNU
        bool selectionCommands = false; // selection, find and label commands, clicks on the schema
        bool autoFillEndNodes = false;
        bool endNodesEditable = false;
        QString endNodeHint;            // edTop
    };
    Menus menus(int endNodeRows) const;
    // Applied after every mode change: end-node editing makes the results stale.
    void noteMenusApplied(const QObject* source = nullptr);

    // miShTSRZapT: stores status 3 "Проверка параметров теплосети не выполнена." at once.
    void switchManualFillOn();
    // miShTSEditKonUz: with manual-fill on, runs the topology check first and
    // shows its message; true when end-node editing is now on.
    bool switchEndNodeEditingOn(const QString& startNodeText);
    // Closing: the check when manual-fill is on, the start-node rule, the
    // status message, the stored status; then a head-change row naming no node
    // is reported. Returns the status stored.
    int close(const QString& startNodeText);

    // Drawing the schema (miShTSRis), before the drawing window opens: the
    // topology check; tables that hold a network that cannot be drawn on are
    // emptied when the user agrees (their head changes go with the nodes).
    // False when the user keeps them: the window is not opened. Otherwise the
    // two modes go off. Throws Failure.
    bool beginDrawing(const QString& startNodeText);
    // After the window closed: the topology check of the drawn network; its
    // status becomes the editor's.
    void checkDrawnNetwork(const QString& startNodeText);
    // Then (the schema repainted) the lengths from the map scale when they are
    // to follow it, and the network's message when the status is not 0.
    void finishDrawing();

private:
    DataModule& data_;
    UserDialogs& dialogs_;
    Progress& progress_;
    bool manualFill_ = false;
    bool endNodeEditing_ = false;
    int status_ = 2;
    QString message_;
    bool twoPipe_ = false;
    bool designMode_ = false;
};

// The message naming head-change rows whose node is not in УзлыТС, empty when
// every one is there.
QString unknownHeadChangeNodes(DataModule& data);

// Deletes the given rows (by their rowid) of a table of the editor in one
// transaction and clears the calculation-done flag. Throws Failure; nothing
// is deleted then.
void deleteNetworkRows(DataModule& data, NetworkTable table, const QList<qint64>& rowIds,
                       const QObject* source = nullptr);
void deleteAllNetworkRows(DataModule& data, NetworkTable table, const QObject* source = nullptr);

// The row (0-based) the cursor goes to after a delete of marked rows:
// `lastMarked` the 0-based row of the last marked row, `deleted` how many went,
// `remaining` the rows left; -1 when none is left.
int rowAfterDelete(int lastMarked, int deleted, int remaining);

// The node numbers of ВыделУзлыТС. Throws Failure.
QSet<int> selectedSchemaNodes(DataModule& data);
// Replaces the schema selection by the given nodes; with onlyExisting, nodes
// missing from УзлыТС are left out. With a rectangle, ВыделПрямоуг gets the
// bounding box of the nodes' positions when they differ. Returns the number
// of nodes selected. One transaction in the work database. Throws Failure.
int selectSchemaNodes(DataModule& data, const QList<int>& nodes, bool onlyExisting, bool rectangle);

// The rows of the model whose value in `column` is one of `nodes`.
QList<int> rowsWithNodes(const NetworkTableModel& model, int column, const QSet<int>& nodes);

} // namespace zurm
