#include "platform/XlsRecords.h"

#include "platform/Cp1251.h"

#include <QFile>
#include <QSet>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

// The walk reads the compound file and the Workbook stream the way FreeXL
// (1.0.6) reads them, and stops a file at every place where FreeXL would read
// outside its buffers, loop without end or allocate without bound:
// - a FAT or DIFAT that names a sector twice or lies outside the file, a stream
//   chain that loops or is longer or shorter than its stream;
// - a directory entry name of no length or longer than its field;
// - text records (LABEL, FORMAT, shared strings) whose characters run past the
//   record, and shared-string skips beyond a record;
// - more cell formats than FreeXL's table holds;
// - sheet sizes (DIMENSION) that together ask for more cells than kMaxXlsCells,
//   sizes beyond 65 536 rows or 256 columns, and cells outside their sheet's size
//   or outside any sheet (FreeXL gives up on them, leaking their text);
// - dates (cells with a date format) FreeXL would count out day by day for
//   billions of days.
// It also keeps what FreeXL leaves out: booleans and error cells (BOOLERR,
// which FreeXL gives as the numbers 0 and 1) and the stored results of formulas
// (FORMULA and STRING, which FreeXL gives as empty cells).

namespace zurm {

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kRecordBuffer = 8224; // FreeXL's record buffer
constexpr int kMaxFormats = 8192;       // FreeXL's table of cell formats (XF)
constexpr quint32 kMaxSharedStrings = 1024 * 1024;
constexpr double kMaxDateSerial = 2958466; // 10000-01-01

enum Record : quint16 {
    kEof = 0x000A,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kSheet = 0x0085,
    kMulRk = 0x00BD,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kDimension = 0x0200,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kFormula = 0x0006,
    kString = 0x0207,
    kRk = 0x027E,
    kBof = 0x0809,
    kFormat = 0x041E,
};

quint16 u16(const uchar* p)
{
    return quint16(p[0] | (p[1] << 8));
}

quint32 u32(const uchar* p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

double f64(const uchar* p)
{
    quint64 bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | p[i];
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
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
    case 0x2A: return QStringLiteral("#N/A");
    default: return QStringLiteral("#N/A");
    }
}

struct Damage {
    QString why;
};

[[noreturn]] void damaged(const QString& why = QStringLiteral("книга повреждена"))
{
    throw Damage{why};
}

// The compound file as FreeXL sees it: sectors by their number, its FAT, and
// the bytes of the stream FreeXL parses.
class CompoundFile {
public:
    CompoundFile(const uchar* data, qint64 size) : data_(data), size_(size) {}

    QByteArray workbookStream(bool& mini)
    {
        if (size_ < 512)
            damaged();
        const uchar* h = data_;
        const quint16 shift = u16(h + 0x1E);
        if (shift != 9 && shift != 12)
            damaged();
        sectorSize_ = 1u << shift;
        sectors_ = quint64(size_) / sectorSize_;
        readFat(h);

        quint32 miniCutoff = 0;
        if (u32(h + 0x40) > 0)
            miniCutoff = u32(h + 0x38);

        // The directory: FreeXL looks at its first sector only.
        const uchar* directory = sector(u32(h + 0x30));
        const int entries = int(sectorSize_ / 128);
        std::optional<quint32> rootStart, rootSize;
        for (int i = 0; i < entries; ++i) {
            const uchar* entry = directory + i * 128;
            const quint16 nameBytes = u16(entry + 0x40);
            if (nameBytes < 2 || nameBytes > 64 || nameBytes % 2 != 0)
                damaged();
            QString name;
            for (int c = 0; c < nameBytes / 2 && u16(entry + 2 * c) != 0; ++c)
                name += QChar(char16_t(u16(entry + 2 * c)));
            const quint32 start = u32(entry + 0x74);
            const quint32 length = u32(entry + 0x78);
            if (name == QLatin1String("Root Entry")) {
                rootStart = start;
                rootSize = length;
            }
            // FreeXL takes a start sector of FFFFFFFF for "not found yet" and reads on.
            if ((name == QLatin1String("Workbook") || name == QLatin1String("Book")) && start != kFreeSector) {
                if (length <= miniCutoff) {
                    // FreeXL reads such a workbook from the start of the mini stream.
                    if (!rootStart || *rootSize > quint64(size_) || length > *rootSize)
                        damaged();
                    mini = true;
                    return chain(*rootStart, *rootSize).left(qsizetype(length));
                }
                mini = false;
                return chain(start, length);
            }
        }
        damaged(QStringLiteral("в файле нет книги Microsoft Excel"));
    }

private:
    // FreeXL computes a sector's place in 32 bits.
    const uchar* sector(quint32 number) const
    {
        const quint64 at = quint32((number + 1) * sectorSize_);
        if (at + sectorSize_ > quint64(size_))
            damaged();
        return data_ + at;
    }

