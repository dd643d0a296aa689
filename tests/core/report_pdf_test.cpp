// The printed report: which definition a calculation takes, a missing one,
// and zurm-calc --pdf on the three examples read back as text (title, every
// segment "a - b", values with the precision asked, a comment printed as
// text), refused with --no-run before a run; the page footers, the caption
// words and the whole diameters of the printed pages.
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
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
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

// Every page of a report laid out in pieces says "стр. N из M" with the date,
// M the pages of the PDF; the captions of the mains table break only between
// words; nominal diameters, whole in the examples, print without decimals.
TEST(CalculationReport, FooterCountsThePagesCaptionsKeepTheirWords)
{
    struct Example {
        const char* name;
        const char* definition;
    };
    for (const Example& e : {Example{"district_two_pipe", "2.rav"}, Example{"design_two_pipe", "3.rav"}}) {
        SCOPED_TRACE(e.name);
        zurm::test::ProgramFolderFixture folder;
        const QString file = folder.docs(QString::fromUtf8(e.name) + QStringLiteral(".mdb"));
        zurm::test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/") + QString::fromUtf8(e.name)
                                                   + QStringLiteral(".mdb"),
                                               file);
        const QString pdf = folder.docs(QStringLiteral("report.pdf"));
        int code = -1;
        QString err;
        run(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"),
            {file, QStringLiteral("--pdf"), pdf, QStringLiteral("--digits"), QStringLiteral("2")}, &code, &err);
        ASSERT_EQ(code, 0) << err.toStdString();
        const int pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                              .match(run(QStringLiteral("pdfinfo"), {pdf}))
                              .captured(1)
                              .toInt();
        const QStringList texts =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf, QStringLiteral("-")}).split(QLatin1Char('\f'));
        ASSERT_GT(pages, 2);
        ASSERT_EQ(texts.size(), pages + 1);
        for (int page = 1; page <= pages; ++page)
            EXPECT_TRUE(texts[page - 1].contains(
                QRegularExpression(QStringLiteral("\\d\\d\\.\\d\\d\\.\\d{4} стр\\. %1 из %2\\n").arg(page).arg(pages))))
                << page << ": " << texts[page - 1].left(80).toStdString();

        // Every word of the mains captions whole on the mains page.
        const QString mainsPage = texts[pages - 1];
        ASSERT_TRUE(mainsPage.contains(QStringLiteral("Магистрали (ветви) теплосети")));
        const QStringList tokens = QString(mainsPage).simplified().split(QLatin1Char(' '));
        QFile definition(QStringLiteral(ZURM_BIN_DIR "/") + QString::fromUtf8(e.definition));
        ASSERT_TRUE(definition.open(QIODevice::ReadOnly));
        const QString mainsHead = QString::fromUtf8(definition.readAll())
                                      .section(QStringLiteral("Магистрали (ветви) теплосети</h2>"), 1)
                                      .section(QStringLiteral("<thead>"), 1, 1)
                                      .section(QStringLiteral("</thead>"), 0, 0);
        int words = 0;
        for (auto it = QRegularExpression(QStringLiteral("<th>([^<]*)</th>")).globalMatch(mainsHead); it.hasNext();)
            for (const QString& word : it.next().captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                EXPECT_TRUE(tokens.contains(word)) << word.toStdString();
                ++words;
            }
        EXPECT_GT(words, 50);

        // The nominal diameters as whole numbers, the inner ones with the decimals asked for.
        const QStringList diameters =
            query(file, QStringLiteral("SELECT DISTINCT CAST(ДуПод AS INTEGER) FROM Табл WHERE ДуПод = round(ДуПод)"));
        ASSERT_FALSE(diameters.isEmpty());
        QStringList printed;
        for (const QString& text : texts) {
            const QStringList lines = text.split(QLatin1Char('\n'));
            const auto header = std::find_if(lines.begin(), lines.end(), [](const QString& line) {
                return line.startsWith(QStringLiteral("Участок ")) && line.contains(QStringLiteral(" ДуПод "));
            });
            if (header == lines.end())
                continue;
            const QStringList captions = header->split(QLatin1Char(' '));
            const qsizetype du = captions.indexOf(QStringLiteral("ДуПод")) + 2; // "a - b" is three tokens
            const qsizetype inner = captions.indexOf(QStringLiteral("ДвнПод")) + 2;
            for (auto line = header + 1; line != lines.end(); ++line) {
                const QStringList cells = line->split(QLatin1Char(' '));
                if (cells.size() <= std::max(du, inner) || cells[1] != QStringLiteral("-"))
                    continue;
                printed.append(cells[du]);
                EXPECT_TRUE(cells[inner].contains(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\d$"))))
                    << cells[inner].toStdString();
            }
        }
        printed.removeDuplicates();
        std::sort(printed.begin(), printed.end());
        QStringList expected = diameters;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(printed, expected);
    }
}
