#include <QString>
#include <ostream>

static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

#include "base/Sql.h"
#include "document/DataModule.h"
#include "entry/SpreadsheetLoad.h"
#include "support/FakeDialogs.h"
#include "support/PackedWorkbook.h"
#include "support/ProgramFolder.h"

#include <QSqlQuery>
#include <gtest/gtest.h>
#include <memory>

using namespace zurm;

namespace {

class SpreadsheetLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = std::make_unique<DataModule>(folder.programFolder());
        data->createWorkDatabase(QString(), dialogs);
        data->openCalculation(folder.newCalculation());
        execSql(data->calculation(), "UPDATE НазвРасч SET ТипСети = 1");
        // Five segments in the grid's order (by id); 0 - 5 matches an empty node cell.
        execSql(data->calculation(), "INSERT INTO Табл (id, НачУзел, КонУзел, РасхПод, ДуПод) VALUES "
                                     "(1, 1, 2, 7, 7), (2, 2, 3, 7, 7), (3, 3, 4, 7, 7), (4, 0, 5, 7, 7), (5, 4, 6, 7, 7)");
        book = folder.docs(QStringLiteral("book.xlsx"));
    }
    // РасхПод/ДуПод of the five segments by id.
    QString values() const
    {
        QStringList out;
        QSqlQuery query = selectSql(data->calculation(), "SELECT РасхПод, ДуПод FROM Табл ORDER BY id");
        while (query.next())
            out.append(query.value(0).toString() + '/' + query.value(1).toString());
        return out.join(' ');
    }
    LoadResult load(const QList<QStringList>& rows, int firstRow = 2, int lastRow = 20)
    {
        test::packSheet(book, QStringLiteral("Участки"), rows);
        return loadFromWorkbook(*data, book, plan(firstRow, lastRow), progress);
    }
    static LoadPlan plan(int firstRow = 2, int lastRow = 20)
    {
        return {QStringLiteral("Участки"), firstRow, lastRow, 1, 2,
                {{QStringLiteral("РасхПод"), 3}, {QStringLiteral("ДуПод"), 4}}};
    }

    test::ProgramFolderFixture folder;
    test::FakeDialogs dialogs;
    test::FakeProgress progress;
    std::unique_ptr<DataModule> data;
    QString book;
};

LoadSettings typed(const QString& sheet, const QString& first, const QString& last, const QString& start,
                   const QString& end, const QStringList& names, const QStringList& columns)
{
    LoadSettings fields;
    fields.sheet = sheet;
    fields.firstRow = first;
    fields.lastRow = last;
    fields.startColumn = start;
    fields.endColumn = end;
    for (int line = 0; line < kLoadLines; ++line) {
        fields.names[line] = names.value(line);
        fields.columns[line] = columns.value(line);
    }
    return fields;
}

TEST(SpreadsheetLoadCheck, ChecksFieldsInOrderAndNormalisesNames)
{
    const QStringList sheets{"Лист1", "Участки"};
    const QStringList offered{"РасхПод", "ДуПод"};
    const QString rowsText = "должен быть целым положительным числом меньше 65537.";
    const QString column =
        "Параметр \"Номер колонки в таблице Excel\" должен быть целым положительным числом меньше 257.";
    const struct {
        LoadSettings fields;
        LoadField field;
        QString message; // empty: the check passes
    } cases[] = {
        {typed("нет", "1", "5", "1", "2", {"РасхПод"}, {"3"}), LoadField::Sheet,
         "Поле \"Имя листа Excel\" должно быть заполнено."},
        {typed("участки", "0", "5", "1", "2", {"РасхПод"}, {"3"}), LoadField::FirstRow,
         "Параметр \"Начальная строка таблицы данных\" " + rowsText},
        {typed("Участки", "1", "65537", "1", "2", {"РасхПод"}, {"3"}), LoadField::LastRow,
         "Параметр \"Конечная строка таблицы данных\" " + rowsText},
        {typed("Участки", "5", "4", "1", "2", {"РасхПод"}, {"3"}), LoadField::FirstRow,
         "Параметр \"Начальная строка таблицы данных\" должен быть меньше или равен параметру \"Конечная строка "
         "таблицы данных\"."},
        {typed("Участки", "1", "5", "abc", "2", {"РасхПод"}, {"3"}), LoadField::StartColumn, column},
        {typed("Участки", "1", "5", "1", "257", {"РасхПод"}, {"3"}), LoadField::EndColumn, column},
        {typed("Участки", "1", "5", "1", "2", {"", "дупод"}, {"x", "257"}), LoadField::Column, column},
        {typed("Участки", "1", "5", "1", "2", {"Нет", "", "ДуП"}, {"3"}), LoadField::Name,
         "Введите хотя бы одно значение в поле \"Показатель\"."},
        {typed("УЧАСТКИ", "1", "65536", "1", "256", {"", "расхпод"}, {"x", "3"}), LoadField::Sheet, ""},
    };
    for (const auto& c : cases) {
        const LoadSettings normal = normaliseLoadSettings(c.fields, sheets, offered);
        const LoadCheck check = checkLoadSettings(normal, sheets);
        SCOPED_TRACE(c.message.toStdString());
        EXPECT_EQ(check.message, c.message);
        EXPECT_EQ(check.plan.has_value(), c.message.isEmpty());
        if (check.plan) {
            EXPECT_EQ(check.plan->sheet, "Участки");
            ASSERT_EQ(check.plan->lines.size(), 1);
            EXPECT_EQ(check.plan->lines[0].name, "РасхПод"); // the list's own spelling
            EXPECT_EQ(check.plan->lines[0].column, 3);
        } else {
            EXPECT_EQ(check.field, c.field);
        }
    }
}

