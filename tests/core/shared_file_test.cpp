// One calculation file shared by several copies of the program and by other
// programs: only what the user changed is written, a change made elsewhere is
// noticed before anything is written, an idle grid holds no lock, a replaced
// file gets no row of the old network, and one copy edits while others view.
// GCC 12 sees the optional<QString> of the scripted file answers as possibly
// uninitialised once it is inlined; it is not.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "core/session_test_support.h"
#pragma GCC diagnostic pop

#include "base/Failure.h"
#include "document/DocumentLock.h"
#include "entry/SegmentTableModel.h"
#include "hydraulics/CalculationRun.h"

#include <QProcess>
#include <QSysInfo>

using namespace zurm;
using namespace zurm::test;

namespace {

struct SharedFileTest : SessionTest {
    QString sample = folder.docs(QStringLiteral("sample.mdb"));

    void SetUp() override
    {
        ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), sample);
        startWith(sample);
        ASSERT_TRUE(session->viewState().gridsVisible);
    }
    QVariant onFile(const QString& sql) const { return valueOnFile(sample, sql); }
};

int column(const SegmentTableModel& model, const char* name)
{
    return model.fieldIndex(QString::fromUtf8(name));
}

} // namespace

// Another program changed a length and zurm-calc ran after this copy read the
// row: saving a changed flow keeps both and clears the calculation-done flag.
TEST_F(SharedFileTest, RowSaveWritesOnlyTheChangedColumnsAndSeesTheRunOfAnother)
{
    SegmentTableModel model(session->data());
    model.selectSorted(SegmentSort::ById);
    ASSERT_DOUBLE_EQ(model.index(0, column(model, "ДлНаУчПод")).data().toDouble(), 180.0);
    ASSERT_TRUE(model.setData(model.index(0, column(model, "РасхПод")), 44.0));

    execOnFile(sample, QStringLiteral("UPDATE Табл SET ДлНаУчПод=999 WHERE id=1"));
    QProcess run;
    run.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"), {sample});
    ASSERT_TRUE(run.waitForFinished(60000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    const QVariant head = onFile(QStringLiteral("SELECT ПНапКонПод FROM Табл WHERE id=1"));
    ASSERT_FALSE(head.isNull());
    ASSERT_EQ(onFile(QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 1);
    model.saveRow(0);

    EXPECT_DOUBLE_EQ(onFile(QStringLiteral("SELECT РасхПод FROM Табл WHERE id=1")).toDouble(), 44.0);
    EXPECT_DOUBLE_EQ(onFile(QStringLiteral("SELECT ДлНаУчПод FROM Табл WHERE id=1")).toDouble(), 999.0);
    EXPECT_DOUBLE_EQ(onFile(QStringLiteral("SELECT ПНапКонПод FROM Табл WHERE id=1")).toDouble(), head.toDouble());
    EXPECT_EQ(onFile(QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
    EXPECT_FALSE(session->data().calculationDone());
    EXPECT_DOUBLE_EQ(model.index(0, column(model, "ДлНаУчПод")).data().toDouble(), 999.0);
    EXPECT_FALSE(model.rowPending(0));
}

// More than a screenful of rows, some of them read: another program can write.
TEST_F(SharedFileTest, AnIdleGridHoldsNoLock)
{
    execOnFile(sample, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 7 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                                      "INSERT INTO Табл (id, НачУзел, КонУзел, ДлНаУчПод) SELECT i, i - 1, i, 10 FROM n"));
    SegmentTableModel model(session->data());
    model.selectSorted(SegmentSort::ByNodes);
    ASSERT_TRUE(model.canFetchMore(QModelIndex()));
    model.fetchMore(QModelIndex());
    ASSERT_EQ(model.index(300, column(model, "ДлНаУчПод")).data().toDouble(), 10.0);

    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("impatient"));
    other.setDatabaseName(sample);
    other.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
    ASSERT_TRUE(other.open());
    EXPECT_NO_THROW(execSql(other, QStringLiteral("UPDATE Табл SET ДлНаУчПод=11 WHERE id=1500")));
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("impatient"));
}

// The file is replaced while a row edit waits: nothing of it reaches the new file.
TEST_F(SharedFileTest, AReplacedFileGetsNoRowOfTheOldNetwork)
{
    enum class Replace { CopiedOver, RenamedOver, Deleted };
    for (const Replace replace : {Replace::CopiedOver, Replace::RenamedOver, Replace::Deleted}) {
        SCOPED_TRACE(int(replace));
        startWith(sample);
        SegmentTableModel model(session->data());
        model.selectSorted(SegmentSort::ById);
        ASSERT_TRUE(model.setData(model.index(0, column(model, "РасхПод")), 44.0));

        // Another network: the same keys on other nodes.
        const QString other = folder.docs(QStringLiteral("other.mdb"));
        ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), other);
        for (int i = 0; i < 3; ++i)
            execOnFile(other, QStringLiteral("UPDATE Табл SET НачУзел=НачУзел+100, КонУзел=КонУзел+100"));
        const QByteArray otherBytes = fileBytes(other);
        if (replace == Replace::CopiedOver)
            writeBytes(sample, otherBytes);
        else if (replace == Replace::RenamedOver)
            ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(sample).constData()), 0);
        else
            ASSERT_TRUE(QFile::remove(sample));

        for (int attempt = 0; attempt < 2; ++attempt)
            EXPECT_THROW(model.saveRow(0), Failure) << "attempt " << attempt;
        EXPECT_TRUE(model.rowPending(0));
        if (replace != Replace::Deleted) {
            EXPECT_EQ(fileBytes(sample), otherBytes);
        }
        ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), sample);
    }
}

