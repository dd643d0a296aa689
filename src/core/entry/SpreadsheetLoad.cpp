#include "entry/SpreadsheetLoad.h"

#include "base/Failure.h"
#include "base/NativeSql.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "entry/RepeatedEntry.h"
#include "platform/NumberText.h"
#include "platform/WorkbookSource.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSqlQuery>
#include <cmath>
#include <utility>

namespace zurm {

namespace {

const QString kSettingsTable = QStringLiteral("[НастрЗагрИзExcel]");
constexpr int kMaxRow = 65536;
constexpr int kMaxColumn = 256;

QString lineName(const QString& prefix, int line)
{
    return prefix + QString::number(line + 1);
}

// A whole number from lowest to highest as typed, or nullopt.
std::optional<int> typedInteger(const QString& text, int lowest, int highest)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

QVariant storedInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? QVariant(value) : QVariant();
}

QVariant storedText(const QString& text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

QString fieldText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

using NodePair = std::pair<double, double>;

} // namespace

CellNumber cellNumber(const XlsxCell& cell)
{
    switch (cell.kind) {
    case XlsxCell::Kind::Empty:
        // A formula its writer never computed has no value to load, and 0 would be a guess.
        if (cell.formula)
            return {false, 0, QStringLiteral("Ячейка содержит формулу без вычисленного значения")};
        return {true, 0, {}};
    case XlsxCell::Kind::Number:
    case XlsxCell::Kind::Boolean:
        if (!std::isfinite(cell.number))
            return {false, 0, QStringLiteral("Значение ячейки не является конечным числом")};
        return {true, cell.number == 0 ? 0.0 : cell.number, {}};
    case XlsxCell::Kind::Text: {
        if (cell.text.trimmed().isEmpty())
            return {true, 0, {}};
        if (const std::optional<double> value = parseTypedReal(cell.text))
            return {true, *value == 0 ? 0.0 : *value, {}};
        return {false, 0, QStringLiteral("Текст ячейки не является числом: ") + cell.text.left(100)};
    }
    case XlsxCell::Kind::Error:
        return {false, 0, QStringLiteral("Ячейка содержит значение ошибки ") + cell.text};
    }
    return {false, 0, {}};
}

LoadSettings readLoadSettings(const QSqlDatabase& settings)
{
    QString sql = QStringLiteral("SELECT ФайлExcel, РЛист, НачСтр, КонСтр, КолНачУз, КолКонУз");
    for (int line = 0; line < kLoadLines; ++line)
        sql += QStringLiteral(", ") + quoteName(lineName(QStringLiteral("П"), line)) + QStringLiteral(", ") +
               quoteName(lineName(QStringLiteral("Кол"), line));
    QSqlQuery query = selectSql(settings, sql + QStringLiteral(" FROM ") + kSettingsTable +
                                              QStringLiteral(" ORDER BY rowid LIMIT 1"));
    LoadSettings fields;
    if (!query.next())
        return fields;
    fields.workbook = fieldText(query.value(0));
    fields.sheet = fieldText(query.value(1));
    fields.firstRow = fieldText(query.value(2));
    fields.lastRow = fieldText(query.value(3));
    fields.startColumn = fieldText(query.value(4));
    fields.endColumn = fieldText(query.value(5));
    for (int line = 0; line < kLoadLines; ++line) {
        fields.names[line] = fieldText(query.value(6 + 2 * line));
        fields.columns[line] = fieldText(query.value(7 + 2 * line));
    }
    return fields;
}

void storeLoadSettings(const QSqlDatabase& settings, const LoadSettings& fields)
{
    QString assignments = QStringLiteral("ФайлExcel = ?, РЛист = ?, НачСтр = ?, КонСтр = ?, КолНачУз = ?, КолКонУз = ?");
    QVariantList values{storedText(fields.workbook.left(255)), storedText(fields.sheet.left(255)),
                        storedInteger(fields.firstRow),        storedInteger(fields.lastRow),
                        storedInteger(fields.startColumn),     storedInteger(fields.endColumn)};
    for (int line = 0; line < kLoadLines; ++line) {
        assignments += QStringLiteral(", ") + quoteName(lineName(QStringLiteral("П"), line)) + QStringLiteral(" = ?, ") +
                       quoteName(lineName(QStringLiteral("Кол"), line)) + QStringLiteral(" = ?");
        values << storedText(fields.names[line].left(255)) << storedInteger(fields.columns[line]);
    }
    Transaction transaction(settings);
    if (!selectValue(settings, QStringLiteral("SELECT count(*) FROM ") + kSettingsTable).toInt())
        execSql(settings, QStringLiteral("INSERT INTO ") + kSettingsTable + QStringLiteral(" DEFAULT VALUES"));
    execSql(settings, QStringLiteral("UPDATE ") + kSettingsTable + QStringLiteral(" SET ") + assignments +
                          QStringLiteral(" WHERE rowid = (SELECT min(rowid) FROM ") + kSettingsTable + ')',
            values);
    transaction.commit();
}

QStringList loadableIndicators(const DataModule& data)
{
    return repeatedEntryLists(data).targets;
}

LoadSettings normaliseLoadSettings(const LoadSettings& fields, const QStringList& sheets,
                                   const QStringList& indicators)
{
    LoadSettings normal = fields;
    auto match = [](const QStringList& items, const QString& typed) {
        const int index = MatchComboItem(items, typed);
        return index < 0 ? QString() : items[index];
    };
    normal.sheet = match(sheets, fields.sheet);
    for (QString& name : normal.names)
        name = match(indicators, name);
    return normal;
}

LoadCheck checkLoadSettings(const LoadSettings& fields, const QStringList& sheets, bool twoNodeColumns)
{
    LoadCheck check;
    auto failAt = [&](LoadField field, const QString& message, int line = -1) {
        check.field = field;
        check.line = line;
        check.message = message;
        return check;
    };
    const int sheet = fields.sheet.isEmpty() ? -1 : int(sheets.indexOf(fields.sheet));
    if (sheet < 0)
        return failAt(LoadField::Sheet, QStringLiteral("Поле \"Имя листа Excel\" должно быть заполнено."));
    const std::optional<int> first = typedInteger(fields.firstRow, 1, kMaxRow);
    if (!first)
        return failAt(LoadField::FirstRow,
                      QStringLiteral("Параметр \"Начальная строка таблицы данных\" должен быть целым "
                                     "положительным числом меньше 65537."));
    const std::optional<int> last = typedInteger(fields.lastRow, 1, kMaxRow);
    if (!last)
        return failAt(LoadField::LastRow,
                      QStringLiteral("Параметр \"Конечная строка таблицы данных\" должен быть целым "
                                     "положительным числом меньше 65537."));
    if (*last < *first)
        return failAt(LoadField::FirstRow,
                      QStringLiteral("Параметр \"Начальная строка таблицы данных\" должен быть меньше или равен "
                                     "параметру \"Конечная строка таблицы данных\"."));
    const QString columnMessage =
        QStringLiteral("Параметр \"Номер колонки в таблице Excel\" должен быть целым положительным числом меньше 257.");
    const std::optional<int> start = typedInteger(fields.startColumn, 1, kMaxColumn);
    if (!start)
        return failAt(LoadField::StartColumn, columnMessage);
    const std::optional<int> end = twoNodeColumns ? typedInteger(fields.endColumn, 1, kMaxColumn) : start;
    if (!end)
        return failAt(LoadField::EndColumn, columnMessage);
    LoadPlan plan{fields.sheet, *first, *last, *start, *end, {}};
    for (int line = 0; line < kLoadLines; ++line) {
        if (fields.names[line].isEmpty())
            continue;
        const std::optional<int> column = typedInteger(fields.columns[line], 1, kMaxColumn);
        if (!column)
            return failAt(LoadField::Column, columnMessage, line);
        plan.lines.append({fields.names[line], *column});
    }
    if (plan.lines.isEmpty())
        return failAt(LoadField::Name, QStringLiteral("Введите хотя бы одно значение в поле \"Показатель\"."), 0);
    check.plan = std::move(plan);
    return check;
}

QString cellConversionMessage(int row, int column, const QString& why)
{
    return QStringLiteral("Ошибка при чтении данных из ячейки таблицы Excel.\r\rАдрес ячейки:\rНомер строки: ") +
           QString::number(row) + QStringLiteral("\rНомер колонки: ") + QString::number(column) +
           QStringLiteral("\r\rВсе ячейки, из которых загружаются данные, а также ячейки с номерами начальных и "
                          "конечных узлов участков должны иметь числовой формат.\r\rТекст ошибки:\r\"") +
           why + QStringLiteral("\"");
}

XlsxSheet readPlannedCells(const QString& workbook, const LoadPlan& plan)
{
    const std::unique_ptr<WorkbookSource> book = openWorkbook(workbook);
    // Sheet names are unique without regard to case, as the dialog matches them.
    const int index = MatchComboItem(book->sheetNames(), plan.sheet);
    if (index < 0)
        throw Failure(QStringLiteral("WorkbookError"), QStringLiteral("В книге ") + workbook +
                                                           QStringLiteral(" нет листа \"") + plan.sheet +
                                                           QStringLiteral("\"."));
    SheetWindow window{plan.firstRow, plan.lastRow, {plan.startColumn, plan.endColumn}};
    for (const LoadPlan::Line& line : plan.lines)
        window.columns.append(line.column);
    return book->sheetCells(index, window);
}

LoadResult loadFromWorkbook(DataModule& data, const QString& workbook, const LoadPlan& plan, Progress& progress,
                            const QObject* source)
{
    LoadResult result;
    XlsxSheet sheet;
    try {
        sheet = readPlannedCells(workbook, plan);
    } catch (const Failure& failure) {
        result.message = failure.text();
        return result;
    }

    // The rows of the range up to the first node cell that is no number, and
    // for every node pair the first of them that holds it: the segment that
    // finds no match before that cell stops the load there.
    QHash<NodePair, int> firstRowOf;
    std::optional<int> badRow, badColumn;
    QString badWhy;
    for (int row = plan.firstRow; row <= plan.lastRow && !badRow; ++row) {
        const CellNumber x = cellNumber(sheet.cell(row, plan.startColumn));
        const CellNumber y = x.ok ? cellNumber(sheet.cell(row, plan.endColumn)) : CellNumber{};
        if (!x.ok || !y.ok) {
            badRow = row;
            badColumn = x.ok ? plan.endColumn : plan.startColumn;
            badWhy = x.ok ? y.why : x.why;
            break;
        }
        const NodePair key{x.value, y.value};
        if (!firstRowOf.contains(key))
            firstRowOf.insert(key, row);
    }

    const QSqlDatabase db = data.calculation();
    struct Segment {
        qint64 id;
        QVariant start, end;
    };
    QList<Segment> segments;
    {
        QSqlQuery query = selectSql(db, QStringLiteral("SELECT id, НачУзел, КонУзел FROM Табл ORDER BY ") +
                                            segmentSortClause(data.segmentSort()));
        while (query.next())
            segments.append({query.value(0).toLongLong(), query.value(1), query.value(2)});
    }

    QString sql = QStringLiteral("UPDATE Табл SET ");
    for (qsizetype k = 0; k < plan.lines.size(); ++k)
        sql += (k ? QStringLiteral(", ") : QString()) + quoteName(plan.lines[k].name) + QStringLiteral(" = ?");
    sql += QStringLiteral(" WHERE id = ?");

    Transaction transaction(db);
    NativeStatement update(db, sql);
    QElapsedTimer shown;
    shown.start();
    QList<double> values(plan.lines.size());
    for (qsizetype s = 0; s < segments.size(); ++s) {
        const Segment& segment = segments[s];
        const QString a = segment.start.isNull() ? QString() : segment.start.toString();
        const QString b = segment.end.isNull() ? QString() : segment.end.toString();
        if (segment.start.isNull() || segment.end.isNull()) {
            result.message = QStringLiteral("Участок ") + a + QStringLiteral(" - ") + b +
                             QStringLiteral(":\rПоля НачУзел, КонУзел должны быть заполнены.");
            break;
        }
        if (s == 0 || shown.elapsed() >= 100) {
            progress.setStatus(QStringLiteral("Загрузка данных. Участок ") + a + QStringLiteral(" - ") + b);
            progress.processEvents();
            shown.restart();
        }
        const auto found = firstRowOf.constFind({segment.start.toDouble(), segment.end.toDouble()});
        if (found == firstRowOf.constEnd()) {
            if (badRow) {
                result.message = cellConversionMessage(*badRow, *badColumn, badWhy);
                result.failedRow = badRow;
                result.failedColumn = badColumn;
                break;
            }
            continue;
        }
        const int row = found.value();
        qsizetype k = 0;
        for (; k < plan.lines.size(); ++k) {
            const CellNumber value = cellNumber(sheet.cell(row, plan.lines[k].column));
            if (!value.ok) {
                result.message = cellConversionMessage(row, plan.lines[k].column, value.why);
                result.failedRow = row;
                result.failedColumn = plan.lines[k].column;
                break;
            }
            values[k] = value.value;
        }
        if (k < plan.lines.size())
            break;
        for (k = 0; k < plan.lines.size(); ++k)
            update.bindReal(int(k + 1), values[k]);
        update.bindInteger(int(plan.lines.size() + 1), segment.id);
        update.run();
        ++result.loadedSegments;
    }
    transaction.commit();
    progress.setStatus(QString());
    if (result.loadedSegments > 0)
        data.noteInputChanged(source);
    if (result.message.isEmpty()) {
        result.ok = true;
        result.message = QStringLiteral("Данные загружены успешно.");
    }
    return result;
}

} // namespace zurm
