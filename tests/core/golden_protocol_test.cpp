// The calculation protocols of the three example calculations, byte for byte.
//
// The examples are built from data/examples/*.sql into build/examples/NAME.mdb;
// each is copied into a temporary folder and calculated by zurm-calc, and the
// protocol (Windows-1251, CR LF, three digits, C locale) must equal
// tests/data/golden/NAME.txt. On a mismatch the temporary folder is kept and
// its path is printed: NAME.txt there is the protocol that was written.
//
// After a deliberate change of the calculation or of the protocol, read the new
// protocol, check it by hand, and regenerate the golden file from the build
// directory (always on a copy: zurm-calc writes its results into the file):
//   cp build/examples/NAME.mdb /tmp/NAME.mdb
//   LC_ALL=C LANG=C build/bin/zurm-calc /tmp/NAME.mdb --text tests/data/golden/NAME.txt --digits 3
#include "base/Sql.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

const char* const kExamples[] = {"district_two_pipe", "one_pipe", "design_two_pipe"};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString fromCp1251(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

struct CalculatorRun {
    int exitCode = -1;
    QString out;
    QString err;
    QByteArray protocol;
};

// Copies the built example into `folder`, applies `edit` to the copy and
// calculates it there under `locale`.
CalculatorRun calculateExample(const QString& name, const QString& locale, const QTemporaryDir& folder,
                               const QStringList& edit = {})
{
    const QString source = QStringLiteral(ZURM_BIN_DIR "/../examples/") + name + QStringLiteral(".mdb");
    const QString calculation = folder.filePath(name + QStringLiteral(".mdb"));
    const QString text = folder.filePath(name + QStringLiteral(".txt"));
    if (!QFile::copy(source, calculation)) {
        ADD_FAILURE() << "cannot copy " << source.toStdString() << " (is the target `examples` built?)";
        return {};
    }
    QFile::setPermissions(calculation, QFile::ReadOwner | QFile::WriteOwner);
    if (!edit.isEmpty()) {
        const QString connection = QStringLiteral("golden-protocol-edit");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(calculation);
            if (!db.open())
                ADD_FAILURE() << "cannot open " << calculation.toStdString();
            for (const QString& sql : edit)
                zurm::execSql(db, sql);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LANGUAGE"));
    environment.remove(QStringLiteral("LC_NUMERIC"));
    environment.insert(QStringLiteral("LC_ALL"), locale);
    environment.insert(QStringLiteral("LANG"), locale);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"),
                  {calculation, QStringLiteral("--text"), text, QStringLiteral("--digits"), QStringLiteral("3")});
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError()), readAll(text)};
}

QByteArray goldenProtocol(const QString& name)
{
    return readAll(QStringLiteral(ZURM_SOURCE_DIR "/tests/data/golden/") + name + QStringLiteral(".txt"));
}

// The first line in which two protocols differ, for the failure message.
std::string firstDifference(const QString& expected, const QString& actual)
{
    const QStringList want = expected.split(QStringLiteral("\r\n"));
    const QStringList got = actual.split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < std::max(want.size(), got.size()); ++i) {
        const QString a = i < want.size() ? want[i] : QStringLiteral("<end of file>");
        const QString b = i < got.size() ? got[i] : QStringLiteral("<end of file>");
        if (a != b)
            return QStringLiteral("line %1:\n  golden: %2\n  actual: %3").arg(i + 1).arg(a, b).toStdString();
    }
    return "the line ends differ";
}

} // namespace

TEST(GoldenProtocol, ExamplesCalculateToTheCheckedInProtocols)
{
    for (const char* example : kExamples) {
        const QString name = QString::fromLatin1(example);
        SCOPED_TRACE(example);
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const CalculatorRun run = calculateExample(name, QStringLiteral("C"), folder);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.trimmed(), QStringLiteral("Расчет выполнен успешно.")) << run.out.toStdString();

        const QByteArray golden = goldenProtocol(name);
        ASSERT_FALSE(golden.isEmpty()) << "no golden file for " << example;
        if (run.protocol != golden) {
            folder.setAutoRemove(false);
            ADD_FAILURE() << "The protocol of " << example << " differs from tests/data/golden/" << example
                          << ".txt at " << firstDifference(fromCp1251(golden), fromCp1251(run.protocol))
                          << "\nThe protocol written is kept in " << folder.path().toStdString() << "/" << example
                          << ".txt; after a deliberate change regenerate the golden file as the comment at the top "
                             "of golden_protocol_test.cpp says.";
        }
    }
}

TEST(GoldenProtocol, RussianLocaleWritesDecimalCommasAndChangesNothingElse)
{
    // Every value of the protocol is written "= " + number with three digits;
    // numbers inside formula texts (0.0894, 1/5.25) are the user's text and keep
    // their points, as do the abbreviations ("м.", "град. С").
    const QRegularExpression value(QStringLiteral("(= -?\\d+)\\.(\\d{3})(?=\\s|$)"));
    for (const char* example : kExamples) {
        const QString name = QString::fromLatin1(example);
        SCOPED_TRACE(example);
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const CalculatorRun run = calculateExample(name, QStringLiteral("ru_RU.UTF-8"), folder);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

        QString expected = fromCp1251(goldenProtocol(name));
        ASSERT_FALSE(expected.isEmpty()) << "no golden file for " << example;
        expected.replace(value, QStringLiteral("\\1,\\2"));
        const QString actual = fromCp1251(run.protocol);
        EXPECT_TRUE(actual.contains(QStringLiteral(" = 0,000")));
        if (actual != expected) {
            folder.setAutoRemove(false);
            ADD_FAILURE() << "The protocol under ru_RU differs at " << firstDifference(expected, actual)
                          << "\nThe protocol written is kept in " << folder.path().toStdString() << "/" << example
                          << ".txt";
        }
    }
}

TEST(GoldenProtocol, MainsAreRebuiltAndEndNodeValuesKeptByEndNode)
{
    // zurm-calc checks the network itself: the stored mains do not matter, and
    // the values given at the end nodes (ДельтаТ, and in design mode the heads)
    // follow the end node, not the main number.
    const QStringList scramble = {QStringLiteral("DELETE FROM МагистралиТС"),
                                  QStringLiteral("UPDATE КонМаг SET id_m = 1000 - id_m")};
    for (const char* example : {"district_two_pipe", "design_two_pipe"}) {
        const QString name = QString::fromLatin1(example);
        SCOPED_TRACE(example);
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const CalculatorRun run = calculateExample(name, QStringLiteral("C"), folder, scramble);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        if (run.protocol != goldenProtocol(name)) {
            folder.setAutoRemove(false);
            ADD_FAILURE() << "After the mains were dropped the protocol differs at "
                          << firstDifference(fromCp1251(goldenProtocol(name)), fromCp1251(run.protocol))
                          << "\nThe protocol written is kept in " << folder.path().toStdString() << "/" << example
                          << ".txt";
        }
    }
}
