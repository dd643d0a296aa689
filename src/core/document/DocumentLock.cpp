#include "document/DocumentLock.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSysInfo>
#include <QUuid>
#include <cerrno>
#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace zurm {

namespace {

// A lock file that cannot be read yet may be one that is being written.
constexpr qint64 kUnreadableLockAgeSeconds = 60;

// The contents of the lock files held by the sessions of this process: a second
// session of the same process finds its own process id in a lock file and must
// still see it as held.
QMutex heldMutex;
QSet<QString>& heldHere()
{
    static QSet<QString> held;
    return held;
}

QString currentUser()
{
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

bool processRunning(qint64 pid)
{
    if (pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

QByteArray readLock(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<LockHolder> parseHolder(const QByteArray& content)
{
    LockHolder holder;
    bool hasPid = false;
    for (const QByteArray& line : content.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (key == "user")
            holder.user = value;
        else if (key == "host")
            holder.host = value;
        else if (key == "pid")
            holder.pid = value.toLongLong(&hasPid);
        else if (key == "time")
            holder.since = QDateTime::fromString(value, Qt::ISODate);
    }
    if (!hasPid || holder.host.isEmpty())
        return std::nullopt;
    return holder;
}

} // namespace

DocumentLock::~DocumentLock()
{
    release();
}

QString DocumentLock::lockFileFor(const QString& file)
{
    // Two spellings of one file (a symbolic link, another folder name) share one lock.
    const QFileInfo info(file);
    const QString canonical = info.canonicalFilePath();
    const QFileInfo target(canonical.isEmpty() ? info.absoluteFilePath() : canonical);
    return target.absolutePath() + QStringLiteral("/~$") + target.fileName() + QStringLiteral(".lock");
}

QString DocumentLock::describe(const LockHolder& holder)
{
    QString text = QStringLiteral("пользователь ") + (holder.user.isEmpty() ? QStringLiteral("?") : holder.user)
        + QStringLiteral(" на компьютере ") + holder.host + QStringLiteral(" (процесс ")
        + QString::number(holder.pid);
    if (holder.since.isValid())
        text += QStringLiteral(", с ") + holder.since.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm"));
    return text + QLatin1Char(')');
}

std::optional<LockHolder> DocumentLock::acquire(const QString& file)
{
    release();
    const QString path = lockFileFor(file);
    const QString host = QSysInfo::machineHostName();
    const QString content = QStringLiteral("user=%1\nhost=%2\npid=%3\ntime=%4\nsession=%5\n")
                                .arg(currentUser(), host)
                                .arg(qint64(::getpid()))
                                .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
                                     QUuid::createUuid().toString(QUuid::WithoutBraces));
    const QMutexLocker locker(&heldMutex);
    for (int attempt = 0; attempt < 3; ++attempt) {
        QFile lock(path);
        if (lock.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            const QByteArray bytes = content.toUtf8();
            const bool written = lock.write(bytes) == bytes.size() && lock.flush();
            lock.close();
            if (!written) {
                // A full disk: the file is edited without a lock rather than refused.
                QFile::remove(path);
                return std::nullopt;
            }
            path_ = path;
            content_ = content;
            heldHere().insert(content);
            return std::nullopt;
        }
        if (!QFileInfo::exists(path))
            return std::nullopt; // no lock can be created here (a read-only folder)

        const QByteArray existing = readLock(path);
        const std::optional<LockHolder> holder = parseHolder(existing);
        bool stale = false;
        if (!holder) {
            const QDateTime written = QFileInfo(path).lastModified();
            stale = written.isValid() && written.secsTo(QDateTime::currentDateTime()) > kUnreadableLockAgeSeconds;
        } else if (holder->host == host) {
            // A process of this computer that has ended; or this very process,
            // when none of its sessions holds the lock any more.
            stale = holder->pid == qint64(::getpid()) ? !heldHere().contains(QString::fromUtf8(existing))
                                                      : !processRunning(holder->pid);
        }
        if (!stale)
            return holder ? holder : std::optional<LockHolder>(LockHolder{QString(), QStringLiteral("?"), 0, {}});
        QFile::remove(path);
    }
    return std::nullopt;
}

void DocumentLock::release()
{
    if (path_.isEmpty())
        return;
    const QMutexLocker locker(&heldMutex);
    QFile lock(path_);
    // Only a lock that is still this copy's own is removed.
    if (lock.open(QIODevice::ReadOnly) && QString::fromUtf8(lock.readAll()) == content_) {
        lock.close();
        QFile::remove(path_);
    }
    heldHere().remove(content_);
    path_.clear();
    content_.clear();
}

} // namespace zurm
