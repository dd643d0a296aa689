// The printed report: which definition a calculation takes, a missing one,
// and zurm-calc --pdf on the three examples read back as text (title, every
// segment "a - b", values with the precision asked, a comment printed as
// text), refused with --no-run before a run.
#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "output/CalculationReport.h"
// GCC 12 sees the optional<QString> of the scripted file answers as possibly
// uninitialised once it is inlined; it is not.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/FakeDialogs.h"
#pragma GCC diagnostic pop
#include "support/ProgramFolder.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

QString run(const QString& program, const QStringList& arguments, int* exitCode = nullptr, QString* err = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(180000);
    if (exitCode)
        *exitCode = process.exitCode();
    if (err)
        *err = QString::fromUtf8(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList query(const QString& file, const QString& sql)
{
    QStringList values;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("report-pdf-test"));
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q = zurm::selectSql(db, sql);
        while (q.next())
            values.append(q.value(0).toString());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("report-pdf-test"));
    return values;
}

} // namespace

TEST(CalculationReport, DefinitionByNetworkTypeAndDiameters)
{
    EXPECT_EQ(zurm::reportDefinitionName(0, false), "0.rav");
    EXPECT_EQ(zurm::reportDefinitionName(0, true), "1.rav");
    EXPECT_EQ(zurm::reportDefinitionName(1, false), "2.rav");
    EXPECT_EQ(zurm::reportDefinitionName(1, true), "3.rav");

    // The program folder of the fixture has no definitions: the failure names the file.
    zurm::test::ProgramFolderFixture folder;
    zurm::test::FakeDialogs dialogs;
    zurm::DataModule data(folder.programFolder());
    data.createWorkDatabase(QString(), dialogs);
    data.openCalculation(folder.newCalculation());
    try {
        zurm::buildCalculationReport(data);
        ADD_FAILURE() << "no failure";
    } catch (const zurm::Failure& failure) {
        EXPECT_TRUE(failure.text().startsWith(QStringLiteral("Не найден файл описания отчета"))) << failure.text().toStdString();
        EXPECT_TRUE(failure.text().contains(QStringLiteral(".rav"))) << failure.text().toStdString();
    }
}

TEST(CalculationReport, ZurmCalcWritesThePdfOfEachExample)
{
    for (const char* name : {"district_two_pipe", "one_pipe", "design_two_pipe"}) {
        SCOPED_TRACE(name);
        zurm::test::ProgramFolderFixture folder;
        const QString file = folder.docs(QString::fromUtf8(name) + QStringLiteral(".mdb"));
        zurm::test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/") + QString::fromUtf8(name)
                                                   + QStringLiteral(".mdb"),
                                               file);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("report-pdf-edit"));
            db.setDatabaseName(file);
            db.open();
            zurm::execSql(db, QStringLiteral("UPDATE НазвРасч SET РВ = 0"));
            zurm::execSql(db, QStringLiteral("UPDATE Табл SET Примечание = '<b>Ввод & узел</b>' WHERE id = "
                                             "(SELECT min(id) FROM Табл)"));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("report-pdf-edit"));
        const QString pdf = folder.docs(QStringLiteral("report.pdf"));
        int code = -1;
        QString err;
        run(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"), {file, QStringLiteral("--no-run"), QStringLiteral("--pdf"), pdf},
            &code, &err);
        EXPECT_EQ(code, 1);
        EXPECT_EQ(err.trimmed(), zurm::kReportNeedsCalculation);
        EXPECT_FALSE(QFile::exists(pdf));

        run(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"),
            {file, QStringLiteral("--pdf"), pdf, QStringLiteral("--digits"), QStringLiteral("2")}, &code, &err);
        ASSERT_EQ(code, 0) << err.toStdString();
        const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf, QStringLiteral("-")});
        EXPECT_TRUE(text.contains(QStringLiteral("Гидравлический расчет теплосети")));
        EXPECT_TRUE(text.contains(QStringLiteral("<b>Ввод & узел</b>")));
        for (const QString& segment : query(file, QStringLiteral("SELECT НачУзел || ' - ' || КонУзел FROM Табл")))
            EXPECT_TRUE(text.contains(segment)) << segment.toStdString();
        // A length of every segment, with two decimals.
        for (const QString& length :
             query(file, QStringLiteral("SELECT printf('%.2f', ДлНаУчПод) FROM Табл WHERE ДлНаУчПод IS NOT NULL")))
            EXPECT_TRUE(text.contains(length)) << length.toStdString();
    }
}
