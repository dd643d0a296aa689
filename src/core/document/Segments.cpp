#include "document/Segments.h"

#include "base/Failure.h"
#include "base/Guarded.h"
#include "base/UserDialogs.h"
#include "platform/Cp1251.h"
#include "platform/NumberText.h"

#include <cmath>

namespace zurm {

namespace {
constexpr qint64 kKeyLimit = 2147483600;
constexpr int kLastNodeWithSuccessor = 32767;
} // namespace

std::optional<qint64> nextSegmentKey(const std::vector<qint64>& idsAscending)
{
    if (idsAscending.empty())
        return 1;
    if (idsAscending.back() < kKeyLimit)
        return idsAscending.back() + 1;
    qint64 i = 1;
    for (qint64 id : idsAscending) {
        if (i > kKeyLimit)
            return std::nullopt;
        if (id > i)
            return i;
        ++i;
    }
    return std::nullopt;
}

NewSegmentValues atTablAfterInsert(DataModule& data, UserDialogs& dialogs)
{
    NewSegmentValues result;
    guardedStep(dialogs, QStringLiteral("Ошибка при генерации значений номеров начального и конечного узла участка."), [&] {
        // The last row in the grid's order; Null sorts first ascending, so it
        // comes last when the order is reversed only if every row is Null.
        const QString order = data.segmentSort() == SegmentSort::ById
            ? QStringLiteral("id DESC")
            : QStringLiteral("НачУзел DESC, КонУзел DESC, id DESC");
        QSqlQuery last = selectSql(data.calculation(),
                                   QStringLiteral("SELECT КонУзел FROM Табл ORDER BY ") + order + QStringLiteral(" LIMIT 1"));
        int a = 0;
        if (last.next() && !last.value(0).isNull())
            a = last.value(0).toInt();
        result.startNode = a;
        if (a < kLastNodeWithSuccessor)
            result.endNode = a + 1;
    });
    guardedStep(dialogs, QStringLiteral("Ошибка при генерации значения ключевого поля."), [&] {
        const QVariant maxId = selectValue(data.calculation(), QStringLiteral("SELECT max(id) FROM Табл"));
        std::vector<qint64> ids;
        if (!maxId.isNull()) {
            if (maxId.toLongLong() < kKeyLimit) {
                ids.push_back(maxId.toLongLong());
            } else {
                QSqlQuery all = selectSql(data.calculation(), QStringLiteral("SELECT id FROM Табл ORDER BY id ASC"));
                while (all.next())
                    ids.push_back(all.value(0).toLongLong());
            }
        }
        result.id = nextSegmentKey(ids);
        if (!result.id)
            dialogs.showMessage(QStringLiteral("Невозможно сгенерировать значение ключевого поля."),
                                MessageKind::Error);
    });
    return result;
}

QString sqlValueText(const QVariant& value, const QString& declaredType)
{
    if (value.isNull() || !value.isValid())
        return QStringLiteral("Null");
    const QString type = declaredType.toLower();
    if (type == QLatin1String("smallint") || type == QLatin1String("integer") || type == QLatin1String("int"))
        return QString::number(value.toLongLong());
    if (type == QLatin1String("bit"))
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (type == QLatin1String("float") || type == QLatin1String("double") || type == QLatin1String("real")) {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok || !std::isfinite(number))
            throw Failure(QStringLiteral("ConversionError"),
                          QStringLiteral("\"") + value.toString() + QStringLiteral("\" не является числом."));
        return formatGeneral15(number, QLatin1Char('.'));
    }
    // Text: what survives the single-byte Cyrillic code page, quotes doubled.
    QString text = throughCp1251(value.toString());
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString segmentUpdateStatement(const QList<ColumnInfo>& columns, const QVariantList& values, int columnCount)
{
    QString sql = QStringLiteral("UPDATE Табл SET ");
    for (int i = 1; i < columnCount; ++i) {
        if (i > 1)
            sql += QStringLiteral(", ");
        sql += columns[i].name + QLatin1Char('=') + sqlValueText(values.value(i), columns[i].declaredType);
    }
    sql += QStringLiteral(" WHERE id=") + sqlValueText(values.value(0), QStringLiteral("integer"));
    return sql;
}

QString segmentUpdateStatement(const QList<ColumnInfo>& columns, const QVariantList& values,
                               const QList<int>& columnsToWrite)
{
    if (columnsToWrite.isEmpty())
        return {};
    QString sql = QStringLiteral("UPDATE Табл SET ");
    for (qsizetype k = 0; k < columnsToWrite.size(); ++k) {
        const int i = columnsToWrite[k];
        if (k > 0)
            sql += QStringLiteral(", ");
        sql += quoteName(columns[i].name) + QLatin1Char('=') + sqlValueText(values.value(i), columns[i].declaredType);
    }
    sql += QStringLiteral(" WHERE id=") + sqlValueText(values.value(0), QStringLiteral("integer"));
    return sql;
}

void SaveCurrentSegmentRow(DataModule& data, const SegmentRowBuffer& row, bool writeLastColumn)
{
    if (row.values.isEmpty())
        return;
    const QList<ColumnInfo> columns = tableColumns(data.calculation(), QStringLiteral("Табл"));
    const int count = writeLastColumn ? int(columns.size()) : int(columns.size()) - 1;
    Transaction transaction(data.calculation());
    if (row.inserting)
        execSql(data.calculation(), QStringLiteral("INSERT INTO Табл(id) VALUES(")
                                        + sqlValueText(row.values.value(0), QStringLiteral("integer")) + QLatin1Char(')'));
    if (row.changedColumns) {
        QList<int> written;
        for (int i : *row.changedColumns)
            if (i > 0 && i < count)
                written.append(i);
        if (!written.isEmpty())
            execSql(data.calculation(), segmentUpdateStatement(columns, row.values, written));
    } else if (count > 1) {
        execSql(data.calculation(), segmentUpdateStatement(columns, row.values, count));
    }
    transaction.commit();
}

QString nodeNumberProblem(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return {};
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (ok && number >= 0 && number <= 32700)
        return {};
    return QStringLiteral("Параметр \"Узел\" должен быть целым числом от 0 до 32700.");
}

} // namespace zurm
