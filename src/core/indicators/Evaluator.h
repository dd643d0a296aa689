#pragma once

#include "indicators/EvaluatorTypes.h"

#include <QString>

namespace zurm {

// The start of every evaluator message: the segment line when the start and
// end nodes differ, then the indicator line and an empty line; at most 255
// characters.
QString messagePrefix(const EvaluationContext& context);

// Rewrites the prepared expression reduction by reduction until one token is
// left. On success sets the result and leaves the error text empty; otherwise
// the error text holds the first error. This is the reference behaviour that a
// compiled FormulaTape reproduces.
void EvaluateExpression(EvaluationContext& context);

} // namespace zurm
