#include "network/ConsumerTableModel.h"

#include "base/Guarded.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "platform/NumberText.h"

#include <QSqlQuery>
#include <cmath>

namespace zurm {

namespace {

const QString kSaveContext = QStringLiteral("Ошибка при сохранении данных.");
constexpr int kTextLimit = 255;

} // namespace

QString unknownConnectionSchemeMessage(const QString& text)
{
    return QStringLiteral("\"") + text + QStringLiteral("\" не является схемой присоединения. Выберите одну из схем: ")
           + connectionSchemeNames().join(QStringLiteral(", ")) + QStringLiteral(".\rЗначение не изменено.");
}

const QStringList& ConsumerTableModel::captions()
{
    static const QStringList captions{
        QStringLiteral("Кон. узел"),
        QStringLiteral("Потребитель"),
        QStringLiteral("Схема присоединения"),
        QStringLiteral("Потери напора в системе здания h, м."),
        QStringLiteral("Высота здания, м."),
        QStringLiteral("Температура воды после смешения t3, град. С"),
        QStringLiteral("Требуемый напор на вводе, м."),
    };
    return captions;
}

const QStringList& ConsumerTableModel::fields()
{
    using namespace ConsumerField;
    static const QStringList fields{kNode,           kName,
                                    kScheme,         kSystemLoss,
                                    kBuildingHeight, kMixedTemperature,
                                    kRequiredHead};
    return fields;
}

ConsumerTableModel::ConsumerTableModel(DataModule& data, UserDialogs& dialogs, QObject* parent)
    : QAbstractTableModel(parent), data_(data), dialogs_(dialogs)
{
}

QVariant ConsumerTableModel::typedNull(int column) const
{
    switch (column) {
    case Node: return QVariant(QMetaType::fromType<qlonglong>());
    case Name: return QVariant(QMetaType::fromType<QString>());
    case Scheme: return QVariant(QMetaType::fromType<int>());
    default: return QVariant(QMetaType::fromType<double>());
    }
}

void ConsumerTableModel::select()
{
    const QSqlDatabase db = data_.calculation();
    QList<QVariantList> rows;
    {
        // An old file has no consumers yet: its end nodes show empty rows.
        QString sql = QStringLiteral("SELECT k.[КонУзел]");
        const bool stored = tableExists(db, kConsumersTable);
        for (int column = Name; column < ColumnCount; ++column)
            sql += stored ? QStringLiteral(", p.") + quoteName(fields()[column]) : QStringLiteral(", NULL");
        sql += QStringLiteral(" FROM [КонМаг] k");
        if (stored)
            sql += QStringLiteral(" LEFT JOIN ") + quoteName(kConsumersTable) + QStringLiteral(" p ON p.")
                   + quoteName(ConsumerField::kNode) + QStringLiteral(" = k.[КонУзел]");
        sql += QStringLiteral(" WHERE k.[КонУзел] IS NOT NULL ORDER BY k.[id_m], k.rowid");
        QSqlQuery query = selectSql(db, sql);
        while (query.next()) {
            QVariantList row;
            row.append(query.value(0).toLongLong());
            for (int column = Name; column < ColumnCount; ++column) {
                const QVariant value = query.value(column);
                if (value.isNull())
                    row.append(typedNull(column));
                else if (column == Name)
                    row.append(value.toString());
                else if (column == Scheme) {
                    const std::optional<ConnectionScheme> scheme = connectionSchemeFromCode(value);
                    row.append(scheme ? QVariant(int(*scheme)) : typedNull(column));
                } else {
                    bool ok = false;
                    const double number = value.toDouble(&ok);
                    row.append(ok && std::isfinite(number) ? QVariant(number) : typedNull(column));
                }
            }
            rows.append(row);
        }
    }
    const PressureLimits limits = readPressureLimits(db);
    beginResetModel();
    rows_ = std::move(rows);
    limits_ = limits;
    endResetModel();
}

void ConsumerTableModel::refuse(const QString& message)
{
    if (refusedInput)
        refusedInput(message);
    else
        dialogs_.showMessage(message, MessageKind::Warning);
}

std::optional<QVariant> ConsumerTableModel::storedValue(int column, const QVariant& value)
{
    if (value.isNull() || (value.metaType().id() == QMetaType::QString && value.toString().trimmed().isEmpty()))
        return typedNull(column);
    if (column == Name)
        return QVariant(value.toString().left(kTextLimit));
    if (column == Scheme) {
        const std::optional<ConnectionScheme> scheme = value.metaType().id() == QMetaType::QString
                                                           ? connectionSchemeFromText(value.toString())
                                                           : connectionSchemeFromCode(value);
        if (!scheme) {
            refuse(unknownConnectionSchemeMessage(value.toString()));
            return std::nullopt;
        }
        return QVariant(int(*scheme));
    }
    std::optional<double> number;
    if (value.metaType().id() == QMetaType::QString) {
        number = parseTypedReal(value.toString());
    } else {
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (ok && std::isfinite(v))
            number = v;
    }
    if (!number) {
        refuse(typedNumberRefusal(value.toString()));
        return std::nullopt;
    }
    return QVariant(*number == 0 ? 0.0 : *number);
}

bool ConsumerTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rows_.size() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int column = index.column();
    const std::optional<QVariant> stored = storedValue(column, value);
    if (!stored)
        return false;
    QVariantList& row = rows_[index.row()];
    if (row[column].isNull() == stored->isNull() && (stored->isNull() || row[column] == *stored))
        return true;
    const QSqlDatabase db = data_.calculation();
    const bool written = guardedStep(dialogs_, kSaveContext, [&] {
        data_.noteInputChanged(this);
        Transaction transaction(db);
        ensureConsumerTables(db);
        const QString table = quoteName(kConsumersTable);
        const QString key = quoteName(ConsumerField::kNode);
        execSql(db, QStringLiteral("INSERT OR IGNORE INTO ") + table + QStringLiteral(" (") + key
                        + QStringLiteral(") VALUES (?)"),
                {row[Node]});
        execSql(db, QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + quoteName(fields()[column])
                        + QStringLiteral(" = ? WHERE ") + key + QStringLiteral(" = ?"),
                {stored->isNull() ? QVariant() : *stored, row[Node]});
        transaction.commit();
    });
    if (!written)
        return false;
    row[column] = *stored;
    emit dataChanged(index, index);
    return true;
}

