#pragma once

#include "entry/SpreadsheetLoad.h"
#include "settings/FontSizes.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace zurm {
class Progress;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

// What a load fills: the segment values of Табл, or the consumers at the end
// nodes (one node column, the fields of Потребители).
enum class LoadTarget { Segments, Consumers };

// "Загрузить данные из Microsoft Excel": the workbook, its sheet, the row
// range, the two node columns and up to eight indicators with their columns.
// The fields start from the remembered settings and go back to them however
// the window is closed. The status line of the load is `progress`'s.
// Loading consumers, the window asks for the end-node column and six fields;
// its fields are remembered while the program runs (the settings file keeps
// the segment load's), and start from the segment load's workbook and rows.
class SpreadsheetLoadDialog : public QDialog {
    Q_OBJECT
public:
    SpreadsheetLoadDialog(DataModule& data, UserDialogs& dialogs, Progress& progress, QWidget* parent = nullptr,
                          LoadTarget target = LoadTarget::Segments);

    // Reads the remembered settings, the indicator lists and the sheets of
    // the workbook. Throws Failure.
    void prepare();
    void applyFontSizes(const FontSizes& sizes);

    // "Выбрать файл Excel".
    void chooseWorkbook();
    // "Загрузить данные".
    void load();

    LoadSettings fields() const;

    QLineEdit* workbookField() const { return edFileExcel_; }
    QComboBox* sheetBox() const { return cbWorkSheet_; }
    QComboBox* nameBox(int line) const { return names_[line]; }
    QLineEdit* columnField(int line) const { return columns_[line]; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setFields(const LoadSettings& fields);
    void listSheets();
    QStringList sheets() const;
    void normaliseBoxes();
    QWidget* checkedField(const LoadCheck& check) const;

    DataModule& data_;
    UserDialogs& dialogs_;
    Progress& progress_;
    LoadTarget target_;
    QStringList indicators_;
    QString listingFailure_; // why the workbook's sheets could not be listed

    QLineEdit* edFileExcel_ = nullptr;
    QPushButton* btChoose_ = nullptr;
    QComboBox* cbWorkSheet_ = nullptr;
    QGroupBox* rows_ = nullptr;
    QGroupBox* nodes_ = nullptr;
    QLineEdit* edNachStr_ = nullptr;
    QLineEdit* edKonStr_ = nullptr;
    QLineEdit* edNachUz_ = nullptr;
    QLineEdit* edKonUz_ = nullptr;
    QComboBox* names_[kLoadLines] = {};
    QLineEdit* columns_[kLoadLines] = {};
    QPushButton* btLoad_ = nullptr;
    QPushButton* btClose_ = nullptr;
    QPushButton* btHelp_ = nullptr;
};

} // namespace zurm::gui
