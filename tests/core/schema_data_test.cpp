// The schema's data as the views use it: reading nodes and segments, the node
// under a point, selecting nodes by their numbers, the scale box's text and
// where the view scrolls to show the selection.
#include "base/Sql.h"
#include "document/DataModule.h"
#include "network/SchemaData.h"
#include "network/SchemaGeometry.h"
#include "base/UserDialogs.h"
#include "support/ProgramFolder.h"

#include <gtest/gtest.h>

using namespace zurm;

namespace {

// Nothing here asks or says anything; a message would fail the test.
class NoDialogs : public UserDialogs {
public:
    void showMessage(const QString& text, MessageKind) override { ADD_FAILURE() << text.toStdString(); }
    bool askYesNo(const QString&, const QString&) override { return false; }
    std::optional<QString> chooseFileToOpen(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> chooseFileToSave(const QString&, const QString&, const QString&) override { return {}; }
};

class SchemaDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(folder.newCalculation());
        // Nodes stored out of number order: the schema keeps the table's order.
        const QSqlDatabase db = data.calculation();
        for (const auto& [n, x, y] : {std::tuple{5, 100, 100}, {1, 300, 100}, {2, 300, 200}, {9, 108, 100}})
            execSql(db, QStringLiteral("INSERT INTO УзлыТС (Nуз, x, y) VALUES (?, ?, ?)"), {n, x, y});
        execSql(db, QStringLiteral("INSERT INTO Табл (id, НачУзел, КонУзел) VALUES (1, 5, 1), (2, 1, 2)"));
        execSql(db, QStringLiteral("UPDATE НазвРасч SET NНачУз = 5, ТипСети = 1, Карта = 'm.bmp', МасштабКарты = 50"));
        schema = readSchemaData(data);
    }

    test::ProgramFolderFixture folder;
    NoDialogs dialogs;
    DataModule data{folder.programFolder()};
    SchemaData schema;
};

TEST_F(SchemaDataTest, ReadsNodesInTableOrderWithLookupByNumber)
{
    ASSERT_EQ(schema.nodes.size(), 4u);
    EXPECT_EQ(schema.nodes[0].number, 5);
    EXPECT_EQ(schema.nodes[3].number, 9);
    ASSERT_NE(schema.node(2), nullptr);
    EXPECT_EQ(schema.node(2)->y, 200);
    EXPECT_EQ(schema.node(7), nullptr);
    EXPECT_EQ(schema.startNode, 5);
    EXPECT_EQ(schema.networkType, 1);
    EXPECT_EQ(schema.mapFile, QStringLiteral("m.bmp"));
    EXPECT_TRUE(schema.startsSegment(1));
    EXPECT_FALSE(schema.startsSegment(2));
}

TEST_F(SchemaDataTest, HitTestReachesEightPointsAndFourteenAtTheStartNode)
{
    // Node 9 lies 8 points right of the start node 5: the first hit in table order wins.
    const struct {
        int x, y;
        std::optional<int> node;
    } cases[] = {
        {300 + 8, 200, 2}, {300 + 9, 200, std::nullopt}, {300, 200 - 8, 2}, {300, 200 + 9, std::nullopt},
        {100 - 14, 100, 5}, {100 - 15, 100, std::nullopt}, {100, 100 + 14, 5}, {100, 100 + 15, std::nullopt},
        {112, 100, 5}, {108 + 8, 100, 9}, {108 + 9, 100, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HitTestNode(schema, c.x, c.y), c.node) << c.x << "," << c.y;
}

TEST_F(SchemaDataTest, SelectsNodesByNumbers)
{
    const struct {
        QStringList fields;
        std::vector<int> selected;
        std::optional<SelectionRect> rect;
        int failedField;
    } cases[] = {
        {{QStringLiteral("1")}, {1}, std::nullopt, -1},
        // Same x, different y: a rectangle; missing, repeated and out-of-range numbers are skipped.
        {{QStringLiteral("1"), QString(), QStringLiteral("7"), QStringLiteral("2"), QStringLiteral("1"),
          QStringLiteral("40000"), QStringLiteral("-1")},
         {1, 2}, SelectionRect{300, 100, 300, 200}, -1},
        {{QStringLiteral("2"), QStringLiteral("5"), QStringLiteral("x"), QStringLiteral("9")}, {2, 5}, std::nullopt, 2},
    };
    for (const auto& c : cases) {
        addSelectedNode(data.work(), 9); // an old selection goes
        setSelectionRect(data.work(), {1, 1, 2, 2});
        const SelectByNumbersResult result = selectNodesByNumbers(data.work(), schema, c.fields);
        const SchemaSelection stored = readSchemaSelection(data.work());
        EXPECT_EQ(stored.nodes, c.selected) << c.fields.join(QLatin1Char(',')).toStdString();
        EXPECT_EQ(result.failedField, c.failedField);
        EXPECT_EQ(result.done, c.failedField < 0);
        if (c.failedField >= 0)
            EXPECT_EQ(result.message, QStringLiteral("\"x\" не является целым числом."));
        else
            EXPECT_EQ(stored.rect, c.rect);
    }
}

TEST(SchemaGeometry, ZoomTextIsAnIntegerFromTenToHundred)
{
    const struct {
        const char* text;
        std::optional<int> zoom;
    } cases[] = {{"55", 55}, {"55%", 55}, {"100%", 100}, {"10", 10}, {"5%", std::nullopt}, {"150", std::nullopt},
                 {"9", std::nullopt}, {"", std::nullopt}, {"%", std::nullopt}, {"0100", std::nullopt},
                 {"5 5", std::nullopt}, {"abc", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(parseZoomText(QString::fromUtf8(c.text)), c.zoom) << c.text;
}

TEST(SchemaGeometry, DisplayFactorAndScrollToSelection)
{
    EXPECT_DOUBLE_EQ(displayFactor({2000, 2000}, {1000, 500}), 4.0);
    EXPECT_DOUBLE_EQ(displayFactor({2000, 2000}, {3000, 3000}), 1.0);
    EXPECT_EQ(toPicturePoint({25, 10}, 4.0), QPoint(100, 40));

    SchemaData schema;
    schema.nodes = {{1, 1000, 400}, {2, 1200, 800}};
    schema.index();
    const struct {
        std::vector<int> selected;
        std::optional<SelectionRect> rect;
        QSize image, box;
        std::optional<int> h, v;
    } cases[] = {
        {{}, std::nullopt, {2000, 2000}, {500, 400}, std::nullopt, std::nullopt},
        {{1}, std::nullopt, {2000, 2000}, {500, 400}, 1000 - 250 + 10, 400 - 200 + 10},
        {{1, 2}, SelectionRect{1000, 400, 1200, 800}, {2000, 2000}, {500, 400}, 1100 - 250 + 10, 600 - 200 + 10},
        {{1}, std::nullopt, {1000, 1000}, {500, 1200}, 500 - 250 + 10, std::nullopt},
        {{1}, std::nullopt, {2000, 2000}, {2500, 2500}, std::nullopt, std::nullopt},
        {{1}, SelectionRect{10, 10, 20, 20}, {2000, 2000}, {500, 400}, 0, 0},
    };
    for (const auto& c : cases) {
        schema.selection = {c.selected, c.rect};
        const ScrollTarget target = scrollToSelectionTarget(schema, {2000, 2000}, c.image, c.box);
        EXPECT_EQ(target.horizontal, c.h);
        EXPECT_EQ(target.vertical, c.v);
    }
}

} // namespace
