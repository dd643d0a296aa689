#include "platform/XlsxReader.h"

#include "base/Failure.h"

#include <QFile>
#include <QIODevice>
#include <QXmlStreamReader>
#include <cmath>
#include <unzip.h>
#include <vector>

namespace zurm {

namespace {

const QString kErrorClass = QStringLiteral("XlsxError");

// Number formats every spreadsheet program knows by number alone.
QString builtInFormat(int id)
{
    switch (id) {
    case 0: return QStringLiteral("General");
    case 1: return QStringLiteral("0");
    case 2: return QStringLiteral("0.00");
    case 3: return QStringLiteral("#,##0");
    case 4: return QStringLiteral("#,##0.00");
    case 9: return QStringLiteral("0%");
    case 10: return QStringLiteral("0.00%");
    case 11: return QStringLiteral("0.00E+00");
    case 14: return QStringLiteral("mm-dd-yy");
    case 49: return QStringLiteral("@");
    default: return QStringLiteral("General");
    }
}

// Characters that XML cannot carry are stored as "_xHHHH_".
QString unescapeText(const QString& text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('_') && i + 6 < text.size() && text[i + 1] == QLatin1Char('x')
            && text[i + 6] == QLatin1Char('_')) {
            bool ok = false;
            const ushort code = text.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out.append(QChar(code));
                i += 6;
                continue;
            }
        }
        out.append(text[i]);
    }
    return out;
}

bool flagAttribute(const QXmlStreamAttributes& attributes, QStringView name, bool absent)
{
    if (!attributes.hasAttribute(name.toString()))
        return absent;
    const QStringView value = attributes.value(name.toString());
    return value != QLatin1String("0") && value != QLatin1String("false");
}

// "B12" for (12, 2).
QString cellName(int row, int column)
{
    QString letters;
    for (int c = column; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row);
}

// Lists of a workbook (sheets, relationships, formats, fonts, borders) beyond
// any a spreadsheet program writes.
constexpr qsizetype kMaxListItems = 1'000'000;

[[noreturn]] void failBook(const QString& path, const QString& why)
{
    throw Failure(kErrorClass, QStringLiteral("Не удалось прочитать книгу ") + path + QStringLiteral(": ") + why + '.');
}

QString tooLarge(const QString& part, qint64 maxBytes)
{
    return QStringLiteral("часть ") + part + QStringLiteral(" больше ") + QString::number(maxBytes >> 20)
           + QStringLiteral(" МБ после распаковки");
}

// The bytes of one part as they inflate, so that no part is ever held whole:
// the XML reader pulls them in small blocks. Stops at the part and workbook
// limits and when one token (a text, a tag with its attributes) grows past
// kMaxTokenBytes, which the XML reader would otherwise gather whole.
class PartDevice : public QIODevice {
public:
    PartDevice(void* zip, const QString& name, qint64 maxBytes, qint64& unpacked)
        : zip_(zip), name_(name), maxBytes_(maxBytes), unpacked_(unpacked)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    void startToken() { tokenStart_ = size_; }
    const QString& limit() const { return limit_; }
    bool broken() const { return broken_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        using namespace workbookLimits;
        if (!limit_.isEmpty() || broken_ || ended_)
            return -1;
        const int got = unzReadCurrentFile(zip_, data, unsigned(std::min<qint64>(maxSize, 1 << 16)));
        if (got < 0)
            broken_ = true;
        if (got <= 0) {
            ended_ = true;
            return -1;
        }
        size_ += got;
        unpacked_ += got;
        if (size_ > maxBytes_)
            limit_ = tooLarge(name_, maxBytes_);
        else if (unpacked_ > kMaxTotalBytes)
            limit_ = QStringLiteral("части книги больше ") + QString::number(kMaxTotalBytes >> 20)
                     + QStringLiteral(" МБ после распаковки");
        else if (size_ - tokenStart_ > kMaxTokenBytes)
            limit_ = QStringLiteral("в части ") + name_ + QStringLiteral(" текст или элемент длиннее ")
                     + QString::number(kMaxTokenBytes >> 20) + QStringLiteral(" МБ");
        return limit_.isEmpty() ? got : -1;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    void* zip_;
    QString name_;
    qint64 maxBytes_;
    qint64& unpacked_;
    qint64 size_ = 0;
    qint64 tokenStart_ = 0;
    QString limit_;
    bool broken_ = false;
    bool ended_ = false;
};

// One part of the package read as XML, within the limits against hostile
// files: the nesting depth, the length of one text and of one token; no DTD
// (never part of a workbook, and the only way to declare entities).
class PartXml {
public:
    // The lists of a workbook (sheets, relationships, formats) are far smaller
    // than its cells: `cells` tells which limit applies.
    PartXml(void* zip, const QString& path, const QString& name, bool required, bool cells, qint64& unpacked)
        : zip_(zip), path_(path), name_(name.startsWith(QLatin1Char('/')) ? name.mid(1) : name),
          maxBytes_(cells ? workbookLimits::kMaxPartBytes : workbookLimits::kMaxListPartBytes),
          device_(zip, name_, maxBytes_, unpacked)
    {
        using namespace workbookLimits;
        if (unzLocateFile(zip_, name_.toUtf8().constData(), 0) != UNZ_OK) {
            if (required)
                failBook(path_, QStringLiteral("нет части ") + name_);
            return;
        }
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            failBook(path_, damaged());
        // The size in the headers is only a first check: the count while inflating decides.
        if (info.uncompressed_size > ZPOS64_T(maxBytes_))
            failBook(path_, tooLarge(name_, maxBytes_));
        if (!required && info.uncompressed_size == 0)
            return;
        if (unzOpenCurrentFile(zip_) != UNZ_OK)
            failBook(path_, damaged());
        open_ = true;
        xml_.setDevice(&device_);
        xml_.setEntityExpansionLimit(1024);
    }
    ~PartXml()
    {
        if (open_)
            unzCloseCurrentFile(zip_);
    }
    PartXml(const PartXml&) = delete;
    PartXml& operator=(const PartXml&) = delete;

