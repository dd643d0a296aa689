#pragma once

#include "platform/XlsxReader.h"

#include <QHash>
#include <QList>
#include <QString>

namespace zurm {

// What a walk over the records of an .xls file found before FreeXL reads it.
struct XlsRecords {
    // Why the file must not reach FreeXL; empty when it may.
    QString damage;
    // Per sheet in the workbook's order: the cells FreeXL gives other than stored
    // (booleans, error cells, formula results), by XlsxSheet::key.
    QList<QHash<qint64, XlsxCell>> cells;
};

XlsRecords readXlsRecords(const QString& path);

} // namespace zurm
