#pragma once

#include "document/DataModule.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariantList>
#include <functional>

namespace zurm {

class Failure;

// The single row of Заг (the whole-network values) as the header grid shows it.
// Every edited value is posted at once: the before-post hook runs first (the main
// window clears the calculation-done flag there), then the value alone is
// written and read back from the file; when another program changed the file
// meanwhile, the whole row is read again. The row is never inserted or removed.
class HeaderRowModel : public QAbstractTableModel {
public:
    explicit HeaderRowModel(DataModule& data, QObject* parent = nullptr);

    // Reads the columns and the row of Заг again. Throws Failure.
    void reload();

    int fieldIndex(const QString& name) const { return int(columns_.indexOf(name)); }

    // A post that failed; the value in the grid stays as the file has it.
    std::function<void(const Failure&)> postFailed;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    QVariant readValue(int column) const;

    DataModule& data_;
    QStringList columns_;
    QVariantList values_;
    bool hasRow_ = false;
    quint64 generation_ = 0; // of the file's contents the row was read from
};

} // namespace zurm
