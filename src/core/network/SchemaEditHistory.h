#pragma once

#include "network/SchemaData.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace zurm {

class DataModule;

// "(SELECT value FROM json_each(?))": the list of numbers bound as one JSON
// array, so that one statement handles any number of rows.
inline const QString kNumberList = QStringLiteral("(SELECT value FROM json_each(?))");
template<class Numbers>
QString jsonNumbers(const Numbers& numbers)
{
    QString text(QLatin1Char('['));
    for (const auto number : numbers) {
        if (text.size() > 1)
            text += QLatin1Char(',');
        text += QString::number(number);
    }
    return text + QLatin1Char(']');
}

// The rows one drawing operation changed: per table the rows by rowid as they
// were before and after (none where the row did not exist), the node fields of
// the calculation row, and the selection before and after. Rows are kept as
// SQLite stores them (every value with its storage class), so that writing
// them back gives the very same rows.
struct SchemaEditStep {
    struct Value {
        int type = 5; // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL (5)
        quint32 size = 0; // bytes of a text or a blob
        qint64 bits = 0;  // the integer, the double's bits, or where a text or blob begins in `bytes`
    };
    struct Table {
        QString name;
        QStringList columns;
        std::vector<qint64> rowids;
        // Per row the index in `values` of its first column as it was before
        // and after the step; −1 where the row did not exist.
        std::vector<qint64> before;
        std::vector<qint64> after;
        std::vector<Value> values;
        std::string bytes; // texts and blobs
    };
    std::vector<Table> tables;
    QVariantList calculationBefore; // NНачУз, NузПНапПод, NузРНап
    QVariantList calculationAfter;
    SchemaSelection selectionBefore;
    SchemaSelection selectionAfter;

    bool empty() const;
};

// Collects the before-images of the rows an operation is about to change,
// inside the operation's transaction, and their after-images at its end.
class SchemaEditRecorder {
public:
    SchemaEditRecorder(const DataModule& data);

    // Records the rows of the table whose integer column holds one of the
    // values (before they change). Throws Failure.
    void touch(const QString& table, const QString& column, const QSet<int>& values);
    // Records a row that did not exist before.
    void inserted(const QString& table, qint64 rowid);
    // Reads the after-images. Throws Failure.
    SchemaEditStep finish();

private:
    struct Log {
        SchemaEditStep::Table table; // rowids and before-images
        QSet<qint64> rows;
    };
    Log& log(const QString& table);

    const DataModule& data_;
    std::vector<Log> logs_; // in the order of their first touch
    SchemaEditStep step_;
};

// Undo and redo of the drawing operations while the drawing window is open:
// up to `limit` steps; a new step drops the steps that were undone.
class SchemaEditHistory {
public:
    explicit SchemaEditHistory(int limit = 100) : limit_(limit) {}

    void push(SchemaEditStep step);
    bool canUndo() const { return position_ > 0; }
    bool canRedo() const { return position_ < steps_.size(); }
    int size() const { return int(steps_.size()); }
    // Steps that can be undone.
    int position() const { return int(position_); }
    // Restores the tables (and the selection) as they were before the last
    // step, in one transaction, and notes the input change. Return false when
    // there is nothing to undo. Throw Failure (the tables are left unchanged).
    bool undo(DataModule& data, const QObject* source = nullptr);
    bool redo(DataModule& data, const QObject* source = nullptr);
    void clear();

private:
    void apply(DataModule& data, const SchemaEditStep& step, bool forward, const QObject* source);

    std::deque<SchemaEditStep> steps_;
    size_t position_ = 0;
    int limit_;
};

} // namespace zurm
