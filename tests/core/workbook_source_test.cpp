// Workbooks opened by their content: the cells of .xlsx and .xls files as
// other programs store them, read whole and through a window, and files from
// anywhere (a zip bomb, cells beyond the sheet, damaged or foreign files) that
// end in a message naming the file instead of a crash or a full memory.
//
// tests/data/workbooks/cells.xlsx and cells.xls were saved by LibreOffice from
// cells.fods beside them (soffice --headless --convert-to xlsx|xls cells.fods).
#include "base/Failure.h"
#include "platform/CNumericLocale.h"
#include "platform/WorkbookSource.h"
#include "support/XlsWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <xlsxwriter.h>
#include <zip.h>
#include <zlib.h>

namespace {

using zurm::SheetWindow;
using zurm::XlsxCell;
using K = XlsxCell::Kind;

struct Expected {
    int row, column;
    K kind;
    double number;
    QString text;
    bool formula;
};

void expectCells(const zurm::XlsxSheet& sheet, const std::vector<Expected>& cells, const std::string& what,
                 const SheetWindow* window = nullptr)
{
    qsizetype inside = 0;
    for (const Expected& e : cells) {
        const bool shown = !window
                           || (e.row >= window->firstRow && e.row <= window->lastRow
                               && window->columns.contains(e.column));
        const XlsxCell& cell = sheet.cell(e.row, e.column);
        const std::string where = what + " " + std::to_string(e.row) + "," + std::to_string(e.column);
        if (!shown) {
            EXPECT_EQ(cell.kind, K::Empty) << where;
            continue;
        }
        inside += e.kind != K::Empty || e.formula;
        EXPECT_EQ(cell.kind, e.kind) << where;
        EXPECT_EQ(cell.number, e.number) << where;
        EXPECT_EQ(cell.text, e.text) << where;
        EXPECT_EQ(cell.formula, e.formula) << where;
    }
    EXPECT_EQ(std::count_if(sheet.cells.cbegin(), sheet.cells.cend(),
                            [](const XlsxCell& cell) { return cell.kind != K::Empty || cell.formula; }),
              inside)
        << what;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

enum class Bomb { None, Honest, Lying };

// A workbook of one sheet "Лист1" with the given sheet part, packed here; or,
// with a bomb, a sheet part that inflates to 100 MiB of spaces inside its root
// element, its size in the zip's headers true or given as 1 KiB.
void packSheet(const QString& path, const QByteArray& sheetXml, Bomb bomb = Bomb::None)
{
    const QByteArray ns = R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")";
    const std::pair<const char*, QByteArray> parts[] = {
        {"xl/workbook.xml", "<workbook" + ns + R"(><sheets><sheet name="Лист1" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Target="worksheets/sheet1.xml"/></Relationships>)"},
    };
    zipFile zip = zipOpen(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, bytes] : parts) {
        ASSERT_EQ(zipOpenNewFileInZip(zip, name, nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6), ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size())), ZIP_OK);
        zipCloseFileInZip(zip);
    }
    const char* sheetName = "xl/worksheets/sheet1.xml";
    if (bomb == Bomb::None) {
        ASSERT_EQ(zipOpenNewFileInZip(zip, sheetName, nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6), ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zip, sheetXml.constData(), unsigned(sheetXml.size())), ZIP_OK);
        zipCloseFileInZip(zip);
        zipClose(zip, nullptr);
        return;
    }
    // Deflated here and stored raw, so that the headers say what the test wants.
    ASSERT_EQ(zipOpenNewFileInZip2(zip, sheetName, nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1, 1), ZIP_OK);
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 1, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<unsigned char> out(1 << 16);
    uLong crc = crc32(0, nullptr, 0);
    const auto feed = [&](const QByteArray& bytes, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
        z.avail_in = uInt(bytes.size());
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size()));
        do {
            z.next_out = out.data();
            z.avail_out = uInt(out.size());
            deflate(&z, flush);
            zipWriteInFileInZip(zip, out.data(), unsigned(out.size() - z.avail_out));
        } while (z.avail_out == 0);
    };
    feed("<worksheet>", Z_NO_FLUSH);
    const QByteArray spaces(1 << 20, ' ');
    for (int i = 0; i < 100; ++i)
        feed(spaces, i == 99 ? Z_FINISH : Z_NO_FLUSH);
    const uLong size = z.total_in;
    deflateEnd(&z);
    zipCloseFileInZipRaw(zip, bomb == Bomb::Lying ? 1024 : size, crc);
    zipClose(zip, nullptr);
}

