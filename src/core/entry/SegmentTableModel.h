#pragma once

#include "document/DataModule.h"

#include <QList>
#include <QSqlTableModel>

namespace zurm {

// The segment table Табл as the main window shows it. One model serves both the
// segment grid and the segment-number list, so the two always hold the same rows.
// Rows are fetched lazily in blocks as the grids scroll, which keeps a network of
// tens of thousands of segments instant to open.
//
// Edits stay in the model until the window saves the row: a segment row is never
// posted through the model but written by SQL (saveRow), the way every other
// writer of segment rows does it. Rows are inserted or removed only while the
// edit guards of the data module allow it.
class SegmentTableModel : public QSqlTableModel {
public:
    explicit SegmentTableModel(DataModule& data, QObject* parent = nullptr);

    // Reads the rows in the given order ("id ASC" or "НачУзел ASC, КонУзел ASC").
    // Throws Failure when the table cannot be read.
    void selectSorted(SegmentSort sort);
    SegmentSort currentSort() const { return sort_; }

    // The row holds an edit that is not written to the file yet.
    bool rowPending(int row) const;
    // Every row holding such an edit, ascending.
    QList<int> pendingRows() const;

    // The main window's row save: writes the columns from the second to the last
    // but one (the repeated-entry marker is not written from the grids) by SQL,
    // then re-reads the row from the file. Throws Failure; the edit then stays in
    // the model.
    void saveRow(int row);

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

protected:
    QString orderByClause() const override;

private:
    DataModule& data_;
    SegmentSort sort_ = SegmentSort::ById;
    int readOnlyColumns_[3] = {-1, -1, -1};
};

} // namespace zurm
