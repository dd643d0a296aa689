#pragma once
// Shared helpers of the document session tests: a program folder with its
// settings, a session on it, and direct access to the files the session uses.

#include "base/Sql.h"
#include "session/DocumentSession.h"
#include "support/FakeDialogs.h"
#include "support/FullDisk.h"
#include "support/ProgramFolder.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <gtest/gtest.h>
#include <memory>

// Readable QString values in failure messages.
static inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace zurm::test {

// Runs statements on a database file through a connection of its own, as
// another program would.
inline void execOnFile(const QString& path, const QString& sql, const QVariantList& bindings = {})
{
    static QAtomicInt counter;
    const QString name = QStringLiteral("session-test-%1").arg(counter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            ADD_FAILURE() << db.lastError().text().toStdString();
        else
            execSql(db, sql, bindings);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

inline QVariant valueOnFile(const QString& path, const QString& sql)
{
    static QAtomicInt counter;
    const QString name = QStringLiteral("session-read-%1").arg(counter.fetchAndAddRelaxed(1));
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            ADD_FAILURE() << db.lastError().text().toStdString();
        else
            value = selectValue(db, sql);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A folder entry that cannot be deleted as a file, whoever runs the tests
// (permissions do not stop root): a directory with something in it.
inline void makeUndeletable(const QString& path)
{
    QDir().mkpath(path);
    writeBytes(path + QStringLiteral("/keep"), "x");
}


// A program folder, the settings in it and a session that has not started yet.
struct SessionTest : ::testing::Test {
    ProgramFolderFixture folder;
    FakeDialogs dialogs;
    FakeProgress progress;
    std::unique_ptr<DocumentSession> session = makeSession();

    // These tests are about files and messages: the indicator check is
    // replaced by one that accepts any catalogue and writes nothing, so the
    // bytes of a file stay comparable. The real check is the default.
    std::unique_ptr<DocumentSession> makeSession()
    {
        auto created = std::make_unique<DocumentSession>(folder.programFolder(), dialogs, progress);
        created->checkIndicators = [] { return true; };
        return created;
    }

    QString settingsFile() const { return folder.program(QStringLiteral("Nastr.mdb")); }

    void storeSettings(const QVariant& calculation, const QVariant& reference)
    {
        execOnFile(settingsFile(), QStringLiteral("UPDATE Настройки SET ФайлГР=?, ФайлСпр=?"),
                   {calculation, reference});
    }
    QVariant storedCalculation() const
    {
        return valueOnFile(settingsFile(), QStringLiteral("SELECT ФайлГР FROM Настройки"));
    }
    QVariant storedReference() const
    {
        return valueOnFile(settingsFile(), QStringLiteral("SELECT ФайлСпр FROM Настройки"));
    }

    // A calculation in the documents folder whose network status is set.
    QString calculation(const QString& name, int networkStatus, const QVariant& statusText = {})
    {
        const QString path = folder.newCalculation(name);
        execOnFile(path, QStringLiteral("UPDATE НазвРасч SET ПарТСКорр=?, ПарТСОш=?"), {networkStatus, statusText});
        return path;
    }
    // A calculation that opens with its grids shown.
    QString usableCalculation(const QString& name = QStringLiteral("calc.mdb"))
    {
        return calculation(name, 0);
    }

    // Starts with the given calculation file (reference: the delivered one)
    // and forgets the messages of the start.
    void startWith(const QVariant& calculationFile, const QVariant& referenceFile = QStringLiteral("Spr.mdb"))
    {
        storeSettings(calculationFile, referenceFile);
        ASSERT_TRUE(session->startUp(QString()));
        dialogs.messages.clear();
        dialogs.questions.clear();
        dialogs.fileRequests.clear();
    }

    // The edit lock beside an open calculation ("~$name.lock") is not counted.
    QStringList filesIn(const QString& path) const
    {
        QStringList files =
            QDir(path).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
        files.removeIf([](const QString& name) {
            return name.startsWith(QStringLiteral("~$")) && name.endsWith(QStringLiteral(".lock"));
        });
        return files;
    }

    static QString emptySegmentsMessage()
    {
        return QStringLiteral("Таблица \"Участки теплосети\" пуста.\r\rДля заполнения таблицы выполните команду:\r"
                              "Данные / Параметры теплосети");
    }
};

} // namespace zurm::test
