// Program start, OpenDocuments and the clean-up at exit; the program folder and
// the file name rules the file commands share.
#include "core/session_test_support.h"

#include "base/Failure.h"
#include "document/FileNames.h"
#include "document/ProgramFolder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace zurm;
using namespace zurm::test;

namespace {

const QString kStartContext =
    QStringLiteral("Ошибка при открытии базы данных гидравлического расчета и базы данных справочников.");
const QString kRepairHint = QStringLiteral("Для исправления ошибки выполните команду:\rДанные / Параметры теплосети");

} // namespace

TEST(FileNameRules, DatabaseExtensionIsAppendedUnlessPresentInAnyCase)
{
    const struct {
        const char* chosen;
        const char* expected;
    } cases[] = {
        {"report", "report.mdb"},
        {"x.MDB", "x.MDB"},
        {"abc", "abc.mdb"},
        {"a.txt", "a.txt.mdb"},
        {"/docs/сеть.Mdb", "/docs/сеть.Mdb"},
        {".mdb", ".mdb"},
        {"mdb", "mdb.mdb"},
        {"ab", "ab.mdb"},
        {"x.mdbx", "x.mdbx.mdb"},
        {"x.mdb ", "x.mdb .mdb"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withDatabaseExtension(QString::fromUtf8(c.chosen)), QString::fromUtf8(c.expected)) << c.chosen;
}

// ------------------------------------------------------------- program folder

struct ProgramFolderTest : ::testing::Test {
    QTemporaryDir root;
    QString installed() const { return root.path() + QStringLiteral("/installed"); }
    QString user() const { return root.path() + QStringLiteral("/user/ЗУРМ"); }
    void install(const QStringList& names)
    {
        QDir().mkpath(installed());
        for (const QString& name : names)
            ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/") + name, installed() + QLatin1Char('/') + name);
    }
};

TEST_F(ProgramFolderTest, WritableExecutableFolderWithTheDeliveredFilesIsUsedAsItIs)
{
    install(deliveredFileNames());
    EXPECT_EQ(resolveProgramFolder(installed(), user()), installed());
    EXPECT_FALSE(QFileInfo::exists(user())) << "no user folder is made for a portable program";
    // The probe that tests the folder for writing leaves nothing behind.
    EXPECT_EQ(QDir(installed()).entryList(QDir::Files | QDir::Hidden).size(), 3);

    // A folder the package manager installed is never written, even by root.
    writeBytes(installed() + QLatin1Char('/') + kInstalledMarker, "");
    EXPECT_EQ(resolveProgramFolder(installed(), user()), user());
    EXPECT_EQ(QDir(installed()).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

TEST_F(ProgramFolderTest, UserFolderIsSeededOnlyWithTheFilesItLacks)
{
    // An installation without a settings file of its own: the user folder
    // takes over; the user's edited reference file is kept.
    install({QStringLiteral("GidrRas.mdb"), QStringLiteral("Spr.mdb")});
    QDir().mkpath(user());
    writeBytes(user() + QStringLiteral("/Spr.mdb"), "edited by the user");

    EXPECT_EQ(resolveProgramFolder(installed(), user()), user());
    EXPECT_EQ(fileBytes(user() + QStringLiteral("/GidrRas.mdb")),
              fileBytes(installed() + QStringLiteral("/GidrRas.mdb")));
    EXPECT_EQ(fileBytes(user() + QStringLiteral("/Spr.mdb")), QByteArray("edited by the user"));
    EXPECT_FALSE(QFileInfo::exists(user() + QStringLiteral("/Nastr.mdb"))) << "nothing to copy it from";
    EXPECT_TRUE(QFileInfo(user() + QStringLiteral("/GidrRas.mdb")).isWritable());

    // Once the installation is complete again, the missing file is seeded
    // into the user folder, which stays the program folder.
    QDir(installed()).remove(QStringLiteral("Spr.mdb"));
    install({QStringLiteral("Nastr.mdb")});
    EXPECT_EQ(resolveProgramFolder(installed(), user()), user());
    EXPECT_EQ(fileBytes(user() + QStringLiteral("/Nastr.mdb")), fileBytes(installed() + QStringLiteral("/Nastr.mdb")));
    EXPECT_EQ(QDir(user()).entryList(QDir::Files | QDir::Hidden).size(), 3) << "no partial copies left";
}

// ------------------------------------------------------------- start-up

using DocumentSessionStart = SessionTest;

TEST_F(DocumentSessionStart, FirstStartOpensOnTheSampleAndNeverReplacesTheUsersCopy)
{
    // Only the start that has just seeded the settings offers the sample.
    QTemporaryDir root;
    const QString installed = root.path() + QStringLiteral("/installed");
    const QString user = root.path() + QStringLiteral("/user");
    QDir().mkpath(installed);
    for (const char* name : {"GidrRas.mdb", "Nastr.mdb"})
        ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/") + QLatin1String(name),
                                   installed + QLatin1Char('/') + QLatin1String(name));
    EXPECT_TRUE(chooseProgramFolder(installed, user).settingsSeeded);
    EXPECT_FALSE(chooseProgramFolder(installed, user).settingsSeeded);

    const QString sample = QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb");
    const struct {
        QVariant stored;   // ФайлГР before the start
        bool userCopy;     // the user's copy of the sample is there already
        QString opened;    // ФайлГР after the start, "" for the copy
    } cases[] = {
        {QVariant(), false, QString()},
        {QVariant(), true, QString()},
        {QStringLiteral("chosen.mdb"), false, QStringLiteral("chosen.mdb")},
    };
    for (const auto& c : cases) {
        const QString copy = folder.docs(QStringLiteral("ЗУРМ/sample.mdb"));
        QDir(folder.docs(QStringLiteral("ЗУРМ"))).removeRecursively();
        if (c.userCopy) {
            QDir().mkpath(folder.docs(QStringLiteral("ЗУРМ")));
            writeBytes(copy, "the user's edits");
        }
        storeSettings(c.stored, QStringLiteral("Spr.mdb"));
        session = makeSession();
        session->openSampleOnFirstStart(sample, copy);
        session->startUp(QString());
        EXPECT_EQ(storedCalculation().toString(), c.opened.isEmpty() ? copy : c.opened);
        if (c.userCopy)
            EXPECT_EQ(fileBytes(copy), QByteArray("the user's edits"));
        else if (c.opened.isEmpty())
            EXPECT_EQ(fileBytes(copy), fileBytes(sample));
        else
            EXPECT_FALSE(QFileInfo::exists(copy)) << "a start naming a calculation copies nothing";
    }
}

TEST_F(DocumentSessionStart, WithoutACalculationFileNothingOpensAndNothingIsSaid)
{
    ASSERT_TRUE(session->startUp(QString()));
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(session->viewState().caption, QStringLiteral("ЗУРМ 1.4"));
    EXPECT_FALSE(session->viewState().gridsVisible);
    EXPECT_TRUE(session->data().settingsOpen());
    EXPECT_TRUE(session->data().workOpen());
    EXPECT_FALSE(session->data().calculationOpen());
    EXPECT_FALSE(session->data().referenceOpen());
    EXPECT_EQ(session->viewState().networkStatus, 2);
    EXPECT_EQ(progress.locks, 1);
    EXPECT_EQ(progress.unlocks, 1);
    EXPECT_FALSE(QFileInfo::exists(folder.program(QStringLiteral("~$.mdb")))) << "in-memory work database";
}

TEST_F(DocumentSessionStart, MissingFilesAreReportedCalculationFirstAndStayStored)
{
    const QString calc = usableCalculation();
    const QString missingCalc = folder.docs(QStringLiteral("gone.mdb"));
    const QString missingRef = folder.docs(QStringLiteral("nospr.mdb"));
    const struct {
        QString calculation;
        QString reference;
        QStringList messages;
    } cases[] = {
        {missingCalc, missingRef,
         {QStringLiteral("Файл ") + missingCalc + QStringLiteral(" не найден."),
          QStringLiteral("Файл ") + missingRef + QStringLiteral(" не найден.")}},
        {missingCalc, QStringLiteral("Spr.mdb"), {QStringLiteral("Файл ") + missingCalc + QStringLiteral(" не найден.")}},
        {calc, QStringLiteral("Нет.mdb"), {QStringLiteral("Файл Нет.mdb не найден.")}},
        {calc, QString(), {QStringLiteral("Файл  не найден.")}},
    };
    for (const auto& c : cases) {
        storeSettings(c.calculation, c.reference.isEmpty() ? QVariant() : QVariant(c.reference));
        dialogs.messages.clear();
        EXPECT_TRUE(session->startUp(QString()));
        EXPECT_EQ(dialogs.messages, c.messages) << c.calculation.toStdString();
        EXPECT_EQ(session->viewState().caption, c.calculation + QStringLiteral(" - ЗУРМ 1.4"));
        EXPECT_FALSE(session->data().calculationOpen());
        EXPECT_FALSE(session->data().referenceOpen());
        EXPECT_FALSE(session->viewState().gridsVisible);
        EXPECT_EQ(storedCalculation().toString(), c.calculation);
    }
}

TEST_F(DocumentSessionStart, UsableCalculationShowsItsHeaderAndGrids)
{
    const QString calc = usableCalculation();
    execOnFile(calc, QStringLiteral("UPDATE НазвРасч SET НазвРасч='Квартал 5', NузПНапПод=3, NузРНап=NULL, РВ=1"));
    storeSettings(calc, QStringLiteral("Spr.mdb"));
    int checks = 0;
    session->checkIndicators = [&] { return ++checks > 0; };

    ASSERT_TRUE(session->startUp(QString()));
    const DocumentViewState& view = session->viewState();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(session->indicatorsValid());
    EXPECT_TRUE(view.gridsVisible);
    EXPECT_EQ(view.caption, calc + QStringLiteral(" - ЗУРМ 1.4"));
    EXPECT_EQ(view.calculationName, QStringLiteral("Квартал 5"));
    EXPECT_EQ(view.supplyHeadNodeText, QStringLiteral("3"));
    EXPECT_EQ(view.availableHeadNodeText, QString());
    // Two-pipe network without diameter determination: both node fields open.
    EXPECT_TRUE(view.supplyNodeFieldEnabled);
    EXPECT_TRUE(view.availableNodeFieldEnabled);
    EXPECT_EQ(view.statusText, QStringLiteral("Расчет выполнен."));
    EXPECT_TRUE(session->data().calculationDone());
    EXPECT_EQ(view.sort, SegmentSort::ById);
    EXPECT_EQ(session->data().segmentSort(), SegmentSort::ById);
    EXPECT_FALSE(view.layout.segmentColumns.isEmpty());
    EXPECT_EQ(view.networkStatus, 0);
    EXPECT_TRUE(session->data().referenceOpen());
    EXPECT_EQ(progress.locks, progress.unlocks);
}

// Two copies started from one folder each keep their own work database; what
// copies that are no longer running left behind goes at the next start.
TEST_F(DocumentSessionStart, EachCopyHasItsOwnWorkDatabaseAndStaleScratchFilesGo)
{
    QProcess finished;
    finished.start(QStringLiteral("true"));
    ASSERT_TRUE(finished.waitForFinished());
    const QString dead = QStringLiteral("~$%1-0").arg(finished.processId());
    const QString living = QStringLiteral("~$%1-999").arg(QCoreApplication::applicationPid());
    const QStringList stale{dead + QStringLiteral(".mdb"), dead + QStringLiteral(".tx_"), QStringLiteral("~$.tx_")};
    for (const QString& name : stale + QStringList{living + QStringLiteral(".mdb")})
        writeBytes(folder.program(name), "left over");

    ASSERT_TRUE(session->startUp(DocumentSession::kOwnWorkDatabase));
    const QString first = session->data().workPath();
    EXPECT_EQ(folderOf(first), folder.programFolder());
    execSql(session->data().work(), QStringLiteral("INSERT INTO ВКол VALUES (1, 'first')"));
    for (const QString& name : stale)
        EXPECT_FALSE(QFileInfo::exists(folder.program(name))) << name.toStdString();
    EXPECT_TRUE(QFileInfo::exists(folder.program(living + QStringLiteral(".mdb"))));

    auto second = makeSession();
    ASSERT_TRUE(second->startUp(DocumentSession::kOwnWorkDatabase));
    EXPECT_NE(second->data().workPath(), first);
    EXPECT_EQ(selectValue(session->data().work(), QStringLiteral("SELECT НаимПок FROM ВКол")).toString(),
              QStringLiteral("first"));
    second->exitCleanUp();
    EXPECT_TRUE(QFileInfo(first).isFile()) << "the other copy's work database stays";
}

TEST_F(DocumentSessionStart, EachFailingStepStopsTheStartWithItsContext)
{
    // No settings file: the first step fails, nothing else runs.
    QFile::remove(settingsFile());
    EXPECT_FALSE(session->startUp(QString()));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith(QStringLiteral("Ошибка при открытии базы данных настроек.\r\r"
                                                              "Класс ошибки: \"")));
    EXPECT_TRUE(dialogs.messages[0].contains(settingsFile()));
    EXPECT_FALSE(session->data().workOpen());
    EXPECT_EQ(progress.locks, 0);

    // A work database that cannot be made.
    ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/Nastr.mdb"), settingsFile());
    dialogs.messages.clear();
    const QString work = session->scratchFileName(QStringLiteral("mdb"));
    QDir().mkpath(folder.program(work + QStringLiteral("/sub")));
    EXPECT_FALSE(session->startUp(DocumentSession::kOwnWorkDatabase));
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[0], QStringLiteral("Файл ") + folder.programFolder() + QLatin1Char('/') + work
                                       + QStringLiteral(" не может быть удален. Возможно он занят другим "
                                                        "приложением или его не существует."));
    EXPECT_TRUE(dialogs.messages[1].startsWith(QStringLiteral("Ошибка при создании временной базы данных.\r\r")));
    EXPECT_EQ(progress.locks, 0);
}

