// The calculation order of the indicators: dependency pairs, the rows and
// positions of ПриорЗ, ПриорП and ПриорОИ, the resolution passes and the
// messages of a stage that cannot be ordered.
#include "base/Sql.h"
#include "document/DataModule.h"
#include "indicators/CalculationOrder.h"
#include "indicators/IndicatorCheck.h"
#include "support/FakeDialogs.h"
#include "support/ProgramFolder.h"

#include <QSqlQuery>
#include <gtest/gtest.h>

#include <ostream>

using namespace zurm;
using zurm::test::FakeDialogs;
using zurm::test::FakeProgress;
using zurm::test::ProgramFolderFixture;

namespace zurm {
void PrintTo(const OrderRow& row, std::ostream* os)
{
    *os << row.indicator.toStdString() << "=" << (row.position ? std::to_string(*row.position) : "Null");
}
} // namespace zurm

namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

const QString kClosing = u8("\r\rДля исправления ошибки выполните команду:\rДанные / Параметры расчета");
const QString kUnresolved = u8("Ошибка в формулах показателей. Показатели, которые не могут быть вычислены:\r");

const QStringList kHeaderFixedOnePipe{u8("МаксГеодВысТС"), u8("МинГеодВысТС"), u8("ПНапНаУзПод"),
                                      u8("МаксДлПод"),     u8("МаксТВоды"),    u8("МинТВоды")};
const QStringList kHeaderFixedTwoPipe = kHeaderFixedOnePipe + QStringList{u8("РНапНаУз"), u8("МаксДлОбр"),
                                                                          u8("МаксСумДлПодОбр")};
const QStringList kSupplyFixed{u8("ГеодВысНач"), u8("ГеодВысКон"), u8("ПотНОтИНачПод"),
                               u8("РасхПод"),    u8("ДлНаУчПод"),  u8("ДлНачПод"),
                               u8("ДлКонПод"),   u8("ТВодыНачПод"), u8("ТВодыКонПод")};
const QStringList kReturnFixed{u8("ПотНОтИНачОбр"), u8("РасхОбр"),     u8("ДлНаУчОбр"),  u8("ДлНачОбр"),
                               u8("ДлКонОбр"),      u8("ТВодыНачОбр"), u8("ТВодыКонОбр")};

QList<OrderRow> atZero(const QStringList& names)
{
    QList<OrderRow> rows;
    for (const QString& name : names)
        rows.append({name, 0});
    return rows;
}

// Members as "name=position" ("name=" for no position).
QList<OrderRow> rowsOf(std::initializer_list<std::pair<const char*, std::optional<int>>> rows)
{
    QList<OrderRow> result;
    for (const auto& [name, position] : rows)
        result.append({u8(name), position});
    return result;
}

struct UserRow {
    const char* name;
    const char* type;
    std::optional<bool> entered; // nullopt: Null
    const char* formula = nullptr;
};

struct CalculationOrderTest : ::testing::Test {
    ProgramFolderFixture folder;
    FakeDialogs dialogs;
    FakeProgress progress;
    DataModule data{folder.programFolder()};
    IndicatorCheckResult result;

