#pragma once

#include "document/DataModule.h"

#include <QAbstractTableModel>
#include <QList>
#include <QSet>
#include <QVariantList>
#include <functional>

namespace zurm {

class UserDialogs;

// The four tables of the network parameters editor.
enum class NetworkTable { Nodes, Segments, HeadChanges, EndNodes };

// One table of the network editor as its key grid and data grid show it. Every
// row is read at once, with its own identity (the rowid), so that a network of
// tens of thousands of nodes opens at once and no statement stays open while
// the user works. Rows are written by SQL when the window posts them
// (postRow); the model holds the typed values until then.
//
// Columns (model order):
//   Nodes:       Nуз, ГеодВыс
//   Segments:    id, НачУзел, КонУзел, ДлНаУчПод, ДлНаУчОбр, РасхПод, РасхОбр, Примечание
//   HeadChanges: Nуз, ТрПр, ИзмПНап   (ТрПр shown and typed as "Под." / "Обр.")
//   EndNodes:    id_m, КонУзел, ПНапЗПод, РНапЗ, ДельтаТ
class NetworkTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    NetworkTableModel(DataModule& data, UserDialogs& dialogs, NetworkTable table, QObject* parent = nullptr);

    NetworkTable table() const { return table_; }
    static QStringList columnNames(NetworkTable table);
    int fieldIndex(const QString& name) const { return int(columns_.indexOf(name)); }

    // Reads every row again; pending edits and a new row are dropped. Throws Failure.
    void select();

    // Which columns may be typed into (the editor's modes decide).
    void setEditableColumns(const QSet<int>& columns) { editable_ = columns; }
    // Whether a row may be appended (Down on the last row, Insert).
    void setAppendAllowed(bool allowed) { appendAllowed_ = allowed; }
    bool appendAllowed() const { return appendAllowed_; }
    // Appends a new row with its defaults (a node at the origin with zero
    // height; a segment continuing the chain with the next key). False when
    // refused or a new row is already there. Throws Failure.
    bool appendRow();

    qint64 rowId(int row) const { return rows_.value(row).rowid; }
    bool isNewRow(int row) const { return row >= 0 && row < rows_.size() && rows_[row].rowid == 0; }
    bool rowPending(int row) const { return row >= 0 && row < rows_.size() && rows_[row].dirty; }
    int pendingRow() const;
    QVariant value(int row, int column) const { return rows_.value(row).values.value(column); }
    QVariant value(int row, const QString& column) const { return value(row, fieldIndex(column)); }

    // Writes a pending row: a stored row by one UPDATE of its columns, a new
    // one by INSERT. Rows that break a rule of the table are refused with
    // their message and throw QuietAbort (the edit stays). Any write goes
    // through DataModule::noteInputChanged. Does nothing for a row without
    // an edit. Throws Failure.
    void postRow(int row);
    // Drops the edit of a row; a new row goes away.
    void revertRow(int row);

    // The network type decides which segment columns are written.
    void setTwoPipe(bool twoPipe) { twoPipe_ = twoPipe; }
    // Called with a message when typed text cannot go into a cell.
    std::function<void(const QString&)> refusedInput;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Row {
        qint64 rowid = 0; // 0: not stored yet
        QVariantList values;
        bool dirty = false;
    };
    QString orderClause() const;
    QVariant typedNull(int column) const;
    void postNode(Row& row);
    void postSegment(Row& row);
    void postHeadChange(Row& row);
    void postEndNode(Row& row);
    void refuse(const QString& message);

    DataModule& data_;
    UserDialogs& dialogs_;
    NetworkTable table_;
    QString tableName_;
    QStringList columns_;
    QList<QMetaType> types_;
    QStringList captions_;
    QList<Row> rows_;
    QSet<int> editable_;
    bool appendAllowed_ = false;
    bool twoPipe_ = false;
};

// The segment save of the editor: one UPDATE of the node numbers, the supply
// length and flow and the note, and for a two-pipe network the return length
// and flow, by the row's key. Values in segment column order (id first).
QString segmentEditorUpdate(const QVariantList& values, bool twoPipe);

// "Под." or "Обр." as typed for ТрПр: true for the return pipe; nullopt when
// the text names neither.
std::optional<bool> parsePipeText(const QString& text);
QString pipeText(bool returnPipe);

} // namespace zurm
