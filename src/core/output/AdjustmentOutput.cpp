#include "output/AdjustmentOutput.h"
#include "output/AdjustmentSections.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "document/DocumentFiles.h"
#include "output/CalculationReport.h"
#include "output/ReportTemplate.h"
#include "output/ReportWorkbook.h"

#include <QFileInfo>
#include <cmath>

namespace zurm {

namespace {

enum Column {
    kNode, kConsumer, kScheme, kFlow, kHead, kSupply, kReturn, kRatio, kDesignRatio, kElevator, kThroat,
    kMinimumHead, kNozzle, kThrottled, kOrifice, kCount, kRemark, kColumnCount
};

QVariant rounded(const std::optional<double>& value, int decimals)
{
    if (!value)
        return {};
    const double scale = std::pow(10.0, decimals);
    const double r = std::round(*value * scale) / scale;
    return r == 0 ? 0.0 : r; // no "-0,00"
}

constexpr double kSheetColumnWidth = 12;
constexpr double kCaptionRowHeight = 36;

} // namespace

const std::vector<AdjustmentColumn>& adjustmentColumns()
{
    static const std::vector<AdjustmentColumn> columns{
        {QStringLiteral("Узел"), 0},
        {QStringLiteral("Потребитель"), -1},
        {QStringLiteral("Схема присоединения"), -1},
        {QStringLiteral("G, т/ч"), 3},
        {QStringLiteral("H, м"), 2},
        {QStringLiteral("τ1, °C"), 2},
        {QStringLiteral("τ2, °C"), 2},
        {QStringLiteral("u"), 2},
        {QStringLiteral("uр"), 2},
        {QStringLiteral("№ элеватора"), 0},
        {QStringLiteral("dг, мм"), 2},
        {QStringLiteral("Hmin, м"), 2},
        {QStringLiteral("dс, мм"), 2},
        {QStringLiteral("ΔH диафрагм, м"), 2},
        {QStringLiteral("d диафрагмы, мм"), 2},
        {QStringLiteral("Число диафрагм"), 0},
        {QStringLiteral("Примечание"), -1},
    };
    return columns;
}

QVariant adjustmentValue(const InputAdjustment& row, int column)
{
    const int decimals = column >= 0 && column < kColumnCount ? adjustmentColumns()[size_t(column)].decimals : -1;
    const std::optional<Orifices>& orifices = row.orifices;
    switch (column) {
    case kNode: return row.conditions.node;
    case kConsumer: return row.consumer.isEmpty() ? QVariant() : QVariant(row.consumer);
    case kScheme: return row.scheme ? QVariant(connectionSchemeName(*row.scheme)) : QVariant();
    case kFlow: return rounded(row.conditions.flow, decimals);
    case kHead: return rounded(row.conditions.head, decimals);
    case kSupply: return rounded(row.conditions.supplyTemperature, decimals);
    case kReturn: return rounded(row.conditions.returnTemperature, decimals);
    case kRatio: return rounded(row.mixingRatio, decimals);
    case kDesignRatio: return rounded(row.designRatio, decimals);
    case kElevator: return row.elevatorNumber ? QVariant(*row.elevatorNumber) : QVariant();
    case kThroat: return rounded(row.throat, decimals);
    case kMinimumHead: return rounded(row.minimumHead, decimals);
    case kNozzle: return rounded(row.nozzle, decimals);
    case kThrottled: return orifices ? rounded(orifices->head, decimals) : QVariant();
    case kOrifice: return orifices ? rounded(orifices->diameter, decimals) : QVariant();
    case kCount: return orifices ? QVariant(orifices->count) : QVariant();
    case kRemark: return row.remark.isEmpty() ? QVariant() : QVariant(row.remark);
    default: return {};
    }
}

QString adjustmentText(const InputAdjustment& row, int column, QChar decimalPoint)
{
    const QVariant value = adjustmentValue(row, column);
    if (value.isNull())
        return {};
    const int decimals = adjustmentColumns()[size_t(column)].decimals;
    if (decimals < 0)
        return value.toString();
    if (decimals == 0)
        return QString::number(value.toLongLong());
    QString text = QString::number(value.toDouble(), 'f', decimals);
    if (decimalPoint != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimalPoint);
    return text;
}

AdjustmentTable adjustmentOfCalculation(DataModule& data)
{
    const AdjustmentSettings settings =
        data.settingsOpen() ? readAdjustmentSettings(data.settings()) : AdjustmentSettings{};
    return adjustInputs(data.calculation(), data.calculationOpen() && data.calculationDone(), settings);
}

bool isWorkbookName(const QString& path)
{
    return path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
}

void writeAdjustmentRows(SheetWriter& out, const std::vector<InputAdjustment>& rows, int captionRow)
{
    Style caption;
    caption.number = Style::Text;
    caption.small = 1;
    caption.wrap = 1;
    caption.vertical = 1;
    caption.boxed = 1;
    caption.centred = 1;
    Style text;
    text.number = Style::Text;
    text.boxed = 1;
    text.vertical = 2;
    Style whole = text;
    whole.number = Style::Integer;
    whole.centred = 1;
    Style value = whole;
    value.number = Style::Value;
    const std::vector<AdjustmentColumn>& columns = adjustmentColumns();
    out.rowHeight(captionRow, kCaptionRowHeight);
    for (int c = 0; c < int(columns.size()); ++c)
        out.text(captionRow, c + 1, columns[size_t(c)].caption, caption);
    int at = captionRow + 1;
    for (const InputAdjustment& row : rows) {
        for (int c = 0; c < int(columns.size()); ++c) {
            const int decimals = columns[size_t(c)].decimals;
            // The remark is the last column: a long one reads on into the empty cells beside it.
            Style style = decimals < 0 ? text : decimals == 0 ? whole : value;
            if (c == kRemark)
                style.boxed = 0;
            out.value(at, c + 1, adjustmentValue(row, c), style);
        }
        ++at;
    }
}

void writeAdjustmentSheet(DataModule& data, SheetWriter& out, Progress& progress)
{
    const AdjustmentTable table = adjustmentOfCalculation(data);
    if (!table.refusal.isEmpty() || !table.hasConsumers)
        return;
    progress.setStatus(QStringLiteral("Выгрузка в Microsoft Excel. Наладка вводов потребителей..."));
    progress.processEvents();
    out.addSheet(QStringLiteral("Наладка"), kSheetColumnWidth);
    Style title;
    title.number = Style::Text;
    title.bold = 1;
    out.text(1, 1, QStringLiteral("НАЛАДКА ВВОДОВ ПОТРЕБИТЕЛЕЙ"), title);
    Style name;
    name.number = Style::Text;
    const QVariant calculationName = CalculationRow(data.calculation()).value(CalculationRow::kName);
    out.text(2, 1, calculationName.isNull() ? QString() : calculationName.toString(), name);
    writeAdjustmentRows(out, table.rows, 4);
}

mstch::map adjustmentReportItem(DataModule& data)
{
    const AdjustmentTable table = adjustmentOfCalculation(data);
    if (!table.refusal.isEmpty() || !table.hasConsumers)
        return mstch::map{{"present", false}};
    static const char* const fields[kColumnCount] = {"node",     "consumer", "scheme", "G",      "H",   "t1",
                                                     "t2",       "u",        "up",     "elevator", "throat", "hmin",
                                                     "nozzle",   "dh",       "orifice", "count", "remark"};
    // The remarks are a table of their own after the values: in one table a
    // long remark would leave the numbers beside it no room on the page.
    std::vector<const InputAdjustment*> remarked;
    for (const InputAdjustment& row : table.rows)
        if (!row.remark.isEmpty())
            remarked.push_back(&row);
    auto pieces = [&](const std::vector<const InputAdjustment*>& rows) {
        mstch::array result;
        for (size_t first = 0; first < rows.size(); first += kReportRowsPerPiece) {
            const size_t end = std::min(rows.size(), first + kReportRowsPerPiece);
            mstch::array shown;
            shown.reserve(end - first);
            for (size_t i = first; i < end; ++i) {
                mstch::map row;
                for (int c = 0; c < kColumnCount; ++c)
                    row.emplace(fields[c], utf8(adjustmentText(*rows[i], c, QLatin1Char('.'))));
                shown.push_back(std::move(row));
            }
            result.push_back(mstch::map{{"rows", std::move(shown)}, {"last", end == rows.size()}});
        }
        return result;
    };
    std::vector<const InputAdjustment*> all;
    all.reserve(table.rows.size());
    for (const InputAdjustment& row : table.rows)
        all.push_back(&row);
    return mstch::map{{"present", true},
                      {"pieces", pieces(all)},
                      {"hasRemarks", !remarked.empty()},
                      {"remarkPieces", pieces(remarked)}};
}

void writeAdjustmentFile(const std::vector<InputAdjustment>& rows, const QString& path, const QList<KeptFile>& kept)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    if (isWorkbookName(target)) {
        OutputFile file(target, kAdjustmentOutputNoun, kept);
        {
            SheetWriter out(file, reportValueFormat(3), QStringLiteral("Наладка"), kSheetColumnWidth);
            writeAdjustmentRows(out, rows, 1);
            out.close();
        }
        file.commit();
        return;
    }
    auto field = [](const QString& text) {
        if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
            && !text.contains(QLatin1Char('\r')))
            return text;
        return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    };
    const std::vector<AdjustmentColumn>& columns = adjustmentColumns();
    QString text;
    QStringList line;
    for (const AdjustmentColumn& column : columns)
        line.append(field(column.caption));
    text += line.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    for (const InputAdjustment& row : rows) {
        line.clear();
        for (int c = 0; c < int(columns.size()); ++c)
            line.append(field(adjustmentText(row, c, QLatin1Char(','))));
        text += line.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    writeOutputFile(target, QByteArray("\xEF\xBB\xBF") + text.toUtf8(), kAdjustmentOutputNoun, kept);
}

