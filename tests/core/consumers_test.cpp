#include <QString>
#include <ostream>

static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

// The consumers at the end nodes: their grid's model and their load from a
// workbook, on a real calculation file.
#include "base/Sql.h"
#include "document/Consumers.h"
#include "document/DataModule.h"
#include "entry/ConsumerLoad.h"
#include "network/ConsumerTableModel.h"
#include "platform/NumberText.h"
#include "support/FakeDialogs.h"
#include "support/PackedWorkbook.h"
#include "support/ProgramFolder.h"

#include <QSqlQuery>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

using namespace zurm;

namespace {

class ConsumersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = std::make_unique<DataModule>(folder.programFolder());
        data->createWorkDatabase(QString(), dialogs);
        data->openCalculation(folder.newCalculation());
        // The end nodes in id_m order are not in node order.
        execSql(data->calculation(), "INSERT INTO КонМаг (id_m, РВПод, РВОбр, КонУзел) VALUES "
                                     "(1, 0, 0, 5), (2, 0, 0, 3), (3, 0, 0, 9)");
        // A consumer of a node that is no longer an end node.
        ensureConsumerTables(data->calculation());
        execSql(data->calculation(), "INSERT INTO Потребители (КонУзел, НаимПотр, ВысЗд) VALUES (77, 'Старый', 20)");
        book = folder.docs(QStringLiteral("consumers.xlsx"));
    }
    // Every stored consumer, "node|name|scheme|h|height|t3|head" by node.
    QString stored() const
    {
        QStringList out;
        QSqlQuery query = selectSql(data->calculation(), "SELECT КонУзел, НаимПотр, СхемаПрис, ПотНСист, ВысЗд, ТСмеш, "
                                                         "НапТреб FROM Потребители ORDER BY КонУзел");
        while (query.next()) {
            QStringList row;
            for (int i = 0; i < 7; ++i)
                row.append(query.value(i).isNull() ? "Null" : query.value(i).toString());
            out.append(row.join('|'));
        }
        return out.join(' ');
    }
    void setCalculationDone()
    {
        data->SetCalculationDoneFlag(true);
        ASSERT_EQ(selectValue(data->calculation(), "SELECT РВ FROM НазвРасч").toInt(), 1);
    }
    bool calculationDoneStored() const
    {
        return selectValue(data->calculation(), "SELECT РВ FROM НазвРасч").toInt() != 0;
    }

    test::ProgramFolderFixture folder;
    test::FakeDialogs dialogs;
    test::FakeProgress progress;
    std::unique_ptr<DataModule> data;
    QString book;
};

using C = ConsumerTableModel;

// One edit after another on the same model: what each stores, and that a
// refused one is explained and writes nothing, the calculation-done flag
// included.
TEST_F(ConsumersTest, TheGridModelStoresAcceptedValuesAndRefusesTheRest)
{
    ConsumerTableModel model(*data, dialogs);
    model.select();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.node(0), 5);
    EXPECT_EQ(model.node(1), 3);
    EXPECT_EQ(model.node(2), 9);

    const QString old = "77|Старый|Null|Null|20|Null|Null";
    const QString long300(300, QChar(u'ж'));
    const struct {
        int row, column;
        QVariant value;
        QString message; // empty: accepted
        QString stored;  // the table afterwards
    } cases[] = {
        // The first value of a node creates its row; "," is a decimal point in every locale.
        {0, C::SystemLoss, "12,5", "", "5|Null|Null|12.5|Null|Null|Null " + old},
        {0, C::SystemLoss, "abc", typedNumberRefusal("abc"), "5|Null|Null|12.5|Null|Null|Null " + old},
        {0, C::BuildingHeight, "NaN", typedNumberRefusal("NaN"), "5|Null|Null|12.5|Null|Null|Null " + old},
        {0, C::BuildingHeight, "1e400", typedNumberRefusal("1e400"), "5|Null|Null|12.5|Null|Null|Null " + old},
        {0, C::BuildingHeight, std::numeric_limits<double>::quiet_NaN(), typedNumberRefusal("nan"),
         "5|Null|Null|12.5|Null|Null|Null " + old},
        {0, C::BuildingHeight, "1 234,5", "", "5|Null|Null|12.5|1234.5|Null|Null " + old},
        {1, C::Scheme, "НАСОСНОЕ смешение", "", "3|Null|3|Null|Null|Null|Null 5|Null|Null|12.5|1234.5|Null|Null " + old},
        {1, C::Scheme, "2", "", "3|Null|2|Null|Null|Null|Null 5|Null|Null|12.5|1234.5|Null|Null " + old},
        {1, C::Scheme, "лифт", unknownConnectionSchemeMessage("лифт"),
         "3|Null|2|Null|Null|Null|Null 5|Null|Null|12.5|1234.5|Null|Null " + old},
        {1, C::Name, long300, "",
         "3|" + long300.left(255) + "|2|Null|Null|Null|Null 5|Null|Null|12.5|1234.5|Null|Null " + old},
        // Emptied cells hold Null; the row stays.
        {0, C::SystemLoss, QVariant(QMetaType::fromType<double>()), "",
         "3|" + long300.left(255) + "|2|Null|Null|Null|Null 5|Null|Null|Null|1234.5|Null|Null " + old},
        {0, C::BuildingHeight, "", "",
         "3|" + long300.left(255) + "|2|Null|Null|Null|Null 5|Null|Null|Null|Null|Null|Null " + old},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.toString().left(20).toStdString());
        setCalculationDone();
        dialogs.messages.clear();
        const bool accepted = model.setData(model.index(c.row, c.column), c.value);
        EXPECT_EQ(accepted, c.message.isEmpty());
        EXPECT_EQ(dialogs.messages.join('|'), c.message);
        EXPECT_EQ(stored(), c.stored);
        EXPECT_EQ(calculationDoneStored(), !c.message.isEmpty()) << "an accepted edit clears the flag";
    }
    // The end node itself is no value to type.
    EXPECT_FALSE(model.setData(model.index(0, C::Node), 7));
    // What the file holds comes back on a new read, the scheme by its name.
    model.select();
    EXPECT_EQ(model.data(model.index(1, C::Scheme)).toString(), "независимая через теплообменник");
    EXPECT_TRUE(model.data(model.index(2, C::Name)).isNull());
}

