#include <QString>
#include <ostream>

static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "network/NetworkEditorRules.h"
#include "network/NetworkTableModel.h"
#include "support/FakeDialogs.h"
#include "support/ProgramFolder.h"

#include <gtest/gtest.h>
#include <memory>

using namespace zurm;
using zurm::test::FakeDialogs;
using zurm::test::FakeProgress;

namespace {

class NetworkEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = std::make_unique<DataModule>(folder.programFolder());
        data->createWorkDatabase(QString(), dialogs);
        data->openCalculation(folder.newCalculation());
        data->loadCalculationDoneFlag();
    }
    void exec(const QString& sql, const QVariantList& bindings = {}) const { execSql(data->calculation(), sql, bindings); }
    QString column(const QString& sql) const
    {
        QStringList values;
        QSqlQuery query = selectSql(data->calculation(), sql);
        while (query.next())
            values.append(query.value(0).isNull() ? QStringLiteral("-") : query.value(0).toString());
        return values.join(QLatin1Char(' '));
    }
    // Nodes 1, 2, 3 and the segments 1-2, 2-3, start node 1.
    void smallNetwork() const
    {
        exec(QStringLiteral("INSERT INTO УзлыТС (Nуз, x, y, ГеодВыс) VALUES (1,0,0,0), (2,10,0,0), (3,10,20,0)"));
        exec(QStringLiteral("INSERT INTO Табл (id, НачУзел, КонУзел) VALUES (1,1,2), (2,2,3)"));
    }

    test::ProgramFolderFixture folder;
    FakeDialogs dialogs;
    FakeProgress progress;
    std::unique_ptr<DataModule> data;
};

// What closing the editor stores and says, by the mode it is in and the
// stored status: the check runs only in manual-fill mode; a correct network
// or status 2 is decided again by the start-node rule.
TEST_F(NetworkEditorTest, ClosingDecidesTheStatus)
{
    const QString emptyText = QStringLiteral("Таблица \"Участки теплосети\" пуста.");
    const QString headText = QStringLiteral("Начальный узел теплосети не должен присутствовать в таблице "
                                            "\"Изменение полного напора в узлах теплосети\".");
    struct Case {
        const char* name;
        int storedStatus;
        bool network;
        bool headAtStart;
        const char* startText;
        int status;
        QString shown;
    } cases[] = {
        {"checked in manual-fill mode", 3, true, false, "1", 0, {}},
        {"no segments", 1, false, false, "1", 1, emptyText},
        {"start node in head changes", 3, true, true, "1", 2, headText},
        {"status 2 without the row goes back to 0", 2, true, false, "1", 0, {}},
        {"status 0 with the row becomes 2", 0, true, true, "1", 2, headText},
        {"bad start node", 3, true, false, "x", 3, QStringLiteral("Ошибка в параметре \"Начальный узел теплосети\":\r")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        exec(QStringLiteral("DELETE FROM УзлыТС"));
        exec(QStringLiteral("DELETE FROM Табл"));
        exec(QStringLiteral("DELETE FROM ИзмПНапВУзлахТС"));
        exec(QStringLiteral("UPDATE НазвРасч SET NНачУз=1"));
        if (c.network)
            smallNetwork();
        else
            exec(QStringLiteral("INSERT INTO УзлыТС (Nуз, x, y, ГеодВыс) VALUES (1,0,0,0)"));
        if (c.headAtStart)
            exec(QStringLiteral("INSERT INTO ИзмПНапВУзлахТС VALUES (1, 0, 5)"));
        dialogs.messages.clear();
        NetworkEditorState state(*data, dialogs, progress);
        state.open(c.storedStatus, QStringLiteral("old"));
        EXPECT_EQ(state.manualFill(), c.storedStatus == 1 || c.storedStatus == 3);
        EXPECT_EQ(state.close(QString::fromUtf8(c.startText)), c.status);
        EXPECT_EQ(column(QStringLiteral("SELECT ПарТСКорр FROM НазвРасч")), QString::number(c.status));
        if (c.shown.isEmpty())
            EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(QLatin1Char('|')).toStdString();
        else
            EXPECT_TRUE(!dialogs.messages.isEmpty() && dialogs.messages[0].startsWith(c.shown));
    }
}

// A head-change row naming no node is reported on closing; the status stays
// what the rules give.
TEST_F(NetworkEditorTest, HeadChangeOfAMissingNodeIsReported)
{
    smallNetwork();
    exec(QStringLiteral("UPDATE НазвРасч SET NНачУз=1"));
    exec(QStringLiteral("INSERT INTO ИзмПНапВУзлахТС VALUES (7, 0, 5), (2, 1, 3)"));
    NetworkEditorState state(*data, dialogs, progress);
    state.open(3, QString());
    EXPECT_EQ(state.close(QStringLiteral("1")), 0);
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("Узел 7 таблицы \"Изменение полного напора в узлах теплосети\" не найден в "
                                         "таблице \"Узлы теплосети\".")});
}

