#pragma once

// The workbook writer shared by the exports: one sheet of a libxlsxwriter
// workbook with a cache of cell formats, written to the temporary file of an
// OutputFile. Only core sources include this header (libxlsxwriter is the
// core's private dependency).

#include "base/Failure.h"
#include "platform/CNumericLocale.h"
#include "platform/OutputFile.h"
#include "platform/ZipCompression.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QString>
#include <QVariant>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <xlsxwriter.h>

namespace zurm {

// How one cell looks; packed into a number, the key of the format cache.
struct Style {
    // Integer "0"; Whole "#,##0" (grouped); Value the sheet's value format.
    enum Number : quint32 { General = 0, Text = 1, Integer = 2, Value = 3, Whole = 4 };
    quint32 number : 3 = General;
    quint32 bold : 1 = 0;
    quint32 small : 1 = 0;   // font size 8
    quint32 wrap : 1 = 0;
    quint32 centred : 1 = 0; // horizontally
    quint32 vertical : 2 = 0; // 0 bottom (default), 1 top, 2 centre
    quint32 boxed : 1 = 0;   // a thin line on all four sides (inside a bordered block)
    quint32 large : 1 = 0;   // font size 12
    quint32 left : 1 = 0;    // horizontally to the left

    quint32 key() const
    {
        return number | bold << 3 | small << 4 | wrap << 5 | centred << 6 | vertical << 7 | boxed << 9 | large << 10
               | left << 11;
    }
};

// libxlsxwriter reports its failures on stderr as English "[ERROR]" lines
// besides returning them; the user reads the program's own message instead.
class QuietStandardError {
public:
    QuietStandardError()
    {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int none = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && none >= 0)
            ::dup2(none, 2);
        if (none >= 0)
            ::close(none);
    }
    ~QuietStandardError()
    {
        std::fflush(stderr);
        if (saved_ >= 0) {
            ::dup2(saved_, 2);
            ::close(saved_);
        }
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_ = -1;
};

// One sheet of a libxlsxwriter workbook, addressed from 1 as the description
// counts rows and columns, written to the temporary file of `out`.
class SheetWriter {
public:
    // Every column `columnWidth` characters wide; the Value style uses `valueFormat`.
    SheetWriter(const OutputFile& out, const QString& valueFormat, const QString& sheetName, double columnWidth)
        : out_(out), target_(out.target()), valueFormat_(valueFormat.toUtf8())
    {
        lxw_workbook_options options{};
        // Each row goes to the file once the next one starts: a network of
        // 32 700 segments never lives in memory as a million cells. The
        // sheet is therefore written row by row, each row left to right, and
        // a row's height is set before its first cell.
        options.constant_memory = LXW_TRUE;
        // libxlsxwriter's own scratch files go beside the target as well: the
        // system's temporary folder may be small.
        tmpdir_ = QFile::encodeName(QFileInfo(target_).absolutePath());
        options.tmpdir = tmpdir_.data();
        const QuietStandardError quiet;
        book_ = workbook_new_opt(QFile::encodeName(out.temporaryPath()).constData(), &options);
        if (!book_)
            fail(QStringLiteral("недостаточно памяти"));
        sheet_ = workbook_add_worksheet(book_, sheetName.toUtf8().constData());
        if (!sheet_) {
            const int error = errno;
            lxw_workbook_free(std::exchange(book_, nullptr));
            failWith(LXW_ERROR_CREATING_TMPFILE, error);
        }
        if (const lxw_error error = worksheet_set_column(sheet_, 0, LXW_COL_MAX - 1, columnWidth, nullptr)) {
            lxw_workbook_free(std::exchange(book_, nullptr));
            check(error);
        }
    }
    ~SheetWriter()
    {
        // A workbook given up on is freed without writing anything.
        if (book_)
            lxw_workbook_free(book_);
    }
    SheetWriter(const SheetWriter&) = delete;
    SheetWriter& operator=(const SheetWriter&) = delete;

