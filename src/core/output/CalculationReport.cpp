#include "output/CalculationReport.h"
#include "output/AdjustmentSections.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/CalculationRow.h"
#include "output/ReportCaptions.h"
#include "output/ReportTemplate.h"
#include "output/WholeValues.h"
#include "settings/SettingsRow.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>
#include <memory>
#include <mstch/mstch.hpp>

namespace zurm {

namespace {

// Segment columns shown at most on a portrait page, and in one table.
constexpr int kPortraitColumns = 8;
constexpr qsizetype kGroupColumns = 12;

mstch::map singleRow(const QSqlDatabase& db, const QString& table, const Formatter& format)
{
    QSqlQuery query = selectSql(db, QStringLiteral("SELECT * FROM ") + quoteName(table) + QStringLiteral(" LIMIT 1"));
    if (!query.next())
        return {};
    return rowFields(query.record(), query, format);
}

struct Columns {
    QStringList names;
    mstch::array captions;
};

// The table's columns shown in reports, in the table's order.
Columns reportColumns(const QSqlDatabase& db, const QString& table, const ReportCaptions& indicators)
{
    Columns columns;
    for (const ColumnInfo& column : tableColumns(db, table)) {
        const std::optional<QString> caption = indicators.displayName(column.name);
        if (!caption)
            continue;
        columns.names.append(column.name);
        columns.captions.push_back(mstch::map{{"caption", utf8(*caption)}, {"name", utf8(column.name)}});
    }
    return columns;
}

mstch::map tableRow(const QSqlQuery& query, const QStringList& fixed, const QList<int>& shown, const QList<bool>& whole,
                    const QSqlRecord& record, const Formatter& format)
{
    static const Formatter wholeFormat(0);
    mstch::map row;
    for (const QString& name : fixed) {
        const int at = record.indexOf(name);
        if (at >= 0)
            row.emplace(utf8(name), format(query.value(at)));
    }
    mstch::array cells;
    cells.reserve(size_t(shown.size()));
    for (qsizetype i = 0; i < shown.size(); ++i)
        cells.push_back((whole[i] ? wholeFormat : format)(query.value(shown[i])));
    row.emplace("cells", std::move(cells));
    return row;
}

QList<int> indexesOf(const QSqlRecord& record, const QStringList& names)
{
    QList<int> indexes;
    for (const QString& name : names)
        indexes.append(record.indexOf(name));
    return indexes;
}

// The segment rows of the report, filled in piece by piece when printed.
struct DeferredRows {
    struct Group {
        QStringList names;
        QList<bool> whole; // of each of `names`: printed without decimals
        mstch::array captions;
        bool first = false;
        bool last = false;
    };
    DeferredRows(DataModule& data, const Formatter& format) : data(data), format(format) {}

    static QString mark(int group, int piece)
    {
        return QStringLiteral("<!--rows %1 %2-->").arg(group).arg(piece);
    }

    // The piece with the rows of its marks filled in.
    QString expand(const QString& piece) const
    {
        static const QRegularExpression marks(QStringLiteral("<!--rows (\\d+) (\\d+)-->"));
        QString result;
        qsizetype from = 0;
        for (auto it = marks.globalMatch(piece); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            result += QStringView(piece).mid(from, match.capturedStart() - from);
            result += rowsOf(match.captured(1).toInt(), match.captured(2).toInt());
            from = match.capturedEnd();
        }
        if (from == 0)
            return piece;
        result += QStringView(piece).mid(from);
        return result;
    }

