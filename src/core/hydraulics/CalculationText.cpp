#include "hydraulics/CalculationText.h"

#include "base/Failure.h"
#include "platform/Cp1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStorageInfo>
#include <algorithm>
#include <array>
#include <charconv>

namespace zurm {

namespace {

// The buffer goes to the file once it holds this many bytes.
constexpr std::size_t kSpillSize = std::size_t(1) << 20;

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

template <typename Bytes>
void appendCp1251(Bytes& out, QStringView text)
{
    const std::array<qint16, 65536>& table = cp1251Table();
    const auto start = out.size();
    out.resize(start + text.size());
    char* o = out.data() + start;
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
    out.resize(start + n);
}

QByteArray encodeCp1251(QStringView text)
{
    QByteArray out;
    appendCp1251(out, text);
    return out;
}

CalculationText::CalculationText(bool enabled, int digits, QChar decimalPoint)
    : enabled_(enabled), digits_(std::clamp(digits, 0, 18)), decimalPoint_(decimalPoint)
{
}

CalculationText::~CalculationText() = default;
CalculationText::CalculationText(CalculationText&&) noexcept = default;
CalculationText& CalculationText::operator=(CalculationText&&) noexcept = default;

namespace {

// A failed write of the text names the file and the disk it is on, with the
// space left there: a full disk is the usual cause with a text of gigabytes.
Failure writeFailure(const QString& path, const QString& error)
{
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    QString where = QStringLiteral("Ошибка записи текста расчета в файл ") + QDir::toNativeSeparators(path);
    if (disk.isValid())
        where += QStringLiteral(" (диск ") + QDir::toNativeSeparators(disk.rootPath()) + QStringLiteral(", свободно ")
            + QString::number(disk.bytesAvailable() / (1024 * 1024)) + QStringLiteral(" МБ)");
    return Failure(QStringLiteral("FileError"), where + QStringLiteral(": ") + error);
}

} // namespace

void CalculationText::streamTo(const QString& path)
{
    if (!enabled_)
        return;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw writeFailure(path, file->errorString());
    file_ = std::move(file);
    path_ = path;
    buffer_.reserve(kSpillSize + 4096);
    written_ = 0;
    writeBuffer();
}

void CalculationText::finish()
{
    if (!file_)
        return;
    writeBuffer();
    if (!file_->flush())
        throw writeFailure(path_, file_->errorString());
    file_->close();
    file_.reset();
    // text() and bytes() still read the closed file.
}

void CalculationText::writeBuffer() const
{
    if (!file_ || buffer_.empty())
        return;
    if (file_->write(buffer_.data(), qint64(buffer_.size())) != qint64(buffer_.size()))
        throw writeFailure(path_, file_->errorString());
    written_ += qint64(buffer_.size());
    buffer_.clear(); // keeps the capacity
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
    appendCp1251(buffer_, text);
    spill();
}

void CalculationText::write(QLatin1StringView text)
{
    if (!enabled_)
        return;
    openLine();
    appendCp1251(buffer_, QString(text));
    spill();
}

void CalculationText::writeAscii(std::string_view text)
{
    if (!enabled_)
        return;
    openLine();
    buffer_.append(text);
    spill();
}

void CalculationText::writeEncoded(const QByteArray& cp1251)
{
    if (!enabled_)
        return;
    openLine();
    buffer_.append(cp1251.constData(), size_t(cp1251.size()));
    spill();
}

void CalculationText::writeEncodedLines(std::string_view cp1251)
{
    if (!enabled_)
        return;
    openLine();
    buffer_.append(cp1251);
    breakPending_ = true;
    spill();
}

void CalculationText::writeLine(const QString& text)
{
    if (!enabled_)
        return;
    openLine();
    appendCp1251(buffer_, text);
    breakPending_ = true;
    spill();
}

void CalculationText::writeNumber(double value)
{
    if (!enabled_)
        return;
    write(number(value));
}

void CalculationText::writeInteger(qint64 value)
{
    if (!enabled_)
        return;
    openLine();
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    buffer_.append(digits, result.ptr);
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
    return fromCp1251(bytes());
}

QByteArray CalculationText::bytes() const
{
    if (path_.isEmpty())
        return QByteArray(buffer_.data(), qsizetype(buffer_.size()));
    if (file_)
        file_->flush();
    QFile file(path_);
    QByteArray out;
    if (file.open(QIODevice::ReadOnly))
        out = file.read(written_);
    return out + QByteArray(buffer_.data(), qsizetype(buffer_.size()));
}

qint64 CalculationText::byteCount() const
{
    return written_ + qint64(buffer_.size());
}

} // namespace zurm
