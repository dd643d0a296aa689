#pragma once

#include "entry/RepeatedEntry.h"
#include "settings/FontSizes.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QStatusBar;

namespace zurm {
class UserDialogs;
}

namespace zurm::gui {

class CalculationGrid;

// "Ввод повторяющихся данных": the segments with their marks on the left, the
// eight assignment lines on the right. Created once and reused: the number
// fields keep what was typed in them, the indicator boxes get fresh lists and
// empty texts each time the window is prepared.
class RepeatedEntryDialog : public QDialog {
    Q_OBJECT
public:
    RepeatedEntryDialog(DataModule& data, UserDialogs& dialogs, QWidget* parent = nullptr);

    // Reads the segments and the choice lists. Returns the number of segments.
    // Throws Failure.
    int prepare();
    void applyFontSizes(const FontSizes& sizes);

    CalculationGrid* grid() const { return grid_; }
    MarkedSegmentsModel* model() const { return model_; }
    QComboBox* targetBox(int line) const { return targets_[line]; }
    QLineEdit* numberField(int line) const { return numbers_[line]; }
    QComboBox* sourceBox(int line) const { return sources_[line]; }

    // The menu commands.
    void markAll(MarkChange change); // "Да"/"Нет" для всех, invert
    void selectAllRows();
    void writeData();                // "Ввести данные"
    // A click on the mark cell, and Space.
    void toggleRow(int row);
    void spacePressed();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void checkBox(QComboBox* box);
    void changeMarks(MarkChange change, const std::optional<QList<qint64>>& ids);

    DataModule& data_;
    UserDialogs& dialogs_;
    MarkedSegmentsModel* model_ = nullptr;
    CalculationGrid* grid_ = nullptr;
    QStatusBar* status_ = nullptr;
    QComboBox* targets_[kAssignmentLines] = {};
    QLineEdit* numbers_[kAssignmentLines] = {};
    QComboBox* sources_[kAssignmentLines] = {};
};

} // namespace zurm::gui