// ------------------------------------------------------------- OpenDocuments

using DocumentSessionOpen = SessionTest;

TEST_F(DocumentSessionOpen, NetworkStatusMessagesAndGrids)
{
    const struct {
        int status;
        QVariant text;
        QString message; // empty: none
    } cases[] = {
        {0, {}, QString()},
        {1, {}, SessionTest::emptySegmentsMessage()},
        {2, {},
         QStringLiteral("В таблице \"Изменение полного напора в узлах теплосети\" в поле \"Узел\" указан начальный "
                        "узел теплосети.\r\r")
             + kRepairHint},
        {3, QStringLiteral("Узел 7 не связан с начальным узлом."),
         QStringLiteral("Узел 7 не связан с начальным узлом.\r\r") + kRepairHint},
        {3, {}, QStringLiteral("\r\r") + kRepairHint},
        {5, QStringLiteral("Иная ошибка"), QStringLiteral("Иная ошибка\r\r") + kRepairHint},
    };
    ASSERT_TRUE(session->startUp(QString()));
    int n = 0;
    for (const auto& c : cases) {
        const QString calc = calculation(QStringLiteral("state%1.mdb").arg(n++), c.status, c.text);
        storeSettings(calc, QStringLiteral("Spr.mdb"));
        for (const bool showMessages : {true, false}) {
            dialogs.messages.clear();
            session->OpenDocuments(showMessages);
            const QStringList expected =
                showMessages && !c.message.isEmpty() ? QStringList{c.message} : QStringList{};
            EXPECT_EQ(dialogs.messages, expected) << c.status;
            EXPECT_EQ(session->viewState().networkStatus, c.status);
            EXPECT_EQ(session->viewState().networkStatusText, c.text.isNull() ? QString() : c.text.toString());
            EXPECT_EQ(session->viewState().gridsVisible, c.status == 0) << c.status;
            EXPECT_TRUE(session->data().calculationOpen());
        }
    }
    EXPECT_EQ(progress.locks, progress.unlocks);
}

