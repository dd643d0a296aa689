#include <QString>
#include <ostream>

static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "entry/RepeatedEntry.h"
#include "support/FakeDialogs.h"
#include "support/ProgramFolder.h"

#include <QSqlQuery>
#include <gtest/gtest.h>
#include <memory>

using namespace zurm;

namespace {

class RepeatedEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = std::make_unique<DataModule>(folder.programFolder());
        data->createWorkDatabase(QString(), dialogs);
        data->openCalculation(folder.newCalculation());
        // Four segments; the first and the third are marked, the fourth holds another text.
        exec("INSERT INTO Табл (id, НачУзел, КонУзел, ДуПод, Заполн_Уч) VALUES "
             "(1, 1, 2, 100, 'Д'), (2, 2, 3, 150, Null), (3, 3, 4, Null, 'Д'), (4, 4, 5, 200, 'X')");
        execSql(data->calculation(), "UPDATE НазвРасч SET РВ = 1");
        data->loadCalculationDoneFlag();
    }
    void exec(const QString& sql) const { execSql(data->calculation(), sql); }
    // One column over the four segments by id, Null as "-".
    QString column(const QString& name) const
    {
        QStringList values;
        QSqlQuery query = selectSql(data->calculation(), "SELECT " + quoteName(name) + " FROM Табл ORDER BY id");
        while (query.next())
            values.append(query.value(0).isNull() ? QStringLiteral("-") : query.value(0).toString());
        return values.join(QLatin1Char(' '));
    }

    test::ProgramFolderFixture folder;
    test::FakeDialogs dialogs;
    std::unique_ptr<DataModule> data;
};

