#include "document/CalculationRow.h"

#include "base/Sql.h"

namespace zurm {

namespace {

const QString kFirstRow = QStringLiteral(" WHERE rowid=(SELECT min(rowid) FROM [НазвРасч])");

} // namespace

QVariantList CalculationRow::read(const QStringList& columns) const
{
    QStringList quoted;
    for (const QString& column : columns)
        quoted.append(quoteName(column));
    QSqlQuery row = selectSql(db_, QStringLiteral("SELECT ") + quoted.join(QStringLiteral(", "))
                                       + QStringLiteral(" FROM [НазвРасч] ORDER BY rowid LIMIT 1"));
    QVariantList values;
    if (!row.next())
        return values;
    for (int i = 0; i < columns.size(); ++i)
        values.append(row.value(i));
    return values;
}

QVariant CalculationRow::value(const QString& column) const
{
    return read({column}).value(0);
}

void CalculationRow::write(const QStringList& columns, const QVariantList& values) const
{
    QStringList assignments;
    for (const QString& column : columns)
        assignments.append(quoteName(column) + QStringLiteral("=?"));
    execSql(db_, QStringLiteral("UPDATE [НазвРасч] SET ") + assignments.join(QStringLiteral(", ")) + kFirstRow,
            values);
}

void CalculationRow::setValue(const QString& column, const QVariant& value) const
{
    write({column}, {value});
}

CalculationRow::NetworkParameters CalculationRow::networkParameters() const
{
    NetworkParameters parameters;
    const QVariantList values = read({kNetworkType, kDesignMode});
    if (!values.isEmpty()) {
        parameters.networkType = values[0];
        parameters.designMode = values[1].toBool();
    }
    return parameters;
}

void CalculationRow::storeName(const QString& name) const
{
    const QVariant stored = value(kName);
    if (stored.isValid() && (name.isEmpty() ? stored.isNull() : (!stored.isNull() && stored.toString() == name)))
        return;
    setValue(kName, name.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(name));
}

QVariant CalculationRow::placeGivenHeadsAtStartNode() const
{
    if (!value(kDesignMode).toBool())
        return {};
    execSql(db_, QStringLiteral("UPDATE [НазвРасч] SET [NузПНапПод]=[NНачУз], [NузРНап]=[NНачУз]") + kFirstRow);
    const QVariant start = value(kStartNode);
    return start.isValid() ? start : QVariant(QMetaType::fromType<int>());
}

} // namespace zurm
