#include "gui/platform/WidgetDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

namespace zurm::gui {

QString messageBoxText(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QString qtFilter(const QString& filter)
{
    // "Description|pattern" pairs separated by "|".
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        if (!description.contains(QLatin1Char('(')))
            description += QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
        out.append(description);
    }
    return out.join(QStringLiteral(";;"));
}

QMessageBox::Icon messageIcon(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Information: return QMessageBox::Information;
    case MessageKind::Warning: return QMessageBox::Warning;
    case MessageKind::Error: return QMessageBox::Critical;
    }
    return QMessageBox::Critical;
}

void WidgetDialogs::showMessage(const QString& text, MessageKind kind)
{
    QMessageBox box(messageIcon(kind), QStringLiteral("ЗУРМ"), messageBoxText(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool WidgetDialogs::askYesNo(const QString& caption, const QString& text)
{
    return QMessageBox::question(parent_, caption, messageBoxText(text), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

std::optional<QString> WidgetDialogs::chooseFileToOpen(const QString& title, const QString& initialFolder,
                                                       const QString& filter)
{
    const QString name = QFileDialog::getOpenFileName(parent_, title, initialFolder, qtFilter(filter));
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> WidgetDialogs::chooseFileToSave(const QString& title, const QString& initialFolder,
                                                       const QString& filter)
{
    // The program asks its own replace question, so the dialog does not.
    const QString name = QFileDialog::getSaveFileName(parent_, title, initialFolder, qtFilter(filter), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

bool WidgetDialogs::openWithDefaultApplication(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void WindowProgress::setStatus(const QString& text)
{
    if (window_)
        window_->statusBar()->showMessage(text);
}

void WindowProgress::setBusy(bool busy)
{
    if (busy) {
        if (busyDepth_++ == 0)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0 && --busyDepth_ == 0) {
        QApplication::restoreOverrideCursor();
    }
}

void WindowProgress::processEvents()
{
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void WindowProgress::lockWindow()
{
    if (lockDepth_++ > 0 || !window_)
        return;
    window_->menuBar()->setEnabled(false);
    for (QToolBar* bar : window_->findChildren<QToolBar*>())
        bar->setEnabled(false);
    if (window_->centralWidget())
        window_->centralWidget()->setEnabled(false);
}

void WindowProgress::unlockWindow()
{
    if (lockDepth_ == 0 || --lockDepth_ > 0 || !window_)
        return;
    window_->menuBar()->setEnabled(true);
    for (QToolBar* bar : window_->findChildren<QToolBar*>())
        bar->setEnabled(true);
    if (window_->centralWidget())
        window_->centralWidget()->setEnabled(true);
}

} // namespace zurm::gui
