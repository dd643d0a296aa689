// The reference table editors: deleting marked rows by their identity (equal
// keys, a real key off its 15-digit text, keys without a value), the cursor
// after a deletion, and switching editing on.

#include <QString>
#include <ostream>

static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

#include "base/Sql.h"
#include "document/DataModule.h"
#include "platform/XlsxReader.h"
#include "reference/ReferenceTableModel.h"
#include "reference/ReferenceReport.h"
#include "reference/ReferenceWorkbook.h"
// GCC 12 sees the scripted file answers as maybe uninitialized here (a false alarm).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/FakeDialogs.h"
#pragma GCC diagnostic pop
#include "support/ProgramFolder.h"

#include <gtest/gtest.h>
#include <QFile>
#include <memory>

using namespace zurm;
using zurm::test::FakeDialogs;
using zurm::test::FakeProgress;

namespace {

class ReferenceEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = std::make_unique<DataModule>(folder.programFolder());
        data->createWorkDatabase(QString(), dialogs);
        data->openCalculation(folder.newCalculation());
        data->openReference(folder.program(QStringLiteral("Spr.mdb")));
        data->loadCalculationDoneFlag();
    }
    // The table's rows in the editor's order, "-" for an empty field.
    QString rows(ReferenceTable table)
    {
        ReferenceTableModel model(*data, dialogs, table);
        model.select();
        QStringList out;
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList fields;
            for (int column = 0; column < model.columnCount(); ++column) {
                const QVariant v = model.value(row, column);
                fields.append(v.isNull() ? QStringLiteral("-") : v.toString());
            }
            out.append(fields.join(QLatin1Char('/')));
        }
        return out.join(QLatin1Char(' '));
    }

    test::ProgramFolderFixture folder;
    FakeDialogs dialogs;
    std::unique_ptr<DataModule> data;
};

// Only the marked rows go, whatever their keys: a key shared with an
// unmarked row, a roughness stored as 0.1 + 0.2 (its 15-digit text "0.3"
// names another number), a row without a key.
TEST_F(ReferenceEditorTest, MarkedRowsAreDeletedByTheirIdentity)
{
    struct Case {
        ReferenceTable table;
        const char* fill;
        QList<int> marked; // rows in the editor's order
        const char* left;
        int cursor;
    };
    const Case cases[] = {
        {ReferenceTable::Diameters, "INSERT INTO ДиамТрПр VALUES (50, 51), (50, 52), (80, 82)", {0}, "50/52 80/82", 0},
        {ReferenceTable::Diameters, "INSERT INTO ДиамТрПр VALUES (NULL, 10), (NULL, 11), (80, 82)", {1}, "-/10 80/82", 1},
        {ReferenceTable::Density, "INSERT INTO ПлВодыОтТ VALUES (20, 998.2), (20, 111), (30, 996)", {1, 2}, "20/998.2", 0},
        {ReferenceTable::Coefficients,
         "INSERT INTO ПопрКоэфКУдПот VALUES (25, 0.1 + 0.2, 0.9), (25, 0.3, 0.8), (NULL, NULL, 1)", {2},
         "-/-/1 25/0.3/0.8", 1},
        {ReferenceTable::Coefficients,
         "INSERT INTO ПопрКоэфКУдПот VALUES (25, 0.1 + 0.2, 0.9), (25, 0.3, 0.8), (NULL, NULL, 1)", {0, 2},
         "25/0.3/0.8", 0},
    };
    for (const Case& c : cases) {
        const ReferenceTableInfo& info = referenceTableInfo(c.table);
        execSql(data->reference(), QStringLiteral("DELETE FROM ") + info.table);
        execSql(data->reference(), QString::fromUtf8(c.fill));
        ReferenceTableModel model(*data, dialogs, c.table);
        model.select();
        const int cursor = model.deleteRows(c.marked);
        EXPECT_EQ(rows(c.table), QString::fromUtf8(c.left)) << c.fill;
        EXPECT_EQ(cursor, c.cursor) << c.fill;
    }
}

