// Evaluating one indicator on a record: substitution of numbers and
// references, messages and their order, storing of results, and the template's
// catalogue on one segment. Every evaluation here runs both the compiled path
// and the literal substitution with the text-rewriting evaluator, and requires
// the same message, the same hook output and the same record bits.

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "document/Segments.h"
#include "indicators/IndicatorCheck.h"
#include "indicators/IndicatorEvaluation.h"
#include "indicators/ReferenceTables.h"
#include "platform/Cp1251.h"
#include "support/FakeDialogs.h"
#include "support/LiteralEvaluation.h"
#include "support/ProgramFolder.h"
#include "support/RecordWriters.h"

#include <QLocale>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace zurm::test {
namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

QString segmentStart(const char* name, int a = 3, int b = 4)
{
    return u8("Участок ") + QString::number(a) + u8(" - ") + QString::number(b) + u8(":\r\nОшибка при расчете показателя \"")
        + u8(name) + u8("\":\r\n\r\n");
}
QString headerStart(const char* name) { return u8("Ошибка при расчете показателя \"") + u8(name) + u8("\":\r\n\r\n"); }
QString notANumber(const char* run) { return u8("Значение \"") + u8(run) + u8("\" не является числом."); }
QString notFilled(const char* name) { return u8("Значение показателя \"") + u8(name) + u8("\" не заполнено."); }
const QString kTooMany = u8("Количество аргументов в формуле не должно превышать 255.");
const QString kEmpty = u8("Формула показателя должна быть заполнена.");
const QString kSyntax = u8("Синтаксическая ошибка в формуле.");

bool sameBits(const RecordValues& a, const RecordValues& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].has_value() != b[i].has_value())
            return false;
        if (a[i] && std::memcmp(&*a[i], &*b[i], sizeof(double)) != 0)
            return false;
    }
    return true;
}

struct Outcome {
    QString error;
    QString failure; // text of a thrown Failure
    QString written; // what the write-text hook received
    RecordValues values;
    bool operator==(const Outcome& o) const
    {
        return error == o.error && failure == o.failure && written == o.written && sameBits(values, o.values);
    }
};

// Both evaluation paths over the same records, each on its own copies (the
// reference tables keep the diameter order between look-ups).
class Evaluator {
public:
    RecordColumns headerColumns;
    RecordColumns segmentColumns;
    HeaderRecord header;
    SegmentRecord segment;
    ReferenceTables reference;
    bool writeText = true;

    Outcome compiled(IndicatorVariant variant, const QString& name, const QString& formula) const
    {
        const CompiledIndicator indicator = compileIndicator(name, formula, headerColumns, segmentColumns, variant);
        return run(variant, [&](HeaderRecord& h, SegmentRecord& s, const IndicatorEvaluation& e) {
            return variant == IndicatorVariant::Segment ? EvaluateSegmentIndicator(indicator, s, h, e)
                                                        : EvaluateHeaderIndicator(indicator, h, e);
        });
    }
    Outcome literal(IndicatorVariant variant, const QString& name, const QString& formula) const
    {
        return run(variant, [&](HeaderRecord& h, SegmentRecord& s, const IndicatorEvaluation& e) {
            return variant == IndicatorVariant::Segment
                ? evaluateSegmentIndicatorLiterally(name, formula, headerColumns, h, segmentColumns, s, e)
                : evaluateHeaderIndicatorLiterally(name, formula, headerColumns, h, e);
        });
    }
    // Runs both paths, requires them to agree and returns the outcome.
    Outcome both(IndicatorVariant variant, const QString& name, const QString& formula) const
    {
        const Outcome a = compiled(variant, name, formula);
        const Outcome b = literal(variant, name, formula);
        EXPECT_TRUE(a == b) << "formula " << formula.toStdString() << "\ncompiled: " << a.error.toStdString()
                            << a.failure.toStdString() << "\nliteral:  " << b.error.toStdString()
                            << b.failure.toStdString();
        return a;
    }
    Outcome segmentBoth(const char* name, const char* formula) const
    {
        return both(IndicatorVariant::Segment, u8(name), u8(formula));
    }
    // The value stored in the segment (or header) column of that name.
    std::optional<double> stored(const Outcome& o, const char* name, bool inHeader = false) const
    {
        const int column = (inHeader ? headerColumns : segmentColumns).indexOf(u8(name));
        return o.values.at(size_t(column));
    }

private:
    template <typename Step>
    Outcome run(IndicatorVariant variant, Step step) const
    {
        Outcome outcome;
        HeaderRecord h = header;
        SegmentRecord s = segment;
        ReferenceTables tables = reference;
        IndicatorEvaluation evaluation;
        evaluation.reference = &tables;
        evaluation.decimalPoint = QLatin1Char(',');
        if (writeText)
            evaluation.writeText = [&](const QString& text) { outcome.written += text; };
        try {
            outcome.error = step(h, s, evaluation);
        } catch (const Failure& failure) {
            outcome.failure = failure.className() + u8(": ") + failure.text();
        }
        outcome.values = variant == IndicatorVariant::Segment ? s.values : h.values;
        return outcome;
    }
};

