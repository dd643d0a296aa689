// The shared data-module operations: number and value texts for SQL, keys and
// node numbers of new segments, saving a segment row, the calculation-done
// flag, the work database and the error report.
#include "base/DocumentConnection.h"
#include "base/Failure.h"
#include "base/Guarded.h"
#include "base/Sql.h"
#include "document/Consumers.h"
#include "document/DataModule.h"
#include "document/EditGuards.h"
#include "document/Nodes.h"
#include "document/Segments.h"
#include "document/WorkDatabase.h"
#include "platform/Cp1251.h"
#include "platform/NumberText.h"
#include "support/DocumentEdits.h"
#include "support/FakeDialogs.h"
#include "support/ProgramFolder.h"

#include <QFile>
#include <QLocale>
#include <QSqlRecord>
#include <clocale>
#include <gtest/gtest.h>

using namespace zurm;
using zurm::test::FakeDialogs;
using zurm::test::ProgramFolderFixture;

namespace {

// Records the statements executed on connections whose name starts with a prefix.
class StatementLog {
public:
    explicit StatementLog(QString prefix)
    {
        setStatementObserver([this, prefix](const QString& connection, const QString& sql) {
            if (connection.startsWith(prefix))
                statements.append(sql);
        });
    }
    ~StatementLog() { setStatementObserver({}); }
    QStringList statements;
};

// Sets the C library and Qt locales for one test and restores them.
class LocaleScope {
public:
    explicit LocaleScope(const char* name)
    {
        previous_ = std::setlocale(LC_ALL, nullptr);
        std::setlocale(LC_ALL, name);
        QLocale::setDefault(QLocale(QString::fromLatin1(name).section(QLatin1Char('.'), 0, 0)));
    }
    ~LocaleScope()
    {
        std::setlocale(LC_ALL, previous_.c_str());
        QLocale::setDefault(QLocale::c());
    }

private:
    std::string previous_;
};

struct CalculationFixture : ::testing::Test {
    ProgramFolderFixture folder;
    FakeDialogs dialogs;
    DataModule data{folder.programFolder()};

    void SetUp() override
    {
        data.openCalculation(folder.newCalculation());
        data.createWorkDatabase(QString(), dialogs);
    }
    void insertSegment(qint64 id, QVariant start, QVariant end)
    {
        execSql(data.calculation(), QStringLiteral("INSERT INTO Табл(id, НачУзел, КонУзел) VALUES(?, ?, ?)"),
                {id, start, end});
    }
};

} // namespace

