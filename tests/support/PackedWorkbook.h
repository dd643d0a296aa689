#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace zurm::test {

// A workbook packed from hand-written parts, in the ways other programs write
// them (see packSheet for the usual parts).
void packWorkbook(const QString& path, const QList<QPair<const char*, QByteArray>>& parts);

// A one-sheet .xlsx whose rows hold cells written as "n:12.5" (number),
// "s:text" (inline string), "b:1" (boolean), "e:#N/A" (error), "f:3" (a
// formula with its stored number), "f:" (a formula without a stored result)
// or "" (no cell).
void packSheet(const QString& path, const QString& sheetName, const QList<QStringList>& rows);

struct PackedSheet {
    QString name;
    QList<QStringList> rows;
};
// The same with several sheets, in this order.
void packSheets(const QString& path, const QList<PackedSheet>& sheets);

// One part of a zip container as stored ("xl/workbook.xml"); empty when it is missing.
QByteArray unpackedPart(const QString& path, const char* name);

} // namespace zurm::test