TEST(ReferenceEditor, RowAfterDeletion)
{
    struct Case {
        int lastDeleted, count, rowCount, expected;
    };
    const Case cases[] = {
        {4, 2, 8, 3},  // rows 3 and 5 of ten (from 1): the former row 6
        {9, 2, 8, 7},  // the last rows: the new last row
        {0, 1, 4, 0},  // the first row: the one after it
        {2, 3, 0, -1}, // nothing left
    };
    for (const Case& c : cases)
        EXPECT_EQ(rowAfterDeletion(c.lastDeleted, c.count, c.rowCount), c.expected) << c.lastDeleted;
}

// Read-only until editing is on; switching it on clears the
// calculation-done flag; typed text is read as a number or refused.
TEST_F(ReferenceEditorTest, EditingIsAllowedExplicitly)
{
    data->SetCalculationDoneFlag(true);
    ReferenceTableModel model(*data, dialogs, ReferenceTable::Density);
    model.select();
    const QModelIndex cell = model.index(0, 1);
    EXPECT_FALSE(model.flags(cell) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(cell, QStringLiteral("5")));
    model.setEditing(true);
    EXPECT_FALSE(data->calculationDone());
    struct Case {
        int column;
        const char* typed;
        bool accepted;
        const char* stored;
    };
    const Case cases[] = {
        {1, "1 000,5", true, "1000.5"}, {1, "abc", false, "1000.5"}, {1, "", true, "-"},
        {0, "7", true, "7"},            {0, "7.5", false, "7"},      {0, "40000", false, "7"},
    };
    for (const Case& c : cases) {
        dialogs.messages.clear();
        EXPECT_EQ(model.setData(model.index(0, c.column), QString::fromUtf8(c.typed)), c.accepted) << c.typed;
        EXPECT_EQ(dialogs.messages.size(), c.accepted ? 0 : 1) << c.typed;
        const QVariant stored = selectValue(data->reference(), QStringLiteral("SELECT ") + QStringList{QStringLiteral("Т"), QStringLiteral("Плотность")}[c.column]
                                                                   + QStringLiteral(" FROM ПлВодыОтТ WHERE rowid=?"),
                                            {model.rowId(0)});
        EXPECT_EQ(stored.isNull() ? QStringLiteral("-") : stored.toString(), QString::fromUtf8(c.stored)) << c.typed;
    }
}

