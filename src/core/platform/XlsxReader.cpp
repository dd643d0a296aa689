#include "platform/XlsxReader.h"

#include "base/Failure.h"

#include <QFile>
#include <cmath>
#include <vector>
#include <QXmlStreamReader>
#include <unzip.h>

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

// Text of all <t> elements inside the current element, leaving out phonetic runs.
QString collectText(QXmlStreamReader& xml)
{
    QString text;
    int phonetic = 0;
    const QString end = xml.name().toString();
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t") && phonetic == 0)
                text += xml.readElementText();
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == end)
                break;
        }
    }
    return unescapeText(text);
}

// Reads the next token; a document type declaration (never part of a workbook,
// and the only way to declare entities) stops the reading as damage.
void readNext(QXmlStreamReader& xml)
{
    if (xml.readNext() == QXmlStreamReader::DTD)
        xml.raiseError(QStringLiteral("DTD"));
}

// "B12" for (12, 2).
QString cellName(int row, int column)
{
    QString letters;
    for (int c = column; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row);
}

void limitEntities(QXmlStreamReader& xml)
{
    xml.setEntityExpansionLimit(1024);
}

// Lists of a workbook (sheets, relationships, formats, fonts, borders) beyond
// any a spreadsheet program writes.
constexpr qsizetype kMaxListItems = 1'000'000;

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
        readSharedStrings();
        readStyles();
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
    throw Failure(kErrorClass, QStringLiteral("Не удалось прочитать книгу ") + path_ + QStringLiteral(": ") + why + '.');
}

QByteArray XlsxReader::part(const QString& name, bool required) const
{
    using namespace workbookLimits;
    QString inZip = name;
    if (inZip.startsWith(QLatin1Char('/')))
        inZip.remove(0, 1);
    if (unzLocateFile(zip_, inZip.toUtf8().constData(), 0) != UNZ_OK) {
        if (required)
            fail(QStringLiteral("нет части ") + inZip);
        return {};
    }
    const QString damaged = QStringLiteral("часть ") + inZip + QStringLiteral(" повреждена");
    const QString tooLarge = QStringLiteral("часть ") + inZip + QStringLiteral(" больше ")
                             + QString::number(kMaxPartBytes >> 20) + QStringLiteral(" МБ после распаковки");
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        fail(damaged);
    // The sizes in the headers are only a first check: the count while inflating decides.
    if (info.uncompressed_size > ZPOS64_T(kMaxPartBytes))
        fail(tooLarge);
    if (unzOpenCurrentFile(zip_) != UNZ_OK)
        fail(damaged);
    QByteArray bytes;
    bytes.reserve(qsizetype(info.uncompressed_size));
    char buffer[65536];
    int got = 0;
    QString limit;
    while ((got = unzReadCurrentFile(zip_, buffer, sizeof buffer)) > 0) {
        if (bytes.size() + got > kMaxPartBytes) {
            limit = tooLarge;
            break;
        }
        if (unpackedBytes_ + got > kMaxTotalBytes) {
            limit = QStringLiteral("части книги больше ") + QString::number(kMaxTotalBytes >> 20)
                    + QStringLiteral(" МБ после распаковки");
            break;
        }
        unpackedBytes_ += got;
        bytes.append(buffer, got);
    }
    const int closed = unzCloseCurrentFile(zip_);
    if (!limit.isEmpty())
        fail(limit);
    if (got < 0 || closed != UNZ_OK)
        fail(damaged);
    return bytes;
}

void XlsxReader::checkXml(const QXmlStreamReader& xml, const QString& part) const
{
    if (xml.hasError())
        fail(QStringLiteral("часть ") + part + QStringLiteral(" повреждена (строка ")
             + QString::number(xml.lineNumber()) + QStringLiteral(" разметки)"));
}

void XlsxReader::readWorkbook()
{
    QHash<QString, QString> targets;
    {
        const QString relations = QStringLiteral("xl/_rels/workbook.xml.rels");
        QXmlStreamReader xml(part(relations));
        limitEntities(xml);
        while (!xml.atEnd()) {
            readNext(xml);
            if (xml.isStartElement() && xml.name() == QLatin1String("Relationship")) {
                if (targets.size() >= kMaxListItems)
                    xml.raiseError();
                targets.insert(xml.attributes().value(QLatin1String("Id")).toString(),
                               xml.attributes().value(QLatin1String("Target")).toString());
            }
        }
        checkXml(xml, relations);
    }
    const QString workbook = QStringLiteral("xl/workbook.xml");
    QXmlStreamReader xml(part(workbook));
    limitEntities(xml);
    while (!xml.atEnd()) {
        readNext(xml);
        if (!xml.isStartElement() || xml.name() != QLatin1String("sheet"))
            continue;
        QString id;
        for (const QXmlStreamAttribute& attribute : xml.attributes())
            if (attribute.name() == QLatin1String("id") && !attribute.namespaceUri().isEmpty())
                id = attribute.value().toString();
        QString target = targets.value(id);
        if (target.isEmpty())
            fail(QStringLiteral("лист без части"));
        if (!target.startsWith(QLatin1Char('/')))
            target = QStringLiteral("xl/") + target;
        if (sheetNames_.size() >= kMaxListItems)
            xml.raiseError();
        sheetNames_.append(xml.attributes().value(QLatin1String("name")).toString());
        sheetParts_.append(target);
    }
    checkXml(xml, workbook);
}

