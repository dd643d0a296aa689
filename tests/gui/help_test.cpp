// The help window and the delivered help pages: topics open in one reused
// window, every topic the program asks for exists, every link of every page
// leads somewhere, a missing page says so, and the main window's help commands
// open the window.
#include "gui/entry/MainWindow.h"
#include "gui/help/Help.h"
// GCC sees the optional QString of the fake file dialogs as maybe uninitialized.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/FakeDialogs.h"
#pragma GCC diagnostic pop

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest/QtTest>

namespace {

const QString kHelpFolder = QStringLiteral(ZURM_BIN_DIR "/help");
const QString kMissingTitle = QStringLiteral("Страница справки не найдена");

// Every topic the windows of the program open with their "?" items, and the contents.
const QStringList kTopics = {
    QStringLiteral("GR\\VvOsnDan.htm"),     QStringLiteral("GR\\VvParR.htm"),
    QStringLiteral("GR\\FormShTS.htm"),     QStringLiteral("GR\\RisShTS.htm"),
    QStringLiteral("GR\\RZapT.htm"),        QStringLiteral("GR\\VvParTS.htm"),
    QStringLiteral("GR\\ScK.htm"),          QStringLiteral("GR\\SelUzNaShTS.htm"),
    QStringLiteral("GR\\RenameSelUzTS.htm"), QStringLiteral("GR\\VvPovtDan.htm"),
    QStringLiteral("GR\\LoadFromME.htm"),   QStringLiteral("GR\\OtGenGr.htm"),
    QStringLiteral("GR\\VipRas.htm"),       QStringLiteral("DV\\NastrProg.htm"),
    QStringLiteral("DV\\SprDtr.htm"),       QStringLiteral("DV\\SprPlVodiOtT.htm"),
    QStringLiteral("DV\\SprPoprKKUP.htm"),  QStringLiteral("index.htm"),
    QStringLiteral("GR/NalRas.htm"),
};

QTextBrowser* browser()
{
    QWidget* window = zurm::gui::helpWindow();
    return window ? window->findChild<QTextBrowser*>(QStringLiteral("brHelp")) : nullptr;
}

QString shownFile()
{
    QTextBrowser* view = browser();
    return view ? QDir::cleanPath(view->source().toLocalFile()) : QString();
}

QString readUtf8(const QString& path, bool* valid = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(file.readAll());
    if (valid)
        *valid = !decoder.hasError();
    return text;
}

QStringList helpPages()
{
    QStringList pages;
    QDirIterator it(kHelpFolder, {QStringLiteral("*.htm")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        pages.append(QDir::cleanPath(it.next()));
    pages.sort();
    return pages;
}

bool holdsAnchor(const QString& page, const QString& anchor)
{
    const QString text = readUtf8(page);
    return text.contains(QStringLiteral("id=\"") + anchor + QLatin1Char('"'))
           || text.contains(QStringLiteral("name=\"") + anchor + QLatin1Char('"'));
}

void copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QVERIFY(QFile::copy(source, target));
    }
}

void copyDelivered(const QString& folder)
{
    for (const char* name : {"GidrRas.mdb", "Spr.mdb", "Nastr.mdb"}) {
        const QString target = folder + QLatin1Char('/') + QString::fromUtf8(name);
        QVERIFY(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/") + QString::fromUtf8(name), target));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
}

// Runs check on the modal window that the next command opens, then closes it.
void onNextModal(std::function<void(QWidget*)> check)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        check(modal);
        modal->close();
    });
    timer->start();
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void resolvesTheHelpFolderAndPageOfATopic()
    {
        QTemporaryDir withHelp;
        QTemporaryDir withoutHelp;
        QTemporaryDir executable;
        QVERIFY(QDir(withHelp.path()).mkdir(QStringLiteral("help")));
        QVERIFY(QDir(executable.path()).mkdir(QStringLiteral("help")));
        const QString exeHelp = executable.path() + QStringLiteral("/help");
        QTemporaryDir bareExecutable;

        struct FolderCase {
            QString program, executable, expected;
        };
        const FolderCase folders[] = {
            {withHelp.path(), executable.path(), withHelp.path() + QStringLiteral("/help")},
            // A per-user program folder has no help: the pages beside the executable serve.
            {withoutHelp.path(), executable.path(), exeHelp},
            // Nowhere: the program folder's help is named in the missing-page message.
            {withoutHelp.path(), bareExecutable.path(), withoutHelp.path() + QStringLiteral("/help")},
        };
        for (const FolderCase& c : folders)
            QCOMPARE(zurm::gui::resolveHelpFolder(c.program, c.executable), c.expected);

        const QString root = QStringLiteral("/opt/zurm/help");
        const std::pair<QString, QString> topics[] = {
            {QStringLiteral("GR\\VvParR.htm"), root + QStringLiteral("/GR/VvParR.htm")},
            {QStringLiteral("GR/VvParR.htm"), root + QStringLiteral("/GR/VvParR.htm")},
            {QStringLiteral(" DV\\NastrProg.htm "), root + QStringLiteral("/DV/NastrProg.htm")},
            {QStringLiteral("/GR/VipRas.htm#save"), root + QStringLiteral("/GR/VipRas.htm")},
            {QString(), root + QStringLiteral("/index.htm")},
            {QStringLiteral("#formula"), root + QStringLiteral("/index.htm")},
        };
        for (const auto& [topic, expected] : topics)
            QCOMPARE(zurm::gui::helpPagePath(root, topic), expected);
    }