TEST_F(ConsumersTest, TheHeaderValuesTakeTypedNumbersAndEmptyMeansTheDefault)
{
    ConsumerTableModel model(*data, dialogs);
    model.select();
    using L = ConsumerTableModel::Limit;
    const struct {
        L limit;
        QString text;
        bool accepted;
        QString stored; // static head | allowed pressure | boiling reserve
    } cases[] = {
        {L::StaticHead, "45,5", true, "45.5|60|5"},
        {L::AllowedPressure, "x", false, "45.5|60|5"},
        {L::AllowedPressure, "1e400", false, "45.5|60|5"},
        {L::AllowedPressure, "80", true, "45.5|80|5"},
        {L::AllowedPressure, " ", true, "45.5|60|5"},
        {L::BoilingReserve, "7", true, "45.5|60|7"},
        {L::StaticHead, "", true, "Null|60|7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        setCalculationDone();
        dialogs.messages.clear();
        EXPECT_EQ(model.setPressureLimit(c.limit, c.text), c.accepted);
        EXPECT_EQ(dialogs.messages.size(), c.accepted ? 0 : 1);
        QSqlQuery query = selectSql(data->calculation(), "SELECT СтатНапор, ДопДавлМС, ЗапасКип FROM ПотребителиЗаг");
        ASSERT_TRUE(query.next());
        QStringList row;
        for (int i = 0; i < 3; ++i)
            row.append(query.value(i).isNull() ? "Null" : query.value(i).toString());
        EXPECT_EQ(row.join('|'), c.stored);
        EXPECT_FALSE(query.next());
        EXPECT_EQ(calculationDoneStored(), !c.accepted);
    }
}

// Loads matched by the end node: names and codes of schemes, a name kept as
// a number, an empty cell, a blank node cell, a repeated node; a load that
// fails on a row writes nothing.
TEST_F(ConsumersTest, TheLoadFillsTheEndNodesOrWritesNothing)
{
    execSql(data->calculation(), "INSERT INTO Потребители (КонУзел, НапТреб) VALUES (5, 15)");
    const QString before = stored();
    const LoadPlan plan{QStringLiteral("Потребители"), 2, 10, 1, 1,
                        {{"НаимПотр", 2}, {"СхемаПрис", 3}, {"ПотНСист", 4}, {"ВысЗд", 5}}};
    const QList<QStringList> good{
        {"s:Узел", "s:Потребитель", "s:Схема", "s:h", "s:Высота"},
        {"n:5", "s:Школа", "s:ЭЛЕВАТОРНАЯ", "n:1.5", "n:12"},
        {"s:", "s:итого", "", "", ""},       // a blank node cell: passed over
        {"n:3", "n:17", "n:3", "", "s:9,5"}, // a name kept as a number, a code, an empty h
        {"n:5", "s:Повтор", "n:1", "n:9", "n:9"}, // only the first row of a node counts
    };
    const struct {
        QList<QStringList> rows;
        QString why; // empty: the load succeeds
        int row, column;
    } cases[] = {
        {{good[0], good[1], {"n:4", "s:Гараж", "n:1", "n:1", "n:1"}}, "Узел 4 не является конечным узлом теплосети", 3,
         1},
        {{good[0], good[1], {"n:9", "s:Дом", "s:прямая", "n:1", "n:1"}},
         "Текст ячейки не является схемой присоединения: прямая", 3, 3},
        {{good[0], good[1], {"n:9", "s:Дом", "n:7", "n:1", "n:1"}}, "Число ячейки не является кодом схемы присоединения: 7",
         3, 3},
        {{good[0], good[1], {"n:9", "s:Дом", "n:1", "s:abc", "n:1"}}, "Текст ячейки не является числом: abc", 3, 4},
        {{good[0], good[1], {"n:9.5", "s:Дом", "n:1", "n:1", "n:1"}},
         "Номер узла должен быть целым числом от 0 до 32700: " + formatGeneral15(9.5, userDecimalPoint()), 3, 1},
        {good, "", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why.toStdString());
        test::packSheet(book, QStringLiteral("Потребители"), c.rows);
        const LoadResult result = loadConsumersFromWorkbook(*data, book, plan, progress);
        if (!c.why.isEmpty()) {
            EXPECT_FALSE(result.ok);
            EXPECT_TRUE(result.message.endsWith("Текст ошибки:\r\"" + c.why + "\"")) << result.message.toStdString();
            EXPECT_EQ(result.failedRow, c.row);
            EXPECT_EQ(result.failedColumn, c.column);
            EXPECT_EQ(stored(), before);
            continue;
        }
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.message, "Данные загружены успешно.");
        EXPECT_EQ(result.loadedConsumers, 2);
        EXPECT_EQ(stored(), "3|17|3|Null|9.5|Null|Null 5|Школа|0|1.5|12|Null|15 77|Старый|Null|Null|20|Null|Null");
    }
    EXPECT_EQ(progress.statuses.last(), "");
}

} // namespace
