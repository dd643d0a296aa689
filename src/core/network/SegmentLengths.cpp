#include "network/SegmentLengths.h"

#include "base/NativeSql.h"
#include "base/Sql.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "network/SchemaData.h"

#include <QHash>
#include <QPoint>
#include <cmath>
#include <optional>
#include <sqlite3.h>

namespace zurm {

QString ComputeLengthsFromScale(DataModule& data, const QObject* source)
{
    const QSqlDatabase db = data.calculation();
    const CalculationRow calculation(db);
    const QVariant scaleValue = calculation.value(CalculationRow::kMapScale);
    bool ok = false;
    const double scale = scaleValue.toDouble(&ok);
    if (scaleValue.isNull() || !scaleValue.isValid() || !ok)
        return QStringLiteral("Длины участков не вычислены по масштабу карты: масштаб карты не задан.");
    if (!(scale > 0))
        return QStringLiteral("Длины участков не вычислены по масштабу карты: масштаб карты должен быть больше нуля.");
    const bool twoPipe = calculation.networkParameters().type() == 1;
    QHash<int, QPoint> positions;
    NativeStatement nodes(db, QStringLiteral("SELECT Nуз, x, y FROM УзлыТС ORDER BY rowid"));
    while (nodes.step())
        if (!nodes.value(0).isNull() && !positions.contains(nodes.value(0).toInt()))
            positions.insert(nodes.value(0).toInt(), QPoint(nodes.value(1).toInt(), nodes.value(2).toInt()));
    Transaction transaction(db);
    NativeStatement update(db, twoPipe ? QStringLiteral("UPDATE Табл SET ДлНаУчПод = ?1, ДлНаУчОбр = ?1 WHERE id = ?2")
                                       : QStringLiteral("UPDATE Табл SET ДлНаУчПод = ?1 WHERE id = ?2"));
    NativeStatement segments(db, QStringLiteral("SELECT id, НачУзел, КонУзел FROM Табл ORDER BY id"));
    while (segments.step()) {
        const std::optional<int> from = intOrNone(segments.value(1));
        const std::optional<int> to = intOrNone(segments.value(2));
        if (!from || !to || !positions.contains(*from) || !positions.contains(*to))
            continue;
        const QPoint a = positions.value(*from);
        const QPoint b = positions.value(*to);
        const double dx = a.x() - b.x();
        const double dy = a.y() - b.y();
        // length × 100 = scale × distance: rounded there, halves away from zero.
        const double length = std::round(scale * std::sqrt(dx * dx + dy * dy)) / 100.0;
        int code = sqlite3_bind_double(update.get(), 1, length);
        if (code != SQLITE_OK || (code = sqlite3_bind_int64(update.get(), 2, segments.value(0).toLongLong())) != SQLITE_OK)
            update.fail(code);
        update.run();
    }
    transaction.commit();
    data.noteInputChanged(source);
    return QString();
}

} // namespace zurm