    void close()
    {
        // The rows went to libxlsxwriter's scratch file unchecked; a full disk
        // there would end in a workbook without them.
        if (FILE* rows = sheet_->optimize_tmpfile) {
            errno = 0;
            if (std::fflush(rows) != 0 || std::ferror(rows)) {
                const int error = errno;
                lxw_workbook_free(std::exchange(book_, nullptr));
                failWith(LXW_ERROR_CREATING_TMPFILE, error ? error : ENOSPC);
            }
        }
        lxw_workbook* book = std::exchange(book_, nullptr);
        const ZipCompressionLevel fast(1);
        const QuietStandardError quiet;
        errno = 0;
        const lxw_error error = workbook_close(book);
        if (error != LXW_NO_ERROR)
            failWith(error, errno);
    }

    // A further sheet after those written so far, every column `columnWidth`
    // characters wide; the rows written from now on go to it.
    void addSheet(const QString& sheetName, double columnWidth)
    {
        // The finished sheet's rows are unchecked in its scratch file, as in close().
        if (FILE* rows = sheet_->optimize_tmpfile) {
            errno = 0;
            if (std::fflush(rows) != 0 || std::ferror(rows)) {
                const int error = errno;
                lxw_workbook_free(std::exchange(book_, nullptr));
                failWith(LXW_ERROR_CREATING_TMPFILE, error ? error : ENOSPC);
            }
        }
        lxw_worksheet* sheet = workbook_add_worksheet(book_, sheetName.toUtf8().constData());
        if (!sheet)
            failWith(LXW_ERROR_CREATING_TMPFILE, errno);
        sheet_ = sheet;
        check(worksheet_set_column(sheet_, 0, LXW_COL_MAX - 1, columnWidth, nullptr));
    }

    void text(int row, int column, const QString& text, Style style)
    {
        const QByteArray bytes = text.toUtf8();
        check(worksheet_write_string(sheet_, lxw_row_t(row - 1), lxw_col_t(column - 1), bytes.constData(),
                                     format(style)));
    }
    void number(int row, int column, double value, Style style)
    {
        if (!std::isfinite(value))
            blank(row, column, style);
        else
            check(worksheet_write_number(sheet_, lxw_row_t(row - 1), lxw_col_t(column - 1), value, format(style)));
    }
    // A value as the table holds it: Null is an empty cell, a number is
    // written as a number, anything else as its text.
    void value(int row, int column, const QVariant& value, Style style)
    {
        if (value.isNull()) {
            blank(row, column, style);
            return;
        }
        switch (value.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Bool:
            number(row, column, value.toDouble(), style);
            return;
        default:
            text(row, column, value.toString(), style);
        }
    }
    void blank(int row, int column, Style style)
    {
        check(worksheet_write_blank(sheet_, lxw_row_t(row - 1), lxw_col_t(column - 1), format(style)));
    }
    // The cells of one row from `first` to `last` merged, the text in the first.
    void merged(int row, int first, int last, const QString& text, Style style)
    {
        const QByteArray bytes = text.toUtf8();
        check(worksheet_merge_range(sheet_, lxw_row_t(row - 1), lxw_col_t(first - 1), lxw_row_t(row - 1),
                                    lxw_col_t(last - 1), bytes.constData(), format(style)));
    }
    void rowHeight(int row, double height)
    {
        check(worksheet_set_row(sheet_, lxw_row_t(row - 1), height, nullptr));
    }
    // Printed landscape on A4, as wide as one page and as many pages tall as
    // it takes, rows `first` to `last` again at the top of every page.
    void printFitToWidth(int first, int last)
    {
        worksheet_set_landscape(sheet_);
        worksheet_set_paper(sheet_, kPaperA4);
        worksheet_fit_to_pages(sheet_, 1, 0);
        check(worksheet_repeat_rows(sheet_, lxw_row_t(first - 1), lxw_row_t(last - 1)));
    }
    // The rows above `row` and the columns left of `column` stay in view
    // while the rest scrolls.
    void freezePanes(int row, int column)
    {
        worksheet_freeze_panes(sheet_, lxw_row_t(row - 1), lxw_col_t(column - 1));
    }

private:
    static constexpr uint8_t kPaperA4 = 9; // the paper code of the workbook format

