#include "hydraulics/CalculationText.h"

#include "document/Failure.h"
#include "platform/Cp1251.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <charconv>

namespace zurm {

namespace {

// The buffer is encoded and written once it holds this many characters.
constexpr qsizetype kSpillSize = qsizetype(1) << 20;

// The byte of every UTF-16 unit that toCp1251 maps to one byte, -1 for the
// rest ("?"). Only characters that 1251 decodes to can round-trip, so the
// table is the inverse of the decoder, checked against the encoder.
const std::array<qint16, 65536>& cp1251Table()
{
    static const std::array<qint16, 65536> table = [] {
        std::array<qint16, 65536> t;
        t.fill(-1);
        for (int b = 0; b < 256; ++b) {
            const QString decoded = fromCp1251(QByteArray(1, char(b)));
            if (decoded.size() != 1 || decoded.at(0).isSurrogate())
                continue;
            const QByteArray back = toCp1251(decoded);
            if (back.size() == 1 && back.at(0) != '?')
                t[decoded.at(0).unicode()] = qint16(quint8(back.at(0)));
            else if (decoded.at(0) == QLatin1Char('?'))
                t['?'] = '?';
        }
        for (int c = 0; c < 0x80; ++c)
            t[size_t(c)] = qint16(c);
        return t;
    }();
    return table;
}

} // namespace

QByteArray encodeCp1251(QStringView text)
{
    const std::array<qint16, 65536>& table = cp1251Table();
    QByteArray out(text.size(), Qt::Uninitialized);
    char* o = out.data();
    const char16_t* p = text.utf16();
    const char16_t* end = p + text.size();
    qsizetype n = 0;
    while (p < end) {
        const char16_t u = *p++;
        if (u < 0x80) {
            o[n++] = char(u);
            continue;
        }
        if (QChar::isHighSurrogate(u) && p < end && QChar::isLowSurrogate(*p)) {
            ++p; // one code point outside the BMP: one "?"
            o[n++] = '?';
            continue;
        }
        const qint16 b = table[u];
        o[n++] = b < 0 ? '?' : char(b);
    }
    out.truncate(n);
    return out;
}

CalculationText::CalculationText(bool enabled, int digits, QChar decimalPoint)
    : enabled_(enabled), digits_(std::clamp(digits, 0, 18)), decimalPoint_(decimalPoint)
{
}

CalculationText::~CalculationText() = default;
CalculationText::CalculationText(CalculationText&&) noexcept = default;
CalculationText& CalculationText::operator=(CalculationText&&) noexcept = default;

void CalculationText::streamTo(const QString& path)
{
    if (!enabled_)
        return;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Failure(QStringLiteral("FileError"), file->errorString());
    file_ = std::move(file);
    path_ = path;
    written_ = 0;
    writeBuffer();
}

void CalculationText::finish()
{
    if (!file_)
        return;
    writeBuffer();
    if (!file_->flush())
        throw Failure(QStringLiteral("FileError"), file_->errorString());
    file_->close();
    file_.reset();
    // text() and bytes() still read the closed file.
}

void CalculationText::writeBuffer() const
{
    if (!file_ || buffer_.isEmpty())
        return;
    const QByteArray bytes = encodeCp1251(buffer_);
    if (file_->write(bytes) != bytes.size())
        throw Failure(QStringLiteral("FileError"), file_->errorString());
    written_ += bytes.size();
    buffer_.resize(0); // keeps the capacity
}

void CalculationText::spill()
{
    if (file_ && buffer_.size() >= kSpillSize)
        writeBuffer();
}

void CalculationText::write(const QString& text)
{
    if (!enabled_)
        return;
    openLine();
    buffer_ += text;
    spill();
}

void CalculationText::write(QLatin1StringView text)
{
    if (!enabled_)
        return;
    openLine();
    buffer_ += text;
    spill();
}

void CalculationText::writeLine(const QString& text)
{
    if (!enabled_)
        return;
    openLine();
    buffer_ += text;
    breakPending_ = true;
    spill();
}

void CalculationText::writeNumber(double value)
{
    write(number(value));
}

void CalculationText::writeInteger(qint64 value)
{
    if (!enabled_)
        return;
    openLine();
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    buffer_ += QLatin1StringView(digits, result.ptr - digits);
    spill();
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
    if (path_.isEmpty())
        return buffer_;
    return fromCp1251(bytes());
}

QByteArray CalculationText::bytes() const
{
    if (path_.isEmpty())
        return toCp1251(buffer_);
    if (file_)
        file_->flush();
    QFile file(path_);
    QByteArray out;
    if (file.open(QIODevice::ReadOnly))
        out = file.read(written_);
    return out + encodeCp1251(buffer_);
}

qint64 CalculationText::byteCount() const
{
    if (path_.isEmpty())
        return toCp1251(buffer_).size();
    return written_ + buffer_.size();
}

void CalculationText::saveTo(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes()) < 0 || !file.commit())
        throw Failure(QStringLiteral("FileError"), file.errorString());
}

} // namespace zurm
