#pragma once

#include "document/DataModule.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace zurm {

// Repeated data entry: up to eight assignments written into every segment
// whose mark Заполн_Уч is "Д".

// The item a drop-down box takes when the typed text is checked: the first
// item equal to the text without regard to case (Cyrillic included), or -1.
int MatchComboItem(const QStringList& items, const QString& typed);

// The two choice lists of the assignment lines: targets are the segment
// indicators the user enters, sources every segment indicator of the network
// type (predefined ones by short name, then the user's in Nпп order). An
// indicator whose value column Табл does not hold (the diameter-selection
// columns outside design mode) is offered in neither list.
struct RepeatedEntryLists {
    QStringList targets;
    QStringList sources;
};
RepeatedEntryLists repeatedEntryLists(const DataModule& data);

// One assignment line: target = number, or target = source.
struct AssignmentLine {
    QString target;
    QString number; // as typed
    QString source;
};

inline constexpr int kAssignmentLines = 8;

// Writes the lines in order into every marked segment, in one transaction: a
// later line sees what an earlier one wrote. A line acts when its target is
// not empty and it has a number (which wins) or a source. A number that does
// not convert throws Failure before anything is written, unless no segment is
// marked. Returns the number of marked segments. Input changed on `source`'s
// behalf when something was written.
int writeAssignments(DataModule& data, const QList<AssignmentLine>& lines, const QObject* source = nullptr);

// The first line (from 0) that writeAssignments would refuse for its number,
// so that the window can name the field before anything starts.
std::optional<int> firstLineNotANumber(const QList<AssignmentLine>& lines);
// Its message, worded as the grids refuse a typed value that is no number.
QString lineNotANumberMessage(const QList<AssignmentLine>& lines, int line);

enum class MarkChange { Set, Clear, Toggle };
// Changes the marks of the given segments (by id), or of every segment when
// none are given, in one statement. Input changed on `source`'s behalf.
void changeMarks(DataModule& data, MarkChange change, const std::optional<QList<qint64>>& ids,
                 const QObject* source = nullptr);

// The segment list of the window: НачУзел, КонУзел and the mark, in the main
// window's order, read at once (read-only; marks change through changeMarks).
class MarkedSegmentsModel : public QAbstractTableModel {
public:
    explicit MarkedSegmentsModel(DataModule& data, QObject* parent = nullptr);

    static constexpr int kMarkColumn = 2;

    // Re-reads every row. Throws Failure when the table cannot be read.
    void reload();
    qint64 idAt(int row) const { return rows_.value(row).id; }
    // "a - b", a missing number left out.
    QString segmentName(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Row {
        qint64 id = 0;
        QVariant start;
        QVariant end;
        QVariant mark;
    };
    DataModule& data_;
    QList<Row> rows_;
};

} // namespace zurm