    void addFatSector(quint32 number, QSet<quint32>& seen)
    {
        if (seen.contains(number) || quint64(seen.size()) >= sectors_)
            damaged();
        seen.insert(number);
        const uchar* s = sector(number);
        for (quint32 i = 0; i < sectorSize_ / 4; ++i)
            fat_.push_back(u32(s + 4 * i));
    }

    void readFat(const uchar* h)
    {
        QSet<quint32> seen;
        for (int i = 0; i < 109; ++i) {
            const quint32 number = u32(h + 0x4C + 4 * i);
            if (number != kFreeSector)
                addFatSector(number, seen);
        }
        const quint32 difatSectors = u32(h + 0x48);
        if (difatSectors == 0)
            return;
        if (difatSectors > sectors_)
            damaged();
        QSet<quint32> visited;
        quint32 next = u32(h + 0x44);
        const quint32 perSector = sectorSize_ / 4;
        for (quint32 block = 0; block < difatSectors; ++block) {
            if (visited.contains(next))
                damaged();
            visited.insert(next);
            const uchar* s = sector(next);
            bool end = false;
            for (quint32 i = 0; i < perSector; ++i) {
                const quint32 value = u32(s + 4 * i);
                if (value == kEndOfChain) {
                    end = true;
                    break;
                }
                if (i == perSector - 1)
                    next = value;
                else if (value != kFreeSector)
                    addFatSector(value, seen);
            }
            if (end)
                break;
        }
    }

    // The bytes of a chain that must hold `length` bytes and end there.
    QByteArray chain(quint32 start, quint32 length)
    {
        const quint64 count = (quint64(length) + sectorSize_ - 1) / sectorSize_;
        if (count == 0 || count > sectors_)
            damaged();
        QByteArray bytes;
        bytes.reserve(qsizetype(count * sectorSize_));
        QSet<quint32> visited;
        quint32 current = start;
        for (quint64 i = 0; i < count; ++i) {
            if (visited.contains(current) || current >= fat_.size())
                damaged();
            visited.insert(current);
            bytes.append(reinterpret_cast<const char*>(sector(current)), qsizetype(sectorSize_));
            const quint32 next = fat_[current];
            if ((i + 1 == count) != (next == kEndOfChain))
                damaged();
            current = next;
        }
        bytes.truncate(qsizetype(length));
        return bytes;
    }

    const uchar* data_;
    qint64 size_;
    quint32 sectorSize_ = 512;
    quint64 sectors_ = 0;
    std::vector<quint32> fat_;
};

// FreeXL's test of a number format for a date, a date and time, or a time.
bool dateFormat(const QString& format)
{
    int y = 0, m = 0, d = 0, h = 0, s = 0;
    for (const QChar c : format) {
        switch (c.toLower().unicode()) {
        case u'y': ++y; break;
        case u'm': ++m; break;
        case u'd': ++d; break;
        case u'h': ++h; break;
        case u's': ++s; break;
        default: break;
        }
    }
    return (y && m) || (m && d) || (h && m) || (m && s);
}

// The walk over the records of the Workbook stream.
class RecordWalk {
public:
    RecordWalk(XlsRecords& out) : out_(out) {}