Evaluator smallRecords()
{
    Evaluator e;
    e.headerColumns = RecordColumns({u8("КэШер"), u8("ДолМестПот"), u8("Зп"), u8("ЗПусто"), u8("Общ")});
    e.segmentColumns = RecordColumns({u8("id"), u8("НачУзел"), u8("КонУзел"), u8("ДлНаУчПод"), u8("РасхПод"),
                                      u8("Пок"), u8("Пок2"), u8("Пусто"), u8("Общ")});
    e.header.values = {0.5, 0.3, std::nullopt, std::nullopt, 1000.0};
    e.segment = {7, 3, 4, {7.0, 3.0, 4.0, 100.0, 50.0, std::nullopt, std::nullopt, std::nullopt, -1.0}};
    return e;
}

TEST(IndicatorEvaluation, NumbersAndReferencesInTheFormulaText)
{
    const Evaluator e = smallRecords();
    struct Case {
        const char* formula;
        std::optional<double> value;
        QString message; // after the segment's message start
    };
    const Case cases[] = {
        {"1,5 * <ДлНаУчПод>", 150.0, {}},
        {"1.5*<ДлНаУчПод>", 150.0, {}},
        {".5", 0.5, {}},
        {"5.", 5.0, {}},
        {"2 5", 25.0, {}},
        {"1 2 , 5", 12.5, {}},
        {"-3", -3.0, {}},
        {"0,1+0,2", 0.3, {}}, // stored with 15 digits, as the file keeps it
        {"<ДлНаУчПод>/<РасхПод>/<РасхПод>", 100.0 / 50.0 / 50.0, {}},
        {"1.5.2", {}, notANumber("1.5.2")},
        {".", {}, notANumber(".")},
        {"1,,5", {}, notANumber("1..5")},
        {"2*..", {}, notANumber("..")},
        {"<ДлНаУчПод>*2+1.5.2", {}, notANumber("1.5.2")},
        // The scan stops at the first error, so what comes after it is never read.
        {"<Пусто>*1.5.2", {}, notFilled("Пусто")},
        {"1.5.2*<Пусто>", {}, notANumber("1.5.2")},
        {"<Пусто>+<Нет>", {}, notFilled("Пусто")},
        // A "<" without ">" ends the text where it stands.
        {"2<ДлНаУчПод", 2.0, {}},
        {"2+<ДлНаУчПод", {}, kSyntax},
        {"1/0", {}, u8("Деление на ноль!")},
        {"1e5", {}, kSyntax},
    };
    for (const Case& c : cases) {
        const Outcome o = e.segmentBoth("Пок", c.formula);
        EXPECT_EQ(o.failure, QString()) << c.formula;
        if (c.value) {
            EXPECT_EQ(o.error, QString()) << c.formula;
            EXPECT_EQ(e.stored(o, "Пок"), c.value) << c.formula;
        } else {
            EXPECT_EQ(o.error, segmentStart("Пок") + c.message) << c.formula;
            EXPECT_EQ(e.stored(o, "Пок"), std::nullopt) << c.formula << ": nothing is stored on an error";
        }
    }

    // A name that is no column is a failure of the run, found where the scan reaches it.
    EXPECT_EQ(e.segmentBoth("Пок", "<Нет>+<Пусто>").failure, u8("SqlError: Поле \"Нет\" не найдено."));
    EXPECT_EQ(e.segmentBoth("Нет", "1").failure, u8("SqlError: Поле \"Нет\" не найдено."));
}

