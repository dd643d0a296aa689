// The spreadsheet export of a finished calculation, read back with the
// program's own workbook reader: the blocks and their rows, captions, values,
// formats, merges, borders, widths and heights, the four forms of the mains
// block, the command's questions and refusals, and zurm-calc --xlsx on the
// three examples.
#include "base/Failure.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "output/ReportExport.h"
#include "output/ReportWorkbook.h"
#include "platform/XlsxReader.h"
#include "support/FakeDialogs.h"
#include "support/PackedWorkbook.h"
#include "support/ProgramFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

using zurm::XlsxCell;
using zurm::XlsxRange;
using zurm::XlsxSheet;

void exec(const QString& file, const QStringList& statements)
{
    const QString problem = zurm::onOwnConnection(file, false, [&](QSqlDatabase& db) {
        for (const QString& sql : statements)
            zurm::execSql(db, sql);
    });
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
}

QString text(const XlsxSheet& sheet, int row, int column)
{
    const XlsxCell& cell = sheet.cell(row, column);
    return cell.kind == XlsxCell::Kind::Text ? cell.text : QString();
}

// The last column of a row that holds something.
int lastFilled(const XlsxSheet& sheet, int row)
{
    int last = 0;
    for (int c = 1; c <= sheet.columnCount; ++c)
        if (sheet.cell(row, c).kind != XlsxCell::Kind::Empty)
            last = c;
    return last;
}

int columnEndingWith(const XlsxSheet& sheet, int row, const QString& end)
{
    for (int c = 1; c <= sheet.columnCount; ++c)
        if (text(sheet, row, c).endsWith(end))
            return c;
    return 0;
}

bool boxed(const zurm::XlsxStyle& s) { return s.left && s.top && s.right && s.bottom; }

// Every cell of the rectangle has a line on all four sides.
void expectBordered(const zurm::XlsxReader& book, const XlsxSheet& sheet, const XlsxRange& r)
{
    for (int row = r.firstRow; row <= r.lastRow; ++row)
        for (int c = r.firstColumn; c <= r.lastColumn; ++c)
            EXPECT_TRUE(boxed(book.style(sheet.cell(row, c).style))) << "cell " << row << "," << c;
}

struct HandMade {
    bool twoPipe;
    bool design;
    bool headerExported;
    bool comments;
    zurm::SegmentSort sort;
    int digits;
    int mainsColumns;
    QString lastMainsCaption;
    QString valueFormat;
};