QString bookPath(const char* name)
{
    return QStringLiteral(ZURM_SOURCE_DIR "/tests/data/workbooks/") + QLatin1String(name);
}

TEST(WorkbookSource, ReadsTheCellsOfBothFormatsWholeAndInAWindow)
{
    QTemporaryDir dir;
    // Written here with libxlsxwriter, which writes numbers with printf.
    const zurm::CNumericLocale decimalPoint;
    const QString written = dir.filePath(QStringLiteral("written.xlsx"));
    lxw_workbook* book = workbook_new(QFile::encodeName(written).constData());
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Узлы");
    worksheet_write_number(sheet, 0, 0, 1, nullptr);
    worksheet_write_number(sheet, 0, 1, 2.5, nullptr);
    worksheet_write_string(sheet, 0, 2, "текст", nullptr);
    worksheet_write_blank(sheet, 0, 3, workbook_add_format(book));
    worksheet_write_number(sheet, 0, 4, -7, nullptr);
    worksheet_write_boolean(sheet, 1, 0, 1, nullptr);
    worksheet_write_boolean(sheet, 1, 1, 0, nullptr);
    worksheet_write_formula_num(sheet, 1, 2, "=A1*2", nullptr, 2);
    // libxlsxwriter stores every text result as a text (t="str"), an error's too.
    worksheet_write_formula_str(sheet, 1, 3, "=1/0", nullptr, "#DIV/0!");
    worksheet_write_formula(sheet, 1, 4, "=C1", nullptr);
    worksheet_write_number(sheet, 2, 0, 3, nullptr);
    worksheet_write_number(sheet, 2, 3, 0.25, nullptr);
    workbook_add_worksheet(book, "Second");
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);

    const std::vector<Expected> writtenCells = {
        {1, 1, K::Number, 1, {}, false},       {1, 2, K::Number, 2.5, {}, false},
        {1, 3, K::Text, 0, QStringLiteral("текст"), false},
        {1, 4, K::Empty, 0, {}, false},        {1, 5, K::Number, -7, {}, false},
        {2, 1, K::Boolean, 1, {}, false},      {2, 2, K::Boolean, 0, {}, false},
        {2, 3, K::Number, 2, {}, true},        {2, 4, K::Text, 0, QStringLiteral("#DIV/0!"), true},
        {2, 5, K::Number, 0, {}, true},        {3, 1, K::Number, 3, {}, false},
        {3, 2, K::Empty, 0, {}, false},        {3, 4, K::Number, 0.25, {}, false},
    };
    // Saved by another program: error results as errors, a boolean formula,
    // booleans typed in as numbers, a formula without a stored value nowhere.
    const std::vector<Expected> savedCells = {
        {1, 1, K::Number, 1, {}, false},       {1, 2, K::Number, 2.5, {}, false},
        {1, 3, K::Text, 0, QStringLiteral("текст"), false},
        {1, 4, K::Empty, 0, {}, false},        {1, 5, K::Number, -7, {}, false},
        {2, 1, K::Number, 1, {}, false},       {2, 2, K::Number, 0, {}, false},
        {2, 3, K::Number, 2, {}, true},        {2, 4, K::Error, 0, QStringLiteral("#DIV/0!"), true},
        {2, 5, K::Text, 0, QStringLiteral("текст"), true},
        {3, 1, K::Number, 3, {}, false},       {3, 2, K::Empty, 0, {}, false},
        {3, 3, K::Error, 0, QStringLiteral("#N/A"), true},
        {3, 4, K::Number, 0.25, {}, false},    {3, 5, K::Boolean, 1, {}, true},
    };
    const struct {
        QString path;
        const std::vector<Expected>& cells;
    } books[] = {
        {written, writtenCells},
        {bookPath("cells.xlsx"), savedCells},
        {bookPath("cells.xls"), savedCells},
    };
    SheetWindow window;
    window.firstRow = 2;
    window.lastRow = 3;
    window.columns = {4, 1};
    for (const auto& b : books) {
        const std::string what = QFileInfo(b.path).fileName().toStdString();
        const std::unique_ptr<zurm::WorkbookSource> source = zurm::openWorkbook(b.path);
        EXPECT_EQ(source->sheetNames(), (QStringList{QStringLiteral("Узлы"), QStringLiteral("Second")})) << what;
        expectCells(source->sheetCells(0, SheetWindow{}), b.cells, what);
        expectCells(source->sheetCells(0, window), b.cells, what + " window", &window);
    }
    // The format is the content's, not the name's.
    const QString disguised = dir.filePath(QStringLiteral("disguised.xlsx"));
    ASSERT_TRUE(QFile::copy(bookPath("cells.xls"), disguised));
    expectCells(zurm::openWorkbook(disguised)->sheetCells(0, SheetWindow{}), savedCells, "xls named .xlsx");
}

