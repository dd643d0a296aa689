#include "platform/XlsReader.h"

#include "base/Failure.h"
#include "platform/XlsRecords.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <freexl.h>
#include <vector>

namespace zurm {

namespace {

const QString kErrorClass = QStringLiteral("XlsError");

QString freeXlReason(int code)
{
    switch (code) {
    case FREEXL_FILE_NOT_FOUND: return QStringLiteral("файл не найден или не открывается для чтения");
    case FREEXL_INSUFFICIENT_MEMORY: return QStringLiteral("книга слишком велика");
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_CFBF_INVALID_SECTOR_SIZE: return QStringLiteral("файл не является книгой Microsoft Excel 97-2003 (*.xls)");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND: return QStringLiteral("в файле нет книги Microsoft Excel");
    case FREEXL_UNSUPPORTED_CHARSET: return QStringLiteral("кодировка книги не поддерживается");
    default: return QStringLiteral("книга повреждена (FreeXL: ошибка %1)").arg(code);
    }
}

} // namespace

XlsReader::XlsReader(const QString& path) : path_(path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        fail(QStringLiteral("файл не найден"));
    // FreeXL reads no file that the walk over its records stopped.
    XlsRecords records = readXlsRecords(path);
    if (!records.damage.isEmpty())
        fail(records.damage);
    recordCells_ = std::move(records.cells);
    const int opened = freexl_open(QFile::encodeName(path).constData(), &handle_);
    if (opened != FREEXL_OK) {
        if (handle_)
            freexl_close(handle_);
        handle_ = nullptr;
        failFreeXl(opened);
    }
    try {
        unsigned int password = 0;
        if (freexl_get_info(handle_, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK && password == FREEXL_BIFF_OBFUSCATED)
            fail(QStringLiteral("книга защищена паролем"));
        unsigned int count = 0;
        const int counted = freexl_get_info(handle_, FREEXL_BIFF_SHEET_COUNT, &count);
        if (counted != FREEXL_OK)
            failFreeXl(counted);
        if (count > 65535)
            fail(QStringLiteral("в книге слишком много листов"));
        for (unsigned int i = 0; i < count; ++i) {
            const char* name = nullptr;
            const int named = freexl_get_worksheet_name(handle_, static_cast<unsigned short>(i), &name);
            if (named != FREEXL_OK)
                failFreeXl(named);
            sheetNames_.append(name ? QString::fromUtf8(name) : QString());
        }
    } catch (...) {
        freexl_close(handle_);
        throw;
    }
}

XlsReader::~XlsReader()
{
    if (handle_)
        freexl_close(handle_);
}

void XlsReader::fail(const QString& why) const
{
    throw Failure(kErrorClass, QStringLiteral("Не удалось прочитать книгу ") + path_ + QStringLiteral(": ") + why + '.');
}

void XlsReader::failFreeXl(int code) const
{
    fail(freeXlReason(code));
}

XlsxSheet XlsReader::sheet(int index, const SheetWindow& window) const
{
    using namespace workbookLimits;
    if (index < 0 || index >= sheetNames_.size())
        fail(QStringLiteral("нет листа номер ") + QString::number(index + 1));
    const int selected = freexl_select_active_worksheet(handle_, static_cast<unsigned short>(index));
    if (selected != FREEXL_OK)
        failFreeXl(selected);
    unsigned int rows = 0;
    unsigned short columns = 0;
    const int measured = freexl_worksheet_dimensions(handle_, &rows, &columns);
    if (measured != FREEXL_OK)
        failFreeXl(measured);
    if (rows > unsigned(kMaxXlsRows) || columns > kMaxXlsColumns)
        fail(QStringLiteral("лист «") + sheetNames_[index] + QStringLiteral("» больше ")
             + QString::number(kMaxXlsRows) + QStringLiteral(" строк или ") + QString::number(kMaxXlsColumns)
             + QStringLiteral(" столбцов"));

    XlsxSheet sheet;
    sheet.name = sheetNames_[index];
    std::vector<int> wanted;
    if (window.columns.isEmpty()) {
        for (int c = 1; c <= int(columns); ++c)
            wanted.push_back(c);
    } else {
        for (const int c : window.columns)
            if (c >= 1 && c <= int(columns))
                wanted.push_back(c);
    }
    const int firstRow = std::max(1, window.firstRow);
    const int lastRow = std::min(int(rows), window.lastRow);
    for (int row = firstRow; row <= lastRow; ++row) {
        for (const int column : wanted) {
            FreeXL_CellValue value{};
            const int got = freexl_get_cell_value(handle_, unsigned(row - 1), static_cast<unsigned short>(column - 1), &value);
            if (got != FREEXL_OK)
                failFreeXl(got);
            XlsxCell cell;
            switch (value.type) {
            case FREEXL_CELL_INT:
                cell.kind = XlsxCell::Kind::Number;
                cell.number = value.value.int_value;
                break;
            case FREEXL_CELL_DOUBLE:
                cell.kind = XlsxCell::Kind::Number;
                cell.number = value.value.double_value;
                if (!std::isfinite(cell.number)) {
                    cell.kind = XlsxCell::Kind::Error;
                    cell.number = 0;
                    cell.text = QStringLiteral("#NUM!");
                }
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                cell.kind = XlsxCell::Kind::Text;
                cell.text = value.value.text_value ? QString::fromUtf8(value.value.text_value) : QString();
                break;
            default:
                continue;
            }
            sheet.cells.insert(XlsxSheet::key(row, column), cell);
        }
    }
    // Booleans, error cells and formula results as the file stores them.
    if (index < recordCells_.size()) {
        const QHash<qint64, XlsxCell>& stored = recordCells_[index];
        for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
            const int row = int(it.key() >> 20);
            const int column = int(it.key() & 0xFFFFF);
            if (row >= firstRow && row <= lastRow && std::find(wanted.begin(), wanted.end(), column) != wanted.end())
                sheet.cells.insert(it.key(), *it);
        }
    }
    // The extent of the sheet as FreeXL counts it (the last used row and column).
    sheet.rowCount = int(rows);
    sheet.columnCount = int(columns);
    return sheet;
}

} // namespace zurm
