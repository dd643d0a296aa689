#include "output/CalculationReport.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/CalculationRow.h"
#include "settings/SettingsRow.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>
#include <mstch/mstch.hpp>

namespace zurm {

namespace {

// Segment columns shown at most on a portrait page, and in one table.
constexpr int kPortraitColumns = 8;
constexpr qsizetype kGroupColumns = 12;

std::string utf8(const QString& text)
{
    return text.toStdString();
}

class Formatter {
public:
    Formatter(int digits, QChar decimalPoint) : digits_(digits), decimalPoint_(decimalPoint) {}

    std::string operator()(const QVariant& value) const
    {
        if (value.isNull() || !value.isValid())
            return {};
        switch (value.metaType().id()) {
        case QMetaType::Double:
        case QMetaType::Float: {
            const double number = value.toDouble();
            if (!std::isfinite(number))
                return {};
            QString text = QLocale::c().toString(number, 'f', digits_);
            text.remove(QLatin1Char(','));
            if (decimalPoint_ != QLatin1Char('.'))
                text.replace(QLatin1Char('.'), decimalPoint_);
            return utf8(text);
        }
        default: return utf8(value.toString());
        }
    }

private:
    int digits_;
    QChar decimalPoint_;
};

// The caption of an indicator in reports, empty when it is not shown there.
class ReportIndicators {
public:
    explicit ReportIndicators(const QSqlDatabase& db)
    {
        const CalculationRow calculation(db);
        supplyHeadNode_ = calculation.value(CalculationRow::kSupplyHeadNode).toString();
        availableHeadNode_ = calculation.value(CalculationRow::kAvailableHeadNode).toString();
        for (const char* table : {"Формулы", "ФлыПредопрПок"}) {
            QSqlQuery query = selectSql(db, QStringLiteral("SELECT НаимПокСокр, НаимПок, ВывВОтчТабл FROM ")
                                                + QString::fromUtf8(table));
            while (query.next())
                entries_.insert(query.value(0).toString(), {query.value(1).toString(), query.value(2).toBool()});
        }
    }

    QString caption(const QString& name) const
    {
        const auto found = entries_.constFind(name);
        if (found == entries_.cend() || !found->shown)
            return {};
        QString display = found->name;
        if (name == QStringLiteral("ПНапНаУзПод"))
            display = QStringLiteral("Полный напор на узле ") + supplyHeadNode_ + QStringLiteral(" в подающем трубопроводе, м.");
        else if (name == QStringLiteral("РНапНаУз"))
            display = QStringLiteral("Располагаемый напор на узле ") + availableHeadNode_ + QStringLiteral(", м.");
        return display;
    }