TEST_F(DocumentSessionOpen, FailedIndicatorCheckKeepsGridsHiddenAndSkipsTheStructure)
{
    ASSERT_TRUE(session->startUp(QString()));
    storeSettings(usableCalculation(), QStringLiteral("Spr.mdb"));
    session->checkIndicators = [] { return false; };
    session->OpenDocuments(true);
    EXPECT_FALSE(session->indicatorsValid());
    EXPECT_FALSE(session->viewState().gridsVisible);
    EXPECT_TRUE(session->viewState().layout.segmentColumns.isEmpty());
    EXPECT_FALSE(session->viewState().supplyNodeFieldEnabled);
    EXPECT_TRUE(session->data().calculationOpen()) << "the document is open, only not usable";
}

namespace {

// Makes a file or folder unwritable for this process, whoever runs the tests:
// the permission bits, and for root the immutable attribute.
class Unwritable {
public:
    explicit Unwritable(const QString& path) : path_(path), name_(QFile::encodeName(path))
    {
        ::chmod(name_.constData(), QFileInfo(path).isDir() ? 0555 : 0444);
        if (::access(name_.constData(), W_OK) == 0)
            immutable_ = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path_}) == 0;
    }
    ~Unwritable()
    {
        if (immutable_)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
        ::chmod(name_.constData(), QFileInfo(path_).isDir() ? 0755 : 0644);
    }
    bool holds() const { return ::access(name_.constData(), W_OK) != 0; }