// A calculation written by hand as a finished run would leave it: three
// segments (ids in the reverse order of their nodes), two mains stored in
// descending order, one infinite value, a comment that looks like a formula.
TEST(ReportWorkbook, HandMadeCalculationsReadBack)
{
    const HandMade cases[] = {
        {false, false, true, true, zurm::SegmentSort::ByNodes, 3, 5,
         QStringLiteral("Полный напор в под. трубопроводе на кон. узле, м. (ПНапПод)"), QStringLiteral("#,##0.0##")},
        {false, true, false, false, zurm::SegmentSort::ById, 0, 7,
         QStringLiteral("Удельные потери напора в под. тр-пр. магистрали (ветви), м./м. (УПНВМагПод)"),
         QStringLiteral("#,##0")},
        {true, false, true, false, zurm::SegmentSort::ById, 1, 11,
         QStringLiteral("Располагаемый напор на кон. узле, м. (РНап)"), QStringLiteral("#,##0.0")},
        {true, true, false, true, zurm::SegmentSort::ByNodes, 2, 15,
         QStringLiteral("Удельные потери напора в обр. т-п. магистрали (ветви), м./м. (УПНВМагОбр)"),
         QStringLiteral("#,##0.0#")},
    };
    for (const HandMade& c : cases) {
        SCOPED_TRACE(c.mainsColumns);
        zurm::test::ProgramFolderFixture folder;
        const QString file = folder.newCalculation();
        QStringList sql = {
            QStringLiteral("UPDATE НазвРасч SET РВ = 1, НазвРасч = 'Квартал 5', ТипСети = %1, ОпрД = %2, NузПНапПод = 7, "
                           "NузРНап = 9")
                .arg(c.twoPipe)
                .arg(c.design),
            QStringLiteral("DELETE FROM Заг"),
            QStringLiteral("INSERT INTO Заг (КэШер, ДолМестПот, ПНапНаУзПод) VALUES (0.5, 0.3, 1234.5678)"),
            QStringLiteral("INSERT INTO Табл (id, НачУзел, КонУзел, ДуПод, РасхПод, Примечание) VALUES "
                           "(1, 3, 5, 100, 12.25, NULL), (2, 1, 3, 150, 9e999, '=1+1'), (3, 0, 1, 200, -0.5, '')"),
            QStringLiteral("INSERT INTO КонМаг (id_m, РВПод, РНачСУзПод, КонУзел, ДлМагПод, ПНапПод, РВОбр, РНачСУзОбр, "
                           "РНап, УПНВМагОбр) VALUES (2, 1, 1, 8, 40, 51.5, 1, 0, 7.25, 0.001), "
                           "(1, 1, 3, 5, 120.5, 50, 1, 1, NULL, 0.002)"),
        };
        if (!c.headerExported) {
            sql << QStringLiteral("UPDATE Формулы SET ВывВОтчТабл = 0 WHERE ТипПок = 'З'")
                << QStringLiteral("UPDATE ФлыПредопрПок SET ВывВОтчТабл = 0 WHERE ТипПок = 'З'");
        }
        if (!c.comments)
            sql << QStringLiteral("UPDATE Табл SET Примечание = NULL");
        exec(file, sql);

        zurm::test::FakeDialogs dialogs;
        zurm::test::FakeProgress progress;
        zurm::DataModule data(folder.programFolder());
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(file);
        data.loadCalculationDoneFlag();
        data.setSegmentSort(c.sort);
        const QString out = folder.docs(QStringLiteral("report.xlsx"));
        zurm::writeReportWorkbook(data, out, progress, c.digits);

        const zurm::XlsxReader book(out);
        ASSERT_EQ(book.sheetNames(), QStringList{QStringLiteral("ЗУРМ")});
        const XlsxSheet sheet = book.sheet(0);
        EXPECT_EQ(text(sheet, 1, 1), c.twoPipe ? QStringLiteral("ГИДРАВЛИЧЕСКИЙ РАСЧЕТ ДВУХТРУБНОЙ ТЕПЛОСЕТИ")
                                               : QStringLiteral("ГИДРАВЛИЧЕСКИЙ РАСЧЕТ ОДНОТРУБНОЙ ТЕПЛОСЕТИ"));
        EXPECT_TRUE(book.style(sheet.cell(1, 1).style).bold);
        EXPECT_EQ(text(sheet, 2, 1), QStringLiteral("Квартал 5"));
        EXPECT_EQ(book.style(sheet.cell(2, 1).style).vertical, QStringLiteral("top"));
        // Width 16 as the format stores it (with the padding of the default font).
        EXPECT_DOUBLE_EQ(sheet.columnWidths.value(1), 16.7109375);
        EXPECT_DOUBLE_EQ(sheet.columnWidths.value(40), 16.7109375);

        // The header block, or the segments straight after the title.
        const int first = c.headerExported ? 7 : 5;
        if (c.headerExported) {
            const int k = columnEndingWith(sheet, 3, QStringLiteral("(ПНапНаУзПод)"));
            ASSERT_GT(k, 0);
            EXPECT_EQ(text(sheet, 3, k), QStringLiteral("Полный напор на узле 7 в подающем трубопроводе, м. (ПНапНаУзПод)"));
            EXPECT_EQ(sheet.cell(4, k).number, 1234.5678);
            const zurm::XlsxStyle value = book.style(sheet.cell(4, k).style);
            EXPECT_EQ(value.numberFormat, c.valueFormat);
            EXPECT_EQ(value.horizontal, QStringLiteral("center"));
            EXPECT_EQ(value.vertical, QStringLiteral("center"));
            const zurm::XlsxStyle caption = book.style(sheet.cell(3, k).style);
            EXPECT_EQ(caption.fontSize, 8);
            EXPECT_TRUE(caption.wrap);
            EXPECT_EQ(caption.numberFormat, QStringLiteral("@"));
            EXPECT_EQ(columnEndingWith(sheet, 3, QStringLiteral("(МинГеодВысТС)")), 0); // not for the report
            expectBordered(book, sheet, {3, 1, 4, lastFilled(sheet, 3)});
            EXPECT_EQ(sheet.rowHeights.value(5), 24);
        } else {
            EXPECT_EQ(lastFilled(sheet, 3), 1);
        }
        EXPECT_EQ(sheet.rowHeights.value(2), 24);
        EXPECT_EQ(text(sheet, first - 2, 1), QStringLiteral("Участки теплосети:"));
        const int h = first - 1;
        EXPECT_EQ(text(sheet, h, 1), QStringLiteral("Участок"));
        EXPECT_EQ(text(sheet, h, 2), QStringLiteral("Начальный узел участка (НачУзел)"));
        EXPECT_EQ(text(sheet, h, 3), QStringLiteral("Конечный узел участка (КонУзел)"));
        EXPECT_EQ(columnEndingWith(sheet, h, QStringLiteral("(ТСрПод)")), 0);
        const int du = columnEndingWith(sheet, h, QStringLiteral("(ДуПод)"));
        const int flow = columnEndingWith(sheet, h, QStringLiteral("(РасхПод)"));
        ASSERT_GT(du, 3);
        ASSERT_GT(flow, 3);
        EXPECT_EQ(text(sheet, h, du), QStringLiteral("Условный диаметр подающего трубопровода, мм. (ДуПод)"));

        const QStringList order = c.sort == zurm::SegmentSort::ByNodes
            ? QStringList{QStringLiteral("0 - 1"), QStringLiteral("1 - 3"), QStringLiteral("3 - 5")}
            : QStringList{QStringLiteral("3 - 5"), QStringLiteral("1 - 3"), QStringLiteral("0 - 1")};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(text(sheet, first + i, 1), order[i]);
        const int r13 = first + int(order.indexOf(QStringLiteral("1 - 3")));
        const int r35 = first + int(order.indexOf(QStringLiteral("3 - 5")));
        EXPECT_EQ(sheet.cell(r35, 2).kind, XlsxCell::Kind::Number);
        EXPECT_EQ(sheet.cell(r35, 2).number, 3);
        EXPECT_EQ(book.style(sheet.cell(r35, 2).style).numberFormat, QStringLiteral("0"));
        EXPECT_EQ(sheet.cell(r35, du).number, 100);
        EXPECT_EQ(sheet.cell(r35, flow).number, 12.25);
        EXPECT_EQ(book.style(sheet.cell(r35, flow).style).numberFormat, c.valueFormat);
        EXPECT_EQ(sheet.cell(r13, flow).kind, XlsxCell::Kind::Empty); // infinite

        // Comments: three columns merged on every row, a formula-like text stays text.
        int last = lastFilled(sheet, h);
        if (c.comments) {
            EXPECT_EQ(text(sheet, h, last), QStringLiteral("Примечание"));
            EXPECT_EQ(text(sheet, r13, last), QStringLiteral("=1+1"));
            EXPECT_FALSE(sheet.cell(r13, last).formula);
            for (int row = h; row < first + 3; ++row)
                EXPECT_TRUE(sheet.merges.contains(XlsxRange{row, last, row, last + 2})) << row;
            last += 2;
        } else {
            EXPECT_TRUE(sheet.merges.isEmpty());
        }
        expectBordered(book, sheet, {h, 1, first + 2, last});
        EXPECT_FALSE(boxed(book.style(sheet.cell(h, last + 1).style)));

        // The mains block in its form, mains by ascending number.
        const int lastSegment = first + 2;
        EXPECT_EQ(text(sheet, lastSegment + 1, 1), QStringLiteral("Магистрали (ветви) теплосети:"));
        EXPECT_EQ(sheet.rowHeights.value(lastSegment + 1), 24);
        const int m = lastSegment + 2;
        EXPECT_EQ(text(sheet, m, 1), QStringLiteral("№ п/п"));
        EXPECT_EQ(lastFilled(sheet, m), c.mainsColumns);
        EXPECT_EQ(text(sheet, m, c.mainsColumns), c.lastMainsCaption);
        EXPECT_EQ(sheet.cell(m + 1, 1).number, 1);
        EXPECT_EQ(text(sheet, m + 1, 2), QStringLiteral("3 - 5"));
        EXPECT_EQ(text(sheet, m + 2, 2), QStringLiteral("1 - 8"));
        if (c.twoPipe) {
            EXPECT_EQ(text(sheet, m + 2, 3), QStringLiteral("0 - 8"));
        }
        EXPECT_EQ(sheet.cell(m + 1, c.twoPipe ? 4 : 3).number, 120.5); // ДлМагПод
        EXPECT_EQ(book.style(sheet.cell(m + 1, c.twoPipe ? 4 : 3).style).numberFormat, c.valueFormat);
        EXPECT_EQ(book.style(sheet.cell(m + 1, 2).style).numberFormat, QStringLiteral("@"));
        expectBordered(book, sheet, {m, 1, m + 2, c.mainsColumns});
        EXPECT_EQ(sheet.rowCount, m + 2);
    }
}

