#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <vector>

namespace zurm {

// One cell of a worksheet as stored: shared and inline strings are Text, a
// formula cell holds the result its writer stored (no formula is evaluated).
struct XlsxCell {
    enum class Kind { Empty, Number, Text, Boolean, Error };
    Kind kind = Kind::Empty;
    double number = 0;   // Number, Boolean (0 or 1)
    QString text;        // Text, Error ("#DIV/0!")
    bool formula = false;
    int style = 0;       // index into the cell formats (XlsxStyle)
};

// How a cell looks: enough to check what a workbook asks of the spreadsheet
// program (number format, font, alignment, which sides have a line).
struct XlsxStyle {
    QString numberFormat;   // "General", "@", "0", "#,##0.0##" …
    bool bold = false;
    double fontSize = 11;
    bool wrap = false;
    QString horizontal;     // "center", "left" …; empty: general
    QString vertical;       // "top", "center" …; empty: bottom
    bool left = false, top = false, right = false, bottom = false; // a line on that side
};

// A rectangle of cells, 1-based and inclusive.
struct XlsxRange {
    int firstRow = 0, firstColumn = 0, lastRow = 0, lastColumn = 0;
    bool operator==(const XlsxRange&) const = default;
};

struct XlsxSheet {
    QString name;
    int rowCount = 0;     // the highest row with a cell
    int columnCount = 0;  // the highest column with a cell
    QList<XlsxRange> merges;
    QMap<int, double> columnWidths; // 1-based column -> width as stored
    QMap<int, double> rowHeights;   // 1-based row -> height in points, where set

    // The cell at (row, column), 1-based; an Empty cell where none is stored.
    const XlsxCell& cell(int row, int column) const;

    QHash<qint64, XlsxCell> cells;
    static qint64 key(int row, int column) { return (qint64(row) << 20) | qint64(column); }
};

// The rows and columns of a sheet a caller needs; cells outside are skipped while reading
// (a load reads two node columns and up to eight value columns of a row range).
struct SheetWindow {
    int firstRow = 1;
    int lastRow = 1048576;
    QList<int> columns; // 1-based; empty: every column
};

// What a workbook from anywhere may ask of the readers before it counts as damaged:
// a zip bomb, a sheet of a billion cells or a string table without end stops here
// with a message instead of filling the memory. Reading XML costs about 0.15 µs
// per token (a tag, a text) whatever the token holds, so the unpacked bytes
// bound the time: a load reads the sheet list twice (8 MB at most) and the
// strings and the sheet once (80 MB), a few seconds, with every sheet of 65 536
// rows of a few dozen columns well inside.
namespace workbookLimits {
constexpr int kMaxRows = 1048576;              // .xlsx
constexpr int kMaxColumns = 16384;             // .xlsx
constexpr qint64 kMaxPartBytes = 64LL << 20;   // a sheet or the shared strings of a .xlsx, unpacked
constexpr qint64 kMaxListPartBytes = 8LL << 20; // the sheet list, relationships or formats, unpacked
constexpr qint64 kMaxTotalBytes = 80LL << 20;  // all parts one reader unpacks
constexpr qint64 kMaxTokenBytes = 1LL << 20;   // one text or tag of a part, as stored
constexpr qint64 kMaxCells = 4'000'000;        // cells kept by one sheet read
constexpr qint64 kMaxSharedStrings = 10'000'000;
constexpr qsizetype kMaxStringLength = 32767;  // one text, as in the spreadsheet programs
constexpr qint64 kMaxTextTotal = 32'000'000;   // characters of all shared strings, or of one sheet's texts
constexpr int kMaxXlsColumns = 256;             // .xls
constexpr qint64 kMaxXlsFileBytes = 128LL << 20;
}

// Reads .xlsx workbooks (Office Open XML): the sheet list, the cells of a
// sheet with their values, its merges, column widths and row heights, and the
// cell formats. Throws Failure (class "XlsxError") naming the file when it is
// no workbook or a part of it cannot be read.
class XlsxReader {
public:
    explicit XlsxReader(const QString& path);
    ~XlsxReader();
    XlsxReader(const XlsxReader&) = delete;
    XlsxReader& operator=(const XlsxReader&) = delete;

    const QStringList& sheetNames() const { return sheetNames_; }
    // The whole sheet with its merges, column widths and row heights.
    XlsxSheet sheet(int index) const;
    // Only the cells inside the window; no merges, widths or heights. rowCount
    // and columnCount still tell the extent of every cell of the sheet.
    XlsxSheet sheet(int index, const SheetWindow& window) const;
    const XlsxStyle& style(int index) const;

private:
    XlsxSheet readSheet(int index, const SheetWindow* window) const;
    void readWorkbook();
    void readSharedStrings() const;
    void readStyles() const;
    [[noreturn]] void fail(const QString& why) const;

    QString path_;
    void* zip_ = nullptr;
    QStringList sheetNames_;
    QStringList sheetParts_;
    // The shared strings end to end; string i is [starts[i], starts[i + 1]).
    mutable QString stringPool_;
    mutable std::vector<qsizetype> stringStarts_;
    mutable bool stringsRead_ = false;
    mutable QList<XlsxStyle> styles_;
    mutable bool stylesRead_ = false;
    mutable qint64 unpackedBytes_ = 0;
};

// "B12" -> (12, 2); false when the text is no cell reference.
bool parseCellReference(QStringView reference, int& row, int& column);

} // namespace zurm
