#include "platform/XlsReader.h"

#include "base/Failure.h"
#include "platform/CompoundFile.h"
#include "platform/Cp1251.h"

#include <QFile>
#include <QHash>
#include <cmath>
#include <cstring>
#include <optional>

namespace zurm {

namespace {

const QString kErrorClass = QStringLiteral("XlsError");

enum RecordType : quint16 {
    kFormula = 0x0006,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kCodePage = 0x0042,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kMulBlank = 0x00BE,
    kRString = 0x00D6,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kBof = 0x0809,
};

struct Damage {
    QString why;
};

[[noreturn]] void damaged(const QString& why = QStringLiteral("книга повреждена"))
{
    throw Damage{why};
}

QString errorText(int code)
{
    switch (code) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x0F: return QStringLiteral("#VALUE!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    default: return QStringLiteral("#N/A");
    }
}

// One record with the CONTINUE records after it, read as one run of bytes,
// except that characters going on in a CONTINUE start it with a new option byte.
class Record {
public:
    Record(const QByteArray& stream, qsizetype at)
        : data_(reinterpret_cast<const uchar*>(stream.constData())), size_(stream.size())
    {
        if (at < 0 || at + 4 > size_)
            damaged();
        type_ = u16At(at);
        qsizetype begin = at + 4;
        qsizetype length = u16At(at + 2);
        for (;;) {
            if (begin + length > size_)
                damaged();
            segments_.push_back({begin, begin + length});
            next_ = begin + length;
            if (next_ + 4 > size_ || u16At(next_) != kContinue)
                break;
            begin = next_ + 4;
            length = u16At(next_ + 2);
        }
        at_ = segments_[0].begin;
    }

    quint16 type() const { return type_; }
    // Where the record after this one (and its CONTINUE records) starts.
    qsizetype next() const { return next_; }
    // The length of the first segment, the record without its CONTINUE records.
    qsizetype length() const { return segments_[0].end - segments_[0].begin; }
    bool atEnd()
    {
        settle();
        return at_ >= segments_[segment_].end;
    }

