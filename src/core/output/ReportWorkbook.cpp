#include "output/ReportWorkbook.h"
#include "output/ReportCaptions.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "output/ReportCaptions.h"
#include "platform/ZipCompression.h"
#include "settings/SettingsRow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <utility>
#include <xlsxwriter.h>

namespace zurm {

namespace {

const QString kStatus = QStringLiteral("Выгрузка в Microsoft Excel...");
const QString kSegmentStatus = QStringLiteral("Выгрузка в Microsoft Excel. Участок: ");
const QString kMainStatus = QStringLiteral("Выгрузка в Microsoft Excel. Магистраль №: ");
// The status line follows every row in the description; the window is let
// repaint only every so many rows, or a large network spends its time there.
constexpr int kStatusStride = 256;
constexpr double kWideRow = 24;
constexpr double kColumnWidth = 16;

// How one cell looks; packed into a number, the key of the format cache.
struct Style {
    enum Number : quint32 { General = 0, Text = 1, Integer = 2, Value = 3 };
    quint32 number : 2 = General;
    quint32 bold : 1 = 0;
    quint32 small : 1 = 0;   // font size 8
    quint32 wrap : 1 = 0;
    quint32 centred : 1 = 0; // horizontally
    quint32 vertical : 2 = 0; // 0 bottom (default), 1 top, 2 centre
    quint32 boxed : 1 = 0;   // a thin line on all four sides (inside a bordered block)

    quint32 key() const
    {
        return number | bold << 2 | small << 3 | wrap << 4 | centred << 5 | vertical << 6 | boxed << 8;
    }
};

// Captions of the header rows of a bordered block: size 8, text, wrapped, at the top.
Style captionStyle()
{
    Style s;
    s.number = Style::Text;
    s.small = 1;
    s.wrap = 1;
    s.vertical = 1;
    s.boxed = 1;
    return s;
}

Style centredStyle(quint32 number)
{
    Style s;
    s.number = number;
    s.centred = 1;
    s.vertical = 2;
    s.boxed = 1;
    return s;
}

// One sheet of a libxlsxwriter workbook, addressed from 1 as the description
// counts rows and columns.
class SheetWriter {
public:
    SheetWriter(const QString& temporaryPath, const QString& targetPath, const QString& valueFormat)
        : target_(targetPath), valueFormat_(valueFormat.toUtf8())
    {
        lxw_workbook_options options{};
        // Each row goes to the file once the next one starts: a network of
        // 32 700 segments never lives in memory as a million cells. The
        // sheet is therefore written row by row, each row left to right, and
        // a row's height is set before its first cell.
        options.constant_memory = LXW_TRUE;
        // libxlsxwriter's own scratch files go beside the target as well: the
        // system's temporary folder may be small.
        tmpdir_ = QFile::encodeName(QFileInfo(targetPath).absolutePath());
        options.tmpdir = tmpdir_.data();
        book_ = workbook_new_opt(QFile::encodeName(temporaryPath).constData(), &options);
        if (!book_)
            fail(QStringLiteral("недостаточно памяти"));
        sheet_ = workbook_add_worksheet(book_, QByteArrayLiteral("ЗУРМ").constData());
        if (!sheet_) {
            lxw_workbook_free(std::exchange(book_, nullptr));
            fail(QStringLiteral("не удалось создать лист"));
        }
        if (const lxw_error error = worksheet_set_column(sheet_, 0, LXW_COL_MAX - 1, kColumnWidth, nullptr)) {
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
        lxw_workbook* book = std::exchange(book_, nullptr);
        const ZipCompressionLevel fast(1);
        check(workbook_close(book));
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

private:
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
        default: break;
        }
        if (style.bold)
            format_set_bold(f);
        if (style.small)
            format_set_font_size(f, 8);
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
            fail(QString::fromUtf8(lxw_strerror(error)));
    }
    [[noreturn]] void fail(const QString& why) const
    {
        throw Failure(QStringLiteral("XlsxError"),
                      QStringLiteral("Не удалось записать файл ") + target_ + QStringLiteral(": ") + why);
    }

