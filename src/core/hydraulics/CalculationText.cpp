#include "hydraulics/CalculationText.h"

#include "base/Failure.h"
#include "platform/Cp1251.h"
#include "platform/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

namespace zurm {

namespace {

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

// Encodes `text` at `o`, which has room for text.size() bytes; returns the
// number of bytes written.
qsizetype encodeInto(char* o, QStringView text)
{
    const std::array<qint16, 65536>& table = cp1251Table();
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
    return n;
}

} // namespace

QByteArray encodeCp1251(QStringView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    out.resize(encodeInto(out.data(), text));
    return out;
}

CalculationText::CalculationText(bool enabled, int digits, QChar decimalPoint)
    : enabled_(enabled), digits_(std::clamp(digits, 0, 18)), decimalPoint_(decimalPoint)
{
}

CalculationText::~CalculationText() = default;
// A moved-from text holds no buffer, so it must not claim any room either.
CalculationText::CalculationText(CalculationText&& other) noexcept
    : enabled_(other.enabled_), digits_(other.digits_), decimalPoint_(other.decimalPoint_),
      breakPending_(other.breakPending_), buffer_(std::move(other.buffer_)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)), file_(std::move(other.file_)), path_(std::move(other.path_)),
      written_(other.written_)
{
}

CalculationText& CalculationText::operator=(CalculationText&& other) noexcept
{
    enabled_ = other.enabled_;
    digits_ = other.digits_;
    decimalPoint_ = other.decimalPoint_;
    breakPending_ = other.breakPending_;
    buffer_ = std::move(other.buffer_);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    file_ = std::move(other.file_);
    path_ = std::move(other.path_);
    written_ = other.written_;
    return *this;
}

namespace {

// A failed write of the text names the file and the disk it is on, with the
// space left there: a full disk is the usual cause with a text of gigabytes.
// The system's reason is taken at once; QFile's own text of it is often
// "Unknown error".
Failure writeFailure(const QString& path, const QString& detail)
{
    const int error = errno;
    return Failure(QStringLiteral("FileError"), outputWriteFailure(path, error, detail));
}

} // namespace

void CalculationText::streamTo(const QString& path)
{
    if (!enabled_)
        return;
    auto file = std::make_unique<QFile>(path);
    errno = 0;
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw writeFailure(path, file->errorString());
    file_ = std::move(file);
    path_ = path;
    space(kSpillSize + (std::size_t(1) << 16));
    written_ = 0;
    writeBuffer();
}

void CalculationText::finish()
{
    if (!file_)
        return;
    writeBuffer();
    errno = 0;
    if (!file_->flush())
        throw writeFailure(path_, file_->errorString());
    file_->close();
    file_.reset();
    // text() and bytes() still read the closed file.
}

void CalculationText::writeBuffer() const
{
    if (!file_ || size_ == 0)
        return;
    errno = 0;
    if (file_->write(buffer_.get(), qint64(size_)) != qint64(size_))
        throw writeFailure(path_, file_->errorString());
    written_ += qint64(size_);
    size_ = 0; // keeps the capacity
}

void CalculationText::grow(std::size_t bytes)
{
    const std::size_t capacity = std::max(size_ + bytes, 2 * capacity_);
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0)
        std::memcpy(grown.get(), buffer_.get(), size_);
    buffer_ = std::move(grown);
    capacity_ = capacity;
}

void CalculationText::append(const char* bytes, std::size_t count)
{
    std::memcpy(space(count), bytes, count);
    size_ += count;
}

void CalculationText::appendEncoded(QStringView text)
{
    size_ += std::size_t(encodeInto(space(std::size_t(text.size())), text));
}

void CalculationText::write(const QString& text)
{
    if (!enabled_)
        return;
    openLine();
    appendEncoded(text);
    spill();
}

void CalculationText::write(QLatin1StringView text)
{
    if (!enabled_)
        return;
    openLine();
    appendEncoded(QString(text));
    spill();
}

void CalculationText::writeAscii(std::string_view text)
{
    if (!enabled_)
        return;
    openLine();
    append(text.data(), text.size());
    spill();
}

void CalculationText::writeEncoded(const QByteArray& cp1251)
{
    writeAscii(std::string_view(cp1251.constData(), std::size_t(cp1251.size())));
}

