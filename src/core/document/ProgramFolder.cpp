#include "document/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

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
