#include "entry/HeaderRowModel.h"

#include "base/Failure.h"
#include "base/Sql.h"

#include <QSqlRecord>

namespace zurm {

namespace {
const QString kRowCondition = QStringLiteral(" WHERE rowid=(SELECT min(rowid) FROM [Заг])");

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    bool aNumber = false;
    bool bNumber = false;
    const double x = a.toDouble(&aNumber);
    const double y = b.toDouble(&bNumber);
    if (aNumber && bNumber)
        return x == y;
    return a.toString() == b.toString();
}
} // namespace

HeaderRowModel::HeaderRowModel(DataModule& data, QObject* parent) : QAbstractTableModel(parent), data_(data) {}

void HeaderRowModel::reload()
{
    beginResetModel();
    columns_.clear();
    values_.clear();
    hasRow_ = false;
    generation_ = data_.calculationGeneration();
    try {
        for (const ColumnInfo& column : tableColumns(data_.calculation(), QStringLiteral("Заг")))
            columns_.append(column.name);
        QSqlQuery row = selectSql(data_.calculation(), QStringLiteral("SELECT * FROM [Заг] ORDER BY rowid LIMIT 1"));
        if (row.next()) {
            hasRow_ = true;
            for (int column = 0; column < columns_.size(); ++column)
                values_.append(row.value(column));
        }
    } catch (...) {
        columns_.clear();
        values_.clear();
        hasRow_ = false;
        endResetModel();
        throw;
    }
    endResetModel();
}

QVariant HeaderRowModel::readValue(int column) const
{
    return selectValue(data_.calculation(), QStringLiteral("SELECT ") + quoteName(columns_[column])
                                                 + QStringLiteral(" FROM [Заг]") + kRowCondition);
}

int HeaderRowModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !hasRow_ ? 0 : 1;
}

int HeaderRowModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant HeaderRowModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() != 0 || !hasRow_ || index.column() >= columns_.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const QVariant& value = values_[index.column()];
        // Every header value is a number: an empty one is a Null number.
        return value.isNull() ? QVariant(QMetaType::fromType<double>()) : value;
    }
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant HeaderRowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columns_.size())
        return columns_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags HeaderRowModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // A file open for viewing only takes no edits.
    if (data_.calculationReadOnly())
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool HeaderRowModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() != 0 || !hasRow_ || index.column() >= columns_.size())
        return false;
    const int column = index.column();
    if (sameValue(values_[column], value))
        return true;
    try {
        data_.noteInputChanged(this);
        data_.syncWithCalculationFile();
        if (generation_ != data_.calculationGeneration()) {
            // Another program wrote to the file: the row is shown as it is now.
            generation_ = data_.calculationGeneration();
            for (int other = 0; other < columns_.size(); ++other)
                values_[other] = readValue(other);
            emit dataChanged(this->index(0, 0), this->index(0, int(columns_.size()) - 1));
        }
        const QVariant stored = value.isNull() ? QVariant(QMetaType::fromType<double>()) : value;
        execSql(data_.calculation(),
                QStringLiteral("UPDATE [Заг] SET ") + quoteName(columns_[column]) + QStringLiteral("=?") + kRowCondition,
                {stored});
        values_[column] = readValue(column);
    } catch (const Failure& failure) {
        if (postFailed)
            postFailed(failure);
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

} // namespace zurm