TEST(IndicatorEvaluation, PreparedExpressionAndOperands)
{
    const Evaluator e = smallRecords();
    using Source = CompiledIndicator::SlotSource;
    struct Case {
        IndicatorVariant variant;
        const char* formula;
        const char* prepared;
        std::vector<Source> sources;
    };
    const IndicatorVariant segment = IndicatorVariant::Segment;
    const Case cases[] = {
        {segment, "-3", "-{1}", {Source::Number}},
        {segment, "Степень(<КэШер>/1000;0,25)", "Степень({1}/{2};{3})", {Source::HeaderColumn, Source::Number, Source::Number}},
        {segment, "<Пок2>+<Пок2>", "{1}+{2}", {Source::SegmentColumn, Source::SegmentColumn}},
        {segment, "<Общ>", "{1}", {Source::HeaderColumn}}, // Заг is asked first
        {segment, "1+<x", "{1}+", {Source::Number}},
        {segment, " ", "", {}},
        {IndicatorVariant::Header, "<КэШер>+<ДлНаУчПод>", "{1}+{2}", {Source::HeaderColumn, Source::MissingColumn}},
    };
    for (const Case& c : cases) {
        const CompiledIndicator compiled =
            compileIndicator(u8("Пок"), u8(c.formula), e.headerColumns, e.segmentColumns, c.variant);
        EXPECT_EQ(compiled.preparedExpression(), toCp1251(u8(c.prepared))) << c.formula;
        std::vector<Source> sources;
        for (const auto& operand : compiled.operands())
            sources.push_back(operand.source);
        EXPECT_EQ(sources, c.sources) << c.formula;
    }
}

TEST(IndicatorEvaluation, MessageStartsOfSegmentAndHeader)
{
    Evaluator e = smallRecords();
    const auto header = [&](const char* name, const char* formula) {
        return e.both(IndicatorVariant::Header, u8(name), u8(formula));
    };
    EXPECT_EQ(e.segmentBoth("Пок", "<Пусто>*2").error,
              u8("Участок 3 - 4:\r\nОшибка при расчете показателя \"Пок\":\r\n\r\nЗначение показателя \"Пусто\" не "
                 "заполнено."));
    EXPECT_EQ(header("Зп", "<ЗПусто>*2").error, headerStart("Зп") + notFilled("ЗПусто"));
    EXPECT_EQ(header("Зп", "1.2.3").error, headerStart("Зп") + notANumber("1.2.3"));
    EXPECT_EQ(header("Зп", "").error, headerStart("Зп") + kEmpty);
    EXPECT_EQ(header("Зп", "1/0").error, headerStart("Зп") + u8("Деление на ноль!"));
    EXPECT_EQ(header("Зп", "<ДлНаУчПод>").failure, u8("SqlError: Поле \"ДлНаУчПод\" не найдено."));

    // A segment from a node to itself: the substitution's messages keep the
    // segment line, the evaluator's own leave it out.
    e.segment.startNode = 5;
    e.segment.endNode = 5;
    EXPECT_EQ(e.segmentBoth("Пок", "<Пусто>").error, segmentStart("Пок", 5, 5) + notFilled("Пусто"));
    EXPECT_EQ(e.segmentBoth("Пок", "1/0").error, headerStart("Пок") + u8("Деление на ноль!"));
}

TEST(IndicatorEvaluation, SegmentIndicatorReadsHeaderValues)
{
    const Evaluator e = smallRecords();
    const Outcome o = e.segmentBoth("Пок", "<КэШер>*<ДлНаУчПод>*(1+<ДолМестПот>)");
    EXPECT_EQ(o.error, QString());
    EXPECT_EQ(e.stored(o, "Пок"), 0.5 * 100.0 * (1 + 0.3));
    // Заг is asked first when both tables have the name.
    EXPECT_EQ(e.stored(e.segmentBoth("Пок", "<Общ>"), "Пок"), 1000.0);
    // A header value the run left empty is an error, not a zero.
    EXPECT_EQ(e.segmentBoth("Пок", "<Зп>+1").error, segmentStart("Пок") + notFilled("Зп"));
}

