#pragma once

// Parts shared by the small dialogs of the network editor.

#include "base/UserDialogs.h"

#include <QPointer>
#include <QStatusBar>

class QAction;
class QLabel;
class QLineEdit;
class QMenuBar;
class QWidget;

namespace zurm::gui {

// Progress on a dialog's own status bar: the text of the row being written,
// the wait cursor, and repaints between rows. The dialog itself stays
// usable; it disables its own fields while it writes.
class StatusBarProgress : public Progress {
public:
    explicit StatusBarProgress(QStatusBar* bar) : bar_(bar) {}
    ~StatusBarProgress() override;
    void setStatus(const QString& text) override;
    void setBusy(bool busy) override;
    void processEvents() override;
    void lockWindow() override {}
    void unlockWindow() override {}

private:
    QPointer<QStatusBar> bar_;
    bool busy_ = false;
};

// A number field wide enough for the given count of digits.
QLineEdit* numberField(const char* name, int digits, QWidget* parent);
// A caption, the label of `buddy` when one is given.
QLabel* fieldLabel(const char* name, const QString& text, QWidget* buddy, QWidget* parent);

// A command of a dialog's menu bar, with its object name.
QAction* addMenuCommand(QMenuBar* menu, const char* name, const QString& text);

// The auto-fill dialogs' menu "Записать" (miSave), "Закрыть" (miClose), "?"
// (miHlp); returns the menu bar and gives the three actions.
QMenuBar* autoFillMenu(QWidget* parent, QAction*& miSave, QAction*& miClose, QAction*& miHlp);

} // namespace zurm::gui
