#pragma once

#include "indicators/Evaluator.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace zurm {

// A prepared expression compiled once into the sequence of reductions that
// EvaluateExpression would perform on it. Which reduction comes next depends
// only on the text, never on slot values, so the sequence is fixed at compile
// time; a replay only does the arithmetic. Replaying with a record's slot
// values gives the same result bits and the same first error as rewriting the
// text for that record: value errors (division by zero, function arguments,
// look-ups, overflow) surface in reduction order, and a text that does not
// reduce to one token is a syntax error once the reductions have run.
class FormulaTape {
public:
    FormulaTape() = default;

    // The prepared expression as Windows-1251 text (see EvaluationContext).
    static FormulaTape compile(const QByteArray& preparedExpression);

    // Evaluates with the context's slot values, node numbers, short name,
    // decimal point and reference tables. The slots are used as scratch space,
    // as EvaluateExpression does; the context's expression is not read.
    void run(EvaluationContext& context) const;

    // Number of reductions; 0 for a single token.
    int reductionCount() const { return int(steps_.size()); }
    // False when the text does not reduce to one token (a syntax error after
    // the reductions).
    bool reducesToToken() const { return resultSlot_ != 0; }

private:
    enum Code : std::uint8_t { Negate = 0, Subtract, Add, Multiply, Divide, Function };
    struct Step {
        std::uint8_t code;
        std::uint8_t operation; // operation table number, for functions
        std::uint8_t a;         // slot of the first operand, which receives the result
        std::uint8_t b;         // slot of the second operand (0 when there is none)
    };

    void fail(EvaluationContext& context, const QString& message) const;

    std::vector<Step> steps_;
    int resultSlot_ = 0;
};

} // namespace zurm
