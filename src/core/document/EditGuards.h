#pragma once

#include <QSet>
#include <QString>

namespace zurm {

enum class EditOperation { Insert, Delete };

// Tables on which inserting or deleting rows through the grids is refused
// quietly. Code removes rows by SQL DELETE or lifts a guard for the moment;
// windows ask here before they insert or delete.
class EditGuards {
public:
    EditGuards(); // the guards that hold from program start

    bool refuses(const QString& table, EditOperation operation) const;
    void setRefused(const QString& table, EditOperation operation, bool refused);
    // Throws QuietAbort when the operation is refused.
    void check(const QString& table, EditOperation operation) const;

    // Bound after a calculation file is opened: segments are added and
    // removed only in the network editor.
    void guardSegmentsFromMainWindow();
    // While the network editor is open: nodes and end-of-main rows are deleted
    // only by its commands, segments may be inserted.
    void enterNetworkEditor();
    void leaveNetworkEditor();

private:
    QSet<QString> noInsert_;
    QSet<QString> noDelete_;
};

} // namespace zurm
