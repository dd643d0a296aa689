#include "entry/SegmentTableModel.h"

#include "document/Failure.h"
#include "document/Segments.h"
#include "document/Sql.h"

#include <QSqlError>
#include <QSqlRecord>

namespace zurm {

namespace {
const QString kTabl = QStringLiteral("Табл");
} // namespace

SegmentTableModel::SegmentTableModel(DataModule& data, QObject* parent)
    : QSqlTableModel(parent, data.calculation()), data_(data)
{
    setEditStrategy(QSqlTableModel::OnManualSubmit);
    setTable(kTabl);
    // The key and the node numbers change only in the network editor.
    readOnlyColumns_[0] = fieldIndex(QStringLiteral("id"));
    readOnlyColumns_[1] = fieldIndex(QStringLiteral("НачУзел"));
    readOnlyColumns_[2] = fieldIndex(QStringLiteral("КонУзел"));
}

void SegmentTableModel::selectSorted(SegmentSort sort)
{
    sort_ = sort;
    if (!select())
        throw Failure(QString::fromLatin1(kSqlErrorClass), lastError().text());
}

QString SegmentTableModel::orderByClause() const
{
    return QStringLiteral("ORDER BY ") + segmentSortClause(sort_);
}

bool SegmentTableModel::rowPending(int row) const
{
    if (row < 0 || row >= rowCount())
        return false;
    for (int column = 0; column < columnCount(); ++column)
        if (isDirty(index(row, column)))
            return true;
    return false;
}

QList<int> SegmentTableModel::pendingRows() const
{
    QList<int> rows;
    if (!isDirty())
        return rows;
    for (int row = 0; row < rowCount(); ++row)
        if (rowPending(row))
            rows.append(row);
    return rows;
}

void SegmentTableModel::saveRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    const QSqlRecord values = record(row);
    SegmentRowBuffer buffer;
    for (int column = 0; column < values.count(); ++column)
        buffer.values.append(values.value(column));
    SaveCurrentSegmentRow(data_, buffer, false);
    // Re-read what the file now holds; the model's buffer of the row is dropped.
    if (!selectRow(row))
        throw Failure(QString::fromLatin1(kSqlErrorClass), lastError().text());
}

Qt::ItemFlags SegmentTableModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags result = QSqlTableModel::flags(index);
    // A file open for viewing only takes no edits.
    if (data_.calculationReadOnly())
        result &= ~Qt::ItemIsEditable;
    for (int column : readOnlyColumns_)
        if (index.column() == column)
            result &= ~Qt::ItemIsEditable;
    return result;
}

QVariant SegmentTableModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::TextAlignmentRole && index.isValid())
        return int(Qt::AlignCenter);
    return QSqlTableModel::data(index, role);
}

bool SegmentTableModel::insertRows(int row, int count, const QModelIndex& parent)
{
    if (data_.guards().refuses(kTabl, EditOperation::Insert))
        return false;
    return QSqlTableModel::insertRows(row, count, parent);
}

bool SegmentTableModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (data_.guards().refuses(kTabl, EditOperation::Delete))
        return false;
    return QSqlTableModel::removeRows(row, count, parent);
}

} // namespace zurm