    void SetUp() override
    {
        data.openCalculation(folder.newCalculation());
        data.createWorkDatabase(QString(), dialogs);
    }
    void setNetwork(int networkType, bool designMode)
    {
        execSql(data.calculation(), u8("UPDATE [НазвРасч] SET [ТипСети]=?, [ОпрД]=?"),
                {networkType, designMode ? 1 : 0});
    }
    void setPredefinedFormula(const QString& name, const QString& formula)
    {
        execSql(data.calculation(), u8("UPDATE [ФлыПредопрПок] SET [Формула]=? WHERE [НаимПокСокр]=?"),
                {formula, name});
    }
    void setSimplePredefinedFormulas()
    {
        setPredefinedFormula(u8("ПотНОтИКонПод"), u8("<ПотНОтИНачПод>"));
        setPredefinedFormula(u8("ПотНОтИКонОбр"), u8("<ПотНОтИНачОбр>"));
    }
    void setCatalogue(const std::vector<UserRow>& rows)
    {
        Transaction transaction(data.calculation());
        execSql(data.calculation(), u8("DELETE FROM [Формулы]"));
        int npp = 1;
        for (const UserRow& row : rows) {
            execSql(data.calculation(),
                    u8("INSERT INTO [Формулы] ([Nпп], [НаимПок], [НаимПокСокр], [ТипПок], [ВводПольз], [Формула], "
                       "[ВывВОтчТабл]) VALUES (?, 'x', ?, ?, ?, ?, 1)"),
                    {npp++, u8(row.name), u8(row.type),
                     row.entered ? QVariant(*row.entered ? 1 : 0) : QVariant(QMetaType(QMetaType::Int)),
                     row.formula ? QVariant(u8(row.formula)) : QVariant(QMetaType(QMetaType::QString))});
        }
        transaction.commit();
    }
    // Формулы without the required flag on ВводПольз, as an older file may have it.
    void allowEmptyEnteredFlag()
    {
        execSql(data.calculation(), u8("DROP TABLE [Формулы]"));
        execSql(data.calculation(), u8("CREATE TABLE [Формулы] ([Nпп] smallint, [НаимПок] text, [НаимПокСокр] "
                                       "text(255), [ТипПок] text(1), [ВводПольз] bit, [Формула] text, "
                                       "[ВывВОтчТабл] bit)"));
    }
    bool check()
    {
        dialogs.messages.clear();
        return CheckIndicators(data, dialogs, progress, &result);
    }
    QList<OrderRow> table(const char* name)
    {
        QList<OrderRow> rows;
        QSqlQuery query = selectSql(data.calculation(), u8("SELECT [Показатель], [Nприоритета] FROM ")
                                                            + quoteName(u8(name)) + u8(" ORDER BY rowid"));
        while (query.next())
            rows.append({query.value(0).toString(),
                         query.value(1).isNull() ? std::nullopt : std::optional<int>(query.value(1).toInt())});
        return rows;
    }
    void putMarker(const char* name)
    {
        execSql(data.calculation(), u8("DELETE FROM ") + quoteName(u8(name)));
        execSql(data.calculation(),
                u8("INSERT INTO ") + quoteName(u8(name)) + u8(" ([Nприоритета], [Показатель]) VALUES (5, 'Marker')"));
    }
};

} // namespace

TEST(RecordDependencies, DistinctCompleteReferencesAsWritten)
{
    const struct {
        const char* formula;
        QStringList expected;
    } cases[] = {
        {"<A>+<A>*<B>", {u8("A"), u8("B")}},
        {"<a>+<A>", {u8("a"), u8("A")}},
        {"2*<A", {}},
        {"<A>+<B", {u8("A")}},
        {"<a<b>>", {u8("a<b")}},
        {"<>", {u8("")}},
        {"1+2", {}},
        {"> <Ж1>", {u8("Ж1")}},
    };
    for (const auto& c : cases) {
        IndicatorDependencies dependencies;
        RecordDependencies(dependencies, u8("N"), u8(c.formula));
        EXPECT_EQ(dependencies.of(u8("N")), c.expected) << c.formula;
        EXPECT_EQ(dependencies.pairCount(), c.expected.size()) << c.formula;
        EXPECT_EQ(dependencies.hasAny(u8("N")), !c.expected.isEmpty()) << c.formula;
    }
    IndicatorDependencies twice;
    RecordDependencies(twice, u8("N"), u8("<A>"));
    RecordDependencies(twice, u8("N"), u8("<A>+<B>"));
    RecordDependencies(twice, u8("M"), u8("<A>"));
    EXPECT_EQ(twice.pairCount(), 3);
    EXPECT_EQ(twice.of(u8("N")), QStringList({u8("A"), u8("B")}));
    EXPECT_FALSE(twice.hasAny(u8("n")));
}

