// zurm-calc as engineers and scripts call it: exit codes, messages on stderr,
// and what --prepare does to a calculation file.
#include "base/Sql.h"
#include "document/Consumers.h"
#include "platform/XlsxReader.h"
#include "support/PackedWorkbook.h"
#include "support/ProgramFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome zurmCalc(const QStringList& arguments, const std::function<void(QProcess&)>& setUp = {})
{
    QProcess process;
    if (setUp)
        setUp(process);
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

QByteArray digest(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Runs `read` on its own connection to `file` and closes it again.
template <typename Read>
auto readFrom(const QString& file, Read read)
{
    const QString name = QStringLiteral("zurm-calc-read");
    decltype(read(std::declval<QSqlDatabase&>())) result{};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.open();
        result = read(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QVariant valueOn(const QString& file, const QString& sql)
{
    return readFrom(file, [&](QSqlDatabase& db) { return zurm::selectValue(db, sql); });
}

QStringList columnsOf(const QString& file, const QString& table)
{
    return readFrom(file, [&](QSqlDatabase& db) {
        QStringList names;
        for (const zurm::ColumnInfo& column : zurm::tableColumns(db, table))
            names.append(column.name);
        return names;
    });
}

} // namespace

TEST(ZurmCalc, UsageAndHelp)
{
    const Outcome help = zurmCalc({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--prepare")));

    for (const QStringList& bad : {QStringList{}, QStringList{QStringLiteral("--prepare")},
                                   QStringList{QStringLiteral("--bogus")},
                                   QStringList{QStringLiteral("calc.mdb"), QStringLiteral("--text"), QString()},
                                   QStringList{QStringLiteral("calc.mdb"), QStringLiteral("--reference"), QString()}}) {
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
    // The consumers are no table the definitions shape: they stay as they are.
    readFrom(calculation, [](QSqlDatabase& db) {
        zurm::ensureConsumerTables(db);
        zurm::execSql(db, QStringLiteral("INSERT INTO Потребители (КонУзел, НаимПотр) VALUES (3, 'Школа')"));
        return 0;
    });

    const Outcome outcome = zurmCalc({QStringLiteral("--prepare"), calculation});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.out.contains(QStringLiteral("структура таблиц настроена"))) << outcome.out.toStdString();
    EXPECT_TRUE(columnsOf(calculation, QStringLiteral("Заг")).contains(QStringLiteral("КЗап")));
    const QStringList segment = columnsOf(calculation, QStringLiteral("Табл"));
    EXPECT_TRUE(segment.contains(QStringLiteral("СкорВодыПод")));
    EXPECT_FALSE(segment.contains(QStringLiteral("СкорПод")));
    EXPECT_EQ(valueOn(calculation, QStringLiteral("SELECT КонУзел || НаимПотр FROM Потребители")).toString(), "3Школа");
    EXPECT_EQ(valueOn(calculation, QStringLiteral("SELECT ДопДавлМС FROM ПотребителиЗаг")).toDouble(), 60);
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

    // A pipe would keep the open waiting for a writer for ever.
    const QString pipe = folder.docs(QStringLiteral("pipe.mdb"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QStringList& arguments : {QStringList{pipe}, QStringList{folder.newCalculation(), QStringLiteral("--reference"), pipe}}) {
        const Outcome piped = zurmCalc(arguments);
        EXPECT_EQ(piped.exitCode, 1);
        EXPECT_EQ(piped.err, QStringLiteral("Файл ") + pipe
                                 + QStringLiteral(" не является обычным файлом (это папка, канал или устройство), "
                                                  "поэтому открыть его нельзя.\n"));
    }
}

// A document is anyone's: the run fires none of its author's triggers and reads
// no view in place of a table of the program.
TEST(ZurmCalc, DocumentsRunNoneOfTheirAuthorsTriggersOrViews)
{
    const QString segments = QStringLiteral("SELECT count(*) FROM Табл");
    const QString formulas = QStringLiteral("SELECT group_concat(Формула, '|') FROM Формулы");
    const QString headChanges = QStringLiteral("SELECT count(*) FROM ИзмПНапВУзлахТС");
    const struct {
        const char* name;
        QStringList statements;
        int exitCode;
        QString out, err; // the start of each stream
        QString unchanged; // a query whose answer the run must not change
    } cases[] = {
        {"trigger deleting the segments",
         {QStringLiteral("CREATE TRIGGER t AFTER UPDATE ON Табл BEGIN DELETE FROM Табл; END")}, 0,
         QStringLiteral("Расчет выполнен успешно."), {}, segments},
        {"trigger rewriting the formulas",
         {QStringLiteral("CREATE TRIGGER t AFTER UPDATE ON НазвРасч BEGIN UPDATE Формулы SET Формула = '1000'; END")}, 0,
         QStringLiteral("Расчет выполнен успешно."), {}, formulas},
        {"trigger that never ends",
         {QStringLiteral("CREATE TRIGGER t AFTER UPDATE ON Заг BEGIN INSERT INTO ИзмПНапВУзлахТС (Nуз, ТрПр, ИзмПНап) "
                         "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT 32000, 0, x FROM c; END")},
         0, QStringLiteral("Расчет выполнен успешно."), {}, headChanges},
        {"view in place of a table",
         {QStringLiteral("ALTER TABLE Формулы RENAME TO ФормулыАвтора"),
          QStringLiteral("CREATE VIEW Формулы AS SELECT * FROM ФормулыАвтора")},
         1, {}, QStringLiteral("Ошибка при открытии базы данных гидравлического расчета"), segments},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zurm::test::ProgramFolderFixture folder;
        const QString file = folder.docs(QStringLiteral("sample.mdb"));
        zurm::test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), file);
        for (const QString& statement : c.statements)
            execOn(file, statement);
        const QString before = valueOn(file, c.unchanged).toString();
        const Outcome outcome = zurmCalc({file});
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.out.startsWith(c.out)) << outcome.out.toStdString();
        EXPECT_TRUE(outcome.err.startsWith(c.err)) << outcome.err.toStdString();
        if (c.exitCode != 0) {
            EXPECT_TRUE(outcome.err.contains(QStringLiteral("нет таблицы \"Формулы\""))) << outcome.err.toStdString();
        }
        EXPECT_EQ(valueOn(file, c.unchanged).toString(), before);
    }
}

TEST(ZurmCalc, TextPlaceThatMayNotBeReplacedIsRefusedBeforeAnythingIsWritten)
{
    zurm::test::ProgramFolderFixture folder;
    const QString calculation = folder.docs(QStringLiteral("calc.mdb"));
    zurm::test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), calculation);
    const QString reference = folder.docs(QStringLiteral("spr.mdb"));
    zurm::test::ProgramFolderFixture::copy(folder.program(QStringLiteral("Spr.mdb")), reference);
    const QString other = folder.docs(QStringLiteral("other.txt"));
    QFile::copy(reference, other);
    QDir docs(folder.docsFolder());
    docs.mkdir(QStringLiteral("folder"));
    const QByteArray hard = QFile::encodeName(folder.docs(QStringLiteral("hard.mdb")));
    ASSERT_EQ(::link(QFile::encodeName(calculation).constData(), hard.constData()), 0);
    ASSERT_TRUE(QFile::link(folder.docsFolder(), folder.docs(QStringLiteral("again"))));
    ASSERT_TRUE(QFile::link(other, folder.docs(QStringLiteral("link.txt"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.docs("fifo")).constData(), 0600), 0);

    const struct {
        QString out, named; // the path given, the path the message names
    } cases[] = {
        {calculation, calculation},
        {folder.docs(QStringLiteral("hard.mdb")), folder.docs(QStringLiteral("hard.mdb"))},
        {folder.docs(QStringLiteral("again/calc.mdb")), folder.docs(QStringLiteral("again/calc.mdb"))},
        {reference, reference},
        {folder.docs(QStringLiteral("folder")), folder.docs(QStringLiteral("folder"))},
        {folder.docs(QStringLiteral("link.txt")), folder.docs(QStringLiteral("link.txt"))},
        {folder.docs(QStringLiteral("fifo")), folder.docs(QStringLiteral("fifo"))},
        {folder.docs(QStringLiteral("нет/out.txt")), folder.docs(QStringLiteral("нет"))},
    };
    const QByteArray before = digest(calculation);
    const QByteArray referenceBefore = digest(reference);
    const QByteArray otherBefore = digest(other);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out.toStdString());
        const Outcome outcome =
            zurmCalc({calculation, QStringLiteral("--reference"), reference, QStringLiteral("--text"), c.out});
        EXPECT_EQ(outcome.exitCode, 2) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains(c.named)) << outcome.err.toStdString();
        EXPECT_EQ(digest(calculation), before);
        EXPECT_EQ(digest(reference), referenceBefore);
    }
    EXPECT_EQ(digest(other), otherBefore);
    EXPECT_TRUE(QFileInfo(folder.docs(QStringLiteral("folder"))).isDir());
    EXPECT_TRUE(QFileInfo(folder.docs(QStringLiteral("link.txt"))).isSymLink());
    EXPECT_FALSE(QFileInfo(folder.docs(QStringLiteral("fifo"))).isFile());

    // A regular file is replaced.
    const Outcome outcome = zurmCalc({calculation, QStringLiteral("--text"), other});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_NE(digest(other), otherBefore);
}

