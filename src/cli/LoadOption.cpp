#include "LoadOption.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "entry/RepeatedEntry.h"
#include "platform/WorkbookSource.h"

#include <QFileInfo>

namespace zurm::cli {

bool isLoadOption(const QString& option)
{
    return option == QLatin1String("--load") || option == QLatin1String("--sheet") || option == QLatin1String("--rows")
           || option == QLatin1String("--nodes") || option == QLatin1String("--column");
}

QString takeLoadOption(const QString& option, const QString& value, LoadRequest& request)
{
    LoadSettings& fields = request.fields;
    if (option == QLatin1String("--load")) {
        request.workbook = QFileInfo(value).absoluteFilePath();
    } else if (option == QLatin1String("--sheet")) {
        fields.sheet = value;
    } else if (option == QLatin1String("--rows")) {
        const qsizetype dash = value.indexOf(QLatin1Char('-'), 1);
        if (dash < 0)
            return QStringLiteral("Строки таблицы задаются как НАЧАЛЬНАЯ-КОНЕЧНАЯ: ") + value + QLatin1Char('.');
        fields.firstRow = value.left(dash);
        fields.lastRow = value.mid(dash + 1);
    } else if (option == QLatin1String("--nodes")) {
        const QStringList parts = value.split(QLatin1Char(','));
        if (parts.size() != 2)
            return QStringLiteral("Колонки узлов задаются как НАЧАЛЬНОГО,КОНЕЧНОГО: ") + value + QLatin1Char('.');
        fields.startColumn = parts[0];
        fields.endColumn = parts[1];
    } else {
        const qsizetype equals = value.lastIndexOf(QLatin1Char('='));
        if (equals <= 0)
            return QStringLiteral("Показатель и колонка задаются как ПОКАЗАТЕЛЬ=КОЛОНКА: ") + value + QLatin1Char('.');
        if (request.lines >= kLoadLines)
            return QStringLiteral("Параметр --column задается не более 8 раз.");
        fields.names[request.lines] = value.left(equals);
        fields.columns[request.lines] = value.mid(equals + 1);
        ++request.lines;
    }
    return {};
}

LoadOutcome loadSegments(DataModule& data, Progress& progress, const LoadRequest& request)
{
    if (!selectValue(data.calculation(), QStringLiteral("SELECT count(*) FROM Табл")).toLongLong())
        return {1, QStringLiteral("В таблице с исходными данными о участках сети должна быть хотя бы одна запись.")};
    QStringList sheets;
    try {
        sheets = openWorkbook(request.workbook)->sheetNames();
    } catch (const Failure& failure) {
        return {1, failure.text()};
    }
    // The window's boxes offer only what exists; on the command line a name
    // that matches nothing is refused by its name, never taken as left empty.
    const QStringList indicators = loadableIndicators(data);
    if (request.fields.sheet.isEmpty())
        return {2, QStringLiteral("Не указан лист книги (--sheet).")};
    if (MatchComboItem(sheets, request.fields.sheet) < 0)
        return {2, QStringLiteral("В книге ") + request.workbook + QStringLiteral(" нет листа \"") + request.fields.sheet
                       + QStringLiteral("\".")};
    if (request.lines == 0)
        return {2, QStringLiteral("Не указан ни один показатель (--column).")};
    for (int line = 0; line < request.lines; ++line) {
        const QString& name = request.fields.names[line];
        if (MatchComboItem(indicators, name) < 0)
            return {2, QStringLiteral("Показателя \"") + name
                           + QStringLiteral("\" нет среди показателей участков, которые можно загрузить (--column).")};
    }
    const LoadSettings fields = normaliseLoadSettings(request.fields, sheets, indicators);
    const LoadCheck check = checkLoadSettings(fields, sheets);
    if (!check.plan)
        return {2, check.message};
    // Any load makes earlier results stale, as the window's command does.
    data.noteInputChanged();
    const LoadResult result = loadFromWorkbook(data, request.workbook, *check.plan, progress);
    return {result.ok ? 0 : 1, result.message};
}

} // namespace zurm::cli