TEST_F(SpreadsheetLoadTest, FirstMatchingRowWinsAndEmptyCellsReadAsZero)
{
    const LoadResult result = load({
        {"s:Начало", "s:Конец", "s:Расход", "s:Ду"}, // above the range: text is never read
        {"n:1", "n:2", "n:10.5", "n:100"},
        {"n:2", "n:3", "", "f:150"},                  // empty value cell: 0; a formula's stored result
        {"n:1", "n:2", "n:99", "n:99"},               // a second row for 1 - 2: not used
        {"", "n:5", "s:12,5", "b:1"},                 // empty start node: node 0; text that is a number
        {"n:7", "n:8", "s:текст", "e:#N/A"},          // matches no segment: never read
    });
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.message, "Данные загружены успешно.");
    EXPECT_EQ(result.loadedSegments, 3);
    EXPECT_EQ(values(), "10.5/100 0/150 7/7 12.5/1 7/7");
    EXPECT_EQ(progress.statuses.first(), "Загрузка данных. Участок 1 - 2");
    EXPECT_EQ(progress.statuses.last(), "");
}

TEST_F(SpreadsheetLoadTest, ABadCellStopsTheLoadAndKeepsWhatWasWritten)
{
    const QString nodeError = "Ошибка при чтении данных из ячейки таблицы Excel.\r\rАдрес ячейки:\rНомер строки: 3\r"
                              "Номер колонки: 2\r\rВсе ячейки, из которых загружаются данные, а также ячейки с "
                              "номерами начальных и конечных узлов участков должны иметь числовой формат.\r\r"
                              "Текст ошибки:\r\"Ячейка содержит значение ошибки #N/A\"";
    const struct {
        QList<QStringList> rows;
        QString message;
        int row, column;
        QString values;
    } cases[] = {
        // A text value of 2 - 3: 1 - 2 stays loaded, 2 - 3 takes none of its values.
        {{{}, {"n:1", "n:2", "n:5", "n:50"}, {"n:2", "n:3", "n:6", "s:abc"}}, "Текст ячейки не является числом: abc",
         3, 4, "5/50 7/7 7/7 7/7 7/7"},
        // A bad node cell after the row of 1 - 2: 2 - 3 scans up to it.
        {{{}, {"n:1", "n:2", "n:5", "n:50"}, {"n:9", "e:#N/A", "", ""}, {"n:2", "n:3", "n:6", "n:60"}}, "", 3, 2,
         "5/50 7/7 7/7 7/7 7/7"},
        // A formula whose writer stored no result is no 0.
        {{{}, {"n:1", "n:2", "n:5", "n:50"}, {"n:2", "n:3", "f:", "n:60"}},
         "Ячейка содержит формулу без вычисленного значения", 3, 3, "5/50 7/7 7/7 7/7 7/7"},
    };
    for (const auto& c : cases) {
        execSql(data->calculation(), "UPDATE Табл SET РасхПод = 7, ДуПод = 7");
        const LoadResult result = load(c.rows);
        EXPECT_FALSE(result.ok);
        if (c.message.isEmpty())
            EXPECT_EQ(result.message, nodeError);
        else
            EXPECT_TRUE(result.message.endsWith("Текст ошибки:\r\"" + c.message + "\"")) << result.message.toStdString();
        EXPECT_EQ(result.failedRow, c.row);
        EXPECT_EQ(result.failedColumn, c.column);
        EXPECT_EQ(values(), c.values);
    }
}