    const QString& name() const { return name_; }
    bool atEnd() const { return !open_ || xml_.atEnd(); }
    QXmlStreamReader& xml() { return xml_; }

    QXmlStreamReader::TokenType next()
    {
        device_.startToken();
        const QXmlStreamReader::TokenType token = xml_.readNext();
        if (token == QXmlStreamReader::DTD) {
            xml_.raiseError(QStringLiteral("DTD"));
        } else if (token == QXmlStreamReader::StartElement) {
            if (++depth_ > kMaxDepth)
                stop(QStringLiteral("в части ") + name_ + QStringLiteral(" элементы вложены глубже ")
                     + QString::number(kMaxDepth) + QStringLiteral(" уровней"));
        } else if (token == QXmlStreamReader::EndElement) {
            --depth_;
        }
        return token;
    }

    // Past the end of the current element.
    void skipElement()
    {
        const int depth = depth_;
        while (!atEnd())
            if (next() == QXmlStreamReader::EndElement && depth_ < depth)
                return;
    }

    // The characters right inside the current element, its children skipped.
    QString elementText()
    {
        QString text;
        const int depth = depth_;
        while (!atEnd()) {
            const QXmlStreamReader::TokenType token = next();
            if (token == QXmlStreamReader::EndElement && depth_ < depth)
                break;
            if (token == QXmlStreamReader::Characters && depth_ == depth && append(text, xml_.text()))
                break;
        }
        return text;
    }

    // The text of the <t> elements inside the current element (a shared or
    // inline string, maybe in runs), leaving out phonetic runs.
    QString stringText()
    {
        QString text;
        const int depth = depth_;
        int phonetic = 0;
        while (!atEnd()) {
            const QXmlStreamReader::TokenType token = next();
            if (token == QXmlStreamReader::EndElement) {
                if (depth_ < depth)
                    break;
                if (xml_.name() == QLatin1String("rPh"))
                    --phonetic;
            } else if (token == QXmlStreamReader::StartElement) {
                if (xml_.name() == QLatin1String("rPh"))
                    ++phonetic;
                else if (xml_.name() == QLatin1String("t") && phonetic == 0 && append(text, elementText()))
                    break;
            }
        }
        return unescapeText(text);
    }

    // Stops the reading with the reason finish() gives.
    void stop(const QString& why)
    {
        if (limit_.isEmpty())
            limit_ = why;
        xml_.raiseError(why);
    }

    // After the reading: the first limit met, a damaged stream or damaged XML ends here.
    void finish()
    {
        if (!open_)
            return;
        const int closed = unzCloseCurrentFile(zip_);
        open_ = false;
        if (!limit_.isEmpty())
            failBook(path_, limit_);
        if (!device_.limit().isEmpty())
            failBook(path_, device_.limit());
        if (device_.broken() || closed != UNZ_OK)
            failBook(path_, damaged());
        if (xml_.hasError())
            failBook(path_, QStringLiteral("часть ") + name_ + QStringLiteral(" повреждена (строка ")
                                + QString::number(xml_.lineNumber()) + QStringLiteral(" разметки)"));
    }

private:
    static constexpr int kMaxDepth = 256;