// The export read back: the sheet, the title row, the captions, the values in
// the editor's order, the number formats by column and precision, the
// bordered block; an empty table writes nothing.
TEST_F(ReferenceEditorTest, ExportLayout)
{
    struct Case {
        ReferenceTable table;
        int digits;
        const char* sheet;
        double titleHeight;
        QStringList formats; // by column
        const char* firstRow; // row 3, values joined by "/"
        int rows;             // table rows
    };
    const Case cases[] = {
        {ReferenceTable::Diameters, 3, "ДиамТП", 24, {"#,##0", "#,##0"}, "25/27", 24},
        {ReferenceTable::Density, 2, "ПлВоды", 40, {"#,##0", "#,##0.0#"}, "1/1000.66", 200},
        {ReferenceTable::Density, 0, "ПлВоды", 40, {"#,##0", "#,##0"}, "1/1000.66", 200},
        {ReferenceTable::Coefficients, 3, "ПопрК", 40, {"#,##0", "#,##0.0##", "#,##0.0##"}, "25/0.1/0.669", 192},
    };
    for (const Case& c : cases) {
        const ReferenceTableInfo& info = referenceTableInfo(c.table);
        const QString path = folder.docs(QStringLiteral("ref.xlsx"));
        FakeProgress progress;
        ASSERT_TRUE(writeReferenceWorkbook(*data, c.table, path, progress, c.digits));
        XlsxReader reader(path);
        ASSERT_EQ(reader.sheetNames(), QStringList{QString::fromUtf8(c.sheet)});
        const XlsxSheet sheet = reader.sheet(0);
        const int columns = int(info.columns.size());
        EXPECT_EQ(sheet.cell(1, 1).text, info.sheetTitle);
        EXPECT_EQ(sheet.merges, (QList<XlsxRange>{{1, 1, 1, columns}}));
        EXPECT_EQ(sheet.rowHeights.value(1), c.titleHeight);
        EXPECT_EQ(reader.style(sheet.cell(1, 1).style).fontSize, 12);
        EXPECT_EQ(reader.style(sheet.cell(1, 1).style).wrap, info.titleWrapped);
        EXPECT_EQ(sheet.rowCount, c.rows + 2);
        EXPECT_EQ(sheet.columnCount, columns);
        QStringList first;
        for (int col = 1; col <= columns; ++col) {
            EXPECT_EQ(sheet.cell(2, col).text, info.captions[col - 1]);
            EXPECT_NEAR(sheet.columnWidths.value(col), 18.71, 0.01); // 18 characters as stored
            const XlsxStyle& caption = reader.style(sheet.cell(2, col).style);
            EXPECT_TRUE(caption.left && caption.top && caption.right && caption.bottom && caption.wrap);
            EXPECT_EQ(caption.fontSize, 8);
            const XlsxCell& cell = sheet.cell(3, col);
            EXPECT_EQ(cell.kind, XlsxCell::Kind::Number);
            first.append(QString::number(cell.number));
            const XlsxStyle& value = reader.style(sheet.cell(c.rows + 2, col).style);
            EXPECT_EQ(value.numberFormat, c.formats[col - 1]) << c.sheet << col;
            EXPECT_TRUE(value.left && value.top && value.right && value.bottom);
            EXPECT_EQ(value.horizontal, QStringLiteral("center"));
        }
        EXPECT_EQ(first.join(QLatin1Char('/')), QString::fromUtf8(c.firstRow));
        EXPECT_TRUE(progress.statuses.contains(info.progressText + QString::fromUtf8(c.firstRow).split(QLatin1Char('/'))[info.progressColumn]));
    }
    execSql(data->reference(), QStringLiteral("DELETE FROM ДиамТрПр"));
    FakeProgress progress;
    const QString empty = folder.docs(QStringLiteral("empty.xlsx"));
    EXPECT_FALSE(writeReferenceWorkbook(*data, ReferenceTable::Diameters, empty, progress));
    EXPECT_FALSE(QFile::exists(empty));
}

// The print definitions filled from their tables: the title, the captions and
// the first row with the report precision and the program's decimal point,
// whatever the user's.
TEST_F(ReferenceEditorTest, PrintDefinitionsAreFilled)
{
    struct Case {
        ReferenceTable table;
        const char* firstRow;
    };
    const Case cases[] = {
        {ReferenceTable::Diameters, "<tr><td>25</td><td>27</td></tr>"},
        {ReferenceTable::Density, "<tr><td>1</td><td>1000.66</td></tr>"},
        {ReferenceTable::Coefficients, "<tr><td>25</td><td>0.10</td><td>0.67</td></tr>"},
    };
    for (const Case& c : cases) {
        const ReferenceTableInfo& info = referenceTableInfo(c.table);
        test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/") + info.printDefinition,
                                         folder.program(info.printDefinition));
        const ReportDocument report = buildReferenceReport(*data, c.table, 2);
        EXPECT_EQ(report.title, info.title);
        EXPECT_TRUE(report.html.contains(QStringLiteral("<h1>") + info.title + QStringLiteral("</h1>")));
        for (const QString& caption : info.captions) // up to a "/", which the template escapes
            EXPECT_TRUE(report.html.contains(QStringLiteral("<th width=\"180\">") + caption.section(QLatin1Char('/'), 0, 0)))
                << caption.toStdString();
        EXPECT_TRUE(report.html.contains(QString::fromUtf8(c.firstRow))) << report.html.left(2000).toStdString();
    }
}

} // namespace
