#include "reference/ReferenceTableModel.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "platform/NumberText.h"

#include <QSqlQuery>
#include <algorithm>
#include <cmath>

namespace zurm {

namespace {

const QString kDiameterCaption = QStringLiteral("Условный диаметр трубопровода, мм.");

ReferenceTableInfo makeInfo(ReferenceTable table)
{
    ReferenceTableInfo info;
    switch (table) {
    case ReferenceTable::Diameters:
        info.table = QStringLiteral("ДиамТрПр");
        info.title = QStringLiteral("Диаметры трубопровода");
        info.columns = {QStringLiteral("УслДиамТрПр"), QStringLiteral("ВнутрДиамТрПр")};
        info.captions = {kDiameterCaption, QStringLiteral("Внутренний диаметр трубопровода, мм.")};
        info.widths = {215, 220};
        info.integer = {true, true};
        info.order = QStringLiteral("[УслДиамТрПр] ASC");
        info.printDefinition = QStringLiteral("SprDiamTrPr.rav");
        info.sheetName = QStringLiteral("ДиамТП");
        info.sheetTitle = QStringLiteral("ДИАМЕТРЫ ТРУБОПРОВОДА");
        info.progressText = QStringLiteral("Выгрузка в Microsoft Excel. Усл. диам., мм. = ");
        info.helpTopic = QStringLiteral("DV\\SprDtr.htm");
        break;
    case ReferenceTable::Density:
        info.table = QStringLiteral("ПлВодыОтТ");
        info.title = QStringLiteral("Плотность воды при различной температуре");
        info.columns = {QStringLiteral("Т"), QStringLiteral("Плотность")};
        info.captions = {QStringLiteral("Температура, град. С"), QStringLiteral("Плотность, кг./м3")};
        info.widths = {130, 120};
        info.integer = {true, false};
        info.order = QStringLiteral("[Т] ASC");
        info.printDefinition = QStringLiteral("SprPlVodiOtT.rav");
        info.sheetName = QStringLiteral("ПлВоды");
        info.sheetTitle = info.title;
        info.titleHeight = 40;
        info.titleWrapped = true;
        info.progressText = QStringLiteral("Выгрузка в Microsoft Excel. Температура, град. С = ");
        info.helpTopic = QStringLiteral("DV\\SprPlVodiOtT.htm");
        break;
    case ReferenceTable::Coefficients:
        info.table = QStringLiteral("ПопрКоэфКУдПот");
        info.title = QStringLiteral("Поправочные коэффициенты к удельным потерям давления");
        info.columns = {QStringLiteral("УслДиамТрПр"), QStringLiteral("ЭквШер"), QStringLiteral("Коэф")};
        info.captions = {kDiameterCaption, QStringLiteral("Эквивалентная шероховатость, мм."),
                         QStringLiteral("Коэффициент")};
        info.widths = {215, 200, 90};
        info.integer = {true, false, false};
        info.order = QStringLiteral("[ЭквШер] ASC, [УслДиамТрПр] ASC");
        info.printDefinition = QStringLiteral("SprPoprKoefKUdPot.rav");
        info.sheetName = QStringLiteral("ПопрК");
        info.sheetTitle = info.title;
        info.titleHeight = 40;
        info.titleWrapped = true;
        info.progressText = QStringLiteral("Выгрузка в Microsoft Excel. Экв. шер., мм. = ");
        info.progressColumn = 1;
        info.helpTopic = QStringLiteral("DV\\SprPoprKKUP.htm");
        break;
    }
    return info;
}

} // namespace

const ReferenceTableInfo& referenceTableInfo(ReferenceTable table)
{
    static const ReferenceTableInfo infos[] = {makeInfo(ReferenceTable::Diameters), makeInfo(ReferenceTable::Density),
                                               makeInfo(ReferenceTable::Coefficients)};
    return infos[int(table)];
}

QString emptyReferenceMessage(ReferenceTable table)
{
    return QStringLiteral("В справочнике \"") + referenceTableInfo(table).title
           + QStringLiteral("\" нет ни одной записи.");
}

int rowAfterDeletion(int lastDeleted, int count, int rowCount)
{
    if (rowCount <= 0)
        return -1;
    const int r = lastDeleted - count;
    return r >= rowCount - 1 ? rowCount - 1 : std::max(r + 1, 0);
}

ReferenceTableModel::ReferenceTableModel(DataModule& data, UserDialogs& dialogs, ReferenceTable table,
                                         QObject* parent)
    : QAbstractTableModel(parent), data_(data), dialogs_(dialogs), table_(table), info_(referenceTableInfo(table))
{
}

void ReferenceTableModel::select()
{
    QStringList list;
    for (const QString& name : info_.columns)
        list.append(quoteName(name));
    QList<Row> rows;
    {
        QSqlQuery query = selectSql(data_.reference(), QStringLiteral("SELECT rowid, ") + list.join(QStringLiteral(", "))
                                                           + QStringLiteral(" FROM ") + quoteName(info_.table)
                                                           + QStringLiteral(" ORDER BY ") + info_.order
                                                           + QStringLiteral(", rowid"));
        while (query.next()) {
            Row row;
            row.rowid = query.value(0).toLongLong();
            for (int column = 0; column < info_.columns.size(); ++column) {
                const QVariant value = query.value(column + 1);
                if (value.isNull())
                    row.values.append(info_.integer[column] ? QVariant(QMetaType::fromType<qlonglong>())
                                                            : QVariant(QMetaType::fromType<double>()));
                else if (info_.integer[column])
                    row.values.append(value.toLongLong());
                else
                    row.values.append(value.toDouble());
            }
            rows.append(row);
        }
    }
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void ReferenceTableModel::setEditing(bool on)
{
    if (on)
        data_.noteInputChanged(this);
    editing_ = on;
    if (!rows_.isEmpty())
        emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, columnCount() - 1));
}

