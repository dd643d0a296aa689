#include <QString>
#include <ostream>

// Readable failure output, declared before any test header prints a QString;
// internal linkage so other test files may have their own.
static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "document/TableStructure.h"
#include "support/FakeDialogs.h"
#include "support/ProgramFolder.h"

#include <QHash>
#include <QSqlQuery>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

using namespace zurm;
using zurm::test::FakeDialogs;
using zurm::test::FakeProgress;

namespace {

const QString kDuplicateHint = QStringLiteral(
    "\" встречается в таблице показателей расчета более одного раза. Структура таблиц не изменена.\r\r"
    "Для исправления ошибки выполните команду:\rДанные / Параметры расчета");

// Records the statements that reach each connection while it lives.
class StatementLog {
public:
    StatementLog()
    {
        setStatementObserver([this](const QString& connection, const QString& sql) {
            statements.append(connection + QLatin1Char('|') + sql);
        });
    }
    ~StatementLog() { setStatementObserver({}); }
    QStringList on(const QString& connection) const
    {
        QStringList result;
        for (const QString& s : statements)
            if (s.startsWith(connection + QLatin1Char('|')))
                result.append(s.mid(connection.size() + 1));
        return result;
    }
    QStringList statements;
};

class TableStructureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = std::make_unique<DataModule>(folder.programFolder());
        data->createWorkDatabase(QString(), dialogs);
        data->openCalculation(folder.newCalculation());
    }

    QSqlDatabase calc() const { return data->calculation(); }
    void exec(const QString& sql, const QVariantList& bindings = {}) const { execSql(calc(), sql, bindings); }
    bool setUp() { return SetUpTableStructure(*data, dialogs, progress, layout); }

    QStringList columnNames(const QString& table, const QSqlDatabase& db = {}) const
    {
        QStringList names;
        for (const ColumnInfo& column : tableColumns(db.isValid() ? db : calc(), table))
            names.append(column.name);
        return names;
    }
    // One column of a table in row order, Null as "-".
    QStringList values(const QString& table, const QString& column, const QSqlDatabase& db = {}) const
    {
        QStringList result;
        QSqlQuery query = selectSql(db.isValid() ? db : calc(),
                                    "SELECT " + quoteName(column) + " FROM " + quoteName(table) + " ORDER BY rowid");
        while (query.next())
            result.append(query.value(0).isNull() ? QStringLiteral("-") : query.value(0).toString());
        return result;
    }
    void addIndicator(int order, const QString& shortName, const QString& type, bool userEntered = true,
                      const QString& fullName = QStringLiteral("Показатель"))
    {
        exec(QStringLiteral("INSERT INTO Формулы (Nпп, НаимПок, НаимПокСокр, ТипПок, ВводПольз, ВывВОтчТабл) "
                            "VALUES (?, ?, ?, ?, ?, 1)"),
             {order, fullName, shortName, type, userEntered ? 1 : 0});
    }
    void setNetwork(int type, bool determineDiameters)
    {
        exec(QStringLiteral("UPDATE НазвРасч SET ТипСети=?, ОпрД=?"), {type, determineDiameters ? 1 : 0});
    }
    // Segments with keys that are not 1..n, so a renumbering would show; rows
    // follow their keys (the key is the row id).
    void addSegments()
    {
        exec(QStringLiteral("INSERT INTO Табл (id, НачУзел, КонУзел, ДлНаУчПод, РасхПод, РасхОбр, ДуПод, ПотНОбр, "
                            "Примечание, Заполн_Уч) VALUES "
                            "(12, 1, 3, 60, 20, 19, 125, 0.125, 'конец', NULL), "
                            "(3, 0, 1, 100, 50, 49, 200, 0.5, 'узел ''A''', '*'), "
                            "(7, 1, 2, 80, 30, 29, 150, 0.25, NULL, NULL)"));
    }

    test::ProgramFolderFixture folder;
    FakeDialogs dialogs;
    FakeProgress progress;
    std::unique_ptr<DataModule> data;
    GridLayout layout;
};

