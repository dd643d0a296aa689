#include <QString>
#include <ostream>

// Readable failure output, declared before any test header prints a QString.
static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "hydraulics/TopologyCheck.h"
#include "support/FakeDialogs.h"
#include "support/ProgramFolder.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <tuple>

using namespace zurm;
using zurm::test::FakeDialogs;
using zurm::test::FakeProgress;

namespace {

// Stored values of one Табл row; Null is an invalid QVariant.
struct StoredSegment {
    qint64 id = 0;
    QVariant from;
    QVariant to;
};

// A stored number: "2.9" a REAL, "abc" a text, "12" an integer.
QVariant storedValue(const QString& token)
{
    if (token.contains(QLatin1Char('.')))
        return token.toDouble();
    bool integer = false;
    const qlonglong value = token.toLongLong(&integer);
    return integer ? QVariant(value) : QVariant(token);
}

// "1-2 -3 4- -": segments in stored order with keys 1, 2, …; an empty side is Null.
QList<StoredSegment> parseSegments(const char* text)
{
    QList<StoredSegment> segments;
    for (const QString& token : QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList sides = token.split(QLatin1Char('-'));
        auto value = [](const QString& side) { return side.isEmpty() ? QVariant() : storedValue(side); };
        segments.append({segments.size() + 1, value(sides.value(0)), value(sides.value(1))});
    }
    return segments;
}

QVariantList parseNodes(const char* text)
{
    QVariantList nodes;
    for (const QString& token : QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        nodes.append(token == QStringLiteral("null") ? QVariant() : storedValue(token));
    return nodes;
}

QString text(const QVariant& value) { return value.isNull() ? QStringLiteral("-") : value.toString(); }

const QString kOldMains = QStringLiteral("99.1 98-99");
const QString kOldEnds = QStringLiteral("99:99");

class TopologyCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = std::make_unique<DataModule>(folder.programFolder());
        data->createWorkDatabase(QString(), dialogs);
        data->openCalculation(folder.newCalculation());
        data->loadCalculationDoneFlag();
    }

    QSqlDatabase calc() const { return data->calculation(); }
    void exec(const QString& sql, const QVariantList& bindings = {}) const { execSql(calc(), sql, bindings); }
    QVariant value(const QString& sql) const { return selectValue(calc(), sql); }

    // Replaces nodes and segments; nodes keep the given stored order, segments
    // are stored in key order whatever order they are inserted in.
    void setNetwork(const QVariantList& nodes, const QList<StoredSegment>& segments) const
    {
        Transaction transaction(calc());
        exec(QStringLiteral("DELETE FROM УзлыТС"));
        exec(QStringLiteral("DELETE FROM Табл"));
        for (const QVariant& node : nodes)
            exec(QStringLiteral("INSERT INTO УзлыТС (Nуз, x, y, ГеодВыс) VALUES (?, 0, 0, 0)"), {node});
        for (const StoredSegment& s : segments)
            exec(QStringLiteral("INSERT INTO Табл (id, НачУзел, КонУзел) VALUES (?, ?, ?)"), {s.id, s.from, s.to});
        transaction.commit();
    }
    void setNetwork(const char* nodes, const char* segments) const { setNetwork(parseNodes(nodes), parseSegments(segments)); }

    // Mains and end nodes that a check which rebuilds nothing leaves in place.
    void setOldMains() const
    {
        exec(QStringLiteral("DELETE FROM МагистралиТС"));
        exec(QStringLiteral("DELETE FROM КонМаг"));
        exec(QStringLiteral("INSERT INTO МагистралиТС (id_m, NппУчВМ, НачУзел, КонУзел) VALUES (99, 1, 98, 99)"));
        exec(QStringLiteral("INSERT INTO КонМаг (id_m, РВПод, КонУзел, РВОбр) VALUES (99, 0, 99, 0)"));
    }

    TopologyResult check(const QString& start) { return ParTSCorrF(*data, progress, start); }

    // "id_m.NппУчВМ НачУзел-КонУзел", in the given order.
    QString mains(const QString& order = QStringLiteral("id_m, NппУчВМ")) const
    {
        QStringList rows;
        QSqlQuery q = selectSql(calc(), QStringLiteral("SELECT id_m, NппУчВМ, НачУзел, КонУзел, РасхПод, РасхОбр "
                                                       "FROM МагистралиТС ORDER BY ") + order);
        while (q.next())
            rows.append(QStringLiteral("%1.%2 %3-%4").arg(text(q.value(0)), text(q.value(1)), text(q.value(2)),
                                                          text(q.value(3)))
                        + (q.value(4).isNull() && q.value(5).isNull() ? QString() : QStringLiteral(" flows")));
        return rows.join(QStringLiteral("; "));
    }
    // "id_m:КонУзел" followed by the given columns.
    QString ends(const QStringList& columns = {}, const QString& order = QStringLiteral("id_m")) const
    {
        QStringList rows;
        QString select = QStringLiteral("SELECT id_m, КонУзел");
        for (const QString& column : columns)
            select += QStringLiteral(", ") + column;
        QSqlQuery q = selectSql(calc(), select + QStringLiteral(" FROM КонМаг ORDER BY ") + order);
        while (q.next()) {
            QString row = text(q.value(0)) + QLatin1Char(':') + text(q.value(1));
            for (int c = 0; c < columns.size(); ++c)
                row += QLatin1Char(' ') + text(q.value(c + 2));
            rows.append(row);
        }
        return rows.join(QStringLiteral("; "));
    }