    QString target_;
    QByteArray valueFormat_;
    QByteArray tmpdir_;
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    QHash<quint32, lxw_format*> formats_;
};

struct MainsColumn {
    const char* caption;
    const char* field;    // КонМаг column; nullptr for the branch texts
    const char* branchStart = nullptr; // the branch text: this field + " - " + КонУзел
};

QList<MainsColumn> mainsColumns(bool twoPipe, bool designMode)
{
    QList<MainsColumn> c;
    c.append(MainsColumn{"№ п/п", "id_m"});
    c.append(MainsColumn{"Расчетная магистраль (ветвь) подающего т-провода", nullptr, "РНачСУзПод"});
    if (!twoPipe) {
        c.append(MainsColumn{"Длина подающего трубопровода магистрали, м. (ДлМагПод)", "ДлМагПод"});
        c.append(MainsColumn{"Потери напора от источника в под. трубопроводе на кон. узле, м. (ПотНОтИПод)", "ПотНОтИПод"});
        c.append(MainsColumn{"Полный напор в под. трубопроводе на кон. узле, м. (ПНапПод)", "ПНапПод"});
        if (designMode) {
            c.append(MainsColumn{"Заданный напор в под. трубопроводе на кон. узле, м.", "ПНапЗПод"});
            c.append(MainsColumn{"Удельные потери напора в под. тр-пр. магистрали (ветви), м./м. (УПНВМагПод)", "УПНВМагПод"});
        }
        return c;
    }
    c.append(MainsColumn{"Расчетная магистраль (ветвь) обратного т-провода", nullptr, "РНачСУзОбр"});
    c.append(MainsColumn{"Длина подающего трубопровода магистрали, м. (ДлМагПод)", "ДлМагПод"});
    c.append(MainsColumn{"Длина обратного трубопровода магистрали, м. (ДлМагОбр)", "ДлМагОбр"});
    c.append(MainsColumn{"Суммарная длина подающего и обратного трубопроводов магистрали, м. (ДлМагСум)", "ДлМагСум"});
    c.append(MainsColumn{"Потери напора от источника в под. т-п. на кон. узле, м. (ПотНОтИПод)", "ПотНОтИПод"});
    c.append(MainsColumn{"Потери напора от источника в обр. т-п. на кон. узле, м. (ПотНОтИОбр)", "ПотНОтИОбр"});
    c.append(MainsColumn{"Полный напор в под. т-п. на кон. узле, м. (ПНапПод)", "ПНапПод"});
    c.append(MainsColumn{"Полный напор в обр. т-п. на кон. узле, м. (ПНапОбр)", "ПНапОбр"});
    c.append(MainsColumn{"Располагаемый напор на кон. узле, м. (РНап)", "РНап"});
    if (designMode) {
        c.append(MainsColumn{"Заданный полный напор в под. т-п. на кон. узле, м.", "ПНапЗПод"});
        c.append(MainsColumn{"Заданный располагаемый напор на кон. узле, м.", "РНапЗ"});
        c.append(MainsColumn{"Удельные потери напора в под. т-п. магистрали (ветви), м./м. (УПНВМагПод)", "УПНВМагПод"});
        c.append(MainsColumn{"Удельные потери напора в обр. т-п. магистрали (ветви), м./м. (УПНВМагОбр)", "УПНВМагОбр"});
    }
    return c;
}

QString storedText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

int reportDigits(DataModule& data, int digits)
{
    if (digits >= 0)
        return digits;
    if (!data.settingsOpen())
        return 3;
    const QVariant stored = SettingsRow::value(data.settings(), QStringLiteral("ТочностьЧиселВОтч"));
    return stored.isNull() ? 3 : std::clamp(stored.toInt(), 0, 18);
}

class ReportSheet {
public:
    ReportSheet(DataModule& data, SheetWriter& out, Progress& progress)
        : db_(data.calculation()), sort_(data.segmentSort()), out_(out), progress_(progress), captions_(db_)
    {
    }

    void write()
    {
        const CalculationRow::NetworkParameters network = CalculationRow(db_).networkParameters();
        const bool twoPipe = network.type() == 1;
        Style title;
        title.number = Style::Text;
        title.bold = 1;
        out_.text(1, 1, QStringLiteral("ГИДРАВЛИЧЕСКИЙ РАСЧЕТ ") + (twoPipe ? QStringLiteral("ДВУХТРУБНОЙ")
                                                                             : QStringLiteral("ОДНОТРУБНОЙ"))
                            + QStringLiteral(" ТЕПЛОСЕТИ"),
                  title);
        Style name;
        name.number = Style::Text;
        name.vertical = 1;
        out_.rowHeight(2, kWideRow);
        out_.text(2, 1, storedText(CalculationRow(db_).value(CalculationRow::kName)), name);
        const int firstSegmentRow = headerBlock() ? 7 : 5;
        const int lastSegmentRow = segmentsBlock(firstSegmentRow);
        mainsBlock(lastSegmentRow, twoPipe, network.designMode);
    }

private:
    // Returns whether any header indicator was written.
    bool headerBlock()
    {
        QStringList columns;
        QList<QString> captions;
        for (const ColumnInfo& column : tableColumns(db_, QStringLiteral("Заг")))
            if (const std::optional<QString> caption = captions_.of(column.name)) {
                columns.append(column.name);
                captions.append(*caption);
            }
        if (columns.isEmpty())
            return false;
        QSqlQuery row = selectSql(db_, QStringLiteral("SELECT ") + quotedList(columns)
                                           + QStringLiteral(" FROM [Заг] ORDER BY rowid LIMIT 1"));
        const bool hasRow = row.next();
        for (int k = 1; k <= columns.size(); ++k)
            out_.text(3, k, captions[k - 1], captionStyle());
        for (int k = 1; k <= columns.size(); ++k)
            out_.value(4, k, hasRow ? row.value(k - 1) : QVariant(), centredStyle(Style::Value));
        out_.rowHeight(5, kWideRow);
        return true;
    }

