#pragma once
// A main window on a throw-away program folder with the delivered files and a
// copy of the sample calculation, by default named in the settings as the open
// calculation. Every question goes to the scripted fake.

#include "base/Sql.h"
#include "gui/entry/MainWindow.h"
#include "session/DocumentSession.h"
// GCC 12 sees the optional<QString> of the scripted file answers as possibly
// uninitialised once it is inlined; it is not.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/FakeDialogs.h"
#pragma GCC diagnostic pop

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
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
    FileAccess(const FileAccess&) = delete;
    FileAccess& operator=(const FileAccess&) = delete;

    void exec(const QString& sql, const QVariantList& bindings = {}) const { execSql(db(), sql, bindings); }
    QVariant value(const QString& sql, const QVariantList& bindings = {}) const
    {
        return selectValue(db(), sql, bindings);
    }
    // The first column of every row the query returns.
    QVariantList columnValues(const QString& sql) const
    {
        QVariantList values;
        QSqlQuery query = selectSql(db(), sql);
        while (query.next())
            values.append(query.value(0));
        return values;
    }
    // The same, as texts.
    QStringList strings(const QString& sql) const
    {
        QStringList values;
        for (const QVariant& cell : columnValues(sql))
            values.append(cell.toString());
        return values;
    }
    // The names of the table's columns in their order.
    QStringList columnNames(const QString& table) const
    {
        QStringList names;
        for (const ColumnInfo& column : tableColumns(db(), table))
            names.append(column.name);
        return names;
    }

private:
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }

    inline static int counter_ = 0;
    QString name_;
};

// The child of the given type and object name; warns when there is none.
template <typename T>
T* child(QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromUtf8(name));
    if (!found)
        qWarning("no %s", name);
    return found;
}

class SampleWindow {
public:
    // Whether the settings name the copied sample as the open calculation from
    // the start; without it they keep the delivered value until
    // nameCalculationInSettings().
    enum Naming { CalculationNamed, CalculationNotNamed };

    explicit SampleWindow(Naming naming = CalculationNamed)
    {
        for (const char* name : {"GidrRas.mdb", "Spr.mdb", "Nastr.mdb"})
            copy(QStringLiteral(ZURM_BIN_DIR "/") + QString::fromUtf8(name), program(QString::fromUtf8(name)));
        // The report definitions beside the program.
        for (const QString& report : QDir(QStringLiteral(ZURM_BIN_DIR)).entryList({QStringLiteral("*.rav")}, QDir::Files))
            copy(QStringLiteral(ZURM_BIN_DIR "/") + report, program(report));
        calculation = docs(QStringLiteral("sample.mdb"));
        copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), calculation);
        if (naming == CalculationNamed)
            nameCalculationInSettings();
    }
    void nameCalculationInSettings() const
    {
        FileAccess(settingsFile()).exec(QStringLiteral("UPDATE Настройки SET ФайлГР=?"), {calculation});
    }
    // Stores values in the settings row: `assignments` as after SET, e.g. "СохрТекстРас=0".
    void updateSettings(const QString& assignments) const
    {
        FileAccess(settingsFile()).exec(QStringLiteral("UPDATE Настройки SET ") + assignments);
    }

    QString program(const QString& name) const { return program_.path() + QLatin1Char('/') + name; }
    QString programFolder() const { return program_.path(); }
    QString docs(const QString& name) const { return docs_.path() + QLatin1Char('/') + name; }
    QString docsFolder() const { return docs_.path(); }
    QString settingsFile() const { return program(QStringLiteral("Nastr.mdb")); }
    // A connection of its own to the calculation file.
    FileAccess file() const { return FileAccess(calculation); }

    // Opens the window on the program folder; the start-up sequence runs.
    std::unique_ptr<gui::MainWindow> show()
    {
        auto window = std::make_unique<gui::MainWindow>(program_.path(), &dialogs);
        window->show();
        window->activateWindow();
        // A window that does not come up fails the test rather than letting it
        // go on against a window in an unknown state.
        if (!QTest::qWaitForWindowActive(window.get()))
            QTest::qFail("the main window did not become active", __FILE__, __LINE__);
        // The start-up sequence runs once the window is on the screen.
        else if (!QTest::qWaitFor([&] { return window->startedUp(); }))
            QTest::qFail("the start-up sequence did not run", __FILE__, __LINE__);
        return window;
    }

    QString calculation;
    FakeDialogs dialogs;

private:
    static void copy(const QString& from, const QString& to)
    {
        QFile::remove(to);
        QVERIFY2(QFile::copy(from, to), qPrintable(from));
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
    }

    QTemporaryDir program_;
    QTemporaryDir docs_;
};

} // namespace zurm::test