    QString rowsOf(int group, int piece) const
    {
        if (group < 0 || group >= int(groups.size()))
            return {};
        const size_t begin = size_t(piece) * kReportRowsPerPiece;
        const size_t end = std::min(keys.size(), begin + kReportRowsPerPiece);
        if (begin >= end)
            return {};
        const std::vector<qint64> ids(keys.begin() + qsizetype(begin), keys.begin() + qsizetype(end));
        QHash<qint64, int> at;
        for (size_t i = 0; i < ids.size(); ++i)
            at.insert(ids[i], int(i));
        const Group& shown = groups[size_t(group)];
        QSqlQuery query = selectSql(data.calculation(),
                                    QStringLiteral("SELECT * FROM Табл WHERE id IN (SELECT value FROM json_each(?))"),
                                    {jsonIds(ids)});
        const QSqlRecord record = query.record();
        const QList<int> columns = indexesOf(record, shown.names);
        const QStringList fixed = {QStringLiteral("id"), QStringLiteral("НачУзел"), QStringLiteral("КонУзел"),
                                   QStringLiteral("Примечание")};
        const int idColumn = record.indexOf(QStringLiteral("id"));
        std::vector<mstch::node> rows(ids.size());
        while (query.next())
            rows[size_t(at.value(query.value(idColumn).toLongLong()))] = tableRow(query, fixed, columns, shown.whole, record, format);
        const mstch::map context{{"rows", mstch::array(std::move(rows))},
                                 {"columns", shown.captions},
                                 {"first", shown.first},
                                 {"last", shown.last}};
        return QString::fromStdString(mstch::render("{{#rows}}" + rowMarkup + "{{/rows}}", context));
    }

    static QString jsonIds(const std::vector<qint64>& ids)
    {
        QString text(QLatin1Char('['));
        for (qint64 id : ids) {
            if (text.size() > 1)
                text += QLatin1Char(',');
            text += QString::number(id);
        }
        return text + QLatin1Char(']');
    }