TEST(TableLayouts, RequiredLayoutsFollowNetworkTypeDesignModeAndCatalogue)
{
    // Lower-case type letters count as their capitals.
    const QList<IndicatorColumn> users = {{"КэШ", "З"}, {"Ду", "п"}, {"Ск", "О"}, {"Доля", "з"}, {"Итог", "И"}};
    const QString zag1 = "([КэШ] float, [Доля] float, [ПНапНаУзПод] float, [МинГеодВысТС] float, [МаксГеодВысТС] "
                         "float, [МаксДлПод] float, [МинТВоды] float, [МаксТВоды] float)";
    const QString zag2 = "([КэШ] float, [Доля] float, [ПНапНаУзПод] float, [РНапНаУз] float, [МинГеодВысТС] float, "
                         "[МаксГеодВысТС] float, [МаксДлПод] float, [МаксДлОбр] float, [МаксСумДлПодОбр] float, "
                         "[МинТВоды] float, [МаксТВоды] float)";
    const QString head = "([id] integer PRIMARY KEY, [НачУзел] smallint, [КонУзел] smallint, [ГеодВысНач] float, "
                         "[ГеодВысКон] float, ";
    const QString tail = "[Примечание] text(255), [Заполн_Уч] text(1))";
    const QString tabl1 = head + "[ДлНаУчПод] float, [РасхПод] float, [ДлНачПод] float, [ДлКонПод] float, "
                                 "[ТВодыНачПод] float, [ТВодыКонПод] float, %1[Ду] float, [Ск] float, [Итог] float, "
                                 "[ПотНОтИНачПод] float, [ПотНОтИКонПод] float, [ПНапНачПод] float, [ПНапКонПод] float, "
        + tail;
    const QString tabl2 = head + "[ДлНаУчПод] float, [ДлНаУчОбр] float, [РасхПод] float, [РасхОбр] float, [ДлНачПод] "
                                 "float, [ДлНачОбр] float, [ДлКонПод] float, [ДлКонОбр] float, [ТВодыНачПод] float, "
                                 "[ТВодыНачОбр] float, [ТВодыКонПод] float, [ТВодыКонОбр] float, %1[Ду] float, [Ск] "
                                 "float, [Итог] float, [ПотНОтИНачПод] float, [ПотНОтИНачОбр] float, [ПотНОтИКонПод] "
                                 "float, [ПотНОтИКонОбр] float, [ПНапНачПод] float, [ПНапНачОбр] float, [ПНапКонПод] "
                                 "float, [ПНапКонОбр] float, [РНапНач] float, [РНапКон] float, "
        + tail;
    const QString konMag1 = "([id_m] smallint, [РВПод] bit NOT NULL, [РНачСУзПод] smallint, [КонУзел] smallint, "
                            "[ДлМагПод] float, [ПотНОтИПод] float, [ПНапПод] float, [ПНапЗПод] float, [ПНапЗБИПод] "
                            "float, [УПНВМагПод] float";
    const QString konMag2 = konMag1
        + ", [РВОбр] bit NOT NULL, [РНачСУзОбр] smallint, [ДлМагОбр] float, [ДлМагСум] float, [ПотНОтИОбр] float, "
          "[ПНапОбр] float, [РНап] float, [РНапЗ] float, [ПНапЗОбр] float, [ПНапЗБИОбр] float, [УПНВМагОбр] float, "
          "[ДельтаТ] float)";

    const struct {
        bool twoPipe, design;
        QString zag, tabl, konMag;
    } cases[] = {
        {false, false, zag1, tabl1.arg(""), konMag1 + ")"},
        {false, true, zag1, tabl1.arg("[УПНВВПод] float, "), konMag1 + ")"},
        {true, false, zag2, tabl2.arg(""), konMag2},
        {true, true, zag2, tabl2.arg("[УПНВВПод] float, [УПНВВОбр] float, "), konMag2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "twoPipe=" << c.twoPipe << " design=" << c.design);
        const LayoutDefinitions d{c.twoPipe, c.design, users};
        EXPECT_EQ(requiredLayoutZag(d), c.zag);
        EXPECT_EQ(requiredLayoutTabl(d), c.tabl);
        EXPECT_EQ(requiredLayoutKonMag(d), c.konMag);
    }
}