// One copy edits; a second one is told who does and views the file; a lock
// left by a process that has ended is taken over.
TEST_F(SharedFileTest, OneCopyEditsTheOthersView)
{
    const QString lockFile = DocumentLock::lockFileFor(sample);
    ASSERT_TRUE(QFileInfo::exists(lockFile));
    EXPECT_FALSE(session->data().calculationReadOnly());

    FakeDialogs secondDialogs;
    FakeProgress secondProgress;
    DocumentSession second(folder.programFolder(), secondDialogs, secondProgress);
    second.checkIndicators = [] { return true; };
    ASSERT_TRUE(second.startUp(QString()));
    ASSERT_EQ(secondDialogs.messages.size(), 1);
    const QString& message = secondDialogs.messages.first();
    EXPECT_TRUE(message.startsWith(QStringLiteral("Файл ") + sample + QStringLiteral(" уже открыт для редактирования")));
    EXPECT_TRUE(message.contains(QStringLiteral(" на компьютере ") + QSysInfo::machineHostName()));
    EXPECT_TRUE(message.contains(QStringLiteral("только для просмотра")));
    EXPECT_TRUE(second.data().calculationReadOnly());
    EXPECT_TRUE(second.viewState().gridsVisible);
    SegmentTableModel viewed(second.data());
    viewed.selectSorted(SegmentSort::ById);
    EXPECT_FALSE(viewed.flags(viewed.index(0, column(viewed, "РасхПод"))) & Qt::ItemIsEditable);
    // Commands that would write say why they may not.
    secondDialogs.messages.clear();
    RunOptions options;
    options.indicatorsValid = true;
    options.askConfirmation = false;
    EXPECT_FALSE(runCalculation(second.data(), secondDialogs, secondProgress, options).succeeded);
    ASSERT_EQ(secondDialogs.messages.size(), 1);
    EXPECT_TRUE(secondDialogs.messages[0].contains(QStringLiteral(" редактируется в другой копии программы")))
        << secondDialogs.messages[0].toStdString();

    // The first copy closes: the lock goes, and the second may edit after reopening.
    session.reset();
    EXPECT_FALSE(QFileInfo::exists(lockFile));
    secondDialogs.messages.clear();
    second.OpenDocuments(true);
    EXPECT_FALSE(second.data().calculationReadOnly());
    EXPECT_TRUE(secondDialogs.messages.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(lockFile));
    second.OpenDocuments(false);
    EXPECT_FALSE(second.data().calculationReadOnly());

    // A lock whose process has ended on this computer is stale.
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    ASSERT_TRUE(ended.waitForStarted());
    const qint64 deadPid = ended.processId();
    ASSERT_TRUE(ended.waitForFinished());
    {
        FakeDialogs dialogs3;
        FakeProgress progress3;
        DocumentSession third(folder.programFolder(), dialogs3, progress3);
        third.checkIndicators = [] { return true; };
        // The second copy's lock is replaced by one of an ended process.
        QFile::remove(lockFile);
        writeBytes(lockFile, QStringLiteral("user=someone\nhost=%1\npid=%2\ntime=2026-01-01T00:00:00Z\n")
                                 .arg(QSysInfo::machineHostName())
                                 .arg(deadPid)
                                 .toUtf8());
        ASSERT_TRUE(third.startUp(QString()));
        EXPECT_TRUE(dialogs3.messages.isEmpty()) << dialogs3.messages.join(QLatin1Char('|')).toStdString();
        EXPECT_FALSE(third.data().calculationReadOnly());
        EXPECT_FALSE(fileBytes(lockFile).contains("someone"));
    }
}
