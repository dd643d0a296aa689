#pragma once

#include <QDialog>
#include <QPointer>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zurm {
class IndicatorTableModel;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

// "Предопределенные показатели: Изменить текущий показатель": one predefined
// indicator at a time. Only the settings the hydraulic model lets the user
// change are enabled: the full names of the two flows, whether the return length
// and flow are entered, the two head-loss formulas, and the report flag of every
// indicator. "OK" writes the enabled controls into the row; "Отмена" writes nothing.
class PredefinedIndicatorDialog : public QDialog {
    Q_OBJECT
public:
    explicit PredefinedIndicatorDialog(UserDialogs& dialogs, QWidget* parent = nullptr);

    // Fills the controls from a row of the predefined catalogue, enables what may
    // be changed and puts the focus on "OK".
    void load(IndicatorTableModel& model, int row);

    // Index of the checked type (0 "Заголовочный" … 3 "Итоговый"), -1 for none.
    int typeIndex() const;

    void accept() override;

private:
    void updateNote();

    UserDialogs& dialogs_;
    QPointer<IndicatorTableModel> model_;
    int row_ = -1;
    QString shortName_;

    QLineEdit* edNaimPok_ = nullptr;
    QLineEdit* edSokrNaimPok_ = nullptr;
    QGroupBox* rgTipPok_ = nullptr;
    QButtonGroup* typeButtons_ = nullptr;
    QCheckBox* cbVvodPols_ = nullptr;
    QLineEdit* edFormula_ = nullptr;
    QCheckBox* cbVivVOtsh_ = nullptr;
    QCheckBox* cb1trTS_ = nullptr;
    QCheckBox* cb2trTS_ = nullptr;
    QLabel* lbRashObr_ = nullptr;
    QPushButton* btOK_ = nullptr;
    QPushButton* btCancel_ = nullptr;
};

} // namespace zurm::gui
