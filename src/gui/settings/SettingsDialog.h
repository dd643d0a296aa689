#pragma once

#include "settings/SettingsEdit.h"

#include <QDialog>
#include <QSqlDatabase>

class QCheckBox;
class QLineEdit;

namespace zurm {
class UserDialogs;
}

namespace zurm::gui {

// "Настройки программы" (TNastrProgForm): the four font sizes, the report
// precision and whether the calculation text is kept, in the one row of
// Настройки. "OK" stores what passes its checks and closes only when
// everything passed; "Отмена" and the window button store nothing.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(UserDialogs& dialogs, QWidget* parent = nullptr);

    // Shows the stored values and runs the window modally on the given
    // settings file. Returns Accepted after a successful "OK". A row that
    // cannot be read is reported and the window is not shown.
    int edit(const QSqlDatabase& settings);

    SettingsTexts texts() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showTexts(const SettingsTexts& texts);
    void ok();

    UserDialogs& dialogs_;
    QSqlDatabase settings_;
    QLineEdit* edFSizeTD_ = nullptr;
    QLineEdit* edFSizeZagColTD_ = nullptr;
    QLineEdit* edFSizeNaimPok_ = nullptr;
    QLineEdit* edFSizeGr_ = nullptr;
    QLineEdit* edTPok_ = nullptr;
    QCheckBox* cbSaveTXTRas_ = nullptr;
};

} // namespace zurm::gui
