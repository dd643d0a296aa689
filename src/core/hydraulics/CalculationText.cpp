#include "hydraulics/CalculationText.h"

#include "document/Failure.h"
#include "platform/Cp1251.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <algorithm>

namespace zurm {

CalculationText::CalculationText(bool enabled, int digits, QChar decimalPoint)
    : enabled_(enabled), digits_(std::clamp(digits, 0, 18)), decimalPoint_(decimalPoint)
{
}

void CalculationText::write(const QString& text)
{
    if (!enabled_)
        return;
    current_ += text;
    lineOpen_ = true;
}

void CalculationText::writeLine(const QString& text)
{
    if (!enabled_)
        return;
    lines_.append(current_ + text);
    current_.clear();
    lineOpen_ = false;
}

void CalculationText::writeNumber(double value)
{
    write(number(value));
}

QString CalculationText::number(double value) const
{
    QString out = QLocale::c().toString(value, 'f', digits_);
    out.remove(QLatin1Char(','));
    if (decimalPoint_ != QLatin1Char('.'))
        out.replace(QLatin1Char('.'), decimalPoint_);
    return out;
}

QString CalculationText::text() const
{
    QString out = lines_.join(QStringLiteral("\r\n"));
    if (lineOpen_) {
        if (!lines_.isEmpty())
            out += QStringLiteral("\r\n");
        out += current_;
    }
    return out;
}

QByteArray CalculationText::bytes() const
{
    return toCp1251(text());
}

void CalculationText::saveTo(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes()) < 0 || !file.commit())
        throw Failure(QStringLiteral("FileError"), file.errorString());
}

} // namespace zurm
