// zurm-calc: the command-line front of the calculation core.
#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "document/FileNames.h"
#include "document/NodeNumbers.h"
#include "document/TableStructure.h"
#include "hydraulics/CalculationRun.h"
#include "hydraulics/TopologyCheck.h"
#include "indicators/IndicatorCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kUsage =
    "Использование:\n"
    "  zurm-calc --prepare ФАЙЛ [--reference ФАЙЛ]\n"
    "  zurm-calc ФАЙЛ [--reference ФАЙЛ] [--text ФАЙЛ] [--digits N]\n"
    "  zurm-calc --help\n"
    "\n"
    "Обрабатывает файл гидравлического расчета (*.mdb) без окон программы.\n"
    "\n"
    "  --prepare ФАЙЛ     проверить определения показателей, построить порядок\n"
    "                     их вычисления и привести столбцы\n"
    "                     таблиц Заг, Табл и КонМаг в соответствие с ними;\n"
    "                     значения сохранившихся столбцов не теряются\n"
    "  ФАЙЛ               то же, затем проверить сеть (магистрали и конечные\n"
    "                     узлы строятся заново от начального узла) и\n"
    "                     выполнить гидравлический расчет; результаты\n"
    "                     записываются в ФАЙЛ, сообщение об успешном\n"
    "                     расчете выводится в stdout\n"
    "  --text ФАЙЛ        записать текст расчета (Windows-1251, CR LF);\n"
    "                     ФАЙЛ заменяется целиком, поэтому он не может быть\n"
    "                     файлом расчета или справочников, папкой, ссылкой\n"
    "                     или иным необычным файлом\n"
    "  --digits N         число знаков после запятой в тексте расчета\n"
    "                     (0-18; по умолчанию 3)\n"
    "  --reference ФАЙЛ   файл справочников (по умолчанию Spr.mdb из папки\n"
    "                     программы)\n"
    "  --help             эта справка\n"
    "\n"
    "Код завершения: 0 - успешно, 1 - ошибка в данных расчета (сообщение\n"
    "выводится в stderr), 2 - неверные параметры командной строки.\n";

