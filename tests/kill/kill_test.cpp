// A calculation killed at any moment leaves a file that opens, passes the
// integrity check and holds every table either as it was before the call or as
// a whole run leaves it: the topology check and the run of one call are one
// change of the file.
//
// zurm-calc runs on a generated street network of about 5 000 nodes whose last
// calculation is stored; then the segment lengths, the maximum water
// temperature and the supply head are changed with the calculation still
// marked done, so the new run gives other lengths, temperatures, losses and
// heads. The process is killed with SIGKILL after a random delay,
// ZURM_KILL_ROUNDS times (20 by default); ZURM_KILL_SEED fixes the delays.
// Every killed file must also pass the program's own verification before
// anything else opens it.
//
// A writer killed in the middle of a transaction (here the sqlite3 shell, whose
// uncommitted pages have already spilled into the file) leaves a hot journal:
// the program rolls it back and opens the file.
#include "support/StreetNetwork.h"

#include "base/Failure.h"
#include "document/DataModule.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

const QString kCalc = QStringLiteral(ZURM_BIN_DIR "/zurm-calc");

// The tables of a calculation file, each read whole in row order.
const char* const kTables[] = {"НазвРасч", "Заг", "Табл", "УзлыТС", "КонМаг", "МагистралиТС", "ИзмПНапВУзлахТС",
                               "Формулы", "ФлыПредопрПок", "ПриорЗ", "ПриорП", "ПриорОИ", "СписокРасчУчастков"};

using Values = std::vector<QVariant>; // one value per row and column, Null an empty variant

struct Snapshot {
    std::vector<Values> tables; // parallel to kTables
};

class Connection {
public:
    explicit Connection(const QString& path)
        : name_(QStringLiteral("kill-test-%1").arg(++counter_))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        opened_ = db.open();
    }
    ~Connection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(name_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name_);
    }
    bool opened() const { return opened_; }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }

    QVariant value(const QString& sql) const
    {
        QSqlQuery q(db());
        if (!q.exec(sql) || !q.next()) {
            ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
            return {};
        }
        return q.value(0);
    }
    void exec(const QString& sql) const
    {
        QSqlQuery q(db());
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    }
    Values rows(const QString& sql) const
    {
        Values out;
        QSqlQuery q(db());
        if (!q.exec(sql)) {
            ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
            return out;
        }
        const int columns = q.record().count();
        while (q.next())
            for (int c = 0; c < columns; ++c)
                out.push_back(q.value(c));
        return out;
    }

private:
    static inline int counter_ = 0;
    QString name_;
    bool opened_ = false;
};