TEST_F(TableStructureTest, CurrentLayoutWritesTypesAsTheRequiredLayoutsDo)
{
    const QSqlDatabase work = data->work();
    const struct {
        QString table, columns, expected;
    } cases[] = {
        // PRAGMA reports "integer PRIMARY KEY" as INTEGER; sizes are normalised;
        // other spellings are read by SQLite's affinity rules.
        {"Табл", "(id integer PRIMARY KEY, A SMALLINT, B Float, C bit, D TEXT(020), E varchar(5), F text)",
         "([id] integer PRIMARY KEY, [A] smallint, [B] float, [C] bit, [D] text(20), [E] text(5), [F] text)"},
        {"Табл", "(A BIGINT, B REAL, C DOUBLE PRECISION, D NUMERIC(10,2), E BOOLEAN, F BLOB, G, H CLOB)",
         "([A] integer, [B] float, [C] float, [D] float, [E] bit, [F] , [G] , [H] text)"},
        {"Табл", "(ID integer, id2 integer)", "([ID] integer, [id2] integer)"},
        {"Заг", "(A text(3), B smallint, C float)", "([A] float, [B] float, [C] float)"},
        {"КонМаг", "(id_m INTEGER, РВПод bit, РВОбр integer, D text(5), E bit NOT NULL)",
         "([id_m] smallint, [РВПод] bit NOT NULL, [РВОбр] smallint NOT NULL, [D] float, [E] bit)"},
        {"Нет", "", "()"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.columns.toStdString());
        execSql(work, "DROP TABLE IF EXISTS " + c.table);
        if (!c.columns.isEmpty())
            execSql(work, "CREATE TABLE " + c.table + " " + c.columns);
        EXPECT_EQ(currentLayout(work, c.table), c.expected);
    }
}

TEST_F(TableStructureTest, TemplateNeedsNoRebuildAndShowsItsUserEnteredColumns)
{
    StatementLog log;
    ASSERT_TRUE(setUp());
    EXPECT_EQ(log.on(calc().connectionName()), QStringList());
    EXPECT_TRUE(dialogs.messages.isEmpty());

    const QStringList header = {"Эквивалентная шероховатость внутренней поверхности труб, мм.",
                                "Доля местных потерь напора от линейных потерь, доли ед.",
                                "Полный напор в подающем трубопроводе на заданном узле, м.",
                                "Располагаемый напор на заданном узле, м.",
                                "Минимальная температура воды в теплосети, град. С",
                                "Максимальная температура воды в теплосети, град. С"};
    EXPECT_EQ(layout.headerCaptions, header);
    const QStringList segment = {"Длина подающего трубопровода на участке, м.",
                                 "Расход воды в подающем трубопроводе на участке, т/ч.",
                                 "Условный диаметр подающего трубопровода, мм.", QString()};
    EXPECT_EQ(layout.segmentCaptions, segment);

    // The caption tables hold one row of exactly these captions, Null for the comment.
    const QSqlDatabase work = data->work();
    EXPECT_EQ(columnNames("ВКолЗаг", work), QStringList({"П1", "П2", "П3", "П4", "П5", "П6"}));
    EXPECT_EQ(columnNames("ВКолТабл", work), QStringList({"П1", "П2", "П3", "П4"}));
    EXPECT_EQ(values("ВКолЗаг", "П6", work), QStringList{header[5]});
    EXPECT_EQ(values("ВКолТабл", "П3", work), QStringList{segment[2]});
    EXPECT_EQ(values("ВКолТабл", "П4", work), QStringList{"-"});

    QStringList visibleHeader, visibleSegment;
    for (const GridColumn& c : layout.headerColumns) {
        EXPECT_EQ(c.width, 110) << c.name.toStdString();
        if (c.visible)
            visibleHeader.append(c.name);
    }
    for (const GridColumn& c : layout.segmentColumns) {
        EXPECT_EQ(c.width, c.name == "Примечание" ? 309 : 103) << c.name.toStdString();
        EXPECT_EQ(c.title.isEmpty(), c.name != "Примечание") << c.name.toStdString();
        if (c.visible)
            visibleSegment.append(c.name);
    }
    EXPECT_EQ(visibleHeader, QStringList({"КэШер", "ДолМестПот", "ПНапНаУзПод", "РНапНаУз", "МинТВоды", "МаксТВоды"}));
    EXPECT_EQ(visibleSegment, QStringList({"ДлНаУчПод", "РасхПод", "ДуПод", "Примечание"}));
    EXPECT_EQ(layout.segmentColumns.size(), columnNames("Табл").size());
    EXPECT_EQ(layout.segmentColumns.last().name, "Заполн_Уч");
    EXPECT_EQ(layout.segmentColumns.last().visible, false);
}

