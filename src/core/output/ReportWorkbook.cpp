#include "output/ReportWorkbook.h"
#include "output/AdjustmentSections.h"
#include "output/ReportCaptions.h"
#include "output/SheetWriter.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "document/DocumentFiles.h"
#include "output/WholeValues.h"
#include "platform/ZipCompression.h"
#include "settings/SettingsRow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>
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
        // A client prints the sheet and scrolls through it: the segments'
        // captions head every page and stay in view, and so does the
        // segment named in the first column.
        out_.printFitToWidth(firstSegmentRow - 1, firstSegmentRow - 1);
        out_.freezePanes(firstSegmentRow, 2);
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
        for (int k = 1; k <= columns.size(); ++k) {
            const QVariant value = hasRow ? row.value(k - 1) : QVariant();
            out_.value(4, k, value, centredStyle(isWholeNumber(value) ? Style::Whole : Style::Value));
        }
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
        const Style whole = centredStyle(Style::Whole);
        const QSet<QString> wholeColumns = wholeValuedColumns(db_, QStringLiteral("Табл"), columns);
        QList<const Style*> styles;
        for (const QString& column : columns)
            styles.append(wholeColumns.contains(column) ? &whole : &value);
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
                out_.value(row, c, rows.value(c - 1), *styles[c - 4]);
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


} // namespace

int reportDigits(DataModule& data, int digits)
{
    if (digits >= 0)
        return digits;
    if (!data.settingsOpen())
        return 3;
    const QVariant stored = SettingsRow::value(data.settings(), QStringLiteral("ТочностьЧиселВОтч"));
    return stored.isNull() ? 3 : std::clamp(stored.toInt(), 0, 18);
}

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
    OutputFile file(target, QStringLiteral("Отчет"), documentFiles(data));
    {
        SheetWriter out(file, reportValueFormat(reportDigits(data, digits)), QStringLiteral("ЗУРМ"), kColumnWidth);
        ReportSheet(data, out, progress).write();
        writeAdjustmentSheet(data, out, progress);
        out.close();
    }
    file.commit();
}

} // namespace zurm
