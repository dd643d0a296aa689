#include "document/NodeNumbers.h"

#include <QLocale>

#include <cmath>

namespace zurm {

namespace {

constexpr qint64 kLowest = -32768;
constexpr qint64 kHighest = 32767;

QString notAnInteger(const QString& text)
{
    return QLatin1Char('"') + text + QStringLiteral("\" не является целым числом.");
}

QString outOfRange(const QString& text)
{
    return QLatin1Char('"') + text + QStringLiteral("\" выходит за пределы диапазона целых чисел от -32768 до 32767.");
}

// A REAL holding a whole number that a 64-bit integer can take.
bool wholeNumber(double value) { return std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9e18; }

} // namespace

std::optional<qint16> parseNodeNumber(const QString& text, QString& problem)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok, 10);
    if (!ok) {
        problem = notAnInteger(text);
        return std::nullopt;
    }
    if (value < kLowest || value > kHighest) {
        problem = outOfRange(text);
        return std::nullopt;
    }
    return qint16(value);
}

QString storedValueText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return QString::number(value.toLongLong());
    case QMetaType::Double: {
        const double number = value.toDouble();
        return wholeNumber(number) ? QString::number(qint64(number))
                                   : QString::number(number, 'g', QLocale::FloatingPointShortest);
    }
    default:
        return value.toString();
    }
}

std::optional<qint16> storedNodeNumber(const QVariant& value, QString& problem)
{
    problem.clear();
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    // Integers, the common case, without a detour through text.
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int) {
        const qint64 number = value.toLongLong();
        if (number >= kLowest && number <= kHighest)
            return qint16(number);
        problem = outOfRange(QString::number(number));
        return std::nullopt;
    }
    if (value.typeId() == QMetaType::Double && !wholeNumber(value.toDouble())) {
        problem = notAnInteger(storedValueText(value));
        return std::nullopt;
    }
    return parseNodeNumber(storedValueText(value), problem);
}

} // namespace zurm
