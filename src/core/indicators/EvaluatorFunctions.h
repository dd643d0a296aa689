#pragma once

// The built-in functions of formulas and the evaluator's message texts (all
// without the message prefix, which the caller puts in front).

#include <QChar>
#include <QString>
#include <cstdint>

namespace zurm {
class ReferenceTables;
}

namespace zurm::evaluator {

enum class FunctionFault : std::uint8_t {
    None,
    InvalidArgument, // outside the function's domain
    NotFound,        // a look-up found no row
    RoundingRange,   // Округл: the scaled value does not fit a 64-bit integer
    OutOfRange,      // the result is not a finite double
};

// Computes function `operation` (OpPower … OpNearest) of x and y (y unused by
// one-argument functions). Kept free of message building: a replay calls it
// once per function and record.
FunctionFault computeFunction(int operation, double x, double y, ReferenceTables* reference, double& result);

// The message of a fault of computeFunction for the same arguments.
QString functionFaultMessage(int operation, FunctionFault fault, double x, double y, QChar decimalPoint);

QString syntaxErrorMessage();
QString divisionByZeroMessage();
// An operation whose result is not a finite double (overflow of + - * /, Exp,
// Степень, or an operand that already was not finite).
QString outOfRangeMessage();

} // namespace zurm::evaluator
