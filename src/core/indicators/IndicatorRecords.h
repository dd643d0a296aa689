#pragma once

// Records of the calculation run: the header row (Заг) and the segment rows
// (Табл) held in memory as numbers, read once.

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

namespace zurm {

// Column names of a record; look-ups compare names exactly (case-sensitive).
class RecordColumns {
public:
    RecordColumns() = default;
    explicit RecordColumns(QStringList names);
    // The numeric columns of a table (declared smallint, integer, float, bit …),
    // in column order; text columns are left out, since a record holds numbers.
    static RecordColumns numericColumnsOf(const QSqlDatabase& db, const QString& table);

    const QStringList& names() const { return names_; }
    int size() const { return int(names_.size()); }
    // -1 when there is no such column.
    int indexOf(const QString& name) const { return index_.value(name, -1); }

private:
    QStringList names_;
    QHash<QString, int> index_;
};

// Values of a record in the order of its columns; Null is nullopt.
using RecordValues = std::vector<std::optional<double>>;

// The single row of Заг.
struct HeaderRecord {
    RecordValues values;
};

// One row of Табл. The node numbers are kept apart for the messages; the
// columns НачУзел and КонУзел are in the values as well.
struct SegmentRecord {
    qint64 id = 0;
    qint16 startNode = 0;
    qint16 endNode = 0;
    RecordValues values;
};

// A stored value that is no number: the record (-1 for the header, else the
// index of the segment), the column and the value as stored.
struct UnreadableValue {
    int record = -1;
    int column = -1;
    QString text;
};

// Reads the first row of Заг (all Null when the table is empty). A value that
// is no number throws Failure; given `unreadable`, it reads as NaN and is
// added there instead.
HeaderRecord readHeaderRecord(const QSqlDatabase& calculation, const RecordColumns& columns,
                              std::vector<UnreadableValue>* unreadable = nullptr);
// Reads every row of Табл in key order; the columns must include id, НачУзел and КонУзел.
std::vector<SegmentRecord> readSegmentRecords(const QSqlDatabase& calculation, const RecordColumns& columns,
                                              std::vector<UnreadableValue>* unreadable = nullptr);

// A stored field as a record value: Null is nullopt; a value that is no number
// throws Failure ("ConversionError").
std::optional<double> recordValueOf(const QVariant& value);

// Which record an indicator is evaluated on.
enum class IndicatorVariant { Segment, Header };

} // namespace zurm