TEST(IndicatorEvaluation, AtMost255Operands)
{
    const Evaluator e = smallRecords();
    const auto operands = [](int count, const QString& last) {
        QStringList items(count - 1, u8("1"));
        items.append(last);
        return items.join(u8("+"));
    };
    struct Case {
        int count;
        QString last;
        std::optional<double> value;
        QString message;
    };
    const Case cases[] = {
        {255, u8("1"), 255.0, {}},
        {255, u8("<ДлНаУчПод>"), 354.0, {}},
        {256, u8("1"), {}, kTooMany},
        {256, u8("<ДлНаУчПод>"), {}, kTooMany},
        // The 256th operand is never read: neither its Null nor its missing column counts.
        {256, u8("<Пусто>"), {}, kTooMany},
        {256, u8("<Нет>"), {}, kTooMany},
        // A bad number is found before the count goes up.
        {256, u8("1.1.1"), {}, notANumber("1.1.1")},
        {255, u8("<Пусто>"), {}, notFilled("Пусто")},
    };
    for (const Case& c : cases) {
        const Outcome o = e.both(IndicatorVariant::Segment, u8("Пок"), operands(c.count, c.last));
        EXPECT_EQ(o.failure, QString()) << c.count << " " << c.last.toStdString();
        EXPECT_EQ(o.error, c.value ? QString() : segmentStart("Пок") + c.message) << c.count << c.last.toStdString();
        EXPECT_EQ(e.stored(o, "Пок"), c.value) << c.count << " " << c.last.toStdString();
    }
}

TEST(IndicatorEvaluation, WriteTextHookGetsTheFormulaAsLookedUp)
{
    Evaluator e = smallRecords();
    struct Case {
        const char* formula;
        const char* written;
    };
    const Case cases[] = {
        {"1,5 * <ДлНаУчПод>", "1,5 * <ДлНаУчПод> = "},
        {"<Пусто> + 1", "<Пусто> + 1 = "}, // written before the error is found
        {"", " = "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(e.segmentBoth("Пок", c.formula).written, u8(c.written)) << c.formula;
    EXPECT_EQ(e.both(IndicatorVariant::Header, u8("Зп"), u8("2 * 3")).written, u8("2 * 3 = "));
    e.writeText = false;
    EXPECT_EQ(e.segmentBoth("Пок", "1").written, QString());
}

TEST(IndicatorEvaluation, SegmentResultsAreStoredWith15DigitsHeaderResultsInFull)
{
    Evaluator e = smallRecords();
    const Outcome segment = e.segmentBoth("Пок", "1/3");
    EXPECT_EQ(e.stored(segment, "Пок"), 0.333333333333333);
    EXPECT_NE(e.stored(segment, "Пок"), 1.0 / 3);
    const Outcome header = e.both(IndicatorVariant::Header, u8("Зп"), u8("1/3"));
    EXPECT_EQ(e.stored(header, "Зп", true), 1.0 / 3);

    // A later indicator of the same segment sees the stored value.
    e.segment.values = segment.values;
    EXPECT_EQ(e.stored(e.segmentBoth("Пок2", "<Пок>*3"), "Пок2"), 0.999999999999999);
    e.header.values = header.values;
    EXPECT_EQ(e.stored(e.segmentBoth("Пок2", "<Зп>*3"), "Пок2"), 1.0);
}

TEST(IndicatorEvaluation, StoredSegmentValueIsTheSqlTextReadBack)
{
    // The SQL text of a float is formatGeneral15 with "."; the stored value is
    // that text read back. Random bit patterns, and decimal ties at the 16th digit.
    std::mt19937_64 random(3);
    std::vector<double> values = {-0.0, 1e-310, 0.1 + 0.2, 1234567890123455.0, 1234567890123465.0, 0.5e15 + 0.25,
                                  1.234567890123455, -0.1234567890123455, 12345.67890123455, 999999999999999.5,
                                  9.999999999999995, 1e-8, 1e22, 1e23, 99999999999999.95};
    for (int i = 0; i < 50000; ++i) {
        // The magnitudes of a network, and their neighbours.
        const double ordinary = std::pow(10.0, double(random() % 3200) / 100 - 9) * (random() % 2 ? 1 : -1);
        values.push_back(ordinary);
        values.push_back(std::nextafter(ordinary, 0.0));
        const std::uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v) && std::fabs(v) < 1e308)
            values.push_back(v);
        values.push_back(double(1000000000000000 + 5 * std::int64_t(random() % 1000000)) / double(1 << (i % 8)));
    }
    for (double v : values) {
        bool ok = false;
        const double expected = QLocale::c().toDouble(formatGeneral15(v, QLatin1Char('.')), &ok);
        ASSERT_TRUE(ok) << v;
        const double stored = valueAsStoredInSegment(v);
        ASSERT_EQ(std::memcmp(&stored, &expected, sizeof(double)), 0) << v << ": " << stored << " vs " << expected;
    }
}

