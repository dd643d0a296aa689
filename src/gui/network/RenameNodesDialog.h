#pragma once

#include <QDialog>

class QAction;
class QMenuBar;
class QStatusBar;

namespace zurm {
class DataModule;
class RenamePlanModel;
class SchemaEditing;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

class CalculationGrid;

// TRenameUzForm "Переименование выделенных узлов": the renaming plan of the
// selected nodes (node number, the new number typed by the user, the result of
// each row). "Переименовать" renames row by row; the dialog closes by itself
// only when every row succeeded, otherwise it shows the results and cannot
// run again until it is reopened. Closing empties the plan.
class RenameNodesDialog : public QDialog {
    Q_OBJECT
public:
    RenameNodesDialog(DataModule& data, SchemaEditing& editing, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~RenameNodesDialog() override;

    // FormShow, then modal; the plan must have been filled.
    void run();

    RenamePlanModel* plan() const { return plan_; }
    CalculationGrid* grid() const { return grid_; }
    QAction* renameAction() const { return miRename_; }

    void done(int result) override;

private:
    void rename(); // miRenameClick

    DataModule& data_;
    SchemaEditing& editing_;
    UserDialogs& dialogs_;
    RenamePlanModel* plan_ = nullptr;
    CalculationGrid* grid_ = nullptr;
    QStatusBar* status_ = nullptr;
    QMenuBar* menu_ = nullptr;
    QAction* miRename_ = nullptr;
    QAction* miClose_ = nullptr;
};

} // namespace zurm::gui
