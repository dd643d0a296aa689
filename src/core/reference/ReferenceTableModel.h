#pragma once

#include "document/DataModule.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <QVariantList>
#include <functional>

namespace zurm {

class UserDialogs;

// The three tables of the reference file.
enum class ReferenceTable { Diameters, Density, Coefficients };

// What the editor of one reference table shows and writes.
struct ReferenceTableInfo {
    QString table;            // ДиамТрПр, ПлВодыОтТ, ПопрКоэфКУдПот
    QString title;            // "Диаметры трубопровода", for the caption and the messages
    QStringList columns;      // in grid order
    QStringList captions;     // grid captions, also row 2 of the workbook
    QList<int> widths;        // grid column widths
    QList<bool> integer;      // columns holding whole numbers (smallint)
    QString order;            // the sort while the editor is open
    QString printDefinition;  // "SprDiamTrPr.rav", ...
    QString sheetName;        // "ДиамТП", ...
    QString sheetTitle;       // row 1 of the workbook
    double titleHeight = 24;  // row 1's height
    bool titleWrapped = false;
    QString progressText;     // the export's status text before the progress column's value
    int progressColumn = 0;   // the column whose value follows progressText
    QString helpTopic;        // "DV\\SprDtr.htm", ...
};
const ReferenceTableInfo& referenceTableInfo(ReferenceTable table);

// Said when an editor is asked to print or export an empty table.
QString emptyReferenceMessage(ReferenceTable table);

// The row the cursor goes to after rows were deleted: `lastDeleted` is the
// row number (from 0) of the last deleted row before the deletion, `count` the
// number of rows deleted, `rowCount` the rows left. The row that followed the
// deleted ones, or the new last row when none followed; -1 for an empty table.
int rowAfterDeletion(int lastDeleted, int count, int rowCount);

// One reference table as its editor's grid shows it: every row read at once
// with its own identity (the rowid), in the editor's sort. Read-only until
// editing is switched on; then a typed value is written to the reference file
// at once (the file has no separate save). Rows are deleted by their identity,
// so rows with equal keys, keys without a value and real keys whose text would
// differ from the stored number are told apart.
class ReferenceTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ReferenceTableModel(DataModule& data, UserDialogs& dialogs, ReferenceTable table, QObject* parent = nullptr);

    ReferenceTable table() const { return table_; }
    const ReferenceTableInfo& info() const { return info_; }

    // Reads every row again. Throws Failure.
    void select();

    // Editing mode. Switching it on clears the calculation-done flag (the
    // results may no longer follow from the reference data). Throws Failure.
    void setEditing(bool on);
    bool editing() const { return editing_; }

    // Deletes the given rows (any order, repeats allowed) by their identity in
    // one transaction, re-reads the table and returns the row the cursor goes
    // to (rowAfterDeletion). Throws Failure.
    int deleteRows(const QList<int>& rows);
    // Deletes every row of the table and re-reads it. Throws Failure.
    void deleteAll();
    // Appends an empty row to the table (editing mode only) and returns its
    // row number, or -1. Throws Failure.
    int appendRow();
    // Deletes the row when every value of it is empty (a row appended and
    // left without a value); true when it did. Throws Failure.
    bool dropRowIfEmpty(int row);
    // Every value of the row is empty.
    bool rowIsEmpty(int row) const;

    qint64 rowId(int row) const { return rows_.value(row).rowid; }
    QVariant value(int row, int column) const { return rows_.value(row).values.value(column); }

    // Called with a message when typed text cannot go into a cell.
    std::function<void(const QString&)> refusedInput;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Row {
        qint64 rowid = 0;
        QVariantList values;
    };
    void refuse(const QString& message);

    DataModule& data_;
    UserDialogs& dialogs_;
    ReferenceTable table_;
    const ReferenceTableInfo& info_;
    QList<Row> rows_;
    bool editing_ = false;
};

} // namespace zurm
