#include "indicators/FormulaTape.h"

#include "indicators/EvaluatorFunctions.h"
#include "indicators/EvaluatorText.h"

#include <cmath>

namespace zurm {

using namespace evaluator;

FormulaTape FormulaTape::compile(const QByteArray& preparedExpression)
{
    FormulaTape tape;
    QByteArray e = preparedExpression;
    for (Reduction step = findNextReduction(e); step.found; step = findNextReduction(e)) {
        int operandSlots[2] = {0, 0};
        spanOperands(e, step.spanStart, step.spanEnd, operandSlots);
        Step s {};
        s.operation = std::uint8_t(step.operation);
        s.a = std::uint8_t(operandSlots[0]);
        s.b = std::uint8_t(operandSlots[1]);
        switch (step.operation) {
        case OpMinus:
            s.code = e.at(step.spanStart - 1) == '-' ? Negate : Subtract;
            break;
        case OpPlus:
            s.code = Add;
            break;
        case OpMultiply:
            s.code = Multiply;
            break;
        case OpDivide:
            s.code = Divide;
            break;
        default:
            s.code = Function;
            break;
        }
        tape.steps_.push_back(s);
        replaceReduction(e, step.spanStart, step.spanEnd, operandSlots[0]);
    }
    tape.resultSlot_ = singleTokenSlot(e);
    return tape;
}

void FormulaTape::fail(EvaluationContext& context, const QString& message) const
{
    context.errorText = messagePrefix(context) + message;
}

void FormulaTape::run(EvaluationContext& context) const
{
    context.errorText.clear();
    double* v = context.values.data();
    for (const Step& s : steps_) {
        double r;
        switch (s.code) {
        case Negate:
            r = -v[s.a];
            break;
        case Subtract:
            r = v[s.a] - v[s.b];
            break;
        case Add:
            r = v[s.a] + v[s.b];
            break;
        case Multiply:
            r = v[s.a] * v[s.b];
            break;
        case Divide:
            if (v[s.b] == 0) {
                fail(context, divisionByZeroMessage());
                return;
            }
            r = v[s.a] / v[s.b];
            break;
        default: {
            const FunctionFault fault = computeFunction(s.operation, v[s.a], v[s.b], context.reference, r);
            if (fault != FunctionFault::None) [[unlikely]] {
                fail(context, functionFaultMessage(s.operation, fault, v[s.a], v[s.b], context.decimalPoint));
                return;
            }
            break;
        }
        }
        if (!std::isfinite(r)) [[unlikely]] {
            fail(context, outOfRangeMessage());
            return;
        }
        v[s.a] = r;
    }
    if (resultSlot_ == 0)
        fail(context, syntaxErrorMessage());
    else if (!std::isfinite(v[resultSlot_]))
        fail(context, outOfRangeMessage());
    else
        context.result = v[resultSlot_];
}

} // namespace zurm
