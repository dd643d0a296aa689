#include "platform/OutputFile.h"

#include "base/Failure.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStorageInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zurm {

namespace {

QByteArray nativeName(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

std::optional<struct stat> statOf(const QString& path)
{
    struct stat info {};
    if (::stat(nativeName(path).constData(), &info) != 0)
        return std::nullopt;
    return info;
}

// Temporary files of this program beside a target are "~$NAME.XXXXXX.tmp"; a
// report of an older version was written to "~$NAME.pdf".
QString temporaryPrefix(const QString& target)
{
    return QStringLiteral("~$") + QFileInfo(target).fileName() + QLatin1Char('.');
}

bool isOurTemporaryName(const QString& entry, const QString& target)
{
    const QString name = QFileInfo(target).fileName();
    if (name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) && entry == QStringLiteral("~$") + name)
        return true;
    const QString prefix = temporaryPrefix(target);
    if (!entry.startsWith(prefix) || !entry.endsWith(QLatin1String(".tmp")) || entry.size() != prefix.size() + 10)
        return false;
    for (qsizetype i = prefix.size(); i < prefix.size() + 6; ++i)
        if (!entry[i].isLetterOrNumber() || entry[i].unicode() > 127)
            return false;
    return true;
}

// A writer holds its temporary file locked until it renames it; a file of
// ours that nobody holds was left by a write that was killed.
void removeLeftoverTemporaries(const QString& target)
{
    const QString folder = QFileInfo(target).absolutePath();
    QDirIterator entries(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        const QString path = entries.next();
        if (!isOurTemporaryName(entries.fileName(), target))
            continue;
        struct stat named {};
        if (::lstat(nativeName(path).constData(), &named) != 0 || !S_ISREG(named.st_mode)
            || named.st_uid != ::geteuid())
            continue;
        const int fd = ::open(nativeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 && opened.st_ino == named.st_ino
            && opened.st_dev == named.st_dev)
            ::unlink(nativeName(path).constData());
        ::close(fd);
    }
}

// The file the temporary content is written to; it remembers the system's
// reason of a failed write, which QFile keeps only as text.
class RecordingFile : public QFile {
public:
    using QFile::QFile;
    int lastError = 0;

protected:
    qint64 writeData(const char* data, qint64 length) override
    {
        errno = 0;
        const qint64 written = QFile::writeData(data, length);
        if (written < length && lastError == 0)
            lastError = errno;
        return written;
    }
};

[[noreturn]] void refusePlace(const QString& problem)
{
    throw Failure(QString::fromLatin1(kOutputPlaceErrorClass), problem);
}

} // namespace

QString outputPlaceProblem(const QString& what, const QString& target, const QList<KeptFile>& kept)
{
    const QString shown = QDir::toNativeSeparators(target);
    auto refused = [&](const QString& why) { return what + QStringLiteral(" нельзя записать в ") + shown + why; };
    struct stat info {};
    if (::lstat(nativeName(target).constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return refused(QStringLiteral(": это папка."));
        if (S_ISLNK(info.st_mode))
            return refused(QStringLiteral(": это символическая ссылка."));
        if (!S_ISREG(info.st_mode))
            return refused(QStringLiteral(": это не обычный файл."));
        for (const KeptFile& file : kept) {
            if (file.path.isEmpty())
                continue;
            const std::optional<struct stat> other = statOf(file.path);
            if (other && other->st_dev == info.st_dev && other->st_ino == info.st_ino)
                return refused(QStringLiteral(": это ") + file.noun + QLatin1Char('.'));
        }
    } else if (const int error = errno; error != ENOENT) {
        return QStringLiteral("Файл ") + shown + QStringLiteral(" недоступен: ") + systemError(error);
    }
    const QString folder = QFileInfo(target).absolutePath();
    const std::optional<struct stat> place = statOf(folder);
    if (!place || !S_ISDIR(place->st_mode))
        return refused(QStringLiteral(": папка ") + QDir::toNativeSeparators(folder) + QStringLiteral(" не найдена."));
    if (::access(nativeName(folder).constData(), W_OK | X_OK) != 0)
        return refused(QStringLiteral(": нет права записи в папку ") + QDir::toNativeSeparators(folder)
                       + QLatin1Char('.'));
    return {};
}

QString outputWriteFailure(const QString& target, int error, const QString& detail)
{
    const QString folder = QFileInfo(target).absolutePath();
    const QStorageInfo disk(folder);
    QString where = QStringLiteral("диск ") + QDir::toNativeSeparators(disk.isValid() ? disk.rootPath() : folder);
    if (disk.isValid())
        where += QStringLiteral(" (свободно ") + QString::number(disk.bytesAvailable() / (1024 * 1024))
                 + QStringLiteral(" МБ)");
    QString text = QStringLiteral("Не удалось записать файл ") + QDir::toNativeSeparators(target) + QStringLiteral(": ");
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        text += QStringLiteral("на диске недостаточно места; ") + where
                + QStringLiteral(". Освободите место на диске или выберите другую папку.");
        break;
    case EFBIG:
        text += QStringLiteral("файл больше, чем позволяет ") + where
                + QStringLiteral(". Выберите другую папку или другой диск.");
        break;
    default:
        text += (error ? systemError(error) : detail.isEmpty() ? QStringLiteral("ошибка записи") : detail)
                + QStringLiteral("; ") + where
                + QStringLiteral(". Проверьте место на диске и право записи в папку ")
                + QDir::toNativeSeparators(folder) + QLatin1Char('.');
    }
    return text;
}

