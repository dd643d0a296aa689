#pragma once

#include "base/UserDialogs.h"

#include <QMessageBox>
#include <QPointer>

class QMainWindow;
class QWidget;

namespace zurm::gui {

// UserDialogs with message boxes and file dialogs.
class WidgetDialogs : public UserDialogs {
public:
    explicit WidgetDialogs(QWidget* parent) : parent_(parent) {}
    void showMessage(const QString& text, MessageKind kind) override;
    bool askYesNo(const QString& caption, const QString& text) override;
    std::optional<QString> chooseFileToOpen(const QString& title, const QString& initialFolder,
                                            const QString& filter) override;
    std::optional<QString> chooseFileToSave(const QString& title, const QString& initialFolder,
                                            const QString& filter) override;
    bool openWithDefaultApplication(const QString& path) override;

private:
    QPointer<QWidget> parent_;
};

// Progress on the main window: status bar text, wait cursor, window lock.
class WindowProgress : public Progress {
public:
    explicit WindowProgress(QMainWindow* window) : window_(window) {}
    void setStatus(const QString& text) override;
    void setBusy(bool busy) override;
    void processEvents() override;
    void lockWindow() override;
    void unlockWindow() override;

private:
    QPointer<QMainWindow> window_;
    int busyDepth_ = 0;
    int lockDepth_ = 0;
};

// The icon of a message box showing the program's message.
QMessageBox::Icon messageIcon(MessageKind kind);
// "\r" and "\r\n" of the program's messages as line breaks of a message box.
QString messageBoxText(const QString& text);
// "База данных (*.mdb)|*.mdb" as a Qt file-dialog filter.
QString qtFilter(const QString& filter);

} // namespace zurm::gui