// A template calculation with its reference file in a throw-away program folder.
struct IndicatorEvaluationOnTemplate : ::testing::Test {
    ProgramFolderFixture folder;
    FakeDialogs dialogs;
    FakeProgress progress;
    DataModule data{folder.programFolder()};

    void SetUp() override
    {
        data.openCalculation(folder.newCalculation());
        data.openReference(folder.program(u8("Spr.mdb")));
        data.createWorkDatabase(QString(), dialogs);
    }
    QSqlDatabase db() const { return data.calculation(); }
};

TEST_F(IndicatorEvaluationOnTemplate, SegmentResultsAsTheFileKeepsThem)
{
    execSql(db(), u8("INSERT INTO [Табл] ([id], [НачУзел], [КонУзел]) VALUES (1, 3, 4)"));
    const QList<ColumnInfo> columns = tableColumns(db(), u8("Табл"));
    const int column = [&] {
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].name == u8("ПотНПод"))
                return i;
        return -1;
    }();
    ASSERT_GE(column, 0);
    for (double value : {1.0 / 3, 2.0 / 3, 1e-7 / 3, 123456.78901234567, 1e20 / 3, -5.0 / 7, 6.514535438017498,
                         0.1 + 0.2, 999999999999999.9, 0.000012345678901234567}) {
        SegmentRowBuffer row;
        for (qsizetype i = 0; i < columns.size(); ++i)
            row.values.append(QVariant(QMetaType::fromType<double>()));
        row.values[0] = 1;
        row.values[1] = 3;
        row.values[2] = 4;
        row.values[column] = value;
        SaveCurrentSegmentRow(data, row);
        const double kept = selectValue(db(), u8("SELECT [ПотНПод] FROM [Табл]")).toDouble();
        const double emulated = valueAsStoredInSegment(value);
        EXPECT_EQ(std::memcmp(&kept, &emulated, sizeof(double)), 0) << value << ": " << kept << " vs " << emulated;
    }
}

TEST_F(IndicatorEvaluationOnTemplate, RecordsGoBackToTheFile)
{
    execSql(db(), u8("INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [Примечание]) "
                     "VALUES (1, 3, 4, 100, 'текст'), (2, 4, 5, NULL, NULL)"));
    const RecordColumns headerColumns = RecordColumns::numericColumnsOf(db(), u8("Заг"));
    const RecordColumns segmentColumns = RecordColumns::numericColumnsOf(db(), u8("Табл"));
    EXPECT_EQ(segmentColumns.indexOf(u8("Примечание")), -1);
    EXPECT_EQ(segmentColumns.indexOf(u8("длнаучпод")), -1);

    HeaderRecord header = readHeaderRecord(db(), headerColumns);
    EXPECT_EQ(header.values.at(size_t(headerColumns.indexOf(u8("КэШер")))), 0.5);
    EXPECT_EQ(header.values.at(size_t(headerColumns.indexOf(u8("МаксДлПод")))), std::nullopt);
    std::vector<SegmentRecord> segments = readSegmentRecords(db(), segmentColumns);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[1].id, 2);
    EXPECT_EQ(segments[1].startNode, 4);
    EXPECT_EQ(segments[1].endNode, 5);

    const size_t length = size_t(segmentColumns.indexOf(u8("ДлНаУчПод")));
    const size_t loss = size_t(segmentColumns.indexOf(u8("ПотНПод")));
    segments[0].values[length] = std::nullopt;
    segments[0].values[loss] = 1.0 / 3;
    segments[1].values[loss] = -2.5;
    header.values[size_t(headerColumns.indexOf(u8("МаксДлПод")))] = 1.0 / 7;
    writeSegmentRecords(db(), segmentColumns, segments);
    writeHeaderRecord(db(), headerColumns, header);

    const std::vector<SegmentRecord> reread = readSegmentRecords(db(), segmentColumns);
    ASSERT_EQ(reread.size(), 2u);
    for (size_t i = 0; i < 2; ++i)
        EXPECT_TRUE(sameBits(reread[i].values, segments[i].values)) << i;
    EXPECT_TRUE(sameBits(readHeaderRecord(db(), headerColumns).values, header.values));
    EXPECT_EQ(selectValue(db(), u8("SELECT [Примечание] FROM [Табл] WHERE [id]=1")).toString(), u8("текст"));
}

