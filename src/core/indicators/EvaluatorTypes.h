#pragma once

// What the text-rewriting evaluator, the text rules and the formula tape share:
// the slots of one evaluation and the shape of one reduction.

#include "platform/NumberText.h"

#include <QByteArray>
#include <QString>
#include <array>

namespace zurm {

class ReferenceTables;

// Slots of the argument table are numbered 1..255; slot 0 is never used.
inline constexpr int kMaxSlots = 255;

// One evaluation of a prepared expression: filled by the indicator evaluation,
// read back for the result or the message.
struct EvaluationContext {
    // The prepared expression as single-byte Windows-1251 text: tokens {n},
    // operators, parentheses, ";" and function names. The text-rewriting
    // evaluator rewrites it in place; the formula tape never reads it.
    QByteArray expression;
    std::array<double, kMaxSlots + 1> values {};
    QString shortName;
    qint16 startNode = 0;
    qint16 endNode = 0;
    double result = 0;
    // Empty while no error; otherwise one complete message.
    QString errorText;
    // Decimal separator of the numbers quoted in messages: the user's.
    QChar decimalPoint = userDecimalPoint();
    // The run's reference tables; only the look-up functions need them.
    ReferenceTables* reference = nullptr;
};

// The next reduction of a prepared expression. Positions are 1-based and
// inclusive; the operation is its number in the operation table (1 "-" …
// 19 "ДвнутрПоДр").
struct Reduction {
    bool found = false;
    int operation = 0;
    int spanStart = 0;
    int spanEnd = 0;
};

} // namespace zurm
