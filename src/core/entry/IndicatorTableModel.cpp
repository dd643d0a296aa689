#include "entry/IndicatorTableModel.h"

#include "base/Failure.h"
#include "base/Sql.h"

#include <QHash>
#include <QLocale>
#include <algorithm>
#include <cmath>

namespace zurm {

namespace {

const QString kUserTable = QStringLiteral("Формулы");
const QString kPredefinedTable = QStringLiteral("ФлыПредопрПок");
const QString kNpp = QStringLiteral("Nпп");
const QString kShortName = QStringLiteral("НаимПокСокр");
const QString kType = QStringLiteral("ТипПок");
const QString kYes = QStringLiteral("Да");
const QString kNo = QStringLiteral("Нет");
constexpr int kMaxNpp = 255;
constexpr int kShortNameLimit = 255;

const QStringList& booleanFields()
{
    static const QStringList fields = {QStringLiteral("ВводПольз"), QStringLiteral("ВывВОтчТабл"),
                                       QStringLiteral("ИспПриРасч1трТС"), QStringLiteral("ИспПриРасч2трТС")};
    return fields;
}

// Fields of Формулы that may not be Null: an empty text is stored as "", a
// cleared flag as false.
bool requiredUserField(const QString& field)
{
    return field == kShortName || field == kType || field == QStringLiteral("ВводПольз")
        || field == QStringLiteral("ВывВОтчТабл");
}

bool sameValue(const QVariant& a, const QVariant& b, bool boolean)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return boolean ? a.toBool() == b.toBool() : a.toString() == b.toString();
}

QVariant nullText() { return QVariant(QMetaType::fromType<QString>()); }

} // namespace

IndicatorTableModel::IndicatorTableModel(DataModule& data, IndicatorTable table, QObject* parent)
    : QAbstractTableModel(parent), data_(data), table_(table)
{
    if (table_ == IndicatorTable::User)
        fields_ = {kNpp,
                   QStringLiteral("НаимПок"),
                   kShortName,
                   kType,
                   QStringLiteral("ВводПольз"),
                   QStringLiteral("Формула"),
                   QStringLiteral("ВывВОтчТабл")};
    else
        fields_ = {QStringLiteral("НаимПок"),     kShortName,
                   kType,                         QStringLiteral("ВводПольз"),
                   QStringLiteral("Формула"),     QStringLiteral("ВывВОтчТабл"),
                   QStringLiteral("ИспПриРасч1трТС"), QStringLiteral("ИспПриРасч2трТС")};
}

QString IndicatorTableModel::tableName() const
{
    return table_ == IndicatorTable::User ? kUserTable : kPredefinedTable;
}

QString IndicatorTableModel::caption(const QString& field)
{
    static const QHash<QString, QString> captions = {
        {QStringLiteral("Nпп"), QStringLiteral("№ п/п")},
        {QStringLiteral("НаимПок"), QStringLiteral("Наименование показателя")},
        {QStringLiteral("НаимПокСокр"), QStringLiteral("Сокр. наименование показателя")},
        {QStringLiteral("ТипПок"),
         QStringLiteral("(З)аголовочный, (П)одающий т-провод, (О)братный т-провод, (И)тоговый")},
        {QStringLiteral("ВводПольз"), QStringLiteral("Вводится пользователем")},
        {QStringLiteral("ВывВОтчТабл"), QStringLiteral("Выводить в отчет")},
        {QStringLiteral("ИспПриРасч1трТС"), QStringLiteral("Используется при расчете 1-трубной сети")},
        {QStringLiteral("ИспПриРасч2трТС"), QStringLiteral("Используется при расчете 2-трубной сети")},
    };
    return captions.value(field, field);
}

bool IndicatorTableModel::isBooleanField(int column) const
{
    return booleanFields().contains(fields_.value(column));
}

QString IndicatorTableModel::selectList() const
{
    QStringList names;
    for (const QString& field : fields_)
        names.append(quoteName(field));
    return names.join(QStringLiteral(", "));
}

void IndicatorTableModel::reload()
{
    const QString order = table_ == IndicatorTable::User ? QStringLiteral(" ORDER BY [Nпп], rowid")
                                                         : QStringLiteral(" ORDER BY [НаимПокСокр], rowid");
    QList<Row> rows;
    QSqlQuery query = selectSql(data_.calculation(), QStringLiteral("SELECT rowid, ") + selectList()
                                                         + QStringLiteral(" FROM ") + quoteName(tableName()) + order);
    bool untouchedSeen = false;
    while (query.next()) {
        Row row;
        row.rowid = query.value(0).toLongLong();
        for (int column = 0; column < fields_.size(); ++column)
            row.values.append(query.value(column + 1));
        untouchedSeen = untouchedSeen || (untouchedRowid_ && *untouchedRowid_ == row.rowid);
        rows.append(std::move(row));
    }
    beginResetModel();
    rows_ = std::move(rows);
    if (!untouchedSeen)
        untouchedRowid_.reset();
    endResetModel();
}