TEST(ZurmCalc, TextWritePastTheFileSizeLimitFailsNamingTheFileAndCleansUp)
{
    QTemporaryDir folder;
    const QString calculation = folder.filePath(QStringLiteral("district.mdb"));
    zurm::test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/district_two_pipe.mdb"),
                                           calculation);
    const QString out = folder.filePath(QStringLiteral("district.txt"));
    ASSERT_EQ(zurmCalc({QStringLiteral("--prepare"), calculation}).exitCode, 0); // the run alone changes it then
    const QByteArray before = digest(calculation);
    // The file fits under the limit, its calculation text does not.
    const Outcome outcome = zurmCalc({calculation, QStringLiteral("--text"), out}, [](QProcess& process) {
        process.setChildProcessModifier([] {
            const rlimit limit{160 * 1024, 160 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    });
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("Не удалось записать файл ") + out)) << outcome.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_EQ(digest(calculation), before) << "the run failed: the calculation stays as it was";
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("district.mdb")});
}

TEST(ZurmCalc, MessagesReachTheirStreamsWholeOrTheExitSaysSo)
{
    // A NUL inside a name does not end the message.
    zurm::test::ProgramFolderFixture folder;
    const QString calculation = folder.newCalculation();
    execOn(calculation, QStringLiteral("UPDATE Формулы SET НаимПокСокр='Q'||char(0)||'R' WHERE НаимПокСокр='ДуПод'"));
    const Outcome named = zurmCalc({QStringLiteral("--prepare"), calculation});
    EXPECT_EQ(named.exitCode, 1);
    EXPECT_EQ(named.err, QStringLiteral("Показатели расчета:\nСокр. наименование показателя: \"Q") + QChar(0)
                             + QStringLiteral("R\":\n\nСокращенные наименования показателей могут состоять только из "
                                              "цифр, строчных или заглавных букв английского или русского алфавита.\n\n"
                                              "Для исправления ошибки выполните команду:\nДанные / Параметры расчета\n"));

    // Output that cannot be written is a failure.
    const Outcome full = zurmCalc({QStringLiteral("--help")}, [](QProcess& process) {
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
    });
    EXPECT_NE(full.exitCode, 0);
    EXPECT_TRUE(full.err.contains(QStringLiteral("стандартный вывод"))) << full.err.toStdString();
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
        for (const QString& change : QString::fromUtf8(c.change).split(QStringLiteral("; ")))
            execOn(file, change);
        const Outcome outcome = zurmCalc({file});
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_EQ(outcome.err, c.err);
        EXPECT_TRUE(outcome.out.isEmpty());
        EXPECT_EQ(valueOn(file, QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
        EXPECT_EQ(valueOn(file, QStringLiteral("SELECT ПарТСКорр FROM НазвРасч")).toInt(), c.networkStatus);
    }
}

// Run again on a file it has calculated, zurm-calc leaves the mains as they
// are when the network is the same; the flows of a run that stops before
// distributing them, or of a network that is not run, still end up empty.
TEST(ZurmCalc, RunAgainLeavesNoFlowsOfTheRunBefore)
{
    const struct {
        const char* name;
        const char* change;
        int exitCode;
        bool flows;
    } cases[] = {
        {"same network", "UPDATE Заг SET МаксТВоды = МаксТВоды", 0, true},
        {"stopped by an input error", "UPDATE Заг SET ПНапНаУзПод = 'NaN'", 1, false},
        {"head change at the start node",
         "INSERT INTO ИзмПНапВУзлахТС (Nуз, ТрПр, ИзмПНап) SELECT NНачУз, 0, 1 FROM НазвРасч", 1, false},
        {"another network stopped by an input error",
         "UPDATE Заг SET ПНапНаУзПод = 'NaN'; DELETE FROM Табл WHERE КонУзел = (SELECT max(КонУзел) FROM Табл "
         "WHERE КонУзел NOT IN (SELECT НачУзел FROM Табл)); DELETE FROM УзлыТС WHERE Nуз NOT IN "
         "(SELECT НачУзел FROM Табл UNION SELECT КонУзел FROM Табл)",
         1, false},
    };
    const QString flows =
        QStringLiteral("SELECT count(*) FROM МагистралиТС WHERE РасхПод IS NOT NULL OR РасхОбр IS NOT NULL");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zurm::test::ProgramFolderFixture folder;
        const QString file = folder.docs(QStringLiteral("district.mdb"));
        zurm::test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/district_two_pipe.mdb"), file);
        ASSERT_EQ(zurmCalc({file}).exitCode, 0);
        ASSERT_GT(valueOn(file, flows).toInt(), 0);
        for (const QString& change : QString::fromUtf8(c.change).split(QStringLiteral("; ")))
            execOn(file, change);
        EXPECT_EQ(zurmCalc({file}).exitCode, c.exitCode);
        EXPECT_EQ(valueOn(file, flows).toInt() > 0, c.flows);
    }
}