void XlsxReader::readSharedStrings()
{
    const QString name = QStringLiteral("xl/sharedStrings.xml");
    const QByteArray bytes = part(name, false);
    if (bytes.isEmpty())
        return;
    QXmlStreamReader xml(bytes);
    limitEntities(xml);
    while (!xml.atEnd()) {
        readNext(xml);
        if (xml.isStartElement() && xml.name() == QLatin1String("si")) {
            if (sharedStrings_.size() >= workbookLimits::kMaxSharedStrings)
                fail(QStringLiteral("в книге больше ") + QString::number(workbookLimits::kMaxSharedStrings)
                     + QStringLiteral(" строк"));
            sharedStrings_.append(collectText(xml));
        }
    }
    checkXml(xml, name);
}

void XlsxReader::readStyles()
{
    const QByteArray bytes = part(QStringLiteral("xl/styles.xml"), false);
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
    QXmlStreamReader xml(bytes);
    limitEntities(xml);
    bool inCellFormats = false;
    XlsxStyle* current = nullptr;
    while (!xml.atEnd() && !bytes.isEmpty()) {
        readNext(xml);
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
    checkXml(xml, QStringLiteral("xl/styles.xml"));
    if (styles_.isEmpty()) {
        XlsxStyle general;
        general.numberFormat = QStringLiteral("General");
        styles_.append(general);
    }
}

const XlsxStyle& XlsxReader::style(int index) const
{
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
    const QString partName = sheetParts_[index];
    QXmlStreamReader xml(part(partName));
    limitEntities(xml);
    int row = 0;
    int column = 0;
    QString value; // the text of a cell's value, its buffer kept from cell to cell
    while (!xml.atEnd()) {
        readNext(xml);
        if (!xml.isStartElement())
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
                sheet.cells.reserve(qsizetype(std::min<qint64>(rows * columns, 1 << 22)));
            }
        } else if (name == QLatin1String("row")) {
            const QStringView r = a.value(QLatin1String("r"));
            bool ok = true;
            row = r.isEmpty() ? row + 1 : r.toInt(&ok);
            if (!ok || row < 1 || row > kMaxRows)
                outside(QStringLiteral("строка ") + (r.isEmpty() ? QString::number(row) : r.toString()));
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
                xml.skipCurrentElement();
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
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isEndElement() && xml.name() == QLatin1String("c"))
                    break;
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == QLatin1String("f")) {
                    cell.formula = true;
                    xml.skipCurrentElement();
                } else if (xml.name() == QLatin1String("v")) {
                    value.resize(0);
                    while (!xml.atEnd()) {
                        xml.readNext();
                        if (xml.isCharacters())
                            value.append(xml.text());
                        else if (xml.isStartElement())
                            xml.skipCurrentElement();
                        else if (xml.isEndElement())
                            break;
                    }
                    hasValue = true;
                } else if (xml.name() == QLatin1String("is")) {
                    value = collectText(xml);
                    hasValue = true;
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (hasValue) {
                const QStringView trimmed = QStringView(value).trimmed();
                switch (type) {
                case Type::Shared: {
                    bool ok = false;
                    const qsizetype i = trimmed.toLongLong(&ok);
                    if (!ok || i < 0 || i >= sharedStrings_.size())
                        fail(QStringLiteral("ячейка ") + cellName(row, column) + QStringLiteral(" листа «")
                             + sheet.name + QStringLiteral("» ссылается на строку, которой нет в книге"));
                    cell.kind = XlsxCell::Kind::Text;
                    cell.text = sharedStrings_[i];
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
                    // cell can name it instead of taking it for empty.
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
            }
            if (sheet.cells.size() >= kMaxCells)
                fail(QStringLiteral("на листе «") + sheet.name + QStringLiteral("» больше ")
                     + QString::number(kMaxCells) + QStringLiteral(" ячеек"));
            sheet.cells.insert(XlsxSheet::key(row, column), cell);
        }
    }
    checkXml(xml, partName);
    return sheet;
}

} // namespace zurm