TEST_F(TableStructureTest, RebuildKeepsColumnsOfSameNameTypeAndNoSmallerSize)
{
    const struct {
        QString before, after;
        bool kept;
    } cases[] = {
        {"[X] float", "[X] float", true},
        {"[X] text(10)", "[X] text(20)", true},
        {"[X] text(20)", "[X] text(10)", false},
        {"[X] float", "[X] smallint", false},
        {"[X] smallint", "[X] float", false},
        {"[X] float", "[x] float", false}, // names compare exactly
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.before + " -> " + c.after).toStdString());
        exec("DROP TABLE IF EXISTS Проба");
        exec("CREATE TABLE Проба ([id] integer PRIMARY KEY, " + c.before + ", [Z] float)");
        exec("INSERT INTO Проба VALUES (5, '7', 1.5), (2, '8', 2.5)");
        const QString required = "([id] integer PRIMARY KEY, [Новый] float, " + c.after + ", [Z] float)";
        RestructureTable(*data, "Проба", required, currentLayout(calc(), "Проба"));
        EXPECT_EQ(currentLayout(calc(), "Проба"), required);
        EXPECT_EQ(values("Проба", "id"), QStringList({"2", "5"}));
        EXPECT_EQ(values("Проба", "Z"), QStringList({"2.5", "1.5"}));
        EXPECT_EQ(values("Проба", "Новый"), QStringList({"-", "-"}));
        EXPECT_EQ(values("Проба", "X"), c.kept ? QStringList({"8", "7"}) : QStringList({"-", "-"}));
    }
    EXPECT_FALSE(tableExists(calc(), "Проба~"));
}

TEST_F(TableStructureTest, ColumnsDeclaredInOrdinarySqliteSpellingsKeepTheirValues)
{
    // Табл as another SQLite tool writes it: every value survives the setup,
    // and the table then has the program's own layout.
    addSegments();
    exec("UPDATE Табл SET Примечание = 'ввод' WHERE Примечание IS NULL");
    const QString programLayout = currentLayout(calc(), "Табл");
    const QStringList kept = {"id", "НачУзел", "КонУзел", "ДлНаУчПод", "РасхПод", "ДуПод", "Примечание", "Заполн_Уч"};
    QHash<QString, QStringList> before;
    for (const QString& column : kept)
        before.insert(column, values("Табл", column));
    QStringList columns;
    for (const ColumnInfo& column : tableColumns(calc(), "Табл")) {
        const QString declared = column.name == "id" ? "INTEGER PRIMARY KEY"
            : column.name == "НачУзел"               ? "INTEGER"
            : column.name == "КонУзел"               ? "INT"
            : column.name == "ДлНаУчПод"             ? "REAL"
            : column.name == "РасхПод"               ? "NUMERIC"
            : column.name == "ДуПод"                 ? ""
            : column.name == "Примечание"            ? "TEXT"
            : column.name == "Заполн_Уч"             ? "VARCHAR(1)"
                                                     : "DOUBLE";
        columns.append(quoteName(column.name) + " " + declared);
    }
    exec("CREATE TABLE Копия (" + columns.join(", ") + ")");
    exec("INSERT INTO Копия SELECT * FROM Табл");
    exec("DROP TABLE Табл");
    exec("ALTER TABLE Копия RENAME TO Табл");

    ASSERT_TRUE(setUp()) << dialogs.messages.join("|").toStdString();
    EXPECT_EQ(currentLayout(calc(), "Табл"), programLayout);
    for (const QString& column : kept)
        EXPECT_EQ(values("Табл", column), before.value(column)) << column.toStdString();

    // A value that a column of another kind cannot hold refuses the setup
    // before any table is touched.
    const struct {
        QString column, declared, message;
    } refused[] = {
        {"НачУзел", "TEXT", "Значения поля \"НачУзел\" таблицы \"Табл\" (тип \"TEXT\") не могут быть перенесены в поле "
                            "типа \"smallint\". Структура таблиц не изменена."},
        {"Примечание", "varchar(300)", "Значения поля \"Примечание\" таблицы \"Табл\" (тип \"varchar(300)\") не могут "
                                       "быть перенесены в поле типа \"text(255)\". Структура таблиц не изменена."},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.declared.toStdString());
        exec("ALTER TABLE Табл ADD COLUMN Запас"); // untyped: values stay as they are
        exec("UPDATE Табл SET Запас = " + quoteName(c.column));
        exec("ALTER TABLE Табл DROP COLUMN " + quoteName(c.column));
        exec("ALTER TABLE Табл ADD COLUMN " + quoteName(c.column) + " " + c.declared);
        exec("UPDATE Табл SET " + quoteName(c.column) + " = Запас");
        exec("ALTER TABLE Табл DROP COLUMN Запас");
        const QString layout = currentLayout(calc(), "Табл");
        dialogs.messages.clear();
        StatementLog log;
        EXPECT_FALSE(setUp());
        EXPECT_EQ(dialogs.messages, QStringList{c.message});
        EXPECT_EQ(log.on(calc().connectionName()), QStringList());
        EXPECT_EQ(currentLayout(calc(), "Табл"), layout);
        EXPECT_EQ(values("Табл", c.column), before.value(c.column));
        exec("UPDATE Табл SET " + quoteName(c.column) + " = NULL"); // nothing left to lose: the setup goes on
        EXPECT_TRUE(setUp());
        EXPECT_EQ(values("Табл", c.column), QStringList({"-", "-", "-"}));
    }
}