bool saveAdjustmentTable(const DataModule& data, UserDialogs& dialogs, const std::vector<InputAdjustment>& rows,
                         bool workbook)
{
    const std::optional<QString> chosen = dialogs.chooseFileToSave(
        QStringLiteral("Сохранить результат наладочного расчета"), QFileInfo(data.calculationPath()).absolutePath(),
        workbook ? QStringLiteral("Книга Microsoft Excel (*.xlsx)|*.xlsx")
                 : QStringLiteral("Таблица CSV (*.csv)|*.csv"));
    if (!chosen)
        return false;
    QString file = QFileInfo(*chosen).absoluteFilePath();
    if (!isWorkbookName(file) && !file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        file += workbook ? QStringLiteral(".xlsx") : QStringLiteral(".csv");
    if (const QString problem = outputPlaceProblem(kAdjustmentOutputNoun, file, documentFiles(data));
        !problem.isEmpty()) {
        dialogs.showMessage(problem, MessageKind::Warning);
        return false;
    }
    if (QFileInfo::exists(file)
        && !dialogs.askYesNo(kApplicationTitle,
                             QStringLiteral("Файл \"") + file + QStringLiteral("\" уже существует. Заменить его?")))
        return false;
    try {
        writeAdjustmentFile(rows, file, documentFiles(data));
    } catch (const Failure& failure) {
        dialogs.showMessage(failure.text(), MessageKind::Error);
        return false;
    }
    dialogs.showWrittenFile(file);
    return true;
}

} // namespace zurm