TEST(MatchComboItemTest, FindsTheFirstItemWithoutRegardToCase)
{
    const QStringList items{"РасхПод", "ДуПод", "расхпод"};
    const struct {
        QString typed;
        int expected;
    } cases[] = {{"РасхПод", 0}, {"рАСХпОД", 0}, {"ДУПОД", 1}, {"ДуПо", -1}, {"", -1}, {" ДуПод", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(MatchComboItem(items, c.typed), c.expected) << c.typed.toStdString();
}

// Targets are the entered segment indicators, sources every segment indicator
// of the network type whose column Табл holds.
TEST_F(RepeatedEntryTest, ListsFollowNetworkTypeAndTheColumnsThatExist)
{
    const struct {
        int networkType;
        bool diameterColumns; // the design-mode columns УПНВВПод/УПНВВОбр exist
        QStringList inTargets, notInTargets, inSources, notInSources;
    } cases[] = {
        {1, false, {"РасхПод", "ДлНаУчПод", "ДуПод"}, {"РасхОбр", "ДвнПод", "КэШер", "ПНапНаУзПод"},
         {"РасхОбр", "ДвнПод", "ДуОбр", "РНапНач"}, {"УПНВВПод", "УПНВВОбр", "КэШер", "МаксТВоды"}},
        {1, true, {}, {"УПНВВПод"}, {"УПНВВПод", "УПНВВОбр"}, {}},
        {0, false, {"РасхПод", "ДуПод"}, {"РасхОбр", "ДвнПод"}, {"ПНапКонПод", "ДуОбр"}, {"РасхОбр", "ПНапКонОбр"}},
        {2, false, {"ДуПод"}, {"РасхПод"}, {"ДвнПод"}, {"РасхПод", "ГеодВысНач"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.networkType * 10 + c.diameterColumns);
        exec(QStringLiteral("UPDATE НазвРасч SET ТипСети = %1").arg(c.networkType));
        if (c.diameterColumns)
            for (const char* name : {"УПНВВПод", "УПНВВОбр"})
                exec(QStringLiteral("ALTER TABLE Табл ADD COLUMN %1 float").arg(QString::fromUtf8(name)));
        const RepeatedEntryLists lists = repeatedEntryLists(*data);
        for (const QString& name : c.inTargets)
            EXPECT_TRUE(lists.targets.contains(name)) << name.toStdString();
        for (const QString& name : c.notInTargets)
            EXPECT_FALSE(lists.targets.contains(name)) << name.toStdString();
        for (const QString& name : c.inSources)
            EXPECT_TRUE(lists.sources.contains(name)) << name.toStdString();
        for (const QString& name : c.notInSources)
            EXPECT_FALSE(lists.sources.contains(name)) << name.toStdString();
    }
    exec("UPDATE НазвРасч SET ТипСети = 1");
    const RepeatedEntryLists lists = repeatedEntryLists(*data);
    // Predefined by short name first, then the user's in Nпп order.
    EXPECT_LT(lists.sources.indexOf("ГеодВысКон"), lists.sources.indexOf("ГеодВысНач"));
    EXPECT_LT(lists.sources.indexOf("ТВодыНачПод"), lists.sources.indexOf("ДуПод"));
    EXPECT_LT(lists.sources.indexOf("ДуПод"), lists.sources.indexOf("ДвнПод"));
}

TEST_F(RepeatedEntryTest, AssignmentsWriteMarkedSegmentsInLineOrder)
{
    const struct {
        QString name;
        QList<AssignmentLine> lines;
        QString checkedColumn;
        QString expected; // ids 1..4; only 1 and 3 are marked
    } cases[] = {
        {"comma and spaces", {{"РасхПод", " 12,5 ", ""}}, "РасхПод", "12.5 - 12.5 -"},
        {"thousands", {{"РасхПод", "1 234,5", ""}}, "РасхПод", "1234.5 - 1234.5 -"},
        {"later line sees earlier", {{"РасхПод", "7", ""}, {"РасхОбр", "", "РасхПод"}}, "РасхОбр", "7 - 7 -"},
        {"earlier line sees nothing later", {{"РасхОбр", "", "ДлНаУчПод"}, {"ДлНаУчПод", "3", ""}}, "РасхОбр", "- - - -"},
        {"copy keeps Null", {{"ДвнПод", "", "ДуПод"}}, "ДвнПод", "100 - - -"},
        {"number wins over source", {{"ДвнПод", "5", "ДуПод"}}, "ДвнПод", "5 - 5 -"},
        {"no target does nothing", {{"", "5", ""}, {"ДвнПод", "", ""}}, "ДвнПод", "- - - -"},
        {"fifteen digits", {{"ДвнПод", "0.12345678901234567", ""}}, "ДвнПод", "0.123456789012346 - 0.123456789012346 -"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        exec("UPDATE Табл SET РасхПод = Null, РасхОбр = Null, ДвнПод = Null, ДлНаУчПод = Null");
        data->SetCalculationDoneFlag(true);
        EXPECT_EQ(writeAssignments(*data, c.lines), 2);
        EXPECT_EQ(column(c.checkedColumn), c.expected);
        EXPECT_EQ(column("ДуПод"), "100 150 - 200");
        EXPECT_EQ(column("Заполн_Уч"), "Д - Д X");
        // Only what writes something is input changed.
        EXPECT_EQ(data->calculationDone(), c.name == "no target does nothing");
    }
}

TEST_F(RepeatedEntryTest, ABadNumberWritesNothingUnlessNothingIsMarked)
{
    data->SetCalculationDoneFlag(true);
    const QList<AssignmentLine> lines{{"РасхПод", "1", ""}, {"РасхОбр", "1,2,3", ""}};
    try {
        writeAssignments(*data, lines);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.className(), "ConversionError");
        EXPECT_EQ(failure.text(), "\"1,2,3\" не является числом.");
    }
    EXPECT_EQ(column("РасхПод"), "- - - -");
    EXPECT_TRUE(data->calculationDone());
    exec("UPDATE Табл SET Заполн_Уч = Null");
    EXPECT_EQ(writeAssignments(*data, lines), 0);
}

// The write is set-based: the statements that reach the file do not grow with
// the number of marked segments.
TEST_F(RepeatedEntryTest, StatementsDoNotGrowWithTheMarkedSegments)
{
    exec("WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
         "INSERT INTO Табл (id, НачУзел, КонУзел, Заполн_Уч) SELECT i, i, i + 1, 'Д' FROM n");
    int statements = 0;
    setStatementObserver([&](const QString&, const QString&) { ++statements; });
    const int marked = writeAssignments(*data, {{"РасхПод", "3", ""}, {"РасхОбр", "", "РасхПод"}});
    setStatementObserver({});
    EXPECT_EQ(marked, 393);
    EXPECT_LE(statements, 8);
    EXPECT_EQ(selectValue(data->calculation(), "SELECT count(*) FROM Табл WHERE РасхОбр = 3").toInt(), 393);
}

TEST_F(RepeatedEntryTest, MarkCommands)
{
    const struct {
        MarkChange change;
        std::optional<QList<qint64>> ids;
        QString expected;
    } cases[] = {
        {MarkChange::Toggle, std::nullopt, "- Д - -"},
        {MarkChange::Toggle, QList<qint64>{2, 3}, "Д Д - X"},
        {MarkChange::Set, std::nullopt, "Д Д Д Д"},
        {MarkChange::Clear, QList<qint64>{1}, "- - Д X"},
        {MarkChange::Clear, QList<qint64>{}, "Д - Д X"},
    };
    for (const auto& c : cases) {
        exec("UPDATE Табл SET Заполн_Уч = CASE id WHEN 1 THEN 'Д' WHEN 3 THEN 'Д' WHEN 4 THEN 'X' END");
        changeMarks(*data, c.change, c.ids);
        EXPECT_EQ(column("Заполн_Уч"), c.expected);
    }
}

} // namespace