    test::ProgramFolderFixture folder;
    FakeDialogs dialogs;
    FakeProgress progress;
    std::unique_ptr<DataModule> data;
};

TEST_F(TopologyCheckTest, FirstErrorAndMainsOfSmallNetworks)
{
    const QString pairs = QStringLiteral("Конечные узлы участков не должны совпадать.");
    const QString reversed = QStringLiteral("Недопустимое сочетание участков.");
    const QString unfilled = QStringLiteral("Поля НачУзел, КонУзел должны быть заполнены.");
    const QString unknown = QStringLiteral("Значения полей НачУзел, КонУзел должны присутствовать в таблице \"Узлы теплосети\".");
    const QString same = QStringLiteral("Значения полей НачУзел, КонУзел не должны совпадать.");
    auto beyond = [](const char* value) {
        return QStringLiteral("\"") + QString::fromUtf8(value)
            + QStringLiteral("\" выходит за пределы диапазона целых чисел от -32768 до 32767.");
    };
    const struct {
        const char* name;
        const char* nodes;
        const char* segments;
        QString start;
        int status;
        QString message;
        QString mains; // after the check; kOldMains when nothing was rebuilt
        QString ends;
    } cases[] = {
        {"no segments", "1 2", "", "1", 1, "", kOldMains, kOldEnds},
        {"start not an integer", "1 2", "1-2", "abc", 3,
         "Ошибка в параметре \"Начальный узел теплосети\":\r\"abc\" не является целым числом.", kOldMains, kOldEnds},
        {"start empty", "1 2", "1-2", "", 3,
         "Ошибка в параметре \"Начальный узел теплосети\":\r\"\" не является целым числом.", kOldMains, kOldEnds},
        {"start beyond 16 bits", "1 2", "1-2", "40000", 3,
         "Ошибка в параметре \"Начальный узел теплосети\":\r\"40000\" выходит за пределы диапазона целых чисел от "
         "-32768 до 32767.", kOldMains, kOldEnds},
        {"start not a node", "1 2", "1-2", "3", 3,
         "Параметр \"Начальный узел теплосети\" не найден в таблице \"Узлы теплосети\".", kOldMains, kOldEnds},
        {"start not a node comes before no segments", "1", "", "5", 3,
         "Параметр \"Начальный узел теплосети\" не найден в таблице \"Узлы теплосети\".", kOldMains, kOldEnds},
        {"single segment", "1 2", "1-2", " 1 ", 0, "", "1.1 1-2", "1:2"},
        {"start node missing", "1 2 3", "1-2 -3", "1", 3, "Участок  - 3:\r" + unfilled, kOldMains, kOldEnds},
        {"end node missing", "1 2", "1-2 2-", "1", 3, "Участок 2 - :\r" + unfilled, kOldMains, kOldEnds},
        {"both missing", "1 2", "- 1-2", "1", 3, "Участок  - :\r" + unfilled, kOldMains, kOldEnds},
        {"equal nodes", "1 2", "1-2 2-2", "1", 3, "Участок 2 - 2:\r" + same, kOldMains, kOldEnds},
        {"ends at the start node", "1 2", "1-2 2-1", "1", 3,
         "Участок 2 - 1:\rЗначение поля КонУзел не должно совпадать с номером начального узла теплосети.", kOldMains,
         kOldEnds},
        {"unknown end node", "1 2", "1-2 2-5", "1", 3, "Участок 2 - 5:\r" + unknown, kOldMains, kOldEnds},
        {"unknown start node", "1 2", "7-2", "1", 3, "Участок 7 - 2:\r" + unknown, kOldMains, kOldEnds},
        {"rows in table order", "1 2 4", "1-2 3-3 -4", "1", 3, "Участок 3 - 3:\r" + same, kOldMains, kOldEnds},
        {"checks of one row in order", "1 2", "1-2 5-5", "1", 3, "Участок 5 - 5:\r" + same, kOldMains, kOldEnds},
        {"unused node", "1 2 3", "1-2", "1", 3, "Узел 3 не найден в таблице \"Участки теплосети\".", kOldMains,
         kOldEnds},
        {"first unused node in stored order", "1 5 2 3", "1-2", "1", 3,
         "Узел 5 не найден в таблице \"Участки теплосети\".", kOldMains, kOldEnds},
        {"unused node without number", "1 null 2", "1-2", "1", 3, "Узел  не найден в таблице \"Участки теплосети\".",
         kOldMains, kOldEnds},
        {"two segments into one node", "1 2 3", "1-2 3-2", "1", 3, "Участки 1 - 2, 3 - 2:\r" + pairs, kOldMains,
         kOldEnds},
        {"reversed segment", "0 1 2 3", "0-3 1-2 2-1", "0", 3, "Участки 1 - 2, 2 - 1:\r" + reversed, kOldMains,
         kOldEnds},
        {"reversed row before same-end row", "0 5 6 7", "5-6 6-5 7-6 0-7", "0", 3,
         "Участки 5 - 6, 6 - 5:\r" + reversed, kOldMains, kOldEnds},
        {"same-end row before reversed row", "0 5 6 7", "5-6 7-6 6-5 0-7", "0", 3, "Участки 5 - 6, 7 - 6:\r" + pairs,
         kOldMains, kOldEnds},
        {"first row with a partner", "1 2 3 4 5", "1-2 3-4 5-4 5-3", "1", 3, "Участки 3 - 4, 5 - 4:\r" + pairs,
         kOldMains, kOldEnds},
        {"three ends into one node", "1 2 3 4", "1-2 3-2 4-2", "1", 3, "Участки 1 - 2, 3 - 2:\r" + pairs, kOldMains,
         kOldEnds},
        {"mains by ascending end node", "1 2 4 9 12", "1-2 2-9 2-4 1-12", "1", 0, "",
         "1.1 2-4; 1.2 1-2; 2.1 2-9; 2.2 1-2; 3.1 1-12", "1:4; 2:9; 3:12"},
        {"chain stored backwards", "0 1 2 3", "2-3 1-2 0-1", "0", 0, "", "1.1 2-3; 1.2 1-2; 1.3 0-1", "1:3"},
        {"second root", "1 2 5 6 7", "1-5 5-6 7-2", "1", 3, "Узел 2 не соединен с начальным узлом теплосети.",
         "1.1 7-2; 2.1 5-6; 2.2 1-5", "1:2; 2:6"},
        {"loop that no end segment reaches", "1 2 3 4 5", "1-2 3-4 4-5 5-3", "1", 3,
         "Участок 3 - 4 не входит ни в одну магистраль теплосети.", "1.1 1-2", "1:2"},
        {"loop reached from an end segment", "1 2 3 4 5 6", "1-6 2-3 3-4 4-2 3-5", "1", 3,
         "Участки теплосети образуют замкнутый контур: участок 2 - 3 входит в контур, не связанный с начальным узлом "
         "теплосети.", kOldMains, kOldEnds},
        // Stored numbers that are no 16-bit integers are shown as stored, never narrowed.
        {"node number beyond 16 bits", "1 2 65537", "1-2", "1", 3,
         "Таблица \"Узлы теплосети\":\rОшибка в поле Nуз: " + beyond("65537"), kOldMains, kOldEnds},
        {"node number beyond 16 bits before the start node", "65537 2", "1-2", "1", 3,
         "Таблица \"Узлы теплосети\":\rОшибка в поле Nуз: " + beyond("65537"), kOldMains, kOldEnds},
        {"start node beyond 16 bits", "1 2", "65537-2", "1", 3,
         "Участок 65537 - 2:\rОшибка в поле НачУзел: " + beyond("65537"), kOldMains, kOldEnds},
        {"end node beyond 16 bits", "1 2", "1-2 2-65538", "1", 3,
         "Участок 2 - 65538:\rОшибка в поле КонУзел: " + beyond("65538"), kOldMains, kOldEnds},
        {"end node above 32767", "1 2", "1-40000", "1", 3,
         "Участок 1 - 40000:\rОшибка в поле КонУзел: " + beyond("40000"), kOldMains, kOldEnds},
        {"fractional end node", "1 2", "1-2.9", "1", 3,
         "Участок 1 - 2.9:\rОшибка в поле КонУзел: \"2.9\" не является целым числом.", kOldMains, kOldEnds},
        {"text as a start node", "1 2", "abc-2", "1", 3,
         "Участок abc - 2:\rОшибка в поле НачУзел: \"abc\" не является целым числом.", kOldMains, kOldEnds},
        {"bad number before a missing one", "1 2", "-2.5", "1", 3,
         "Участок  - 2.5:\rОшибка в поле КонУзел: \"2.5\" не является целым числом.", kOldMains, kOldEnds},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setNetwork(c.nodes, c.segments);
        setOldMains();
        exec(QStringLiteral("UPDATE НазвРасч SET NНачУз=77"));
        const TopologyResult result = check(c.start);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(mains(), c.mains);
        EXPECT_EQ(ends(), c.ends);
        bool parsed = false;
        const int start = c.start.trimmed().toInt(&parsed);
        EXPECT_EQ(value(QStringLiteral("SELECT NНачУз FROM НазвРасч")).toInt(),
                  parsed && start <= 32767 ? start : 77);
    }
}