TEST_F(TableStructureTest, NoCharacterOfANameEndsItsQuoting)
{
    const QStringList names = {"A]", "] float, [Injected", "B\"C", "\"] float, \"Injected", "[D]]"};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        exec("DROP TABLE IF EXISTS Проба");
        exec("CREATE TABLE Проба ([id] integer PRIMARY KEY, " + quoteName(name) + " float)");
        exec("INSERT INTO Проба VALUES (1, 7.5)");
        const QString required = "([id] integer PRIMARY KEY, [Новый] float, " + quoteName(name) + " float)";
        ASSERT_EQ(parseLayout(required).size(), 3);
        EXPECT_EQ(parseLayout(required)[2].name, name);
        RestructureTable(*data, "Проба", required, currentLayout(calc(), "Проба"));
        EXPECT_EQ(columnNames("Проба"), QStringList({"id", "Новый", name}));
        EXPECT_EQ(currentLayout(calc(), "Проба"), required);
        EXPECT_EQ(values("Проба", name), QStringList{"7.5"}) << "values survive under the same name";
    }
}

TEST_F(TableStructureTest, RenamingAnIndicatorEmptiesTheNewColumnOnly)
{
    addIndicator(20, "A", "П");
    ASSERT_TRUE(setUp());
    addSegments();
    exec("UPDATE Табл SET A = id * 2");
    exec("UPDATE Формулы SET НаимПокСокр='B' WHERE НаимПокСокр='A'");
    ASSERT_TRUE(setUp());
    const QStringList columns = columnNames("Табл");
    EXPECT_FALSE(columns.contains("A"));
    EXPECT_EQ(columns.indexOf("B"), columns.indexOf("ПотНОбр") + 1);
    EXPECT_EQ(values("Табл", "B"), QStringList({"-", "-", "-"}));
    EXPECT_EQ(values("Табл", "ДуПод"), QStringList({"200", "150", "125"}));
    EXPECT_EQ(values("Табл", "ПотНОбр"), QStringList({"0.5", "0.25", "0.125"}));
}

