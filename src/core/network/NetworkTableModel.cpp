#include "network/NetworkTableModel.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/Nodes.h"
#include "document/Segments.h"

#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>

namespace zurm {

namespace {

const QString kNodeNumberProblem = QStringLiteral("Параметр \"Узел\" должен быть целым числом от 0 до 32700.");

bool isNodeColumn(const QString& name)
{
    return name == QStringLiteral("Nуз") || name == QStringLiteral("НачУзел") || name == QStringLiteral("КонУзел");
}

QString tableName(NetworkTable table)
{
    switch (table) {
    case NetworkTable::Nodes: return QStringLiteral("УзлыТС");
    case NetworkTable::Segments: return QStringLiteral("Табл");
    case NetworkTable::HeadChanges: return QStringLiteral("ИзмПНапВУзлахТС");
    case NetworkTable::EndNodes: return QStringLiteral("КонМаг");
    }
    return {};
}

QVariant sqlValue(const QVariant& value)
{
    return value.isNull() ? QVariant() : value;
}

} // namespace

std::optional<bool> parsePipeText(const QString& text)
{
    const QString t = text.trimmed().toUpper();
    if (t.startsWith(QStringLiteral("О")) || t == QStringLiteral("1") || t == QStringLiteral("TRUE"))
        return true;
    if (t.startsWith(QStringLiteral("П")) || t == QStringLiteral("0") || t == QStringLiteral("FALSE"))
        return false;
    return std::nullopt;
}

QString pipeText(bool returnPipe)
{
    return returnPipe ? QStringLiteral("Обр.") : QStringLiteral("Под.");
}

QStringList NetworkTableModel::columnNames(NetworkTable table)
{
    switch (table) {
    case NetworkTable::Nodes: return {QStringLiteral("Nуз"), QStringLiteral("ГеодВыс")};
    case NetworkTable::Segments:
        return {QStringLiteral("id"),        QStringLiteral("НачУзел"), QStringLiteral("КонУзел"),
                QStringLiteral("ДлНаУчПод"), QStringLiteral("ДлНаУчОбр"), QStringLiteral("РасхПод"),
                QStringLiteral("РасхОбр"),   QStringLiteral("Примечание")};
    case NetworkTable::HeadChanges: return {QStringLiteral("Nуз"), QStringLiteral("ТрПр"), QStringLiteral("ИзмПНап")};
    case NetworkTable::EndNodes:
        return {QStringLiteral("id_m"), QStringLiteral("КонУзел"), QStringLiteral("ПНапЗПод"), QStringLiteral("РНапЗ"),
                QStringLiteral("ДельтаТ")};
    }
    return {};
}

NetworkTableModel::NetworkTableModel(DataModule& data, UserDialogs& dialogs, NetworkTable table, QObject* parent)
    : QAbstractTableModel(parent), data_(data), dialogs_(dialogs), table_(table), tableName_(tableName(table)),
      columns_(columnNames(table))
{
    for (const QString& name : columns_) {
        if (name == QStringLiteral("Примечание") || name == QStringLiteral("ТрПр"))
            types_.append(QMetaType::fromType<QString>());
        else if (isNodeColumn(name) || name == QStringLiteral("id") || name == QStringLiteral("id_m"))
            types_.append(QMetaType::fromType<qlonglong>());
        else
            types_.append(QMetaType::fromType<double>());
        captions_.append(name);
    }
}

QString NetworkTableModel::orderClause() const
{
    switch (table_) {
    case NetworkTable::Nodes: return QStringLiteral("[Nуз], rowid");
    case NetworkTable::Segments: return segmentSortClause(data_.segmentSort()) + QStringLiteral(", rowid");
    case NetworkTable::HeadChanges: return QStringLiteral("rowid");
    case NetworkTable::EndNodes: return QStringLiteral("[id_m], rowid");
    }
    return QStringLiteral("rowid");
}

void NetworkTableModel::select()
{
    QStringList list;
    for (const QString& name : columns_)
        list.append(quoteName(name));
    QList<Row> rows;
    {
        QSqlQuery query = selectSql(data_.calculation(), QStringLiteral("SELECT rowid, ") + list.join(QStringLiteral(", "))
                                                             + QStringLiteral(" FROM ") + quoteName(tableName_)
                                                             + QStringLiteral(" ORDER BY ") + orderClause());
        const int pipe = fieldIndex(QStringLiteral("ТрПр"));
        while (query.next()) {
            Row row;
            row.rowid = query.value(0).toLongLong();
            for (int column = 0; column < columns_.size(); ++column) {
                QVariant value = query.value(column + 1);
                if (column == pipe && !value.isNull())
                    value = pipeText(value.toBool());
                row.values.append(value.isNull() ? typedNull(column) : value);
            }
            rows.append(row);
        }
    }
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

QVariant NetworkTableModel::typedNull(int column) const
{
    return QVariant(types_.value(column, QMetaType::fromType<double>()));
}

int NetworkTableModel::pendingRow() const
{
    for (int row = 0; row < rows_.size(); ++row)
        if (rows_[row].dirty || rows_[row].rowid == 0)
            return row;
    return -1;
}

bool NetworkTableModel::appendRow()
{
    if (!appendAllowed_ || table_ == NetworkTable::EndNodes || (pendingRow() >= 0 && isNewRow(pendingRow())))
        return false;
    Row row;
    for (int column = 0; column < columns_.size(); ++column)
        row.values.append(typedNull(column));
    if (table_ == NetworkTable::Nodes) {
        QSqlRecord record;
        for (const char* name : {"Nуз", "x", "y", "ГеодВыс"})
            record.append(QSqlField(QString::fromUtf8(name)));
        atUzliTSAfterInsert(record);
        row.values[fieldIndex(QStringLiteral("ГеодВыс"))] = record.value(QStringLiteral("ГеодВыс")).toDouble();
    } else if (table_ == NetworkTable::Segments) {
        const NewSegmentValues values = atTablAfterInsert(data_, dialogs_);
        if (!values.id)
            return false;
        row.values[0] = *values.id;
        row.values[1] = qlonglong(values.startNode);
        if (values.endNode)
            row.values[2] = qlonglong(*values.endNode);
    }
    const int at = int(rows_.size());
    beginInsertRows(QModelIndex(), at, at);
    rows_.append(row);
    endInsertRows();
    return true;
}

void NetworkTableModel::refuse(const QString& message)
{
    if (refusedInput)
        refusedInput(message);
    else
        dialogs_.showMessage(message, MessageKind::Warning);
}

void NetworkTableModel::postRow(int row)
{
    if (row < 0 || row >= rows_.size())
        return;
    Row& r = rows_[row];
    if (!r.dirty && r.rowid != 0)
        return;
    switch (table_) {
    case NetworkTable::Nodes: postNode(r); break;
    case NetworkTable::Segments: postSegment(r); break;
    case NetworkTable::HeadChanges: postHeadChange(r); break;
    case NetworkTable::EndNodes: postEndNode(r); break;
    }
    r.dirty = false;
    emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
}

void NetworkTableModel::postNode(Row& row)
{
    QSqlRecord record;
    record.append(QSqlField(QStringLiteral("Nуз")));
    record.setValue(0, row.values[0]);
    atUzliTSBeforePost(data_, dialogs_, record, this);
    // A node without a number could never be found again.
    if (row.values[0].isNull()) {
        dialogs_.showMessage(kNodeNumberProblem, MessageKind::Warning);
        throw QuietAbort();
    }
    const QSqlDatabase db = data_.calculation();
    if (!row.values[0].isNull()
        && selectValue(db, QStringLiteral("SELECT count(*) FROM [УзлыТС] WHERE [Nуз]=? AND rowid<>?"),
                       {row.values[0], row.rowid})
               .toInt()
               > 0) {
        dialogs_.showMessage(QStringLiteral("Узел ") + row.values[0].toString()
                             + QStringLiteral(" уже есть в таблице \"Узлы теплосети\"."), MessageKind::Warning);
        throw QuietAbort();
    }
    if (row.rowid == 0) {
        Transaction transaction(db);
        execSql(db, QStringLiteral("INSERT INTO [УзлыТС]([Nуз], x, y, [ГеодВыс]) VALUES(?, 0, 0, ?)"),
                {sqlValue(row.values[0]), sqlValue(row.values[1])});
        row.rowid = selectValue(db, QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
        transaction.commit();
    } else {
        execSql(db, QStringLiteral("UPDATE [УзлыТС] SET [Nуз]=?, [ГеодВыс]=? WHERE rowid=?"),
                {sqlValue(row.values[0]), sqlValue(row.values[1]), row.rowid});
    }
}

void NetworkTableModel::postSegment(Row& row)
{
    data_.noteInputChanged(this);
    // Node numbers are small integers: a larger one would not survive the file.
    for (int column : {1, 2}) {
        const QString problem = nodeNumberProblem(row.values[column]);
        if (!problem.isEmpty()) {
            dialogs_.showMessage(problem, MessageKind::Warning);
            throw QuietAbort();
        }
    }
    const QSqlDatabase db = data_.calculation();
    const QVariantList& v = row.values;
    if (row.rowid == 0) {
        Transaction transaction(db);
        execSql(db, QStringLiteral("INSERT INTO Табл(id) VALUES(") + sqlValueText(v[0], QStringLiteral("integer"))
                        + QLatin1Char(')'));
        row.rowid = v[0].toLongLong();
        execSql(db, segmentEditorUpdate(v, twoPipe_));
        transaction.commit();
    } else {
        execSql(db, segmentEditorUpdate(v, twoPipe_));
    }
}

QString segmentEditorUpdate(const QVariantList& v, bool twoPipe)
{
    const QString f = QStringLiteral("float");
    const QString s = QStringLiteral("smallint");
    QString sql = QStringLiteral("UPDATE Табл SET НачУзел=") + sqlValueText(v.value(1), s) + QStringLiteral(", КонУзел=")
                  + sqlValueText(v.value(2), s) + QStringLiteral(", ДлНаУчПод=") + sqlValueText(v.value(3), f)
                  + QStringLiteral(", РасхПод=") + sqlValueText(v.value(5), f) + QStringLiteral(", Примечание=")
                  + sqlValueText(v.value(7), QStringLiteral("text(255)"));
    if (twoPipe)
        sql += QStringLiteral(", ДлНаУчОбр=") + sqlValueText(v.value(4), f) + QStringLiteral(", РасхОбр=")
               + sqlValueText(v.value(6), f);
    return sql + QStringLiteral(" WHERE id=") + sqlValueText(v.value(0), QStringLiteral("integer"));
}

void NetworkTableModel::postHeadChange(Row& row)
{
    atIsmPNapBeforePost(data_, this);
    const QVariantList& v = row.values;
    if (v[0].isNull() || v[1].isNull() || v[2].isNull()) {
        dialogs_.showMessage(QStringLiteral("Поля \"Узел\", \"Трубопровод\", \"Изменение напора\" должны быть заполнены."),
                             MessageKind::Warning);
        throw QuietAbort();
    }
    const QString problem = nodeNumberProblem(v[0]);
    if (!problem.isEmpty()) {
        dialogs_.showMessage(problem, MessageKind::Warning);
        throw QuietAbort();
    }
    const bool returnPipe = *parsePipeText(v[1].toString());
    const QSqlDatabase db = data_.calculation();
    // The head passes use one change per node and pipe, design mode would add
    // them up: a second row for the same node and pipe is refused.
    if (selectValue(db,
                    QStringLiteral("SELECT count(*) FROM [ИзмПНапВУзлахТС] WHERE [Nуз]=? AND [ТрПр]=? AND rowid<>?"),
                    {v[0], returnPipe, row.rowid})
            .toInt()
        > 0) {
        dialogs_.showMessage(QStringLiteral("Изменение напора в узле ") + v[0].toString()
                             + (returnPipe ? QStringLiteral(" на обратном") : QStringLiteral(" на подающем"))
                             + QStringLiteral(" трубопроводе уже задано в таблице \"Изменение полного напора в узлах "
                                              "теплосети\".\rВ таблице может быть только одна такая запись."),
                                              MessageKind::Warning);
        throw QuietAbort();
    }
    if (row.rowid == 0) {
        Transaction transaction(db);
        execSql(db, QStringLiteral("INSERT INTO [ИзмПНапВУзлахТС]([Nуз], [ТрПр], [ИзмПНап]) VALUES(?, ?, ?)"),
                {v[0], returnPipe, v[2]});
        row.rowid = selectValue(db, QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
        transaction.commit();
    } else {
        execSql(db, QStringLiteral("UPDATE [ИзмПНапВУзлахТС] SET [Nуз]=?, [ТрПр]=?, [ИзмПНап]=? WHERE rowid=?"),
                {v[0], returnPipe, v[2], row.rowid});
    }
}

void NetworkTableModel::postEndNode(Row& row)
{
    data_.noteInputChanged(this);
    execSql(data_.calculation(), QStringLiteral("UPDATE [КонМаг] SET [ПНапЗПод]=?, [РНапЗ]=?, [ДельтаТ]=? WHERE rowid=?"),
            {sqlValue(row.values[2]), sqlValue(row.values[3]), sqlValue(row.values[4]), row.rowid});
}

void NetworkTableModel::revertRow(int row)
{
    if (row < 0 || row >= rows_.size())
        return;
    if (rows_[row].rowid == 0) {
        beginRemoveRows(QModelIndex(), row, row);
        rows_.removeAt(row);
        endRemoveRows();
        return;
    }
    if (!rows_[row].dirty)
        return;
    QStringList list;
    for (const QString& name : columns_)
        list.append(quoteName(name));
    QSqlQuery query = selectSql(data_.calculation(), QStringLiteral("SELECT ") + list.join(QStringLiteral(", "))
                                                         + QStringLiteral(" FROM ") + quoteName(tableName_)
                                                         + QStringLiteral(" WHERE rowid=?"),
                                {rows_[row].rowid});
    if (query.next()) {
        const int pipe = fieldIndex(QStringLiteral("ТрПр"));
        for (int column = 0; column < columns_.size(); ++column) {
            QVariant value = query.value(column);
            if (column == pipe && !value.isNull())
                value = pipeText(value.toBool());
            rows_[row].values[column] = value.isNull() ? typedNull(column) : value;
        }
    }
    rows_[row].dirty = false;
    emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
}

int NetworkTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int NetworkTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant NetworkTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= columns_.size())
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return rows_[index.row()].values.value(index.column());
    return {};
}

bool NetworkTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int column = index.column();
    QVariant stored = value.isNull() ? typedNull(column) : value;
    const QString& name = columns_[column];
    if (name == QStringLiteral("ТрПр") && !value.isNull()) {
        const std::optional<bool> pipe = parsePipeText(value.toString());
        if (!pipe) {
            refuse(QStringLiteral("Введите \"Под.\" (подающий трубопровод) или \"Обр.\" (обратный трубопровод)."));
            return false;
        }
        stored = pipeText(*pipe);
    } else if (isNodeColumn(name) && !value.isNull()) {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok || number != std::floor(number) || std::fabs(number) > 1e9) {
            refuse(kNodeNumberProblem);
            return false;
        }
        stored = qlonglong(number);
    }
    Row& row = rows_[index.row()];
    if (row.values[column] == stored && row.values[column].isNull() == stored.isNull())
        return true;
    row.values[column] = stored;
    row.dirty = true;
    emit dataChanged(index, index);
    return true;
}

QVariant NetworkTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < captions_.size())
        return captions_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool NetworkTableModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role)
{
    if (orientation != Qt::Horizontal || role != Qt::EditRole || section < 0 || section >= captions_.size())
        return false;
    captions_[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags NetworkTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (editable_.contains(index.column()) && !data_.calculationReadOnly())
        result |= Qt::ItemIsEditable;
    return result;
}

} // namespace zurm