TEST(ZurmCalc, GraphOfAMainAsPictureOrPoints)
{
    QTemporaryDir folder;
    const QString calculation = folder.filePath(QStringLiteral("district.mdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/district_two_pipe.mdb"), calculation));
    QFile::setPermissions(calculation, QFile::ReadOwner | QFile::WriteOwner);
    QDir(folder.path()).mkdir(QStringLiteral("folder.png"));
    auto out = [&](const char* name) { return folder.filePath(QString::fromUtf8(name)); };
    const QString noRun = QStringLiteral("--no-run"), graph = QStringLiteral("--graph"), main = QStringLiteral("--main");

    const struct {
        QStringList arguments;
        int exitCode;
        const char* file;    // written, or nullptr
        QByteArray contents; // what the file holds
        QString message;     // on stderr
    } cases[] = {
        // The stored results are not those of a finished run yet.
        {{calculation, noRun, graph, out("a.csv"), main, QStringLiteral("3")}, 1, nullptr, {},
         QStringLiteral("Перед формированием графика необходимо выполнить расчет (Команда: Данные / Выполнить расчет).")},
        {{calculation, graph, out("heads.csv"), main, QStringLiteral("3")}, 0, "heads.csv",
         "Положение,Надпись,ГеодВыс,Обр,Под\r\n0,\"0; 0\",152,169.419089515644,220\r\n220,,,170.376748755705,", {}},
        {{calculation, noRun, graph, out("diameters.csv"), main, QStringLiteral("3"), QStringLiteral("--type"),
          QStringLiteral("5"), QStringLiteral("--from"), QStringLiteral("1")},
         0, "diameters.csv", "Положение,Надпись,ДуПод\r\n220,\"1; 220\",", {}},
        {{calculation, noRun, graph, out("flows.png"), main, QStringLiteral("3"), QStringLiteral("--type"),
          QStringLiteral("4")},
         0, "flows.png", "\x89PNG", {}},
        {{calculation, noRun, graph, out("t.svg"), main, QStringLiteral("3"), QStringLiteral("--type"), QStringLiteral("1"),
          QStringLiteral("--from"), QStringLiteral("1"), QStringLiteral("--to"), QStringLiteral("101")},
         0, "t.svg", "<?xml", {}},
        {{calculation, noRun, graph, out("folder.png"), main, QStringLiteral("3")}, 2, nullptr, {},
         QStringLiteral("График нельзя записать в ") + out("folder.png") + QStringLiteral(": это папка.")},
        {{calculation, noRun, graph, out("b.csv"), main, QStringLiteral("99")}, 1, nullptr, {},
         QStringLiteral("Магистраль 99 не найдена.")},
        {{calculation, noRun, graph, out("b.csv"), main, QStringLiteral("3"), QStringLiteral("--to"), QStringLiteral("1"),
          QStringLiteral("--from"), QStringLiteral("101")},
         1, nullptr, {}, QStringLiteral("Узел 1 не является конечным узлом участка магистрали 3 после узла 101.")},
        {{calculation, graph, out("b.csv")}, 2, nullptr, {}, QStringLiteral("Не указан номер магистрали (--main).")},
        {{calculation, graph, out("b.jpg"), main, QStringLiteral("3")}, 2, nullptr, {},
         QStringLiteral("Имя файла графика должно оканчиваться на .png, .svg или .csv.")},
        {{calculation, main, QStringLiteral("3")}, 2, nullptr, {},
         QStringLiteral("Параметры --main, --type, --from и --to задаются только с --graph.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const QByteArray before = digest(calculation);
        const bool runs = !c.arguments.contains(noRun) && c.exitCode == 0;
        const Outcome outcome = zurmCalc(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err.toStdString();
        if (!c.message.isEmpty()) {
            EXPECT_TRUE(outcome.err.contains(c.message)) << outcome.err.toStdString();
        }
        if (!runs) {
            EXPECT_EQ(digest(calculation), before) << "only a run writes to the calculation";
        }
        if (c.file) {
            QFile written(out(c.file));
            ASSERT_TRUE(written.open(QIODevice::ReadOnly));
            EXPECT_TRUE(written.readAll().startsWith(c.contents));
        }
    }
    EXPECT_FALSE(QFile::exists(out("a.csv")));
    EXPECT_FALSE(QFile::exists(out("b.csv")));
    EXPECT_FALSE(QFile::exists(out("b.jpg")));
}

TEST(ZurmCalc, PressureCheckFollowsTheRunMessageOnlyWhenAsked)
{
    QTemporaryDir folder;
    const QString calculation = folder.filePath(QStringLiteral("district.mdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/district_two_pipe.mdb"), calculation));
    QFile::setPermissions(calculation, QFile::ReadOwner | QFile::WriteOwner);
    const QString check = QStringLiteral("--pressure-check");

    const Outcome before = zurmCalc({calculation, QStringLiteral("--no-run"), check});
    EXPECT_EQ(before.exitCode, 1);
    EXPECT_EQ(before.err, QStringLiteral("Перед проверкой режима давления необходимо выполнить расчет (Команда: Данные / "
                                         "Выполнить расчет).\n"));
    EXPECT_EQ(zurmCalc({calculation}).out, QStringLiteral("Расчет выполнен успешно.\n"));
    // Heads of up to 68 m above the ground against the default 60 m.
    const Outcome checked = zurmCalc({calculation, check});
    EXPECT_EQ(checked.exitCode, 0) << checked.err.toStdString();
    EXPECT_EQ(checked.out,
              QStringLiteral("Расчет выполнен успешно.\nДавление в подающем трубопроводе выше допустимого для систем "
                             "потребителей (напор выше отметки земли + 60 м): узлы 0, 1, 2, 5, 6, 7, 8, 9, 10, 101, 102, "
                             "103, 201, 203, 204, 501, 502, 503, 504, 601 … и ещё 9.\n"));
    readFrom(calculation, [](QSqlDatabase& db) {
        zurm::writePressureLimits(db, {std::nullopt, 70.0, 5.0});
        return 0;
    });
    EXPECT_EQ(zurmCalc({calculation, QStringLiteral("--no-run"), check}).out,
              QStringLiteral("Нарушений режима давления нет.\n"));
}

TEST(ZurmCalc, LoadFromAWorkbookAloneOrBeforeTheRun)
{
    QTemporaryDir folder;
    const QString calculation = folder.filePath(QStringLiteral("district.mdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/district_two_pipe.mdb"), calculation));
    QFile::setPermissions(calculation, QFile::ReadOwner | QFile::WriteOwner);
    const QString book = folder.filePath(QStringLiteral("lengths.xlsx"));
    zurm::test::packSheet(book, QStringLiteral("Длины"),
                          {{"n:0", "n:1", "n:230"}, {"n:1", "n:2", "s:длина"}, {"n:2", "n:3", "n:260"}});
    const QString settings = QStringLiteral(ZURM_BIN_DIR "/Nastr.mdb");
    const QByteArray settingsBefore = digest(settings);
    auto load = [&](const QString& rows, const QString& column, const QStringList& more = {}) {
        return QStringList{calculation, QStringLiteral("--load"), book, QStringLiteral("--sheet"), QStringLiteral("длины"),
                           QStringLiteral("--rows"), rows, QStringLiteral("--nodes"), QStringLiteral("1,2"),
                           QStringLiteral("--column"), column} + more;
    };
    const QString lengths = QStringLiteral("SELECT group_concat(ДлНаУчПод, ' ') FROM (SELECT ДлНаУчПод FROM Табл "
                                           "WHERE id <= 3 ORDER BY id)");
    const struct {
        QStringList arguments;
        int exitCode;
        QString out, err; // the start of each stream
        QString stored;
    } cases[] = {
        {load("3-1", "длнаучпод=3"), 2, {},
         "Параметр \"Начальная строка таблицы данных\" должен быть меньше или равен параметру", "220.0 180.0 250.0"},
        {load("1-1", "ДлНаУчПод=3"), 0, "Данные загружены успешно.\n", {}, "230.0 180.0 250.0"},
        {load("1-3", "ДлНаУчПод=3", {QStringLiteral("--run")}), 1, {},
         "Ошибка при чтении данных из ячейки таблицы Excel.\n\nАдрес ячейки:\nНомер строки: 2\nНомер колонки: 3\n",
         "230.0 180.0 250.0"},
        {load("3-3", "ДлНаУчПод=3", {QStringLiteral("--run")}), 0, "Данные загружены успешно.\nРасчет", {},
         "230.0 180.0 260.0"},
        {load("1-3", "Нет=3", {QStringLiteral("--column"), QStringLiteral("x")}), 2, {},
         "Показатель и колонка задаются как ПОКАЗАТЕЛЬ=КОЛОНКА: x.", "230.0 180.0 260.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const Outcome outcome = zurmCalc(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.out.startsWith(c.out)) << outcome.out.toStdString();
        EXPECT_TRUE(outcome.err.startsWith(c.err)) << outcome.err.toStdString();
        EXPECT_EQ(valueOn(calculation, lengths).toString(), c.stored);
    }
    EXPECT_EQ(digest(settings), settingsBefore);
}

// A mistake on the command line is named in one line, with one more line
// pointing to the description; a name the files do not hold is refused by its
// name, never passed over.
TEST(ZurmCalc, ParameterMistakesAreNamed)
{
    QTemporaryDir folder;
    const QString calculation = folder.filePath(QStringLiteral("district.mdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/district_two_pipe.mdb"), calculation));
    QFile::setPermissions(calculation, QFile::ReadOwner | QFile::WriteOwner);
    const QString book = folder.filePath(QStringLiteral("lengths.xlsx"));
    zurm::test::packSheet(book, QStringLiteral("Длины"), {{"n:1", "n:2", "n:230", "n:50"}});
    auto load = [&](const QString& sheet, const QStringList& columns) {
        QStringList arguments{calculation, QStringLiteral("--load"), book, QStringLiteral("--sheet"), sheet,
                              QStringLiteral("--rows"), QStringLiteral("1-1"), QStringLiteral("--nodes"),
                              QStringLiteral("1,2")};
        for (const QString& column : columns)
            arguments << QStringLiteral("--column") << column;
        return arguments;
    };
    auto out = [&](const char* name) { return folder.filePath(QString::fromUtf8(name)); };
    const QString pointer = QStringLiteral("Описание параметров: zurm-calc --help\n");
    const QString schema = QStringLiteral("--schema");
    const struct {
        QStringList arguments;
        int exitCode;
        QString err;       // stderr starts with it
        bool pointsToHelp; // and ends with the pointer, two lines in all
    } cases[] = {
        {{calculation, QStringLiteral("--bogus")}, 2, QStringLiteral("Неизвестный параметр --bogus.\n"), true},
        {{calculation, QStringLiteral("--text")}, 2, QStringLiteral("Не указано значение после --text.\n"), true},
        {{calculation, schema, out("s.png"), QStringLiteral("--zoom"), QStringLiteral("5")}, 2,
         QStringLiteral("Масштаб рисунка (--zoom) должен быть целым числом от 10 до 100: 5.\n"), true},
        {{calculation, schema, out("s.gif")}, 2,
         QStringLiteral("Имя файла рисунка (--schema) должно оканчиваться на .png, .jpg или .jpeg.\n"), true},
        {{calculation, schema, out("s.png"), QStringLiteral("--select"), QStringLiteral("3,9999")}, 2,
         QStringLiteral("Узла 9999 нет в схеме теплосети (--select).\n"), false},
        {load(QStringLiteral("Нет"), {QStringLiteral("ДлНаУчПод=3")}), 2,
         QStringLiteral("В книге ") + book + QStringLiteral(" нет листа \"Нет\".\n"), false},
        {load(QStringLiteral("длины"), {QStringLiteral("ДлинаПод=3")}), 2,
         QStringLiteral("Показателя \"ДлинаПод\" нет среди показателей участков"), false},
        {load(QStringLiteral("длины"), {QStringLiteral("ДлНаУчПод=3"), QStringLiteral("ДлНаУчПдо=4")}), 2,
         QStringLiteral("Показателя \"ДлНаУчПдо\" нет среди показателей участков"), false},
    };
    const QString lengths = QStringLiteral("SELECT group_concat(ДлНаУчПод, ' ') FROM Табл");
    const QString before = valueOn(calculation, lengths).toString();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const Outcome outcome = zurmCalc(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_TRUE(outcome.err.startsWith(c.err)) << outcome.err.toStdString();
        if (c.pointsToHelp) {
            EXPECT_EQ(outcome.err, c.err + pointer);
        }
        EXPECT_EQ(valueOn(calculation, lengths).toString(), before) << "nothing is loaded";
    }
    EXPECT_FALSE(QFile::exists(out("s.png")));
    EXPECT_FALSE(QFile::exists(out("s.gif")));

    // The picture is written in the format its name asks for.
    for (const auto& [name, magic] : {std::pair{"s.jpg", QByteArray("\xFF\xD8\xFF")}, std::pair{"s.JPEG", QByteArray("\xFF\xD8\xFF")},
                                      std::pair{"s.png", QByteArray("\x89PNG")}}) {
        const Outcome outcome = zurmCalc({calculation, schema, out(name), QStringLiteral("--zoom"), QStringLiteral("10")});
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
        QFile written(out(name));
        ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << name;
        EXPECT_TRUE(written.read(4).startsWith(magic)) << name;
    }
}