TEST_F(SpreadsheetLoadTest, ASegmentWithoutItsNodesOrAMissingBookEndsTheLoad)
{
    execSql(data->calculation(), "UPDATE Табл SET КонУзел = Null WHERE id = 3");
    LoadResult result = load({{}, {"n:1", "n:2", "n:5", "n:50"}});
    EXPECT_EQ(result.message, "Участок 3 - :\rПоля НачУзел, КонУзел должны быть заполнены.");
    EXPECT_EQ(values(), "5/50 7/7 7/7 7/7 7/7");

    result = loadFromWorkbook(*data, folder.docs("нет.xlsx"), plan(), progress);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.message.contains(folder.docs("нет.xlsx"))) << result.message.toStdString();
}

// The sheets were listed when the dialog opened; the workbook changed since.
TEST_F(SpreadsheetLoadTest, TheSheetIsFoundByItsNameAtEveryLoad)
{
    const LoadPlan checked = *checkLoadSettings(typed("Участки", "2", "3", "1", "2", {"РасхПод", "ДуПод"}, {"3", "4"}),
                                                {"Участки"})
                                  .plan;
    test::packSheets(book, {{"Лист1", {{}, {"n:1", "n:2", "n:99", "n:99"}}},
                            {"Участки", {{}, {"n:1", "n:2", "n:5", "n:50"}}}});
    LoadResult result = loadFromWorkbook(*data, book, checked, progress);
    EXPECT_EQ(result.message, "Данные загружены успешно.");
    EXPECT_EQ(values(), "5/50 7/7 7/7 7/7 7/7");

    test::packSheets(book, {{"Лист1", {{}, {"n:1", "n:2", "n:99", "n:99"}}}});
    result = loadFromWorkbook(*data, book, checked, progress);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "В книге " + book + " нет листа \"Участки\".");
    EXPECT_EQ(values(), "5/50 7/7 7/7 7/7 7/7");
}

TEST_F(SpreadsheetLoadTest, SettingsKeepWholeNumbersAndStoreAnythingElseAsNull)
{
    LoadSettings fields = typed("Участки", "2", "abc", "", " 3 ", {"РасхПод", "", "ДуПод"}, {"4", "5", "1.5"});
    fields.workbook = book;
    data->openSettings(folder.program("Nastr.mdb"));
    storeLoadSettings(data->settings(), fields);
    QSqlQuery query = selectSql(data->settings(), "SELECT НачСтр, КонСтр, КолНачУз, КолКонУз, П2, Кол1, Кол2, Кол3, "
                                                  "typeof(НачСтр) FROM НастрЗагрИзExcel");
    ASSERT_TRUE(query.next());
    QStringList stored;
    for (int i = 0; i < 9; ++i)
        stored.append(query.value(i).isNull() ? "Null" : query.value(i).toString());
    EXPECT_EQ(stored.join(' '), "2 Null Null 3 Null 4 5 Null integer");
    const LoadSettings back = readLoadSettings(data->settings());
    EXPECT_EQ(back.workbook, book);
    EXPECT_EQ(back.names[2], "ДуПод");
    EXPECT_EQ(back.lastRow, "");
    EXPECT_EQ(back.endColumn, "3");
}

} // namespace

namespace {

// The same load from an .xls written by another program: numbers, an empty
// value cell, a repeated segment, an empty node cell, a boolean and a text.
TEST_F(SpreadsheetLoadTest, LoadsFromAnXlsWorkbook)
{
    const QString xls = QStringLiteral(ZURM_SOURCE_DIR "/tests/data/workbooks/segments.xls");
    LoadPlan xlsPlan = plan(2, 6);
    xlsPlan.sheet = QStringLiteral("load");
    const LoadResult result = loadFromWorkbook(*data, xls, xlsPlan, progress);
    EXPECT_EQ(result.message, cellConversionMessage(6, 4, "Текст ячейки не является числом: abc"));
    EXPECT_EQ(values(), "10.5/100 0/150 7/7 12.5/1 7/7");
}

} // namespace
