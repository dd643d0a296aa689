#pragma once

#include <QObject>
#include <QPointer>

class QMainWindow;
class QPushButton;

namespace zurm {
class UserDialogs;
}

namespace zurm::gui {

// The way to stop a calculation run in the main window, for as long as the
// object lives: the button "Прервать расчет" in the status bar and Esc ask
// whether to stop; every other key and click to the locked window is held
// back, so the run may let all events through at its check points.
class RunStop : public QObject {
public:
    RunStop(QMainWindow& window, UserDialogs& dialogs);
    ~RunStop() override;
    RunStop(const RunStop&) = delete;
    RunStop& operator=(const RunStop&) = delete;

    // The user agreed to stop the run.
    bool requested() const { return requested_; }
    // Closing the window during the run: true when the user agreed to stop
    // the run and close the program once it has stopped.
    bool askToClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void askToStop();
    bool ask(const QString& text);

    QMainWindow& window_;
    UserDialogs& dialogs_;
    QPointer<QPushButton> button_;
    bool requested_ = false;
    bool asking_ = false;
};

} // namespace zurm::gui
