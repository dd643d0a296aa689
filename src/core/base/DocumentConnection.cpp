#include "base/DocumentConnection.h"

#include "base/Failure.h"

#include <QDir>
#include <QSqlDriver>
#include <QVariant>
#include <atomic>
#include <sqlite3.h>

namespace zurm {

namespace {

using Clock = std::chrono::steady_clock;

// Generous: the longest statements of the program itself (a compaction, the
// rebuild of a table of a million rows) take minutes on a slow disk at most.
std::atomic<qint64> timeLimitMs{10 * 60 * 1000};

// Virtual machine steps between two looks at the clock: a look costs far less
// than the steps between two of them.
constexpr int kStepsPerLook = 10000;
constexpr auto kStopInterval = std::chrono::milliseconds(100);

enum class Interruption { None, TimeLimit, Stop };

struct ThreadState {
    bool engineCall = false;
    Clock::time_point engineCallStart;
    StatementStop* stop = nullptr;
    Interruption last = Interruption::None;
};

thread_local ThreadState state;

int onProgress(void*)
{
    if (!state.engineCall && !state.stop)
        return 0;
    const Clock::time_point now = Clock::now();
    if (state.engineCall && now - state.engineCallStart > std::chrono::milliseconds(timeLimitMs.load())) {
        state.last = Interruption::TimeLimit;
        return 1;
    }
    if (state.stop && state.stop->due(now)) {
        state.last = Interruption::Stop;
        return 1;
    }
    return 0;
}

sqlite3* handleOf(const QSqlDriver* driver)
{
    if (!driver || !driver->isOpen())
        return nullptr;
    const QVariant handle = driver->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

QString minutes(qint64 ms)
{
    const qint64 whole = ms / 60000;
    if (whole >= 1)
        return QString::number(whole) + QStringLiteral(" мин");
    return QString::number(qMax<qint64>(ms / 1000, 0)) + QStringLiteral(" с");
}

} // namespace

void guardDocumentConnection(const QSqlDatabase& db)
{
    sqlite3* connection = handleOf(db.driver());
    if (!connection)
        throw Failure(QString::fromLatin1(kSqlErrorClass), QStringLiteral("Соединение с базой данных не установлено."));
    const struct {
        int option;
        int value;
    } settings[] = {
        {SQLITE_DBCONFIG_DEFENSIVE, 1},
        {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
        {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
        {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
    };
    for (const auto& setting : settings) {
        int now = -1;
        if (sqlite3_db_config(connection, setting.option, setting.value, &now) != SQLITE_OK || now != setting.value)
            throw Failure(QString::fromLatin1(kSqlErrorClass),
                          QStringLiteral("Не удалось настроить защиту соединения с файлом ")
                              + QDir::toNativeSeparators(db.databaseName()) + QLatin1Char('.'));
    }
    sqlite3_progress_handler(connection, kStepsPerLook, onProgress, nullptr);
}

std::chrono::milliseconds statementTimeLimit() { return std::chrono::milliseconds(timeLimitMs.load()); }

void setStatementTimeLimit(std::chrono::milliseconds limit) { timeLimitMs.store(limit.count()); }

EngineCall::EngineCall() : previousStart_(state.engineCallStart), previousActive_(state.engineCall)
{
    state.engineCall = true;
    state.engineCallStart = Clock::now();
}

EngineCall::~EngineCall()
{
    state.engineCall = previousActive_;
    state.engineCallStart = previousStart_;
}

StatementStop::StatementStop(std::function<bool()> stop)
    : stop_(std::move(stop)), previous_(state.stop), asked_(Clock::now())
{
    state.stop = this;
}

StatementStop::~StatementStop() { state.stop = previous_; }

StatementStop* StatementStop::current() { return state.stop; }

bool StatementStop::due(Clock::time_point now)
{
    if (now - asked_ < kStopInterval)
        return false;
    // Not asked again from inside: the events it lets through may reach another statement.
    StatementStop* self = state.stop;
    state.stop = nullptr;
    const bool stop = stop_ && stop_();
    state.stop = self;
    asked_ = Clock::now();
    return stop;
}

QString engineFailureText(const QString& file, int code, const QString& engineText)
{
    const QString name = QDir::toNativeSeparators(file);
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Файл ") + name
            + QStringLiteral(" занят другой программой, поэтому команда не выполнена. Закройте программу, которая "
                             "работает с этим файлом, и повторите команду.");
    case SQLITE_READONLY:
        return QStringLiteral("Файл ") + name
            + QStringLiteral(" доступен только для чтения, поэтому изменения в него не записаны. Разрешите запись в "
                             "этот файл и в его папку или сохраните его под другим именем и повторите команду.");
    case SQLITE_INTERRUPT: {
        const Interruption why = state.last;
        state.last = Interruption::None;
        if (why == Interruption::TimeLimit)
            return QStringLiteral("Работа с файлом ") + name + QStringLiteral(" прервана: одна операция с ним длилась дольше ")
                + minutes(timeLimitMs.load()) + QStringLiteral(". Возможно, файл поврежден или составлен так, чтобы "
                                                             "программа не смогла его обработать.");
        if (why == Interruption::Stop)
            return QStringLiteral("Работа с файлом ") + name + QStringLiteral(" прервана по команде пользователя.");
        return engineText;
    }
    default:
        return engineText;
    }
}

QString engineFailureText(const QSqlDriver* driver, int code, const QString& engineText)
{
    QString file;
    if (sqlite3* connection = handleOf(driver)) {
        const char* path = sqlite3_db_filename(connection, "main");
        if (path && *path)
            file = QString::fromUtf8(path);
    }
    // A database in memory has no file a person could free or unlock.
    if (file.isEmpty())
        return engineText;
    return engineFailureText(file, code, engineText);
}

} // namespace zurm