    quint8 u8()
    {
        settle();
        if (at_ >= segments_[segment_].end)
            damaged();
        return data_[at_++];
    }
    quint16 u16() { return quint16(u8() | (u8() << 8)); }
    quint32 u32() { return quint32(u16()) | (quint32(u16()) << 16); }
    double f64()
    {
        quint64 bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= quint64(u8()) << (8 * i);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    void skip(quint64 count)
    {
        while (count > 0) {
            settle();
            const qsizetype left = segments_[segment_].end - at_;
            if (left <= 0)
                damaged();
            const qsizetype step = qsizetype(std::min<quint64>(count, quint64(left)));
            at_ += step;
            count -= quint64(step);
        }
    }
    QByteArray bytes(quint32 count)
    {
        QByteArray out;
        out.reserve(qsizetype(std::min<quint64>(count, quint64(size_))));
        for (quint32 i = 0; i < count; ++i)
            out.append(char(u8()));
        return out;
    }

    // BIFF8 characters, one or two bytes each as the option byte says.
    QString characters(quint32 count, bool wide)
    {
        QString text;
        text.reserve(qsizetype(std::min<quint64>(count, quint64(size_))));
        while (count > 0) {
            if (at_ >= segments_[segment_].end) {
                if (segment_ + 1 >= segments_.size())
                    damaged();
                at_ = segments_[++segment_].begin;
                wide = u8() & 0x01;
            }
            const qsizetype left = (segments_[segment_].end - at_) / (wide ? 2 : 1);
            if (left == 0)
                damaged();
            const quint32 take = quint32(std::min<quint64>(count, quint64(left)));
            for (quint32 i = 0; i < take; ++i, at_ += wide ? 2 : 1)
                text += QChar(char16_t(wide ? u16At(at_) : data_[at_]));
            count -= take;
        }
        return text;
    }

    // A BIFF8 string after its character count: the option byte, the counts
    // of rich-text runs and phonetic bytes, the characters, then those skipped.
    QString unicode(quint32 count)
    {
        const quint8 options = u8();
        const quint32 runs = options & 0x08 ? u16() : 0;
        const quint32 extra = options & 0x04 ? u32() : 0;
        QString text = characters(count, options & 0x01);
        skip(quint64(runs) * 4 + extra);
        return text;
    }

private:
    struct Segment {
        qsizetype begin, end;
    };

    quint16 u16At(qsizetype at) const { return quint16(data_[at] | (data_[at + 1] << 8)); }

    // Raw bytes run on from one segment into the next.
    void settle()
    {
        while (at_ >= segments_[segment_].end && segment_ + 1 < segments_.size())
            at_ = segments_[++segment_].begin;
    }

    const uchar* data_;
    qsizetype size_;
    quint16 type_ = 0;
    std::vector<Segment> segments_;
    size_t segment_ = 0;
    qsizetype at_ = 0;
    qsizetype next_ = 0;
};

double rkValue(quint32 rk)
{
    double value = 0;
    if (rk & 0x02) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return rk & 0x01 ? value / 100 : value;
}

XlsxCell numberCell(double value)
{
    XlsxCell cell;
    if (std::isfinite(value)) {
        cell.kind = XlsxCell::Kind::Number;
        cell.number = value;
    } else {
        cell.kind = XlsxCell::Kind::Error;
        cell.text = QStringLiteral("#NUM!");
    }
    return cell;
}

} // namespace

XlsReader::XlsReader(const QString& path) : path_(path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("файл не найден или не открывается для чтения"));
    if (file.size() > workbookLimits::kMaxXlsFileBytes)
        fail(QStringLiteral("файл больше ") + QString::number(workbookLimits::kMaxXlsFileBytes >> 20)
             + QStringLiteral(" МБ"));
    QString why;
    stream_ = compoundStream(file.readAll(), {QStringLiteral("Workbook"), QStringLiteral("Book")}, why);
    if (!why.isEmpty())
        fail(why);
    try {
        readGlobals();
    } catch (const Damage& damage) {
        fail(damage.why);
    }
}

void XlsReader::fail(const QString& why) const
{
    throw Failure(kErrorClass, QStringLiteral("Не удалось прочитать книгу ") + path_ + QStringLiteral(": ") + why + '.');
}

// The workbook's globals: its version, code page, sheets and shared strings.
void XlsReader::readGlobals()
{
    using namespace workbookLimits;
    Record bof(stream_, 0);
    const quint16 version = bof.type() == kBof ? bof.u16() : 0;
    if (version != 0x0500 && version != 0x0600)
        damaged(QStringLiteral("книга старого формата или повреждена"));
    version_ = version == 0x0500 ? 5 : 8;
    for (qsizetype at = bof.next(); at < stream_.size();) {
        Record record(stream_, at);
        at = record.next();
        switch (record.type()) {
        case kEof:
            return;
        case kFilePass:
            damaged(QStringLiteral("книга защищена паролем"));
        case kCodePage:
            codePage_ = record.u16();
            break;
        case kBoundSheet: {
            const quint32 offset = record.u32();
            record.u8(); // visibility: hidden sheets are sheets too
            const quint8 type = record.u8();
            const quint8 count = record.u8();
            const QString name = version_ == 8 ? record.characters(count, record.u8() & 0x01)
                                 : codePage_ == 1251 ? fromCp1251(record.bytes(count))
                                                     : QString::fromLatin1(record.bytes(count));
            if (type != 0)
                break; // charts and macros hold no cells to load
            if (offset >= quint64(stream_.size()) || Record(stream_, qsizetype(offset)).type() != kBof)
                damaged();
            sheetNames_.append(name);
            sheetOffsets_.push_back(qsizetype(offset));
            break;
        }
        case kSst: {
            record.u32(); // the count of all string cells
            const quint32 count = record.u32();
            for (quint32 i = 0; i < count && !record.atEnd(); ++i) {
                if (qint64(stringStarts_.size()) > kMaxSharedStrings)
                    damaged(QStringLiteral("в книге больше ") + QString::number(kMaxSharedStrings)
                            + QStringLiteral(" строк"));
                stringPool_.append(record.unicode(record.u16()));
                if (stringPool_.size() > kMaxTextTotal)
                    damaged(QStringLiteral("строки книги длиннее ") + QString::number(kMaxTextTotal / 1'000'000)
                            + QStringLiteral(" млн знаков в сумме"));
                stringStarts_.push_back(stringPool_.size());
            }
            break;
        }
        default:
            break;
        }
    }
    damaged();
}

XlsxSheet XlsReader::sheet(int index, const SheetWindow& window) const
{
    using namespace workbookLimits;
    if (index < 0 || index >= sheetNames_.size())
        fail(QStringLiteral("нет листа номер ") + QString::number(index + 1));
    XlsxSheet sheet;
    sheet.name = sheetNames_[index];
    const int firstRow = std::max(1, window.firstRow);
    const int lastRow = window.lastRow;
    std::vector<bool> wanted(kMaxXlsColumns + 1, window.columns.isEmpty());
    for (const int c : window.columns)
        if (c >= 1 && c <= kMaxXlsColumns)
            wanted[c] = true;
    QHash<quint32, QString> strings; // shared strings made into texts once each
    qint64 pendingString = -1; // the key of a formula whose text result follows

    // Row and column are 0-based in the file.
    const auto place = [&](quint32 row, quint32 column) {
        if (column >= quint32(kMaxXlsColumns))
            damaged(QStringLiteral("ячейка за пределами листа (строка ") + QString::number(row + 1)
                    + QStringLiteral(", столбец ") + QString::number(column + 1) + ')');
        sheet.rowCount = std::max(sheet.rowCount, int(row) + 1);
        sheet.columnCount = std::max(sheet.columnCount, int(column) + 1);
        const int r = int(row) + 1, c = int(column) + 1;
        return r >= firstRow && r <= lastRow && wanted[c] ? std::optional<qint64>(XlsxSheet::key(r, c)) : std::nullopt;
    };
    const auto keep = [&](qint64 key, const XlsxCell& cell) {
        if (sheet.cells.size() >= kMaxCells)
            damaged(QStringLiteral("на листе «") + sheet.name + QStringLiteral("» больше ")
                    + QString::number(kMaxCells) + QStringLiteral(" ячеек"));
        sheet.cells.insert(key, cell);
    };
    const auto text = [&](Record& record, quint32 count) {
        return version_ == 8 ? record.unicode(count)
               : codePage_ == 1251 ? fromCp1251(record.bytes(count))
                                   : QString::fromLatin1(record.bytes(count));
    };

    try {
        Record bof(stream_, sheetOffsets_[size_t(index)]);
        // Charts drawn on the sheet are substreams of their own inside it.
        int depth = 1;
        for (qsizetype at = bof.next(); depth > 0;) {
            if (at >= stream_.size())
                damaged();
            Record record(stream_, at);
            at = record.next();
            const quint16 type = record.type();
            if (type == kBof) {
                ++depth;
                continue;
            }
            if (type == kEof) {
                --depth;
                continue;
            }
            if (depth > 1)
                continue;
            if (type == kString) {
                if (pendingString >= 0) {
                    XlsxCell cell;
                    cell.formula = true;
                    cell.kind = XlsxCell::Kind::Text;
                    cell.text = text(record, record.u16());
                    keep(pendingString, cell);
                }
                pendingString = -1;
                continue;
            }
            if (type != kNumber && type != kRk && type != kMulRk && type != kLabelSst && type != kLabel
                && type != kRString && type != kBoolErr && type != kFormula && type != kBlank && type != kMulBlank)
                continue;
            pendingString = -1;
            const quint32 row = record.u16();
            const quint32 column = record.u16();
            if (type == kMulRk || type == kMulBlank) {
                // The cells of one row from `column` on, six or two bytes each, the last column at the end.
                const qsizetype each = type == kMulRk ? 6 : 2;
                const qsizetype cells = (record.length() - 6) / each;
                for (qsizetype i = 0; i < cells; ++i) {
                    record.u16(); // format
                    const double value = type == kMulRk ? rkValue(record.u32()) : 0;
                    if (const std::optional<qint64> key = place(row, column + quint32(i)); key && type == kMulRk)
                        keep(*key, numberCell(value));
                }
                continue;
            }
            const std::optional<qint64> key = place(row, column);
            if (!key)
                continue;
            record.u16(); // format
            XlsxCell cell;
            switch (type) {
            case kNumber: cell = numberCell(record.f64()); break;
            case kRk: cell = numberCell(rkValue(record.u32())); break;
            case kLabel:
            case kRString:
                cell.kind = XlsxCell::Kind::Text;
                cell.text = text(record, record.u16());
                break;
            case kLabelSst: {
                const quint32 i = record.u32();
                if (qsizetype(i) + 1 >= qsizetype(stringStarts_.size()))
                    damaged(QStringLiteral("ячейка ссылается на строку, которой нет в книге (строка ")
                            + QString::number(row + 1) + QStringLiteral(", столбец ") + QString::number(column + 1) + ')');
                auto made = strings.find(i);
                if (made == strings.end())
                    made = strings.insert(i, stringPool_.mid(stringStarts_[i], stringStarts_[i + 1] - stringStarts_[i]));
                cell.kind = XlsxCell::Kind::Text;
                cell.text = *made;
                break;
            }
            case kBoolErr: {
                const quint8 value = record.u8();
                if (record.u8() == 0) {
                    cell.kind = XlsxCell::Kind::Boolean;
                    cell.number = value != 0 ? 1 : 0;
                } else {
                    cell.kind = XlsxCell::Kind::Error;
                    cell.text = errorText(value);
                }
                break;
            }
            case kFormula: {
                // The stored result: a number, or a marker 0xFFFF in its last two bytes
                // with the kind of result in its first.
                const QByteArray result = record.bytes(8);
                const auto* r = reinterpret_cast<const uchar*>(result.constData());
                if (r[6] == 0xFF && r[7] == 0xFF) {
                    switch (r[0]) {
                    case 0: pendingString = *key; continue; // the text follows in a STRING record
                    case 1:
                        cell.kind = XlsxCell::Kind::Boolean;
                        cell.number = r[2] != 0 ? 1 : 0;
                        break;
                    case 2:
                        cell.kind = XlsxCell::Kind::Error;
                        cell.text = errorText(r[2]);
                        break;
                    default: cell.kind = XlsxCell::Kind::Text; break; // an empty text
                    }
                } else {
                    double value = 0;
                    std::memcpy(&value, r, sizeof value);
                    cell = numberCell(value);
                }
                cell.formula = true;
                break;
            }
            default: break; // a blank cell: only its place counts
            }
            if (type != kBlank)
                keep(*key, cell);
        }
    } catch (const Damage& damage) {
        fail(damage.why);
    }
    return sheet;
}

} // namespace zurm
