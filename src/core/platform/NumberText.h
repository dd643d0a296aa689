#pragma once

#include <QString>
#include <optional>

namespace zurm {

// The shortest general decimal form with up to 15 significant digits: fixed
// notation while the value has at most 15 integer digits and is not below
// 0.00001 in magnitude, otherwise "d.ddddEx" with an unpadded, unsigned-when-positive exponent
// (1E20, 1.5E-7). The decimal point is the given character; no thousands
// separator. Used for numbers in SQL text (point) and in messages (the user's
// separator).
QString formatGeneral15(double value, QChar decimalPoint = QLatin1Char('.'));

// The user's decimal separator (QLocale::system()).
QChar userDecimalPoint();

// A real number as the user types it, in a dialog field or a grid cell alike:
// every space (also a no-break space) is dropped, every "," becomes "." and the
// rest must convert with "." as decimal point to a finite number. "1 234,5" is
// 1234.5. Text that is no number, spaces alone included, gives nullopt.
std::optional<double> parseTypedReal(const QString& text);

// The message for typed text that parseTypedReal refuses, the same in every
// grid and field.
QString typedNumberRefusal(const QString& text);

} // namespace zurm