    QString damaged() const { return QStringLiteral("часть ") + name_ + QStringLiteral(" повреждена"); }

    // True when the text would grow past the longest cell text of a spreadsheet program.
    bool append(QString& text, QStringView more)
    {
        if (text.size() + more.size() > workbookLimits::kMaxStringLength) {
            stop(QStringLiteral("в части ") + name_ + QStringLiteral(" строка длиннее ")
                 + QString::number(workbookLimits::kMaxStringLength) + QStringLiteral(" знаков"));
            return true;
        }
        text.append(more);
        return false;
    }

    void* zip_;
    QString path_;
    QString name_;
    qint64 maxBytes_;
    PartDevice device_;
    QXmlStreamReader xml_;
    bool open_ = false;
    int depth_ = 0;
    QString limit_;
};

} // namespace

bool parseCellReference(QStringView reference, int& row, int& column)
{
    column = 0;
    row = 0;
    qsizetype i = 0;
    for (; i < reference.size() && reference[i].isLetter(); ++i) {
        const char16_t c = reference[i].toUpper().unicode();
        if (c < u'A' || c > u'Z' || column > 16384)
            return false;
        column = column * 26 + int(c - u'A' + 1);
    }
    if (i == 0 || i == reference.size())
        return false;
    for (; i < reference.size(); ++i) {
        const char16_t c = reference[i].unicode();
        if (c < u'0' || c > u'9' || row > 10'000'000)
            return false;
        row = row * 10 + int(c - u'0');
    }
    return row > 0 && column > 0;
}

const XlsxCell& XlsxSheet::cell(int row, int column) const
{
    static const XlsxCell empty;
    const auto it = cells.constFind(key(row, column));
    return it == cells.constEnd() ? empty : *it;
}

XlsxReader::XlsxReader(const QString& path) : path_(path)
{
    zip_ = unzOpen64(QFile::encodeName(path).constData());
    if (!zip_)
        fail(QStringLiteral("файл не найден или не является книгой Microsoft Excel (*.xlsx)"));
    try {
        readWorkbook();
    } catch (...) {
        unzClose(zip_);
        throw;
    }
}

XlsxReader::~XlsxReader()
{
    unzClose(zip_);
}

void XlsxReader::fail(const QString& why) const
{
    failBook(path_, why);
}

void XlsxReader::readWorkbook()
{
    QHash<QString, QString> targets;
    {
        PartXml part(zip_, path_, QStringLiteral("xl/_rels/workbook.xml.rels"), true, false, unpackedBytes_);
        while (!part.atEnd()) {
            if (part.next() != QXmlStreamReader::StartElement || part.xml().name() != QLatin1String("Relationship"))
                continue;
            if (targets.size() >= kMaxListItems)
                part.xml().raiseError();
            const QXmlStreamAttributes a = part.xml().attributes();
            targets.insert(a.value(QLatin1String("Id")).toString(), a.value(QLatin1String("Target")).toString());
        }
        part.finish();
    }
    PartXml part(zip_, path_, QStringLiteral("xl/workbook.xml"), true, false, unpackedBytes_);
    while (!part.atEnd()) {
        if (part.next() != QXmlStreamReader::StartElement || part.xml().name() != QLatin1String("sheet"))
            continue;
        const QXmlStreamAttributes a = part.xml().attributes();
        QString id;
        for (const QXmlStreamAttribute& attribute : a)
            if (attribute.name() == QLatin1String("id") && !attribute.namespaceUri().isEmpty())
                id = attribute.value().toString();
        QString target = targets.value(id);
        if (target.isEmpty())
            fail(QStringLiteral("лист без части"));
        if (!target.startsWith(QLatin1Char('/')))
            target = QStringLiteral("xl/") + target;
        if (sheetNames_.size() >= kMaxListItems)
            part.xml().raiseError();
        sheetNames_.append(a.value(QLatin1String("name")).toString());
        sheetParts_.append(target);
    }
    part.finish();
}