// The attributes of the first element `name` of a part.
QMap<QString, QString> attributesOf(const QByteArray& part, const QString& name)
{
    QXmlStreamReader xml(part);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == name) {
            QMap<QString, QString> found;
            for (const QXmlStreamAttribute& a : xml.attributes())
                found.insert(a.name().toString(), a.value().toString());
            return found;
        }
    return {};
}

// Printed landscape on A4, one page wide, the segments' caption row on every
// page; panes frozen below that row and right of the segment; a column of
// whole numbers (header or segments) without decimals, a fractional one with.
TEST(ReportWorkbook, PrintSetupFrozenPanesAndWholeColumns)
{
    struct Case {
        bool headerExported;
        int digits;
        int captionRow;
        QString valueFormat;
    };
    for (const Case& c : {Case{true, 3, 6, QStringLiteral("#,##0.0##")}, Case{false, 1, 4, QStringLiteral("#,##0.0")}}) {
        SCOPED_TRACE(c.captionRow);
        zurm::test::ProgramFolderFixture folder;
        const QString file = folder.newCalculation();
        QStringList sql = {
            QStringLiteral("UPDATE НазвРасч SET РВ = 1, ТипСети = 1"),
            QStringLiteral("DELETE FROM Заг"),
            QStringLiteral("INSERT INTO Заг (КэШер, ДолМестПот) VALUES (0.5, 2.0)"),
            QStringLiteral("INSERT INTO Табл (id, НачУзел, КонУзел, ДуПод, РасхПод) VALUES "
                           "(1, 0, 1, 300.0, 12.0), (2, 1, 2, 250.0, 9e999), (3, 1, 3, NULL, 0.25)"),
        };
        if (!c.headerExported) {
            sql << QStringLiteral("UPDATE Формулы SET ВывВОтчТабл = 0 WHERE ТипПок = 'З'")
                << QStringLiteral("UPDATE ФлыПредопрПок SET ВывВОтчТабл = 0 WHERE ТипПок = 'З'");
        }
        exec(file, sql);
        zurm::test::FakeDialogs dialogs;
        zurm::test::FakeProgress progress;
        zurm::DataModule data(folder.programFolder());
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(file);
        data.loadCalculationDoneFlag();
        const QString out = folder.docs(QStringLiteral("report.xlsx"));
        zurm::writeReportWorkbook(data, out, progress, c.digits);

        const QByteArray sheetXml = zurm::test::unpackedPart(out, "xl/worksheets/sheet1.xml");
        const QMap<QString, QString> page = attributesOf(sheetXml, QStringLiteral("pageSetup"));
        EXPECT_EQ(page.value(QStringLiteral("orientation")), QStringLiteral("landscape"));
        EXPECT_EQ(page.value(QStringLiteral("paperSize")), QStringLiteral("9"));
        EXPECT_EQ(page.value(QStringLiteral("fitToWidth"), QStringLiteral("1")), QStringLiteral("1"));
        EXPECT_EQ(page.value(QStringLiteral("fitToHeight")), QStringLiteral("0"));
        EXPECT_EQ(attributesOf(sheetXml, QStringLiteral("pageSetUpPr")).value(QStringLiteral("fitToPage")),
                  QStringLiteral("1"));
        const QMap<QString, QString> pane = attributesOf(sheetXml, QStringLiteral("pane"));
        EXPECT_EQ(pane.value(QStringLiteral("state")), QStringLiteral("frozen"));
        EXPECT_EQ(pane.value(QStringLiteral("xSplit")), QStringLiteral("1"));
        EXPECT_EQ(pane.value(QStringLiteral("ySplit")), QString::number(c.captionRow));
        EXPECT_EQ(pane.value(QStringLiteral("topLeftCell")), QStringLiteral("B%1").arg(c.captionRow + 1));
        const QString workbookXml = QString::fromUtf8(zurm::test::unpackedPart(out, "xl/workbook.xml"));
        EXPECT_TRUE(workbookXml.contains(QStringLiteral("<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"0\">"
                                                        "'ЗУРМ'!$%1:$%1</definedName>")
                                             .arg(c.captionRow)))
            << workbookXml.toStdString();

        const zurm::XlsxReader book(out);
        const XlsxSheet sheet = book.sheet(0);
        const auto formatAt = [&](int row, int column) { return book.style(sheet.cell(row, column).style).numberFormat; };
        EXPECT_EQ(text(sheet, c.captionRow, 1), QStringLiteral("Участок"));
        const int du = columnEndingWith(sheet, c.captionRow, QStringLiteral("(ДуПод)"));
        const int flow = columnEndingWith(sheet, c.captionRow, QStringLiteral("(РасхПод)"));
        ASSERT_GT(du, 0);
        ASSERT_GT(flow, 0);
        EXPECT_EQ(formatAt(c.captionRow + 1, du), QStringLiteral("#,##0"));
        EXPECT_EQ(formatAt(c.captionRow + 3, du), QStringLiteral("#,##0")); // the empty cell of the column
        EXPECT_EQ(formatAt(c.captionRow + 1, flow), c.valueFormat);
        if (c.headerExported) {
            EXPECT_EQ(formatAt(4, columnEndingWith(sheet, 3, QStringLiteral("(ДолМестПот)"))), QStringLiteral("#,##0"));
            EXPECT_EQ(formatAt(4, columnEndingWith(sheet, 3, QStringLiteral("(КэШер)"))), c.valueFormat);
        }
    }
}

