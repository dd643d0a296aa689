#include "gui/help/Help.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QUrl>

namespace zurm::gui {

namespace {

const QString kHelpCaption = QStringLiteral("Справка ЗУРМ 1.4");
const QString kContentsPage = QStringLiteral("index.htm");

QString& programFolderSetting()
{
    static QString folder;
    return folder;
}

QString currentHelpFolder()
{
    const QString executable = QCoreApplication::applicationDirPath();
    const QString program = programFolderSetting().isEmpty() ? executable : programFolderSetting();
    return resolveHelpFolder(program, executable);
}

QString normalizedTopic(const QString& topic)
{
    QString path = topic.trimmed();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype anchor = path.indexOf(QLatin1Char('#'));
    if (anchor >= 0)
        path.truncate(anchor);
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return path;
}

QString anchorOf(const QString& topic)
{
    const qsizetype anchor = topic.indexOf(QLatin1Char('#'));
    return anchor >= 0 ? topic.mid(anchor + 1) : QString();
}

// The page shown instead of a file that is not there.
QString missingPage(const QString& path, const QString& helpFolder)
{
    const QString contents = QDir(helpFolder).filePath(kContentsPage);
    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>Страница справки не найдена</title>"
                                  "</head><body><h1>Страница справки не найдена</h1><p>Файл <b>")
                   + QDir::toNativeSeparators(path).toHtmlEscaped()
                   + QStringLiteral("</b> отсутствует.</p><p>Справка программы установлена не полностью: страницы "
                                    "справки должны находиться в папке <b>")
                   + QDir::toNativeSeparators(helpFolder).toHtmlEscaped()
                   + QStringLiteral("</b>. Восстановите эту папку из поставки программы.</p>");
    if (QFileInfo(contents).isFile() && QFileInfo(contents) != QFileInfo(path))
        html += QStringLiteral("<p><a href=\"") + QUrl::fromLocalFile(contents).toString(QUrl::FullyEncoded)
                + QStringLiteral("\">Перейти к содержанию справки</a></p>");
    return html + QStringLiteral("</body></html>");
}

// A missing page, opened by a topic or by a link, shows the message instead of
// leaving the previous page in place without a word.
class HelpBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    QString helpFolder;

protected:
    QVariant loadResource(int type, const QUrl& name) override
    {
        if (type == QTextDocument::HtmlResource && name.isLocalFile()) {
            const QString path = name.toLocalFile();
            if (!QFileInfo(path).isFile())
                return missingPage(path, helpFolder);
        }
        return QTextBrowser::loadResource(type, name);
    }
};

class HelpWindow : public QMainWindow {
public:
    HelpWindow() : QMainWindow(nullptr, Qt::Window)
    {
        setObjectName(QStringLiteral("HelpForm"));
        setWindowTitle(kHelpCaption);
        // Reading help never keeps the program running after its main window closed.
        setAttribute(Qt::WA_QuitOnClose, false);
        resize(860, 640);

        browser_ = new HelpBrowser(this);
        browser_->setObjectName(QStringLiteral("brHelp"));
        browser_->setOpenExternalLinks(true);
        setCentralWidget(browser_);

        auto* toolbar = addToolBar(QStringLiteral("tbHelp"));
        toolbar->setObjectName(QStringLiteral("tbHelp"));
        toolbar->setMovable(false);
        toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        QAction* back = toolbar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Назад"));
        back->setObjectName(QStringLiteral("tbBack"));
        back->setShortcut(QKeySequence::Back);
        back->setEnabled(false);
        QAction* forward =
            toolbar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Вперед"));
        forward->setObjectName(QStringLiteral("tbForward"));
        forward->setShortcut(QKeySequence::Forward);
        forward->setEnabled(false);
        QAction* contents =
            toolbar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Содержание"));
        contents->setObjectName(QStringLiteral("tbContents"));
        QAction* close = new QAction(QStringLiteral("Закрыть"), this);
        close->setObjectName(QStringLiteral("miClose"));
        close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence::Close});
        addAction(close);

        connect(back, &QAction::triggered, browser_, &QTextBrowser::backward);
        connect(forward, &QAction::triggered, browser_, &QTextBrowser::forward);
        connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
        connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
        connect(contents, &QAction::triggered, this, [this] { open(QString()); });
        connect(close, &QAction::triggered, this, &QWidget::close);
    }

    void open(const QString& topic)
    {
        const QString folder = currentHelpFolder();
        browser_->helpFolder = folder;
        QUrl url = QUrl::fromLocalFile(helpPagePath(folder, topic));
        const QString anchor = anchorOf(topic);
        if (!anchor.isEmpty())
            url.setFragment(anchor);
        if (url == browser_->source())
            browser_->reload(); // a page edited meanwhile is shown as it is now
        else
            browser_->setSource(url);
    }

    // Shown from a modal dialog the window belongs to that dialog, or the dialog
    // would block it. When such a dialog goes away the window goes back to the
    // dialog's own window and stays open.
    void attachTo(QWidget* owner)
    {
        if (parentWidget() == owner)
            return;
        if (QWidget* previous = parentWidget())
            previous->removeEventFilter(this);
        const bool visible = isVisible();
        const QRect frame = geometry();
        setParent(owner, Qt::Window);
        if (visible) {
            setGeometry(frame);
            show();
        }
        if (owner && owner->isModal())
            owner->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A dialog minimized with its window stays the owner; only closing it counts.
        if (watched == parentWidget() && event->type() == QEvent::Hide && !event->spontaneous()) {
            QWidget* owner = parentWidget();
            QWidget* next = owner->parentWidget() ? owner->parentWidget()->window() : nullptr;
            attachTo(next);
        }
        return QMainWindow::eventFilter(watched, event);
    }

private:
    HelpBrowser* browser_ = nullptr;
};

QPointer<HelpWindow>& theWindow()
{
    static QPointer<HelpWindow> window;
    return window;
}

} // namespace

void setHelpProgramFolder(const QString& programFolder)
{
    programFolderSetting() = programFolder;
}

QString resolveHelpFolder(const QString& programFolder, const QString& executableFolder)
{
    const QString own = QDir(programFolder).filePath(QStringLiteral("help"));
    if (QFileInfo(own).isDir())
        return QDir::cleanPath(own);
    const QString beside = QDir(executableFolder).filePath(QStringLiteral("help"));
    if (!executableFolder.isEmpty() && QFileInfo(beside).isDir())
        return QDir::cleanPath(beside);
    return QDir::cleanPath(own);
}

QString helpPagePath(const QString& helpFolder, const QString& topic)
{
    const QString page = normalizedTopic(topic);
    return QDir::cleanPath(QDir(helpFolder).filePath(page.isEmpty() ? kContentsPage : page));
}

QWidget* helpWindow()
{
    return theWindow().data();
}

void showHelp(QWidget* parent, const QString& topic)
{
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner && parent)
        owner = parent->window();
    QPointer<HelpWindow>& window = theWindow();
    if (!window)
        window = new HelpWindow;
    window->attachTo(owner);
    window->open(topic);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace zurm::gui