void CalculationText::writeEncodedLines(std::string_view cp1251)
{
    writeAscii(cp1251);
    breakPending_ = enabled_;
}

void CalculationText::writeSegmentLine(qint64 startNode, qint64 endNode)
{
    if (!enabled_)
        return;
    static const QByteArray word = encodeCp1251(u"Участок ");
    writeEncoded(word);
    writeInteger(startNode);
    writeAscii(" - ");
    writeInteger(endNode);
    writeAscii(":");
    writeLine();
}

void CalculationText::writeMainStart(qint64 id)
{
    static const QByteArray word = encodeCp1251(u"Магистраль ");
    writeEncoded(word);
    writeInteger(id);
    writeAscii(": ");
}

void CalculationText::writeLine(const QString& text)
{
    if (!enabled_)
        return;
    openLine();
    appendEncoded(text);
    breakPending_ = true;
    spill();
}

namespace {

// The fixed-point text of `value` with `digits` decimals, as QLocale::c()
// writes it, at `out` (room for 40 bytes); nullptr where the locale's own
// path must write it. Both round the exact binary value correctly; they
// differ only on an exact tie (the locale rounds it away from zero, to_chars
// to even) and may differ on the sign of a negative value that rounds to
// zero, and huge or non-finite values are left to the locale too.
char* fastFixed(char* out, double value, int digits, char point)
{
    if (!(std::fabs(value) < 1e15) || (value == 0 && std::signbit(value)))
        return nullptr; // non-finite, huge or -0
    // value = m * 2^e with m odd: a tie at the last decimal needs e == -(digits + 1).
    const auto bits = std::bit_cast<quint64>(value);
    const int field = int((bits >> 52) & 0x7ff);
    quint64 m = bits & ((quint64(1) << 52) - 1);
    int e = field == 0 ? -1074 : field - 1075;
    if (field != 0)
        m |= quint64(1) << 52;
    if (m != 0) {
        const int zeros = std::countr_zero(m);
        m >>= zeros;
        e += zeros;
        if (e == -(digits + 1))
            return nullptr;
    }
    const std::to_chars_result result = std::to_chars(out, out + 40, value, std::chars_format::fixed, digits);
    if (result.ec != std::errc())
        return nullptr;
    if (value < 0 && std::all_of(out, result.ptr, [](char c) { return c == '-' || c == '.' || c == '0'; }))
        return nullptr;
    if (point != '.' && digits > 0)
        std::find(out, result.ptr, '.')[0] = point;
    return result.ptr;
}

} // namespace

void CalculationText::writeNumber(double value)
{
    if (!enabled_)
        return;
    const char16_t point = decimalPoint_.unicode();
    char digits[40];
    if (const char* end = point < 0x80 ? fastFixed(digits, value, digits_, char(point)) : nullptr) {
        openLine();
        append(digits, std::size_t(end - digits));
        spill();
        return;
    }
    write(number(value));
}

void CalculationText::writeInteger(qint64 value)
{
    if (!enabled_)
        return;
    openLine();
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    append(digits, std::size_t(result.ptr - digits));
    spill();
}

QString CalculationText::number(double value) const
{
    const char16_t point = decimalPoint_.unicode();
    char digits[40];
    if (const char* end = point < 0x80 ? fastFixed(digits, value, digits_, char(point)) : nullptr)
        return QString::fromLatin1(digits, end - digits);
    QString out = QLocale::c().toString(value, 'f', digits_);
    out.remove(QLatin1Char(','));
    if (decimalPoint_ != QLatin1Char('.'))
        out.replace(QLatin1Char('.'), decimalPoint_);
    return out;
}

QString CalculationText::text() const
{
    return fromCp1251(bytes());
}

QByteArray CalculationText::bytes() const
{
    if (path_.isEmpty())
        return QByteArray(buffer_.get(), qsizetype(size_));
    if (file_)
        file_->flush();
    QFile file(path_);
    QByteArray out;
    if (file.open(QIODevice::ReadOnly))
        out = file.read(written_);
    return out + QByteArray(buffer_.get(), qsizetype(size_));
}

qint64 CalculationText::byteCount() const
{
    return written_ + qint64(size_);
}

} // namespace zurm
