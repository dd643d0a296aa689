// Randomized differential test: a formula compiled once into a FormulaTape and
// replayed must give the text-rewriting evaluator's result bit for bit and its
// message character for character, for valid and broken formulas alike and for
// slot values that provoke every kind of error. The generator is seeded, so a
// failure repeats; the failing expression is printed.

#include "core/evaluator_test_support.h"

#include <cmath>
#include <limits>
#include <random>

namespace zurm::test {
namespace {

const char* const kFunctions[] = {
    "Степень",    "Log",         "Lg",          "Ln",         "Exp",
    "Округл",     "ПопрККУППоДуЭквШер",         "ДуПоДвнутр", "ДвнутрПоДу",
    "ПлВодыПоТ",  "ДвнутрБилиРПоДр",            "ДвнутрБПоДр", "ДвнутрМилиРПоДр",
    "ДвнутрМПоДр", "ДвнутрПоДр",
};
const int kArity[] = {2, 2, 1, 1, 1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1};

class ExpressionGenerator {
public:
    explicit ExpressionGenerator(std::uint64_t seed) : random_(seed) {}

    int below(int n) { return int(random_() % std::uint64_t(n)); }
    bool chance(int percent) { return below(100) < percent; }

    QString functionName()
    {
        QString name = u8(kFunctions[below(15)]);
        for (QChar& c : name)
            if (chance(30))
                c = c.isUpper() ? c.toLower() : c.toUpper();
        return name;
    }

    // A formula built from a grammar of what the evaluator accepts, with the
    // refused forms mixed in now and then.
    QString expression(int depth)
    {
        if (depth <= 0 || chance(25))
            return operand(depth);
        switch (below(6)) {
        case 0:
            return expression(depth - 1) + QLatin1Char("+-*/"[below(4)]) + expression(depth - 1);
        case 1:
            return QLatin1Char('(') + expression(depth - 1) + QLatin1Char(')');
        case 2:
            return QLatin1Char('-') + expression(depth - 1);
        case 3: {
            const int f = below(15);
            QString call = u8(kFunctions[f]);
            if (chance(50))
                call = chance(50) ? call.toUpper() : call.toLower();
            call += QLatin1Char('(');
            const int arity = chance(90) ? kArity[f] : 1 + below(3);
            for (int i = 0; i < arity; ++i)
                call += (i ? QStringLiteral(";") : QString()) + expression(depth - 1);
            return call + QLatin1Char(')');
        }
        default:
            return expression(depth - 1) + QLatin1Char("+-*/"[below(4)]) + operand(depth);
        }
    }

    // Anything at all: random pieces in random order.
    QString pieces()
    {
        QString text;
        const int count = 1 + below(30);
        for (int i = 0; i < count; ++i) {
            switch (below(12)) {
            case 0:
            case 1:
            case 2:
                text += token();
                break;
            case 3:
                text += QLatin1Char("+-*/"[below(4)]);
                break;
            case 4:
                text += QLatin1Char("();"[below(3)]);
                break;
            case 5:
                text += functionName();
                break;
            case 6:
                text += QString(QChar(u"xЁёя_.,e1{}"[below(11)]));
                break;
            case 7: {
                const char* odd[] = {"{0}", "{256}", "{01}", "{}", "{007}", "{0001}"};
                text += QLatin1String(odd[below(6)]);
                break;
            }
            default:
                text += token() + QLatin1Char("+-*/;"[below(5)]);
                break;
            }
        }
        return text;
    }

    // A formula from the grammar with one random edit.
    QString mutated()
    {
        QString text = expression(4);
        if (text.isEmpty())
            return text;
        const int at = below(int(text.size()));
        switch (below(3)) {
        case 0:
            text.remove(at, 1);
            break;
        case 1:
            text.insert(at, QChar(u"+-*/();{}xЛ"[below(11)]));
            break;
        default:
            text.insert(at, functionName());
            break;
        }
        return text;
    }