TEST_F(TopologyCheckTest, EndNodeValuesFollowTheirEndNodeWhenKept)
{
    // Two-pipe layout: id_m:КонУзел ПНапЗПод РНапЗ ДельтаТ РВПод РВОбр.
    const QStringList twoPipe = {"ПНапЗПод", "РНапЗ", "ДельтаТ", "РВПод", "РВОбр"};
    const QStringList onePipe = {"ПНапЗПод", "РВПод"};
    const struct {
        const char* name;
        int networkType;
        bool design;
        bool onePipeLayout;
        QStringList columns;
        QString afterGrowth;  // ends 0, 4, 6: end 4 renumbered, end 3 no longer an end
        QString afterReturn;  // ends 3, 4 again: end 3 lost its values, end 4 keeps them
    } cases[] = {
        {"two-pipe", 1, false, false, twoPipe, "1:0 - - - 0 0; 2:4 60 25 35 0 0; 3:6 - - - 0 0",
         "1:3 - - - 0 0; 2:4 60 25 35 0 0"},
        {"two-pipe, diameters", 1, true, false, twoPipe, "1:0 - - - 0 0; 2:4 60 25 35 0 0; 3:6 - - - 0 0",
         "1:3 - - - 0 0; 2:4 60 25 35 0 0"},
        {"one-pipe, diameters", 0, true, true, onePipe, "1:0 - 0; 2:4 60 0; 3:6 - 0", "1:3 - 0; 2:4 60 0"},
        {"one-pipe, diameters, layout not yet rebuilt", 0, true, false, twoPipe,
         "1:0 - - - 0 0; 2:4 60 - - 0 0; 3:6 - - - 0 0", "1:3 - - - 0 0; 2:4 60 - - 0 0"},
        {"one-pipe", 0, false, true, onePipe, "1:0 - 0; 2:4 - 0; 3:6 - 0", "1:3 - 0; 2:4 - 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        exec(QStringLiteral("UPDATE НазвРасч SET ТипСети=?, ОпрД=?"), {c.networkType, c.design ? 1 : 0});
        if (c.onePipeLayout) {
            exec(QStringLiteral("DROP TABLE КонМаг"));
            exec(QStringLiteral("CREATE TABLE КонМаг ([id_m] smallint, [РВПод] bit NOT NULL, [РНачСУзПод] smallint, "
                                "[КонУзел] smallint, [ДлМагПод] float, [ПотНОтИПод] float, [ПНапПод] float, "
                                "[ПНапЗПод] float, [ПНапЗБИПод] float, [УПНВМагПод] float)"));
        }
        setNetwork("1 2 3 4", "1-2 2-3 2-4");
        ASSERT_EQ(check(QStringLiteral("1")).status, 0);
        ASSERT_EQ(ends(), QStringLiteral("1:3; 2:4"));
        for (const auto& [node, head, available, delta] : {std::tuple{3, 50, 20, 30}, std::tuple{4, 60, 25, 35}}) {
            exec(QStringLiteral("UPDATE КонМаг SET ПНапЗПод=? WHERE КонУзел=?"), {head, node});
            if (!c.onePipeLayout)
                exec(QStringLiteral("UPDATE КонМаг SET РНапЗ=?, ДельтаТ=? WHERE КонУзел=?"), {available, delta, node});
        }

        setNetwork("0 1 2 3 4 6", "1-2 2-3 2-4 2-0 3-6");
        ASSERT_EQ(check(QStringLiteral("1")).status, 0);
        EXPECT_EQ(ends(c.columns), c.afterGrowth);

        setNetwork("1 2 3 4", "1-2 2-3 2-4");
        ASSERT_EQ(check(QStringLiteral("1")).status, 0);
        EXPECT_EQ(ends(c.columns), c.afterReturn);

        exec(QStringLiteral("DROP TABLE КонМаг"));
        exec(QStringLiteral("CREATE TABLE [КонМаг] ([id_m] smallint, [РВПод] bit NOT NULL, [РНачСУзПод] smallint, "
                            "[КонУзел] smallint, [ДлМагПод] float, [ПотНОтИПод] float, [ПНапПод] float, [ПНапЗПод] "
                            "float, [ПНапЗБИПод] float, [УПНВМагПод] float, [РВОбр] bit NOT NULL, [РНачСУзОбр] "
                            "smallint, [ДлМагОбр] float, [ДлМагСум] float, [ПотНОтИОбр] float, [ПНапОбр] float, "
                            "[РНап] float, [РНапЗ] float, [ПНапЗОбр] float, [ПНапЗБИОбр] float, [УПНВМагОбр] float, "
                            "[ДельтаТ] float)"));
    }
}

TEST_F(TopologyCheckTest, RebuildReplacesOldFlowsAndKeepsTheWritingOrder)
{
    exec(QStringLiteral("INSERT INTO МагистралиТС VALUES (1, 1, 5, 6, 2.5, 2.4)"));
    setNetwork("0 1 2 3", "0-1 1-2 1-3");
    ASSERT_EQ(check(QStringLiteral("0")).status, 0);
    // The end segments of all mains come first, then each main's walk.
    EXPECT_EQ(mains(QStringLiteral("rowid")), QStringLiteral("1.1 1-2; 2.1 1-3; 1.2 0-1; 2.2 0-1"));
}

TEST_F(TopologyCheckTest, ShowsEachStepAndAlwaysReleasesTheWindow)
{
    exec(QStringLiteral("UPDATE НазвРасч SET РВ=1"));
    data->loadCalculationDoneFlag();
    data->guards().setRefused(QStringLiteral("КонМаг"), EditOperation::Insert, true);
    setNetwork("1 2 3 4", "1-2 2-3 2-4");
    ASSERT_EQ(check(QStringLiteral("1")).status, 0);

    EXPECT_EQ(value(QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
    const QStringList expected = {"Проверка корректности значений в полях НачУзел, КонУзел.",
                                  "Определение конечных участков. id = 1",
                                  "Определение магистралей теплосети. id_m = 1",
                                  "Проверка участков теплосети. id = 1",
                                  "Проверка магистралей теплосети. id_m = 1",
                                  ""};
    qsizetype at = -1;
    for (const QString& status : expected) {
        const qsizetype found = progress.statuses.indexOf(status, at + 1);
        EXPECT_GT(found, at) << status.toStdString();
        at = found;
    }
    EXPECT_EQ(progress.statuses.last(), QString());
    EXPECT_EQ(progress.locks, 1);
    EXPECT_EQ(progress.unlocks, 1);
    EXPECT_FALSE(progress.busy);
    EXPECT_TRUE(data->guards().refuses(QStringLiteral("КонМаг"), EditOperation::Delete));
    EXPECT_TRUE(data->guards().refuses(QStringLiteral("КонМаг"), EditOperation::Insert));

    // A storage failure in the rebuild leaves the old mains and still unlocks.
    setOldMains();
    exec(QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE INSERT ON КонМаг BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    data->guards().setRefused(QStringLiteral("КонМаг"), EditOperation::Insert, false);
    data->guards().setRefused(QStringLiteral("КонМаг"), EditOperation::Delete, false);
    EXPECT_THROW(check(QStringLiteral("1")), Failure);
    EXPECT_EQ(mains(), kOldMains);
    EXPECT_EQ(ends(), kOldEnds);
    EXPECT_EQ(progress.unlocks, 2);
    EXPECT_FALSE(progress.busy);
    EXPECT_EQ(progress.statuses.last(), QString());
    EXPECT_TRUE(data->guards().refuses(QStringLiteral("КонМаг"), EditOperation::Delete));
    EXPECT_FALSE(data->guards().refuses(QStringLiteral("КонМаг"), EditOperation::Insert));
}

TEST_F(TopologyCheckTest, MessagesAreSingleByteAndCutAt255)
{
    setNetwork("1 2", "1-2");
    const QString prefix = QStringLiteral("Ошибка в параметре \"Начальный узел теплосети\":\r\"");
    const QString longText(300, QLatin1Char('x'));
    EXPECT_EQ(check(longText).message, (prefix + longText).left(255));
    EXPECT_EQ(check(QStringLiteral("№★")).message, prefix + QStringLiteral("№?\" не является целым числом."));
}

TEST_F(TopologyCheckTest, HeadChangeAtTheStartNodeAndStoredStatus)
{
    const struct {
        const char* name;
        int status;
        QString message;
        QVariant headChangeNode;
        int expectedStatus;
        QString expectedMessage;
    } cases[] = {
        {"head change at the start node", 0, "", 5, 2, ""},
        {"head change node beyond 16 bits is no start node", 0, "", 65536 + 5, 0, ""},
        {"head change elsewhere", 0, "", 6, 0, ""},
        {"no head change", 0, "", QVariant(), 0, ""},
        {"an error stays", 3, "Ошибка", 5, 3, "Ошибка"},
        {"no segments stays", 1, "", 5, 1, ""},
    };
    exec(QStringLiteral("UPDATE НазвРасч SET NНачУз=5"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        exec(QStringLiteral("DELETE FROM ИзмПНапВУзлахТС"));
        if (!c.headChangeNode.isNull())
            exec(QStringLiteral("INSERT INTO ИзмПНапВУзлахТС VALUES (?, 0, 1.5)"), {c.headChangeNode});
        TopologyResult result{c.status, c.message};
        applyHeadChangeRule(*data, result);
        EXPECT_EQ(result.status, c.expectedStatus);
        EXPECT_EQ(result.message, c.expectedMessage);
    }

    const QString longMessage = QStringLiteral("Узел ★ ") + QString(300, QLatin1Char('y'));
    storeNetworkStatus(*data, 3, longMessage);
    EXPECT_EQ(value(QStringLiteral("SELECT ПарТСКорр FROM НазвРасч")).toInt(), 3);
    EXPECT_EQ(value(QStringLiteral("SELECT ПарТСОш FROM НазвРасч")).toString(),
              QString(QStringLiteral("Узел ? ") + QString(300, QLatin1Char('y'))).left(255));
    storeNetworkStatus(*data, 0, QString());
    EXPECT_EQ(value(QStringLiteral("SELECT ПарТСКорр FROM НазвРасч")).toInt(), 0);
    EXPECT_TRUE(value(QStringLiteral("SELECT ПарТСОш FROM НазвРасч")).isNull());
}

// ---------------------------------------------------------------------------
// The check as its steps read, row by row with nested scans, on the stored
// values. Quadratic, and kept that way on purpose: it is the reference the
// map-based check must agree with.

struct LiteralOutcome {
    int status = 0;
    QString message;
    bool rebuilt = false;
    QStringList mains; // "id_m.NппУчВМ a-b" in writing order
    QStringList ends;  // "id_m:КонУзел"
};

// Stored integers, of the 16-bit range once the check has let them through.
std::optional<qint16> node16(const QVariant& v)
{
    if (v.isNull())
        return std::nullopt;
    return static_cast<qint16>(v.toLongLong());
}

bool beyond16(const QVariant& v) { return !v.isNull() && (v.toLongLong() < -32768 || v.toLongLong() > 32767); }

QString beyondMessage(const QVariant& v)
{
    return "\"" + v.toString() + "\" выходит за пределы диапазона целых чисел от -32768 до 32767.";
}

QString shown(std::optional<qint16> n) { return n ? QString::number(*n) : QString(); }

LiteralOutcome literalCheck(const QVariantList& nodes, QList<StoredSegment> table, const QString& startText)
{
    std::sort(table.begin(), table.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    LiteralOutcome out;
    auto fail = [&](const QString& message) {
        out.status = 3;
        out.message = message;
        return out;
    };
    bool ok = false;
    const qlonglong parsed = startText.trimmed().toLongLong(&ok);
    if (!ok)
        return fail("Ошибка в параметре \"Начальный узел теплосети\":\r\"" + startText + "\" не является целым числом.");
    if (parsed < -32768 || parsed > 32767)
        return fail("Ошибка в параметре \"Начальный узел теплосети\":\r\"" + startText
                    + "\" выходит за пределы диапазона целых чисел от -32768 до 32767.");
    const qint16 start = qint16(parsed);
    for (const QVariant& v : nodes)
        if (beyond16(v))
            return fail("Таблица \"Узлы теплосети\":\rОшибка в поле Nуз: " + beyondMessage(v));
    auto isNode = [&](qint16 n) {
        for (const QVariant& v : nodes)
            if (node16(v) == n)
                return true;
        return false;
    };
    if (!isNode(start))
        return fail("Параметр \"Начальный узел теплосети\" не найден в таблице \"Узлы теплосети\".");
    if (table.isEmpty()) {
        out.status = 1;
        return out;
    }
    const int n = int(table.size());
    auto from = [&](int r) { return node16(table[r].from); };
    auto to = [&](int r) { return node16(table[r].to); };
    for (int r = 0; r < n; ++r) {
        const QString prefix = "Участок " + shown(from(r)) + " - " + shown(to(r)) + ":\r";
        const QString stored = "Участок " + table[r].from.toString() + " - " + table[r].to.toString() + ":\r";
        if (beyond16(table[r].from))
            return fail(stored + "Ошибка в поле НачУзел: " + beyondMessage(table[r].from));
        if (beyond16(table[r].to))
            return fail(stored + "Ошибка в поле КонУзел: " + beyondMessage(table[r].to));
        if (!from(r) || !to(r))
            return fail(prefix + "Поля НачУзел, КонУзел должны быть заполнены.");
        if (from(r) == to(r))
            return fail(prefix + "Значения полей НачУзел, КонУзел не должны совпадать.");
        if (to(r) == start)
            return fail(prefix + "Значение поля КонУзел не должно совпадать с номером начального узла теплосети.");
        if (!isNode(*from(r)) || !isNode(*to(r)))
            return fail(prefix + "Значения полей НачУзел, КонУзел должны присутствовать в таблице \"Узлы теплосети\".");
    }
    for (const QVariant& v : nodes) {
        bool used = false;
        for (int r = 0; r < n; ++r)
            used = used || (node16(v) && (from(r) == node16(v) || to(r) == node16(v)));
        if (!used)
            return fail("Узел " + shown(node16(v)) + " не найден в таблице \"Участки теплосети\".");
    }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (j == i)
                continue;
            const QString prefix = "Участки " + shown(from(i)) + " - " + shown(to(i)) + ", " + shown(from(j)) + " - "
                + shown(to(j)) + ":\r";
            if (to(j) == to(i))
                return fail(prefix + "Конечные узлы участков не должны совпадать.");
            if (from(j) == to(i) && to(j) == from(i))
                return fail(prefix + "Недопустимое сочетание участков.");
        }

    struct Row { int main, position; qint16 a, b; };
    QList<Row> written;
    QList<qint16> endNodes;
    QList<int> view;
    for (int r = 0; r < n; ++r)
        view.append(r);
    std::stable_sort(view.begin(), view.end(),
                     [&](int a, int b) { return table[a].to.toDouble() < table[b].to.toDouble(); });
    for (int i : view) {
        bool end = true;
        for (int j = 0; j < n; ++j)
            end = end && !(j != i && from(j) == to(i));
        if (end) {
            endNodes.append(*to(i));
            written.append({int(endNodes.size()), 1, *from(i), *to(i)});
        }
    }
    const QList<Row> endRows = written;
    for (const Row& first : endRows) {
        qint16 x = first.a;
        int position = 1;
        for (;;) {
            int found = -1;
            for (int r = 0; r < n && found < 0; ++r)
                if (to(r) == x)
                    found = r;
            if (found < 0)
                break;
            for (const Row& held : written)
                if (held.main == first.main && held.a == *from(found) && held.b == *to(found))
                    return fail("Участки теплосети образуют замкнутый контур: участок " + shown(from(found)) + " - "
                                + shown(to(found)) + " входит в контур, не связанный с начальным узлом теплосети.");
            written.append({first.main, ++position, *from(found), *to(found)});
            x = *from(found);
        }
    }
    out.rebuilt = true;
    for (const Row& row : written)
        out.mains.append(QStringLiteral("%1.%2 %3-%4").arg(row.main).arg(row.position).arg(row.a).arg(row.b));
    for (int m = 0; m < endNodes.size(); ++m)
        out.ends.append(QStringLiteral("%1:%2").arg(m + 1).arg(endNodes[m]));
    for (int r = 0; r < n; ++r) {
        bool onMain = false;
        for (const Row& row : written)
            onMain = onMain || (row.a == *from(r) && row.b == *to(r));
        if (!onMain)
            return fail("Участок " + shown(from(r)) + " - " + shown(to(r)) + " не входит ни в одну магистраль теплосети.");
    }
    for (int m = 1; m <= endNodes.size(); ++m) {
        bool reaches = false;
        for (const Row& row : written)
            reaches = reaches || (row.main == m && row.a == start);
        if (!reaches)
            return fail("Узел " + QString::number(endNodes[m - 1]) + " не соединен с начальным узлом теплосети.");
    }
    return out;
}

// Random networks: some arbitrary tables over a few node numbers, the others
// trees with up to two faults planted, so that every step gets to fail.
struct RandomNetwork {
    QVariantList nodes;
    QList<StoredSegment> segments; // in insertion order; stored order is by key
    QString start;
};

RandomNetwork randomNetwork(QRandomGenerator& random)
{
    RandomNetwork net;
    auto chance = [&](int percent) { return int(random.bounded(100)) < percent; };
    const int pool = 2 + int(random.bounded(7));
    auto someNode = [&]() -> QVariant {
        const qlonglong v = random.bounded(pool);
        return chance(4) ? QVariant(v + 65536) : QVariant(v);
    };
    if (chance(40)) {
        QList<int> labels;
        for (int v = 0; v < pool; ++v)
            labels.append(v);
        std::shuffle(labels.begin(), labels.end(), random);
        for (int v : labels)
            if (chance(85))
                net.nodes.append(v);
        const int count = int(random.bounded(9));
        for (int s = 0; s < count; ++s)
            net.segments.append({0, chance(5) ? QVariant() : someNode(), chance(5) ? QVariant() : someNode()});
        net.start = QString::number(random.bounded(pool));
    } else {
        const int size = 2 + int(random.bounded(8));
        QList<int> labels; // the tree's nodes, then spare numbers for planted faults
        for (int v = 0; v < size + 6; ++v)
            labels.append(v);
        std::shuffle(labels.begin(), labels.end(), random);
        for (int k = 0; k < size; ++k)
            net.nodes.append(labels[k]);
        QList<int> parent = {-1};
        for (int k = 1; k < size; ++k) {
            parent.append(int(random.bounded(k)));
            net.segments.append({0, labels[parent[k]], labels[k]});
        }
        net.start = QString::number(labels[0]);
        // Hanging a subtree from one of its own nodes two or more levels down
        // makes a closed loop of three or more segments, with or without a way out.
        const int top = 1 + int(random.bounded(size - 1));
        QList<int> deep;
        for (int k = top + 1; k < size; ++k) {
            int depth = 0;
            int a = k;
            for (; a > top; a = parent[a])
                ++depth;
            if (a == top && depth >= 2)
                deep.append(k);
        }
        const bool hung = !deep.isEmpty() && chance(50);
        if (hung)
            net.segments[top - 1].from = labels[deep[int(random.bounded(deep.size()))]];
        const int faults = hung ? 0 : int(random.bounded(3));
        for (int f = 0; f < faults && !net.segments.isEmpty(); ++f) {
            const int s = int(random.bounded(net.segments.size()));
            const int spare = size + 3 * f;
            // Reversed segments reach the rarer pair fault: twice as often.
            const int kind = int(random.bounded(8));
            switch (kind == 7 ? 1 : kind) {
            case 0: net.segments[s] = {0, net.segments[s].to, net.segments[s].from}; break;
            case 1: net.segments.append({0, net.segments[s].to, net.segments[s].from}); break;
            case 2: net.segments.removeAt(s); break;
            case 3: net.nodes.append(labels[spare]); break;
            case 4: net.segments[s].from = labels[1 + int(random.bounded(size - 1))]; break;
            case 5: // a second root
                net.segments[s].from = labels[spare];
                net.nodes.append(labels[spare]);
                break;
            case 6: // a separate closed loop of three, with a way out into the tree or not
                for (int k = 0; k < 3; ++k) {
                    net.nodes.append(labels[spare + k]);
                    net.segments.append({0, labels[spare + k], labels[spare + (k + 1) % 3]});
                }
                if (chance(50))
                    net.segments[s].from = labels[spare + int(random.bounded(3))];
                break;
            }
        }
        if (chance(5))
            net.start = chance(50) ? QStringLiteral("x") : QStringLiteral("99");
    }
    // Distinct keys in random insertion order: the stored order is the key order.
    QList<qint64> keys;
    while (keys.size() < net.segments.size()) {
        const qint64 key = 1 + random.bounded(1000);
        if (!keys.contains(key))
            keys.append(key);
    }
    for (int s = 0; s < net.segments.size(); ++s)
        net.segments[s].id = keys[s];
    QVariantList unique;
    for (const QVariant& v : net.nodes)
        if (!unique.contains(v))
            unique.append(v);
    net.nodes = unique;
    return net;
}

QString describe(const RandomNetwork& net)
{
    QStringList nodes, segments;
    for (const QVariant& v : net.nodes)
        nodes.append(text(v));
    for (const StoredSegment& s : net.segments)
        segments.append(QStringLiteral("#%1 %2-%3").arg(s.id).arg(text(s.from), text(s.to)));
    return "start " + net.start + "; nodes " + nodes.join(' ') + "; segments " + segments.join(' ');
}

TEST_F(TopologyCheckTest, AgreesWithTheRowByRowReadingOnRandomNetworks)
{
    // Hundreds of small files' worth of commits: the disk need not see each one.
    exec(QStringLiteral("PRAGMA synchronous=OFF"));
    QRandomGenerator random(20240611);
    QMap<QString, int> seen; // how often each kind of outcome came up
    for (int round = 0; round < 700; ++round) {
        const RandomNetwork net = randomNetwork(random);
        SCOPED_TRACE(describe(net).toStdString());
        setNetwork(net.nodes, net.segments);
        setOldMains();
        const LiteralOutcome expected = literalCheck(net.nodes, net.segments, net.start);
        const TopologyResult result = check(net.start);
        ASSERT_EQ(result.status, expected.status);
        ASSERT_EQ(result.message, expected.message);
        if (expected.rebuilt) {
            EXPECT_EQ(mains(QStringLiteral("rowid")), expected.mains.join(QStringLiteral("; ")));
            EXPECT_EQ(ends(), expected.ends.join(QStringLiteral("; ")));
        } else {
            EXPECT_EQ(mains(), kOldMains);
            EXPECT_EQ(ends(), kOldEnds);
        }
        seen[expected.message.section(QLatin1Char('\r'), -1).replace(QRegularExpression(QStringLiteral("[-0-9 ]+")), QStringLiteral(" "))
             + (expected.rebuilt ? "+" : "")]++;
    }
    if (HasFailure())
        for (auto it = seen.begin(); it != seen.end(); ++it)
            std::printf("%s: %d\n", qPrintable(it.key()), it.value());
    // The generator must keep reaching every late step, passing and failing.
    EXPECT_GT(seen.value(QStringLiteral("+")), 20);
    EXPECT_GT(seen.value(QStringLiteral("Конечные узлы участков не должны совпадать.")), 10);
    EXPECT_GT(seen.value(QStringLiteral("Недопустимое сочетание участков.")), 5);
    EXPECT_GT(seen.value(QStringLiteral("Участки теплосети образуют замкнутый контур: участок входит в контур, не "
                                        "связанный с начальным узлом теплосети.")), 5);
    EXPECT_GT(seen.value(QStringLiteral("Участок не входит ни в одну магистраль теплосети.+")), 5);
    EXPECT_GT(seen.value(QStringLiteral("Узел не соединен с начальным узлом теплосети.+")), 5);
}

} // namespace
