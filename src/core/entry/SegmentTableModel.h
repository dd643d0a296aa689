#pragma once

#include "base/Sql.h"
#include "document/DataModule.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QMap>
#include <QVariantList>

namespace zurm {

// The segment table Табл as the main window shows it. One model serves both the
// segment grid and the segment-number list, so the two always hold the same rows.
//
// Rows are read lazily as the grids scroll, which keeps a network of tens of
// thousands of segments instant to open: the keys of all rows are read at once
// in the chosen order, the values page by page by key. Every statement is read
// to its end at once, so the window holds no lock on the file while it waits
// for the user, and other programs may write to the file meanwhile.
//
// Edits stay in the model until the window saves the row: a segment row is never
// posted through the model but written by SQL (saveRow), the way every other
// writer of segment rows does it, and only the columns the user changed are
// written. No row is inserted or removed through this model.
class SegmentTableModel : public QAbstractTableModel {
public:
    explicit SegmentTableModel(DataModule& data, QObject* parent = nullptr);

    // Reads the rows in the given order ("id ASC" or "НачУзел ASC, КонУзел ASC").
    // Pending edits are dropped. Throws Failure when the table cannot be read.
    void selectSorted(SegmentSort sort);

    int fieldIndex(const QString& name) const;

    // The row holds an edit that is not written to the file yet.
    bool rowPending(int row) const { return pending_.contains(row); }
    // Every row holding such an edit, ascending.
    QList<int> pendingRows() const;
    bool isDirty() const { return !pending_.isEmpty(); }
    // Drops the edits of one row or of all rows: the grid shows the file's values.
    void revertRow(int row);
    void revertAll();

    // The main window's row save: clears the calculation-done flag and writes
    // the columns the user changed (never the
    // key nor the repeated-entry marker) by SQL, then re-reads the row from the
    // file. When another program changed the file since it was read, the row is
    // written only if it is still the same segment; otherwise, and when the path
    // no longer leads to the opened file, Failure is thrown. On every Failure the
    // edit stays in the model.
    void saveRow(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    struct Edit {
        QVariantList original;  // the row as read when the edit began
        QMap<int, QVariant> values; // column -> value typed
        quint64 generation = 0;     // of the file's contents the row was read from
    };

    // The row's values as the file held them when last read (empty when the row
    // is gone). Reads its page when needed; failures leave the page empty.
    const QVariantList& fileRow(int row) const;
    QList<QVariantList> readRows(const QList<qint64>& keys) const;
    QVariant typedNull(int column) const;
    void dropPages();

    DataModule& data_;
    QList<ColumnInfo> columns_;
    QList<QMetaType> types_;
    QString selectList_;
    QList<qint64> keys_;
    int shown_ = 0; // rows handed to the views so far
    mutable QHash<int, QList<QVariantList>> pages_;
    QHash<int, Edit> pending_;
    quint64 generation_ = 0;
    int readOnlyColumns_[3] = {-1, -1, -1};
};

} // namespace zurm
