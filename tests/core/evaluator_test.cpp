// The text-rewriting evaluator and its compiled replay: precedence and refused
// forms, the order of reductions, built-in functions with their messages, and
// the handling of results outside the range of doubles. Every case runs through
// both evaluators (evaluator_test_support.h).

#include "core/evaluator_test_support.h"
#include "indicators/EvaluatorText.h"

#include <cmath>
#include <limits>

namespace zurm::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The next reduction of the context's prepared expression.
Reduction FindNextReduction(const EvaluationContext& context) { return evaluator::findNextReduction(context.expression); }

struct ValueCase {
    const char* expression;
    std::vector<double> values;
    double expected;
};

TEST(EvaluatorArithmetic, PrecedenceAssociativityAndUnaryMinus)
{
    const ValueCase cases[] = {
        {"{1}", {5}, 5},
        {"-{1}", {5}, -5},
        {"({1}+{2})*{3}", {1, 2, 3}, 9},
        {"{1}-{2}-{3}", {10, 3, 2}, 5},
        {"{1}/{2}/{3}", {8, 2, 2}, 2},
        {"{1}/{2}*{3}", {8, 2, 2}, 8},
        {"-{1}*{2}", {2, 3}, -6},
        {"-{1}+{2}", {2, 5}, 3},
        {"-{1}-{2}", {1, 2}, -3},
        {"{1}+{2}*{3}", {1, 2, 3}, 7},
        {"{1}-{2}*{3}-{4}", {20, 2, 3, 4}, 10},
        {"{1}-{2}/{3}*{4}", {20, 8, 2, 3}, 8},
        {"{1}*(-{2})", {2, 3}, -6},
        {"{1}-({2}-{3})", {10, 3, 2}, 9},
        {"-({1}+{2})*{3}", {1, 2, 3}, -9},
        {"(({1}+{2}))", {1, 2}, 3},
        {"((({1}+{2}))*{3})", {1, 2, 4}, 12},
        {"Степень({1}+{2};{3})", {1, 1, 3}, 8},
        {"Степень({1};-{2})", {2, 1}, 0.5},
        {"Степень(({1}-{2});{3}*{4})", {5, 3, 2, 2}, 16},
        {"{1}*Ln({2})", {3, 1}, 0},
        {"{01}+{002}", {1, 2}, 3},
        {"{001}", {7}, 7},
        {"{1}/{2}", {1, 1e-300}, 1 / 1e-300},
        {"-{1}", {0}, -0.0},
    };
    for (const ValueCase& c : cases) {
        const Outcome out = evaluateBoth(c.expression, c.values);
        EXPECT_EQ(out.error, QString()) << c.expression;
        EXPECT_EQ(out.result, c.expected) << c.expression;
    }
    EXPECT_TRUE(std::signbit(evaluateBoth("-{1}", {0}).result));
}

TEST(EvaluatorArithmetic, RefusedFormsAreSyntaxErrors)
{
    const char* refused[] = {
        "",           "({1})",       "({1})*{2}",    "{1}*-{2}",      "{1}+-{2}",         "{1}--{2}",
        "Ln(({1}))",  "{1}{2}",      "{1}({2})",     "Ln{1}",         "Foo({1})",         "{1}e{2}",
        "+{1}",       "{0}",         "{256}",        "{0001}",        "{1}+",             "Степень({1})",
        "Ln({1};{2})", "{1}+{2})",   "({1}+{2}",     "Log({1}.{2})",  "Ln()",             "{}",
        "{1}+{x}",    "{1}+{2}}",    "-{1}*-{2}",    "{1};{2}",       "Ln({1})({2})",     "{ 1}",
        "ДвнутрПоДуПоДвнутр({1})",    "ДуПоДвнутрПоДу({1})",          "Ln(",              "Ln({1}*{2})*",
    };
    for (const char* expression : refused) {
        EvaluationSetup segment;
        segment.startNode = 3;
        segment.endNode = 4;
        const Outcome out = evaluateBoth(expression, {1, 2, 3}, segment);
        EXPECT_EQ(out.error, segmentPrefix() + u8("Синтаксическая ошибка в формуле.")) << expression;
    }
}