// A second head change for the same node and pipe is refused when its row is
// saved; the other pipe of the node is accepted.
TEST_F(NetworkEditorTest, DuplicateHeadChangeIsRefused)
{
    exec(QStringLiteral("INSERT INTO ИзмПНапВУзлахТС VALUES (2, 0, 5)"));
    NetworkTableModel model(*data, dialogs, NetworkTable::HeadChanges);
    model.setEditableColumns({0, 1, 2});
    model.setAppendAllowed(true);
    model.select();
    struct Case {
        const char* pipe;
        bool accepted;
    } cases[] = {{"Под.", false}, {"Обр.", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pipe);
        dialogs.messages.clear();
        ASSERT_TRUE(model.appendRow());
        const int row = model.rowCount() - 1;
        model.setData(model.index(row, 0), 2.0);
        model.setData(model.index(row, 1), QString::fromUtf8(c.pipe));
        model.setData(model.index(row, 2), 4.0);
        bool aborted = false;
        try {
            model.postRow(row);
        } catch (const QuietAbort&) {
            aborted = true;
        }
        EXPECT_EQ(aborted, !c.accepted);
        EXPECT_EQ(dialogs.messages.size(), c.accepted ? 0 : 1);
        if (!c.accepted) {
            EXPECT_TRUE(dialogs.messages.value(0).startsWith(QStringLiteral("Изменение напора в узле 2 на подающем")));
            model.revertRow(row);
        }
    }
    EXPECT_EQ(column(QStringLiteral("SELECT ТрПр FROM ИзмПНапВУзлахТС ORDER BY rowid")), QStringLiteral("0 1"));
}