void IndicatorTableModel::readRow(int row)
{
    QSqlQuery query = selectSql(data_.calculation(),
                                QStringLiteral("SELECT ") + selectList() + QStringLiteral(" FROM ")
                                    + quoteName(tableName()) + QStringLiteral(" WHERE rowid=?"),
                                {rows_[row].rowid});
    if (!query.next())
        throw Failure(QStringLiteral("RecordError"),
                      QStringLiteral("Запись таблицы ") + tableName() + QStringLiteral(" не найдена."));
    for (int column = 0; column < fields_.size(); ++column)
        rows_[row].values[column] = query.value(column);
    emit dataChanged(index(row, 0), index(row, int(fields_.size()) - 1));
}

QVariant IndicatorTableModel::value(int row, const QString& field) const
{
    const int column = fieldIndex(field);
    if (row < 0 || row >= rows_.size() || column < 0)
        return {};
    return rows_[row].values[column];
}

QString IndicatorTableModel::shortName(int row) const
{
    const QVariant name = value(row, kShortName);
    return name.isNull() ? QString() : name.toString();
}

// The value a field is to hold for what the user gave, or a Failure when the
// field cannot hold it.
QVariant IndicatorTableModel::storedValue(int column, const QVariant& value) const
{
    const QString& field = fields_[column];
    const bool required = table_ == IndicatorTable::User && requiredUserField(field);
    if (isBooleanField(column)) {
        if (value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isEmpty()))
            return required ? QVariant(false) : QVariant(QMetaType::fromType<bool>());
        if (value.typeId() == QMetaType::QString) {
            const QString text = value.toString().trimmed();
            if (text.compare(kYes, Qt::CaseInsensitive) == 0)
                return true;
            if (text.compare(kNo, Qt::CaseInsensitive) == 0)
                return false;
            throw Failure(QStringLiteral("ConvertError"), QStringLiteral("Значение \"") + text
                                                              + QStringLiteral("\" не является логическим (Да, Нет)."));
        }
        return value.toBool();
    }
    if (field == kNpp) {
        const QString text = value.toString().trimmed();
        if (value.isNull() || text.isEmpty())
            return QVariant(QMetaType::fromType<int>());
        bool ok = false;
        const double number = value.typeId() == QMetaType::QString ? QLocale::c().toDouble(text, &ok)
                                                                    : value.toDouble(&ok);
        if (!ok || number != std::floor(number) || number < 0 || number > kMaxNpp)
            throw Failure(QStringLiteral("RangeError"), QStringLiteral("Значение ") + text
                                                            + QStringLiteral(" вне допустимого диапазона поля ")
                                                            + field + QStringLiteral(" (от 0 до 255)."));
        return int(number);
    }
    const QString text = value.isNull() ? QString() : value.toString();
    const int limit = field == kType ? 1 : field == kShortName ? kShortNameLimit : -1;
    if (limit > 0 && text.size() > limit)
        throw Failure(QStringLiteral("SizeError"), QStringLiteral("Длина значения поля ") + field
                                                       + QStringLiteral(" больше допустимой (")
                                                       + QString::number(limit) + QStringLiteral(")."));
    if (text.isEmpty())
        return required ? QVariant(QString(QLatin1String(""))) : nullText();
    return text;
}

void IndicatorTableModel::setValues(int row, const QVariantMap& values)
{
    if (row < 0 || row >= rows_.size() || values.isEmpty())
        return;
    QStringList assignments;
    QVariantList bindings;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const int column = fieldIndex(it.key());
        if (column < 0)
            throw Failure(QStringLiteral("FieldError"),
                          QStringLiteral("Поле ") + it.key() + QStringLiteral(" не найдено."));
        assignments.append(quoteName(it.key()) + QStringLiteral("=?"));
        bindings.append(storedValue(column, it.value()));
    }
    bindings.append(rows_[row].rowid);
    execSql(data_.calculation(), QStringLiteral("UPDATE ") + quoteName(tableName()) + QStringLiteral(" SET ")
                                     + assignments.join(QStringLiteral(", ")) + QStringLiteral(" WHERE rowid=?"),
            bindings);
    if (untouchedRowid_ && *untouchedRowid_ == rows_[row].rowid)
        untouchedRowid_.reset();
    readRow(row);
}

