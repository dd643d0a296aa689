#pragma once

#include "hydraulics/InputAdjustment.h"
#include "settings/AdjustmentSettings.h"
#include "settings/FontSizes.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zurm {
class DataModule;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

class CalculationGrid;

// The adjustment of every end node as the window lists it: node, consumer,
// scheme, G, H, τ1, τ2, u, elevator, dг, Hmin, nozzle, the orifices as
// "d × n" and the remark. Numbers with the user's decimal separator.
class AdjustmentRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRows(std::vector<InputAdjustment> rows);
    const std::vector<InputAdjustment>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<InputAdjustment> rows_;
};

// The elevator series, edited in place; every accepted edit is offered as
// the whole new series through `edited`, which the window stores or refuses.
class ElevatorsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setElevators(std::vector<Elevator> elevators);
    const std::vector<Elevator>& elevators() const { return elevators_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void edited(const std::vector<Elevator>& elevators, const QString& problem);

private:
    std::vector<Elevator> elevators_;
};

// "Наладочный расчет": the adjustment of every consumer's input after a run,
// the constants and the elevator series of the program settings beside it.
// A changed constant or elevator is stored in the settings and the table is
// computed again at once. Created for each showing.
class AdjustmentWindow : public QDialog {
    Q_OBJECT
public:
    AdjustmentWindow(DataModule& data, UserDialogs& dialogs, QWidget* parent = nullptr);

    // Reads the settings (creating their tables in an older settings file)
    // and computes the table. Returns why the window is not to be shown (the
    // calculation not done, a one-pipe network), empty otherwise. Throws Failure.
    QString prepare();
    void applyFontSizes(const FontSizes& sizes);

    // The menu commands: the table saved as CSV or as a workbook.
    void saveTable(bool workbook);

    CalculationGrid* grid() const { return grid_; }
    AdjustmentRowsModel* rowsModel() const { return rows_; }
    CalculationGrid* elevatorsGrid() const { return elevatorsGrid_; }
    ElevatorsModel* elevatorsModel() const { return elevators_; }
    const AdjustmentSettings& settings() const { return settings_; }

private:
    void showSettings();
    void constantEdited(int index);
    void addElevator();
    void deleteElevator();
    // Stores the settings and computes the table again; false (with the
    // message shown) when they are refused or cannot be written.
    // `fromGrid`: the change is an edit of the elevator grid, whose editor is
    // still open.
    bool apply(const AdjustmentSettings& settings, const QString& problem = QString(), bool fromGrid = false);
    void recompute();
    void showRows(std::vector<InputAdjustment> rows);
    void showRemark();

    DataModule& data_;
    UserDialogs& dialogs_;
    AdjustmentSettings settings_;
    AdjustmentRowsModel* rows_ = nullptr;
    ElevatorsModel* elevators_ = nullptr;
    CalculationGrid* grid_ = nullptr;
    CalculationGrid* elevatorsGrid_ = nullptr;
    std::vector<QLineEdit*> constants_;
    QLabel* summary_ = nullptr;
    QLabel* remark_ = nullptr;
};

} // namespace zurm::gui