int ReferenceTableModel::deleteRows(const QList<int>& rows)
{
    QList<int> sorted;
    for (int row : rows)
        if (row >= 0 && row < rows_.size() && !sorted.contains(row))
            sorted.append(row);
    if (sorted.isEmpty())
        return -1;
    std::sort(sorted.begin(), sorted.end());
    const QSqlDatabase db = data_.reference();
    {
        Transaction transaction(db);
        QSqlQuery query = prepareSql(db, QStringLiteral("DELETE FROM ") + quoteName(info_.table)
                                             + QStringLiteral(" WHERE rowid=?"));
        for (int row : sorted) {
            query.bindValue(0, rows_[row].rowid);
            execPrepared(query);
        }
        transaction.commit();
    }
    select();
    return rowAfterDeletion(sorted.last(), int(sorted.size()), rowCount());
}

void ReferenceTableModel::deleteAll()
{
    execSql(data_.reference(), QStringLiteral("DELETE FROM ") + quoteName(info_.table));
    select();
}

int ReferenceTableModel::appendRow()
{
    if (!editing_)
        return -1;
    const QSqlDatabase db = data_.reference();
    Row row;
    {
        Transaction transaction(db);
        execSql(db, QStringLiteral("INSERT INTO ") + quoteName(info_.table) + QStringLiteral(" DEFAULT VALUES"));
        row.rowid = selectValue(db, QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
        transaction.commit();
    }
    for (int column = 0; column < info_.columns.size(); ++column)
        row.values.append(info_.integer[column] ? QVariant(QMetaType::fromType<qlonglong>())
                                                : QVariant(QMetaType::fromType<double>()));
    const int at = int(rows_.size());
    beginInsertRows(QModelIndex(), at, at);
    rows_.append(row);
    endInsertRows();
    return at;
}

bool ReferenceTableModel::rowIsEmpty(int row) const
{
    const QVariantList& values = rows_[row].values;
    return std::all_of(values.begin(), values.end(), [](const QVariant& value) { return value.isNull(); });
}

bool ReferenceTableModel::dropRowIfEmpty(int row)
{
    if (row < 0 || row >= rows_.size() || !rowIsEmpty(row))
        return false;
    execSql(data_.reference(), QStringLiteral("DELETE FROM ") + quoteName(info_.table) + QStringLiteral(" WHERE rowid = ?"),
            {rows_[row].rowid});
    beginRemoveRows(QModelIndex(), row, row);
    rows_.removeAt(row);
    endRemoveRows();
    return true;
}

void ReferenceTableModel::refuse(const QString& message)
{
    if (refusedInput)
        refusedInput(message);
    else
        dialogs_.showMessage(message, MessageKind::Warning);
}

int ReferenceTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int ReferenceTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(info_.columns.size());
}

QVariant ReferenceTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= info_.columns.size())
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return rows_[index.row()].values.value(index.column());
    return {};
}

bool ReferenceTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int column = index.column();
    const bool integer = info_.integer[column];
    QVariant stored = integer ? QVariant(QMetaType::fromType<qlonglong>()) : QVariant(QMetaType::fromType<double>());
    const QString text = value.isNull() ? QString() : value.toString().trimmed();
    if (!text.isEmpty()) {
        const std::optional<double> number = parseTypedReal(text);
        if (integer) {
            if (!number || *number != std::floor(*number) || *number < -32768 || *number > 32767) {
                refuse(QStringLiteral("Введите целое число от -32768 до 32767."));
                return false;
            }
            stored = qlonglong(*number);
        } else {
            if (!number) {
                refuse(QStringLiteral("Введите число."));
                return false;
            }
            stored = *number;
        }
    }
    Row& row = rows_[index.row()];
    if (row.values[column] == stored && row.values[column].isNull() == stored.isNull())
        return true;
    execSql(data_.reference(), QStringLiteral("UPDATE ") + quoteName(info_.table) + QStringLiteral(" SET ")
                                   + quoteName(info_.columns[column]) + QStringLiteral("=? WHERE rowid=?"),
            {stored.isNull() ? QVariant() : stored, row.rowid});
    row.values[column] = stored;
    emit dataChanged(index, index);
    return true;
}

QVariant ReferenceTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < info_.captions.size())
        return info_.captions[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ReferenceTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (editing_)
        result |= Qt::ItemIsEditable;
    return result;
}

} // namespace zurm
