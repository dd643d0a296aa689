#include "reference/ReferenceWorkbook.h"

#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "document/DocumentFiles.h"
#include "output/ReportWorkbook.h"
#include "output/SheetWriter.h"

#include <QSqlQuery>

namespace zurm {

namespace {

constexpr double kColumnWidth = 18;
constexpr int kStatusStride = 64;

} // namespace

bool writeReferenceWorkbook(DataModule& data, ReferenceTable table, const QString& path, Progress& progress,
                            int digits)
{
    const ReferenceTableInfo& info = referenceTableInfo(table);
    const QSqlDatabase db = data.reference();
    QStringList list;
    for (const QString& name : info.columns)
        list.append(quoteName(name));
    QSqlQuery query = selectSql(db, QStringLiteral("SELECT ") + list.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
                                        + quoteName(info.table) + QStringLiteral(" ORDER BY ") + info.order
                                        + QStringLiteral(", rowid"));
    if (!query.next())
        return false;

    progress.setStatus(QStringLiteral("Выгрузка в Microsoft Excel..."));
    progress.processEvents();
    const QString target = QFileInfo(path).absoluteFilePath();
    const int columns = int(info.columns.size());
    OutputFile file(target, QStringLiteral("Таблицу"), documentFiles(data));
    {
        SheetWriter out(file, reportValueFormat(reportDigits(data, digits)), info.sheetName, kColumnWidth);
        Style title;
        title.number = Style::Text;
        title.large = 1;
        title.bold = 1;
        title.vertical = 1;
        title.centred = 1;
        title.wrap = info.titleWrapped ? 1 : 0;
        out.rowHeight(1, info.titleHeight);
        out.merged(1, 1, columns, info.sheetTitle, title);
        Style caption;
        caption.number = Style::Text;
        caption.small = 1;
        caption.wrap = 1;
        caption.left = 1;
        caption.vertical = 1;
        caption.boxed = 1;
        for (int c = 1; c <= columns; ++c)
            out.text(2, c, info.captions[c - 1], caption);
        int row = 3;
        do {
            if ((row - 3) % kStatusStride == 0) {
                const QVariant key = query.value(info.progressColumn);
                progress.setStatus(info.progressText + (key.isNull() ? QString() : key.toString()));
                progress.processEvents();
            }
            for (int c = 1; c <= columns; ++c) {
                Style cell;
                cell.number = info.integer[c - 1] ? Style::Whole : Style::Value;
                cell.centred = 1;
                cell.boxed = 1;
                out.value(row, c, query.value(c - 1), cell);
            }
            ++row;
        } while (query.next());
        out.close();
    }
    file.commit();
    return true;
}

} // namespace zurm
