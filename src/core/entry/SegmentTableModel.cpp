#include "entry/SegmentTableModel.h"

#include "base/Failure.h"
#include "document/Segments.h"

#include <QSqlQuery>
#include <algorithm>

namespace zurm {

namespace {
const QString kTabl = QStringLiteral("Табл");
constexpr int kPageRows = 256;

// The value type of a column by its declared type, as SQLite's affinity reads it.
QMetaType declaredMetaType(const QString& declared)
{
    const QString type = declared.toUpper();
    if (type.startsWith(QLatin1String("BIT")) || type.startsWith(QLatin1String("BOOL")))
        return QMetaType::fromType<bool>();
    if (type.contains(QLatin1String("INT")))
        return QMetaType::fromType<qlonglong>();
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) || type.contains(QLatin1String("TEXT")))
        return QMetaType::fromType<QString>();
    return QMetaType::fromType<double>();
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b || a.toString() == b.toString();
}
} // namespace

SegmentTableModel::SegmentTableModel(DataModule& data, QObject* parent) : QAbstractTableModel(parent), data_(data)
{
    columns_ = tableColumns(data_.calculation(), kTabl);
    QStringList names;
    for (const ColumnInfo& column : columns_) {
        types_.append(declaredMetaType(column.declaredType));
        names.append(quoteName(column.name));
    }
    selectList_ = names.join(QStringLiteral(", "));
    // The key and the node numbers change only in the network editor.
    readOnlyColumns_[0] = fieldIndex(QStringLiteral("id"));
    readOnlyColumns_[1] = fieldIndex(QStringLiteral("НачУзел"));
    readOnlyColumns_[2] = fieldIndex(QStringLiteral("КонУзел"));
}

int SegmentTableModel::fieldIndex(const QString& name) const
{
    for (int column = 0; column < columns_.size(); ++column)
        if (columns_[column].name == name)
            return column;
    return -1;
}

void SegmentTableModel::selectSorted(SegmentSort sort)
{
    QList<qint64> keys;
    {
        QSqlQuery query = selectSql(data_.calculation(), QStringLiteral("SELECT id FROM Табл ORDER BY ")
                                                             + segmentSortClause(sort));
        while (query.next())
            keys.append(query.value(0).toLongLong());
    }
    beginResetModel();
    keys_ = keys;
    shown_ = int(qMin<qsizetype>(keys_.size(), kPageRows));
    pages_.clear();
    pending_.clear();
    generation_ = data_.calculationGeneration();
    endResetModel();
}

QList<QVariantList> SegmentTableModel::readRows(const QList<qint64>& keys) const
{
    QStringList list;
    for (qint64 key : keys)
        list.append(QString::number(key));
    QHash<qint64, QVariantList> byKey;
    const int idColumn = fieldIndex(QStringLiteral("id"));
    {
        QSqlQuery query = selectSql(data_.calculation(), QStringLiteral("SELECT ") + selectList_
                                                             + QStringLiteral(" FROM Табл WHERE id IN (")
                                                             + list.join(QLatin1Char(',')) + QLatin1Char(')'));
        while (query.next()) {
            QVariantList values;
            for (int column = 0; column < columns_.size(); ++column)
                values.append(query.value(column));
            byKey.insert(values.value(idColumn).toLongLong(), values);
        }
    }
    QList<QVariantList> rows;
    for (qint64 key : keys)
        rows.append(byKey.value(key));
    return rows;
}

const QVariantList& SegmentTableModel::fileRow(int row) const
{
    static const QVariantList none;
    const int page = row / kPageRows;
    auto found = pages_.find(page);
    if (found == pages_.end()) {
        try {
            found = pages_.insert(page, readRows(keys_.mid(qsizetype(page) * kPageRows, kPageRows)));
        } catch (const Failure&) {
            return none; // shown empty, read again when next asked
        }
    }
    const int at = row % kPageRows;
    return at < found->size() ? (*found)[at] : none;
}

void SegmentTableModel::dropPages()
{
    pages_.clear();
    if (shown_ > 0)
        emit dataChanged(index(0, 0), index(shown_ - 1, int(columns_.size()) - 1));
}

QVariant SegmentTableModel::typedNull(int column) const
{
    return QVariant(types_.value(column, QMetaType::fromType<double>()));
}

int SegmentTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shown_;
}

int SegmentTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant SegmentTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= shown_ || index.column() >= columns_.size())
        return {};
    switch (role) {
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const auto edit = pending_.constFind(index.row());
        if (edit != pending_.cend() && edit->values.contains(index.column()))
            return edit->values.value(index.column());
        const QVariant value = fileRow(index.row()).value(index.column());
        return value.isNull() ? typedNull(index.column()) : value;
    }
    default:
        return {};
    }
}

bool SegmentTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= shown_ || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int row = index.row();
    const int column = index.column();
    auto edit = pending_.find(row);
    if (edit == pending_.end()) {
        if (sameValue(fileRow(row).value(column), value))
            return true;
        edit = pending_.insert(row, Edit{fileRow(row), {}, generation_});
    }
    edit->values.insert(column, value.isNull() ? typedNull(column) : value);
    emit dataChanged(index, index);
    return true;
}

QList<int> SegmentTableModel::pendingRows() const
{
    QList<int> rows = pending_.keys();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void SegmentTableModel::revertRow(int row)
{
    if (!pending_.remove(row))
        return;
    emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
}

void SegmentTableModel::revertAll()
{
    for (int row : pendingRows())
        revertRow(row);
}

void SegmentTableModel::saveRow(int row)
{
    const auto edit = pending_.constFind(row);
    if (edit == pending_.cend())
        return;
    // Throws when the path no longer leads to the file that was read.
    data_.syncWithCalculationFile();
    const int idColumn = fieldIndex(QStringLiteral("id"));
    const qint64 key = keys_.value(row);
    if (data_.calculationGeneration() != generation_) {
        // Another program wrote to the file since it was read: the grid reads it again.
        generation_ = data_.calculationGeneration();
        dropPages();
    }
    if (edit->generation != generation_) {
        // The edit began on what the file held before: it is written only into
        // the same segment.
        const QVariantList now = readRows({key}).value(0);
        const int start = fieldIndex(QStringLiteral("НачУзел"));
        const int end = fieldIndex(QStringLiteral("КонУзел"));
        if (now.isEmpty() || !sameValue(now.value(start), edit->original.value(start))
            || !sameValue(now.value(end), edit->original.value(end)))
            throw Failure(QStringLiteral("FileChangedError"),
                          QStringLiteral("Файл ") + data_.calculationPath()
                              + QStringLiteral(" изменен другой программой: участка ")
                              + edit->original.value(start).toString() + QStringLiteral(" - ")
                              + edit->original.value(end).toString()
                              + QStringLiteral(" в нем больше нет. Изменения участка не записаны."));
        pending_[row].generation = generation_;
    }

    SegmentRowBuffer buffer;
    buffer.values = fileRow(row);
    if (buffer.values.isEmpty())
        buffer.values = edit->original;
    buffer.values[idColumn] = key;
    QList<int> changed;
    for (auto value = edit->values.cbegin(); value != edit->values.cend(); ++value) {
        buffer.values[value.key()] = value.value();
        changed.append(value.key());
    }
    buffer.changedColumns = changed;
    data_.noteInputChanged(this);
    SaveCurrentSegmentRow(data_, buffer, false);

    // Re-read what the file now holds; the model's edit of the row is dropped.
    pending_.remove(row);
    pages_.remove(row / kPageRows);
    emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
}

QVariant SegmentTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columns_.size())
        return columns_[section].name;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags SegmentTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (data_.calculationReadOnly())
        return result;
    for (int column : readOnlyColumns_)
        if (index.column() == column)
            return result;
    return result | Qt::ItemIsEditable;
}

bool SegmentTableModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && shown_ < keys_.size();
}

void SegmentTableModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const int more = int(qMin<qsizetype>(keys_.size() - shown_, kPageRows));
    beginInsertRows(QModelIndex(), shown_, shown_ + more - 1);
    shown_ += more;
    endInsertRows();
}

bool SegmentTableModel::insertRows(int, int, const QModelIndex&)
{
    // Segments are added in the network editor, by SQL.
    return false;
}

bool SegmentTableModel::removeRows(int, int, const QModelIndex&)
{
    return false;
}

} // namespace zurm
