// zurm-calc as engineers and scripts call it: exit codes, messages on stderr,
// and what --prepare does to a calculation file.
#include "document/Sql.h"
#include "support/ProgramFolder.h"

#include <QProcess>
#include <QSqlDatabase>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome zurmCalc(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"), arguments);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

void execOn(const QString& file, const QString& sql)
{
    const QString name = QStringLiteral("zurm-calc-test");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        zurm::execSql(db, sql);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QVariant valueOn(const QString& file, const QString& sql)
{
    const QString name = QStringLiteral("zurm-calc-value");
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.open();
        value = zurm::selectValue(db, sql);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

QStringList columnsOf(const QString& file, const QString& table)
{
    const QString name = QStringLiteral("zurm-calc-columns");
    QStringList names;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.open();
        for (const zurm::ColumnInfo& column : zurm::tableColumns(db, table))
            names.append(column.name);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return names;
}

} // namespace

TEST(ZurmCalc, UsageAndHelp)
{
    const Outcome help = zurmCalc({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--prepare")));

    for (const QStringList& bad : {QStringList{}, QStringList{QStringLiteral("--prepare")},
                                   QStringList{QStringLiteral("--bogus")}}) {
        const Outcome outcome = zurmCalc(bad);
        EXPECT_EQ(outcome.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_FALSE(outcome.err.isEmpty());
    }
}

TEST(ZurmCalc, PrepareShapesTheTablesForTheDefinitions)
{
    zurm::test::ProgramFolderFixture folder;
    const QString calculation = folder.newCalculation();
    // A new header indicator and a renamed segment indicator.
    execOn(calculation, QStringLiteral("INSERT INTO Формулы VALUES (20, 'Коэффициент запаса, доли ед.', 'КЗап', 'З', 1, NULL, 0)"));
    execOn(calculation, QStringLiteral("UPDATE Формулы SET НаимПокСокр='СкорВодыПод' WHERE НаимПокСокр='СкорПод'"));

    const Outcome outcome = zurmCalc({QStringLiteral("--prepare"), calculation});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.out.contains(QStringLiteral("структура таблиц настроена"))) << outcome.out.toStdString();
    EXPECT_TRUE(columnsOf(calculation, QStringLiteral("Заг")).contains(QStringLiteral("КЗап")));
    const QStringList segment = columnsOf(calculation, QStringLiteral("Табл"));
    EXPECT_TRUE(segment.contains(QStringLiteral("СкорВодыПод")));
    EXPECT_FALSE(segment.contains(QStringLiteral("СкорПод")));
}

TEST(ZurmCalc, FaultyDefinitionsExitWithTheCheckMessage)
{
    zurm::test::ProgramFolderFixture folder;
    const QString calculation = folder.newCalculation();
    execOn(calculation, QStringLiteral("UPDATE Формулы SET НаимПокСокр='2Q' WHERE НаимПокСокр='ДуПод'"));
    const QStringList before = columnsOf(calculation, QStringLiteral("Табл"));

    const Outcome outcome = zurmCalc({QStringLiteral("--prepare"), calculation});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.err,
              QStringLiteral("Показатели расчета:\nСокр. наименование показателя: \"2Q\":\n\n"
                             "Сокращенные наименования показателей должны начинаться с заглавной или строчной буквы "
                             "английского или русского алфавита.\n\n"
                             "Для исправления ошибки выполните команду:\nДанные / Параметры расчета\n"));
    EXPECT_EQ(columnsOf(calculation, QStringLiteral("Табл")), before) << "a failed check shapes nothing";
}

TEST(ZurmCalc, MissingAndForeignFilesExitWithOne)
{
    zurm::test::ProgramFolderFixture folder;
    const Outcome missing = zurmCalc({QStringLiteral("--prepare"), folder.docs(QStringLiteral("нет.mdb"))});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("не найден")));

    const Outcome foreign = zurmCalc({QStringLiteral("--prepare"), folder.program(QStringLiteral("Spr.mdb"))});
    EXPECT_EQ(foreign.exitCode, 1);
    EXPECT_TRUE(foreign.err.contains(QStringLiteral("Класс ошибки: \"DatabaseFormatError\""))) << foreign.err.toStdString();
}

TEST(ZurmCalc, StoredValuesThatAreNoInputsExitWithTheirMessage)
{
    const QString beyond = QStringLiteral(" выходит за пределы диапазона целых чисел от -32768 до 32767.\n");
    const struct {
        const char* name;
        const char* change;
        QString err;
        int networkStatus;
    } cases[] = {
        {"header value NaN", "UPDATE Заг SET ПНапНаУзПод = 'NaN'",
         "Значение показателя \"ПНапНаУзПод\" не является допустимым числом: nan.\n", 0},
        {"end node beyond 16 bits", "UPDATE Табл SET КонУзел = 65542 WHERE id = 6",
         "Участок 5 - 65542:\nОшибка в поле КонУзел: \"65542\"" + beyond, 3},
        {"given-head node fractional", "UPDATE НазвРасч SET NузПНапПод = 2.9",
         "Ошибка в поле \"ПНапНаУзПод задан для узла:\":\n\"2.9\" не является целым числом.\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zurm::test::ProgramFolderFixture folder;
        const QString file = folder.docs(QStringLiteral("sample.mdb"));
        zurm::test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), file);
        execOn(file, QString::fromUtf8(c.change));
        const Outcome outcome = zurmCalc({file});
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_EQ(outcome.err, c.err);
        EXPECT_TRUE(outcome.out.isEmpty());
        EXPECT_EQ(valueOn(file, QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
        EXPECT_EQ(valueOn(file, QStringLiteral("SELECT ПарТСКорр FROM НазвРасч")).toInt(), c.networkStatus);
    }
}
