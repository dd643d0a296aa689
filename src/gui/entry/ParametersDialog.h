#pragma once

#include "settings/FontSizes.h"

#include <QDialog>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QMenuBar;
class QSplitter;
class QTableView;

namespace zurm {
class DataModule;
class IndicatorTableModel;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

class CalculationGrid;
class PredefinedIndicatorDialog;

// "Параметры расчета": the network type, the two calculation options and the two
// indicator catalogues. Edits of the user indicators are written as they are
// made; the network type and the options are stored when the dialog closes, by
// "Сохранить и закрыть" or by the window's close button alike (there is no
// cancel). The definitions are examined by the command that opened the dialog,
// after it has closed.
class ParametersDialog : public QDialog {
    Q_OBJECT
public:
    ParametersDialog(DataModule& data, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~ParametersDialog() override;

    // Opening: the stored network type and options, both catalogues read again,
    // the first column of both grids; the user grid stands on userRow when it is
    // a row (the indicator the last check found faulty), else on its first row.
    // Throws Failure.
    void prepare(std::optional<int> userRow = std::nullopt, const QString& userShortName = QString());

    // Cells in dataCells points, column titles in columnTitles points.
    void applyFontSizes(const FontSizes& sizes);

    IndicatorTableModel* userModel() const { return userModel_; }
    IndicatorTableModel* predefinedModel() const { return predefinedModel_; }
    PredefinedIndicatorDialog* predefinedEditor() const { return predefinedEditor_; }

    // The menu commands.
    void editCurrentPredefined();   // "Изменить текущий показатель"
    void selectAllIndicators();     // "Выделить все записи"
    void deleteSelectedIndicators(); // "Удалить записи"
    void deleteAllIndicators();     // "Удалить все записи"
    void saveAndClose();            // "Сохранить и закрыть"
    // A new user indicator at the end of the grid (Insert, or Down on the last row).
    void appendIndicator();

    // Every way of closing stores the network type and the options first.
    void done(int result) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createMenu(QMenuBar* menu);
    void storeOptions();
    void fitFormulaColumns();
    void setUserCurrentRow(int row);
    void userRowChanged(int current, int previous);

    DataModule& data_;
    UserDialogs& dialogs_;
    IndicatorTableModel* userModel_ = nullptr;
    IndicatorTableModel* predefinedModel_ = nullptr;
    PredefinedIndicatorDialog* predefinedEditor_ = nullptr;
    std::optional<int> storedNetworkType_;

    QComboBox* cbTipSeti_ = nullptr;
    QCheckBox* cbOprD_ = nullptr;
    QCheckBox* cbRasRash_ = nullptr;
    QTableView* dgPredoprPok_ = nullptr;
    CalculationGrid* dgPok_ = nullptr;
    QSplitter* spPok_ = nullptr;
};

} // namespace zurm::gui