private:
    QString path_;
    QByteArray name_;
    bool immutable_ = false;
};

} // namespace

// Opening changes nothing in a file. One that cannot be written (or whose
// folder cannot be) opens for viewing with a message, and the file commands
// go on working: Save as makes a copy that can be edited.
TEST_F(DocumentSessionOpen, UnwritableCalculationOpensForViewing)
{
    auto real = std::make_unique<DocumentSession>(folder.programFolder(), dialogs, progress);
    for (const bool wholeFolder : {false, true}) {
        SCOPED_TRACE(wholeFolder);
        const QString calc = usableCalculation(QStringLiteral("calc%1.mdb").arg(int(wholeFolder)));
        storeSettings(calc, QStringLiteral("Spr.mdb"));
        ASSERT_TRUE(real->startUp(QString()));
        ASSERT_TRUE(real->viewState().gridsVisible);
        real->data().closeCalculation();
        const QByteArray bytes = fileBytes(calc);
        dialogs.messages.clear();
        real->OpenDocuments(true);
        EXPECT_EQ(fileBytes(calc), bytes) << "opening wrote to the file";
        EXPECT_FALSE(real->data().calculationReadOnly());
        real->data().closeCalculation();

        const Unwritable unwritable(wholeFolder ? folder.docsFolder() : calc);
        if (!unwritable.holds())
            GTEST_SKIP() << "no way to make a file unwritable here";
        ASSERT_TRUE(real->startUp(QString()));
        EXPECT_EQ(dialogs.messages, QStringList{readOnlyCalculationMessage(calc)});
        EXPECT_TRUE(real->viewState().gridsVisible);
        EXPECT_TRUE(real->viewState().readOnly);
        EXPECT_EQ(fileBytes(calc), bytes);
        dialogs.messages.clear();
        EXPECT_FALSE(real->compactCalculation());
        EXPECT_EQ(dialogs.messages, QStringList{readOnlyCalculationMessage(calc)});

        dialogs.messages.clear();
        const QString copy = folder.programFolder() + QStringLiteral("/../copy%1.mdb").arg(int(wholeFolder));
        dialogs.files.push_back(copy);
        EXPECT_TRUE(real->saveCalculationAs()) << dialogs.messages.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(QLatin1Char('|')).toStdString();
        EXPECT_FALSE(real->viewState().readOnly);
        EXPECT_EQ(fileBytes(calc), bytes);
        real->exitCleanUp();
    }
}

