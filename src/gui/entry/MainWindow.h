#pragma once

#include <QMainWindow>
#include <memory>

class QAction;

namespace zurm {
class DocumentSession;
}

namespace zurm::gui {

class WidgetDialogs;
class WindowProgress;

// The main window. It owns the document session and carries the file
// commands; the data grids are bound to the session's open tables.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // programFolder empty: resolved from the executable's folder.
    explicit MainWindow(const QString& programFolder = QString(), QWidget* parent = nullptr);
    ~MainWindow() override;

    DocumentSession& session() { return *session_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* addCommand(QMenu* menu, const QString& objectName, const QString& text, void (MainWindow::*slot)());
    void runCommand(bool (DocumentSession::*command)());
    void refreshFromSession();
    void newCalculation();
    void openCalculation();
    void saveCalculation();
    void saveCalculationAs();
    void openReference();
    void saveReferenceAs();
    void compactCalculation();
    void compactReference();
    void about();

    std::unique_ptr<WidgetDialogs> dialogs_;
    std::unique_ptr<WindowProgress> progress_;
    std::unique_ptr<DocumentSession> session_;
    bool started_ = false;
};

} // namespace zurm::gui