// Header members; the fixed rows of a two-pipe network come first.
TEST_F(CalculationOrderTest, HeaderNumberingByPasses)
{
    const struct {
        const char* title;
        std::vector<UserRow> catalogue;
        QList<OrderRow> members;
    } cases[] = {
        {"a reference to a fixed row resolves in the first pass",
         {{"X", "З", false, "<МаксДлПод>/2"}},
         rowsOf({{"X", 1}})},
        {"formulas without references first, then pass by pass",
         {{"C", "З", false, "<B>+<A>"}, {"B", "З", false, "<A>+1"}, {"A", "З", false, "2"}},
         rowsOf({{"C", 3}, {"B", 2}, {"A", 1}})},
        {"a chain written backwards takes one pass per link",
         {{"D", "З", false, "<C>"}, {"C", "З", false, "<B>"}, {"B", "З", false, "<A>"},
          {"A", "З", false, "<МаксДлПод>"}},
         rowsOf({{"D", 4}, {"C", 3}, {"B", 2}, {"A", 1}})},
        {"a chain written forwards resolves in one pass",
         {{"A", "З", false, "<МаксДлПод>"}, {"B", "З", false, "<A>"}, {"C", "З", false, "<B>"}},
         rowsOf({{"A", 1}, {"B", 2}, {"C", 3}})},
        {"a row waiting for a later row comes after the rest of that pass",
         {{"X", "З", false, "<Y>"}, {"Y", "З", false, "<МаксДлПод>"}, {"Z", "З", false, "<Y>"}},
         rowsOf({{"X", 3}, {"Y", 1}, {"Z", 2}})},
        {"later rows of a pass see the positions given earlier in it",
         {{"P", "З", false, "<Q>"}, {"Q", "З", false, "5"}, {"R", "З", false, "<P>"}, {"S", "З", false, "<T>"},
          {"T", "З", false, "<Q>+<P>"}},
         rowsOf({{"P", 2}, {"Q", 1}, {"R", 3}, {"S", 5}, {"T", 4}})},
        {"entered values stand at 0 even with a formula; comments hide references",
         {{"E", "З", true, "<F>"}, {"F", "З", false, "<E>*2"}, {"G", "З", false, "3[<F>]"}},
         rowsOf({{"E", 0}, {"F", 2}, {"G", 1}})},
        {"other stages are not members",
         {{"H", "З", false, "<КэШер2>"}, {"S", "П", false, "<H>"}, {"КэШер2", "З", true}},
         rowsOf({{"H", 1}, {"КэШер2", 0}})},
    };
    setSimplePredefinedFormulas();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        setCatalogue(c.catalogue);
        EXPECT_TRUE(check()) << dialogs.messages.join("|").toStdString();
        EXPECT_EQ(table("ПриорЗ"), atZero(kHeaderFixedTwoPipe) + c.members);
    }
}

TEST_F(CalculationOrderTest, SupplyAndReturnStages)
{
    setSimplePredefinedFormulas();
    setPredefinedFormula(u8("ПотНОтИКонПод"), u8("<ПотНОтИНачПод>+<L>"));
    setPredefinedFormula(u8("ПотНОтИКонОбр"), u8("<ПотНОтИНачОбр>+<R>"));
    setCatalogue({
        {"H", "З", false, "<МаксДлПод>"},
        {"L", "П", false, "<S>*<H>"},         // a header value is there before the supply stage
        {"S", "п", false, "<РасхПод>+<H>"},
        {"R", "О", false, "<L>+<T2>+<H>"},    // supply and header values are there before this stage
        {"T1", "И", false, "<T2>+<R>"},       // a total referring to totals is ordered here
        {"T2", "и", false, "<РасхОбр>"},
        {"E", "О", true, "<T1>"},
    });
    ASSERT_TRUE(check()) << dialogs.messages.join("|").toStdString();
    EXPECT_EQ(table("ПриорЗ"), atZero(kHeaderFixedTwoPipe) + rowsOf({{"H", 1}}));
    EXPECT_EQ(table("ПриорП"), atZero(kSupplyFixed) + rowsOf({{"ПотНОтИКонПод", 3}, {"L", 2}, {"S", 1}}));
    EXPECT_EQ(table("ПриорОИ"),
              atZero(kReturnFixed) + rowsOf({{"ПотНОтИКонОбр", 4}, {"R", 2}, {"T1", 3}, {"T2", 1}, {"E", 0}}));
}

TEST_F(CalculationOrderTest, FixedRowsByNetworkTypeAndDesignMode)
{
    setSimplePredefinedFormulas();
    setCatalogue({{"U", "П", false, "<УПНВВПод>*2"}});
    const struct {
        int networkType;
        bool designMode;
        QList<OrderRow> header, supply, ret;
        bool valid;
    } cases[] = {
        // <УПНВВПод> is refused before any order is built: the tables keep their rows.
        {1, false, rowsOf({{"Marker", 5}}), rowsOf({{"Marker", 5}}), rowsOf({{"Marker", 5}}), false},
        {1, true, atZero(kHeaderFixedTwoPipe),
         atZero(kSupplyFixed + QStringList{u8("УПНВВПод")}) + rowsOf({{"ПотНОтИКонПод", 1}, {"U", 2}}),
         atZero(kReturnFixed + QStringList{u8("УПНВВОбр")}) + rowsOf({{"ПотНОтИКонОбр", 1}}), true},
        {0, true, atZero(kHeaderFixedOnePipe),
         atZero(kSupplyFixed + QStringList{u8("УПНВВПод")}) + rowsOf({{"ПотНОтИКонПод", 1}, {"U", 2}}),
         rowsOf({{"Marker", 5}}), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.networkType) + (c.designMode ? " ОпрД" : ""));
        putMarker("ПриорЗ");
        putMarker("ПриорП");
        putMarker("ПриорОИ");
        setNetwork(c.networkType, c.designMode);
        EXPECT_EQ(check(), c.valid);
        EXPECT_EQ(table("ПриорЗ"), c.header);
        EXPECT_EQ(table("ПриорП"), c.supply);
        EXPECT_EQ(table("ПриорОИ"), c.ret);
    }
}