TEST_F(IndicatorEvaluationOnTemplate, FormulaLookUp)
{
    execSql(db(), u8("UPDATE [Формулы] SET [Формула]=? WHERE [НаимПокСокр]='ДвнПод'"), {u8("[to do]")});
    execSql(db(), u8("UPDATE [Формулы] SET [Формула]=? WHERE [НаимПокСокр]='ТСрПод'"),
            {QString(300, u'1')});
    // A user row of a predefined name is found before the predefined row.
    execSql(db(), u8("INSERT INTO [Формулы] VALUES (99, 'свой', 'ПотНОтИКонОбр', 'О', 0, '<ПотНОбр> [c]', 1)"));
    struct Case {
        const char* name;
        bool found;
        QString formula;
        const char* fullName;
    };
    const Case cases[] = {
        {"СкорПод", true,
         u8("<РасхПод>/3.6/<ПлВодыПод>/(3.14159265358979*Степень(<ДвнПод>/1000;2)/4)"),
         "Скорость воды в подающем трубопроводе, м./с."},
        {"ДвнПод", true, QString(), "Внутренний диаметр подающего трубопровода, мм."},
        {"ДуПод", true, QString(), "Условный диаметр подающего трубопровода, мм."},
        {"ТСрПод", true, QString(255, u'1'), "Средняя температура воды в подающем трубопроводе на участке, град. С"},
        {"ПотНОтИКонПод", true, u8("<ПотНОтИНачПод>+<ПотНПод>"),
         "Потери напора в подающем трубопроводе от источника до конечного узла участка, м."},
        {"ПотНОтИКонОбр", true, u8("<ПотНОбр> "), "свой"},
        {"скорпод", false, QString(), ""},
    };
    const IndicatorCatalogue catalogue = IndicatorCatalogue::load(db());
    for (const Case& c : cases) {
        const LookedUpFormula found = lookUpFormula(db(), u8(c.name));
        EXPECT_EQ(found.found, c.found) << c.name;
        EXPECT_EQ(found.formula, c.formula) << c.name;
        EXPECT_EQ(found.fullName, u8(c.fullName)) << c.name;
        EXPECT_EQ(lookUpFormula(catalogue, u8(c.name)).formula, c.formula) << c.name;
    }

    // A formula that is only a comment is empty.
    const Evaluator e = smallRecords();
    EXPECT_EQ(e.both(IndicatorVariant::Segment, u8("Пок"), lookUpFormula(db(), u8("ДвнПод")).formula).error,
              segmentStart("Пок") + kEmpty);
}

// Evaluates one stage's order table in ascending Nприоритета on the records,
// both ways; returns the first error.
QString evaluateStage(const QSqlDatabase& db, const QString& table, Evaluator& e, const char* expectedFirst = nullptr)
{
    QSqlQuery rows = selectSql(db, u8("SELECT [Показатель], [Nприоритета] FROM ") + quoteName(table)
                                       + u8(" ORDER BY [Nприоритета], rowid"));
    bool first = true;
    while (rows.next()) {
        if (rows.value(1).toInt() <= 0)
            continue;
        const QString name = rows.value(0).toString();
        if (first && expectedFirst) {
            EXPECT_EQ(name, u8(expectedFirst));
        }
        first = false;
        const Outcome o = e.both(IndicatorVariant::Segment, name, lookUpFormula(db, name).formula);
        if (!o.error.isEmpty() || !o.failure.isEmpty())
            return o.error + o.failure;
        e.segment.values = o.values;
    }
    return {};
}