// Marked rows go by their own identity: of two equal rows only the marked
// one, and a row with an empty key as any other. A failure half-way leaves
// every row in place.
TEST_F(NetworkEditorTest, MarkedRowsAreDeletedByIdentityInOneTransaction)
{
    exec(QStringLiteral("INSERT INTO ИзмПНапВУзлахТС VALUES (2, 0, 5), (2, 0, 5), (3, 1, 99)"));
    exec(QStringLiteral("INSERT INTO УзлыТС (Nуз, x, y, ГеодВыс) VALUES (NULL,0,0,1), (NULL,0,0,2), (4,0,0,3)"));
    NetworkTableModel heads(*data, dialogs, NetworkTable::HeadChanges);
    heads.select();
    deleteNetworkRows(*data, NetworkTable::HeadChanges, {heads.rowId(1)});
    EXPECT_EQ(column(QStringLiteral("SELECT Nуз FROM ИзмПНапВУзлахТС ORDER BY rowid")), QStringLiteral("2 3"));
    NetworkTableModel nodes(*data, dialogs, NetworkTable::Nodes);
    nodes.select();
    deleteNetworkRows(*data, NetworkTable::Nodes, {nodes.rowId(0)});
    EXPECT_EQ(column(QStringLiteral("SELECT ГеодВыс FROM УзлыТС ORDER BY rowid")), QStringLiteral("2 3"));

    exec(QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE DELETE ON ИзмПНапВУзлахТС WHEN old.ИзмПНап = 99 "
                        "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    heads.select();
    EXPECT_THROW(deleteNetworkRows(*data, NetworkTable::HeadChanges, {heads.rowId(0), heads.rowId(1)}), Failure);
    EXPECT_EQ(column(QStringLiteral("SELECT Nуз FROM ИзмПНапВУзлахТС ORDER BY rowid")), QStringLiteral("2 3"));
}

// Typed values that cannot stand are refused with a message, in the cell or
// when the row is saved; the row stays as typed and nothing is written.
TEST_F(NetworkEditorTest, BadInputIsRefused)
{
    const QString nodeProblem = QStringLiteral("Параметр \"Узел\" должен быть целым числом от 0 до 32700.");
    struct Case {
        NetworkTable table;
        int column;
        QVariant typed;
        bool cellTakesIt;
        QString message;
    } cases[] = {
        {NetworkTable::HeadChanges, 1, QStringLiteral("вверх"), false,
         QStringLiteral("Введите \"Под.\" (подающий трубопровод) или \"Обр.\" (обратный трубопровод).")},
        {NetworkTable::Nodes, 0, 1.5, false, nodeProblem},
        {NetworkTable::Nodes, 0, 40000.0, true, nodeProblem},
        {NetworkTable::Nodes, 0, 2.0, true, QStringLiteral("Узел 2 уже есть в таблице \"Узлы теплосети\".")},
        {NetworkTable::Segments, 2, 40000.0, true, nodeProblem},
        {NetworkTable::HeadChanges, 0, 3.0, true,
         QStringLiteral("Поля \"Узел\", \"Трубопровод\", \"Изменение напора\" должны быть заполнены.")},
    };
    smallNetwork();
    exec(QStringLiteral("UPDATE НазвРасч SET NНачУз=1"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toString().toStdString());
        NetworkTableModel model(*data, dialogs, c.table);
        model.setEditableColumns({0, 1, 2, 3, 4, 5, 6, 7});
        model.setAppendAllowed(true);
        model.select();
        ASSERT_TRUE(model.appendRow());
        const int row = model.rowCount() - 1;
        dialogs.messages.clear();
        EXPECT_EQ(model.setData(model.index(row, c.column), c.typed), c.cellTakesIt);
        if (c.cellTakesIt) {
            EXPECT_THROW(model.postRow(row), QuietAbort);
        }
        EXPECT_EQ(dialogs.messages, QStringList{c.message});
    }
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM УзлыТС")), QStringLiteral("3"));
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM Табл")), QStringLiteral("2"));
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM ИзмПНапВУзлахТС")), QStringLiteral("0"));
}

TEST(NetworkEditorRules, RowAfterDelete)
{
    struct Case {
        int lastMarked, deleted, remaining, row;
    } cases[] = {
        {4, 2, 4, 3},  // rows 3 and 5 of 6 (1-based): the cursor on what was row 6
        {5, 2, 4, 3},  // the last two rows: the new last row
        {0, 1, 0, -1}, // nothing left
        {0, 1, 5, 0},  // the first row: the one that followed
    };
    for (const Case& c : cases)
        EXPECT_EQ(rowAfterDelete(c.lastMarked, c.deleted, c.remaining), c.row) << c.lastMarked << " " << c.deleted;
}

TEST(NetworkEditorRules, SegmentSaveStatement)
{
    const QVariantList row = {7, 1, 2, 10.5, 11.0, QVariant(QMetaType::fromType<double>()), 3.0, QStringLiteral("д'ом")};
    EXPECT_EQ(segmentEditorUpdate(row, false),
              QStringLiteral("UPDATE Табл SET НачУзел=1, КонУзел=2, ДлНаУчПод=10.5, РасхПод=Null, "
                             "Примечание='д''ом' WHERE id=7"));
    EXPECT_EQ(segmentEditorUpdate(row, true),
              QStringLiteral("UPDATE Табл SET НачУзел=1, КонУзел=2, ДлНаУчПод=10.5, РасхПод=Null, "
                             "Примечание='д''ом', ДлНаУчОбр=11, РасхОбр=3 WHERE id=7"));
}

} // namespace