// The command: refused before a run; the name chosen gets ".xlsx"; an existing
// file is replaced only on Yes; a place that cannot be written is refused
// naming the file.
TEST(ReportWorkbook, ExportCommandAsksAndRefuses)
{
    struct Case {
        bool done;
        QString chosen;     // relative to the documents folder; empty: cancelled
        bool exists;
        bool replace;
        QString message;    // expected message; "*" any text naming the file
        bool written;
        bool noViewer = false; // the desktop has no application for the workbook
    };
    const Case cases[] = {
        {false, QStringLiteral("a"), false, false, zurm::kExportNeedsCalculation, false},
        {true, QString(), false, false, QString(), false},
        {true, QStringLiteral("report"), false, false, QString(), true},
        {true, QStringLiteral("report.XLSX"), true, false, QString(), false},
        {true, QStringLiteral("report.xlsx"), true, true, QString(), true},
        {true, QStringLiteral("missing/report"), false, false, QStringLiteral("*"), false},
        {true, QStringLiteral("unseen"), false, false, QStringLiteral("Файл \"%1\" записан, но не открыт: на компьютере "
                                                                       "нет программы, которая открывает такие файлы."),
         true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        zurm::test::ProgramFolderFixture folder;
        const QString file = folder.newCalculation();
        exec(file, {QStringLiteral("UPDATE НазвРасч SET РВ = %1").arg(c.done)});
        const QString chosen = folder.docs(c.chosen);
        const QString target = zurm::withXlsxSuffix(chosen);
        if (c.exists) {
            QFile old(target);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        zurm::test::FakeDialogs dialogs;
        dialogs.noDefaultApplication = c.noViewer;
        zurm::test::FakeProgress progress;
        if (!c.chosen.isEmpty())
            dialogs.files.push_back(chosen);
        dialogs.answers.push_back(c.replace);
        zurm::DataModule data(folder.programFolder());
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(file);
        data.loadCalculationDoneFlag();

        EXPECT_EQ(zurm::exportReport(data, dialogs, progress), c.written);
        if (c.message == QLatin1String("*")) {
            ASSERT_EQ(dialogs.messages.size(), 1);
            EXPECT_TRUE(dialogs.messages[0].contains(target))
                << dialogs.messages[0].toStdString();
        } else {
            const QString message = c.message.contains(QLatin1String("%1"))
                                        ? c.message.arg(QDir::toNativeSeparators(target)) : c.message;
            EXPECT_EQ(dialogs.messages, message.isEmpty() ? QStringList() : QStringList{message});
        }
        EXPECT_EQ(dialogs.questions.size(), c.exists ? 1 : 0);
        EXPECT_EQ(dialogs.openedFiles, c.written ? QStringList{target} : QStringList());
        EXPECT_EQ(progress.locks, progress.unlocks);
        EXPECT_FALSE(progress.busy);
        QFile result(target);
        if (c.written || c.exists) {
            ASSERT_TRUE(result.open(QIODevice::ReadOnly));
            EXPECT_EQ(result.read(2) == "PK", c.written); // a zip container, or the old file kept
        } else {
            EXPECT_FALSE(result.exists());
        }
        // Nothing of a temporary workbook is left beside the target.
        EXPECT_EQ(QDir(folder.docsFolder()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".xlsx.")),
                  QStringList());
    }
}

struct CalcRun {
    int exitCode = -1;
    QString err;
};

CalcRun zurmCalc(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"), arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

QByteArray digest(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

// zurm-calc --xlsx after the run of each example, and --no-run on the stored
// results: the same workbook, the file untouched; refused before a run.
TEST(ReportWorkbook, ZurmCalcExportsTheExamples)
{
    struct Example {
        const char* name;
        int mainsColumns;
    };
    for (const Example& e : {Example{"district_two_pipe", 11}, Example{"one_pipe", 5}, Example{"design_two_pipe", 15}}) {
        SCOPED_TRACE(e.name);
        zurm::test::ProgramFolderFixture folder;
        const QString file = folder.docs(QString::fromUtf8(e.name) + QStringLiteral(".mdb"));
        zurm::test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/") + QString::fromUtf8(e.name)
                                                   + QStringLiteral(".mdb"),
                                               file);
        exec(file, {QStringLiteral("UPDATE НазвРасч SET РВ = 0")});
        const QString stored = folder.docs(QStringLiteral("stored"));
        CalcRun refused = zurmCalc({file, QStringLiteral("--no-run"), QStringLiteral("--xlsx"), stored});
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_EQ(refused.err.trimmed(), zurm::kExportNeedsCalculation);
        EXPECT_FALSE(QFile::exists(stored + QStringLiteral(".xlsx")));

        const QString afterRun = folder.docs(QStringLiteral("after-run.xlsx"));
        ASSERT_EQ(zurmCalc({file, QStringLiteral("--xlsx"), afterRun, QStringLiteral("--digits"), QStringLiteral("2")})
                      .exitCode,
                  0);
        const QByteArray calculated = digest(file);
        const CalcRun again = zurmCalc({file, QStringLiteral("--no-run"), QStringLiteral("--xlsx"), stored,
                                        QStringLiteral("--digits"), QStringLiteral("2")});
        ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
        EXPECT_EQ(digest(file), calculated);

        const zurm::XlsxReader book(afterRun);
        const XlsxSheet sheet = book.sheet(0);
        const XlsxSheet copy = zurm::XlsxReader(stored + QStringLiteral(".xlsx")).sheet(0);
        EXPECT_EQ(copy.cells.size(), sheet.cells.size());

        // Every segment of the file in id order with its stored values.
        const int h = text(sheet, 6, 1) == QStringLiteral("Участок") ? 6 : 4;
        const int lossColumn = columnEndingWith(sheet, h, QStringLiteral("(ПотНОтИКонПод)"));
        ASSERT_GT(lossColumn, 0);
        int row = h + 1;
        const QString problem = zurm::onOwnConnection(file, true, [&](QSqlDatabase& db) {
            QSqlQuery q = zurm::selectSql(db, QStringLiteral("SELECT НачУзел, КонУзел, ПотНОтИКонПод FROM Табл ORDER BY id"));
            for (; q.next(); ++row) {
                EXPECT_EQ(text(sheet, row, 1), q.value(0).toString() + QStringLiteral(" - ") + q.value(1).toString());
                EXPECT_EQ(sheet.cell(row, lossColumn).number, q.value(2).toDouble()) << row;
                EXPECT_EQ(copy.cell(row, lossColumn).number, q.value(2).toDouble()) << row;
            }
            const int mains = zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM КонМаг")).toInt();
            EXPECT_EQ(sheet.rowCount, row + 1 + mains);
        });
        EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
        EXPECT_EQ(book.style(sheet.cell(h + 1, lossColumn).style).numberFormat, QStringLiteral("#,##0.0#"));
        EXPECT_EQ(text(sheet, row, 1), QStringLiteral("Магистрали (ветви) теплосети:"));
        EXPECT_EQ(lastFilled(sheet, row + 1), e.mainsColumns);
    }
    const CalcRun usage = zurmCalc({QStringLiteral("x.mdb"), QStringLiteral("--no-run")});
    EXPECT_EQ(usage.exitCode, 2);
    // The place of the workbook is judged before the run.
    zurm::test::ProgramFolderFixture folder;
    const QString file = folder.newCalculation();
    const QString place = folder.docs(QStringLiteral("folder.xlsx"));
    ASSERT_TRUE(QDir().mkdir(place));
    const QByteArray before = digest(file);
    const CalcRun refused = zurmCalc({file, QStringLiteral("--xlsx"), place});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.err.trimmed(), QStringLiteral("Отчет нельзя записать в ") + place + QStringLiteral(": это папка."));
    EXPECT_EQ(digest(file), before);
}

} // namespace