TEST_F(IndicatorEvaluationOnTemplate, TemplateCatalogueOnOneSegment)
{
    ASSERT_TRUE(CheckIndicators(data, dialogs, progress)) << dialogs.messages.join(u8("\n")).toStdString();
    execSql(db(), u8("INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДуПод], [ДлНаУчПод], [ДлНаУчОбр], [РасхПод], "
                     "[РасхОбр], [ТВодыНачПод], [ТВодыКонПод], [ТВодыНачОбр], [ТВодыКонОбр], [ПотНОтИНачПод], "
                     "[ПотНОтИНачОбр]) VALUES (1, 3, 4, 100, 100, 100, 50, 50, 95, 85, 52, 43, 12.5, 7.25)"));
    Evaluator e;
    e.headerColumns = RecordColumns::numericColumnsOf(db(), u8("Заг"));
    e.segmentColumns = RecordColumns::numericColumnsOf(db(), u8("Табл"));
    e.header = readHeaderRecord(db(), e.headerColumns);
    e.segment = readSegmentRecords(db(), e.segmentColumns).at(0);
    e.reference = ReferenceTables::load(data.reference());

    EXPECT_EQ(evaluateStage(db(), u8("ПриорЗ"), e), QString());
    ASSERT_EQ(evaluateStage(db(), u8("ПриорП"), e, "ДвнПод"), QString());
    ASSERT_EQ(evaluateStage(db(), u8("ПриорОИ"), e, "ДуОбр"), QString());

    const auto value = [&](const char* name) {
        return e.segment.values.at(size_t(e.segmentColumns.indexOf(u8(name)))).value_or(-1);
    };
    EXPECT_EQ(value("ДвнПод"), 100);
    EXPECT_EQ(value("ТСрПод"), 90);
    EXPECT_EQ(value("ПлВодыПод"), 966);
    EXPECT_EQ(value("ТСрОбр"), 47.5);
    EXPECT_EQ(value("ПлВодыОбр"), 989.59);
    EXPECT_NEAR(value("ПотНПод"), 6.514535, 1e-6);
    EXPECT_NEAR(value("ПотНОтИКонПод"), 19.014535, 1e-6);
    EXPECT_NEAR(value("ПотНОбр"), 6.207648, 1e-6);
    EXPECT_NEAR(value("ПотНОтИКонОбр"), 13.457648, 1e-6);

    writeSegmentRecord(db(), e.segmentColumns, e.segment);
    EXPECT_TRUE(sameBits(readSegmentRecords(db(), e.segmentColumns).at(0).values, e.segment.values));
}

// ---------------------------------------------------------------- differential

std::optional<double> randomValue(std::mt19937_64& random)
{
    static const double interesting[] = {0, 1, -1, 0.5, 2, 3, 50, 90, 100, 125, 47.5, 90.4, 1e-300, 1e300, 32767,
                                         -8, 1.0 / 3};
    switch (random() % 5) {
    case 0:
        return std::nullopt;
    case 1:
        return interesting[random() % std::size(interesting)];
    case 2:
        return double(random() % 300);
    default:
        return std::uniform_real_distribution<double>(-10, 200)(random);
    }
}

void randomizeRecords(Evaluator& e, std::mt19937_64& random)
{
    for (auto& v : e.header.values)
        v = randomValue(random);
    for (auto& v : e.segment.values)
        v = randomValue(random);
    e.segment.startNode = qint16(random() % 4);
    e.segment.endNode = qint16(random() % 4);
}

TEST_F(IndicatorEvaluationOnTemplate, CatalogueFormulasAgreeWithTheLiteralEvaluation)
{
    Evaluator e;
    e.headerColumns = RecordColumns::numericColumnsOf(db(), u8("Заг"));
    e.segmentColumns = RecordColumns::numericColumnsOf(db(), u8("Табл"));
    e.header = readHeaderRecord(db(), e.headerColumns);
    e.segment.values.assign(size_t(e.segmentColumns.size()), std::nullopt);
    e.reference = ReferenceTables::load(data.reference());

    const IndicatorCatalogue catalogue = IndicatorCatalogue::load(db());
    std::vector<std::pair<QString, bool>> indicators; // name, header
    for (const IndicatorRecord& r : catalogue.user())
        indicators.emplace_back(r.shortName, r.type == u8("З"));
    indicators.emplace_back(u8("ПотНОтИКонПод"), false);
    indicators.emplace_back(u8("ПотНОтИКонОбр"), false);

    std::mt19937_64 random(20240611);
    int succeeded = 0;
    for (int round = 0; round < 300; ++round) {
        randomizeRecords(e, random);
        for (const auto& [name, inHeader] : indicators) {
            const Outcome o = e.both(inHeader ? IndicatorVariant::Header : IndicatorVariant::Segment, name,
                                     lookUpFormula(db(), name).formula);
            succeeded += o.error.isEmpty() && o.failure.isEmpty();
        }
    }
    EXPECT_GT(succeeded, 500); // the records reach the successful paths too
}