// Every output is judged before it is written and replaces its file in one
// step: never through a link, never a special file, and a full disk keeps the
// old file and says which file and disk failed.
TEST(ZurmCalc, OutputsKeepWhatTheyMayNotReplace)
{
    zurm::test::ProgramFolderFixture folder;
    const QString calculation = folder.docs(QStringLiteral("district.mdb"));
    zurm::test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/district_two_pipe.mdb"),
                                           calculation);
    const QString reference = folder.docs(QStringLiteral("spr.mdb"));
    zurm::test::ProgramFolderFixture::copy(folder.program(QStringLiteral("Spr.mdb")), reference);
    ASSERT_EQ(zurmCalc({calculation, QStringLiteral("--reference"), reference}).exitCode, 0);
    auto docs = [&](const char* name) { return folder.docs(QString::fromUtf8(name)); };
    auto writeBytes = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    writeBytes(docs("decoy.txt"), "decoy");
    ASSERT_TRUE(QFile::link(reference, docs("reference.png")));
    ASSERT_TRUE(QFile::link(docs("decoy.txt"), docs("decoy.png")));
    ASSERT_TRUE(QFile::link(docs("decoy.txt"), docs("decoy.pdf")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(docs("fifo.png")).constData(), 0600), 0);
    for (const char* name : {"old.pdf", "old.csv", "old.xlsx", "old.png"})
        writeBytes(docs(name), "old");
    // The settings of an installed program live in the user's data folder.
    const QString userData = docs("data");
    QDir().mkpath(userData + QStringLiteral("/ЗУРМ"));
    zurm::test::ProgramFolderFixture::copy(folder.program(QStringLiteral("Nastr.mdb")),
                                           userData + QStringLiteral("/ЗУРМ/Nastr.mdb"));
    const QByteArray userSettingsBefore = digest(userData + QStringLiteral("/ЗУРМ/Nastr.mdb"));
    const QString noRun = QStringLiteral("--no-run");
    const QStringList graph{QStringLiteral("--graph"), docs("old.csv"), QStringLiteral("--main"), QStringLiteral("3")};
    const struct {
        QStringList arguments;
        rlim_t fileSizeLimit; // 0: none
        int exitCode;
        QString err; // stderr contains it
    } cases[] = {
        {{calculation, QStringLiteral("--schema"), docs("reference.png")}, 0, 2,
         QStringLiteral("Рисунок нельзя записать в ") + docs("reference.png") + QStringLiteral(": это символическая ссылка.")},
        {{calculation, QStringLiteral("--schema"), docs("decoy.png")}, 0, 2, QStringLiteral(": это символическая ссылка.")},
        {{calculation, noRun, QStringLiteral("--pdf"), docs("decoy.pdf")}, 0, 2, QStringLiteral(": это символическая ссылка.")},
        {{calculation, QStringLiteral("--schema"), docs("fifo.png")}, 0, 2, QStringLiteral(": это не обычный файл.")},
        {{calculation, QStringLiteral("--text"), userData + QStringLiteral("/ЗУРМ/Nastr.mdb")}, 0, 2,
         QStringLiteral(": это файл настроек.")},
        {{calculation, noRun, QStringLiteral("--pdf"), docs("old.pdf")}, 16 * 1024, 1,
         QStringLiteral("Не удалось записать файл ") + docs("old.pdf") + QStringLiteral(": ")},
        {QStringList{calculation, noRun} + graph, 64, 1, QStringLiteral("Не удалось записать файл ") + docs("old.csv")},
        {{calculation, noRun, QStringLiteral("--xlsx"), docs("old.xlsx")}, 4 * 1024, 1,
         QStringLiteral("Не удалось записать файл ") + docs("old.xlsx") + QStringLiteral(": ")},
        {{calculation, QStringLiteral("--schema"), docs("old.png")}, 4 * 1024, 1,
         QStringLiteral("Не удалось записать файл ") + docs("old.png") + QStringLiteral(": ")},
    };
    const QByteArray referenceBefore = digest(reference);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const Outcome outcome = zurmCalc(c.arguments, [&c, &userData](QProcess& process) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("XDG_DATA_HOME"), userData);
            process.setProcessEnvironment(environment);
            if (c.fileSizeLimit)
                process.setChildProcessModifier([limit = c.fileSizeLimit] {
                    const rlimit size{limit, limit};
                    ::setrlimit(RLIMIT_FSIZE, &size);
                });
        });
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains(c.err)) << outcome.err.toStdString();
        EXPECT_FALSE(outcome.err.contains(QStringLiteral("[ERROR]"))) << outcome.err.toStdString();
        if (c.fileSizeLimit) {
            EXPECT_TRUE(outcome.err.contains(QStringLiteral("диск "))) << outcome.err.toStdString();
        }
        EXPECT_EQ(digest(reference), referenceBefore);
        EXPECT_EQ(digest(userData + QStringLiteral("/ЗУРМ/Nastr.mdb")), userSettingsBefore);
    }
    QFile decoy(docs("decoy.txt"));
    ASSERT_TRUE(decoy.open(QIODevice::ReadOnly));
    EXPECT_EQ(decoy.readAll(), "decoy");
    for (const char* name : {"reference.png", "decoy.png", "decoy.pdf"})
        EXPECT_TRUE(QFileInfo(docs(name)).isSymLink()) << name;
    EXPECT_FALSE(QFileInfo(docs("fifo.png")).isFile());
    for (const char* name : {"old.pdf", "old.csv", "old.xlsx", "old.png"}) {
        QFile old(docs(name));
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), "old") << name;
    }

    // What a killed write left beside its target goes with the next write of
    // it; a file of the user's of a like name stays.
    for (const char* name : {"~$old.csv.a1B2c3.tmp", "~$old.pdf", "old.csv.backup"})
        writeBytes(docs(name), "left");
    ASSERT_EQ(zurmCalc(QStringList{calculation, noRun} + graph).exitCode, 0);
    ASSERT_EQ(zurmCalc({calculation, noRun, QStringLiteral("--pdf"), docs("old.pdf")}).exitCode, 0);
    EXPECT_FALSE(QFile::exists(docs("~$old.csv.a1B2c3.tmp")));
    EXPECT_FALSE(QFile::exists(docs("~$old.pdf")));
    EXPECT_TRUE(QFile::exists(docs("old.csv.backup")));
    const QStringList temporaries = QDir(folder.docsFolder()).entryList({QStringLiteral("~$*")}, QDir::Files | QDir::Hidden);
    EXPECT_TRUE(temporaries.isEmpty()) << temporaries.join(' ').toStdString();
}

