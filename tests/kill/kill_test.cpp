// A calculation killed at any moment leaves a file that opens, passes the
// integrity check and holds, for every group of results the run commits
// together, either the values from before the run, or the cleared values of
// the preparation, or the new values: never a mix within a group, and never a
// later group ahead of an earlier one.
//
// zurm-calc runs on a generated street network of about 5 000 nodes whose last
// calculation is stored; the maximum water temperature and the supply head are
// then changed, so the new run gives other temperatures, losses and heads. The
// process is killed with SIGKILL after a random delay, ZURM_KILL_ROUNDS times
// (20 by default); ZURM_KILL_SEED fixes the delays. Every killed file must
// also pass the program's own verification before anything else opens it.
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
#include <set>
#include <vector>

namespace {

const QString kCalc = QStringLiteral(ZURM_BIN_DIR "/zurm-calc");

// What one group of results holds in a file: one value per row and column,
// rows in key order (Null is an empty variant).
using Values = std::vector<QVariant>;

struct Group {
    const char* name;
    QString sql; // one row per key, in key order
};

// The groups in the order the run commits them. Preparation: temperatures
// (and, cleared by it, nothing is Null afterwards); passes: the losses from
// the source, cleared by the preparation and written by the passes; heads:
// the heads at the nodes and end nodes, cleared by the preparation and
// written last.
const std::vector<Group>& groups()
{
    static const std::vector<Group> g = {
        {"preparation", QStringLiteral("SELECT [ДлНачПод], [ДлКонОбр], [ТВодыНачПод], [ТВодыКонПод], [ТВодыНачОбр], "
                                       "[ТВодыКонОбр], [РасхПод], [РасхОбр], [ГеодВысНач] FROM [Табл] ORDER BY [id]")},
        {"passes", QStringLiteral("SELECT [ПотНОтИНачПод], [ПотНОтИКонПод], [ПотНОтИНачОбр], [ПотНОтИКонОбр], "
                                  "[ПлВодыПод], [УдПотДПод], [ПотНОбр] FROM [Табл] ORDER BY [id]")},
        {"heads", QStringLiteral("SELECT t.[ПНапНачПод], t.[ПНапКонПод], t.[РНапНач], t.[РНапКон], t.[ПНапКонОбр] "
                                 "FROM [Табл] t ORDER BY t.[id]")},
        {"end nodes", QStringLiteral("SELECT [ПНапПод], [ПотНОтИПод], [РНап], [ПНапОбр] FROM [КонМаг] "
                                     "ORDER BY [КонУзел]")},
    };
    return g;
}

struct Snapshot {
    std::vector<Values> groups; // parallel to groups()
    bool calculationDone = false;
    qint64 mains = 0, mainRows = 0;
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
    // Every fixed table reads.
    for (const char* table : {"НазвРасч", "Заг", "Табл", "УзлыТС", "КонМаг", "МагистралиТС", "ИзмПНапВУзлахТС",
                              "Формулы", "ФлыПредопрПок", "ПриорЗ", "ПриорП", "ПриорОИ", "СписокРасчУчастков"})
        c.rows(QStringLiteral("SELECT * FROM [%1]").arg(QString::fromUtf8(table)));
    for (const Group& g : groups())
        s.groups.push_back(c.rows(g.sql));
    s.calculationDone = c.value(QStringLiteral("SELECT [РВ] FROM [НазвРасч]")).toInt() != 0;
    s.mains = c.value(QStringLiteral("SELECT count(*) FROM [КонМаг]")).toLongLong();
    s.mainRows = c.value(QStringLiteral("SELECT count(*) FROM [МагистралиТС]")).toLongLong();
    return s;
}

bool same(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a.toDouble() == b.toDouble();
}

// The states a group may be in: 0 before the run, 1 cleared by the preparation, 2 new.
enum State { kOld = 1, kCleared = 2, kNew = 4 };

int statesOf(const Values& now, const Values& before, const Values& after, const Values& cleared)
{
    if (now.size() != before.size())
        return 0;
    int possible = kOld | kNew | (cleared.empty() ? 0 : kCleared);
    for (size_t i = 0; i < now.size() && possible; ++i) {
        if (!same(now[i], before[i]))
            possible &= ~kOld;
        if (!same(now[i], after[i]))
            possible &= ~kNew;
        if (!cleared.empty() && !same(now[i], cleared[i]))
            possible &= ~kCleared;
    }
    return possible;
}

// The prepared group is never Null; later groups are Null between the
// preparation's commit and their own. A group is ahead of an earlier one never.
bool consistentOrder(const std::vector<int>& possible)
{
    // Progress of the run: 0 nothing committed, 1 the topology check (it
    // rebuilds КонМаг with the entered values only), 2 preparation, 3 header,
    // 4 passes, 5 heads.
    for (int progress = 0; progress <= 5; ++progress) {
        const int preparation = progress >= 2 ? kNew : kOld;
        const int passes = progress < 2 ? kOld : progress < 4 ? kCleared : kNew;
        const int heads = progress < 2 ? kOld : progress < 5 ? kCleared : kNew;
        const int endNodes = progress < 1 ? kOld : progress < 5 ? kCleared : kNew;
        if ((possible[0] & preparation) && (possible[1] & passes) && (possible[2] & heads) && (possible[3] & endNodes))
            return true;
    }
    return false;
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

TEST(KillDuringRun, EachGroupOfResultsIsOldClearedOrNew)
{
    ASSERT_TRUE(QFile::exists(kCalc));
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("base.mdb"));
    zurm::bench::StreetNetworkOptions options;
    options.nodes = 5000;
    options.seed = 7;
    zurm::bench::generateStreetCalculation(base, QStringLiteral(ZURM_BIN_DIR "/GidrRas.mdb"),
                                           QStringLiteral(ZURM_BIN_DIR), options);
    QString output;
    ASSERT_EQ(runCalc(base, -1, &output), 0) << output.toStdString();
    const Snapshot before = snapshot(base);
    ASSERT_TRUE(before.calculationDone);

    // Other input: other temperatures, losses and heads.
    {
        Connection c(base);
        c.exec(QStringLiteral("UPDATE [Заг] SET [МаксТВоды] = [МаксТВоды] - 7, [ПНапНаУзПод] = [ПНапНаУзПод] + 10"));
        c.exec(QStringLiteral("UPDATE [НазвРасч] SET [РВ] = 0")); // as editing the data does
    }
    const QString changed = dir.filePath(QStringLiteral("changed.mdb"));
    const QString finished = dir.filePath(QStringLiteral("finished.mdb"));
    ASSERT_TRUE(QFile::copy(base, changed));
    ASSERT_TRUE(QFile::copy(base, finished));
    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(runCalc(finished, -1, &output), 0) << output.toStdString();
    const qint64 runMs = timer.elapsed();
    const Snapshot after = snapshot(finished);

    // The cleared state: what the preparation leaves in the later groups.
    std::vector<Values> cleared(groups().size());
    for (size_t g = 1; g < groups().size(); ++g)
        cleared[g] = Values(after.groups[g].size());
    for (size_t g = 0; g < groups().size(); ++g)
        ASSERT_NE(statesOf(before.groups[g], before.groups[g], after.groups[g], {}) & kNew, kNew)
            << groups()[g].name << ": the changed input must change every group";

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
        EXPECT_EQ(now.mains, before.mains);
        EXPECT_EQ(now.mainRows, before.mainRows);
        std::vector<int> possible;
        std::string states;
        for (size_t g = 0; g < groups().size(); ++g) {
            possible.push_back(statesOf(now.groups[g], before.groups[g], after.groups[g], cleared[g]));
            EXPECT_NE(possible.back(), 0) << groups()[g].name << " is torn";
            states += std::string(g ? " " : "") + ((possible.back() & kNew) ? "N" : (possible.back() & kCleared) ? "C" : "O");
        }
        EXPECT_TRUE(consistentOrder(possible)) << states;
        if (now.calculationDone) {
            EXPECT_TRUE(possible[3] & kNew) << "the flag is set only after the last group";
        }
        ++seen[(exit == -1 ? "killed " : "finished ") + states];
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