namespace {

using zurm::test::packWorkbook;

TEST(XlsxReader, ReadsCellsAsOtherProgramsStoreThem)
{
    const QByteArray ns = R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.xlsx"));
    packWorkbook(path, {
        {"xl/workbook.xml", "<workbook" + ns + R"(><sheets><sheet name="Данные" sheetId="1" r:id="rId1"/>)"
                            R"(<sheet name="Второй" sheetId="2" r:id="rId2"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Target="/xl/worksheets/s2.xml"/>)"
         "</Relationships>"},
        {"xl/sharedStrings.xml", "<sst" + ns + "><si><t>Узел</t></si><si><r><t>a</t></r><r><t xml:space=\"preserve\"> b</t></r>"
                                 "<rPh><t>x</t></rPh></si><si><t>line_x000D_end</t></si></sst>"},
        {"xl/styles.xml", "<styleSheet" + ns + R"(><numFmts><numFmt numFmtId="164" formatCode="#,##0.0##"/></numFmts>)"
                          R"(<fonts><font><sz val="11"/></font><font><b/><sz val="8"/></font></fonts><borders><border/>)"
                          R"(<border><left style="thin"/><right style="none"/><top style="thin"/><bottom/></border></borders>)"
                          R"(<cellStyleXfs><xf numFmtId="0" fontId="0" borderId="0"/></cellStyleXfs><cellXfs>)"
                          R"(<xf numFmtId="0" fontId="0" borderId="0"/><xf numFmtId="164" fontId="1" borderId="1">)"
                          R"(<alignment horizontal="center" wrapText="1"/></xf><xf numFmtId="49" fontId="0" borderId="0"/>)"
                          "</cellXfs></styleSheet>"},
        {"xl/worksheets/sheet1.xml",
         "<worksheet" + ns + R"(><cols><col min="2" max="3" width="9.5"/></cols><sheetData>)"
         R"(<row r="1" ht="30"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s" s="2"><v>1</v></c><c t="s"><v>2</v></c></row>)"
         R"(<row r="3"><c r="A3" s="1"><v>1.5E3</v></c><c r="B3" t="b"><v>1</v></c><c r="C3" t="e"><v>#DIV/0!</v></c>)"
         R"(<c r="D3"><f>A3*2</f><v>3000</v></c><c r="E3" t="str"><f>A1</f><v>Узел</v></c>)"
         R"(<c r="F3" t="inlineStr"><is><t>=1+1</t></is></c><c r="G3" s="1"/></row></sheetData>)"
         R"(<mergeCells><mergeCell ref="A1:C1"/></mergeCells></worksheet>)"},
        {"xl/worksheets/s2.xml", "<worksheet" + ns + R"(><sheetData><row r="2"><c r="AB2"><v>-7</v></c></row></sheetData></worksheet>)"},
    });