OutputFile::OutputFile(const QString& target, const QString& what, const QList<KeptFile>& kept)
    : target_(QFileInfo(target).absoluteFilePath()), what_(what), kept_(kept)
{
    if (const QString problem = outputPlaceProblem(what_, target_, kept_); !problem.isEmpty())
        refusePlace(problem);
    removeLeftoverTemporaries(target_);
    const QString folder = QFileInfo(target_).absolutePath();
    const QString prefix = temporaryPrefix(target_);
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        QString name = prefix;
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))]);
        temporary_ = folder + QLatin1Char('/') + name + QStringLiteral(".tmp");
        fd = ::open(nativeName(temporary_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt > 100)) {
            const int error = errno;
            temporary_.clear();
            fail(error);
        }
    }
    ::flock(fd, LOCK_EX | LOCK_NB);
    // A replaced file keeps its permissions.
    struct stat old {};
    if (::lstat(nativeName(target_).constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);
    auto file = std::make_unique<RecordingFile>();
    if (!file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        ::unlink(nativeName(temporary_).constData());
        temporary_.clear();
        fail(0, file->errorString());
    }
    device_ = std::move(file);
}

OutputFile::~OutputFile()
{
    if (!committed_ && !temporary_.isEmpty())
        ::unlink(nativeName(temporary_).constData());
}

QString OutputFile::failureText(int error, const QString& detail) const
{
    QString text = outputWriteFailure(target_, error, detail);
    if (QFileInfo(target_).isFile())
        text += QStringLiteral(" Прежний файл не изменен.");
    return text;
}

void OutputFile::fail(int error, const QString& detail) const
{
    throw Failure(QStringLiteral("FileError"), failureText(error, detail));
}

void OutputFile::write(const QByteArray& bytes)
{
    if (device_->write(bytes) != bytes.size())
        fail(static_cast<RecordingFile&>(*device_).lastError, device_->errorString());
}

void OutputFile::takeContentOf(const QString& finished)
{
    if (::rename(nativeName(finished).constData(), nativeName(temporary_).constData()) == 0) {
        // The finished file now holds the temporary name; hold it as the
        // temporary file itself was held.
        auto file = std::make_unique<RecordingFile>(temporary_);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Append))
            fail(0, file->errorString());
        ::flock(file->handle(), LOCK_EX | LOCK_NB);
        device_ = std::move(file);
        return;
    }
    if (errno != EXDEV)
        fail(errno);
    // Another disk: copied beside the target.
    QFile source(finished);
    if (!source.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("FileError"), QStringLiteral("Файл ") + QDir::toNativeSeparators(finished)
                                                       + QStringLiteral(" не открывается: ") + source.errorString());
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty())
        write(chunk);
    if (source.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("FileError"), QStringLiteral("Ошибка чтения файла ")
                                                       + QDir::toNativeSeparators(finished) + QStringLiteral(": ")
                                                       + source.errorString());
}

void OutputFile::commit()
{
    RecordingFile& file = static_cast<RecordingFile&>(*device_);
    errno = 0;
    if (!file.flush() || file.error() != QFileDevice::NoError)
        fail(file.lastError ? file.lastError : errno, file.errorString());
    // The disk says now whether the bytes fit, not after the old file is gone.
    if (::fsync(file.handle()) != 0)
        fail(errno);
    if (const QString problem = outputPlaceProblem(what_, target_, kept_); !problem.isEmpty())
        refusePlace(problem);
    if (::rename(nativeName(temporary_).constData(), nativeName(target_).constData()) != 0)
        fail(errno);
    committed_ = true;
    file.close();
}

void writeOutputFile(const QString& target, const QByteArray& bytes, const QString& what, const QList<KeptFile>& kept)
{
    OutputFile out(target, what, kept);
    out.write(bytes);
    out.commit();
}

} // namespace zurm
