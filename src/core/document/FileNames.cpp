#include "document/FileNames.h"

#include "base/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

namespace zurm {

namespace {

[[noreturn]] void fileFailure(const QString& text)
{
    throw Failure(QString::fromLatin1(kFileErrorClass), text);
}

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}

} // namespace

QString withDatabaseExtension(const QString& name)
{
    if (name.size() < 4 || name.right(4).toUpper() != QStringLiteral(".MDB"))
        return name + QStringLiteral(".mdb");
    return name;
}

QString folderOf(const QString& path)
{
    if (path.isEmpty())
        return {};
    return QDir::cleanPath(QFileInfo(path).absolutePath());
}

std::optional<FileIdentity> fileIdentity(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{quint64(info.st_dev), quint64(info.st_ino)};
}

bool sameFileObject(const QString& a, const QString& b)
{
    const std::optional<FileIdentity> first = fileIdentity(a);
    return first && first == fileIdentity(b);
}

bool sameFolderIgnoringCase(const QString& a, const QString& b)
{
    return a.toUpper() == b.toUpper() || sameFileObject(a, b);
}

bool samePathIgnoringCase(const QString& a, const QString& b)
{
    return QDir::cleanPath(a).toUpper() == QDir::cleanPath(b).toUpper() || sameFileObject(a, b);
}

QString initialFolderFor(const QString& currentFile)
{
    return folderOf(currentFile);
}

QString temporaryNameBeside(const QString& target)
{
    const QDir folder(folderOf(target));
    for (;;) {
        const QString name = folder.filePath(
            QStringLiteral("~zurm-%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        if (!QFileInfo::exists(name))
            return name;
    }
}

void writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fileFailure(QStringLiteral("Файл ") + path + QStringLiteral(" не может быть создан: ") + file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fileFailure(QStringLiteral("Ошибка записи в файл ") + path + QStringLiteral(": ") + reason);
    }
    if (!file.commit())
        fileFailure(QStringLiteral("Ошибка записи в файл ") + path + QStringLiteral(": ") + file.errorString());
}

void replaceFile(const QString& source, const QString& target)
{
    std::error_code error;
    std::filesystem::rename(fsPath(source), fsPath(target), error);
    if (!error)
        return;
    if (error != std::errc::cross_device_link)
        fileFailure(QStringLiteral("Файл ") + source + QStringLiteral(" не может быть перемещен в ") + target
                    + QStringLiteral(": ") + QString::fromLocal8Bit(error.message()));

    // Another file system: copy beside the target, then replace in one step.
    const QString beside = temporaryNameBeside(target);
    if (!QFile::copy(source, beside)) {
        QFile::remove(beside);
        fileFailure(QStringLiteral("Файл ") + source + QStringLiteral(" не может быть скопирован в ") + beside);
    }
    std::filesystem::rename(fsPath(beside), fsPath(target), error);
    if (error) {
        QFile::remove(beside);
        fileFailure(QStringLiteral("Файл ") + beside + QStringLiteral(" не может быть перемещен в ") + target
                    + QStringLiteral(": ") + QString::fromLocal8Bit(error.message()));
    }
    QFile::remove(source);
}

} // namespace zurm