class FormulaGenerator {
public:
    explicit FormulaGenerator(std::uint64_t seed) : random_(seed) {}
    int below(int n) { return int(random_() % std::uint64_t(n)); }

    QString number()
    {
        static const char* const odd[] = {".", "..", "1.2.3", "5.", ".5", "0,5", "1 000", "007", "1,,0"};
        if (below(6) == 0)
            return u8(odd[below(int(std::size(odd)))]);
        QString digits = QString::number(below(1000));
        if (below(2))
            digits += QLatin1Char(below(2) ? '.' : ',') + QString::number(below(100));
        return digits;
    }
    QString reference()
    {
        static const char* const names[] = {"КэШер", "Зп", "ЗПусто", "Общ", "ДлНаУчПод", "РасхПод", "Пок2",
                                            "Пусто", "Нет"};
        return u8("<") + u8(names[below(int(std::size(names)))]) + u8(">");
    }
    QString operand() { return below(2) ? number() : reference(); }

    QString expression(int depth)
    {
        static const char* const functions[] = {"Степень", "Ln", "Exp", "Округл", "ДвнутрПоДу", "ПлВодыПоТ",
                                                "ДвнутрПоДр", "lg"};
        if (depth <= 0 || below(4) == 0)
            return operand();
        switch (below(5)) {
        case 0:
            return u8("(") + expression(depth - 1) + u8(")");
        case 1:
            return u8("-") + expression(depth - 1);
        case 2: {
            const int f = below(int(std::size(functions)));
            const bool two = f == 0 || f == 3;
            return u8(functions[f]) + u8("(") + expression(depth - 1)
                + (two ? u8(";") + expression(depth - 1) : QString()) + u8(")");
        }
        default:
            return expression(depth - 1) + QLatin1Char("+-*/"[below(4)]) + expression(depth - 1);
        }
    }

    QString formula()
    {
        QString text;
        if (below(20) == 0) { // around the operand limit
            QStringList items;
            for (int i = 250 + below(10); i > 0; --i)
                items.append(below(30) ? QString::number(below(9)) : operand());
            text = items.join(u8("+"));
        } else {
            text = expression(4);
        }
        // Spaces anywhere, now and then an unclosed reference or a stray character.
        for (int i = below(4); i > 0; --i)
            text.insert(below(int(text.size()) + 1), QLatin1Char(' '));
        if (below(15) == 0)
            text.insert(below(int(text.size()) + 1), u8("<ДлНа"));
        if (below(20) == 0)
            text.insert(below(int(text.size()) + 1), QLatin1Char("x?=#"[below(4)]));
        return text;
    }

private:
    std::mt19937_64 random_;
};

TEST(IndicatorEvaluation, RandomFormulasAgreeWithTheLiteralEvaluation)
{
    Evaluator e = smallRecords();
    e.reference = ReferenceTables({{100, 100}, {125, 125}, {50, 51}}, {{90, 966}, {48, 989.59}}, {});
    std::mt19937_64 random(7);
    FormulaGenerator generator(11);
    int succeeded = 0;
    int outcomes[4] = {};
    for (int round = 0; round < 4000; ++round) {
        if (round % 8 == 0)
            randomizeRecords(e, random);
        const QString formula = generator.formula();
        const bool header = round % 5 == 0;
        const Outcome o = e.both(header ? IndicatorVariant::Header : IndicatorVariant::Segment,
                                 u8(header ? "Зп" : "Пок"), formula);
        if (HasFailure()) {
            ADD_FAILURE() << "stopped at round " << round;
            return;
        }
        succeeded += o.error.isEmpty() && o.failure.isEmpty();
        ++outcomes[!o.failure.isEmpty() ? 0 : o.error.contains(u8("не заполнено")) ? 1
                   : o.error.contains(u8("не является числом")) || o.error.contains(kTooMany) ? 2 : 3];
    }
    // Every kind of outcome occurred.
    EXPECT_GT(succeeded, 100);
    for (int kind = 0; kind < 4; ++kind)
        EXPECT_GT(outcomes[kind], 50) << kind;
}

} // namespace
} // namespace zurm::test