TEST_F(TableStructureTest, TypeChangeFromSupplyToHeaderMovesTheColumnWithEmptyValue)
{
    addSegments();
    exec("UPDATE Формулы SET ТипПок='З' WHERE НаимПокСокр='ДуПод'");
    exec("UPDATE Заг SET ПНапНаУзПод=120");
    ASSERT_TRUE(setUp());
    EXPECT_FALSE(columnNames("Табл").contains("ДуПод"));
    EXPECT_EQ(columnNames("Заг").mid(0, 4), QStringList({"КэШер", "ДолМестПот", "ДуПод", "ПНапНаУзПод"}));
    EXPECT_EQ(values("Заг", "ДуПод"), QStringList{"-"});
    EXPECT_EQ(values("Заг", "КэШер"), QStringList{"0.5"});
    EXPECT_EQ(values("Заг", "ПНапНаУзПод"), QStringList{"120"});
    EXPECT_EQ(values("Табл", "РасхПод"), QStringList({"50", "30", "20"}));
}

TEST_F(TableStructureTest, SwitchingToOnePipeAndBackLosesTheReturnValues)
{
    addSegments();
    exec("UPDATE Заг SET РНапНаУз=40, ПНапНаУзПод=120");
    exec("INSERT INTO КонМаг (id_m, РВПод, КонУзел, ПНапЗПод, РВОбр, РНапЗ, ДельтаТ) VALUES "
         "(1, 1, 2, 90, 1, 15, 20), (2, 0, 3, 91, 0, 16, 21)");
    // Return indicators of the catalogue would be refused for a one-pipe network.
    exec("DELETE FROM Формулы WHERE ТипПок IN ('О', 'И')");

    setNetwork(0, false);
    ASSERT_TRUE(setUp());
    for (const char* gone : {"РасхОбр", "ДлНаУчОбр", "ПНапКонОбр", "РНапНач", "РНапКон", "ПотНОбр"})
        EXPECT_FALSE(columnNames("Табл").contains(gone)) << gone;
    EXPECT_FALSE(columnNames("Заг").contains("РНапНаУз"));
    EXPECT_FALSE(columnNames("КонМаг").contains("РВОбр"));
    EXPECT_FALSE(layout.availableNodeFieldEnabled);

    setNetwork(1, false);
    ASSERT_TRUE(setUp());
    EXPECT_EQ(currentLayout(calc(), "КонМаг"), requiredLayoutKonMag({true, false, {}}));
    EXPECT_EQ(values("Табл", "РасхОбр"), QStringList({"-", "-", "-"}));
    EXPECT_EQ(values("Табл", "РасхПод"), QStringList({"50", "30", "20"}));
    EXPECT_EQ(values("Заг", "РНапНаУз"), QStringList{"-"});
    EXPECT_EQ(values("Заг", "ПНапНаУзПод"), QStringList{"120"});
    EXPECT_EQ(values("КонМаг", "id_m"), QStringList({"1", "2"}));
    EXPECT_EQ(values("КонМаг", "КонУзел"), QStringList({"2", "3"}));
    EXPECT_EQ(values("КонМаг", "ПНапЗПод"), QStringList({"90", "91"}));
    EXPECT_EQ(values("КонМаг", "РВПод"), QStringList({"1", "0"}));
    EXPECT_EQ(values("КонМаг", "РВОбр"), QStringList({"0", "0"}));
    EXPECT_EQ(values("КонМаг", "РНапЗ"), QStringList({"-", "-"}));
}

TEST_F(TableStructureTest, TurningDesignModeOffDropsTheSpecificLossValues)
{
    addSegments();
    setNetwork(1, true);
    ASSERT_TRUE(setUp());
    const QStringList columns = columnNames("Табл");
    ASSERT_EQ(columns.indexOf("УПНВВПод"), columns.indexOf("ТВодыКонОбр") + 1);
    ASSERT_EQ(columns.indexOf("УПНВВОбр"), columns.indexOf("ТВодыКонОбр") + 2);
    EXPECT_EQ(values("Табл", "ДуПод"), QStringList({"200", "150", "125"}));
    exec("UPDATE Табл SET УПНВВПод=0.001, УПНВВОбр=0.002");

    setNetwork(1, false);
    ASSERT_TRUE(setUp());
    EXPECT_FALSE(columnNames("Табл").contains("УПНВВПод"));
    setNetwork(1, true);
    ASSERT_TRUE(setUp());
    EXPECT_EQ(values("Табл", "УПНВВПод"), QStringList({"-", "-", "-"}));
    EXPECT_EQ(values("Табл", "УПНВВОбр"), QStringList({"-", "-", "-"}));
    EXPECT_EQ(values("Табл", "ДуПод"), QStringList({"200", "150", "125"}));
}

