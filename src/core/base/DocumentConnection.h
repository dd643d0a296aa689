#pragma once

#include <QSqlDatabase>
#include <QString>
#include <chrono>
#include <functional>

class QSqlDriver;

namespace zurm {

// A document may come from anyone, so its connection trusts nothing its author
// put into the schema: no trigger fires and no view can be read (the program
// has neither), no statement may rewrite the schema, functions in the schema
// are limited to the harmless ones, and every long statement is watched, so
// that the stop of the operation and the time limit below can end it.
// Throws Failure when the connection cannot be set up so.
void guardDocumentConnection(const QSqlDatabase& db);

// The longest one call of the program into the database engine may take on a
// guarded connection before it is interrupted and fails.
std::chrono::milliseconds statementTimeLimit();
void setStatementTimeLimit(std::chrono::milliseconds limit);

// Marks a call of the program into the engine (a statement run or stepped)
// on this thread for the time limit.
class EngineCall {
public:
    EngineCall();
    ~EngineCall();
    EngineCall(const EngineCall&) = delete;
    EngineCall& operator=(const EngineCall&) = delete;

private:
    std::chrono::steady_clock::time_point previousStart_;
    bool previousActive_;
};

// While it lives, a long statement on a guarded connection of this thread asks
// `stop` every tenth of a second whether to end. `stop` may let the window
// process its events; the operation that asks must keep every window off its
// connections meanwhile (a locked main window with its grids released).
class StatementStop {
public:
    explicit StatementStop(std::function<bool()> stop);
    ~StatementStop();
    StatementStop(const StatementStop&) = delete;
    StatementStop& operator=(const StatementStop&) = delete;

    // The innermost one of this thread, or none.
    static StatementStop* current();
    // Asks `stop` when a tenth of a second has passed since it was last asked.
    bool due(std::chrono::steady_clock::time_point now);

private:
    std::function<bool()> stop_;
    StatementStop* previous_;
    std::chrono::steady_clock::time_point asked_;
};

// The text of a failure of the engine on the file of `db` (`code` its result
// code, `engineText` its own words): for the failures a person can act on, a
// message that names the file and says what to do; otherwise the engine's text.
QString engineFailureText(const QString& file, int code, const QString& engineText);
QString engineFailureText(const QSqlDriver* driver, int code, const QString& engineText);

} // namespace zurm