// Drawing on tables that hold no correct network asks to empty them: which
// question, what Yes empties (the head changes go with the nodes), and that No
// keeps everything and opens no window. Closing the window checks the drawn
// network and computes the lengths only with a usable scale.
TEST_F(NetworkEditorTest, DrawingEmptiesABrokenNetworkOnlyWhenAgreed)
{
    struct Case {
        const char* segments; // the Табл rows to insert
        bool answer;
        bool opens;
        const char* questionStart;
        const char* nodesAfter;
        const char* segmentsAfter;
    } cases[] = {
        {"", true, true, "Таблица \"Участки теплосети\" пуста.\r\rДля рисования схемы теплосети необходимо очистить "
                         "таблицу \"Узлы теплосети\".\rОчистить таблицу \"Узлы теплосети\"?", "", ""},
        {"(1,1,2),(2,3,2)", true, true, "", "", ""},
        {"(1,1,2),(2,3,2)", false, false, "", "1 2 3", "1 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.segments);
        exec(QStringLiteral("DELETE FROM Табл"));
        exec(QStringLiteral("DELETE FROM УзлыТС"));
        exec(QStringLiteral("DELETE FROM ИзмПНапВУзлахТС"));
        exec(QStringLiteral("INSERT INTO УзлыТС (Nуз, x, y, ГеодВыс) VALUES (1,0,0,0), (2,10,0,0), (3,10,20,0)"));
        exec(QStringLiteral("INSERT INTO ИзмПНапВУзлахТС (Nуз, ТрПр, ИзмПНап) VALUES (2, 1, 5)"));
        if (*c.segments)
            exec(QStringLiteral("INSERT INTO Табл (id, НачУзел, КонУзел) VALUES ") + QString::fromUtf8(c.segments));
        dialogs.questions.clear();
        dialogs.answers = {c.answer};
        NetworkEditorState state(*data, dialogs, progress);
        state.open(3, QString());
        EXPECT_EQ(state.beginDrawing(QStringLiteral("1")), c.opens);
        ASSERT_EQ(dialogs.questions.size(), 1);
        EXPECT_TRUE(dialogs.questions[0].startsWith(QStringLiteral("ЗУРМ|") + QString::fromUtf8(c.questionStart)));
        EXPECT_EQ(column(QStringLiteral("SELECT Nуз FROM УзлыТС ORDER BY Nуз")), QString::fromUtf8(c.nodesAfter));
        EXPECT_EQ(column(QStringLiteral("SELECT id FROM Табл ORDER BY id")), QString::fromUtf8(c.segmentsAfter));
        EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM ИзмПНапВУзлахТС")), c.opens ? "0" : "1");
        EXPECT_EQ(state.manualFill(), !c.opens);
    }

    // After drawing: a scale that is not positive is said, and typed lengths stay.
    exec(QStringLiteral("DELETE FROM Табл"));
    exec(QStringLiteral("DELETE FROM УзлыТС"));
    smallNetwork();
    exec(QStringLiteral("UPDATE Табл SET ДлНаУчПод = 7"));
    exec(QStringLiteral("UPDATE НазвРасч SET NНачУз = 1, ВычДлПоМасш = 1, МасштабКарты = 0"));
    dialogs.messages.clear();
    NetworkEditorState state(*data, dialogs, progress);
    state.open(0, QString());
    state.checkDrawnNetwork(QStringLiteral("1"));
    state.finishDrawing();
    EXPECT_EQ(state.status(), 0);
    EXPECT_EQ(dialogs.messages,
              QStringList({"Длины участков не вычислены по масштабу карты: масштаб карты должен быть больше нуля."}));
    EXPECT_EQ(column(QStringLiteral("SELECT ДлНаУчПод FROM Табл ORDER BY id")), "7 7");
}
