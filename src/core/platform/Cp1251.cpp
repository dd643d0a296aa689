#include "platform/Cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace zurm {

namespace {
// One code point at a time, so that an unmappable character becomes exactly
// one "?" whatever the codec's own substitution is.
template <typename Sink>
void eachCodePoint(const QString& text, Sink&& sink)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype length = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            length = 2;
        sink(QStringView(text).mid(i, length));
        i += length - 1;
    }
}

bool encodeOne(QStringView codePoint, char& out)
{
    if (codePoint.size() == 1 && codePoint.at(0).unicode() < 0x80) {
        out = char(codePoint.at(0).unicode());
        return true;
    }
    QStringEncoder encoder("windows-1251", QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(codePoint);
    if (encoder.hasError() || bytes.size() != 1)
        return false;
    QStringDecoder decoder("windows-1251", QStringConverter::Flag::Stateless);
    const QString back = decoder.decode(bytes);
    if (back != codePoint)
        return false;
    out = bytes.at(0);
    return true;
}
} // namespace

QByteArray toCp1251(const QString& text)
{
    {
        QStringEncoder encoder("windows-1251", QStringConverter::Flag::Stateless);
        const QByteArray whole = encoder.encode(text);
        if (!encoder.hasError() && whole.size() == text.size() && fromCp1251(whole) == text)
            return whole;
    }
    QByteArray out;
    out.reserve(text.size());
    eachCodePoint(text, [&](QStringView cp) {
        char c = '?';
        encodeOne(cp, c);
        out.append(c);
    });
    return out;
}

QString fromCp1251(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-1251", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QString throughCp1251(const QString& text)
{
    return fromCp1251(toCp1251(text));
}

bool fitsCp1251(const QString& text)
{
    bool fits = true;
    eachCodePoint(text, [&](QStringView cp) {
        char c;
        if (!encodeOne(cp, c))
            fits = false;
    });
    return fits;
}

} // namespace zurm