bool ConsumerTableModel::setPressureLimit(Limit limit, const QString& text)
{
    PressureLimits limits = limits_;
    std::optional<double> number;
    if (!text.trimmed().isEmpty()) {
        number = parseTypedReal(text);
        if (!number) {
            refuse(typedNumberRefusal(text));
            return false;
        }
    }
    const PressureLimits defaults;
    switch (limit) {
    case Limit::StaticHead: limits.staticHead = number; break;
    case Limit::AllowedPressure: limits.allowedPressure = number.value_or(defaults.allowedPressure); break;
    case Limit::BoilingReserve: limits.boilingReserve = number.value_or(defaults.boilingReserve); break;
    }
    if (limits.staticHead == limits_.staticHead && limits.allowedPressure == limits_.allowedPressure
        && limits.boilingReserve == limits_.boilingReserve)
        return true;
    const bool written = guardedStep(dialogs_, kSaveContext, [&] {
        data_.noteInputChanged(this);
        writePressureLimits(data_.calculation(), limits);
    });
    if (written)
        limits_ = limits;
    return written;
}

int ConsumerTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int ConsumerTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ConsumerTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= ColumnCount)
        return {};
    const QVariant& value = rows_[index.row()][index.column()];
    if (role == Qt::TextAlignmentRole)
        return int(index.column() == Name ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    if (index.column() == Scheme)
        return value.isNull() ? QVariant(QMetaType::fromType<QString>())
                              : QVariant(connectionSchemeName(static_cast<ConnectionScheme>(value.toInt())));
    return value;
}

QVariant ConsumerTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount) {
        if (role == Qt::DisplayRole)
            return captions()[section];
        // The field's name is what a load from a workbook offers.
        if (role == Qt::ToolTipRole)
            return fields()[section];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ConsumerTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (index.column() != Node && !data_.calculationReadOnly())
        result |= Qt::ItemIsEditable;
    return result;
}

} // namespace zurm