    const zurm::XlsxReader book(path);
    EXPECT_EQ(book.sheetNames(), (QStringList{QStringLiteral("Данные"), QStringLiteral("Второй")}));
    const XlsxSheet sheet = book.sheet(0);
    struct Expected {
        int row, column;
        XlsxCell::Kind kind;
        double number;
        QString text;
        bool formula;
    };
    using K = XlsxCell::Kind;
    const Expected cells[] = {
        {1, 1, K::Text, 0, QStringLiteral("Узел"), false},
        {1, 2, K::Text, 0, QStringLiteral("a b"), false},
        {1, 3, K::Text, 0, QStringLiteral("line\rend"), false},
        {3, 1, K::Number, 1500, {}, false},
        {3, 2, K::Boolean, 1, {}, false},
        {3, 3, K::Error, 0, QStringLiteral("#DIV/0!"), false},
        {3, 4, K::Number, 3000, {}, true},
        {3, 5, K::Text, 0, QStringLiteral("Узел"), true},
        {3, 6, K::Text, 0, QStringLiteral("=1+1"), false},
        {3, 7, K::Empty, 0, {}, false},
        {2, 1, K::Empty, 0, {}, false},
    };
    for (const Expected& e : cells) {
        const XlsxCell& cell = sheet.cell(e.row, e.column);
        EXPECT_EQ(cell.kind, e.kind) << e.row << "," << e.column;
        EXPECT_EQ(cell.number, e.number) << e.row << "," << e.column;
        EXPECT_EQ(cell.text, e.text) << e.row << "," << e.column;
        EXPECT_EQ(cell.formula, e.formula) << e.row << "," << e.column;
    }
    EXPECT_EQ(sheet.rowCount, 3);
    EXPECT_EQ(sheet.columnCount, 7);
    EXPECT_EQ(sheet.merges, QList<XlsxRange>{(XlsxRange{1, 1, 1, 3})});
    EXPECT_EQ(sheet.columnWidths, (QMap<int, double>{{2, 9.5}, {3, 9.5}}));
    EXPECT_EQ(sheet.rowHeights, (QMap<int, double>{{1, 30}}));
    const zurm::XlsxStyle value = book.style(sheet.cell(3, 7).style);
    EXPECT_EQ(value.numberFormat, QStringLiteral("#,##0.0##"));
    EXPECT_TRUE(value.bold);
    EXPECT_EQ(value.fontSize, 8);
    EXPECT_TRUE(value.wrap);
    EXPECT_EQ(value.horizontal, QStringLiteral("center"));
    EXPECT_TRUE(value.left && value.top && !value.right && !value.bottom);
    EXPECT_EQ(book.style(sheet.cell(1, 2).style).numberFormat, QStringLiteral("@"));
    EXPECT_EQ(book.sheet(1).cell(2, 28).number, -7);

    // No workbook at all, and a zip without the workbook part.
    const QString text = dir.filePath(QStringLiteral("plain.xlsx"));
    QFile plain(text);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("not a zip");
    plain.close();
    const QString empty = dir.filePath(QStringLiteral("empty.xlsx"));
    packWorkbook(empty, {{"readme.txt", "x"}});
    for (const QString& bad : {text, empty, dir.filePath(QStringLiteral("missing.xlsx"))}) {
        try {
            zurm::XlsxReader reader(bad);
            ADD_FAILURE() << "read " << bad.toStdString();
        } catch (const zurm::Failure& failure) {
            EXPECT_TRUE(failure.text().startsWith(QStringLiteral("Не удалось прочитать книгу ") + bad))
                << failure.text().toStdString();
        }
    }
}

} // namespace
