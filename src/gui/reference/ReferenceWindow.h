#pragma once

#include "reference/ReferenceTableModel.h"

#include <QDialog>

class QAction;
class QStatusBar;

namespace zurm {
class DataModule;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

class CalculationGrid;

// The editor of one reference table: the grid (read-only until editing is
// allowed), the menus "Правка" and "Таблица справочника", "Закрыть", "?" and
// a status bar. Rows are deleted by their identity; the table prints through
// the report rendering and goes to a workbook through the sheet writer.
class TReferenceForm : public QDialog {
    Q_OBJECT
public:
    TReferenceForm(DataModule& data, UserDialogs& dialogs, ReferenceTable table, QWidget* parent = nullptr);

    // Opens the editor modally, read-only, on the first row; the table's sort
    // holds while it is open.
    void showEditor();

    ReferenceTableModel* model() const { return model_; }
    CalculationGrid* grid() const { return grid_; }
    QStatusBar* statusBar() const { return status_; }

    // SetReferenceEditing.
    void setReferenceEditing(bool on);
    void miEditRazrRedClick();
    void miEditSelAllClick();
    void miEditDelRecClick();
    void miEditDelAllRecClick();
    void miTablFormClick();
    void miTablVigrVMEClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* action(const char* name, const QString& text, void (TReferenceForm::*handler)());
    bool reportEmpty();
    void goToRow(int row);
    // A new empty row at the end (Insert, or Down on the last row), in editing mode.
    void appendRow();

    DataModule& data_;
    UserDialogs& dialogs_;
    ReferenceTable table_;
    ReferenceTableModel* model_ = nullptr;
    CalculationGrid* grid_ = nullptr;
    QStatusBar* status_ = nullptr;
    QAction* miEditRazrRed_ = nullptr;
    QAction* miEditDelRec_ = nullptr;
    QAction* miEditDelAllRec_ = nullptr;
    bool lastKeyDown_ = false;
};

class TDiamTrPrForm : public TReferenceForm {
    Q_OBJECT
public:
    TDiamTrPrForm(DataModule& data, UserDialogs& dialogs, QWidget* parent = nullptr);
};

class TPlVodiOtTForm : public TReferenceForm {
    Q_OBJECT
public:
    TPlVodiOtTForm(DataModule& data, UserDialogs& dialogs, QWidget* parent = nullptr);
};

class TPoprKoefKUdPotForm : public TReferenceForm {
    Q_OBJECT
public:
    TPoprKoefKUdPotForm(DataModule& data, UserDialogs& dialogs, QWidget* parent = nullptr);
};

} // namespace zurm::gui