    DataModule& data;
    Formatter format;
    std::vector<qint64> keys;
    std::vector<Group> groups;
    std::string rowMarkup;
};

} // namespace

QString reportDefinitionName(int networkType, bool designMode)
{
    return QString::number(2 * networkType + (designMode ? 1 : 0)) + QStringLiteral(".rav");
}

ReportDocument buildCalculationReport(DataModule& data, int digitsAsked)
{
    const SegmentSort order = data.segmentSort();
    const QSqlDatabase db = data.calculation();
    const CalculationRow::NetworkParameters parameters = CalculationRow(db).networkParameters();
    // The program folder first (a user's copy of the program's files may hold
    // edited definitions), then the folder the program runs from.
    const QString name = reportDefinitionName(parameters.type(), parameters.designMode);
    const QString definition = readDefinition(reportDefinitionPath(data, name));

    int digits = 3;
    mstch::map settings;
    if (data.settingsOpen()) {
        const QVariant stored = SettingsRow::value(data.settings(), QStringLiteral("ТочностьЧиселВОтч"));
        if (!stored.isNull())
            digits = std::clamp(stored.toInt(), 0, 18);
    }
    if (digitsAsked >= 0)
        digits = std::min(digitsAsked, 18);
    const Formatter format(digits);
    if (data.settingsOpen())
        settings = singleRow(data.settings(), QStringLiteral("Настройки"), format);
    const ReportCaptions indicators(db);

    mstch::map header = singleRow(db, QStringLiteral("Заг"), format);
    {
        mstch::array items;
        const Columns shown = reportColumns(db, QStringLiteral("Заг"), indicators);
        for (int i = 0; i < shown.names.size(); ++i) {
            const auto value = header.find(utf8(shown.names[i]));
            items.push_back(mstch::map{{"caption", utf8(indicators.displayName(shown.names[i]).value_or(QString()))},
                                       {"value", value == header.end() ? mstch::node(std::string()) : value->second}});
        }
        header.emplace("items", std::move(items));
    }

    const Columns segmentColumns = reportColumns(db, QStringLiteral("Табл"), indicators);
    // Nominal diameters are sizes of a series, never fractions: "300", not
    // "300.000". A length or a head that happens to be whole in one network
    // keeps the precision the engineer asked for.
    QStringList nominalDiameters;
    for (const QString& column : segmentColumns.names)
        if (column.startsWith(QStringLiteral("Ду")))
            nominalDiameters.append(column);
    const QSet<QString> wholeColumns = wholeValuedColumns(db, QStringLiteral("Табл"), nominalDiameters);
    const bool landscape = segmentColumns.names.size() > kPortraitColumns;
    // The segments are read piece by piece while the report is printed: the
    // template's row markup is taken from its section and each piece of rows
    // stands as a mark in the filled text until then.
    auto rows = std::make_shared<DeferredRows>(data, format);
    {
        QSqlQuery keys = selectSql(db, QStringLiteral("SELECT id FROM Табл ORDER BY ") + segmentSortClause(order));
        while (keys.next())
            rows->keys.push_back(keys.value(0).toLongLong());
    }
    // A wide table is printed as several tables of at most kGroupColumns
    // columns each, every one beginning with the segment.
    const qsizetype groupCount = std::max<qsizetype>(1, (segmentColumns.names.size() + kGroupColumns - 1) / kGroupColumns);
    const qsizetype pieceCount = std::max<qsizetype>(1, (qsizetype(rows->keys.size()) + kReportRowsPerPiece - 1) / kReportRowsPerPiece);
    mstch::array groups;
    for (qsizetype group = 0; group < groupCount; ++group) {
        const qsizetype first = group * kGroupColumns;
        const qsizetype count = std::min<qsizetype>(kGroupColumns, segmentColumns.names.size() - first);
        DeferredRows::Group shown;
        shown.names = segmentColumns.names.mid(first, count);
        for (const QString& column : shown.names)
            shown.whole.append(wholeColumns.contains(column));
        shown.captions = mstch::array(segmentColumns.captions.begin() + first, segmentColumns.captions.begin() + first + count);
        shown.first = group == 0;
        shown.last = group == groupCount - 1;
        rows->groups.push_back(shown);
        mstch::array pieces;
        for (qsizetype piece = 0; piece < pieceCount; ++piece) {
            const QString mark = DeferredRows::mark(int(group), int(piece));
            pieces.push_back(mstch::map{{"rows", mstch::lambda{[rows, mark](const std::string& section) -> mstch::node {
                                             if (rows->rowMarkup.empty())
                                                 rows->rowMarkup = section;
                                             return utf8(mark);
                                         }}}});
        }
        groups.push_back(mstch::map{{"columns", shown.captions},
                                    {"pieces", std::move(pieces)},
                                    {"first", shown.first},
                                    {"last", shown.last}});
    }
    mstch::map segments{{"columns", segmentColumns.captions}, {"groups", std::move(groups)}, {"landscape", landscape}};

    mstch::array mains;
    {
        QSqlQuery query = selectSql(db, QStringLiteral("SELECT * FROM КонМаг ORDER BY id_m ASC"));
        const QSqlRecord record = query.record();
        while (query.next())
            mains.push_back(rowFields(record, query, format));
    }

    mstch::map calculation;
    {
        QSqlQuery query = selectSql(db, QStringLiteral("SELECT * FROM НазвРасч LIMIT 1"));
        if (query.next())
            calculation = rowFields(query.record(), query, format);
    }
    calculation.emplace("twoPipe", parameters.type() == 1);
    calculation.emplace("designMode", bool(parameters.designMode));

    const QString date = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    const mstch::map context{
        {"rcDate", utf8(date)},
        {"rcNazvRas", std::move(calculation)},
        {"rcZag", std::move(header)},
        {"rcTabl", std::move(segments)},
        {"rcKonMag", mstch::map{{"rows", std::move(mains)}}},
        {"rcNastr", std::move(settings)},
        {"rcRashPod", utf8(indicators.fullName(QStringLiteral("РасхПод")))},
        {"rcRashObr", utf8(indicators.fullName(QStringLiteral("РасхОбр")))},
        {"rcNalad", adjustmentReportItem(data)},
    };
    ReportDocument report;
    report.html = QString::fromStdString(mstch::render(utf8(definition), context));
    report.title = QStringLiteral("Гидравлический расчет теплосети");
    report.landscape = landscape;
    report.footerDate = date;
    report.expandPiece = [rows](const QString& piece) { return rows->expand(piece); };
    return report;
}

} // namespace zurm