TEST_F(DocumentSessionOpen, TheRealIndicatorCheckRunsByDefault)
{
    // A fresh session carries the real check: a faulty catalogue is reported
    // with its instruction and the grids stay hidden; the template's passes.
    auto real = std::make_unique<DocumentSession>(folder.programFolder(), dialogs, progress);
    const QString bad = usableCalculation(QStringLiteral("bad.mdb"));
    execOnFile(bad, QStringLiteral("UPDATE Формулы SET Формула='<Нет>' WHERE НаимПокСокр='ДвнПод'"));
    storeSettings(bad, QStringLiteral("Spr.mdb"));
    ASSERT_TRUE(real->startUp(QString()));
    EXPECT_FALSE(real->indicatorsValid());
    EXPECT_FALSE(real->viewState().gridsVisible);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0],
              QStringLiteral("Показатели расчета:\rСокр. наименование показателя: \"ДвнПод\":\r\r"
                             "Синтаксическая ошибка в формуле: Не найден показатель \"Нет\".\r\r"
                             "Для исправления ошибки выполните команду:\rДанные / Параметры расчета"));

    dialogs.messages.clear();
    storeSettings(usableCalculation(QStringLiteral("good.mdb")), QStringLiteral("Spr.mdb"));
    real->OpenDocuments(true);
    EXPECT_TRUE(real->indicatorsValid());
    EXPECT_TRUE(real->viewState().gridsVisible);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(DocumentSessionOpen, ReopeningResetsTheWindowState)
{
    const QString calc = usableCalculation();
    execOnFile(calc, QStringLiteral("UPDATE НазвРасч SET НазвРасч='Старый', РВ=1, ОпрД=1"));
    startWith(calc);
    session->viewState().lastNavigationKey = 40;
    session->viewState().sort = SegmentSort::ByNodes;
    session->data().setSegmentSort(SegmentSort::ByNodes);
    EXPECT_FALSE(session->viewState().supplyNodeFieldEnabled) << "diameters determined: node fields closed";

    // The same file, changed by someone else, and then no file at all.
    execOnFile(calc, QStringLiteral("UPDATE НазвРасч SET НазвРасч=NULL, РВ=0, ОпрД=0"));
    session->OpenDocuments(false);
    const DocumentViewState& view = session->viewState();
    EXPECT_FALSE(view.lastNavigationKey.has_value());
    EXPECT_EQ(view.sort, SegmentSort::ById);
    EXPECT_EQ(session->data().segmentSort(), SegmentSort::ById);
    EXPECT_EQ(view.calculationName, QString());
    EXPECT_EQ(view.statusText, QString());
    EXPECT_FALSE(session->data().calculationDone());
    EXPECT_TRUE(view.supplyNodeFieldEnabled);

    storeSettings(QVariant(), QStringLiteral("Spr.mdb"));
    session->OpenDocuments(true);
    EXPECT_EQ(view.caption, QStringLiteral("ЗУРМ 1.4"));
    EXPECT_FALSE(view.gridsVisible);
    EXPECT_FALSE(view.supplyNodeFieldEnabled);
    EXPECT_FALSE(view.availableNodeFieldEnabled);
    EXPECT_EQ(view.networkStatus, 2);
    EXPECT_FALSE(session->data().calculationOpen());
    EXPECT_FALSE(session->data().referenceOpen());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(DocumentSessionOpen, ForeignFilesNamedInTheSettingsOpenNothingAndStayUntouched)
{
    QString sqliteWithoutTables = folder.docs(QStringLiteral("other.mdb"));
    execOnFile(sqliteWithoutTables, QStringLiteral("CREATE TABLE x (a integer)"));
    const QString text = folder.docs(QStringLiteral("notes.mdb"));
    writeBytes(text, "not a database at all\n");
    const QString calc = usableCalculation();

    const struct {
        QString calculation;
        QString reference;
        QString named;
    } cases[] = {
        {text, QStringLiteral("Spr.mdb"), text},
        {sqliteWithoutTables, QStringLiteral("Spr.mdb"), sqliteWithoutTables},
        {calc, calc, calc}, // a calculation is no reference file
    };
    for (const auto& c : cases) {
        storeSettings(c.calculation, c.reference);
        const QByteArray before = fileBytes(c.named);
        dialogs.messages.clear();
        EXPECT_FALSE(session->startUp(QString()));
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages[0].startsWith(kStartContext + QStringLiteral("\r\rКласс ошибки: \"")));
        EXPECT_TRUE(dialogs.messages[0].contains(c.named)) << dialogs.messages[0].toStdString();
        EXPECT_FALSE(session->data().calculationOpen());
        EXPECT_FALSE(session->data().referenceOpen());
        EXPECT_FALSE(session->viewState().gridsVisible);
        EXPECT_EQ(fileBytes(c.named), before);
        EXPECT_EQ(progress.locks, progress.unlocks);
    }
}