// 700 distinct texts fill three records of the string table, as they do in
// every workbook of a few hundred named rows: a string begins in the last bytes
// of the first record, and Cyrillic ones go on from one record into the next.
TEST(WorkbookSource, ReadsAnXlsStringTableSplitOverRecords)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("strings.xls"));
    QStringList texts;
    for (int i = 0; i < 700; ++i)
        texts.append(i < 600 ? QStringLiteral("segment-%1").arg(i, 5, 10, QLatin1Char('0'))
                             : QStringLiteral("Участок %1; ").arg(i).repeated(4));
    zurm::test::writeXls(path, QStringLiteral("Участки"), texts);
    const std::unique_ptr<zurm::WorkbookSource> source = zurm::openWorkbook(path);
    ASSERT_EQ(source->sheetNames(), QStringList{QStringLiteral("Участки")});
    const zurm::XlsxSheet sheet = source->sheetCells(0, SheetWindow{});
    for (int i = 0; i < 700; ++i) {
        EXPECT_EQ(sheet.cell(i + 1, 1).text, texts[i]) << i;
        EXPECT_EQ(sheet.cell(i + 1, 2).number, i + 1) << i;
    }
}

TEST(WorkbookSource, FilesFromAnywhereEndInAMessage)
{
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    packSheet(path("bomb.xlsx"), {}, Bomb::Honest);
    packSheet(path("lying-bomb.xlsx"), {}, Bomb::Lying);
    packSheet(path("far.xlsx"), R"(<worksheet><sheetData><row r="2000000"><c r="A2000000"><v>1</v></c></row></sheetData></worksheet>)");
    packSheet(path("wide.xlsx"), R"(<worksheet><sheetData><row r="1"><c r="XFE1"><v>1</v></c></row></sheetData></worksheet>)");
    packSheet(path("broken.xlsx"), R"(<worksheet><sheetData><row r="1"><c r="A1"><v>1</v></row>)");
    packSheet(path("string.xlsx"), R"(<worksheet><sheetData><row r="1"><c r="B1" t="s"><v>5</v></c></row></sheetData></worksheet>)");
    packSheet(path("entities.xlsx"), R"(<?xml version="1.0"?><!DOCTYPE w [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">]><worksheet><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>&b;&b;&b;</t></is></c></row></sheetData></worksheet>)");
    // Small files that would cost gigabytes: nesting, one text, all texts together.
    const auto inlineText = [](const QByteArray& text) {
        return R"(<c r="A1" t="inlineStr"><is><t>)" + text + "</t></is></c>";
    };
    packSheet(path("deep.xlsx"), "<worksheet><sheetData>" + QByteArray("<a>").repeated(300));
    packSheet(path("long.xlsx"),
              "<worksheet><sheetData><row r=\"1\">" + inlineText(QByteArray(32768, 'a')) + "</row></sheetData></worksheet>");
    packSheet(path("endless.xlsx"), "<worksheet><sheetData>" + QByteArray(2 << 20, 'a'));
    QByteArray texts;
    for (int row = 1; row <= 1000; ++row)
        texts += "<row r=\"" + QByteArray::number(row) + "\">" + inlineText(QByteArray(32767, 'a')).replace("A1", "A" + QByteArray::number(row)) + "</row>";
    packSheet(path("texts.xlsx"), "<worksheet><sheetData>" + texts + "</sheetData></worksheet>");
    QFile written(bookPath("cells.xlsx"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    writeFile(path("truncated.xlsx"), written.readAll().left(3000));
    QFile xls(bookPath("cells.xls"));
    ASSERT_TRUE(xls.open(QIODevice::ReadOnly));
    const QByteArray xlsBytes = xls.readAll();
    writeFile(path("truncated.xls"), xlsBytes.left(2000));
    writeFile(path("text.xlsx"), "Узел;Давление\n1;2\n");
    writeFile(path("empty.xlsx"), {});
    ASSERT_EQ(mkfifo(QFile::encodeName(path("fifo.xlsx")).constData(), 0600), 0);

    const struct {
        const char* file;
        QString reason;
    } cases[] = {
        {"bomb.xlsx", QStringLiteral("часть xl/worksheets/sheet1.xml больше 64 МБ после распаковки")},
        // minizip inflates no more than the headers say, and then the checksum fails.
        {"lying-bomb.xlsx", QStringLiteral("часть xl/worksheets/sheet1.xml повреждена")},
        {"far.xlsx", QStringLiteral("строка 2000000 листа «Лист1» за пределами листа")},
        {"wide.xlsx", QStringLiteral("ячейка XFE1 листа «Лист1» за пределами листа")},
        {"broken.xlsx", QStringLiteral("часть xl/worksheets/sheet1.xml повреждена (строка 1 разметки)")},
        {"string.xlsx", QStringLiteral("ячейка B1 листа «Лист1» ссылается на строку, которой нет в книге")},
        {"entities.xlsx", QStringLiteral("часть xl/worksheets/sheet1.xml повреждена (строка 1 разметки)")},
        {"deep.xlsx", QStringLiteral("в части xl/worksheets/sheet1.xml элементы вложены глубже 256 уровней")},
        {"long.xlsx", QStringLiteral("в части xl/worksheets/sheet1.xml строка длиннее 32767 знаков")},
        {"endless.xlsx", QStringLiteral("в части xl/worksheets/sheet1.xml текст или элемент длиннее 1 МБ")},
        {"texts.xlsx", QStringLiteral("тексты ячеек листа «Лист1» длиннее 32 млн знаков в сумме")},
        {"truncated.xlsx", QStringLiteral("файл не найден или не является книгой Microsoft Excel (*.xlsx)")},
        {"truncated.xls", QStringLiteral("книга повреждена")},
        {"text.xlsx", QStringLiteral("файл не является книгой Microsoft Excel (*.xlsx, *.xls)")},
        {"empty.xlsx", QStringLiteral("файл пуст")},
        {"missing.xls", QStringLiteral("файл не найден")},
        // Opening it would wait for a writer.
        {"fifo.xlsx", QStringLiteral("это не обычный файл, а папка, канал или устройство")},
    };
    for (const auto& c : cases) {
        const QString file = path(c.file);
        try {
            const std::unique_ptr<zurm::WorkbookSource> source = zurm::openWorkbook(file);
            for (int i = 0; i < source->sheetNames().size(); ++i)
                source->sheetCells(i, SheetWindow{});
            ADD_FAILURE() << "read " << c.file;
        } catch (const zurm::Failure& failure) {
            EXPECT_EQ(failure.className(), QStringLiteral("WorkbookError")) << c.file;
            EXPECT_EQ(failure.text(), QStringLiteral("Не удалось прочитать книгу ") + file + QStringLiteral(": ")
                                          + c.reason + '.')
                << c.file;
        }
    }
}

} // namespace
