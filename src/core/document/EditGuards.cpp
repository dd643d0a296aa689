#include "document/EditGuards.h"

#include "base/Failure.h"

namespace zurm {

EditGuards::EditGuards()
{
    noInsert_ = {QStringLiteral("Заг"), QStringLiteral("ФлыПредопрПок")};
    noDelete_ = {QStringLiteral("Заг"),       QStringLiteral("Формулы"),   QStringLiteral("ФлыПредопрПок"),
                 QStringLiteral("ИзмПНапВУзлахТС"), QStringLiteral("ДиамТрПр"), QStringLiteral("ПлВодыОтТ"),
                 QStringLiteral("ПопрКоэфКУдПот")};
}

bool EditGuards::refuses(const QString& table, EditOperation operation) const
{
    return operation == EditOperation::Insert ? noInsert_.contains(table) : noDelete_.contains(table);
}

void EditGuards::setRefused(const QString& table, EditOperation operation, bool refused)
{
    QSet<QString>& set = operation == EditOperation::Insert ? noInsert_ : noDelete_;
    if (refused)
        set.insert(table);
    else
        set.remove(table);
}

void EditGuards::check(const QString& table, EditOperation operation) const
{
    if (refuses(table, operation))
        throw QuietAbort();
}

void EditGuards::guardSegmentsFromMainWindow()
{
    setRefused(QStringLiteral("Табл"), EditOperation::Insert, true);
    setRefused(QStringLiteral("Табл"), EditOperation::Delete, true);
}

void EditGuards::enterNetworkEditor()
{
    setRefused(QStringLiteral("УзлыТС"), EditOperation::Delete, true);
    setRefused(QStringLiteral("КонМаг"), EditOperation::Delete, true);
    setRefused(QStringLiteral("Табл"), EditOperation::Insert, false);
}

void EditGuards::leaveNetworkEditor()
{
    setRefused(QStringLiteral("УзлыТС"), EditOperation::Delete, false);
    setRefused(QStringLiteral("КонМаг"), EditOperation::Delete, false);
    guardSegmentsFromMainWindow();
}

} // namespace zurm