    void walk(const QByteArray& stream, bool mini)
    {
        const auto* bytes = reinterpret_cast<const uchar*>(stream.constData());
        const quint64 size = quint64(stream.size());
        quint64 at = 0;
        while (at + 4 <= size) {
            const quint16 type = u16(bytes + at);
            const quint16 length = u16(bytes + at + 2);
            if (!mini && type == 0 && length == 0)
                break;
            if (mini ? length >= 8192 : length > kRecordBuffer)
                break;
            if (at + 4 + length > size)
                break;
            // Bytes past the record stay from earlier records, as in FreeXL's buffer.
            std::memcpy(record_, bytes + at + 4, length);
            record(type, length, quint32(at));
            at += 4 + quint64(length);
        }
        // After its first pass FreeXL sizes each sheet without a DIMENSION to one
        // cell, allocating them for the sheet last read instead and leaking what
        // that sheet had.
        for (qsizetype i = 0; i < sheets_.size(); ++i) {
            if (sheets_[i].dimension)
                continue;
            sheets_[i].rows += 1;
            sheets_[i].columns += 1;
            if (active_ < 0)
                continue;
            Sheet& active = sheets_[active_];
            if (active.allocated > 0)
                damaged(QStringLiteral("у листа номер ") + QString::number(i + 1) + QStringLiteral(" нет размеров"));
            allocate(active);
        }
        out_.cells.resize(sheets_.size());
        for (qsizetype i = 0; i < sheets_.size(); ++i)
            out_.cells[i] = sheets_[i].cells;
    }

private:
    struct Sheet {
        quint32 offset = 0;
        bool dimension = false;
        quint32 rows = 0, columns = 0;
        quint64 allocated = 0; // cells FreeXL holds for the sheet
        QHash<qint64, XlsxCell> cells;
    };

    void record(quint16 type, quint16 length, quint32 offset)
    {
        if (type == kContinue) {
            if (previous_ == kSst)
                sharedStrings(length, false);
            return;
        }
        previous_ = type;
        // FreeXL takes the version from the first BOF and the sheet that follows
        // from each BOF after an EOF; any other record in those places ends its reading.
        if (bof_ != 1) {
            if (type != kBof)
                damaged();
            if (bof_ == -1) {
                const quint16 version = u16(record_);
                if (version != 0x0500 && version != 0x0600)
                    damaged(QStringLiteral("книга старого формата или повреждена"));
                version_ = version == 0x0500 ? 5 : 8;
            } else {
                active_ = -1;
                for (qsizetype i = 0; i < sheets_.size(); ++i)
                    if (sheets_[i].offset == offset) {
                        active_ = int(i);
                        break;
                    }
            }
            bof_ = 1;
            return;
        }
        switch (type) {
        case kEof: bof_ = 0; return;
        case kFilePass: damaged(QStringLiteral("книга защищена паролем"));
        case kSst: sharedStrings(length, true); return;
        case kSheet: {
            if (sheets_.size() >= 65535)
                damaged(QStringLiteral("в книге слишком много листов"));
            Sheet sheet;
            sheet.offset = u32(record_);
            sheets_.append(sheet);
            return;
        }
        case kDimension: dimension(); return;
        case kFormat: format(length); return;
        case kXf:
            if (++formatCount_ > kMaxFormats)
                damaged(QStringLiteral("в книге больше ") + QString::number(kMaxFormats) + QStringLiteral(" форматов ячеек"));
            xfFormats_.push_back(u16(record_ + 2));
            return;
        case kLabel: label(length); cellAt(); return;
        case kLabelSst: cellAt(); return;
        case kNumber: {
            const Cell c = cellAt();
            dateValue(u16(record_ + 4), f64(record_ + 6), c);
            return;
        }
        case kRk: {
            const Cell c = cellAt();
            rkValue(u16(record_ + 4), u32(record_ + 6), c);
            return;
        }
        case kMulRk: {
            Cell c = cellAt();
            for (quint32 off = 4; off + 6 < length; off += 6, ++c.column)
                rkValue(u16(record_ + off), u32(record_ + off + 2), c);
            return;
        }
        case kBoolErr: {
            const Cell c = cellAt();
            XlsxCell cell;
            if (record_[7] == 0) {
                cell.kind = XlsxCell::Kind::Boolean;
                cell.number = record_[6] != 0 ? 1 : 0;
            } else {
                cell.kind = XlsxCell::Kind::Error;
                cell.text = errorText(record_[6]);
            }
            keep(c, cell);
            return;
        }
        case kFormula: {
            const Cell c = cellAt();
            pendingString_.reset();
            XlsxCell cell;
            cell.formula = true;
            if (u16(record_ + 12) == 0xFFFF) {
                switch (record_[6]) {
                case 0: // the text follows in a STRING record
                    pendingString_ = c;
                    return;
                case 1:
                    cell.kind = XlsxCell::Kind::Boolean;
                    cell.number = record_[8] != 0 ? 1 : 0;
                    break;
                case 2:
                    cell.kind = XlsxCell::Kind::Error;
                    cell.text = errorText(record_[8]);
                    break;
                case 3:
                    cell.kind = XlsxCell::Kind::Text;
                    break;
                default:
                    break;
                }
            } else {
                cell.number = f64(record_ + 6);
                cell.kind = std::isfinite(cell.number) ? XlsxCell::Kind::Number : XlsxCell::Kind::Error;
                if (cell.kind == XlsxCell::Kind::Error) {
                    cell.number = 0;
                    cell.text = QStringLiteral("#NUM!");
                }
            }
            keep(c, cell);
            return;
        }
        case kString: {
            if (!pendingString_)
                return;
            XlsxCell cell;
            cell.formula = true;
            cell.kind = XlsxCell::Kind::Text;
            cell.text = stringRecord(length);
            keep(*pendingString_, cell);
            pendingString_.reset();
            return;
        }
        default:
            return;
        }
    }