    QString fullName(const QString& name) const { return entries_.value(name).name; }

private:
    struct Entry {
        QString name;
        bool shown = false;
    };
    // The predefined catalogue wins over a formula of the same short name.
    QHash<QString, Entry> entries_;
    QString supplyHeadNode_;
    QString availableHeadNode_;
};

mstch::map rowFields(const QSqlRecord& record, const QSqlQuery& query, const Formatter& format)
{
    mstch::map fields;
    for (int i = 0; i < record.count(); ++i)
        fields.emplace(utf8(record.fieldName(i)), format(query.value(i)));
    return fields;
}

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
Columns reportColumns(const QSqlDatabase& db, const QString& table, const ReportIndicators& indicators)
{
    Columns columns;
    for (const ColumnInfo& column : tableColumns(db, table)) {
        const QString caption = indicators.caption(column.name);
        if (caption.isEmpty())
            continue;
        columns.names.append(column.name);
        columns.captions.push_back(mstch::map{{"caption", utf8(caption)}, {"name", utf8(column.name)}});
    }
    return columns;
}

mstch::map tableRow(const QSqlQuery& query, const QStringList& fixed, const QList<int>& shown,
                    const QSqlRecord& record, const Formatter& format)
{
    mstch::map row;
    for (const QString& name : fixed) {
        const int at = record.indexOf(name);
        if (at >= 0)
            row.emplace(utf8(name), format(query.value(at)));
    }
    mstch::array cells;
    cells.reserve(size_t(shown.size()));
    for (int at : shown)
        cells.push_back(format(query.value(at)));
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

QString readDefinition(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        throw Failure(QStringLiteral("ReportError"), QStringLiteral("Не найден файл описания отчета \"") + QDir::toNativeSeparators(path)
                      + QStringLiteral("\"."));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("ReportError"), QStringLiteral("Не удалось прочитать файл описания отчета \"") + QDir::toNativeSeparators(path)
                      + QStringLiteral("\": ") + file.errorString());
    return QString::fromUtf8(file.readAll());
}

} // namespace

QString reportDefinitionName(int networkType, bool designMode)
{
    return QString::number(2 * networkType + (designMode ? 1 : 0)) + QStringLiteral(".rav");
}

ReportDocument buildCalculationReport(DataModule& data, QChar decimalPoint, int digitsAsked)
{
    const SegmentSort order = data.segmentSort();
    const QSqlDatabase db = data.calculation();
    const CalculationRow::NetworkParameters parameters = CalculationRow(db).networkParameters();
    const QString definition =
        readDefinition(QDir(data.programFolder()).filePath(reportDefinitionName(parameters.type(), parameters.designMode)));

    int digits = 3;
    mstch::map settings;
    if (data.settingsOpen()) {
        const QVariant stored = SettingsRow::value(data.settings(), QStringLiteral("ТочностьЧиселВОтч"));
        if (!stored.isNull())
            digits = std::clamp(stored.toInt(), 0, 18);
    }
    if (digitsAsked >= 0)
        digits = std::min(digitsAsked, 18);
    const Formatter format(digits, decimalPoint);
    if (data.settingsOpen())
        settings = singleRow(data.settings(), QStringLiteral("Настройки"), format);
    const ReportIndicators indicators(db);

    mstch::map header = singleRow(db, QStringLiteral("Заг"), format);
    {
        mstch::array items;
        const Columns shown = reportColumns(db, QStringLiteral("Заг"), indicators);
        for (int i = 0; i < shown.names.size(); ++i) {
            const auto value = header.find(utf8(shown.names[i]));
            items.push_back(mstch::map{{"caption", utf8(indicators.caption(shown.names[i]))},
                                       {"value", value == header.end() ? mstch::node(std::string()) : value->second}});
        }
        header.emplace("items", std::move(items));
    }

    const Columns segmentColumns = reportColumns(db, QStringLiteral("Табл"), indicators);
    const bool landscape = segmentColumns.names.size() > kPortraitColumns;
    // A wide table is printed as several tables of at most kGroupColumns
    // columns each, every one beginning with the segment.
    const qsizetype groupCount = std::max<qsizetype>(1, (segmentColumns.names.size() + kGroupColumns - 1) / kGroupColumns);
    mstch::array groups;
    for (qsizetype group = 0; group < groupCount; ++group) {
        const qsizetype first = group * kGroupColumns;
        const qsizetype count = std::min<qsizetype>(kGroupColumns, segmentColumns.names.size() - first);
        const QStringList names = segmentColumns.names.mid(first, count);
        mstch::array captions(segmentColumns.captions.begin() + first, segmentColumns.captions.begin() + first + count);
        QSqlQuery query = selectSql(db, QStringLiteral("SELECT * FROM Табл ORDER BY ") + segmentSortClause(order));
        const QSqlRecord record = query.record();
        const QList<int> shown = indexesOf(record, names);
        const QStringList fixed = {QStringLiteral("id"), QStringLiteral("НачУзел"), QStringLiteral("КонУзел"),
                                   QStringLiteral("Примечание")};
        mstch::array pieces;
        mstch::array rows;
        while (query.next()) {
            rows.push_back(tableRow(query, fixed, shown, record, format));
            if (int(rows.size()) == kReportRowsPerPiece) {
                pieces.push_back(mstch::map{{"rows", std::move(rows)}});
                rows = mstch::array();
            }
        }
        if (!rows.empty() || pieces.empty())
            pieces.push_back(mstch::map{{"rows", std::move(rows)}});
        groups.push_back(mstch::map{{"columns", std::move(captions)},
                                    {"pieces", std::move(pieces)},
                                    {"first", group == 0},
                                    {"last", group == groupCount - 1}});
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

    const mstch::map context{
        {"rcNazvRas", std::move(calculation)},
        {"rcZag", std::move(header)},
        {"rcTabl", std::move(segments)},
        {"rcKonMag", mstch::map{{"rows", std::move(mains)}}},
        {"rcNastr", std::move(settings)},
        {"rcRashPod", utf8(indicators.fullName(QStringLiteral("РасхПод")))},
        {"rcRashObr", utf8(indicators.fullName(QStringLiteral("РасхОбр")))},
    };
    ReportDocument report;
    report.html = QString::fromStdString(mstch::render(utf8(definition), context));
    report.title = QStringLiteral("Гидравлический расчет теплосети");
    report.landscape = landscape;
    return report;
}

} // namespace zurm
