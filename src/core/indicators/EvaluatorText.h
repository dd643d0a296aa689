#pragma once

// The text rules shared by the text-rewriting evaluator and the formula-tape
// compiler: which reduction comes next, which slots it reads, and how the text
// looks after it. None of this depends on slot values, which is why a formula
// can be compiled once and replayed per record.

#include "indicators/EvaluatorTypes.h"

#include <QByteArray>
#include <QString>

namespace zurm::evaluator {

// Operation numbers in table order; the order decides which match is taken first.
enum Operation : int {
    OpMinus = 1,
    OpPlus,
    OpMultiply,
    OpDivide,
    OpPower,
    OpLog,
    OpLg,
    OpLn,
    OpExp,
    OpRound,
    OpCorrection,
    OpNominalByInternal,
    OpInternalByNominal,
    OpDensity,
    OpAtLeast,
    OpAbove,
    OpAtMost,
    OpBelow,
    OpNearest,
};
inline constexpr int kOperationCount = 19;

int operationArity(int operation);
// The name as the operation table spells it (function messages quote it so).
QString operationName(int operation);

// Letters for the parenthesis rule: A-Z, a-z and every byte above 191 (А-я).
bool isNameLetter(unsigned char c);

Reduction findNextReduction(const QByteArray& expression);

// Slots of the tokens inside a found span, in order. Returns their number.
int spanOperands(const QByteArray& expression, int spanStart, int spanEnd, int operandSlots[2]);

// Drops redundant parentheses around the span and replaces it by "{slot}".
void replaceReduction(QByteArray& expression, int spanStart, int spanEnd, int slot);

// The slot of an expression that is one token ({1} … {255}, at most five
// characters), or 0 when it is anything else.
int singleTokenSlot(const QByteArray& expression);

} // namespace zurm::evaluator