TEST(EvaluatorArithmetic, ValueErrorsBeforeTheSyntaxErrorComeFirst)
{
    struct Case {
        const char* expression;
        std::vector<double> values;
        const char* message;
    };
    const Case cases[] = {
        {"{1}/{2}+)", {1, 0}, "Деление на ноль!"},
        {"({1})+{2}/{3}", {1, 2, 0}, "Деление на ноль!"},
        {"{1}/{2}", {1, -0.0}, "Деление на ноль!"},
        {"Ln({1})*{2}{3}", {-1, 2, 3}, "Недопустимый аргумент функции \"Ln\" (-1)."},
        // A later error is never reached.
        {"Ln({1})+{2}/{3}", {0, 1, 0}, "Недопустимый аргумент функции \"Ln\" (0)."},
        {"{1}/{2}+Ln({3})", {1, 0, 0}, "Деление на ноль!"},
        // The function call is reduced before the product and the quotient on its sides.
        {"{1}+{2}*Lg({3})/{4}", {1, 2, -1, 0}, "Недопустимый аргумент функции \"Lg\" (-1)."},
        {"Ln(-{1}*{2})", {1, 2}, "Недопустимый аргумент функции \"Ln\" (-2)."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(evaluateBoth(c.expression, c.values).error, headerPrefix() + u8(c.message)) << c.expression;
}

TEST(EvaluatorText, FindNextReductionTakesTheLeftmostReducibleOperation)
{
    struct Case {
        const char* expression;
        bool found;
        int operation, start, end;
    };
    const Case cases[] = {
        {"{1}", false, 0, 0, 0},
        {"{1}+{2}*{3}", true, 3, 5, 11},
        {"{1}*{2}+{3}", true, 3, 1, 7},
        {"-{1}*{2}", true, 3, 2, 8},
        {"-{1}+{2}", true, 1, 1, 4},
        {"(-{1})", true, 1, 2, 5},
        {"{1}-{2}", true, 1, 1, 7},
        {"Ln({1})+{2}", true, 8, 1, 7},
        {"{1}+Ln({2})", true, 8, 5, 11},
        {"LogLn({1})", true, 8, 4, 10},
        {"LLn({1})", true, 8, 2, 8},
        {"степень({1};{2})", true, 5, 1, 16},
        {"СТЕПЕНЬ({12};{255})", true, 5, 1, 19},
        {"exp({1})", true, 9, 1, 8},
        {"ДвнутрПоДр({1})", true, 19, 1, 15},
        {"двнутрмилирподр({1})", true, 17, 1, 20},
        {"ПОПРккупподуэквшер({1};{2})", true, 11, 1, 27},
        {"ДвнутрПоДуПоДвнутр({1})", false, 0, 0, 0},
        {"({1})*{2}", false, 0, 0, 0},
        {"{1}*-{2}", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        EvaluationContext context;
        context.expression = toCp1251(u8(c.expression));
        const Reduction r = FindNextReduction(context);
        EXPECT_EQ(r.found, c.found) << c.expression;
        if (!c.found)
            continue;
        EXPECT_EQ(r.operation, c.operation) << c.expression;
        EXPECT_EQ(r.spanStart, c.start) << c.expression;
        EXPECT_EQ(r.spanEnd, c.end) << c.expression;
    }
}

TEST(EvaluatorText, RedundantParenthesesGoUnlessTheyBelongToAName)
{
    // The text left after the reductions shows which parentheses were dropped.
    struct Case {
        const char* expression;
        const char* finalText;
    };
    const Case cases[] = {
        {"(({1}+{2}))*{3}", "{1}"},
        {"Ln(({1}+{2}))", "{1}"},
        {"A(({1}+{2}))", "A({1})"},
        {"я(({1}+{2}))", "я({1})"},
        {"z({1}+{2})", "z({1})"},
        // Ё, ё and other characters are not letters here.
        {"Ё(({1}+{2}))", "Ё{1}"},
        {"ё({1}+{2})", "ё{1}"},
        {"_(({1}+{2}))", "_{1}"},
        {"({1}+{2}", "({1}"},
        {"{1}+{2})", "{1})"},
        {"({1}+{2}))", "{1})"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fromCp1251(evaluateBoth(c.expression, {1, 2, 3}).finalText), u8(c.finalText)) << c.expression;
}

struct MessageCase {
    const char* expression;
    std::vector<double> values;
    const char* message; // after the prefix; empty for a value
    double expected = 0;
};

void checkMessages(const std::vector<MessageCase>& cases, const EvaluationSetup& setup = {},
                   const ReferenceTables& tables = {})
{
    const QString prefix = setup.startNode != setup.endNode ? segmentPrefix() : headerPrefix();
    for (const MessageCase& c : cases) {
        const Outcome out = evaluateBoth(c.expression, c.values, setup, tables);
        if (*c.message) {
            EXPECT_EQ(out.error, prefix + u8(c.message)) << c.expression;
        } else {
            EXPECT_EQ(out.error, QString()) << c.expression;
            EXPECT_EQ(out.result, c.expected) << c.expression;
        }
    }
}

TEST(EvaluatorFunctions, DomainsResultsAndMessages)
{
    EvaluationSetup segment;
    segment.startNode = 3;
    segment.endNode = 4;
    checkMessages(
        {
            {"Степень({1};{2})", {-8, 1.0 / 3}, "Недопустимые аргументы функции \"Степень\". (-8; 0,333333333333333)."},
            {"Степень({1};{2})", {-8, 3}, "", -512},
            {"Степень({1};{2})", {0, 0}, "Недопустимые аргументы функции \"Степень\". (0; 0)."},
            {"Степень({1};{2})", {0, -1}, "Недопустимые аргументы функции \"Степень\". (0; -1)."},
            {"Степень({1};{2})", {0, 2}, "", 0},
            {"Степень({1};{2})", {2, 0.5}, "", std::sqrt(2.0)},
            {"Log({1};{2})", {8, 2}, "", 3},
            {"Log({1};{2})", {1000, 10}, "", 3},
            {"Log({1};{2})", {8, 1}, "Недопустимые аргументы функции \"Log\" (8; 1)."},
            {"Log({1};{2})", {-8, 2}, "Недопустимые аргументы функции \"Log\" (-8; 2)."},
            {"Log({1};{2})", {8, 0}, "Недопустимые аргументы функции \"Log\" (8; 0)."},
            {"Log({1};{2})", {8, -2}, "Недопустимые аргументы функции \"Log\" (8; -2)."},
            {"Lg({1})", {1000}, "", 3},
            {"Lg({1})", {0}, "Недопустимый аргумент функции \"Lg\" (0)."},
            {"lg({1})", {-1e20}, "Недопустимый аргумент функции \"Lg\" (-1E20)."},
            {"Ln({1})", {1}, "", 0},
            {"LN({1})", {-2.5}, "Недопустимый аргумент функции \"Ln\" (-2,5)."},
            {"Exp({1})", {0}, "", 1},
            {"EXP({1})", {-1000}, "", 0},
            {"Округл({1};{2})", {2.5, 0}, "", 3},
            {"Округл({1};{2})", {-2.5, 0}, "", -3},
            {"Округл({1};{2})", {1234, -2}, "", 1200},
            {"Округл({1};{2})", {1.005, 2}, "", 1.01},
            {"Округл({1};{2})", {2.675, 2}, "", 2.68},
            {"Округл({1};{2})", {0.49999, 0}, "", 0},
            {"Округл({1};{2})", {-0.5, 0}, "", -1},
            {"Округл({1};{2})", {123.456, 10}, "", 123.456},
            {"Округл({1};{2})", {9.2e18, 0}, "", 9.2e18},
            {"Округл({1};{2})", {1, 0.5},
             "Недопустимые аргументы функции \"Округл\" (1; 0,5).\r\nВторой аргумент функции должен быть целым числом из "
             "диапазона [-10...10]."},
            {"округл({1};{2})", {1, 11},
             "Недопустимые аргументы функции \"Округл\" (1; 11).\r\nВторой аргумент функции должен быть целым числом из "
             "диапазона [-10...10]."},
            {"Округл({1};{2})", {1, -11},
             "Недопустимые аргументы функции \"Округл\" (1; -11).\r\nВторой аргумент функции должен быть целым числом из "
             "диапазона [-10...10]."},
            {"Округл({1};{2})", {1e300, 0},
             "Значение первого аргумента функции \"Округл\" (1E300; 0) слишком велико для округления."},
            {"Округл({1};{2})", {-1e19, 0},
             "Значение первого аргумента функции \"Округл\" (-1E19; 0) слишком велико для округления."},
            {"Округл({1};{2})", {1e10, 10},
             "Значение первого аргумента функции \"Округл\" (10000000000; 10) слишком велико для округления."},
        },
        segment);
}

TEST(EvaluatorFunctions, ResultsBeyondTheRangeOfDoublesAreReported)
{
    const char* outOfRange = "Результат вычисления выходит за пределы допустимого диапазона чисел.";
    checkMessages({
        {"{1}*{2}", {1e200, 1e200}, outOfRange},
        {"{1}+{2}", {1.7e308, 1.7e308}, outOfRange},
        {"{1}-{2}", {-1.7e308, 1.7e308}, outOfRange},
        {"{1}/{2}", {1e10, 1e-300}, outOfRange},
        {"Exp({1})", {1000}, outOfRange},
        {"Степень({1};{2})", {10, 400}, outOfRange},
        {"Степень({1};{2})", {1e-10, -40}, outOfRange},
        {"Степень({1};{2})", {-2, 1e300}, outOfRange},
        // A value that already is not finite never becomes a result.
        {"{1}", {kInf}, outOfRange},
        {"{1}+{2}", {kInf, 1}, outOfRange},
        {"{1}*{2}", {std::nan(""), 1}, outOfRange},
        // The overflow stops the evaluation like any other error.
        {"Exp({1})+{2}/{3}", {1000, 1, 0}, outOfRange},
        {"{1}*{2}-{3}", {1e300, 1e300, kInf}, outOfRange},
        {"Exp({1})*{2}", {700, 1e-300}, "", std::exp(700.0) * 1e-300},
    });
}

TEST(EvaluatorMessages, PrefixAndDecimalSeparator)
{
    struct Case {
        qint16 start, end;
        const char* name;
        char point;
        const char* expected;
    };
    const Case cases[] = {
        {3, 4, "Пок", ',', "Участок 3 - 4:\r\nОшибка при расчете показателя \"Пок\":\r\n\r\nНедопустимый аргумент функции \"Ln\" (-2,5)."},
        {3, 4, "Пок", '.', "Участок 3 - 4:\r\nОшибка при расчете показателя \"Пок\":\r\n\r\nНедопустимый аргумент функции \"Ln\" (-2.5)."},
        {0, 0, "Заг1", '.', "Ошибка при расчете показателя \"Заг1\":\r\n\r\nНедопустимый аргумент функции \"Ln\" (-2.5)."},
        {7, 7, "X", ',', "Ошибка при расчете показателя \"X\":\r\n\r\nНедопустимый аргумент функции \"Ln\" (-2,5)."},
        {-5, 32700, "X", ',', "Участок -5 - 32700:\r\nОшибка при расчете показателя \"X\":\r\n\r\nНедопустимый аргумент функции \"Ln\" (-2,5)."},
    };
    for (const Case& c : cases) {
        EvaluationSetup setup;
        setup.startNode = c.start;
        setup.endNode = c.end;
        setup.shortName = u8(c.name);
        setup.decimalPoint = QLatin1Char(c.point);
        EXPECT_EQ(evaluateBoth("Ln({1})", {-2.5}, setup).error, u8(c.expected));
    }

    // The prefix is cut to 255 characters before the message is appended.
    EvaluationSetup longName;
    longName.startNode = 1;
    longName.endNode = 2;
    longName.shortName = QString(300, QChar(0x0416));
    const QString prefix = (u8("Участок 1 - 2:\r\nОшибка при расчете показателя \"") + longName.shortName).left(255);
    EXPECT_EQ(evaluateBoth("{1}/{2}", {1, 0}, longName).error, prefix + u8("Деление на ноль!"));
}

TEST(EvaluatorMessages, SuccessLeavesAnEarlierErrorTextEmpty)
{
    EvaluationContext context;
    context.expression = "{1}+{2}";
    context.values[1] = 1;
    context.values[2] = 2;
    context.errorText = QStringLiteral("stale");
    EvaluateExpression(context);
    EXPECT_TRUE(context.errorText.isEmpty());
    EXPECT_EQ(context.result, 3);

    context.errorText = QStringLiteral("stale");
    context.values[1] = 1;
    context.values[2] = 2;
    FormulaTape::compile("{1}+{2}").run(context);
    EXPECT_TRUE(context.errorText.isEmpty());
    EXPECT_EQ(context.result, 3);
}

TEST(FormulaTape, CompiledOnceReplaysPerRecord)
{
    const FormulaTape tape = FormulaTape::compile("({1}+{2})*{3}/{4}");
    EXPECT_EQ(tape.reductionCount(), 3);
    EXPECT_TRUE(tape.reducesToToken());
    EXPECT_FALSE(FormulaTape::compile("({1})").reducesToToken());
    EXPECT_EQ(FormulaTape::compile("{1}").reductionCount(), 0);

    struct Record {
        std::vector<double> values;
        double result;
        const char* message;
    };
    const Record records[] = {
        {{1, 2, 3, 4}, 2.25, ""},
        {{1, 2, 3, 0}, 0, "Деление на ноль!"},
        {{-1, 1, 5, -2}, -0.0, ""},
        {{10, 20, 30, 40}, 22.5, ""},
    };
    EvaluationContext context;
    for (const Record& r : records) {
        fillContext(context, r.values, {}, nullptr);
        context.decimalPoint = QLatin1Char(',');
        tape.run(context);
        if (*r.message) {
            EXPECT_EQ(context.errorText, headerPrefix() + u8(r.message));
        } else {
            EXPECT_EQ(context.errorText, QString());
            EXPECT_EQ(context.result, r.result);
        }
    }
}

} // namespace
} // namespace zurm::test