Snapshot snapshot(const QString& path)
{
    Snapshot s;
    Connection c(path);
    EXPECT_TRUE(c.opened());
    EXPECT_EQ(c.value(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    for (const char* table : kTables)
        s.tables.push_back(c.rows(QStringLiteral("SELECT * FROM [%1] ORDER BY rowid").arg(QString::fromUtf8(table))));
    return s;
}

bool same(const Values& a, const Values& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].isNull() || b[i].isNull()) {
            if (a[i].isNull() != b[i].isNull())
                return false;
        } else if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

int runCalc(const QString& file, int killAfterMs, QString* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(kCalc, {file});
    if (!process.waitForStarted(10000))
        return -2;
    if (killAfterMs >= 0) {
        if (!process.waitForFinished(killAfterMs)) {
            process.kill(); // SIGKILL
            process.waitForFinished(10000);
            return -1;
        }
    } else {
        process.waitForFinished(600000);
    }
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

TEST(KillDuringRun, EachTableIsAsBeforeOrAsAfterTheRun)
{
    ASSERT_TRUE(QFile::exists(kCalc));
    QTemporaryDir dir;
    const QString changed = dir.filePath(QStringLiteral("changed.mdb"));
    zurm::bench::StreetNetworkOptions options;
    options.nodes = 5000;
    options.seed = 7;
    zurm::bench::generateStreetCalculation(changed, QStringLiteral(ZURM_BIN_DIR "/GidrRas.mdb"),
                                           QStringLiteral(ZURM_BIN_DIR), options);
    QString output;
    ASSERT_EQ(runCalc(changed, -1, &output), 0) << output.toStdString();

    // Other input, the stored calculation still marked done: a run that is cut
    // short must not leave the file between the two.
    {
        Connection c(changed);
        c.exec(QStringLiteral("UPDATE [Табл] SET [ДлНаУчПод] = [ДлНаУчПод] * 1.25"));
        c.exec(QStringLiteral("UPDATE [Заг] SET [МаксТВоды] = [МаксТВоды] - 7, [ПНапНаУзПод] = [ПНапНаУзПод] + 10"));
    }
    const Snapshot before = snapshot(changed);
    const QString finished = dir.filePath(QStringLiteral("finished.mdb"));
    ASSERT_TRUE(QFile::copy(changed, finished));
    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(runCalc(finished, -1, &output), 0) << output.toStdString();
    const qint64 runMs = timer.elapsed();
    const Snapshot after = snapshot(finished);
    for (size_t t = 0; t < std::size(kTables); ++t) {
        if (!std::strcmp(kTables[t], "Табл") || !std::strcmp(kTables[t], "КонМаг") || !std::strcmp(kTables[t], "Заг")) {
            ASSERT_FALSE(same(before.tables[t], after.tables[t])) << kTables[t] << ": the changed input must change it";
        }
    }

    const int rounds = qEnvironmentVariableIsSet("ZURM_KILL_ROUNDS") ? qEnvironmentVariableIntValue("ZURM_KILL_ROUNDS") : 20;
    const quint32 seed = qEnvironmentVariableIsSet("ZURM_KILL_SEED") ? quint32(qEnvironmentVariableIntValue("ZURM_KILL_SEED"))
                                                                      : std::random_device{}();
    std::printf("ZURM_KILL_SEED=%u\n", seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delay(0, int(runMs * 11 / 10) + 1);
    std::map<std::string, int> seen;
    for (int round = 0; round < rounds; ++round) {
        const QString work = dir.filePath(QStringLiteral("work.mdb"));
        QFile::remove(work);
        QFile::remove(work + QStringLiteral("-journal"));
        ASSERT_TRUE(QFile::copy(changed, work));
        const int ms = delay(random);
        const int exit = runCalc(work, ms);
        SCOPED_TRACE("round " + std::to_string(round) + ", killed after " + std::to_string(ms) + " ms");
        try {
            zurm::verifyDatabaseFile(work, zurm::DatabaseKind::Calculation);
        } catch (const zurm::Failure& failure) {
            ADD_FAILURE() << failure.text().toStdString();
        }
        const Snapshot now = snapshot(work);
        bool anyBefore = false, anyAfter = false;
        for (size_t t = 0; t < std::size(kTables); ++t) {
            const bool asBefore = same(now.tables[t], before.tables[t]);
            const bool asAfter = same(now.tables[t], after.tables[t]);
            EXPECT_TRUE(asBefore || asAfter) << kTables[t] << " is neither as before nor as after the run";
            // A table the run does not change is both.
            if (asBefore != asAfter) {
                anyBefore = anyBefore || asBefore;
                anyAfter = anyAfter || asAfter;
            }
        }
        EXPECT_FALSE(anyBefore && anyAfter) << "some tables are as before the run, others as after it";
        ++seen[std::string(exit == -1 ? "killed " : "finished ") + (anyAfter ? "after" : "before")];
    }
    for (const auto& [states, count] : seen)
        std::printf("%3d x %s\n", count, states.c_str());
}

TEST(KillDuringTransaction, HotJournalIsRolledBackAndTheFileOpens)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("calc.mdb"));
    zurm::bench::StreetNetworkOptions options;
    options.nodes = 300;
    zurm::bench::generateStreetCalculation(file, QStringLiteral(ZURM_BIN_DIR "/GidrRas.mdb"),
                                           QStringLiteral(ZURM_BIN_DIR), options);
    const QVariant lengths = Connection(file).value(QStringLiteral("SELECT sum([ДлНаУчПод]) FROM [Табл]"));

    // With a cache of a few pages the uncommitted rows reach the file itself.
    QProcess writer;
    writer.setProcessChannelMode(QProcess::MergedChannels);
    writer.start(QStringLiteral(ZURM_SQLITE3), {file});
    ASSERT_TRUE(writer.waitForStarted(10000));
    writer.write("PRAGMA cache_size = 2;\nBEGIN;\nUPDATE [Табл] SET [ДлНаУчПод] = -1;\n"
                 "CREATE TABLE [Мусор] (x);\n"
                 "INSERT INTO [Мусор] WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                 "SELECT randomblob(200) FROM n;\nSELECT 'in the middle';\n");
    QByteArray said;
    while (!said.contains("in the middle") && writer.waitForReadyRead(30000))
        said += writer.readAll();
    ASSERT_TRUE(said.contains("in the middle")) << said.toStdString();
    writer.kill(); // SIGKILL, the transaction unfinished
    writer.waitForFinished(10000);
    ASSERT_GT(QFileInfo(file + QStringLiteral("-journal")).size(), 0);

    try {
        zurm::verifyDatabaseFile(file, zurm::DatabaseKind::Calculation);
    } catch (const zurm::Failure& failure) {
        FAIL() << failure.text().toStdString();
    }
    Connection after(file);
    EXPECT_EQ(after.value(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    EXPECT_EQ(after.value(QStringLiteral("SELECT sum([ДлНаУчПод]) FROM [Табл]")), lengths);
    EXPECT_EQ(after.value(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'Мусор'")).toInt(), 0);
    QString output;
    EXPECT_EQ(runCalc(file, -1, &output), 0) << output.toStdString();
}

} // namespace