TEST_F(TableStructureTest, ReorderingIndicatorsReordersColumnsAndKeepsValuesAndKeys)
{
    addSegments();
    const QString before = currentLayout(calc(), "Табл");
    exec("UPDATE Формулы SET Nпп = 100 - Nпп");
    StatementLog log;
    ASSERT_TRUE(setUp());
    EXPECT_EQ(log.on(calc().connectionName()).filter("CREATE TABLE").size(), 2); // Заг and Табл
    EXPECT_NE(currentLayout(calc(), "Табл"), before);

    const QStringList columns = columnNames("Табл");
    EXPECT_LT(columns.indexOf("ПотНОбр"), columns.indexOf("ДуПод"));
    EXPECT_EQ(columnNames("Заг").mid(0, 2), QStringList({"ДолМестПот", "КэШер"}));
    EXPECT_EQ(values("Заг", "КэШер"), QStringList{"0.5"});
    EXPECT_EQ(values("Табл", "id"), QStringList({"3", "7", "12"}));
    EXPECT_EQ(values("Табл", "НачУзел"), QStringList({"0", "1", "1"}));
    EXPECT_EQ(values("Табл", "КонУзел"), QStringList({"1", "2", "3"}));
    EXPECT_EQ(values("Табл", "ДуПод"), QStringList({"200", "150", "125"}));
    EXPECT_EQ(values("Табл", "ПотНОбр"), QStringList({"0.5", "0.25", "0.125"}));
    EXPECT_EQ(values("Табл", "Примечание"), QStringList({"узел 'A'", "-", "конец"}));
    EXPECT_EQ(values("Табл", "Заполн_Уч"), QStringList({"*", "-", "-"}));
}

TEST_F(TableStructureTest, UserEnteredFlagDecidesVisibilityAndCaption)
{
    const struct {
        QString type;
        bool userEntered;
    } cases[] = {{"П", true}, {"П", false}, {"З", true}, {"З", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type.toStdString() << c.userEntered);
        exec("DELETE FROM Формулы WHERE НаимПокСокр='Нов'");
        addIndicator(50, "Нов", c.type, c.userEntered, "Новый показатель, ед.");
        ASSERT_TRUE(setUp());
        const bool header = c.type == "З";
        const QList<GridColumn>& columns = header ? layout.headerColumns : layout.segmentColumns;
        const auto it = std::find_if(columns.begin(), columns.end(), [](const GridColumn& g) { return g.name == "Нов"; });
        ASSERT_NE(it, columns.end());
        EXPECT_EQ(it->visible, c.userEntered);
        const QStringList& captions = header ? layout.headerCaptions : layout.segmentCaptions;
        EXPECT_EQ(captions.contains("Новый показатель, ед."), c.userEntered);
        const QString table = header ? "ВКолЗаг" : "ВКолТабл";
        EXPECT_EQ(columnNames(table, data->work()).size(), captions.size());
    }

    // No user-entered header column at all: the caption table keeps one empty column.
    exec("UPDATE Формулы SET ВводПольз=0 WHERE ТипПок='З'");
    exec("UPDATE ФлыПредопрПок SET ВводПольз=0 WHERE ТипПок='З'");
    ASSERT_TRUE(setUp());
    EXPECT_EQ(layout.headerCaptions, QStringList());
    EXPECT_EQ(columnNames("ВКолЗаг", data->work()), QStringList{"П1"});
    EXPECT_EQ(values("ВКолЗаг", "П1", data->work()), QStringList{"-"});
}

TEST_F(TableStructureTest, NodeFieldsFollowDesignModeAndNetworkType)
{
    exec("DELETE FROM Формулы WHERE ТипПок IN ('О', 'И')");
    const struct {
        int type;
        bool design, supply, available;
    } cases[] = {{0, false, true, false}, {1, false, true, true}, {0, true, false, false}, {1, true, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << c.design);
        setNetwork(c.type, c.design);
        ASSERT_TRUE(setUp());
        EXPECT_EQ(layout.supplyNodeFieldEnabled, c.supply);
        EXPECT_EQ(layout.availableNodeFieldEnabled, c.available);
    }
}

