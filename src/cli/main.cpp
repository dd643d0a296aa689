// zurm-calc: the command-line front of the calculation core.
#include "BatchOutputs.h"
#include "LoadOption.h"
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
#include "network/SchemaGeometry.h"
#include "output/CalculationReport.h"
#include "output/ReportWorkbook.h"
#include "render/ReportPages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QGuiApplication>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using zurm::cli::BatchDialogs;
using zurm::cli::drawSchema;
using zurm::cli::GraphRequest;
using zurm::cli::printLine;
using zurm::cli::SchemaRequest;
using zurm::cli::writeGraph;

const char* const kUsage =
    "Использование:\n"
    "  zurm-calc --prepare ФАЙЛ [--reference ФАЙЛ]\n"
    "  zurm-calc ФАЙЛ [--reference ФАЙЛ] [--text ФАЙЛ] [--digits N] [--xlsx КНИГА] [--pdf ОТЧЕТ]\n"
    "  zurm-calc ФАЙЛ --no-run [--xlsx КНИГА] [--pdf ОТЧЕТ] [--digits N]\n"
    "  zurm-calc ФАЙЛ [--no-run] --graph ГРАФИК --main N [--type K] [--from A] [--to B]\n"
    "  zurm-calc ФАЙЛ --schema РИСУНОК.png [--zoom N] [--labels 0|1|2] [--select N,N,...]\n"
    "  zurm-calc ФАЙЛ --load КНИГА --sheet ЛИСТ --rows N-M --nodes K1,K2 --column ПОКАЗАТЕЛЬ=K ...\n"
    "            [--run [параметры расчета]]\n"
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
    "  --digits N         число знаков после запятой в тексте расчета, в\n"
    "                     отчете и в подписях значений на графике (0-18;\n"
    "                     по умолчанию 3)\n"
    "  --xlsx КНИГА       после расчета выгрузить отчет (показатели\n"
    "                     заголовка, участки и магистрали) в книгу\n"
    "                     Microsoft Excel; к имени добавляется .xlsx, если\n"
    "                     его нет; книга заменяется целиком\n"
    "  --pdf ОТЧЕТ        после расчета записать печатный отчет (по\n"
    "                     описанию 0.rav-3.rav из папки программы) в файл\n"
    "                     PDF; файл заменяется целиком\n"
    "  --graph ГРАФИК     после расчета построить график вдоль магистрали и\n"
    "                     записать его в ГРАФИК: рисунок PNG или SVG (по\n"
    "                     окончанию имени) или точки графика в CSV (.csv:\n"
    "                     положение, надпись, по столбцу на каждую линию)\n"
    "  --main N           номер магистрали\n"
    "  --type K           тип графика: 0 - пьезометрический (по умолчанию),\n"
    "                     1 - температура воды, 2 - РасхПод, далее, как в\n"
    "                     окне \"Формировать график\"\n"
    "  --from A, --to B   начальный и конечный узлы участка магистрали (по\n"
    "                     умолчанию - вся магистраль)\n"
    "  --no-run           не выполнять расчет, а выгрузить результаты,\n"
    "                     сохраненные в ФАЙЛе последним расчетом; ФАЙЛ не\n"
    "                     изменяется\n"
    "  --schema РИСУНОК   нарисовать схему теплосети целиком, как в окне\n"
    "                     рисования схемы, и записать ее в РИСУНОК (PNG);\n"
    "                     расчет не выполняется, ФАЙЛ не изменяется\n"
    "  --zoom N           масштаб рисунка в процентах (10-100; по умолчанию 100)\n"
    "  --labels M         надписи: 0 - все узлы (по умолчанию), 1 - начальный\n"
    "                     и конечные узлы, 2 - без надписей\n"
    "  --select N,N,...   выделить узлы с этими номерами (и прямоугольник\n"
    "                     вокруг них, если узлов больше одного)\n"
    "  --load КНИГА       загрузить значения показателей участков из книги\n"
    "                     Microsoft Excel (*.xlsx, *.xls), как окно \"Загрузить\n"
    "                     данные из Microsoft Excel\": участку берутся значения\n"
    "                     первой строки, в колонках узлов которой его номера\n"
    "                     узлов; пустая ячейка - 0; настройки окна не меняются\n"
    "  --sheet ЛИСТ       имя листа книги\n"
    "  --rows N-M         начальная и конечная строки таблицы данных (1-65536)\n"
    "  --nodes K1,K2      колонки номеров начального и конечного узлов (1-256)\n"
    "  --column П=K       показатель П загружается из колонки K (до 8 раз)\n"
    "  --run              после загрузки выполнить расчет (также, если задан\n"
    "                     --text, --xlsx, --pdf или --graph)\n"
    "  --reference ФАЙЛ   файл справочников (по умолчанию Spr.mdb из папки\n"
    "                     программы)\n"
    "  --help             эта справка\n"
    "\n"
    "Код завершения: 0 - успешно, 1 - ошибка в данных расчета (сообщение\n"
    "выводится в stderr), 2 - неверные параметры командной строки.\n";

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why an output (`what`: the calculation text, the report) may not be written
// to `out` (an absolute path), or an empty text when it may. The output
// replaces `out`, so it must be a regular file other than the two open
// databases, or not exist yet in a folder that exists and can be written.
QString outputFileProblem(const QString& what, const QString& out, const QString& calculationFile,
                          const QString& referenceFile)
{
    struct stat target {};
    if (::lstat(QFile::encodeName(out).constData(), &target) == 0) {
        if (S_ISDIR(target.st_mode))
            return what + QStringLiteral(" нельзя записать в ") + out + QStringLiteral(": это папка.");
        if (S_ISLNK(target.st_mode))
            return what + QStringLiteral(" нельзя записать в ") + out
                + QStringLiteral(": это символическая ссылка.");
        if (!S_ISREG(target.st_mode))
            return what + QStringLiteral(" нельзя записать в ") + out + QStringLiteral(": это не обычный файл.");
        if (zurm::sameFileObject(out, calculationFile))
            return what + QStringLiteral(" нельзя записать в ") + out + QStringLiteral(": это файл расчета.");
        if (zurm::sameFileObject(out, referenceFile))
            return what + QStringLiteral(" нельзя записать в ") + out
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

int usageError(const QString& text)
{
    printLine(stderr, text);
    std::fputs(kUsage, stderr);
    return 2;
}

struct CalculationRequest {
    QString textFile;              // --text
    std::optional<int> digits;     // --digits
    QString workbook;              // --xlsx, with ".xlsx" added when missing
    QString pdf;                   // --pdf
    bool run = true;               // false: --no-run, the stored results are exported
    std::optional<GraphRequest> graph; // --graph
};


const QString kReportNoun = QStringLiteral("Отчет");

// Writes the outputs of the finished calculation (the workbook, the printed
// report as PDF, the graph); a failure of the reports prints its own text.
int writeOutputs(zurm::DataModule& data, zurm::Progress& progress, const CalculationRequest& request)
{
    try {
        if (!request.workbook.isEmpty())
            zurm::writeReportWorkbook(data, QFileInfo(request.workbook).absoluteFilePath(), progress,
                                      request.digits.value_or(3));
        if (!request.pdf.isEmpty()) {
            const zurm::ReportDocument report =
                zurm::buildCalculationReport(data, QLocale::system().decimalPoint().at(0), request.digits.value_or(-1));
            const QString problem = zurm::render::writeReportPdf(report, QFileInfo(request.pdf).absoluteFilePath());
            if (!problem.isEmpty()) {
                printLine(stderr, problem);
                return 1;
            }
        }
    } catch (const zurm::Failure& failure) {
        printLine(stderr, failure.text());
        return 1;
    }
    if (request.graph) {
        try {
            return writeGraph(data, *request.graph);
        } catch (const zurm::Failure& failure) {
            printLine(stderr, zurm::errorReport(QStringLiteral("Ошибка при формировании графика."), failure));
            return 1;
        }
    }
    return 0;
}

// --no-run: the results stored by the last run, the file opened for reading only.
int exportStoredResults(const QString& file, const CalculationRequest& request)
{
    BatchDialogs dialogs;
    zurm::SilentProgress progress;
    zurm::DataModule data(QCoreApplication::applicationDirPath());
    try {
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(file, true);
        data.loadCalculationDoneFlag();
    } catch (const zurm::Failure& failure) {
        printLine(stderr, zurm::errorReport(
                              QStringLiteral("Ошибка при открытии базы данных гидравлического расчета."), failure));
        return 1;
    }
    // Each output is refused with its own command's message; the graph says
    // its refusal itself.
    if (!data.calculationDone() && (!request.workbook.isEmpty() || !request.pdf.isEmpty())) {
        printLine(stderr, request.workbook.isEmpty() ? zurm::kReportNeedsCalculation : zurm::kExportNeedsCalculation);
        return 1;
    }
    return writeOutputs(data, progress, request);
}

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
    // The check and the run change the file as one: killed at any moment, or
    // failing, the call leaves every table as it was before it; an error the
    // check or the run reports keeps what they wrote up to it.
    zurm::Transaction whole(data.calculation());
    zurm::WrittenMainRows mainRows;
    zurm::TopologyResult topology = zurm::ParTSCorrF(data, progress, startText, &mainRows);
    zurm::applyHeadChangeRule(data, topology);
    zurm::storeNetworkStatus(data, topology.status, topology.message);
    if (topology.status != zurm::kNetworkCorrect) {
        zurm::clearFlowsLeft(data, mainRows);
        whole.commit();
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
    options.writtenMains = mainRows; // not read again
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
        zurm::clearFlowsLeft(data, mainRows); // when the run did not take them
    } catch (const zurm::Failure& failure) {
        try {
            zurm::clearFlowsLeft(data, mainRows);
        } catch (...) {
        }
        // The text is the only file the run writes itself: say which one failed.
        if (textOut.isEmpty() || failure.className() != QLatin1String("FileError") || failure.text().contains(textOut))
            throw;
        throw zurm::Failure(failure.className(), QStringLiteral("Не удалось записать файл ") + textOut
                                                     + QStringLiteral(": ") + failure.text());
    }
    whole.commit();
    if (!outcome.succeeded)
        return 1; // the error went to stderr through the dialogs
    printLine(stdout, outcome.successMessage);
    return request.workbook.isEmpty() && request.pdf.isEmpty() && !request.graph ? 0
                                                                                 : writeOutputs(data, progress, request);
}

int process(const QString& givenFile, const QString& givenReference,
            const std::optional<CalculationRequest>& calculation,
            const std::optional<zurm::cli::LoadRequest>& load = std::nullopt)
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
        const QString notRegular = zurm::notRegularFileMessage(path);
        if (!notRegular.isEmpty()) {
            printLine(stderr, notRegular);
            return 1;
        }
    }
    // The places of the outputs are judged before anything is written.
    if (calculation) {
        const QString text = calculation->textFile.isEmpty() ? QString() : QFileInfo(calculation->textFile).absoluteFilePath();
        const QString workbook = calculation->workbook.isEmpty() ? QString() : QFileInfo(calculation->workbook).absoluteFilePath();
        QString problem;
        if (!text.isEmpty())
            problem = outputFileProblem(QStringLiteral("Текст расчета"), text, file, reference);
        if (problem.isEmpty() && !workbook.isEmpty())
            problem = outputFileProblem(kReportNoun, workbook, file, reference);
        const QString pdf = calculation->pdf.isEmpty() ? QString() : QFileInfo(calculation->pdf).absoluteFilePath();
        if (problem.isEmpty() && !pdf.isEmpty())
            problem = outputFileProblem(kReportNoun, pdf, file, reference);
        if (problem.isEmpty() && !text.isEmpty() && text == workbook)
            problem = QStringLiteral("Текст расчета и отчет нельзя записать в один файл ") + text + QLatin1Char('.');
        if (problem.isEmpty() && !pdf.isEmpty() && (pdf == text || pdf == workbook))
            problem = QStringLiteral("Два результата нельзя записать в один файл ") + pdf + QLatin1Char('.');
        const QString graph = calculation->graph ? QFileInfo(calculation->graph->out).absoluteFilePath() : QString();
        if (problem.isEmpty() && !graph.isEmpty())
            problem = outputFileProblem(QStringLiteral("График"), graph, file, reference);
        if (problem.isEmpty() && !graph.isEmpty() && (graph == text || graph == workbook || graph == pdf))
            problem = QStringLiteral("Два результата нельзя записать в один файл ") + graph + QLatin1Char('.');
        if (!problem.isEmpty()) {
            printLine(stderr, problem);
            return 2;
        }
        if (!calculation->run)
            return exportStoredResults(file, *calculation);
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
        if (load) {
            context = QStringLiteral("Ошибка при загрузке данных из Microsoft Excel.");
            const zurm::cli::LoadOutcome loaded = zurm::cli::loadSegments(data, progress, *load);
            printLine(loaded.exitCode == 0 ? stdout : stderr, loaded.message);
            if (loaded.exitCode != 0 || !calculation)
                return loaded.exitCode;
        }
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
    SchemaRequest schema;
    bool schemaOptions = false;
    GraphRequest graph;
    bool graphOptions = false;
    zurm::cli::LoadRequest load;
    bool loadOptions = false;
    bool runAfterLoad = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == QLatin1String("--prepare") || arg == QLatin1String("--reference") || arg == QLatin1String("--text")
            || arg == QLatin1String("--digits") || arg == QLatin1String("--schema") || arg == QLatin1String("--zoom")
            || arg == QLatin1String("--labels") || arg == QLatin1String("--select") || arg == QLatin1String("--xlsx")
            || arg == QLatin1String("--pdf") || arg == QLatin1String("--graph") || arg == QLatin1String("--main")
            || arg == QLatin1String("--type") || arg == QLatin1String("--from") || arg == QLatin1String("--to")) {
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
            } else if (arg == QLatin1String("--schema")) {
                schema.out = value;
            } else if (arg == QLatin1String("--zoom")) {
                const std::optional<int> zoom = zurm::parseZoomText(value);
                if (!zoom)
                    return usageError(zurm::kZoomRefusal);
                schema.zoom = *zoom;
                schemaOptions = true;
            } else if (arg == QLatin1String("--labels")) {
                if (value != QLatin1String("0") && value != QLatin1String("1") && value != QLatin1String("2"))
                    return usageError(QStringLiteral("Надписи на схеме задаются числом 0, 1 или 2."));
                schema.labels = value.toInt();
                schemaOptions = true;
            } else if (arg == QLatin1String("--select")) {
                for (const QString& part : value.split(QLatin1Char(','))) {
                    bool ok = false;
                    part.trimmed().toInt(&ok);
                    if (!part.trimmed().isEmpty() && !ok)
                        return usageError(QLatin1Char('"') + part + QStringLiteral("\" не является целым числом."));
                    schema.select.append(part.trimmed());
                }
                schemaOptions = true;
            } else if (arg == QLatin1String("--text")) {
                request.textFile = value;
                calculationOptions = true;
            } else if (arg == QLatin1String("--graph")) {
                graph.out = value;
            } else if (arg == QLatin1String("--main") || arg == QLatin1String("--type") || arg == QLatin1String("--from")
                       || arg == QLatin1String("--to")) {
                bool ok = false;
                const int number = value.toInt(&ok);
                const int lowest = arg == QLatin1String("--main") ? 1 : 0;
                if (!ok || number < lowest || number > 32700)
                    return usageError(arg == QLatin1String("--main")
                                          ? QStringLiteral("Номер магистрали должен быть целым от 1 до 32700.")
                                          : arg == QLatin1String("--type")
                                          ? QStringLiteral("Тип графика задается целым числом от 0.")
                                          : QStringLiteral("Номер узла должен быть целым от 0 до 32700."));
                if (arg == QLatin1String("--main"))
                    graph.main = number;
                else if (arg == QLatin1String("--type"))
                    graph.type = number;
                else if (arg == QLatin1String("--from"))
                    graph.from = number;
                else
                    graph.to = number;
                graphOptions = true;
            } else if (arg == QLatin1String("--pdf")) {
                request.pdf = value;
            } else if (arg == QLatin1String("--xlsx")) {
                request.workbook = zurm::withXlsxSuffix(value);
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
        if (zurm::cli::isLoadOption(arg)) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty())
                return usageError(QStringLiteral("Не указано значение после ") + arg + QLatin1Char('.'));
            const QString refusal = zurm::cli::takeLoadOption(arg, args[++i], load);
            if (!refusal.isEmpty())
                return usageError(refusal);
            loadOptions = loadOptions || arg != QLatin1String("--load");
            continue;
        }
        if (arg == QLatin1String("--run")) {
            runAfterLoad = true;
            continue;
        }
        if (arg == QLatin1String("--no-run")) {
            request.run = false;
            calculationOptions = true;
            continue;
        }
        if (arg.startsWith(QLatin1Char('-')))
            return usageError(QStringLiteral("Неизвестный параметр ") + arg + QLatin1Char('.'));
        if (!calculationFile.isEmpty())
            return usageError(QStringLiteral("Указано более одного файла расчета."));
        calculationFile = arg;
    }
    if (loadOptions && load.workbook.isEmpty())
        return usageError(QStringLiteral("Параметры --sheet, --rows, --nodes и --column задаются только с --load."));
    if (runAfterLoad && load.workbook.isEmpty())
        return usageError(QStringLiteral("Параметр --run задается только с --load."));
    if (!load.workbook.isEmpty() && (prepareMode || !schema.out.isEmpty() || !request.run))
        return usageError(QStringLiteral("Параметр --load не сочетается с --prepare, --schema и --no-run."));
    if (prepareMode && (!calculationFile.isEmpty() || calculationOptions))
        return usageError(QStringLiteral("Параметр --prepare не сочетается с расчетом сети."));
    if (schemaOptions && schema.out.isEmpty())
        return usageError(QStringLiteral("Параметры --zoom, --labels и --select задаются только с --schema."));
    if (!schema.out.isEmpty()) {
        if (prepareMode || calculationOptions)
            return usageError(QStringLiteral("Параметр --schema не сочетается с расчетом сети."));
        if (calculationFile.isEmpty())
            return usageError(QStringLiteral("Не указан файл расчета."));
        return drawSchema(calculationFile, schema);
    }
    if (graphOptions && graph.out.isEmpty())
        return usageError(QStringLiteral("Параметры --main, --type, --from и --to задаются только с --graph."));
    if (!graph.out.isEmpty()) {
        if (prepareMode || !schema.out.isEmpty())
            return usageError(QStringLiteral("Параметр --graph не сочетается с --prepare и --schema."));
        const QString ending = QFileInfo(graph.out).suffix().toLower();
        if (ending != QLatin1String("png") && ending != QLatin1String("svg") && ending != QLatin1String("csv"))
            return usageError(QStringLiteral("Имя файла графика должно оканчиваться на .png, .svg или .csv."));
        if (graph.main == 0)
            return usageError(QStringLiteral("Не указан номер магистрали (--main)."));
        graph.digits = request.digits;
        request.graph = graph;
    }
    if (!request.run && request.workbook.isEmpty() && request.pdf.isEmpty() && !request.graph)
        return usageError(QStringLiteral("Параметр --no-run задается только с --xlsx, --pdf или --graph."));
    if (!request.run && !request.textFile.isEmpty())
        return usageError(QStringLiteral("Параметр --no-run не сочетается с --text: расчет не выполняется."));
    if (prepareMode)
        return process(prepareFile, referenceFile, std::nullopt);
    if (calculationFile.isEmpty())
        return usageError(QStringLiteral("Не указан файл расчета."));
    if (!load.workbook.isEmpty()) {
        const bool run = runAfterLoad || calculationOptions || request.graph;
        return process(calculationFile, referenceFile, run ? std::optional(request) : std::nullopt, load);
    }
    return process(calculationFile, referenceFile, request);
}

} // namespace

int main(int argc, char** argv)
{
#ifdef __GLIBC__
    // A batch run builds and drops tables of a million rows one after another:
    // memory once taken is kept for the next step instead of being handed
    // back to the system and faulted in again page by page.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_TOP_PAD, 64 << 20);
#endif
    // A write past the file-size limit then fails like any other write, and the
    // run cleans up after itself instead of being killed.
    std::signal(SIGXFSZ, SIG_IGN);
    // Only painting the schema needs fonts, and with them a (window-less) platform.
    bool painting = false;
    for (int i = 1; i < argc; ++i)
        painting = painting || std::strcmp(argv[i], "--schema") == 0 || std::strcmp(argv[i], "--pdf") == 0
                   || std::strcmp(argv[i], "--graph") == 0;
    // The platform's remark about a missing runtime folder is no message of
    // this program: stderr carries only what the user is to read.
    if (painting)
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths:")))
                return;
            std::fputs(qPrintable(qFormatLogMessage(type, context, text) + QLatin1Char('\n')), stderr);
        });
    if (painting && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app =
        painting ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return finished(runCommand(args));
}
