#pragma once
// A main window on a throw-away program folder with the delivered files and a
// copy of the sample calculation named in the settings. Every question goes to
// the scripted fake.

#include "document/DocumentSession.h"
#include "document/Sql.h"
#include "gui/entry/MainWindow.h"
// GCC 12 sees the optional<QString> of the scripted file answers as possibly
// uninitialised once it is inlined; it is not.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/FakeDialogs.h"
#pragma GCC diagnostic pop

#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest/QtTest>
#include <memory>

namespace zurm::test {

// Statements on a database file through a connection of its own.
class FileAccess {
public:
    explicit FileAccess(const QString& path) : name_(QStringLiteral("sample-window-%1").arg(++counter_))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        db.open();
    }
    ~FileAccess()
    {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    void exec(const QString& sql, const QVariantList& bindings = {}) const
    {
        execSql(QSqlDatabase::database(name_, false), sql, bindings);
    }
    QVariant value(const QString& sql, const QVariantList& bindings = {}) const
    {
        return selectValue(QSqlDatabase::database(name_, false), sql, bindings);
    }

private:
    inline static int counter_ = 0;
    QString name_;
};

class SampleWindow {
public:
    SampleWindow()
    {
        for (const char* name : {"GidrRas.mdb", "Spr.mdb", "Nastr.mdb"})
            copy(QStringLiteral(ZURM_BIN_DIR "/") + QString::fromUtf8(name), program(QString::fromUtf8(name)));
        calculation = docs(QStringLiteral("sample.mdb"));
        copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), calculation);
        FileAccess(program(QStringLiteral("Nastr.mdb"))).exec(QStringLiteral("UPDATE Настройки SET ФайлГР=?"), {calculation});
    }
    QString program(const QString& name) const { return program_.path() + QLatin1Char('/') + name; }
    QString docs(const QString& name) const { return docs_.path() + QLatin1Char('/') + name; }
    QString docsFolder() const { return docs_.path(); }
    QString settingsFile() const { return program(QStringLiteral("Nastr.mdb")); }

    // Opens the window on the program folder; the start-up sequence runs.
    std::unique_ptr<gui::MainWindow> show()
    {
        auto window = std::make_unique<gui::MainWindow>(program_.path(), &dialogs);
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("the main window did not become active");
        return window;
    }

    QString calculation;
    FakeDialogs dialogs;

private:
    static void copy(const QString& from, const QString& to)
    {
        QFile::remove(to);
        if (!QFile::copy(from, to))
            qWarning("cannot copy %s", qPrintable(from));
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
    }

    QTemporaryDir program_;
    QTemporaryDir docs_;
};

} // namespace zurm::test
