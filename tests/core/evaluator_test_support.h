#pragma once

// Runs a prepared expression through both evaluators: the text-rewriting
// EvaluateExpression and a compiled FormulaTape. Every table test of the
// evaluator checks that the two agree bit for bit before it looks at the value.

#include "indicators/Evaluator.h"
#include "indicators/FormulaTape.h"
#include "indicators/ReferenceTables.h"
#include "platform/Cp1251.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <ostream>
#include <vector>

static inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace zurm::test {

inline QString u8(const char* text) { return QString::fromUtf8(text); }

struct Outcome {
    double result = 0;
    QString error;
    QByteArray finalText; // the literal evaluator's expression afterwards
};

struct EvaluationSetup {
    QString shortName = QStringLiteral("Пок");
    qint16 startNode = 0;
    qint16 endNode = 0;
    QChar decimalPoint = QLatin1Char(',');
};

inline void fillContext(EvaluationContext& c, const std::vector<double>& values, const EvaluationSetup& setup,
                        ReferenceTables* reference)
{
    for (size_t i = 0; i < values.size(); ++i)
        c.values[i + 1] = values[i];
    c.shortName = setup.shortName;
    c.startNode = setup.startNode;
    c.endNode = setup.endNode;
    c.decimalPoint = setup.decimalPoint;
    c.reference = reference;
}

// The two evaluators get separate copies of the reference tables, since a
// look-up may change a table's current order.
inline Outcome evaluateBoth(const QByteArray& expression, const std::vector<double>& values,
                            const EvaluationSetup& setup = {}, const ReferenceTables& reference = {})
{
    ReferenceTables literalTables = reference;
    ReferenceTables tapeTables = reference;
    EvaluationContext literal;
    fillContext(literal, values, setup, &literalTables);
    literal.expression = expression;
    EvaluateExpression(literal);

    EvaluationContext replay;
    fillContext(replay, values, setup, &tapeTables);
    FormulaTape::compile(expression).run(replay);

    EXPECT_EQ(literal.errorText, replay.errorText) << expression.toStdString();
    if (literal.errorText.isEmpty() && replay.errorText.isEmpty()) {
        EXPECT_EQ(0, std::memcmp(&literal.result, &replay.result, sizeof(double)))
            << expression.toStdString() << ": " << literal.result << " vs " << replay.result;
    }
    EXPECT_EQ(literalTables.diametersAscending(), tapeTables.diametersAscending());
    return {literal.result, literal.errorText, literal.expression};
}

inline Outcome evaluateBoth(const char* expression, const std::vector<double>& values,
                            const EvaluationSetup& setup = {}, const ReferenceTables& reference = {})
{
    return evaluateBoth(toCp1251(u8(expression)), values, setup, reference);
}

// The message start of an indicator "Пок" on segment 3 - 4 and in the header.
inline QString segmentPrefix() { return u8("Участок 3 - 4:\r\nОшибка при расчете показателя \"Пок\":\r\n\r\n"); }
inline QString headerPrefix() { return u8("Ошибка при расчете показателя \"Пок\":\r\n\r\n"); }

} // namespace zurm::test
