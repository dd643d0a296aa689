#include "entry/CalculationFields.h"

#include "base/Failure.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"

namespace zurm {

void storeCalculationName(DataModule& data, const QString& name)
{
    CalculationRow(data.calculation()).storeName(name);
}

namespace {

constexpr qlonglong kHighestNode = 32700;

} // namespace

QString headNodeProblem(const QString& typed, const QString& label)
{
    bool isNumber = false;
    const qlonglong number = typed.trimmed().toLongLong(&isNumber);
    if (!isNumber || (number >= 0 && number <= kHighestNode))
        return {};
    return QStringLiteral("Значение поля \"") + label
           + QStringLiteral("\" должно быть целым числом от 0 до 32700.\rЗначение не изменено.");
}

QString storedHeadNodeText(DataModule& data, const QString& column)
{
    const QVariant stored = CalculationRow(data.calculation()).value(column);
    return stored.isValid() && !stored.isNull() ? QString::number(stored.toInt()) : QString();
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
    if (const QString problem = headNodeProblem(typed, label); !problem.isEmpty())
        throw Failure(QStringLiteral("RangeError"), problem);
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
