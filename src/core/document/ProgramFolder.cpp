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
bool seed(const QString& source, const QString& target)
{
    if (!QFileInfo(source).isFile())
        return false;
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(source, partial))
        return false;
    // An installed copy is usually read-only; the user's copy must not be.
    QFile::setPermissions(partial, QFile::permissions(partial) | QFile::ReadOwner | QFile::WriteOwner);
    if (QFile::rename(partial, target))
        return true;
    QFile::remove(partial);
    return false;
}

} // namespace

const QStringList& deliveredFileNames()
{
    static const QStringList names = {QStringLiteral("GidrRas.mdb"), QStringLiteral("Spr.mdb"),
                                      QStringLiteral("Nastr.mdb")};
    return names;
}

ProgramFolderChoice chooseProgramFolder(const QString& executableFolder, const QString& userDataFolder)
{
    const QString executable = QDir::cleanPath(QFileInfo(executableFolder).absoluteFilePath());
    // An installed program folder belongs to the package manager even for a
    // user who may write to it (root): files written there would outlive the
    // package's removal and be shared by every user.
    if (holdsDeliveredFiles(QDir(executable)) && !QFileInfo::exists(QDir(executable).filePath(kInstalledMarker))
        && writable(executable))
        return {executable, false};

    ProgramFolderChoice choice{QDir::cleanPath(QFileInfo(userDataFolder).absoluteFilePath()), false};
    QDir().mkpath(choice.folder);
    const QDir from(executable);
    const QDir to(choice.folder);
    for (const QString& name : deliveredFileNames())
        if (!QFileInfo::exists(to.filePath(name)) && seed(from.filePath(name), to.filePath(name))
            && name == QLatin1String("Nastr.mdb"))
            choice.settingsSeeded = true;
    return choice;
}

QString resolveProgramFolder(const QString& executableFolder, const QString& userDataFolder)
{
    return chooseProgramFolder(executableFolder, userDataFolder).folder;
}

QString userProgramFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/ЗУРМ");
}

ProgramFolderChoice chooseProgramFolder()
{
    return chooseProgramFolder(QCoreApplication::applicationDirPath(), userProgramFolder());
}

QString resolveProgramFolder()
{
    return chooseProgramFolder().folder;
}

bool placeSampleCalculation(const QString& sample, const QString& target)
{
    if (!QFileInfo::exists(target)) {
        QDir().mkpath(QFileInfo(target).absolutePath());
        seed(sample, target);
    }
    return QFileInfo(target).isFile();
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