void printLine(FILE* stream, const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Written by length: a NUL inside a name does not end the message.
    const QByteArray bytes = out.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why the calculation text may not be written to `out` (an absolute path), or
// an empty text when it may. The run replaces `out`, so it must be a regular
// file other than the two open databases, or not exist yet in a folder that
// exists and can be written.
QString textFileProblem(const QString& out, const QString& calculationFile, const QString& referenceFile)
{
    struct stat target {};
    if (::lstat(QFile::encodeName(out).constData(), &target) == 0) {
        if (S_ISDIR(target.st_mode))
            return QStringLiteral("Текст расчета нельзя записать в ") + out + QStringLiteral(": это папка.");
        if (S_ISLNK(target.st_mode))
            return QStringLiteral("Текст расчета нельзя записать в ") + out
                + QStringLiteral(": это символическая ссылка.");
        if (!S_ISREG(target.st_mode))
            return QStringLiteral("Текст расчета нельзя записать в ") + out + QStringLiteral(": это не обычный файл.");
        if (zurm::sameFileObject(out, calculationFile))
            return QStringLiteral("Текст расчета нельзя записать в ") + out + QStringLiteral(": это файл расчета.");
        if (zurm::sameFileObject(out, referenceFile))
            return QStringLiteral("Текст расчета нельзя записать в ") + out
                + QStringLiteral(": это файл справочников.");
    } else if (const int error = errno; error != ENOENT && error != ENOTDIR) {
        return QStringLiteral("Файл ") + out + QStringLiteral(" недоступен: ") + systemError(error);
    }
    const QString folder = QFileInfo(out).absolutePath();
    struct stat place {};
    if (::stat(QFile::encodeName(folder).constData(), &place) != 0 || !S_ISDIR(place.st_mode))
        return QStringLiteral("Папка ") + folder + QStringLiteral(" не найдена.");
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return QStringLiteral("Нет права записи в папку ") + folder + QStringLiteral(".");
    return {};
}

// Batch answers: every message goes to stderr, every question is answered Yes,
// no file is ever chosen.
class BatchDialogs : public zurm::UserDialogs {
public:
    QStringList messages;
    void showMessage(const QString& text) override
    {
        messages.append(text);
        printLine(stderr, text);
    }
    bool askYesNo(const QString&, const QString&) override { return true; }
    std::optional<QString> chooseFileToOpen(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> chooseFileToSave(const QString&, const QString&, const QString&) override { return {}; }
};

int usageError(const QString& text)
{
    printLine(stderr, text);
    std::fputs(kUsage, stderr);
    return 2;
}

struct CalculationRequest {
    QString textFile;              // --text
    std::optional<int> digits;     // --digits
};

QString networkStatusText(const zurm::TopologyResult& result)
{
    switch (result.status) {
    case zurm::kNetworkEmpty:
        return QStringLiteral("Таблица \"Участки теплосети\" пуста.");
    case zurm::kNetworkHeadAtStart:
        return QStringLiteral("В таблице \"Изменение полного напора в узлах теплосети\" в поле \"Узел\" указан "
                              "начальный узел теплосети.");
    default:
        return result.message;
    }
}

// Checks the network from the stored start node, stores its status and runs
// the calculation answering Yes. Returns the exit code.
int calculate(zurm::DataModule& data, BatchDialogs& dialogs, zurm::Progress& progress, const CalculationRequest& request)
{
    QSqlQuery row = zurm::selectSql(data.calculation(),
                                    QStringLiteral("SELECT [NНачУз], [НазвРасч], [NузПНапПод], [NузРНап] FROM [НазвРасч] "
                                                   "ORDER BY rowid LIMIT 1"));
    QString startText, name, supplyNode, availableNode;
    if (row.next()) {
        // Node numbers as stored: one that is no node number is refused, not narrowed.
        auto text = [](const QVariant& v) { return zurm::storedValueText(v); };
        startText = text(row.value(0));
        name = row.value(1).isNull() ? QString() : row.value(1).toString();
        supplyNode = text(row.value(2));
        availableNode = text(row.value(3));
    }
    row.finish();
    zurm::TopologyResult topology = zurm::ParTSCorrF(data, progress, startText);
    zurm::applyHeadChangeRule(data, topology);
    zurm::storeNetworkStatus(data, topology.status, topology.message);
    if (topology.status != zurm::kNetworkCorrect) {
        printLine(stderr, networkStatusText(topology));
        return 1;
    }

    // The text is streamed beside the output file and moved onto it at the end,
    // so a protocol of gigabytes never passes through memory.
    const QString textOut =
        request.textFile.isEmpty() ? QString() : QFileInfo(request.textFile).absoluteFilePath();
    QTemporaryDir temporary(textOut.isEmpty() ? QDir::tempPath() + QStringLiteral("/zurm-calc-XXXXXX")
                                              : QFileInfo(textOut).absolutePath() + QStringLiteral("/.zurm-calc-XXXXXX"));
    if (!temporary.isValid())
        throw zurm::Failure(QStringLiteral("FileError"), QStringLiteral("Не удалось создать временную папку для ")
                                                            + (textOut.isEmpty() ? QDir::tempPath() : textOut)
                                                            + QStringLiteral(": ") + temporary.errorString());
    zurm::RunOptions options;
    options.indicatorsValid = true;
    options.networkStatus = topology.status;
    options.calculationName = name;
    options.supplyHeadNodeText = supplyNode;
    options.availableHeadNodeText = availableNode;
    options.writeText = !textOut.isEmpty();
    options.digits = request.digits.value_or(3);
    options.askConfirmation = false;
    options.temporaryTextFile = temporary.filePath(QStringLiteral("calculation.tx_"));
    options.offerTextSave = false;
    options.keepTextInOutcome = false;
    // Asked for the text, the batch run never drops it: answering the question
    // Yes would end in success without the file.
    options.offerRunWithoutText = false;
    options.showCompletion = [](const QString&) {};
    options.takeText = [&textOut](const QString& textFile) {
        // One step: an old file at the place stays whole until the new one replaces it.
        if (std::rename(QFile::encodeName(textFile).constData(), QFile::encodeName(textOut).constData()) != 0) {
            const int error = errno;
            throw zurm::Failure(QStringLiteral("FileError"), QStringLiteral("Не удалось записать файл ") + textOut
                                                                + QStringLiteral(": ") + systemError(error));
        }
    };
    zurm::RunOutcome outcome;
    try {
        outcome = zurm::runCalculation(data, dialogs, progress, options);
    } catch (const zurm::Failure& failure) {
        // The text is the only file the run writes itself: say which one failed.
        if (textOut.isEmpty() || failure.className() != QLatin1String("FileError") || failure.text().contains(textOut))
            throw;
        throw zurm::Failure(failure.className(), QStringLiteral("Не удалось записать файл ") + textOut
                                                     + QStringLiteral(": ") + failure.text());
    }
    if (!outcome.succeeded)
        return 1; // the error went to stderr through the dialogs
    printLine(stdout, outcome.successMessage);
    return 0;
}

int process(const QString& givenFile, const QString& givenReference,
            const std::optional<CalculationRequest>& calculation)
{
    // Names on the command line are relative to the current directory, not to
    // the program folder.
    const QString file = QFileInfo(givenFile).absoluteFilePath();
    const QString referenceFile = givenReference.isEmpty() ? QString() : QFileInfo(givenReference).absoluteFilePath();
    BatchDialogs dialogs;
    zurm::SilentProgress progress;
    zurm::DataModule data(QCoreApplication::applicationDirPath());
    const QString reference = referenceFile.isEmpty() ? data.resolve(QStringLiteral("Spr.mdb")) : referenceFile;
    for (const QString& path : {file, reference}) {
        if (!QFileInfo::exists(path)) {
            printLine(stderr, QStringLiteral("Файл ") + path + QStringLiteral(" не найден."));
            return 1;
        }
    }
    // The place of the text is judged before anything is written.
    if (calculation && !calculation->textFile.isEmpty()) {
        const QString problem = textFileProblem(QFileInfo(calculation->textFile).absoluteFilePath(), file, reference);
        if (!problem.isEmpty()) {
            printLine(stderr, problem);
            return 2;
        }
    }
    QString context = QStringLiteral("Ошибка при открытии базы данных гидравлического расчета и базы данных справочников.");
    try {
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(file);
        data.openReference(reference);
        data.loadCalculationDoneFlag();
        context = QStringLiteral("Ошибка при проверке параметров расчета.");
        if (!zurm::CheckIndicators(data, dialogs, progress))
            return 1;
        context = QStringLiteral("Ошибка при настройке структуры таблиц гидравлического расчета.");
        zurm::GridLayout layout;
        if (!zurm::SetUpTableStructure(data, dialogs, progress, layout))
            return 1;
        if (calculation) {
            context = QStringLiteral("Ошибка при выполнении расчета.");
            return calculate(data, dialogs, progress, *calculation);
        }
        const qlonglong segments =
            zurm::selectValue(data.calculation(), QStringLiteral("SELECT count(*) FROM Табл")).toLongLong();
        printLine(stdout, QStringLiteral("Файл %1: структура таблиц настроена (Заг: %2 столбцов, Табл: %3 столбцов, "
                                         "участков: %4).")
                              .arg(QDir::toNativeSeparators(file))
                              .arg(layout.headerColumns.size())
                              .arg(layout.segmentColumns.size())
                              .arg(segments));
    } catch (const zurm::Failure& failure) {
        printLine(stderr, zurm::errorReport(context, failure));
        return 1;
    }
    return 0;
}

// The exit code once stdout has been written out: a message that could not be
// delivered is a failure.
int finished(int code)
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return code;
    const int error = errno;
    printLine(stderr, QStringLiteral("Не удалось записать в стандартный вывод")
                          + (error ? QStringLiteral(": ") + systemError(error) : QStringLiteral(".")));
    return code == 0 ? 1 : code;
}

int runCommand(const QStringList& args)
{
    QString prepareFile;
    QString calculationFile;
    QString referenceFile;
    CalculationRequest request;
    bool prepareMode = false;
    bool calculationOptions = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == QLatin1String("--prepare") || arg == QLatin1String("--reference") || arg == QLatin1String("--text")
            || arg == QLatin1String("--digits")) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("Не указано значение после ") + arg + QLatin1Char('.'));
            const QString value = args[++i];
            if (value.isEmpty())
                return usageError(QStringLiteral("Не указано значение после ") + arg + QLatin1Char('.'));
            if (arg == QLatin1String("--prepare")) {
                prepareFile = value;
                prepareMode = true;
            } else if (arg == QLatin1String("--reference")) {
                referenceFile = value;
            } else if (arg == QLatin1String("--text")) {
                request.textFile = value;
                calculationOptions = true;
            } else {
                bool ok = false;
                const int digits = value.toInt(&ok);
                if (!ok || digits < 0 || digits > 18)
                    return usageError(QStringLiteral("Число знаков должно быть целым от 0 до 18."));
                request.digits = digits;
                calculationOptions = true;
            }
            continue;
        }
        if (arg.startsWith(QLatin1Char('-')))
            return usageError(QStringLiteral("Неизвестный параметр ") + arg + QLatin1Char('.'));
        if (!calculationFile.isEmpty())
            return usageError(QStringLiteral("Указано более одного файла расчета."));
        calculationFile = arg;
    }
    if (prepareMode && (!calculationFile.isEmpty() || calculationOptions))
        return usageError(QStringLiteral("Параметр --prepare не сочетается с расчетом сети."));
    if (prepareMode)
        return process(prepareFile, referenceFile, std::nullopt);
    if (calculationFile.isEmpty())
        return usageError(QStringLiteral("Не указан файл расчета."));
    return process(calculationFile, referenceFile, request);
}

} // namespace

int main(int argc, char** argv)
{
    // A write past the file-size limit then fails like any other write, and the
    // run cleans up after itself instead of being killed.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return finished(runCommand(args));
}
