#include "network/AutoFill.h"

#include "base/Guarded.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "document/NodeNumbers.h"
#include "document/Nodes.h"
#include "platform/NumberText.h"

#include <QSqlRecord>
#include <vector>

namespace zurm {

namespace {

const QString kNodes = QStringLiteral("УзлыТС");
const QString kEndNodes = QStringLiteral("КонМаг");

constexpr int kLowestNode = 0;
constexpr int kHighestNode = 32700;

const QString kDataWritten = QStringLiteral("Данные записаны.");

// A range bound as the user typed it: a 16-bit integer, as node numbers and
// row numbers are stored.
int toInteger(const QString& text)
{
    QString problem;
    const std::optional<qint16> value = parseNodeNumber(text, problem);
    if (!value)
        throw Failure(QStringLiteral("ConversionError"), problem);
    return *value;
}

double toReal(const QString& text)
{
    const std::optional<double> value = parseTypedReal(text);
    if (!value)
        throw Failure(QStringLiteral("ConversionError"),
                      QLatin1Char('"') + text + QStringLiteral("\" не является числом."));
    return *value;
}

// A calculation open for viewing only is not written to; said before anything
// is parsed, as every other writing command says it.
bool refusedForViewing(DataModule& data, UserDialogs& dialogs)
{
    if (!data.calculationReadOnly())
        return false;
    dialogs.showMessage(data.calculationViewingMessage(data.calculation().databaseName()), MessageKind::Warning);
    return true;
}

std::optional<KeyRangeTexts> keyRange(DataModule& data, const QString& table, const QString& key)
{
    const QString from = QStringLiteral(" FROM ") + quoteName(table);
    const QString column = quoteName(key);
    // The order of the grids: Null keys first, ties by the row's own identity.
    QSqlQuery first = selectSql(data.calculation(), QStringLiteral("SELECT ") + column + from
                                                        + QStringLiteral(" ORDER BY ") + column
                                                        + QStringLiteral(" ASC, rowid ASC LIMIT 1"));
    if (!first.next())
        return std::nullopt;
    KeyRangeTexts range;
    range.first = storedValueText(first.value(0));
    range.last = storedValueText(selectValue(data.calculation(), QStringLiteral("SELECT ") + column + from
                                                                     + QStringLiteral(" ORDER BY ") + column
                                                                     + QStringLiteral(" DESC, rowid DESC LIMIT 1")));
    return range;
}

// The writing part of a command: wait cursor and the dialog's fields disabled
// while it runs; afterwards (also after a failure) the status bar is cleared,
// the cursor normal and the fields given back.
class WritingScope {
public:
    WritingScope(Progress& progress, const WritingState& writing) : progress_(progress), writing_(writing)
    {
        if (writing_)
            writing_(true);
        progress_.setBusy(true);
    }
    ~WritingScope()
    {
        finish();
        if (writing_)
            writing_(false);
    }
    // The writing step, which ends the busy state before its failure is
    // reported, so that the error report does not show the wait cursor.
    template <typename Step>
    auto guard(Step step)
    {
        return [this, step] {
            try {
                step();
            } catch (...) {
                finish();
                throw;
            }
        };
    }
    // Before the closing message: status bar cleared, normal cursor.
    void finish()
    {
        if (finished_)
            return;
        finished_ = true;
        progress_.setStatus(QString());
        progress_.setBusy(false);
    }
    WritingScope(const WritingScope&) = delete;
    WritingScope& operator=(const WritingScope&) = delete;

private:
    Progress& progress_;
    const WritingState& writing_;
    bool finished_ = false;
};

// One transaction over the rows a command writes. Writing a row makes the
// results stale, so the first row written clears the calculation-done flag in
// the same transaction; the open views hear of the change once it is
// committed, so that none of them shows a row that a failure takes back.
class RangeWrite {
public:
    RangeWrite(DataModule& data, const QObject* source) : data_(data), source_(source)
    {
        transaction_.emplace(data.calculation());
    }
    ~RangeWrite()
    {
        transaction_.reset(); // rolls back unless committed
        if (committed_ || !flagCleared_)
            return;
        // The stored flag is what it was, and so is its cache.
        try {
            data_.loadCalculationDoneFlag();
        } catch (const Failure&) {
            data_.resetCalculationDoneCache();
        }
    }
    void rowWritten()
    {
        if (flagCleared_)
            return;
        flagCleared_ = true;
        data_.SetCalculationDoneFlag(false);
    }
    void commit()
    {
        transaction_->commit();
        committed_ = true;
        if (flagCleared_)
            data_.noteInputChanged(source_);
    }
    RangeWrite(const RangeWrite&) = delete;
    RangeWrite& operator=(const RangeWrite&) = delete;

private:
    DataModule& data_;
    const QObject* source_;
    std::optional<Transaction> transaction_;
    bool flagCleared_ = false;
    bool committed_ = false;
};

} // namespace

std::optional<KeyRangeTexts> nodeKeyRange(DataModule& data)
{
    return keyRange(data, kNodes, QStringLiteral("Nуз"));
}

std::optional<KeyRangeTexts> endNodeRowRange(DataModule& data)
{
    return keyRange(data, kEndNodes, QStringLiteral("id_m"));
}

NodeHeightsOutcome writeNodeHeights(DataModule& data, UserDialogs& dialogs, Progress& progress,
                                    const NodeHeightsRequest& request, const WritingState& writing,
                                    const QObject* source)
{
    NodeHeightsOutcome outcome;
    if (refusedForViewing(data, dialogs))
        return outcome;
    int first = 0;
    int last = 0;
    double height = 0;
    outcome.focus = NodeHeightsField::FirstNode;
    if (!guardedStep(dialogs, QStringLiteral("Ошибка в параметре \"Начиная с узла\"."),
                     [&] { first = toInteger(request.firstNode); }))
        return outcome;
    outcome.focus = NodeHeightsField::LastNode;
    if (!guardedStep(dialogs, QStringLiteral("Ошибка в параметре \"по узел\"."),
                     [&] { last = toInteger(request.lastNode); }))
        return outcome;
    outcome.focus = NodeHeightsField::Height;
    if (!guardedStep(dialogs, QStringLiteral("Ошибка в параметре \"записать геодезическую высоту\"."),
                     [&] { height = toReal(request.height); }))
        return outcome;
    outcome.focus = NodeHeightsField::FirstNode;

    if (first < kLowestNode || first > kHighestNode || last < kLowestNode || last > kHighestNode || last < first) {
        dialogs.showMessage(QStringLiteral("Ошибка в параметрах \"Начиная с узла\", \"по узел\".\r"
                                           "Каждый из параметров: \"Начиная с узла\", \"по узел\" должен быть целым "
                                           "числом от 0 до 32700.\r"
                                           "Параметр \"Начиная с узла\" должен быть меньше или равен параметру "
                                           "\"по узел\"."), MessageKind::Warning);
        return outcome;
    }

    WritingScope scope(progress, writing);
    const QString context = QStringLiteral("Ошибка при записи геодезических высот.");
    const bool ran = guardedStep(dialogs, context, scope.guard([&] {
        const QSqlDatabase db = data.calculation();
        RangeWrite range(data, source);
        QSqlQuery update = prepareSql(db, QStringLiteral("UPDATE [УзлыТС] SET [ГеодВыс]=? WHERE [Nуз]=?"));
        // A new node gets what every new node row gets, then the height.
        QSqlRecord node = db.record(kNodes);
        QStringList names;
        QStringList marks;
        for (int i = 0; i < node.count(); ++i) {
            names.append(quoteName(node.fieldName(i)));
            marks.append(QStringLiteral("?"));
        }
        QSqlQuery insert = prepareSql(db, QStringLiteral("INSERT INTO [УзлыТС](") + names.join(QLatin1Char(','))
                                              + QStringLiteral(") VALUES(") + marks.join(QLatin1Char(','))
                                              + QLatin1Char(')'));
        for (int n = first; n <= last; ++n) {
            progress.setStatus(QStringLiteral("Запись данных. Узел ") + QString::number(n));
            progress.processEvents();
            update.bindValue(0, height);
            update.bindValue(1, n);
            execPrepared(update);
            if (update.numRowsAffected() > 0) {
                range.rowWritten();
                continue;
            }
            if (!request.addMissing)
                continue;
            node.clearValues();
            node.setValue(QStringLiteral("Nуз"), n);
            atUzliTSAfterInsert(node);
            node.setValue(QStringLiteral("ГеодВыс"), height);
            for (int i = 0; i < node.count(); ++i)
                insert.bindValue(i, node.value(i));
            execPrepared(insert);
            range.rowWritten();
        }
        range.commit();
    }));
    if (!ran)
        return outcome;
    scope.finish();
    dialogs.showMessage(kDataWritten, MessageKind::Information);
    outcome.written = true;
    return outcome;
}

bool writeEndNodeValues(DataModule& data, UserDialogs& dialogs, Progress& progress,
                        const EndNodeValuesRequest& request, const WritingState& writing, const QObject* source)
{
    if (refusedForViewing(data, dialogs))
        return false;
    int first = 0;
    int last = 0;
    if (!guardedStep(dialogs, QStringLiteral("Ошибка в параметре \"Начиная со строки номер\"."),
                     [&] { first = toInteger(request.firstRow); }))
        return false;
    if (!guardedStep(dialogs, QStringLiteral("Ошибка в параметре \"по строку номер\"."),
                     [&] { last = toInteger(request.lastRow); }))
        return false;

    struct Column {
        const EndNodeValuesRequest::Value& value;
        const char* name;
        const char* context;
    };
    const Column columns[] = {
        {request.supplyHead, "ПНапЗПод", "Ошибка в параметре \"Полный напор в подающем трубопроводе\"."},
        {request.availableHead, "РНапЗ", "Ошибка в параметре \"Располагаемый напор\"."},
        {request.temperatureDifference, "ДельтаТ",
         "Ошибка в параметре \"Т воды в под. т-п. минус Т воды в обр. т-п.\"."},
    };
    QStringList assignments;
    QVariantList values;
    for (const Column& column : columns) {
        if (!column.value.checked)
            continue;
        double value = 0;
        if (!guardedStep(dialogs, QString::fromUtf8(column.context), [&] { value = toReal(column.value.text); }))
            return false;
        assignments.append(quoteName(QString::fromUtf8(column.name)) + QStringLiteral("=?"));
        values.append(value);
    }

    if (last < first) {
        dialogs.showMessage(QStringLiteral("Параметр \"Начиная со строки номер\" должен быть меньше или равен "
                                           "параметру \"по строку номер\"."), MessageKind::Warning);
        return false;
    }

    WritingScope scope(progress, writing);
    const bool ran = guardedStep(dialogs, QStringLiteral("Ошибка при записи данных."), scope.guard([&] {
        const QSqlDatabase db = data.calculation();
        RangeWrite range(data, source);
        struct Row {
            qint64 rowid;
            QVariant id;
        };
        std::vector<Row> rows;
        QSqlQuery read =
            selectSql(db, QStringLiteral("SELECT rowid, [id_m] FROM [КонМаг] ORDER BY [id_m] ASC, rowid ASC"));
        while (read.next())
            rows.push_back({read.value(0).toLongLong(), read.value(1)});
        read.finish();
        std::optional<QSqlQuery> update;
        if (!assignments.isEmpty())
            update = prepareSql(db, QStringLiteral("UPDATE [КонМаг] SET ") + assignments.join(QStringLiteral(", "))
                                        + QStringLiteral(" WHERE rowid=?"));
        for (const Row& row : rows) {
            progress.setStatus(QStringLiteral("Номер строки ") + storedValueText(row.id));
            progress.processEvents();
            if (!update || row.id.isNull())
                continue;
            const double id = row.id.toDouble();
            if (id < first || id > last)
                continue;
            for (int i = 0; i < values.size(); ++i)
                update->bindValue(i, values[i]);
            update->bindValue(int(values.size()), row.rowid);
            execPrepared(*update);
            range.rowWritten();
        }
        range.commit();
    }));
    if (!ran)
        return false;
    scope.finish();
    dialogs.showMessage(kDataWritten, MessageKind::Information);
    return true;
}

} // namespace zurm
