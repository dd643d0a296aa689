#pragma once

#include "document/DataModule.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>

namespace zurm {

class Failure;

// Which indicator catalogue a model shows.
enum class IndicatorTable {
    User,       // Формулы, sorted by Nпп; editable, rows added and removed by the parameters dialog
    Predefined, // ФлыПредопрПок, sorted by НаимПокСокр; changed one row at a time by its editor
};

// One indicator catalogue as the calculation parameters show it: the persistent
// fields with their captions, booleans as "Да" / "Нет". The rows are read in the
// order the indicator check walks them (so a position found by the check is a row
// here), and every edit is written to the file at once; the row stays where it
// is until the table is read again.
class IndicatorTableModel : public QAbstractTableModel {
public:
    IndicatorTableModel(DataModule& data, IndicatorTable table, QObject* parent = nullptr);

    IndicatorTable table() const { return table_; }
    QString tableName() const;

    // Reads the rows again. Throws Failure.
    void reload();

    // The field shown in a column, and the column of a field (-1 when absent).
    QString field(int column) const { return fields_.value(column); }
    int fieldIndex(const QString& name) const { return int(fields_.indexOf(name)); }
    static QString caption(const QString& field);
    bool isBooleanField(int column) const;

    // The stored value of a field of a row (Null as an invalid-free null QVariant).
    QVariant value(int row, const QString& field) const;
    QString shortName(int row) const;

    // Writes the given fields of one row and reads the row back. Throws Failure;
    // the row then keeps what the file has.
    void setValues(int row, const QVariantMap& values);

    // User indicators: adds a row at the end with the next Nпп, an empty short
    // name, type "П", entered by the user and shown in the report. Returns the new
    // row. Throws Failure.
    int appendRow();
    // The appended row until any of its fields is changed; it is removed again
    // when the user leaves it untouched (discardUntouchedRow).
    std::optional<int> untouchedRow() const;
    // Removes the untouched appended row, if any. Returns true when one was removed.
    bool discardUntouchedRow();

    // "Удалить записи" on the given rows (any order): walks the rows from the
    // first and deletes every selected one (deleteStatement), then reads the
    // table again. Returns the row that becomes current: the row that followed
    // the last deleted one, or the last row when the deletion reached the end;
    // nullopt when no rows remain. Throws Failure (the rows deleted before the
    // failure stay deleted and the table is read again).
    std::optional<int> deleteRows(QList<int> rows);
    // "Удалить все записи": DELETE FROM Формулы, then reads the table again.
    void deleteAllRows();

    // A cell edit that could not be written; the cell keeps what the file has.
    std::function<void(const Failure&)> writeFailed;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The DELETE statement for one row: its short name with every "'" doubled,
    // and its rowid, so that a second row of the same name stays.
    static QString deleteStatement(const QString& shortName, qint64 rowid);

private:
    struct Row {
        qint64 rowid = 0;
        QVariantList values;
    };
    QVariant storedValue(int column, const QVariant& value) const;
    void readRow(int row);
    QString selectList() const;

    DataModule& data_;
    IndicatorTable table_;
    QStringList fields_;
    QList<Row> rows_;
    std::optional<qint64> untouchedRowid_;
};

} // namespace zurm
