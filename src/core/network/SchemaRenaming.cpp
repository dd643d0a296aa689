#include "network/SchemaEditing.h"

#include "base/Failure.h"
#include "base/NativeSql.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "network/SchemaData.h"
#include "network/SchemaEditingSteps.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <tuple>

// Renaming the selected nodes: the plan in ПереимУз, then every reference to
// each node renamed in one recorded step.

namespace zurm {

using namespace schema_editing;

bool SchemaEditing::OperRenameSelUz()
{
    const QSqlDatabase work = data_.work();
    const SchemaSelection selection = readSchemaSelection(work);
    if (selection.nodes.empty()) {
        dialogs_.showMessage(QStringLiteral("Выделите узлы, которые следует переименовать."), MessageKind::Warning);
        return false;
    }
    Transaction transaction(work);
    execSql(work, QStringLiteral("DELETE FROM ПереимУз"));
    QSqlQuery insert = prepareSql(work, QStringLiteral("INSERT OR IGNORE INTO ПереимУз (Nуз) VALUES (?)"));
    for (int node : selection.nodes) {
        insert.bindValue(0, node);
        execPrepared(insert);
    }
    transaction.commit();
    return true;
}

RenameRun SchemaEditing::renameNodes()
{
    RenameRun run;
    const QSqlDatabase work = data_.work();
    struct PlanRow {
        int node;
        QVariant newNumber;
    };
    std::vector<PlanRow> plan;
    QSqlQuery rows = selectSql(work, QStringLiteral("SELECT Nуз, НовыйNуз FROM ПереимУз ORDER BY Nуз"));
    while (rows.next())
        plan.push_back({rows.value(0).toInt(), rows.value(1)});
    runStep(data_, history_, source_, [&](SchemaEditRecorder& recorder) {
        const QSqlDatabase db = data_.calculation();
        // The node numbers as the plan goes: each renaming is checked against
        // the renamings before it.
        QSet<int> numbers;
        {
            NativeStatement all(db, QStringLiteral("SELECT Nуз FROM УзлыТС WHERE typeof(Nуз) = 'integer' "
                                                   "AND Nуз BETWEEN -2147483648 AND 2147483647"));
            while (all.step())
                numbers.insert(int(all.integer(0)));
        }
        // Renaming b → n in turn changes every value b to n, so a value ends
        // where the renamings after one another take it: the value each
        // original value holds now, and which original values hold a value.
        std::vector<std::pair<int, int>> renamings;
        QHash<int, int> now;
        QHash<int, QList<int>> holders;
        const auto rename = [&](int b, int n) {
            QList<int> moving = holders.take(b);
            if (!now.contains(b))
                moving.append(b);
            for (int original : moving)
                now.insert(original, n);
            holders[n].append(moving);
            if (numbers.remove(b))
                numbers.insert(n);
            renamings.emplace_back(b, n);
        };
        for (const PlanRow& row : plan) {
            const int b = row.node;
            QString text;
            bool ok = false;
            // The stored value as a whole number: never narrowed, so that
            // 70000 is refused rather than turned into another node.
            const qlonglong e = row.newNumber.toString().trimmed().toLongLong(&ok);
            if (row.newNumber.isNull() || row.newNumber.toString().trimmed().isEmpty()) {
                text = QStringLiteral("Поле \"Новый номер узла\" должно быть заполнено.");
            } else if (!ok || e < 0 || e > kLastNodeNumber) {
                text = QStringLiteral("Значение поля \"Новый номер узла\" должно быть целым числом от 0 до 32700.");
            } else if (numbers.contains(int(e))) {
                text = QStringLiteral("Узел ") + QString::number(e)
                    + QStringLiteral(" уже есть в схеме теплосети. Введите другое значение в поле \"Новый номер узла\".");
            }
            if (!text.isEmpty()) {
                run.success = false;
            } else {
                rename(b, int(e));
                text = QStringLiteral("Выполнено.");
            }
            run.results.append(text);
        }
        NativeStatement result(work, QStringLiteral("UPDATE ПереимУз SET Рез = ? WHERE Nуз = ?"));
        for (size_t i = 0; i < plan.size(); ++i) {
            result.bindText(1, run.results[qsizetype(i)]);
            result.bindInteger(2, plan[i].node);
            result.run();
        }
        if (renamings.empty())
            return;
        const QSet<int> originals(now.keyBegin(), now.keyEnd());
        recorder.touch(kSegments, QStringLiteral("НачУзел"), originals);
        recorder.touch(kSegments, QStringLiteral("КонУзел"), originals);
        recorder.touch(kNodes, QStringLiteral("Nуз"), originals);
        recorder.touch(kHeadChanges, QStringLiteral("Nуз"), originals);
        recorder.touch(kEndsOfMains, QStringLiteral("КонУзел"), originals);
        // Numbers that must stay unique change one renaming after another
        // (by their index); the other columns at once, to where they end.
        for (const auto& [table, column, database] :
             {std::tuple{kNodes, QStringLiteral("Nуз"), db}, std::tuple{QStringLiteral("ВыделУзлыТС"), QStringLiteral("Nуз"), work}}) {
            NativeStatement update(database, QStringLiteral("UPDATE ") + quoteName(table) + QStringLiteral(" SET ")
                                                 + quoteName(column) + QStringLiteral(" = ? WHERE ")
                                                 + quoteName(column) + QStringLiteral(" = ?"));
            for (const auto& [b, n] : renamings) {
                update.bindInteger(1, n);
                update.bindInteger(2, b);
                update.run();
            }
        }
        const QString originalList = jsonNumbers(originals);
        for (const auto& [table, column] : {std::pair{kSegments, QStringLiteral("НачУзел")},
                                            std::pair{kSegments, QStringLiteral("КонУзел")},
                                            std::pair{kHeadChanges, QStringLiteral("Nуз")},
                                            std::pair{kEndsOfMains, QStringLiteral("КонУзел")}}) {
            // The rows first (by rowid), then each to where its value ends.
            std::vector<std::pair<qint64, int>> rows;
            NativeStatement select(db, QStringLiteral("SELECT rowid, ") + quoteName(column) + QStringLiteral(" FROM ")
                                           + quoteName(table) + QStringLiteral(" WHERE ") + quoteName(column)
                                           + QStringLiteral(" IN ") + kNumberList);
            select.bindText(1, originalList);
            while (select.step()) {
                const int original = int(select.integer(1));
                const int end = now.value(original, original);
                if (end != original)
                    rows.emplace_back(select.integer(0), end);
            }
            NativeStatement update(db, QStringLiteral("UPDATE ") + quoteName(table) + QStringLiteral(" SET ")
                                           + quoteName(column) + QStringLiteral(" = ? WHERE rowid = ?"));
            for (const auto& [rowid, end] : rows) {
                update.bindInteger(1, end);
                update.bindInteger(2, rowid);
                update.run();
            }
        }
        const CalculationRow calculation(db);
        for (const QString& field : {CalculationRow::kStartNode, CalculationRow::kSupplyHeadNode,
                                     CalculationRow::kAvailableHeadNode})
            if (const std::optional<int> value = intOrNone(calculation.value(field)))
                if (now.contains(*value))
                    calculation.setValue(field, now.value(*value));
    });
    if (!run.success)
        run.message = QStringLiteral("Не все выделенные узлы удалось переименовать.\r\rЗакройте форму \"Переименование "
                                     "выделенных узлов\" и повторите попытку.");
    return run;
}

} // namespace zurm