// ------------------------------------------------------------- exit

using DocumentSessionExit = SessionTest;

TEST_F(DocumentSessionExit, TemporaryFilesAreDeleted)
{
    storeSettings(usableCalculation(), QStringLiteral("Spr.mdb"));
    ASSERT_TRUE(session->startUp(QStringLiteral("~$.mdb")));
    writeBytes(folder.program(QStringLiteral("~$$.mdb")), "scratch");
    writeBytes(folder.program(QStringLiteral("~$.tx_")), "text");
    int posts = 0;
    session->postPendingEdits = [&] { ++posts; };

    session->exitCleanUp();
    EXPECT_EQ(posts, 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_FALSE(session->data().workOpen());
    EXPECT_EQ(filesIn(folder.programFolder()),
              (QStringList{QStringLiteral("GidrRas.mdb"), QStringLiteral("Nastr.mdb"), QStringLiteral("Spr.mdb")}));

    // Nothing to delete is no error.
    session->exitCleanUp();
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(DocumentSessionExit, UndeletableFilesAreReportedAndTheRestIsStillDeleted)
{
    ASSERT_TRUE(session->startUp(QStringLiteral("~$.mdb")));
    makeUndeletable(folder.program(QStringLiteral("~$$.mdb")));
    writeBytes(folder.program(QStringLiteral("~$.tx_")), "text");
    session->postPendingEdits = [] { throw Failure(QStringLiteral("SqlError"), QStringLiteral("disk I/O error")); };

    // The edits that could not be saved are dropped only when the user agrees.
    EXPECT_FALSE(session->exitCleanUp());
    EXPECT_TRUE(QFileInfo::exists(folder.program(QStringLiteral("~$.tx_"))));
    dialogs.messages.clear();
    dialogs.answers = {true};
    EXPECT_TRUE(session->exitCleanUp());
    EXPECT_EQ(dialogs.messages,
              (QStringList{QStringLiteral("Ошибка при сохранении данных.\r\rКласс ошибки: \"SqlError\"\r"
                                          "Текст ошибки: \"disk I/O error\""),
                           QStringLiteral("Файл ") + folder.programFolder()
                               + QStringLiteral("/~$$.mdb не может быть удален. Возможно он занят другим "
                                                "приложением или его не существует.")}));
    EXPECT_FALSE(QFileInfo::exists(folder.program(QStringLiteral("~$.mdb"))));
    EXPECT_FALSE(QFileInfo::exists(folder.program(QStringLiteral("~$.tx_"))));
}
