// Reference look-ups: exact keys with duplicates and empty fields, the design-
// diameter searches, the nearest rule, the table order that ДвнутрПоДр leaves
// behind, and reading the tables from a reference file.

#include "core/evaluator_test_support.h"

#include "base/Failure.h"
#include "base/Sql.h"

#include <QFile>

#include <QSqlDatabase>
#include <QSqlError>
#include <QTemporaryDir>

namespace zurm::test {
namespace {

struct Case {
    const char* expression;
    std::vector<double> values;
    const char* message; // after the prefix; empty for a value
    double expected = 0;
};

void check(const ReferenceTables& tables, const std::vector<Case>& cases, QChar point = QLatin1Char(','))
{
    EvaluationSetup setup;
    setup.decimalPoint = point;
    for (const Case& c : cases) {
        const Outcome out = evaluateBoth(c.expression, c.values, setup, tables);
        if (*c.message) {
            EXPECT_EQ(out.error, headerPrefix() + u8(c.message)) << c.expression;
        } else {
            EXPECT_EQ(out.error, QString()) << c.expression;
            EXPECT_EQ(out.result, c.expected) << c.expression;
        }
    }
}

// Unsorted on purpose: two rows share УслДиамТрПр 100, two share
// ВнутрДиамТрПр 125, and one row has no internal diameter.
ReferenceTables sampleTables()
{
    return ReferenceTables(
        {{100, 125}, {100, 100}, {50, 51}, {80, std::nullopt}, {125, 125}, {150, 150}, {std::nullopt, 200}},
        {{20, 998.2}, {20, 111}, {70, 977.8}, {90, std::nullopt}},
        {{25, 0.5, 1.0}, {25, 0.2, 0.8}, {25, 0.5, 7.0}, {32, 0, 0.6}, {40, 1, std::nullopt}});
}

TEST(ReferenceTables, ExactLookupsTakeTheFirstRowInTableOrder)
{
    check(sampleTables(), {
        {"ДвнутрПоДу({1})", {100}, "", 125},
        {"ДвнутрПоДу({1})", {50}, "", 51},
        {"ДвнутрПоДу({1})", {80}, "", 0}, // an empty field reads as 0
        {"ДуПоДвнутр({1})", {125}, "", 100},
        {"ДуПоДвнутр({1})", {200}, "", 0},
        {"дупоДВНУТР({1})", {51}, "", 50},
        {"ПлВодыПоТ({1})", {20}, "", 998.2},
        {"ПлВодыПоТ({1})", {90}, "", 0},
        {"ПопрККУППоДуЭквШер({1};{2})", {25, 0.5}, "", 1.0},
        {"ПопрККУППоДуЭквШер({1};{2})", {25, 0.2}, "", 0.8},
        {"ПопрККУППоДуЭквШер({1};{2})", {32, -0.0}, "", 0.6},
        {"ПопрККУППоДуЭквШер({1};{2})", {40, 1}, "", 0},
        {"ДвнутрПоДу({1})", {32766}, "Ошибка при вычислении функции \"ДвнутрПоДу\":\r\nНе найдено значение внутреннего "
                                     "диаметра трубопровода для\r\nУсловный диаметр трубопровода = 32766 мм."},
        {"ДуПоДвнутр({1})", {33}, "Ошибка при вычислении функции \"ДуПоДвнутр\":\r\nНе найдено значение условного "
                                  "диаметра трубопровода для\r\nВнутренний диаметр трубопровода = 33 мм."},
        {"ПлВодыПоТ({1})", {300}, "Ошибка при вычислении функции \"ПлВодыПоТ\":\r\nНе найдено значение плотности воды "
                                  "для\r\nТемпература воды = 300 град. С."},
        {"ПопрККУППоДуЭквШер({1};{2})", {25, 0.7},
         "Ошибка при вычислении функции \"ПопрККУППоДуЭквШер\":\r\nНе найдено значение коэффициента для\r\nУсловный "
         "диаметр трубопровода = 25 мм.\r\nЭквивалентная шероховатость = 0,7 мм."},
    });
}

TEST(ReferenceTables, ExactLookupArgumentsMustBeSmallPositiveIntegers)
{
    const char* tail = " не является целым числом из диапазона (0..32767).";
    struct Arg {
        const char* expression;
        const char* function;
        const char* argument;
        double x;
        const char* shown;
    };
    const Arg args[] = {
        {"ДуПоДвнутр({1})", "ДуПоДвнутр", "Внутренний диаметр трубопровода = ", 32767, "32767"},
        {"ДуПоДвнутр({1})", "ДуПоДвнутр", "Внутренний диаметр трубопровода = ", 50.5, "50,5"},
        {"ДуПоДвнутр({1})", "ДуПоДвнутр", "Внутренний диаметр трубопровода = ", 0, "0"},
        {"ДвнутрПоДу({1})", "ДвнутрПоДу", "Условный диаметр трубопровода = ", -100, "-100"},
        {"ДвнутрПоДу({1})", "ДвнутрПоДу", "Условный диаметр трубопровода = ", 65636, "65636"},
        {"плводыпот({1})", "ПлВодыПоТ", "Температура воды = ", 20.000001, "20,000001"},
        {"ПопрККУППоДуЭквШер({1};{2})", "ПопрККУППоДуЭквШер", "Условный диаметр трубопровода = ", 1e20, "1E20"},
    };
    for (const Arg& a : args) {
        const QString expected = headerPrefix() + u8("Недопустимый аргумент функции \"") + u8(a.function)
            + u8("\":\r\n") + u8(a.argument) + u8(a.shown) + u8(tail);
        EXPECT_EQ(evaluateBoth(a.expression, {a.x, 0.5}, {}, sampleTables()).error, expected) << a.expression;
    }
    // The second argument of the coefficient look-up is not checked.
    check(sampleTables(), {{"ПопрККУППоДуЭквШер({1};{2})", {25, 1e300},
                            "Ошибка при вычислении функции \"ПопрККУППоДуЭквШер\":\r\nНе найдено значение коэффициента "
                            "для\r\nУсловный диаметр трубопровода = 25 мм.\r\nЭквивалентная шероховатость = 1E300 мм."}});
}

TEST(ReferenceTables, DesignDiameterSearches)
{
    const char* notFound = "Ошибка при вычислении функции \"%1\":\r\nНе найдено значение внутреннего диаметра "
                           "трубопровода для\r\nРасчетный диаметр трубопровода = %2 мм.";
    const char* invalid = "Недопустимый аргумент функции \"%1\":\r\nРасчетный диаметр труборовода должен быть "
                          "положительным числом.";
    const auto msg = [](const char* pattern, const char* f, const char* x = "") {
        static std::string keep[16];
        static int next = 0;
        std::string& slot = keep[next++ % 16];
        slot = u8(pattern).arg(u8(f), u8(x)).toStdString();
        return slot.c_str();
    };
    check(sampleTables(), {
        {"ДвнутрБилиРПоДр({1})", {100}, "", 100},
        {"ДвнутрБилиРПоДр({1})", {100.5}, "", 125},
        {"ДвнутрБилиРПоДр({1})", {0.1}, "", 51},
        {"ДвнутрБПоДр({1})", {100}, "", 125},
        {"ДвнутрБПоДр({1})", {125}, "", 150},
        {"ДвнутрМилиРПоДр({1})", {100}, "", 100},
        {"ДвнутрМилиРПоДр({1})", {1e6}, "", 200},
        {"ДвнутрМПоДр({1})", {100}, "", 51},
        {"ДвнутрМПоДр({1})", {51.0001}, "", 51},
        {"ДвнутрБилиРПоДр({1})", {200.5}, msg(notFound, "ДвнутрБилиРПоДр", "200,5")},
        {"двнутрбподр({1})", {200}, msg(notFound, "ДвнутрБПоДр", "200")},
        {"ДвнутрМилиРПоДр({1})", {50}, msg(notFound, "ДвнутрМилиРПоДр", "50")},
        {"ДвнутрМПоДр({1})", {51}, msg(notFound, "ДвнутрМПоДр", "51")},
        {"ДвнутрБПоДр({1})", {0}, msg(invalid, "ДвнутрБПоДр")},
        {"ДвнутрМПоДр({1})", {-5}, msg(invalid, "ДвнутрМПоДр")},
        {"ДвнутрПоДр({1})", {0}, msg(invalid, "ДвнутрПоДр")},
    });
    check(ReferenceTables({{100, 100}, {125, 125}}, {}, {}), {
        {"ДвнутрПоДр({1})", {112.5}, "", 125},
        {"ДвнутрПоДр({1})", {112.4}, "", 100},
        {"ДвнутрПоДр({1})", {90}, "", 100},
        {"ДвнутрПоДр({1})", {130}, "", 125},
        {"ДвнутрПоДр({1})", {125}, "", 125},
        {"ДвнутрПоДр({1})", {100}, "", 100},
    });
    // Rows without an internal diameter take no part; with none left there is nothing to find.
    check(ReferenceTables({{100, std::nullopt}, {125, 125}}, {}, {}), {{"ДвнутрПоДр({1})", {1}, "", 125}});
    check(ReferenceTables({{100, std::nullopt}}, {}, {}), {{"ДвнутрПоДр({1})", {7}, msg(notFound, "ДвнутрПоДр", "7")}});
}

TEST(ReferenceTables, NearestSearchLeavesTheDiametersAscendingUntilADirectionalOne)
{
    // ДвнутрПоДу(100) gives 125 in table order but 100 once the table is sorted
    // ascending by the internal diameter.
    const ReferenceTables tables = sampleTables();
    check(tables, {
        {"ДвнутрПоДу({1})+ДвнутрПоДр({2})", {100, 1}, "", 125 + 51},
        {"ДвнутрПоДр({2})+ДвнутрПоДу({1})", {100, 1}, "", 51 + 100},
        {"ДвнутрПоДр({2})+ДвнутрБПоДр({3})+ДвнутрПоДу({1})", {100, 1, 1}, "", 51 + 51 + 125},
        {"ДвнутрПоДр({2})+ДвнутрБПоДр({3})+ДвнутрПоДу({1})", {100, 1, -1},
         "Недопустимый аргумент функции \"ДвнутрБПоДр\":\r\nРасчетный диаметр труборовода должен быть положительным "
         "числом."},
        // The innermost call goes first: ДвнутрПоДр inside the argument sorts the table.
        {"ДвнутрПоДу(ДвнутрПоДр({1})-{2})", {120, 25}, "", 100},
    });

    // The order persists from one evaluation to the next of the same run.
    ReferenceTables run = sampleTables();
    EvaluationContext context;
    context.reference = &run;
    const FormulaTape nearest = FormulaTape::compile(toCp1251(u8("ДвнутрПоДр({1})")));
    const FormulaTape nominal = FormulaTape::compile(toCp1251(u8("ДвнутрПоДу({1})")));
    const FormulaTape above = FormulaTape::compile(toCp1251(u8("ДвнутрБилиРПоДр({1})")));
    const struct {
        const FormulaTape* tape;
        double x;
        double expected;
        bool ascendingAfter;
    } steps[] = {
        {&nominal, 100, 125, false}, {&nearest, 60, 51, true},   {&nominal, 100, 100, true},
        {&above, -1, 0, true},       {&nominal, 100, 100, true}, {&above, 60, 100, false},
        {&nominal, 100, 125, false},
    };
    for (const auto& step : steps) {
        context.values[1] = step.x;
        step.tape->run(context);
        if (step.expected != 0) {
            EXPECT_EQ(context.result, step.expected);
        }
        EXPECT_EQ(run.diametersAscending(), step.ascendingAfter);
    }
}

TEST(ReferenceTables, LookupsWithoutReferenceTablesAreAFailure)
{
    EvaluationContext context;
    context.expression = toCp1251(u8("ДвнутрПоДу({1})"));
    context.values[1] = 100;
    EXPECT_THROW(EvaluateExpression(context), Failure);
    EXPECT_THROW(FormulaTape::compile(toCp1251(u8("ДвнутрПоДу({1})"))).run(context), Failure);
}

TEST(ReferenceTables, LoadedFromAReferenceFileInRowOrder)
{
    QTemporaryDir dir;
    const QString name = QStringLiteral("reference-tables-test");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dir.filePath(QStringLiteral("Spr.mdb")));
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        for (const char* sql : {
                 "CREATE TABLE [ДиамТрПр] ([УслДиамТрПр] smallint, [ВнутрДиамТрПр] smallint)",
                 "INSERT INTO [ДиамТрПр] VALUES (100, 125), (100, 100), (80, NULL), (NULL, 70), (65, 70)",
                 "CREATE TABLE [ПлВодыОтТ] ([Т] smallint, [Плотность] float)",
                 "INSERT INTO [ПлВодыОтТ] VALUES (20, 998.2), (20, 1), (30, NULL)",
                 "CREATE TABLE [ПопрКоэфКУдПот] ([УслДиамТрПр] smallint, [ЭквШер] float, [Коэф] float)",
                 "INSERT INTO [ПопрКоэфКУдПот] VALUES (25, 0.5, 1.0), (25, 0.5, 2.0), (25, 0.2, 0.795)",
                 // A deleted and re-added row goes to the end of the table order.
                 "DELETE FROM [ДиамТрПр] WHERE [ВнутрДиамТрПр] = 125",
                 "INSERT INTO [ДиамТрПр] VALUES (100, 125)",
             })
            execSql(db, u8(sql));
        const ReferenceTables tables = ReferenceTables::load(db);
        check(tables, {
            {"ДвнутрПоДу({1})", {100}, "", 100},
            {"ДвнутрПоДу({1})", {80}, "", 0},
            {"ДуПоДвнутр({1})", {70}, "", 0},
            {"ДвнутрМилиРПоДр({1})", {124}, "", 100},
            {"ДвнутрПоДр({1})", {1}, "", 70},
            {"ПлВодыПоТ({1})", {20}, "", 998.2},
            {"ПлВодыПоТ({1})", {30}, "", 0},
            {"ПопрККУППоДуЭквШер({1};{2})", {25, 0.5}, "", 1.0},
        });
    }
    QSqlDatabase::removeDatabase(name);

    // The delivered reference file.
    const QString delivered = QStringLiteral("reference-tables-delivered");
    {
        QTemporaryDir copyDir;
        const QString path = copyDir.filePath(QStringLiteral("Spr.mdb"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/Spr.mdb"), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), delivered);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        check(ReferenceTables::load(db), {
            {"ПлВодыПоТ({1})", {20}, "", 998.89},
            {"ДвнутрПоДу({1})", {100}, "", 100},
            {"ДвнутрПоДу({1})", {1400}, "", 1388},
            {"ПопрККУППоДуЭквШер({1};{2})", {25, 0.5}, "", 1.0},
            {"ДвнутрПоДр({1})", {1300}, "", 1388},
        });
    }
    QSqlDatabase::removeDatabase(delivered);
}

} // namespace
} // namespace zurm::test