    // Returns the last row of the block.
    int segmentsBlock(int first)
    {
        out_.text(first - 2, 1, QStringLiteral("Участки теплосети:"), Style{});
        const int header = first - 1;
        const QList<ColumnInfo> all = tableColumns(db_, QStringLiteral("Табл"));
        QStringList columns;
        QStringList captions;
        for (qsizetype i = 3; i + 2 < all.size(); ++i)
            if (const std::optional<QString> caption = captions_.of(all[i].name)) {
                columns.append(all[i].name);
                captions.append(*caption);
            }
        const int lastCaption = 3 + int(columns.size());
        const bool comments =
            selectValue(db_, QStringLiteral("SELECT EXISTS (SELECT 1 FROM [Табл] WHERE [Примечание] IS NOT NULL "
                                            "AND [Примечание] <> '')"))
                .toInt()
            != 0;
        Style centredCaption = captionStyle();
        centredCaption.centred = 1;
        out_.text(header, 1, QStringLiteral("Участок"), centredCaption);
        out_.text(header, 2, QStringLiteral("Начальный узел участка (НачУзел)"), captionStyle());
        out_.text(header, 3, QStringLiteral("Конечный узел участка (КонУзел)"), captionStyle());
        for (int c = 4; c <= lastCaption; ++c)
            out_.text(header, c, captions[c - 4], captionStyle());
        if (comments)
            out_.merged(header, lastCaption + 1, lastCaption + 3, QStringLiteral("Примечание"), captionStyle());

        Style comment;
        comment.number = Style::Text;
        comment.small = 1;
        comment.wrap = 1;
        comment.vertical = 2;
        comment.boxed = 1;
        Style label = centredStyle(Style::Text);
        label.wrap = 1;
        Style node = centredStyle(Style::Integer);
        node.wrap = 1;
        const Style value = centredStyle(Style::Value);
        QSqlQuery rows = selectSql(db_, QStringLiteral("SELECT [НачУзел], [КонУзел], [Примечание]")
                                            + (columns.isEmpty() ? QString() : QStringLiteral(", ") + quotedList(columns))
                                            + QStringLiteral(" FROM [Табл] ORDER BY ") + segmentSortClause(sort_));
        rows.setForwardOnly(true);
        int row = first;
        for (; rows.next(); ++row) {
            const QVariant start = rows.value(0);
            const QVariant end = rows.value(1);
            const QString segment = storedText(start) + QStringLiteral(" - ") + storedText(end);
            if ((row - first) % kStatusStride == 0) {
                progress_.setStatus(kSegmentStatus + segment);
                progress_.processEvents();
            }
            out_.text(row, 1, segment, label);
            out_.value(row, 2, start, node);
            out_.value(row, 3, end, node);
            for (int c = 4; c <= lastCaption; ++c)
                out_.value(row, c, rows.value(c - 1), value);
            if (comments)
                out_.merged(row, lastCaption + 1, lastCaption + 3, storedText(rows.value(2)), comment);
        }
        return std::max(header, row - 1);
    }