    lxw_format* format(Style style)
    {
        const quint32 key = style.key();
        if (lxw_format* known = formats_.value(key))
            return known;
        lxw_format* f = workbook_add_format(book_);
        if (!f)
            fail(QStringLiteral("недостаточно памяти"));
        switch (style.number) {
        case Style::Text: format_set_num_format(f, "@"); break;
        case Style::Integer: format_set_num_format(f, "0"); break;
        case Style::Value: format_set_num_format(f, valueFormat_.constData()); break;
        case Style::Whole: format_set_num_format(f, "#,##0"); break;
        default: break;
        }
        if (style.bold)
            format_set_bold(f);
        if (style.small)
            format_set_font_size(f, 8);
        if (style.large)
            format_set_font_size(f, 12);
        if (style.left)
            format_set_align(f, LXW_ALIGN_LEFT);
        if (style.wrap)
            format_set_text_wrap(f);
        if (style.centred)
            format_set_align(f, LXW_ALIGN_CENTER);
        if (style.vertical == 1)
            format_set_align(f, LXW_ALIGN_VERTICAL_TOP);
        else if (style.vertical == 2)
            format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
        if (style.boxed)
            format_set_border(f, LXW_BORDER_THIN);
        formats_.insert(key, f);
        return f;
    }
    void check(lxw_error error) const
    {
        if (error != LXW_NO_ERROR)
            failWith(error, 0);
    }
    // libxlsxwriter's error codes in the program's words; a failure of the
    // files says the system's reason, the disk and what to do.
    [[noreturn]] void failWith(lxw_error error, int systemError) const
    {
        switch (error) {
        case LXW_ERROR_CREATING_XLSX_FILE:
        case LXW_ERROR_CREATING_TMPFILE:
        case LXW_ERROR_READING_TMPFILE:
        case LXW_ERROR_ZIP_FILE_OPERATION:
        case LXW_ERROR_ZIP_FILE_ADD:
        case LXW_ERROR_ZIP_CLOSE:
        case LXW_ERROR_ZIP_INTERNAL_ERROR:
        case LXW_ERROR_ZIP_BAD_ZIP_FILE:
        case LXW_ERROR_ZIP_PARAMETER_ERROR:
            throw Failure(QStringLiteral("FileError"), out_.failureText(systemError, QStringLiteral("ошибка записи книги")));
        case LXW_ERROR_MEMORY_MALLOC_FAILED:
            fail(QStringLiteral("недостаточно памяти. Закройте другие программы и повторите выгрузку."));
        case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
            fail(QStringLiteral("текст ячейки длиннее 32 767 знаков, допустимых в книге Microsoft Excel."));
        case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
            fail(QStringLiteral("данные не помещаются на лист книги Microsoft Excel (не более 1 048 576 строк "
                                "и 16 384 колонок)."));
        case LXW_ERROR_SHEETNAME_LENGTH_EXCEEDED:
        case LXW_ERROR_INVALID_SHEETNAME_CHARACTER:
        case LXW_ERROR_SHEETNAME_START_END_APOSTROPHE:
        case LXW_ERROR_SHEETNAME_ALREADY_USED:
            fail(QStringLiteral("недопустимое имя листа."));
        default:
            fail(QStringLiteral("ошибка библиотеки записи книг (код %1).").arg(int(error)));
        }
    }
    [[noreturn]] void fail(const QString& why) const
    {
        throw Failure(QStringLiteral("XlsxError"),
                      QStringLiteral("Не удалось записать файл ") + target_ + QStringLiteral(": ") + why);
    }

    // libxlsxwriter writes every number of the sheet's XML with printf: under
    // a decimal-comma locale a workbook of "0,5" cells is corrupt.
    CNumericLocale decimalPoint_;
    const OutputFile& out_;
    QString target_;
    QByteArray valueFormat_;
    QByteArray tmpdir_;
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    QHash<quint32, lxw_format*> formats_;
};

} // namespace zurm
