#pragma once

#include <QFont>
#include <QObject>
#include <QStringList>

namespace zurm::gui {

class CompletionDialog;
class CommandHost;
class RunStop;
class TextViewer;

// "Выполнить расчет" of the main window with the two windows at the end of a
// run: the calculation text and the completion dialog, whose chosen outputs
// start once the run is over.
class RunCommands : public QObject {
    Q_OBJECT
public:
    explicit RunCommands(CommandHost& host);
    ~RunCommands() override;

    void run();
    // While a run goes on: what lets the user stop it.
    RunStop* runStop() const { return runStop_; }
    // Asked to close the window during a run: the run stops first and the
    // window closes once it has, when the user agrees.
    void askToCloseAfterRun();
    void setMemoFont(const QFont& font);

private:
    void showCalculationText(const QString& savedFile);
    QStringList showCompletion(const QString& message);
    void startFollowUps(const QStringList& commands);
    CompletionDialog* completionDialog();
    TextViewer* textViewer();

    CommandHost& host_;
    QFont memoFont_;
    CompletionDialog* completionDialog_ = nullptr;
    TextViewer* textViewer_ = nullptr;
    RunStop* runStop_ = nullptr;
    bool closeAfterRun_ = false;
};

} // namespace zurm::gui
