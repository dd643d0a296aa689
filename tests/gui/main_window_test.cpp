// The main window comes up under the offscreen platform, runs the start-up
// sequence on its program folder once it is shown and shows the open
// calculation in its caption; it keeps its place on the screen; the message
// boxes speak Russian and show each kind of message with its icon.
#include "base/Sql.h"
#include "gui/entry/MainWindow.h"
#include "gui/platform/Translations.h"
#include "gui/platform/WidgetDialogs.h"
#include "session/DocumentSession.h"
#include "support/ModalWindows.h"
#include "support/SampleWindow.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest/QtTest>
#include <QScreen>

namespace {
QStringList warnings;
void recordWarning(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        warnings.append(text);
}

// Notes whether the main window was on the screen when a message came.
class WatchingDialogs : public zurm::test::FakeDialogs {
public:
    QWidget* window = nullptr;
    QList<bool> windowExposed;
    void showMessage(const QString& text, zurm::MessageKind kind) override
    {
        windowExposed.append(window && window->windowHandle() && window->windowHandle()->isExposed());
        FakeDialogs::showMessage(text, kind);
    }
};

void copyDelivered(const QString& folder)
{
    for (const char* name : {"GidrRas.mdb", "Spr.mdb", "Nastr.mdb"}) {
        const QString target = folder + QLatin1Char('/') + QString::fromUtf8(name);
        QVERIFY(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/") + QString::fromUtf8(name), target));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
}

void storeCalculationPath(const QString& settingsFile, const QString& path)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("settings-edit"));
        db.setDatabaseName(settingsFile);
        QVERIFY(db.open());
        zurm::execSql(db, QStringLiteral("UPDATE Настройки SET ФайлГР=?"), {path});
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("settings-edit"));
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithoutADocument()
    {
        QTemporaryDir dir;
        copyDelivered(dir.path());
        zurm::gui::MainWindow window(dir.path());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.startedUp());
        QCOMPARE(window.windowTitle(), QStringLiteral("ЗУРМ 1.4"));
        QVERIFY(window.minimumWidth() >= 640 && window.minimumHeight() >= 480);
        for (const char* name : {"miFileNewRas", "miFileOpenRas", "miFileSaveRas", "miFileSaveRasAs", "miFileOpenSprav",
                                 "miFileSaveSpravAs", "miFileCompactRas", "miFileCompactSprav", "miFileExit", "tbNewRas"})
            QVERIFY2(window.findChild<QAction*>(QString::fromUtf8(name)), name);
        // The window's own work database lies in the program folder while it is open.
        const QString work = window.session().data().workPath();
        QCOMPARE(QFileInfo(work).absolutePath(), dir.path());
        QVERIFY(QFile::exists(work));
        window.close();
        QVERIFY(!QFile::exists(work));
    }

    void opensTheCalculationNamedInTheSettings()
    {
        QTemporaryDir dir;
        QTemporaryDir docs;
        copyDelivered(dir.path());
        const QString calculation = docs.path() + QStringLiteral("/sample.mdb");
        QVERIFY(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), calculation));
        QFile::setPermissions(calculation, QFile::ReadOwner | QFile::WriteOwner);
        storeCalculationPath(dir.path() + QStringLiteral("/Nastr.mdb"), calculation);

        zurm::gui::MainWindow window(dir.path());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.startedUp());
        QCOMPARE(window.windowTitle(), calculation + QStringLiteral(" - ЗУРМ 1.4"));
        QVERIFY(window.session().data().calculationOpen());
        QVERIFY(window.session().viewState().gridsVisible);
        window.close();
    }

    // The messages of the start-up come once the window is on the screen, and
    // closing leaves no warning of connections still in use.
    void startUpMessagesComeOverTheShownWindow()
    {
        zurm::test::SampleWindow setup(zurm::test::SampleWindow::CalculationNotNamed);
        const QString missing = setup.docs(QStringLiteral("missing.mdb"));
        setup.updateSettings(QStringLiteral("ФайлГР='") + missing + QLatin1Char('\''));
        WatchingDialogs dialogs;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordWarning);
        {
            zurm::gui::MainWindow window(setup.programFolder(), &dialogs);
            dialogs.window = &window;
            window.show();
            QVERIFY(dialogs.messages.isEmpty());
            QTRY_VERIFY(window.startedUp());
            QCOMPARE(dialogs.messages, QStringList{QStringLiteral("Файл ") + missing + QStringLiteral(" не найден.")});
            QCOMPARE(dialogs.windowExposed, QList<bool>{true});
            window.close();
        }
        qInstallMessageHandler(previous);
        QVERIFY2(warnings.filter(QStringLiteral("still in use")).isEmpty(), qPrintable(warnings.join('\n')));
    }

    // The first start takes most of the screen; later starts come back where
    // the window was closed.
    void theWindowKeepsItsPlace()
    {
        zurm::test::SampleWindow setup(zurm::test::SampleWindow::CalculationNotNamed);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QRect closedAt;
        {
            auto window = setup.show();
            QVERIFY(window->width() >= screen.width() * 8 / 10 && window->height() >= screen.height() * 8 / 10);
            window->setGeometry(QRect(screen.topLeft() + QPoint(40, 30), QSize(700, 520)));
            closedAt = window->geometry();
            window->close();
        }
        auto window = setup.show();
        QCOMPARE(window->geometry(), closedAt);
    }

    // Qt's own buttons read Russian; each kind of message has its icon.
    void messageBoxesSpeakRussian()
    {
        QVERIFY(zurm::gui::installQtTranslations(*QCoreApplication::instance()));
        QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Да"));
        QCOMPARE(buttons.button(QDialogButtonBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Нет"));
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Отмена"));

        using zurm::MessageKind;
        QCOMPARE(zurm::gui::messageIcon(MessageKind::Information), QMessageBox::Information);
        QCOMPARE(zurm::gui::messageIcon(MessageKind::Warning), QMessageBox::Warning);
        QCOMPARE(zurm::gui::messageIcon(MessageKind::Error), QMessageBox::Critical);
    }

    // A question and the save dialog answered as a person answers them, through
    // the window: "Да" by the mouse, Return on the default "Нет", a name typed
    // into the save dialog and Return.
    void questionsAndTheSaveDialogTakeTheWindowSystemsInput()
    {
        using namespace zurm::test;
        QWidget owner;
        owner.show();
        zurm::gui::WidgetDialogs dialogs(&owner);
        whenModalShown([](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            clickThroughWindow(box->button(QMessageBox::Yes));
            QVERIFY(closedByInput(box));
        });
        QVERIFY(dialogs.askYesNo(QStringLiteral("ЗУРМ"), QStringLiteral("Выполнить расчет?")));
        whenModalShown([](QWidget* modal) {
            keyThroughWindow(modal, Qt::Key_Return);
            QVERIFY(closedByInput(modal));
        });
        QVERIFY(!dialogs.askYesNo(QStringLiteral("ЗУРМ"), QStringLiteral("Выполнить расчет?")));

        QTemporaryDir folder;
        whenModalShown([](QWidget* modal) {
            QVERIFY(qobject_cast<QFileDialog*>(modal));
            typeThroughWindow(modal, QStringLiteral("протокол.txt"));
            keyThroughWindow(modal, Qt::Key_Return);
            QVERIFY(closedByInput(modal));
        });
        const std::optional<QString> chosen = dialogs.chooseFileToSave(
            QStringLiteral("Сохранить текст расчета как..."), folder.path(), QStringLiteral("Текстовый документ (*.txt)|*.txt"));
        QCOMPARE(chosen.value_or(QString()), folder.filePath(QStringLiteral("протокол.txt")));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