int IndicatorTableModel::appendRow()
{
    if (table_ != IndicatorTable::User)
        throw QuietAbort();
    const QSqlDatabase db = data_.calculation();
    const QVariant last = selectValue(db, QStringLiteral("SELECT max([Nпп]) FROM [Формулы]"));
    const int npp = last.isNull() ? 1 : std::min(last.toInt() + 1, kMaxNpp);
    execSql(db,
            QStringLiteral("INSERT INTO [Формулы] ([Nпп], [НаимПок], [НаимПокСокр], [ТипПок], [ВводПольз], [Формула], "
                           "[ВывВОтчТабл]) VALUES (?, NULL, '', 'П', 1, NULL, 1)"),
            {npp});
    Row added;
    added.rowid = selectValue(db, QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
    for (int column = 0; column < fields_.size(); ++column)
        added.values.append(QVariant());
    const int row = int(rows_.size());
    beginInsertRows(QModelIndex(), row, row);
    rows_.append(added);
    endInsertRows();
    untouchedRowid_ = added.rowid;
    readRow(row);
    return row;
}

std::optional<int> IndicatorTableModel::untouchedRow() const
{
    if (!untouchedRowid_)
        return std::nullopt;
    for (int row = 0; row < rows_.size(); ++row)
        if (rows_[row].rowid == *untouchedRowid_)
            return row;
    return std::nullopt;
}

bool IndicatorTableModel::discardUntouchedRow()
{
    const std::optional<int> row = untouchedRow();
    untouchedRowid_.reset();
    if (!row)
        return false;
    execSql(data_.calculation(), QStringLiteral("DELETE FROM [Формулы] WHERE rowid=?"), {rows_[*row].rowid});
    beginRemoveRows(QModelIndex(), *row, *row);
    rows_.removeAt(*row);
    endRemoveRows();
    return true;
}

QString IndicatorTableModel::deleteStatement(const QString& shortName, qint64 rowid)
{
    QString quoted = shortName;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    // The row itself, not every row of that name: of two indicators that share
    // a short name by mistake, only the selected one goes.
    return QStringLiteral("DELETE FROM Формулы WHERE НаимПокСокр='") + quoted + QStringLiteral("' AND rowid=")
        + QString::number(rowid);
}

std::optional<int> IndicatorTableModel::deleteRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    int deleted = 0;
    int lastDeleted = 0; // row number, counted from 1
    try {
        for (int row : rows) {
            if (row < 0 || row >= rows_.size())
                continue;
            lastDeleted = row + 1;
            ++deleted;
            execSql(data_.calculation(), deleteStatement(shortName(row), rows_[row].rowid));
        }
    } catch (...) {
        reload();
        throw;
    }
    reload();
    const int remaining = rowCount();
    if (remaining == 0)
        return std::nullopt;
    const int p = lastDeleted - deleted;
    return p >= remaining ? remaining - 1 : p; // row p + 1, counted from 1
}

void IndicatorTableModel::deleteAllRows()
{
    try {
        execSql(data_.calculation(), QStringLiteral("DELETE FROM Формулы"));
    } catch (...) {
        reload();
        throw;
    }
    untouchedRowid_.reset();
    reload();
}

int IndicatorTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int IndicatorTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(fields_.size());
}

QVariant IndicatorTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= fields_.size())
        return {};
    const QVariant& value = rows_[index.row()].values[index.column()];
    const QString& field = fields_[index.column()];
    const bool boolean = isBooleanField(index.column());
    switch (role) {
    case Qt::DisplayRole:
        if (boolean)
            return value.isNull() ? QString() : value.toBool() ? kYes : kNo;
        [[fallthrough]];
    case Qt::EditRole:
        if (boolean)
            return value.isNull() ? QVariant(QMetaType::fromType<bool>()) : QVariant(value.toBool());
        if (field == kNpp)
            return value.isNull() ? QVariant(QMetaType::fromType<int>()) : QVariant(value.toInt());
        return value.isNull() ? nullText() : QVariant(value.toString());
    case Qt::TextAlignmentRole:
        if (boolean || field == kNpp || field == kType)
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant IndicatorTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < fields_.size()) {
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return caption(fields_[section]);
        if (role == Qt::UserRole)
            return fields_[section];
        return {};
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags IndicatorTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (table_ == IndicatorTable::User)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool IndicatorTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int row = index.row();
    const int column = index.column();
    try {
        const QVariant stored = storedValue(column, value);
        if (sameValue(rows_[row].values[column], stored, isBooleanField(column)))
            return true;
        setValues(row, {{fields_[column], value}});
        return true;
    } catch (const Failure& failure) {
        if (writeFailed)
            writeFailed(failure);
        return false;
    }
}

} // namespace zurm
