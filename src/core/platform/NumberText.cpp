#include "platform/NumberText.h"

#include <QLocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zurm {

QString formatGeneral15(double value, QChar decimalPoint)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");

    // 15 significant digits, then drop trailing zeros of the mantissa.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    const char* e = std::strchr(buf, 'e');
    const int exponent = std::atoi(e + 1);
    std::string digits;
    for (const char* p = buf; p < e; ++p)
        if (*p >= '0' && *p <= '9')
            digits.push_back(*p);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const bool negative = value < 0;

    QString out;
    if (negative)
        out += QLatin1Char('-');
    const double magnitude = std::fabs(value);
    if (exponent >= 15 || magnitude < 0.00001) {
        out += QLatin1Char(digits[0]);
        if (digits.size() > 1) {
            out += decimalPoint;
            out += QString::fromLatin1(digits.c_str() + 1);
        }
        out += QLatin1Char('E');
        out += QString::number(exponent);
        return out;
    }
    if (exponent >= 0) {
        const size_t intDigits = size_t(exponent) + 1;
        for (size_t i = 0; i < intDigits; ++i)
            out += QLatin1Char(i < digits.size() ? digits[i] : '0');
        if (digits.size() > intDigits) {
            out += decimalPoint;
            out += QString::fromLatin1(digits.c_str() + intDigits);
        }
    } else {
        out += QLatin1Char('0');
        out += decimalPoint;
        for (int i = 0; i < -exponent - 1; ++i)
            out += QLatin1Char('0');
        out += QString::fromLatin1(digits.c_str());
    }
    return out;
}

QChar userDecimalPoint()
{
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? QLatin1Char('.') : point.at(0);
}

namespace {
QString withoutSpaces(const QString& text)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar ch : text)
        if (!ch.isSpace())
            clean.append(ch == QLatin1Char(',') ? QLatin1Char('.') : ch);
    return clean;
}
} // namespace

std::optional<double> parseTypedReal(const QString& text)
{
    const QString clean = withoutSpaces(text);
    if (clean.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(clean, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString typedNumberRefusal(const QString& text)
{
    return QStringLiteral("\"") + text + QStringLiteral("\" не является числом. Введите число.\r")
           + QStringLiteral("Значение не изменено.");
}

} // namespace zurm
