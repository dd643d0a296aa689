#include "indicators/Evaluator.h"

#include "indicators/EvaluatorFunctions.h"
#include "indicators/EvaluatorText.h"

#include <cmath>

namespace zurm {

using namespace evaluator;

QString messagePrefix(const EvaluationContext& context)
{
    QString prefix;
    if (context.startNode != context.endNode)
        prefix = QStringLiteral("Участок ") + QString::number(context.startNode) + QStringLiteral(" - ")
            + QString::number(context.endNode) + QStringLiteral(":\r\n");
    prefix += QStringLiteral("Ошибка при расчете показателя \"") + context.shortName + QStringLiteral("\":\r\n\r\n");
    return prefix.left(255);
}

void EvaluateExpression(EvaluationContext& context)
{
    context.errorText.clear();
    const QString prefix = messagePrefix(context);
    QByteArray& e = context.expression;
    for (Reduction step = findNextReduction(e); step.found && context.errorText.isEmpty();
         step = findNextReduction(e)) {
        int operandSlots[2] = {0, 0};
        const int operands = spanOperands(e, step.spanStart, step.spanEnd, operandSlots);
        const int sa = operandSlots[0];
        double& a = context.values[sa];
        const double b = operands > 1 ? context.values[operandSlots[1]] : 0.0;
        double value = 0;
        QString message;
        switch (step.operation) {
        case OpMinus:
            value = e.at(step.spanStart - 1) == '-' ? -a : a - b;
            break;
        case OpPlus:
            value = a + b;
            break;
        case OpMultiply:
            value = a * b;
            break;
        case OpDivide:
            if (b != 0)
                value = a / b;
            else
                message = divisionByZeroMessage();
            break;
        default: {
            const FunctionFault fault = computeFunction(step.operation, a, b, context.reference, value);
            if (fault != FunctionFault::None)
                message = functionFaultMessage(step.operation, fault, a, b, context.decimalPoint);
            break;
        }
        }
        if (message.isEmpty() && !std::isfinite(value))
            message = outOfRangeMessage();
        if (!message.isEmpty()) {
            context.errorText = prefix + message;
            break;
        }
        a = value;
        replaceReduction(e, step.spanStart, step.spanEnd, sa);
    }
    if (!context.errorText.isEmpty())
        return;
    const int slot = singleTokenSlot(e);
    if (slot == 0)
        context.errorText = prefix + syntaxErrorMessage();
    else if (!std::isfinite(context.values[slot]))
        context.errorText = prefix + outOfRangeMessage();
    else
        context.result = context.values[slot];
}

} // namespace zurm