TEST_F(TableStructureTest, InvalidNetworkTypeIsRefusedWithoutChange)
{
    for (const QVariant& type : {QVariant(5), QVariant(-1), QVariant(QMetaType::fromType<int>())}) {
        SCOPED_TRACE(type.toString().toStdString());
        exec("UPDATE НазвРасч SET ТипСети=?", {type});
        exec("UPDATE Формулы SET Nпп = 100 - Nпп"); // would rebuild both tables
        dialogs.messages.clear();
        StatementLog log;
        EXPECT_FALSE(setUp());
        EXPECT_EQ(dialogs.messages, QStringList{"Тип сети указан неверно!"});
        EXPECT_EQ(log.on(calc().connectionName()), QStringList());
        EXPECT_EQ(log.on(data->work().connectionName()), QStringList());
        EXPECT_EQ(columnNames("Заг").first(), "КэШер");
        EXPECT_FALSE(progress.busy);
        EXPECT_EQ(progress.statuses.last(), "");
    }
}

TEST_F(TableStructureTest, DuplicateShortNamesAreRefusedWithNothingDropped)
{
    addSegments();
    const QString zag = currentLayout(calc(), "Заг");
    const QString tabl = currentLayout(calc(), "Табл");
    const struct {
        QString first, firstType, second, secondType;
    } cases[] = {
        {"Дубль", "П", "Дубль", "П"},
        {"dup", "П", "DUP", "О"},     // SQLite itself folds ASCII
        {"Дубль", "П", "ДУБЛЬ", "И"}, // grids look fields up folding every letter
        {"Дубль", "З", "Дубль", "П"}, // two tables, one name for formulas
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.first + " " + c.second).toStdString());
        exec("DELETE FROM Формулы WHERE Nпп >= 30");
        addIndicator(30, c.first, c.firstType);
        addIndicator(31, c.second, c.secondType);
        dialogs.messages.clear();
        StatementLog log;
        EXPECT_FALSE(setUp());
        EXPECT_EQ(dialogs.messages, QStringList{"Сокращенное наименование показателя \"" + c.second + kDuplicateHint});
        EXPECT_EQ(log.on(calc().connectionName()), QStringList());
        EXPECT_EQ(currentLayout(calc(), "Заг"), zag);
        EXPECT_EQ(currentLayout(calc(), "Табл"), tabl);
        EXPECT_EQ(values("Табл", "ДуПод"), QStringList({"200", "150", "125"}));
        EXPECT_FALSE(progress.busy);
    }
}

TEST_F(TableStructureTest, FailedRebuildLeavesThatTableAsItWasAndRestoresTheStatus)
{
    // An end-of-main row whose flag is Null cannot enter the rebuilt table.
    exec("DROP TABLE КонМаг");
    exec("CREATE TABLE КонМаг " + requiredLayoutKonMag({true, false, {}}).replace(" NOT NULL", ""));
    exec("INSERT INTO КонМаг (id_m, КонУзел, РНапЗ) VALUES (1, 4, 15)");
    exec("DELETE FROM Формулы WHERE ТипПок IN ('О', 'И')");
    setNetwork(0, false);
    data->SetCalculationDoneFlag(true);

    EXPECT_THROW(setUp(), Failure);
    EXPECT_FALSE(columnNames("Заг").contains("РНапНаУз")); // rebuilt before the failure
    EXPECT_TRUE(columnNames("КонМаг").contains("РВОбр"));
    EXPECT_EQ(values("КонМаг", "РНапЗ"), QStringList{"15"});
    EXPECT_FALSE(tableExists(calc(), "КонМаг~"));
    EXPECT_FALSE(progress.busy);
    EXPECT_EQ(progress.statuses,
              QStringList({"Настройка структуры таблиц гидравлического расчета...", "Расчет выполнен."}));

    progress.statuses.clear();
    data->SetCalculationDoneFlag(false);
    exec("DELETE FROM КонМаг");
    EXPECT_TRUE(setUp());
    EXPECT_EQ(progress.statuses.last(), "");
}

} // namespace
