#pragma once

// What the schema editing operations share across their files: the tables
// they change and the step that records one change. Included only by the
// SchemaEditing sources.

#include "base/Sql.h"
#include "document/DataModule.h"
#include "network/SchemaEditHistory.h"

#include <QString>
#include <optional>
#include <utility>

namespace zurm::schema_editing {

inline constexpr int kLastNodeNumber = 32700;

inline const QString kNodes = QStringLiteral("УзлыТС");
inline const QString kSegments = QStringLiteral("Табл");
inline const QString kHeadChanges = QStringLiteral("ИзмПНапВУзлахТС");
inline const QString kEndsOfMains = QStringLiteral("КонМаг");
// One recorded change of the network: both databases in a transaction, the
// step into the history, one note of the input change.
template<class Body>
void runStep(DataModule& data, SchemaEditHistory* history, const QObject* source, Body&& body)
{
    const QSqlDatabase db = data.calculation();
    std::optional<Transaction> work;
    if (data.workOpen())
        work.emplace(data.work());
    SchemaEditStep step;
    {
        Transaction transaction(db);
        SchemaEditRecorder recorder(data);
        body(recorder);
        step = recorder.finish();
        transaction.commit();
    }
    if (work)
        work->commit();
    if (step.empty())
        return;
    if (history)
        history->push(std::move(step));
    data.noteInputChanged(source);
}

} // namespace zurm::schema_editing
