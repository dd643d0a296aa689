// The main window comes up under the offscreen platform, runs the start-up
// sequence on its program folder and shows the open calculation in its caption.
#include "document/DocumentSession.h"
#include "document/Sql.h"
#include "gui/entry/MainWindow.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest/QtTest>

namespace {
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
        QCOMPARE(window.windowTitle(), calculation + QStringLiteral(" - ЗУРМ 1.4"));
        QVERIFY(window.session().data().calculationOpen());
        QVERIFY(window.session().viewState().gridsVisible);
        window.close();
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
