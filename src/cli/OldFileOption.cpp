#include "OldFileOption.h"

#include "BatchOutputs.h"
#include "base/Failure.h"
#include "document/OldFormatConversion.h"
#include "document/TableStructure.h"
#include "platform/OutputFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace zurm::cli {

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// The converted calculation is set up as any calculation opened by the
// program: the indicators are checked and the tables take their columns.
bool prepareCalculation(const QString& file, const QString& programFolder, BatchDialogs& dialogs)
{
    SilentProgress progress;
    DataModule data(programFolder);
    QString context;
    try {
        GridLayout layout;
        return openAndPrepareCalculation(data, file, data.resolve(QStringLiteral("Spr.mdb")), dialogs, progress,
                                         layout, context);
    } catch (const Failure& failure) {
        printLine(stderr, errorReport(context, failure));
        return false;
    }
}

// A damaged Access file can send the Access reader round in circles or ask it
// for memory without end: the conversion is given time and memory enough for
// any honest file of its size, and ends with a message beyond them.
char overdueMessage[1024];
size_t overdueLength = 0;

void overdue(int)
{
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, overdueMessage, overdueLength);
    ::_exit(1);
}

void limitReading(const QString& path, qint64 size)
{
    const unsigned seconds = unsigned(60 + (size >> 20));
    const QByteArray message = (QStringLiteral("Файл ") + QDir::toNativeSeparators(path)
                                + QStringLiteral(" не удалось преобразовать: чтение файла не закончилось за %1 с. "
                                                 "Возможно, файл поврежден.\n")
                                      .arg(seconds))
                                   .toUtf8()
                                   .left(sizeof(overdueMessage));
    std::memcpy(overdueMessage, message.constData(), size_t(message.size()));
    overdueLength = size_t(message.size());
    std::signal(SIGALRM, overdue);
    ::alarm(seconds);
    const rlim_t bytes = rlim_t(4) << 30;
    struct rlimit limit;
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > bytes)) {
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_AS, &limit);
    }
}

} // namespace

int convert(const QString& oldFile, const QString& newFile, const QByteArray& jet3Charset,
            const std::optional<DatabaseKind>& expected)
{
    if (!isKnownCharset(jet3Charset)) {
        printLine(stderr, QStringLiteral("Кодировка \"") + QString::fromLatin1(jet3Charset)
                              + QStringLiteral("\" (--jet-charset) неизвестна."));
        return 2;
    }
    const QFileInfo old(oldFile);
    if (!old.exists()) {
        printLine(stderr, QStringLiteral("Файл ") + shown(oldFile) + QStringLiteral(" не найден."));
        return 1;
    }
    if (const QString notRegular = notRegularFileMessage(old.absoluteFilePath()); !notRegular.isEmpty()) {
        printLine(stderr, notRegular);
        return 1;
    }
    if (!isJetFile(old.absoluteFilePath())) {
        QFile file(old.absoluteFilePath());
        const bool sqlite = file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
        printLine(stderr, QStringLiteral("Файл ") + shown(oldFile)
                              + (sqlite ? QStringLiteral(" уже сохранен в формате этой версии программы (SQLite); "
                                                         "преобразовывать его не нужно.")
                                        : QStringLiteral(" не является базой данных Microsoft Access (Jet 3 или Jet 4).")));
        return 1;
    }
    limitReading(old.absoluteFilePath(), old.size());
    BatchDialogs dialogs;
    SilentProgress progress;
    bool prepared = true;
    ConversionSummary summary;
    try {
        summary = convertOldFile(old.absoluteFilePath(), newFile, QCoreApplication::applicationDirPath(), jet3Charset,
                                 progress, [&](const QString& temporary, const ConversionSummary& converted) {
                                     if (expected && converted.facts.kind != expected)
                                         throw Failure(QStringLiteral("ConversionError"),
                                                       kindMismatchMessage(old.absoluteFilePath(), *expected,
                                                                           converted.facts.kind));
                                     if (converted.facts.kind == DatabaseKind::Calculation)
                                         prepared = prepareCalculation(temporary, QCoreApplication::applicationDirPath(),
                                                                       dialogs);
                                 });
    } catch (const Failure& failure) {
        printLine(stderr, failure.text());
        return failure.className() == QLatin1String(kOutputPlaceErrorClass) ? 2 : 1;
    }
    const QString version = QStringLiteral("Jet %1").arg(summary.facts.version);
    const QString counts = QStringLiteral("таблиц: %1, строк: %2").arg(summary.tables).arg(summary.rows);
    if (summary.facts.kind)
        printLine(stdout, QStringLiteral("Файл ") + shown(oldFile) + QStringLiteral(" - ")
                              + oldFileKindText(summary.facts.kind)
                              + QStringLiteral(" прежних версий программы (Microsoft Access, ") + version
                              + QStringLiteral("). Преобразован в файл ") + shown(newFile) + QStringLiteral(" (")
                              + counts + QStringLiteral(")."));
    else
        printLine(stdout, QStringLiteral("Файл ") + shown(oldFile) + QStringLiteral(" - ")
                              + oldFileKindText(summary.facts.kind) + QStringLiteral(" (") + version
                              + QStringLiteral("). Ее таблицы перенесены в файл ") + shown(newFile)
                              + QStringLiteral(" (") + counts + QStringLiteral(")."));
    if (!prepared) {
        printLine(stderr, QStringLiteral("Структура таблиц преобразованного расчета не настроена: исправьте определения "
                                         "показателей в программе."));
        return 1;
    }
    return 0;
}

} // namespace zurm::cli