TEST(ZurmCalc, AdjustmentTableAsCsvOrWorkbook)
{
    QTemporaryDir folder;
    auto copyExample = [&](const char* name) {
        const QString file = folder.filePath(QString::fromUtf8(name) + QStringLiteral(".mdb"));
        EXPECT_TRUE(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/") + QString::fromUtf8(name)
                                    + QStringLiteral(".mdb"),
                                file));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        return file;
    };
    const QString district = copyExample("district_two_pipe");
    const QString onePipe = copyExample("one_pipe");
    execOn(district, QStringLiteral("CREATE TABLE [Потребители] ([КонУзел] smallint PRIMARY KEY, [НаимПотр] text(255), "
                                    "[СхемаПрис] smallint, [ПотНСист] float, [ВысЗд] float, [ТСмеш] float, "
                                    "[НапТреб] float)"));
    execOn(district, QStringLiteral("INSERT INTO [Потребители] VALUES (10, 'Школа', 0, 1.5, 12, 95, NULL), "
                                    "(102, 'Дом; ул. Мира, 3', 1, NULL, 15, NULL, 20)"));
    auto out = [&](const char* name) { return folder.filePath(QString::fromUtf8(name)); };
    const QString noRun = QStringLiteral("--no-run"), adjustment = QStringLiteral("--adjustment");
    QDir(folder.path()).mkdir(QStringLiteral("folder.csv"));
    const struct {
        QStringList arguments;
        int exitCode;
        QString message; // on stderr
    } cases[] = {
        {{district, noRun, adjustment, out("early.csv")}, 1,
         QStringLiteral("Перед наладочным расчетом необходимо выполнить расчет (Команда: Данные / Выполнить расчет).")},
        {{district, adjustment, out("table.txt")}, 2,
         QStringLiteral("Имя файла наладочного расчета (--adjustment) должно оканчиваться на .csv или .xlsx.")},
        {{district, adjustment, out("table.csv")}, 0, {}},
        {{district, noRun, adjustment, out("table.xlsx")}, 0, {}},
        {{district, noRun, adjustment, out("folder.csv")}, 2,
         QStringLiteral("Результат наладочного расчета нельзя записать в ") + out("folder.csv")
             + QStringLiteral(": это папка.")},
        {{onePipe, adjustment, out("one.csv")}, 1,
         QStringLiteral("Наладочный расчет выполняется только для двухтрубной сети")},
        {{district, noRun}, 2,
         QStringLiteral("Параметр --no-run задается только с --xlsx, --pdf, --graph, --adjustment или --pressure-check.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const Outcome outcome = zurmCalc(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains(c.message)) << outcome.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out("early.csv")));
    EXPECT_FALSE(QFile::exists(out("one.csv")));

    // CSV as a spreadsheet program under a Russian locale reads it.
    QFile csv(out("table.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 1 + 23 + 1); // the captions, the end nodes, the end of the last line
    EXPECT_EQ(lines[0], QStringLiteral("Узел;Потребитель;Схема присоединения;G, т/ч;H, м;τ1, °C;τ2, °C;u;uр;"
                                       "№ элеватора;dг, мм;Hmin, м;dс, мм;ΔH диафрагм, м;d диафрагмы, мм;"
                                       "Число диафрагм;Примечание"));
    EXPECT_EQ(lines[1], QStringLiteral("10;Школа;элеваторная;18,000;38,83;128,50;71,50;1,43;1,64;7;52,94;14,63;16,32;;;;"));
    EXPECT_EQ(lines[2], QStringLiteral("102;\"Дом; ул. Мира, 3\";непосредственная без смешения;12,000;44,42;129,50;"
                                       "70,50;;;;;;;24,42;15,58;1;"));
    EXPECT_EQ(lines[3], QStringLiteral("103;;;6,000;46,28;129,50;70,50;;;;;;;;;;Нет данных о потребителе."));

    const zurm::XlsxReader book(out("table.xlsx"));
    EXPECT_EQ(book.sheetNames(), QStringList{QStringLiteral("Наладка")});
    const zurm::XlsxSheet sheet = book.sheet(0);
    EXPECT_EQ(sheet.rowCount, 1 + 23);
    EXPECT_EQ(sheet.cell(1, 17).text, QStringLiteral("Примечание"));
    EXPECT_EQ(sheet.cell(2, 1).number, 10);
    EXPECT_EQ(sheet.cell(2, 10).number, 7);
    EXPECT_DOUBLE_EQ(sheet.cell(2, 13).number, 16.32);
    EXPECT_DOUBLE_EQ(sheet.cell(3, 15).number, 15.58);
    EXPECT_EQ(sheet.cell(4, 17).text, QStringLiteral("Нет данных о потребителе."));
}
