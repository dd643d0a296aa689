#include "network/RenamePlan.h"

#include "base/Sql.h"
#include "document/DataModule.h"

#include <QSqlQuery>
#include <cmath>

namespace zurm {

RenamePlanModel::RenamePlanModel(DataModule& data, QObject* parent) : QAbstractTableModel(parent), data_(data) {}

void RenamePlanModel::select()
{
    std::vector<Row> rows;
    QSqlQuery query = selectSql(data_.work(), QStringLiteral("SELECT Nуз, НовыйNуз, Рез FROM ПереимУз ORDER BY Nуз"));
    while (query.next())
        rows.push_back({query.value(0).toInt(), query.value(1), query.value(2).toString()});
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void RenamePlanModel::clear()
{
    execSql(data_.work(), QStringLiteral("DELETE FROM ПереимУз"));
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void RenamePlanModel::setReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
    if (!rows_.empty())
        emit dataChanged(index(0, 1), index(int(rows_.size()) - 1, 1));
}

int RenamePlanModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int RenamePlanModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant RenamePlanModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const Row& row = rows_[size_t(index.row())];
    if (role == Qt::TextAlignmentRole)
        return index.column() == 2 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (index.column()) {
    case 0: return row.node;
    case 1:
        // Typed as a number like every number of the program.
        return row.newNumber.isNull() ? QVariant(QMetaType::fromType<double>()) : QVariant(row.newNumber.toDouble());
    default: return row.result;
    }
}

QVariant RenamePlanModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case 0: return QStringLiteral("Номер узла");
    case 1: return QStringLiteral("Новый номер узла");
    default: return QStringLiteral("Результат переименования");
    }
}

Qt::ItemFlags RenamePlanModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == 1 && !readOnly_)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool RenamePlanModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != 1 || readOnly_ || index.row() >= int(rows_.size()))
        return false;
    Row& row = rows_[size_t(index.row())];
    // A whole number is stored as one; anything else as typed, so that the
    // renaming names it rather than a rounded number.
    QVariant stored = value;
    if (!value.isNull()) {
        const double number = value.toDouble();
        if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 1e15)
            stored = qlonglong(number);
    }
    execSql(data_.work(), QStringLiteral("UPDATE ПереимУз SET НовыйNуз = ? WHERE Nуз = ?"), {stored, row.node});
    row.newNumber = stored;
    emit dataChanged(index, index);
    return true;
}

} // namespace zurm