    double value()
    {
        static const double interesting[] = {
            0, -0.0, 1, -1, 2, -2, 0.5, 2.5, -2.5, 1.005, 3, -8, 1.0 / 3, 10, 25, 50, 51, 100, 112.5, 125,
            32766, 32767, 50.5, 1e-300, 1e300, -1e300, 1.7e308, 4.9e-324, 1e19, -9.2e18, 700, 710, 1000, 11, -10,
        };
        switch (below(4)) {
        case 0:
            return interesting[below(int(std::size(interesting)))];
        case 1:
            return double(below(300) - 50);
        case 2: {
            const double mantissa = double(below(2000000) - 1000000) / 1000.0;
            return std::ldexp(mantissa, below(2100) - 1050);
        }
        default:
            return double(below(200000)) / 100.0;
        }
    }

    void resetSlots() { slot_ = 0; }

private:
    QString operand(int depth)
    {
        if (depth > 0 && chance(10))
            return QLatin1Char('-') + token();
        return token();
    }
    QString token()
    {
        slot_ = slot_ < kMaxSlots ? slot_ + 1 : 1;
        return QLatin1Char('{') + QString::number(slot_) + QLatin1Char('}');
    }

    std::mt19937_64 random_;
    int slot_ = 0;
};

ReferenceTables randomTables(ExpressionGenerator& g)
{
    std::vector<DiameterRow> diameters;
    const int rows = g.below(8);
    for (int i = 0; i < rows; ++i) {
        const double nominals[] = {25, 50, 100, 100, 125, 150};
        const double internals[] = {27, 51, 100, 125, 125, 150, 200};
        diameters.push_back({g.chance(10) ? std::nullopt : std::optional<double>(nominals[g.below(6)]),
                             g.chance(15) ? std::nullopt : std::optional<double>(internals[g.below(7)])});
    }
    return ReferenceTables(std::move(diameters), {{20, 998.2}, {20, 1}, {1, 1000.66}, {100, std::nullopt}},
                           {{25, 0.5, 1.0}, {25, 0.2, 0.795}, {100, 1, 1.1}, {25, 0.5, 2}});
}

TEST(EvaluatorDifferential, TapeReplayMatchesTextRewriting)
{
    ExpressionGenerator g(20240917);
    int succeeded = 0, failed = 0;
    for (int i = 0; i < 20000; ++i) {
        g.resetSlots();
        const int kind = g.below(3);
        const QString text = kind == 0 ? g.expression(1 + g.below(5)) : kind == 1 ? g.mutated() : g.pieces();
        const QByteArray expression = toCp1251(text);
        const FormulaTape tape = FormulaTape::compile(expression);
        ReferenceTables tables = randomTables(g);
        if (g.chance(30))
            tables.nearestInternalByDesign(1);

        // One compiled tape, several records; each record's tables carry on from
        // the previous record, as in a run.
        ReferenceTables literalTables = tables;
        ReferenceTables tapeTables = tables;
        for (int record = 0; record < 4; ++record) {
            EvaluationContext literal;
            literal.shortName = QStringLiteral("Пок");
            literal.decimalPoint = g.chance(50) ? QLatin1Char(',') : QLatin1Char('.');
            if (g.chance(50)) {
                literal.startNode = qint16(g.below(100));
                literal.endNode = qint16(g.below(100));
            }
            for (int slot = 1; slot <= kMaxSlots; ++slot)
                literal.values[slot] = g.value();
            EvaluationContext replay = literal;
            literal.expression = expression;
            literal.reference = &literalTables;
            replay.reference = &tapeTables;

            EvaluateExpression(literal);
            tape.run(replay);

            ASSERT_EQ(literal.errorText, replay.errorText) << text.toStdString();
            if (literal.errorText.isEmpty()) {
                ++succeeded;
                ASSERT_EQ(0, std::memcmp(&literal.result, &replay.result, sizeof(double)))
                    << text.toStdString() << ": " << literal.result << " vs " << replay.result;
                ASSERT_TRUE(std::isfinite(literal.result)) << text.toStdString();
            } else {
                ++failed;
            }
            ASSERT_EQ(literalTables.diametersAscending(), tapeTables.diametersAscending()) << text.toStdString();
        }
    }
    // The generator must reach both outcomes often, or the comparison says little.
    EXPECT_GT(succeeded, 10000);
    EXPECT_GT(failed, 10000);
}

} // namespace
} // namespace zurm::test