    struct Cell {
        int sheet = -1;
        quint32 row = 0, column = 0;
    };

    // FreeXL gives up on a cell outside every sheet or outside its sheet's size,
    // leaking the cell's text: such a file stops here.
    Cell cellAt()
    {
        Cell c{active_, u16(record_), u16(record_ + 2)};
        const auto outside = [&] {
            damaged(QStringLiteral("ячейка за пределами листа (строка ") + QString::number(c.row + 1)
                    + QStringLiteral(", столбец ") + QString::number(c.column + 1) + ')');
        };
        if (c.column >= quint32(workbookLimits::kMaxXlsColumns) || active_ < 0)
            outside();
        const Sheet& sheet = sheets_[active_];
        if (!sheet.dimension || c.row >= sheet.rows || c.column >= sheet.columns)
            outside();
        return c;
    }

    void keep(const Cell& c, const XlsxCell& cell)
    {
        if (c.sheet < 0 || c.column >= quint32(workbookLimits::kMaxXlsColumns))
            return;
        if (++keptCells_ > workbookLimits::kMaxXlsCells)
            damaged(QStringLiteral("листы книги больше ") + QString::number(workbookLimits::kMaxXlsCells)
                    + QStringLiteral(" ячеек"));
        sheets_[c.sheet].cells.insert(XlsxSheet::key(int(c.row) + 1, int(c.column) + 1), cell);
    }

    void dimension()
    {
        quint32 rows = 0, columns = 0;
        if (version_ == 8) {
            rows = u32(record_ + 4);
            columns = u16(record_ + 10);
        } else {
            rows = u16(record_ + 2);
            columns = u16(record_ + 6);
        }
        if (rows > quint32(workbookLimits::kMaxXlsRows) || columns > quint32(workbookLimits::kMaxXlsColumns))
            damaged(QStringLiteral("лист больше ") + QString::number(workbookLimits::kMaxXlsRows)
                    + QStringLiteral(" строк или ") + QString::number(workbookLimits::kMaxXlsColumns)
                    + QStringLiteral(" столбцов"));
        if (active_ < 0)
            return;
        Sheet& sheet = sheets_[active_];
        // FreeXL allocates every DIMENSION it meets, leaking a repeated one's cells.
        if (sheet.allocated > 0)
            damaged(QStringLiteral("у листа номер ") + QString::number(active_ + 1) + QStringLiteral(" два размера"));
        sheet.dimension = true;
        sheet.rows = rows;
        sheet.columns = columns;
        allocate(sheet);
    }

