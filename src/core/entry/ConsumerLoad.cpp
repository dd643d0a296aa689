#include "entry/ConsumerLoad.h"

#include "base/Failure.h"
#include "base/NativeSql.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/Consumers.h"
#include "platform/NumberText.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <cmath>

namespace zurm {

namespace {

constexpr int kTextLimit = 255;
constexpr int kLargestNode = 32700;

// The segment load's cell message speaks of node and value cells in numeric
// format; here the name and scheme cells hold text.
QString consumerCellMessage(int row, int column, const QString& why)
{
    return QStringLiteral("Ошибка при чтении данных потребителей из ячейки таблицы Excel.\r\rАдрес ячейки:\r"
                          "Номер строки: ")
           + QString::number(row) + QStringLiteral("\rНомер колонки: ") + QString::number(column)
           + QStringLiteral("\r\rЯчейки с номерами конечных узлов и с числовыми данными потребителей должны иметь "
                            "числовой формат, ячейки схемы присоединения — название схемы или ее код (от 0 до 3)."
                            "\r\rТекст ошибки:\r\"")
           + why + QStringLiteral("\"");
}

bool blank(const XlsxCell& cell)
{
    return (cell.kind == XlsxCell::Kind::Empty && !cell.formula)
           || (cell.kind == XlsxCell::Kind::Text && cell.text.trimmed().isEmpty());
}

// A cell's value for a field of Потребители: Null for a blank cell, or the
// reason it cannot go there.
struct FieldValue {
    QVariant value;
    QString why;
};

FieldValue fieldValue(const QString& field, const XlsxCell& cell)
{
    if (blank(cell))
        return {};
    if (field == ConsumerField::kName) {
        switch (cell.kind) {
        case XlsxCell::Kind::Text: return {cell.text.left(kTextLimit), {}};
        case XlsxCell::Kind::Number:
        case XlsxCell::Kind::Boolean:
            // A building number kept as a number is the consumer's name.
            if (std::isfinite(cell.number))
                return {formatGeneral15(cell.number, userDecimalPoint()), {}};
            break;
        default: break;
        }
    } else if (field == ConsumerField::kScheme) {
        if (cell.kind == XlsxCell::Kind::Text) {
            if (const std::optional<ConnectionScheme> scheme = connectionSchemeFromText(cell.text))
                return {int(*scheme), {}};
            return {{}, QStringLiteral("Текст ячейки не является схемой присоединения: ") + cell.text.left(100)};
        }
        if (cell.kind == XlsxCell::Kind::Number) {
            if (const std::optional<ConnectionScheme> scheme = connectionSchemeFromCode(cell.number))
                return {int(*scheme), {}};
            return {{}, QStringLiteral("Число ячейки не является кодом схемы присоединения: ")
                            + formatGeneral15(cell.number, userDecimalPoint())};
        }
    }
    const CellNumber number = cellNumber(cell);
    if (!number.ok)
        return {{}, number.why};
    if (field == ConsumerField::kName || field == ConsumerField::kScheme)
        return {{}, QStringLiteral("Ячейка содержит значение, которое не подходит для этого поля")};
    return {number.value, {}};
}

} // namespace

QStringList consumerLoadFields()
{
    using namespace ConsumerField;
    return {kName, kScheme, kSystemLoss, kBuildingHeight, kMixedTemperature, kRequiredHead};
}

LoadResult loadConsumersFromWorkbook(DataModule& data, const QString& workbook, const LoadPlan& plan,
                                     Progress& progress, const QObject* source)
{
    LoadResult result;
    XlsxSheet sheet;
    try {
        sheet = readPlannedCells(workbook, plan);
    } catch (const Failure& failure) {
        result.message = failure.text();
        return result;
    }
    progress.setStatus(QStringLiteral("Загрузка данных потребителей..."));
    progress.processEvents();

    const QSqlDatabase db = data.calculation();
    QSet<int> endNodes;
    {
        QSqlQuery query = selectSql(db, QStringLiteral("SELECT [КонУзел] FROM [КонМаг] WHERE [КонУзел] IS NOT NULL"));
        while (query.next())
            endNodes.insert(query.value(0).toInt());
    }
    const QStringList known = consumerLoadFields();
    for (const LoadPlan::Line& line : plan.lines)
        if (!known.contains(line.name))
            throw Failure(QStringLiteral("LoadError"), QStringLiteral("Поле \"") + line.name
                                                           + QStringLiteral("\" нет в таблице потребителей."));

    // Every row is read before anything is written, so that a bad cell leaves
    // the consumers as they were.
    struct Loaded {
        int node;
        QVariantList values;
    };
    QList<Loaded> loaded;
    QSet<int> seen;
    auto fail = [&](int row, int column, const QString& message) {
        result.message = message;
        result.failedRow = row;
        result.failedColumn = column;
    };
    for (int row = plan.firstRow; row <= plan.lastRow && result.message.isEmpty(); ++row) {
        const XlsxCell& nodeCell = sheet.cell(row, plan.startColumn);
        if (blank(nodeCell))
            continue;
        const CellNumber number = cellNumber(nodeCell);
        if (!number.ok) {
            fail(row, plan.startColumn, consumerCellMessage(row, plan.startColumn, number.why));
            break;
        }
        if (number.value != std::floor(number.value) || number.value < 0 || number.value > kLargestNode) {
            fail(row, plan.startColumn,
                 consumerCellMessage(row, plan.startColumn,
                                     QStringLiteral("Номер узла должен быть целым числом от 0 до 32700: ")
                                         + formatGeneral15(number.value, userDecimalPoint())));
            break;
        }
        const int node = int(number.value);
        if (!endNodes.contains(node)) {
            fail(row, plan.startColumn,
                 consumerCellMessage(row, plan.startColumn,
                                     QStringLiteral("Узел ") + QString::number(node)
                                         + QStringLiteral(" не является конечным узлом теплосети")));
            break;
        }
        // Only the first row of a node counts, as in the segment load.
        if (seen.contains(node))
            continue;
        seen.insert(node);
        Loaded consumer{node, {}};
        for (const LoadPlan::Line& line : plan.lines) {
            const FieldValue value = fieldValue(line.name, sheet.cell(row, line.column));
            if (!value.why.isEmpty()) {
                fail(row, line.column, consumerCellMessage(row, line.column, value.why));
                break;
            }
            consumer.values.append(value.value);
        }
        loaded.append(std::move(consumer));
    }
    if (!result.message.isEmpty()) {
        progress.setStatus(QString());
        return result;
    }

    if (!loaded.isEmpty()) {
        data.noteInputChanged(source);
        Transaction transaction(db);
        ensureConsumerTables(db);
        const QString table = quoteName(kConsumersTable);
        const QString key = quoteName(ConsumerField::kNode);
        QStringList assignments;
        for (const LoadPlan::Line& line : plan.lines)
            assignments.append(quoteName(line.name) + QStringLiteral(" = ?"));
        NativeStatement insert(db, QStringLiteral("INSERT OR IGNORE INTO ") + table + QStringLiteral(" (") + key
                                       + QStringLiteral(") VALUES (?)"));
        NativeStatement update(db, QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ")
                                       + assignments.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") + key
                                       + QStringLiteral(" = ?"));
        for (const Loaded& consumer : std::as_const(loaded)) {
            insert.bindInteger(1, consumer.node);
            insert.run();
            for (int k = 0; k < consumer.values.size(); ++k)
                update.bindValue(k + 1, consumer.values[k]);
            update.bindInteger(int(consumer.values.size()) + 1, consumer.node);
            update.run();
        }
        transaction.commit();
    }
    progress.setStatus(QString());
    result.loadedConsumers = int(loaded.size());
    result.ok = true;
    result.message = QStringLiteral("Данные загружены успешно.");
    return result;
}

} // namespace zurm