TEST_F(CalculationOrderTest, RowsThatCannotBeComputed)
{
    const struct {
        const char* title;
        std::vector<UserRow> catalogue;
        const char* supplyFormula;
        QString message;
    } cases[] = {
        {"a supply reference to a return indicator never reaches the order",
         {{"S", "П", false, "<Обр1>"}, {"Обр1", "О", true}}, nullptr, {}},
        {"two header indicators referring to each other",
         {{"A", "З", false, "<B>+1"}, {"B", "З", false, "<A>*2"}}, nullptr, kUnresolved + u8("A, B.")},
        {"an indicator referring to itself", {{"A", "З", false, "<A>+1"}}, nullptr, kUnresolved + u8("A.")},
        {"every row left unresolved is named, not only the cycle",
         {{"S1", "П", false, "<S2>"}, {"S2", "П", false, "<S1>"}, {"S3", "П", false, "<S1>"},
          {"S4", "П", false, "<РасхПод>"}},
         nullptr, kUnresolved + u8("S1, S2, S3.")},
        {"the predefined formula waits for a cycle",
         {{"L", "П", false, "<M>"}, {"M", "П", false, "<L>"}}, "<ПотНОтИНачПод>+<L>",
         kUnresolved + u8("ПотНОтИКонПод, L, M.")},
        {"a return cycle", {{"R1", "О", false, "<R2>"}, {"R2", "И", false, "<R1>+<РасхОбр>"}}, nullptr,
         kUnresolved + u8("R1, R2.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        setSimplePredefinedFormulas();
        if (c.supplyFormula)
            setPredefinedFormula(u8("ПотНОтИКонПод"), u8(c.supplyFormula));
        setCatalogue(c.catalogue);
        const bool valid = check();
        if (c.message.isEmpty()) {
            EXPECT_FALSE(valid); // refused by the formula check already
            EXPECT_EQ(result.failedPhase, IndicatorCheckPhase::UserFormulas);
            continue;
        }
        EXPECT_FALSE(valid);
        EXPECT_EQ(result.failedPhase, IndicatorCheckPhase::CalculationOrder);
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_EQ(dialogs.messages[0], c.message + kClosing);
        EXPECT_FALSE(result.offendingRow.has_value());
    }
    // The failing stage's table is written with the rows left at -1.
    EXPECT_EQ(table("ПриорОИ"), atZero(kReturnFixed) + rowsOf({{"ПотНОтИКонОбр", 1}, {"R1", -1}, {"R2", -1}}));
}

TEST_F(CalculationOrderTest, EmptyEnteredFlagLeavesARowWithoutPosition)
{
    allowEmptyEnteredFlag();
    setSimplePredefinedFormulas();
    const struct {
        std::vector<UserRow> catalogue;
        QString message;
    } cases[] = {
        {{{"U", "З", std::nullopt}}, u8("Невозможно определить последовательность расчета заголовочных показателей.")},
        {{{"U", "П", std::nullopt, "<РасхПод>"}},
         u8("Невозможно определить последовательность расчета показателей подающего трубопровода.")},
        {{{"U", "И", std::nullopt}},
         u8("Невозможно определить последовательность расчета показателей обратного трубопровода и итоговых "
            "показателей.")},
        // A row without a position satisfies no reference.
        {{{"U", "З", std::nullopt}, {"V", "З", false, "<U>"}, {"W", "З", false, "1"}}, kUnresolved + u8("U, V.")},
    };
    for (const auto& c : cases) {
        setCatalogue(c.catalogue);
        EXPECT_FALSE(check());
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_EQ(dialogs.messages[0], c.message + kClosing);
    }
    EXPECT_EQ(table("ПриорЗ"),
              atZero(kHeaderFixedTwoPipe) + rowsOf({{"U", std::nullopt}, {"V", -1}, {"W", 1}}));
}

TEST_F(CalculationOrderTest, AFailedStageStopsTheLaterOnesAndKeepsTheirTables)
{
    // The delivered catalogue passes and fills all three tables.
    ASSERT_TRUE(check()) << dialogs.messages.join("|").toStdString();
    const QList<OrderRow> supply = table("ПриорП");
    const QList<OrderRow> ret = table("ПриорОИ");
    ASSERT_FALSE(supply.isEmpty());
    ASSERT_FALSE(ret.isEmpty());

    execSql(data.calculation(), u8("INSERT INTO [Формулы] ([Nпп], [НаимПокСокр], [ТипПок], [ВводПольз], [Формула], "
                                   "[ВывВОтчТабл]) VALUES (20, 'Цикл', 'З', 0, '<Цикл>', 0)"));
    EXPECT_FALSE(check());
    EXPECT_EQ(dialogs.messages, QStringList{kUnresolved + u8("Цикл.") + kClosing});
    EXPECT_EQ(table("ПриорЗ").last(), OrderRow({u8("Цикл"), -1}));
    EXPECT_EQ(table("ПриорП"), supply);
    EXPECT_EQ(table("ПриорОИ"), ret);

    execSql(data.calculation(), u8("UPDATE [Формулы] SET [ТипПок]='П' WHERE [НаимПокСокр]='Цикл'"));
    EXPECT_FALSE(check());
    EXPECT_EQ(table("ПриорЗ").last(), OrderRow({u8("ДолМестПот"), 0}));
    EXPECT_EQ(table("ПриорП").last(), OrderRow({u8("Цикл"), -1}));
    EXPECT_EQ(table("ПриорОИ"), ret);
}

TEST_F(CalculationOrderTest, DeliveredCatalogue)
{
    ASSERT_TRUE(check()) << dialogs.messages.join("|").toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(table("ПриорЗ"), atZero(kHeaderFixedTwoPipe) + rowsOf({{"КэШер", 0}, {"ДолМестПот", 0}}));
    EXPECT_EQ(table("ПриорП"), atZero(kSupplyFixed) + rowsOf({{"ПотНОтИКонПод", 7},
                                                                {"ДуПод", 0},
                                                                {"ДвнПод", 1},
                                                                {"ТСрПод", 2},
                                                                {"ПлВодыПод", 3},
                                                                {"СкорПод", 4},
                                                                {"УдПотДПод", 5},
                                                                {"ПотНПод", 6}}));
    EXPECT_EQ(table("ПриорОИ"), atZero(kReturnFixed) + rowsOf({{"ПотНОтИКонОбр", 8},
                                                                 {"ДуОбр", 1},
                                                                 {"ДвнОбр", 2},
                                                                 {"ТСрОбр", 3},
                                                                 {"ПлВодыОбр", 4},
                                                                 {"СкорОбр", 5},
                                                                 {"УдПотДОбр", 6},
                                                                 {"ПотНОбр", 7}}));

    // What the run relies on, for every stage: each computed formula's same-stage
    // references come earlier or are available from the start.
    const IndicatorCatalogue catalogue = IndicatorCatalogue::load(data.calculation());
    for (const char* name : {"ПриорЗ", "ПриорП", "ПриорОИ"}) {
        QHash<QString, int> position;
        for (const OrderRow& row : table(name))
            position.insert(row.indicator, *row.position);
        for (const OrderRow& row : table(name)) {
            if (*row.position <= 0)
                continue;
            const IndicatorCatalogue::Found found = catalogue.find(row.indicator);
            ASSERT_TRUE(found);
            IndicatorDependencies dependencies;
            RecordDependencies(dependencies, row.indicator, StripFormulaComments(found.record->formula));
            for (const QString& reference : dependencies.of(row.indicator)) {
                if (position.contains(reference)) {
                    EXPECT_LT(position[reference], *row.position)
                        << name << ": " << row.indicator.toStdString() << " uses " << reference.toStdString();
                }
            }
        }
    }

    // A one-pipe network orders the header and supply stages only.
    putMarker("ПриорОИ");
    execSql(data.calculation(), u8("DELETE FROM [Формулы] WHERE [ТипПок] IN ('О', 'И')"));
    setNetwork(0, false);
    ASSERT_TRUE(check()) << dialogs.messages.join("|").toStdString();
    EXPECT_EQ(table("ПриорЗ"), atZero(kHeaderFixedOnePipe) + rowsOf({{"КэШер", 0}, {"ДолМестПот", 0}}));
    EXPECT_EQ(table("ПриорП").size(), kSupplyFixed.size() + 8);
    EXPECT_EQ(table("ПриорОИ"), rowsOf({{"Marker", 5}}));
}