    void allocate(Sheet& sheet)
    {
        sheet.allocated = quint64(sheet.rows) * sheet.columns;
        allocatedCells_ += sheet.allocated;
        if (allocatedCells_ > workbookLimits::kMaxXlsCells)
            damaged(QStringLiteral("листы книги больше ") + QString::number(workbookLimits::kMaxXlsCells)
                    + QStringLiteral(" ячеек"));
    }

    // Where the characters of a BIFF8 string start after its option byte, and
    // the bytes to skip after them (rich-text runs, phonetic data).
    struct Unicode {
        quint32 start = 1;
        bool wide = false;
        quint64 skip = 0;
    };

    Unicode unicode(quint32 at) const
    {
        Unicode u;
        if (at + 7 > kRecordBuffer)
            damaged();
        const uchar mask = record_[at];
        u.wide = mask & 0x01;
        quint32 p = at + 1;
        quint64 runs = 0, extra = 0;
        if (mask & 0x08) {
            runs = u16(record_ + p);
            p += 2;
        }
        if (mask & 0x04) {
            extra = u32(record_ + p);
            p += 4;
        }
        u.start = p - at;
        u.skip = extra + runs * 4;
        return u;
    }

    void label(quint16 length)
    {
        const quint32 count = u16(record_ + 6);
        if (version_ == 5) {
            if (count == 0 || 8 + count > length)
                damaged();
            return;
        }
        const Unicode u = unicode(8);
        if (count > 0 && 8 + u.start + count * (u.wide ? 2 : 1) > length)
            damaged();
    }

    void format(quint16 length)
    {
        QString text;
        quint16 index = u16(record_);
        if (version_ == 5) {
            const quint32 count = record_[3];
            if (count == 0)
                damaged();
            text = fromCp1251(QByteArray(reinterpret_cast<const char*>(record_ + 3), count));
        } else {
            const quint32 count = u16(record_ + 2);
            const Unicode u = unicode(4);
            const quint32 bytes = count * (u.wide ? 2 : 1);
            if (count > 0 && 4 + u.start + bytes > length)
                damaged();
            const uchar* chars = record_ + 4 + u.start;
            for (quint32 i = 0; i < count && 4 + u.start + (i + 1) * (u.wide ? 2 : 1) <= length; ++i)
                text += u.wide ? QChar(char16_t(u16(chars + 2 * i))) : QChar(char16_t(chars[i]));
        }
        if (dateFormat(text))
            dateFormats_.insert(index);
    }

    bool isDate(quint16 xf) const
    {
        if (xf >= xfFormats_.size())
            return false;
        const quint16 format = xfFormats_[xf];
        if ((format >= 14 && format <= 22) || (format >= 45 && format <= 47))
            return true;
        return dateFormats_.contains(format);
    }

    void dateValue(quint16 xf, double value, const Cell& c)
    {
        // FreeXL counts a date out day by day: a huge one takes seconds, each.
        if (isDate(xf) && !(value >= -2147483648.0 && value < kMaxDateSerial))
            damaged(QStringLiteral("дата за пределами календаря (строка ") + QString::number(c.row + 1)
                    + QStringLiteral(", столбец ") + QString::number(c.column + 1) + ')');
    }

    void rkValue(quint16 xf, quint32 rk, const Cell& c)
    {
        double value = 0;
        if (rk & 0x02) {
            value = double(qint32(rk) >> 2);
        } else {
            const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
            std::memcpy(&value, &bits, sizeof value);
        }
        if (rk & 0x01)
            value /= 100;
        dateValue(xf, value, c);
    }

    QString stringRecord(quint16 length) const
    {
        const quint32 count = u16(record_);
        QString text;
        if (version_ == 5) {
            const quint32 n = std::min<quint32>(count, length > 2 ? length - 2u : 0u);
            return fromCp1251(QByteArray(reinterpret_cast<const char*>(record_ + 2), qsizetype(n)));
        }
        if (length < 3)
            return text;
        const bool wide = record_[2] & 0x01;
        for (quint32 i = 0; i < count; ++i) {
            const quint32 at = 3 + i * (wide ? 2 : 1);
            if (at + (wide ? 2 : 1) > length)
                break;
            text += wide ? QChar(char16_t(u16(record_ + at))) : QChar(char16_t(record_[at]));
        }
        return text;
    }