// Read at the first sheet read, not when only the sheet names are wanted. The
// strings lie end to end in one text, so that millions of short ones cost
// their characters and an offset each.
void XlsxReader::readSharedStrings() const
{
    using namespace workbookLimits;
    if (stringsRead_)
        return;
    PartXml part(zip_, path_, QStringLiteral("xl/sharedStrings.xml"), false, true, unpackedBytes_);
    stringPool_.clear();
    stringStarts_.assign(1, 0);
    while (!part.atEnd()) {
        if (part.next() != QXmlStreamReader::StartElement || part.xml().name() != QLatin1String("si"))
            continue;
        if (qint64(stringStarts_.size()) > kMaxSharedStrings)
            fail(QStringLiteral("в книге больше ") + QString::number(kMaxSharedStrings) + QStringLiteral(" строк"));
        const QString text = part.stringText();
        if (stringPool_.size() + text.size() > kMaxTextTotal)
            part.stop(QStringLiteral("строки книги длиннее ") + QString::number(kMaxTextTotal / 1'000'000)
                      + QStringLiteral(" млн знаков в сумме"));
        stringPool_.append(text);
        stringStarts_.push_back(stringPool_.size());
    }
    part.finish();
    stringsRead_ = true;
}

void XlsxReader::readStyles() const
{
    if (stylesRead_)
        return;
    styles_.clear();
    PartXml part(zip_, path_, QStringLiteral("xl/styles.xml"), false, false, unpackedBytes_);
    QHash<int, QString> formats;
    struct Font {
        bool bold = false;
        double size = 11;
    };
    struct Border {
        bool left = false, top = false, right = false, bottom = false;
    };
    QList<Font> fonts;
    QList<Border> borders;
    QXmlStreamReader& xml = part.xml();
    bool inCellFormats = false;
    XlsxStyle* current = nullptr;
    while (!part.atEnd()) {
        part.next();
        if (fonts.size() > kMaxListItems || borders.size() > kMaxListItems || styles_.size() > kMaxListItems
            || formats.size() > kMaxListItems)
            xml.raiseError();
        if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("cellXfs"))
                inCellFormats = false;
            continue;
        }
        if (!xml.isStartElement())
            continue;
        const QStringView name = xml.name();
        const QXmlStreamAttributes a = xml.attributes();
        if (name == QLatin1String("numFmt")) {
            formats.insert(a.value(QLatin1String("numFmtId")).toInt(), a.value(QLatin1String("formatCode")).toString());
        } else if (name == QLatin1String("font")) {
            fonts.append(Font{});
        } else if (name == QLatin1String("b") && !fonts.isEmpty()) {
            fonts.last().bold = flagAttribute(a, u"val", true);
        } else if (name == QLatin1String("sz") && !fonts.isEmpty()) {
            fonts.last().size = a.value(QLatin1String("val")).toDouble();
        } else if (name == QLatin1String("border")) {
            borders.append(Border{});
        } else if (!borders.isEmpty()
                   && (name == QLatin1String("left") || name == QLatin1String("right") || name == QLatin1String("top")
                       || name == QLatin1String("bottom"))) {
            const QStringView line = a.value(QLatin1String("style"));
            const bool drawn = !line.isEmpty() && line != QLatin1String("none");
            Border& border = borders.last();
            (name == QLatin1String("left") ? border.left
             : name == QLatin1String("right") ? border.right
             : name == QLatin1String("top")   ? border.top
                                              : border.bottom) = drawn;
        } else if (name == QLatin1String("cellXfs")) {
            inCellFormats = true;
        } else if (name == QLatin1String("xf") && inCellFormats) {
            XlsxStyle style;
            const int formatId = a.value(QLatin1String("numFmtId")).toInt();
            style.numberFormat = formats.value(formatId, builtInFormat(formatId));
            const qsizetype font = a.value(QLatin1String("fontId")).toInt();
            if (font >= 0 && font < fonts.size()) {
                style.bold = fonts[font].bold;
                style.fontSize = fonts[font].size;
            }
            const qsizetype border = a.value(QLatin1String("borderId")).toInt();
            if (border >= 0 && border < borders.size()) {
                style.left = borders[border].left;
                style.top = borders[border].top;
                style.right = borders[border].right;
                style.bottom = borders[border].bottom;
            }
            styles_.append(style);
            current = &styles_.last();
        } else if (name == QLatin1String("alignment") && inCellFormats && current) {
            current->horizontal = a.value(QLatin1String("horizontal")).toString();
            current->vertical = a.value(QLatin1String("vertical")).toString();
            current->wrap = flagAttribute(a, u"wrapText", false);
        }
    }
    part.finish();
    if (styles_.isEmpty()) {
        XlsxStyle general;
        general.numberFormat = QStringLiteral("General");
        styles_.append(general);
    }
    stylesRead_ = true;
}

