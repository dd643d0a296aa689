#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zurm {

// The bytes of one stream of an OLE2 compound file (the container of .xls
// workbooks): the first stream whose name is one of `names`, compared without
// regard to case, from the normal sectors or from the mini stream. Every
// sector number, chain and size is checked against the file, so that a
// damaged or hostile file costs no more than its own size. On failure the
// result is empty and `why` tells it in Russian ("книга повреждена", "в файле
// нет книги Microsoft Excel").
QByteArray compoundStream(const QByteArray& file, const QStringList& names, QString& why);

} // namespace zurm