    // FreeXL's reading of the shared strings, bound by bound.
    void sharedStrings(quint16 length, bool main)
    {
        quint64 p = 0;
        if (sst_.count == 0 && !sst_.table) {
            if (!main)
                return; // FreeXL starts the table from whatever record comes first
            sst_.count = u32(record_ + 4);
            if (sst_.count > kMaxSharedStrings)
                damaged(QStringLiteral("в книге больше ") + QString::number(kMaxSharedStrings) + QStringLiteral(" строк"));
            sst_.table = true;
            p = 8;
        } else if (sst_.pendingLength > 0) {
            const bool wide = record_[0] & 0x01;
            p = 1;
            const quint64 rest = sst_.pendingLength - sst_.pendingOffset;
            if (p + rest * (wide ? 2 : 1) > length)
                damaged(QStringLiteral("строка книги длиннее своей записи"));
            p += rest * (wide ? 2 : 1) + sst_.pendingSkip;
            const quint64 next = p >= length ? p - length : 0;
            sst_.pendingLength = sst_.pendingOffset = 0;
            sst_.pendingSkip = next;
            sst_.nextSkip = 0;
            ++sst_.index;
        }
        for (quint32 i = sst_.index; i < sst_.count; ++i) {
            if (p >= length)
                return;
            p += sst_.nextSkip;
            if (p + 3 > length)
                damaged(QStringLiteral("строка книги за пределами своей записи"));
            const quint32 count = u16(record_ + p);
            p += 2;
            const Unicode u = unicode(quint32(p));
            if (u.skip > kRecordBuffer)
                damaged(QStringLiteral("строка книги за пределами своей записи"));
            p += u.start;
            if (p > length)
                damaged(QStringLiteral("строка книги за пределами своей записи"));
            sst_.pendingSkip = u.skip;
            sst_.nextSkip = 0;
            sst_.pendingOffset = 0;
            sst_.pendingLength = count;
            const quint64 required = quint64(count) * (u.wide ? 2 : 1);
            const quint64 available = length - p;
            if (required > available) {
                sst_.pendingOffset = u.wide ? available / 2 : available;
                return;
            }
            if (count == 0)
                damaged(QStringLiteral("строка книги без длины"));
            p += required + u.skip;
            const quint64 next = p >= length ? p - length : 0;
            sst_.pendingLength = sst_.pendingOffset = sst_.pendingSkip = 0;
            sst_.nextSkip = next;
            sst_.index = i + 1;
        }
    }

    XlsRecords& out_;
    uchar record_[kRecordBuffer + 16] = {};
    quint16 previous_ = 0;
    int version_ = 8;
    int bof_ = -1;
    int active_ = -1;
    QList<Sheet> sheets_;
    std::vector<quint16> xfFormats_;
    int formatCount_ = 0;
    QSet<quint16> dateFormats_;
    quint64 allocatedCells_ = 0;
    quint64 keptCells_ = 0;
    std::optional<Cell> pendingString_;
    struct {
        quint32 count = 0;
        bool table = false;
        quint32 index = 0;
        quint64 pendingLength = 0, pendingOffset = 0, pendingSkip = 0, nextSkip = 0;
    } sst_;
};

} // namespace

XlsRecords readXlsRecords(const QString& path)
{
    XlsRecords out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.damage = QStringLiteral("файл не открывается для чтения");
        return out;
    }
    const qint64 size = file.size();
    if (size > workbookLimits::kMaxXlsFileBytes) {
        out.damage = QStringLiteral("файл больше ") + QString::number(workbookLimits::kMaxXlsFileBytes >> 20)
                     + QStringLiteral(" МБ");
        return out;
    }
    QByteArray contents;
    const uchar* data = size > 0 ? file.map(0, size) : nullptr;
    if (!data && size > 0) {
        contents = file.readAll();
        data = reinterpret_cast<const uchar*>(contents.constData());
    }
    try {
        CompoundFile compound(data, size);
        bool mini = false;
        const QByteArray stream = compound.workbookStream(mini);
        RecordWalk(out).walk(stream, mini);
    } catch (const Damage& damage) {
        out.damage = damage.why;
        out.cells.clear();
    }
    return out;
}

} // namespace zurm