const XlsxStyle& XlsxReader::style(int index) const
{
    readStyles();
    return styles_[index >= 0 && index < styles_.size() ? index : 0];
}

XlsxSheet XlsxReader::sheet(int index) const
{
    return readSheet(index, nullptr);
}

XlsxSheet XlsxReader::sheet(int index, const SheetWindow& window) const
{
    return readSheet(index, &window);
}

XlsxSheet XlsxReader::readSheet(int index, const SheetWindow* window) const
{
    using namespace workbookLimits;
    if (index < 0 || index >= sheetParts_.size())
        fail(QStringLiteral("нет листа номер ") + QString::number(index + 1));
    readSharedStrings();
    // Columns of the window, as a flag per column.
    std::vector<bool> wanted;
    if (window && !window->columns.isEmpty()) {
        wanted.assign(kMaxColumns + 1, false);
        for (const int column : window->columns)
            if (column >= 1 && column <= kMaxColumns)
                wanted[column] = true;
    }
    const auto inWindow = [&](int row, int column) {
        if (!window)
            return true;
        if (row < window->firstRow || row > window->lastRow)
            return false;
        return wanted.empty() || wanted[column];
    };
    const auto outside = [&](const QString& what) {
        fail(what + QStringLiteral(" листа «") + sheetNames_[index] + QStringLiteral("» за пределами листа"));
    };

    XlsxSheet sheet;
    sheet.name = sheetNames_[index];
    PartXml part(zip_, path_, sheetParts_[index], true, true, unpackedBytes_);
    QXmlStreamReader& xml = part.xml();
    // Shared strings made into texts once each: cells that repeat one share it.
    QHash<qsizetype, QString> strings;
    qint64 textChars = 0; // of the texts the cells keep
    int row = 0;
    int column = 0;
    while (!part.atEnd()) {
        if (part.next() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        const QXmlStreamAttributes a = xml.attributes();
        if (name == QLatin1String("dimension")) {
            // The used range, when the writer gives it, sizes the cell table once.
            const QStringList corners = a.value(QLatin1String("ref")).toString().split(QLatin1Char(':'));
            int lastRow = 0, lastColumn = 0;
            if (corners.size() == 2 && parseCellReference(corners[1], lastRow, lastColumn)) {
                qint64 rows = std::min(lastRow, kMaxRows);
                qint64 columns = std::min(lastColumn, kMaxColumns);
                if (window) {
                    rows = std::max<qint64>(0, std::min<qint64>(rows, window->lastRow) - std::max(1, window->firstRow) + 1);
                    if (!window->columns.isEmpty())
                        columns = std::min<qint64>(columns, window->columns.size());
                }
                sheet.cells.reserve(qsizetype(std::min<qint64>(rows * columns, 1 << 20)));
            }
        } else if (name == QLatin1String("row")) {
            const QStringView r = a.value(QLatin1String("r"));
            bool ok = true;
            row = r.isEmpty() ? row + 1 : r.toInt(&ok);
            if (!ok || row < 1 || row > kMaxRows)
                outside(QStringLiteral("строка ") + (r.isEmpty() ? QString::number(row) : r.left(20).toString()));
            column = 0;
            if (!window && a.hasAttribute(QLatin1String("ht")))
                sheet.rowHeights.insert(row, a.value(QLatin1String("ht")).toDouble());
        } else if (name == QLatin1String("col")) {
            if (window)
                continue;
            const int first = std::max(1, a.value(QLatin1String("min")).toInt());
            const int last = std::min(kMaxColumns, a.value(QLatin1String("max")).toInt());
            for (int c = first; c <= last; ++c)
                sheet.columnWidths.insert(c, a.value(QLatin1String("width")).toDouble());
        } else if (name == QLatin1String("mergeCell")) {
            if (window)
                continue;
            const QStringList corners = a.value(QLatin1String("ref")).toString().split(QLatin1Char(':'));
            XlsxRange range;
            if (corners.size() == 2 && parseCellReference(corners[0], range.firstRow, range.firstColumn)
                && parseCellReference(corners[1], range.lastRow, range.lastColumn))
                sheet.merges.append(range);
        } else if (name == QLatin1String("c")) {
            int cellRow = row;
            const QStringView reference = a.value(QLatin1String("r"));
            if (reference.isEmpty())
                ++column;
            else if (!parseCellReference(reference, cellRow, column))
                outside(QStringLiteral("ячейка ") + reference.left(20).toString());
            if (cellRow < 1 || cellRow > kMaxRows || column < 1 || column > kMaxColumns)
                outside(QStringLiteral("ячейка ")
                        + (reference.isEmpty() ? cellName(cellRow, column) : reference.left(20).toString()));
            row = cellRow;
            sheet.rowCount = std::max(sheet.rowCount, row);
            sheet.columnCount = std::max(sheet.columnCount, column);
            if (!inWindow(row, column)) {
                part.skipElement();
                continue;
            }
            XlsxCell cell;
            cell.style = a.value(QLatin1String("s")).toInt();
            enum class Type { Number, Shared, Inline, Text, Boolean, Error };
            const QStringView t = a.value(QLatin1String("t"));
            const Type type = t == QLatin1String("s")         ? Type::Shared
                              : t == QLatin1String("inlineStr") ? Type::Inline
                              : t == QLatin1String("str") || t == QLatin1String("d") ? Type::Text
                              : t == QLatin1String("b")         ? Type::Boolean
                              : t == QLatin1String("e")         ? Type::Error
                                                                : Type::Number;
            bool hasValue = false;
            QString value;
            while (!part.atEnd()) {
                // Each child is read to its end, so the next end is the cell's.
                const QXmlStreamReader::TokenType token = part.next();
                if (token == QXmlStreamReader::EndElement)
                    break;
                if (token != QXmlStreamReader::StartElement)
                    continue;
                if (xml.name() == QLatin1String("f")) {
                    cell.formula = true;
                    part.skipElement();
                } else if (xml.name() == QLatin1String("v")) {
                    value = part.elementText();
                    hasValue = true;
                } else if (xml.name() == QLatin1String("is")) {
                    value = part.stringText();
                    hasValue = true;
                } else {
                    part.skipElement();
                }
            }
            if (hasValue) {
                const QStringView trimmed = QStringView(value).trimmed();
                switch (type) {
                case Type::Shared: {
                    bool ok = false;
                    const qsizetype i = trimmed.toLongLong(&ok);
                    if (!ok || i < 0 || i + 1 >= qsizetype(stringStarts_.size()))
                        fail(QStringLiteral("ячейка ") + cellName(row, column) + QStringLiteral(" листа «")
                             + sheet.name + QStringLiteral("» ссылается на строку, которой нет в книге"));
                    cell.kind = XlsxCell::Kind::Text;
                    auto made = strings.find(i);
                    if (made == strings.end())
                        made = strings.insert(i, stringPool_.mid(stringStarts_[i], stringStarts_[i + 1] - stringStarts_[i]));
                    cell.text = *made;
                    break;
                }
                case Type::Inline:
                    cell.kind = XlsxCell::Kind::Text;
                    cell.text = value;
                    break;
                case Type::Text:
                    cell.kind = XlsxCell::Kind::Text;
                    cell.text = unescapeText(value);
                    break;
                case Type::Boolean:
                    cell.kind = XlsxCell::Kind::Boolean;
                    cell.number = trimmed == QLatin1String("1") || trimmed == QLatin1String("true") ? 1 : 0;
                    break;
                case Type::Error:
                    cell.kind = XlsxCell::Kind::Error;
                    cell.text = value;
                    break;
                case Type::Number: {
                    // What no number is stays as its text, so that whoever reads the
                    // cell can name it instead of taking it for empty. The text is
                    // read with "." whatever the user's locale, as the format stores it.
                    bool ok = false;
                    cell.number = trimmed.toDouble(&ok);
                    if (ok && std::isfinite(cell.number)) {
                        cell.kind = XlsxCell::Kind::Number;
                    } else if (!trimmed.isEmpty()) {
                        cell.number = 0;
                        cell.kind = XlsxCell::Kind::Text;
                        cell.text = value;
                    }
                    break;
                }
                }
                if (type != Type::Shared) {
                    textChars += cell.text.size();
                    if (textChars > kMaxTextTotal)
                        part.stop(QStringLiteral("тексты ячеек листа «") + sheet.name + QStringLiteral("» длиннее ")
                                  + QString::number(kMaxTextTotal / 1'000'000) + QStringLiteral(" млн знаков в сумме"));
                }
            }
            if (sheet.cells.size() >= kMaxCells)
                fail(QStringLiteral("на листе «") + sheet.name + QStringLiteral("» больше ")
                     + QString::number(kMaxCells) + QStringLiteral(" ячеек"));
            sheet.cells.insert(XlsxSheet::key(row, column), cell);
        }
    }
    part.finish();
    return sheet;
}

} // namespace zurm
