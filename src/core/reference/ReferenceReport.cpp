#include "reference/ReferenceReport.h"

#include "base/Sql.h"
#include "output/ReportTemplate.h"
#include "output/ReportWorkbook.h"

#include <algorithm>

namespace zurm {

namespace {

const char* connectionName(ReferenceTable table)
{
    switch (table) {
    case ReferenceTable::Diameters: return "rcDiamTrPr";
    case ReferenceTable::Density: return "rcPlVodiOtT";
    case ReferenceTable::Coefficients: return "rcPoprKoefKUdPot";
    }
    return "";
}

} // namespace

ReportDocument buildReferenceReport(DataModule& data, ReferenceTable table, int digits)
{
    const ReferenceTableInfo& info = referenceTableInfo(table);
    const QString definition = readDefinition(reportDefinitionPath(data, info.printDefinition));
    const Formatter format(std::min(reportDigits(data, digits), 18));
    QStringList list;
    for (const QString& name : info.columns)
        list.append(quoteName(name));
    mstch::array rows;
    {
        QSqlQuery query = selectSql(data.reference(), QStringLiteral("SELECT ") + list.join(QStringLiteral(", "))
                                                          + QStringLiteral(" FROM ") + quoteName(info.table)
                                                          + QStringLiteral(" ORDER BY ") + info.order
                                                          + QStringLiteral(", rowid"));
        const QSqlRecord record = query.record();
        while (query.next()) {
            mstch::map row = rowFields(record, query, format);
            mstch::array cells;
            for (int c = 0; c < info.columns.size(); ++c)
                cells.push_back(format(info.integer[c] || query.value(c).isNull() ? query.value(c)
                                                                                  : QVariant(query.value(c).toDouble())));
            row.emplace("cells", std::move(cells));
            rows.push_back(std::move(row));
        }
    }
    mstch::array columns;
    for (const QString& caption : info.captions)
        columns.push_back(mstch::map{{"caption", utf8(caption)}});
    const mstch::map context{{connectionName(table), mstch::map{{"title", utf8(info.title)},
                                                                  {"columns", std::move(columns)},
                                                                  {"rows", std::move(rows)}}}};
    ReportDocument report;
    report.html = QString::fromStdString(mstch::render(utf8(definition), context));
    report.title = info.title;
    return report;
}

} // namespace zurm
