#include "entry/CalculationFields.h"

#include "base/Failure.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"

namespace zurm {

void storeCalculationName(DataModule& data, const QString& name)
{
    CalculationRow(data.calculation()).storeName(name);
}

std::optional<QString> storeHeadNode(DataModule& data, const QString& column, const QString& typed,
                                     const QString& label, const QObject* source)
{
    bool isNumber = false;
    const qlonglong number = typed.trimmed().toLongLong(&isNumber);
    if (!isNumber)
        return std::nullopt; // not an integer: the stored number stays
    const CalculationRow row(data.calculation());
    const QVariant stored = row.value(column);
    if (stored.isValid() && !stored.isNull() && stored.toInt() == number)
        return std::nullopt;
    if (number < 0 || number > 32767)
        throw Failure(QStringLiteral("RangeError"), QStringLiteral("Значение ") + QString::number(number)
                                                        + QStringLiteral(" поля \"") + label
                                                        + QStringLiteral("\" вне допустимого диапазона номеров узлов"
                                                                         " (от 0 до 32767)."));
    data.noteInputChanged(source);
    row.setValue(column, int(number));
    return QString::number(number);
}

std::optional<QString> placeGivenHeadsAtStartNode(DataModule& data)
{
    const QVariant start = CalculationRow(data.calculation()).placeGivenHeadsAtStartNode();
    if (!start.isValid())
        return std::nullopt;
    return start.isNull() ? QString() : QString::number(start.toInt());
}

} // namespace zurm