    void mainsBlock(int lastSegmentRow, bool twoPipe, bool designMode)
    {
        out_.rowHeight(lastSegmentRow + 1, kWideRow);
        out_.text(lastSegmentRow + 1, 1, QStringLiteral("Магистрали (ветви) теплосети:"), Style{});
        const int header = lastSegmentRow + 2;
        const QList<MainsColumn> columns = mainsColumns(twoPipe, designMode);
        Style centredCaption = captionStyle();
        centredCaption.centred = 1;
        for (int c = 1; c <= columns.size(); ++c)
            out_.text(header, c, QString::fromUtf8(columns[c - 1].caption), c == 1 ? centredCaption : captionStyle());

        QStringList present;
        for (const ColumnInfo& column : tableColumns(db_, QStringLiteral("КонМаг")))
            present.append(column.name);
        QStringList fields;
        auto fieldIndex = [&](const char* name) {
            const QString field = QString::fromUtf8(name);
            if (!present.contains(field))
                return -1;
            if (!fields.contains(field))
                fields.append(field);
            return int(fields.indexOf(field));
        };
        const int endNode = fieldIndex("КонУзел");
        QList<int> valueIndex;
        QList<int> startIndex;
        for (const MainsColumn& column : columns) {
            valueIndex.append(column.field ? fieldIndex(column.field) : -1);
            startIndex.append(column.branchStart ? fieldIndex(column.branchStart) : -1);
        }
        if (fields.isEmpty())
            return;
        const int textColumns = twoPipe ? 3 : 2;
        QSqlQuery mains = selectSql(db_, QStringLiteral("SELECT ") + quotedList(fields)
                                             + QStringLiteral(" FROM [КонМаг] ORDER BY [id_m] ASC, rowid"));
        mains.setForwardOnly(true);
        for (int row = header + 1; mains.next(); ++row) {
            if ((row - header - 1) % kStatusStride == 0) {
                progress_.setStatus(kMainStatus + storedText(valueIndex[0] >= 0 ? mains.value(valueIndex[0]) : QVariant()));
                progress_.processEvents();
            }
            for (int c = 1; c <= columns.size(); ++c) {
                const Style style = centredStyle(c <= textColumns ? Style::Text : Style::Value);
                if (columns[c - 1].branchStart) {
                    const QVariant start = startIndex[c - 1] >= 0 ? mains.value(startIndex[c - 1]) : QVariant();
                    const QVariant end = endNode >= 0 ? mains.value(endNode) : QVariant();
                    out_.text(row, c, storedText(start) + QStringLiteral(" - ") + storedText(end), style);
                } else {
                    out_.value(row, c, valueIndex[c - 1] >= 0 ? mains.value(valueIndex[c - 1]) : QVariant(), style);
                }
            }
        }
    }

    static QString quotedList(const QStringList& names)
    {
        QStringList quoted;
        for (const QString& name : names)
            quoted.append(quoteName(name));
        return quoted.join(QStringLiteral(", "));
    }

    QSqlDatabase db_;
    SegmentSort sort_;
    SheetWriter& out_;
    Progress& progress_;
    ReportCaptions captions_;
};

// Removes the temporary workbook on every way out unless it was moved away.
class TemporaryPath {
public:
    explicit TemporaryPath(const QString& target)
    {
        QTemporaryFile file(target + QStringLiteral(".XXXXXX"));
        file.setAutoRemove(false);
        if (!file.open())
            throw Failure(QStringLiteral("FileError"), QStringLiteral("Не удалось записать файл ") + target
                                                           + QStringLiteral(": ") + file.errorString());
        path_ = file.fileName();
        // The workbook gets the permissions of any new file, not the private
        // ones of a temporary file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(QFile::encodeName(path_).constData(), 0666 & ~mask);
    }
    ~TemporaryPath()
    {
        if (!path_.isEmpty())
            QFile::remove(path_);
    }
    TemporaryPath(const TemporaryPath&) = delete;
    TemporaryPath& operator=(const TemporaryPath&) = delete;
    const QString& path() const { return path_; }
    void moveTo(const QString& target)
    {
        if (std::rename(QFile::encodeName(path_).constData(), QFile::encodeName(target).constData()) != 0) {
            const int error = errno;
            throw Failure(QStringLiteral("FileError"), QStringLiteral("Не удалось записать файл ") + target
                                                           + QStringLiteral(": ")
                                                           + QString::fromLocal8Bit(std::strerror(error)));
        }
        path_.clear();
    }

private:
    QString path_;
};

} // namespace

QString reportValueFormat(int digits)
{
    QString format = QStringLiteral("#,##0");
    if (digits >= 1)
        format += QStringLiteral(".0") + QString(digits - 1, QLatin1Char('#'));
    return format;
}

QString withXlsxSuffix(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ? fileName
                                                                           : fileName + QStringLiteral(".xlsx");
}

void writeReportWorkbook(DataModule& data, const QString& path, Progress& progress, int digits)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    progress.setStatus(kStatus);
    progress.processEvents();
    TemporaryPath temporary(target);
    {
        SheetWriter out(temporary.path(), target, reportValueFormat(reportDigits(data, digits)));
        ReportSheet(data, out, progress).write();
        out.close();
    }
    temporary.moveTo(target);
}

} // namespace zurm