TEST(NumberText, GeneralFormWithFifteenDigits)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {0.5, "0.5"},
        {-2.25, "-2.25"},
        {0.1, "0.1"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {100, "100"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {-2.5e20, "-2.5E20"},
        {0.00001, "0.00001"},
        {1.5e-7, "1.5E-7"},
        {12.3456789, "12.3456789"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatGeneral15(c.value).toStdString(), c.text) << c.value;
    EXPECT_EQ(formatGeneral15(-0.75, QLatin1Char(',')), QStringLiteral("-0,75"));
}

TEST(NumberText, SqlTextIgnoresTheUserLocale)
{
    for (const char* locale : {"C", "ru_RU.UTF-8"}) {
        LocaleScope scope(locale);
        EXPECT_EQ(sqlValueText(0.5, QStringLiteral("float")), QStringLiteral("0.5")) << locale;
        EXPECT_EQ(sqlValueText(1234567.25, QStringLiteral("float")), QStringLiteral("1234567.25")) << locale;
    }
}

TEST(SegmentRowText, ValuesByColumnType)
{
    const struct {
        QVariant value;
        const char* type;
        QString text;
    } cases[] = {
        {QVariant(), "float", QStringLiteral("Null")},
        {QVariant(), "text(255)", QStringLiteral("Null")},
        {QVariant(12), "smallint", QStringLiteral("12")},
        {QVariant(-7), "smallint", QStringLiteral("-7")},
        {QVariant(3000000000LL), "INTEGER", QStringLiteral("3000000000")},
        {QVariant(true), "bit", QStringLiteral("True")},
        {QVariant(0), "bit", QStringLiteral("False")},
        {QVariant(0.5), "float", QStringLiteral("0.5")},
        {QVariant(1.0 / 3), "float", QStringLiteral("0.333333333333333")},
        {QVariant(QStringLiteral("O'Brien")), "text(255)", QStringLiteral("'O''Brien'")},
        {QVariant(QStringLiteral("Ёлка ''")), "text(255)", QStringLiteral("'Ёлка '''''")},
        {QVariant(QStringLiteral("a中b")), "text(255)", QStringLiteral("'a?b'")},
        {QVariant(QString()), "text(1)", QStringLiteral("''")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sqlValueText(c.value, QString::fromLatin1(c.type)), c.text) << c.text.toStdString();
    EXPECT_THROW(sqlValueText(QStringLiteral("abc"), QStringLiteral("float")), Failure);
}

TEST(Cp1251, RoundTripAndFit)
{
    EXPECT_EQ(toCp1251(QStringLiteral("Ёж")), QByteArray("\xA8\xE6"));
    EXPECT_EQ(throughCp1251(QStringLiteral("x😀y")), QStringLiteral("x?y"));
    EXPECT_TRUE(fitsCp1251(QStringLiteral("РасхПод1")));
    EXPECT_FALSE(fitsCp1251(QStringLiteral("Ω")));
}

TEST(SegmentKeys, NextKey)
{
    const struct {
        std::vector<qint64> ids;
        std::optional<qint64> next;
    } cases[] = {
        {{}, 1},
        {{1, 2, 7}, 8},
        {{5}, 6},
        {{1, 2, 3, 2147483600}, 4},
        {{2147483600}, 1},
        {{1, 2, 3, 4, 2147483647}, 5},
        {{2147483599}, 2147483600},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nextSegmentKey(c.ids), c.next);
}

TEST(NodeNumbers, RangeCheck)
{
    const QString message = QStringLiteral("Параметр \"Узел\" должен быть целым числом от 0 до 32700.");
    const struct {
        QVariant value;
        bool accepted;
    } cases[] = {{0, true}, {32700, true}, {QVariant(), true}, {32701, false}, {-1, false}, {40000, false}};
    for (const auto& c : cases)
        EXPECT_EQ(nodeNumberProblem(c.value), c.accepted ? QString() : message) << c.value.toString().toStdString();
}

TEST(ErrorReport, ContextClassAndText)
{
    EXPECT_EQ(errorReport(QStringLiteral("Ошибка при сохранении данных."), Failure(QStringLiteral("SqlError"), QStringLiteral("disk full"))),
              QStringLiteral("Ошибка при сохранении данных.\r\rКласс ошибки: \"SqlError\"\rТекст ошибки: \"disk full\""));
    // The report of an unexpected failure is shown as an error.
    FakeDialogs dialogs;
    EXPECT_FALSE(guardedStep(dialogs, QStringLiteral("Ошибка."), [] { throw Failure(QStringLiteral("SqlError"), QString()); }));
    EXPECT_EQ(dialogs.kinds, QList<MessageKind>{MessageKind::Error});
}

TEST(EditGuards, RefusedAtStartAndInTheNetworkEditor)
{
    EditGuards guards;
    const QStringList noDelete = {"Заг", "Формулы", "ФлыПредопрПок", "ИзмПНапВУзлахТС", "ДиамТрПр", "ПлВодыОтТ", "ПопрКоэфКУдПот"};
    for (const QString& table : noDelete)
        EXPECT_TRUE(guards.refuses(table, EditOperation::Delete)) << table.toStdString();
    EXPECT_TRUE(guards.refuses("Заг", EditOperation::Insert));
    EXPECT_FALSE(guards.refuses("Формулы", EditOperation::Insert));
    EXPECT_FALSE(guards.refuses("Табл", EditOperation::Insert));
    guards.guardSegmentsFromMainWindow();
    EXPECT_THROW(guards.check("Табл", EditOperation::Insert), QuietAbort);
    guards.enterNetworkEditor();
    EXPECT_FALSE(guards.refuses("Табл", EditOperation::Insert));
    EXPECT_TRUE(guards.refuses("Табл", EditOperation::Delete));
    EXPECT_TRUE(guards.refuses("УзлыТС", EditOperation::Delete));
    guards.leaveNetworkEditor();
    EXPECT_FALSE(guards.refuses("УзлыТС", EditOperation::Delete));
    EXPECT_TRUE(guards.refuses("Табл", EditOperation::Insert));
}

TEST_F(CalculationFixture, NewSegmentContinuesTheChain)
{
    NewSegmentValues empty = atTablAfterInsert(data, dialogs);
    EXPECT_EQ(empty.startNode, 0);
    EXPECT_EQ(empty.endNode, 1);
    EXPECT_EQ(empty.id, 1);

    // Highest key is 3 (segment 2 - 4); by node numbers the last is 5 - 9.
    insertSegment(1, 5, 9);
    insertSegment(3, 2, 4);
    insertSegment(2, 1, 2);
    data.setSegmentSort(SegmentSort::ByNodes);
    NewSegmentValues byNodes = atTablAfterInsert(data, dialogs);
    EXPECT_EQ(byNodes.startNode, 9);
    EXPECT_EQ(byNodes.endNode, 10);
    EXPECT_EQ(byNodes.id, 4);
    data.setSegmentSort(SegmentSort::ById);
    NewSegmentValues byId = atTablAfterInsert(data, dialogs);
    EXPECT_EQ(byId.startNode, 4);
    EXPECT_EQ(byId.endNode, 5);

    insertSegment(10, 7, QVariant());
    NewSegmentValues afterNull = atTablAfterInsert(data, dialogs);
    EXPECT_EQ(afterNull.startNode, 0);
    EXPECT_EQ(afterNull.endNode, 1);
    EXPECT_EQ(afterNull.id, 11);

    insertSegment(11, 5, 32767);
    NewSegmentValues atLimit = atTablAfterInsert(data, dialogs);
    EXPECT_EQ(atLimit.startNode, 32767);
    EXPECT_FALSE(atLimit.endNode.has_value());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(CalculationFixture, KeysBeyondTheLimitFillTheFirstGap)
{
    for (qint64 id : {1, 2, 3, 2147483600})
        insertSegment(id, 0, 1);
    EXPECT_EQ(atTablAfterInsert(data, dialogs).id, 4);
}

TEST_F(CalculationFixture, SavingASegmentRowWritesOneStatementPerRowAndKeepsTheKey)
{
    LocaleScope russian("ru_RU.UTF-8");
    insertSegment(5, 1, 2);
    const QList<ColumnInfo> columns = tableColumns(data.calculation(), QStringLiteral("Табл"));
    ASSERT_GT(columns.size(), 8);
    SegmentRowBuffer row;
    for (const ColumnInfo& column : columns) {
        if (column.name == QStringLiteral("id"))
            row.values.append(5);
        else if (column.name == QStringLiteral("НачУзел"))
            row.values.append(3);
        else if (column.name == QStringLiteral("КонУзел"))
            row.values.append(4);
        else if (column.name == QStringLiteral("ДлНаУчПод"))
            row.values.append(0.5);
        else if (column.name == QStringLiteral("Примечание"))
            row.values.append(QStringLiteral("O'Brien"));
        else if (column.name == QStringLiteral("Заполн_Уч"))
            row.values.append(QStringLiteral("+"));
        else
            row.values.append(QVariant());
    }
    StatementLog log(QStringLiteral("acGR"));
    SaveCurrentSegmentRow(data, row, /*writeLastColumn=*/false);
    ASSERT_EQ(log.statements.size(), 1);
    const QString& sql = log.statements.first();
    EXPECT_TRUE(sql.startsWith(QStringLiteral("UPDATE Табл SET НачУзел=3, КонУзел=4, ГеодВысНач=Null"))) << sql.toStdString();
    EXPECT_TRUE(sql.contains(QStringLiteral("ДлНаУчПод=0.5,")));
    EXPECT_TRUE(sql.endsWith(QStringLiteral("Примечание='O''Brien' WHERE id=5"))) << sql.toStdString();

    QSqlQuery q = selectSql(data.calculation(), QStringLiteral("SELECT id, НачУзел, ДлНаУчПод, Примечание, Заполн_Уч FROM Табл"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 5);
    EXPECT_EQ(q.value(1).toInt(), 3);
    EXPECT_DOUBLE_EQ(q.value(2).toDouble(), 0.5);
    EXPECT_EQ(q.value(3).toString(), QStringLiteral("O'Brien"));
    EXPECT_TRUE(q.value(4).isNull());

    // A new row is inserted by its key first; the marker column is written too.
    row.inserting = true;
    row.values[0] = 6;
    log.statements.clear();
    SaveCurrentSegmentRow(data, row);
    ASSERT_EQ(log.statements.size(), 2);
    EXPECT_EQ(log.statements[0], QStringLiteral("INSERT INTO Табл(id) VALUES(6)"));
    EXPECT_TRUE(log.statements[1].endsWith(QStringLiteral("Заполн_Уч='+' WHERE id=6")));
}

TEST_F(CalculationFixture, CalculationDoneFlagIsWrittenOnlyWhenItChanges)
{
    execSql(data.calculation(), QStringLiteral("UPDATE НазвРасч SET РВ=1"));
    data.loadCalculationDoneFlag();
    EXPECT_TRUE(data.calculationDone());
    StatementLog log(QStringLiteral("acGR"));
    data.SetCalculationDoneFlag(false);
    data.SetCalculationDoneFlag(false);
    EXPECT_EQ(log.statements.size(), 1);
    EXPECT_EQ(selectValue(data.calculation(), QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
    data.SetCalculationDoneFlag(true);
    data.SetCalculationDoneFlag(true);
    EXPECT_EQ(log.statements.size(), 2);
    EXPECT_EQ(selectValue(data.calculation(), QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 1);
}

// What the engine refuses, and a statement that would not end, are said in the
// program's words, naming the file.
TEST_F(CalculationFixture, EngineRefusalsAndEndlessStatementsNameTheFile)
{
    const QString file = data.calculation().databaseName();
    const QString write = QStringLiteral("UPDATE НазвРасч SET РВ = 1 - coalesce(РВ, 0)");
    const QString endless = QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT "
                                           "100000000) SELECT count(*) FROM c");
    const auto failureOf = [&](const QString& sql) {
        try {
            execSql(data.calculation(), sql);
        } catch (const Failure& failure) {
            return failure.text();
        }
        return QString();
    };
    const QString interrupted = QStringLiteral("Работа с файлом ") + file + QStringLiteral(" прервана");

    {
        // Another program in the middle of writing the file.
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-program"));
        other.setDatabaseName(file);
        ASSERT_TRUE(other.open());
        execSql(other, QStringLiteral("BEGIN EXCLUSIVE"));
        EXPECT_EQ(failureOf(write), QStringLiteral("Файл ") + file
                                        + QStringLiteral(" занят другой программой, поэтому команда не выполнена. "
                                                         "Закройте программу, которая работает с этим файлом, и "
                                                         "повторите команду."));
        execSql(other, QStringLiteral("ROLLBACK"));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other-program"));
    {
        StatementStop stop([] { return true; });
        EXPECT_EQ(failureOf(endless), interrupted + QStringLiteral(" по команде пользователя."));
    }
    const std::chrono::milliseconds limit = statementTimeLimit();
    setStatementTimeLimit(std::chrono::milliseconds(0));
    const QString overTime = failureOf(endless);
    setStatementTimeLimit(limit);
    EXPECT_TRUE(overTime.startsWith(interrupted + QStringLiteral(": одна операция с ним длилась дольше ")))
        << overTime.toStdString();

    data.openCalculation(file, true);
    EXPECT_EQ(failureOf(write), QStringLiteral("Файл ") + file
                                    + QStringLiteral(" доступен только для чтения, поэтому изменения в него не "
                                                     "записаны. Разрешите запись в этот файл и в его папку или "
                                                     "сохраните его под другим именем и повторите команду."));
}

TEST(WorkDatabase, TwelveStatementsInTheirOrder)
{
    ProgramFolderFixture folder;
    FakeDialogs dialogs;
    DataModule data(folder.programFolder());
    StatementLog log(QStringLiteral("acVremDB"));
    data.createWorkDatabase(QStringLiteral("~$.mdb"), dialogs);
    ASSERT_EQ(log.statements.size(), 12);
    EXPECT_EQ(log.statements, workDatabaseStatements());
    EXPECT_EQ(log.statements[0], QStringLiteral("CREATE TABLE ВКол (ПНом integer, НаимПок text(100))"));
    EXPECT_EQ(log.statements[11], QStringLiteral("CREATE TABLE ПереимУз (Nуз smallint PRIMARY KEY, НовыйNуз smallint, Рез text(100))"));
    EXPECT_TRUE(QFile::exists(folder.program(QStringLiteral("~$.mdb"))));
    for (const char* table : {"ВКол", "КопПоля", "ВКолЗаг", "ВКолТабл", "ЗависимостьПоказателей", "ВыделПрямоуг",
                              "ВыделУзлыТС", "У1", "У2", "УдУзлы", "КонМагВ", "ПереимУз"})
        EXPECT_TRUE(tableExists(data.work(), QString::fromUtf8(table))) << table;

    // Created afresh: an earlier work database is replaced, its rows are gone.
    execSql(data.work(), QStringLiteral("INSERT INTO У1 VALUES(7)"));
    data.createWorkDatabase(QStringLiteral("~$.mdb"), dialogs);
    EXPECT_EQ(selectValue(data.work(), QStringLiteral("SELECT count(*) FROM У1")).toInt(), 0);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST(DatabaseFiles, ForeignFilesAreRefusedAndLeftUntouched)
{
    ProgramFolderFixture folder;
    DataModule data(folder.programFolder());

    const QString text = folder.docs(QStringLiteral("notes.mdb"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("just some text, not a database");
    file.close();

    const QString empty = folder.docs(QStringLiteral("empty.mdb"));
    QFile(empty).open(QIODevice::WriteOnly);

    const QString reference = folder.docs(QStringLiteral("ref.mdb"));
    ProgramFolderFixture::copy(folder.program(QStringLiteral("Spr.mdb")), reference);

    for (const QString& path : {text, empty, reference}) {
        QFile before(path);
        before.open(QIODevice::ReadOnly);
        const QByteArray bytes = before.readAll();
        before.close();
        try {
            data.openCalculation(path);
            ADD_FAILURE() << "opened " << path.toStdString();
        } catch (const Failure& failure) {
            EXPECT_TRUE(failure.text().contains(path)) << failure.text().toStdString();
        }
        EXPECT_FALSE(data.calculationOpen());
        QFile after(path);
        after.open(QIODevice::ReadOnly);
        EXPECT_EQ(after.readAll(), bytes) << path.toStdString();
    }
    // The delivered reference file is a reference file.
    EXPECT_NO_THROW(data.openReference(reference));
}

TEST_F(CalculationFixture, NodeEventsRefuseNumbersOutsideTheRangeAndClearTheFlag)
{
    QSqlRecord node = data.calculation().record(QStringLiteral("УзлыТС"));
    atUzliTSAfterInsert(node);
    EXPECT_EQ(node.value(QStringLiteral("x")).toInt(), 0);
    EXPECT_EQ(node.value(QStringLiteral("y")).toInt(), 0);
    EXPECT_EQ(node.value(QStringLiteral("ГеодВыс")).toDouble(), 0.0);

    execSql(data.calculation(), QStringLiteral("UPDATE НазвРасч SET РВ=1"));
    data.loadCalculationDoneFlag();
    node.setValue(QStringLiteral("Nуз"), 32700);
    EXPECT_NO_THROW(atUzliTSBeforePost(data, dialogs, node));
    EXPECT_FALSE(data.calculationDone());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    for (int number : {32701, -1}) {
        node.setValue(QStringLiteral("Nуз"), number);
        EXPECT_THROW(atUzliTSBeforePost(data, dialogs, node), QuietAbort);
    }
    EXPECT_EQ(dialogs.messages,
              QStringList(2, QStringLiteral("Параметр \"Узел\" должен быть целым числом от 0 до 32700.")));
}

TEST_F(CalculationFixture, DeleteAllRowsHonoursTheDeletionGuards)
{
    insertSegment(1, 0, 1);
    insertSegment(2, 1, 2);
    execSql(data.calculation(), QStringLiteral("INSERT INTO ИзмПНапВУзлахТС VALUES (1, 0, 5)"));

    DeleteAllRows(data, data.calculation(), QStringLiteral("Табл"));
    EXPECT_EQ(selectValue(data.calculation(), QStringLiteral("SELECT count(*) FROM Табл")).toInt(), 0);

    // A guarded table refuses quietly and keeps its rows until the guard is lifted.
    EXPECT_THROW(DeleteAllRows(data, data.calculation(), QStringLiteral("ИзмПНапВУзлахТС")), QuietAbort);
    EXPECT_EQ(selectValue(data.calculation(), QStringLiteral("SELECT count(*) FROM ИзмПНапВУзлахТС")).toInt(), 1);
    data.guards().setRefused(QStringLiteral("ИзмПНапВУзлахТС"), EditOperation::Delete, false);
    DeleteAllRows(data, data.calculation(), QStringLiteral("ИзмПНапВУзлахТС"));
    EXPECT_EQ(selectValue(data.calculation(), QStringLiteral("SELECT count(*) FROM ИзмПНапВУзлахТС")).toInt(), 0);
}

TEST_F(CalculationFixture, ConsumerTablesComeWithTheirFirstWriteAndOldFilesReadAsDefaults)
{
    const QSqlDatabase db = data.calculation();
    EXPECT_TRUE(readConsumers(db).empty());
    const PressureLimits untouched = readPressureLimits(db);
    EXPECT_FALSE(untouched.staticHead);
    EXPECT_EQ(untouched.allowedPressure, 60.0);
    EXPECT_EQ(untouched.boilingReserve, 5.0);
    EXPECT_FALSE(tableExists(db, kConsumersTable));

    writePressureLimits(db, PressureLimits{42.5, 40.0, 3.0});
    const PressureLimits stored = readPressureLimits(db);
    EXPECT_EQ(stored.staticHead, 42.5);
    EXPECT_EQ(stored.allowedPressure, 40.0);
    EXPECT_EQ(stored.boilingReserve, 3.0);
    execSql(db, QStringLiteral("INSERT INTO Потребители VALUES (7, 'Школа', 4, 1.5, NULL, 95, 'x'), "
                               "(3, NULL, 0, NULL, 12, NULL, 20)"));
    const std::vector<Consumer> consumers = readConsumers(db);
    ASSERT_EQ(consumers.size(), 2u);
    EXPECT_EQ(consumers[0].node, 3);
    EXPECT_EQ(consumers[0].scheme, ConnectionScheme::Elevator);
    EXPECT_EQ(consumers[0].buildingHeight, 12.0);
    EXPECT_FALSE(consumers[1].scheme); // code 4 names no scheme
    EXPECT_FALSE(consumers[1].requiredHead);
    EXPECT_EQ(consumers[1].name, QStringLiteral("Школа"));

    const struct { const char* text; std::optional<ConnectionScheme> scheme; } schemes[] = {
        {"  Элеваторная ", ConnectionScheme::Elevator},
        {"НАСОСНОЕ СМЕШЕНИЕ", ConnectionScheme::PumpMixing},
        {"2", ConnectionScheme::Independent},
        {"1.5", std::nullopt},
        {"элеватор", std::nullopt},
    };
    for (const auto& row : schemes)
        EXPECT_EQ(connectionSchemeFromText(QString::fromUtf8(row.text)), row.scheme) << row.text;
}
