#include "document/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QAtomicInt>
#include <limits>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace zurm {

namespace {

bool holdsDeliveredFiles(const QDir& folder)
{
    for (const QString& name : deliveredFileNames())
        if (!QFileInfo(folder.filePath(name)).isFile())
            return false;
    return true;
}

// Asking the file system is the only reliable test: permission bits say
// nothing about read-only mounts or access control lists.
bool writable(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("~zurm-probe-XXXXXX")));
    return probe.open();
}

// Copies through a temporary name, so an interrupted copy never leaves a
// truncated delivered file that would be taken for a real one next time.
void seed(const QString& source, const QString& target)
{
    if (!QFileInfo(source).isFile())
        return;
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(source, partial))
        return;
    // An installed copy is usually read-only; the user's copy must not be.
    QFile::setPermissions(partial, QFile::permissions(partial) | QFile::ReadOwner | QFile::WriteOwner);
    if (!QFile::rename(partial, target))
        QFile::remove(partial);
}

} // namespace

const QStringList& deliveredFileNames()
{
    static const QStringList names = {QStringLiteral("GidrRas.mdb"), QStringLiteral("Spr.mdb"),
                                      QStringLiteral("Nastr.mdb")};
    return names;
}

QString resolveProgramFolder(const QString& executableFolder, const QString& userDataFolder)
{
    const QString executable = QDir::cleanPath(QFileInfo(executableFolder).absoluteFilePath());
    if (holdsDeliveredFiles(QDir(executable)) && writable(executable))
        return executable;

    const QString user = QDir::cleanPath(QFileInfo(userDataFolder).absoluteFilePath());
    QDir().mkpath(user);
    const QDir from(executable);
    const QDir to(user);
    for (const QString& name : deliveredFileNames())
        if (!QFileInfo::exists(to.filePath(name)))
            seed(from.filePath(name), to.filePath(name));
    return user;
}

QString resolveProgramFolder()
{
    return resolveProgramFolder(QCoreApplication::applicationDirPath(),
                                QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

} // namespace zurm

namespace zurm {

namespace {

QAtomicInt scratchCounter;

bool processRunning(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

QString ownScratchStem()
{
    return QStringLiteral("~$%1-%2").arg(qint64(::getpid())).arg(scratchCounter.fetchAndAddRelaxed(1));
}

void removeStaleScratchFiles(const QString& programFolder)
{
    QDir folder(programFolder);
    folder.remove(QStringLiteral("~$.tx_"));
    static const QRegularExpression scratch(QStringLiteral("^~\\$(\\d+)-\\d+\\.(mdb|tx_)$"));
    for (const QString& name : folder.entryList({QStringLiteral("~$*")}, QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = scratch.match(name);
        if (match.hasMatch() && !processRunning(match.captured(1).toLongLong()))
            folder.remove(name);
    }
}

} // namespace zurm