    void opensTopicsInOneWindowWithHistory()
    {
        zurm::gui::setHelpProgramFolder(QStringLiteral(ZURM_BIN_DIR));
        zurm::gui::showHelp(nullptr, QStringLiteral("GR\\VvParR.htm"));
        QWidget* window = zurm::gui::helpWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->objectName(), QStringLiteral("HelpForm"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Справка ЗУРМ 1.4"));
        QCOMPARE(browser()->documentTitle(), QStringLiteral("Параметры расчета"));
        QCOMPARE(shownFile(), kHelpFolder + QStringLiteral("/GR/VvParR.htm"));
        QVERIFY(browser()->toPlainText().contains(QStringLiteral("Правила записи формул")));

        // The contents, in the same window; back and forward walk the history.
        zurm::gui::showHelp(nullptr);
        QCOMPARE(zurm::gui::helpWindow(), window);
        QCOMPARE(shownFile(), kHelpFolder + QStringLiteral("/index.htm"));
        auto* back = window->findChild<QAction*>(QStringLiteral("tbBack"));
        auto* forward = window->findChild<QAction*>(QStringLiteral("tbForward"));
        auto* contents = window->findChild<QAction*>(QStringLiteral("tbContents"));
        QVERIFY(back && forward && contents);
        QVERIFY(back->isEnabled());
        QVERIFY(!forward->isEnabled());
        back->trigger();
        QCOMPARE(shownFile(), kHelpFolder + QStringLiteral("/GR/VvParR.htm"));
        QVERIFY(forward->isEnabled());
        forward->trigger();
        QCOMPARE(shownFile(), kHelpFolder + QStringLiteral("/index.htm"));

        // A link of the contents leads to its page; Contents comes back.
        zurm::gui::showHelp(nullptr, QStringLiteral("DV/NastrProg.htm"));
        QCOMPARE(browser()->documentTitle(), QStringLiteral("Настройки программы"));
        contents->trigger();
        QCOMPARE(shownFile(), kHelpFolder + QStringLiteral("/index.htm"));
        delete window;
    }

    void everyTopicOfTheProgramIsAPage()
    {
        for (const QString& topic : kTopics) {
            const QString path = zurm::gui::helpPagePath(kHelpFolder, topic);
            QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
            bool utf8 = false;
            const QString text = readUtf8(path, &utf8);
            QVERIFY2(utf8, qPrintable(path));
            QVERIFY2(text.contains(QStringLiteral("<meta charset=\"utf-8\">")), qPrintable(path));
            const QRegularExpressionMatch title = QRegularExpression(QStringLiteral("<title>([^<]+)</title>")).match(text);
            QVERIFY2(title.hasMatch() && !title.captured(1).trimmed().isEmpty(), qPrintable(path));
        }
    }

    void everyLinkOfEveryPageResolves()
    {
        const QStringList pages = helpPages();
        QVERIFY(pages.size() >= kTopics.size());
        const QRegularExpression link(QStringLiteral("(?:href|src)\\s*=\\s*\"([^\"]*)\""));
        QSet<QString> linked;
        QStringList broken;
        for (const QString& page : pages) {
            const QString text = readUtf8(page);
            for (auto it = link.globalMatch(text); it.hasNext();) {
                const QString target = it.next().captured(1);
                if (target.startsWith(QStringLiteral("http:")) || target.startsWith(QStringLiteral("https:"))
                    || target.startsWith(QStringLiteral("mailto:")))
                    continue;
                const qsizetype hash = target.indexOf(QLatin1Char('#'));
                const QString file = hash >= 0 ? target.left(hash) : target;
                const QString anchor = hash >= 0 ? target.mid(hash + 1) : QString();
                const QString resolved =
                    file.isEmpty() ? page : QDir::cleanPath(QFileInfo(page).absolutePath() + QLatin1Char('/') + file);
                if (!QFileInfo(resolved).isFile()) {
                    broken.append(page + QStringLiteral(" -> ") + target);
                    continue;
                }
                if (!anchor.isEmpty() && !holdsAnchor(resolved, anchor))
                    broken.append(page + QStringLiteral(" -> ") + target + QStringLiteral(" (no anchor)"));
                if (resolved != page)
                    linked.insert(resolved);
            }
        }
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('\n'))));
        // No page is out of reach: each one but the contents is linked from another.
        for (const QString& page : pages)
            if (!page.endsWith(QStringLiteral("/help/index.htm")))
                QVERIFY2(linked.contains(page), qPrintable(page + QStringLiteral(" is linked from no page")));
    }

    void aMissingPageSaysSo()
    {
        QTemporaryDir empty;
        struct Case {
            QString programFolder, topic, expectedFile;
        };
        const Case cases[] = {
            {QStringLiteral(ZURM_BIN_DIR), QStringLiteral("GR\\NoSuchPage.htm"), QStringLiteral("NoSuchPage.htm")},
            // A program folder without pages (the test executable has none beside it either).
            {empty.path(), QStringLiteral("GR/VvParR.htm"), QStringLiteral("VvParR.htm")},
            {empty.path(), QString(), QStringLiteral("index.htm")},
        };
        for (const Case& c : cases) {
            zurm::gui::setHelpProgramFolder(c.programFolder);
            zurm::gui::showHelp(nullptr, c.topic);
            QVERIFY(browser());
            const QString text = browser()->toPlainText();
            QVERIFY2(text.contains(kMissingTitle), qPrintable(c.topic));
            QVERIFY2(text.contains(c.expectedFile), qPrintable(text));
        }
        // The window still works: a real page opens after a missing one.
        zurm::gui::setHelpProgramFolder(QStringLiteral(ZURM_BIN_DIR));
        zurm::gui::showHelp(nullptr, QStringLiteral("GR/VipRas.htm"));
        QCOMPARE(browser()->documentTitle(), QStringLiteral("Выполнение расчета"));
        delete zurm::gui::helpWindow();
    }

    void mainWindowHelpCommandsOpenTheWindow()
    {
        QTemporaryDir dir;
        copyDelivered(dir.path());
        copyFolder(kHelpFolder, dir.path() + QStringLiteral("/help"));
        zurm::test::FakeDialogs dialogs;
        zurm::gui::MainWindow window(dir.path(), &dialogs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString help = QDir::cleanPath(dir.path() + QStringLiteral("/help"));

        struct Command {
            const char* action;
            QString expectedFile;
            QString expectedTitle;
        };
        const Command commands[] = {
            {"miHlp", help + QStringLiteral("/GR/VvOsnDan.htm"), QStringLiteral("Главное окно")},
            {"miSpravkaSprZURM14", help + QStringLiteral("/index.htm"), QStringLiteral("Справка ЗУРМ 1.4: содержание")},
            {"miHlp", help + QStringLiteral("/GR/VvOsnDan.htm"), QStringLiteral("Главное окно")},
            {"tbSprZURM", help + QStringLiteral("/index.htm"), QStringLiteral("Справка ЗУРМ 1.4: содержание")},
        };
        for (const Command& command : commands) {
            auto* action = window.findChild<QAction*>(QString::fromUtf8(command.action));
            QVERIFY2(action && action->isEnabled(), command.action);
            action->trigger();
            QWidget* helpWindow = zurm::gui::helpWindow();
            QVERIFY(helpWindow && helpWindow->isVisible());
            QCOMPARE(helpWindow->parentWidget(), static_cast<QWidget*>(&window));
            QCOMPARE(shownFile(), command.expectedFile);
            QCOMPARE(browser()->documentTitle(), command.expectedTitle);
        }
        window.close();
    }

    void aboutNamesTheProgramVersionAndDate()
    {
        QTemporaryDir dir;
        copyDelivered(dir.path());
        zurm::test::FakeDialogs dialogs;
        zurm::gui::MainWindow window(dir.path(), &dialogs);
        QString title;
        QString text;
        onNextModal([&](QWidget* modal) {
            title = modal->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                text = box->text();
        });
        window.findChild<QAction*>(QStringLiteral("miSpravkaOProg"))->trigger();
        QCOMPARE(title, QStringLiteral("О программе"));
        QVERIFY2(text.contains(QStringLiteral("ЗУРМ")) && text.contains(QStringLiteral("1.4")), qPrintable(text));
        QVERIFY2(QRegularExpression(QStringLiteral("\\d{2}\\.\\d{2}\\.\\d{4}")).match(text).hasMatch(), qPrintable(text));
    }

    // A modal dialog blocks every window that is not its own, so help opened from
    // a dialog belongs to it, and stays open for the main window after it closes.
    void helpFromAModalDialogBelongsToIt()
    {
        zurm::gui::setHelpProgramFolder(QStringLiteral(ZURM_BIN_DIR));
        QWidget main;
        main.show();
        zurm::gui::showHelp(&main, QStringLiteral("GR/VvOsnDan.htm"));
        QCOMPARE(zurm::gui::helpWindow()->parentWidget(), &main);
        {
            QDialog dialog(&main);
            QWidget* ownerWhileOpen = nullptr;
            bool visibleWhileOpen = false;
            QTimer::singleShot(0, &dialog, [&] {
                zurm::gui::showHelp(&dialog, QStringLiteral("DV/NastrProg.htm"));
                ownerWhileOpen = zurm::gui::helpWindow()->parentWidget();
                visibleWhileOpen = zurm::gui::helpWindow()->isVisible();
                dialog.accept();
            });
            dialog.exec();
            QCOMPARE(ownerWhileOpen, static_cast<QWidget*>(&dialog));
            QVERIFY(visibleWhileOpen);
        }
        // The dialog is gone; the help window is still there, on the same page.
        QWidget* window = zurm::gui::helpWindow();
        QVERIFY(window);
        QCOMPARE(window->parentWidget(), &main);
        QVERIFY(window->isVisible());
        QCOMPARE(shownFile(), kHelpFolder + QStringLiteral("/DV/NastrProg.htm"));
    }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
