#include "indicators/EvaluatorFunctions.h"

#include "base/Failure.h"
#include "indicators/EvaluatorText.h"
#include "indicators/ReferenceTables.h"
#include "platform/NumberText.h"

#include <cmath>

namespace zurm::evaluator {

namespace {

QString u(const char* text) { return QString::fromUtf8(text); }

bool isInteger(double v) { return v == std::trunc(v); }

// 10 to the power -y for the admissible y = -10 … 10, in extended precision.
struct RoundingSteps {
    long double q[21];
    RoundingSteps()
    {
        for (int y = -10; y <= 10; ++y)
            q[y + 10] = std::pow(10.0L, -static_cast<long double>(y));
    }
};
const RoundingSteps kRoundingSteps;

// x rounded to `digits` places after the point, halves away from zero; false
// when the scaled value does not fit the 64-bit integer it is truncated to.
bool roundToDigits(double x, double digits, double& result)
{
    const long double q = kRoundingSteps.q[static_cast<int>(digits) + 10];
    // The extra 1e-10 lifts values that the binary representation puts a hair
    // below a half (1.005 / 0.01 = 100.49999…) over it.
    const long double scaled = x >= 0 ? static_cast<long double>(x) / q + 0.5000000001L
                                      : static_cast<long double>(x) / q - 0.5000000001L;
    const long double whole = std::trunc(scaled);
    if (!(whole >= -0x1p63L && whole < 0x1p63L))
        return false;
    // Within that range extended precision holds every integer exactly, so the
    // truncated value equals its 64-bit integer and needs no conversion.
    result = static_cast<double>(whole * q);
    return true;
}

ReferenceTables& tables(ReferenceTables* reference)
{
    if (!reference)
        throw Failure(QStringLiteral("EvaluatorError"), u("Справочные таблицы не загружены."));
    return *reference;
}

FunctionFault fromLookup(const Lookup& found, double& result)
{
    if (found.status == LookupStatus::InvalidArgument)
        return FunctionFault::InvalidArgument;
    if (found.status == LookupStatus::NotFound)
        return FunctionFault::NotFound;
    result = found.value;
    return FunctionFault::None;
}

struct ExactLookupTexts {
    const char* argument; // what x is
    const char* notFound;
    const char* unit;
};

ExactLookupTexts exactTexts(int operation)
{
    switch (operation) {
    case OpCorrection:
        return {"Условный диаметр трубопровода = ", "Не найдено значение коэффициента для", " мм."};
    case OpNominalByInternal:
        return {"Внутренний диаметр трубопровода = ", "Не найдено значение условного диаметра трубопровода для",
                " мм."};
    case OpInternalByNominal:
        return {"Условный диаметр трубопровода = ", "Не найдено значение внутреннего диаметра трубопровода для",
                " мм."};
    default:
        return {"Температура воды = ", "Не найдено значение плотности воды для", " град. С."};
    }
}

} // namespace

QString syntaxErrorMessage() { return u("Синтаксическая ошибка в формуле."); }

QString divisionByZeroMessage() { return u("Деление на ноль!"); }

QString outOfRangeMessage() { return u("Результат вычисления выходит за пределы допустимого диапазона чисел."); }

FunctionFault computeFunction(int operation, double x, double y, ReferenceTables* reference, double& result)
{
    using Direction = ReferenceTables::Direction;
    FunctionFault fault = FunctionFault::None;
    switch (operation) {
    case OpPower:
        if ((x < 0 && !isInteger(y)) || (x == 0 && y <= 0))
            return FunctionFault::InvalidArgument;
        result = std::pow(x, y);
        break;
    case OpLog:
        if (x <= 0 || y <= 0 || y == 1)
            return FunctionFault::InvalidArgument;
        result = static_cast<double>(std::log(static_cast<long double>(x)) / std::log(static_cast<long double>(y)));
        break;
    case OpLg:
        if (x <= 0)
            return FunctionFault::InvalidArgument;
        result = std::log10(x);
        break;
    case OpLn:
        if (x <= 0)
            return FunctionFault::InvalidArgument;
        result = std::log(x);
        break;
    case OpExp:
        result = std::exp(x);
        break;
    case OpRound:
        if (y < -10 || y > 10 || !isInteger(y))
            return FunctionFault::InvalidArgument;
        if (!std::isfinite(x) || !roundToDigits(x, y, result))
            return FunctionFault::RoundingRange;
        break;
    case OpCorrection:
        fault = fromLookup(tables(reference).correctionCoefficient(x, y), result);
        break;
    case OpNominalByInternal:
        fault = fromLookup(tables(reference).nominalByInternal(x), result);
        break;
    case OpInternalByNominal:
        fault = fromLookup(tables(reference).internalByNominal(x), result);
        break;
    case OpDensity:
        fault = fromLookup(tables(reference).densityByTemperature(x), result);
        break;
    case OpAtLeast:
        fault = fromLookup(tables(reference).internalByDesign(x, Direction::AtLeast), result);
        break;
    case OpAbove:
        fault = fromLookup(tables(reference).internalByDesign(x, Direction::Above), result);
        break;
    case OpAtMost:
        fault = fromLookup(tables(reference).internalByDesign(x, Direction::AtMost), result);
        break;
    case OpBelow:
        fault = fromLookup(tables(reference).internalByDesign(x, Direction::Below), result);
        break;
    default:
        fault = fromLookup(tables(reference).nearestInternalByDesign(x), result);
        break;
    }
    if (fault == FunctionFault::None && !std::isfinite(result))
        return FunctionFault::OutOfRange;
    return fault;
}

QString functionFaultMessage(int operation, FunctionFault fault, double x, double y, QChar point)
{
    const auto num = [point](double v) { return formatGeneral15(v, point); };
    const QString name = operationName(operation);
    if (fault == FunctionFault::OutOfRange)
        return outOfRangeMessage();
    if (fault == FunctionFault::RoundingRange)
        return u("Значение первого аргумента функции \"Округл\" (") + num(x) + u("; ") + num(y)
            + u(") слишком велико для округления.");
    switch (operation) {
    case OpPower:
        return u("Недопустимые аргументы функции \"Степень\". (") + num(x) + u("; ") + num(y) + u(").");
    case OpLog:
        return u("Недопустимые аргументы функции \"Log\" (") + num(x) + u("; ") + num(y) + u(").");
    case OpLg:
    case OpLn:
        return u("Недопустимый аргумент функции \"") + name + u("\" (") + num(x) + u(").");
    case OpRound:
        return u("Недопустимые аргументы функции \"Округл\" (") + num(x) + u("; ") + num(y) + u(").")
            + u("\r\nВторой аргумент функции должен быть целым числом из диапазона [-10...10].");
    case OpCorrection:
    case OpNominalByInternal:
    case OpInternalByNominal:
    case OpDensity: {
        const ExactLookupTexts texts = exactTexts(operation);
        if (fault == FunctionFault::InvalidArgument)
            return u("Недопустимый аргумент функции \"") + name + u("\":\r\n") + u(texts.argument) + num(x)
                + u(" не является целым числом из диапазона (0..32767).");
        QString message = u("Ошибка при вычислении функции \"") + name + u("\":\r\n") + u(texts.notFound) + u("\r\n")
            + u(texts.argument) + num(x) + u(texts.unit);
        if (operation == OpCorrection)
            message += u("\r\nЭквивалентная шероховатость = ") + num(y) + u(" мм.");
        return message;
    }
    default:
        if (fault == FunctionFault::InvalidArgument)
            return u("Недопустимый аргумент функции \"") + name
                + u("\":\r\nРасчетный диаметр труборовода должен быть положительным числом.");
        return u("Ошибка при вычислении функции \"") + name
            + u("\":\r\nНе найдено значение внутреннего диаметра трубопровода для\r\nРасчетный диаметр трубопровода = ")
            + num(x) + u(" мм.");
    }
}

} // namespace zurm::evaluator
