// zurm-calc: the command-line front of the calculation core.
#include "BatchOutputs.h"
#include "LoadOption.h"
#include "OldFileOption.h"
#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "document/DocumentFiles.h"
#include "document/NodeNumbers.h"
#include "document/TableStructure.h"
#include "hydraulics/CalculationRun.h"
#include "hydraulics/PressureRegime.h"
#include "hydraulics/TopologyCheck.h"
#include "network/SchemaGeometry.h"
#include "output/AdjustmentOutput.h"
#include "output/CalculationReport.h"
#include "output/ReportWorkbook.h"
#include "platform/CNumericLocale.h"
#include "render/ReportPages.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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
    "            [--adjustment ТАБЛИЦА.csv|.xlsx] [--pressure-check]\n"
    "  zurm-calc ФАЙЛ --no-run [--xlsx КНИГА] [--pdf ОТЧЕТ] [--digits N] [--adjustment ТАБЛИЦА]\n"
    "            [--pressure-check]\n"
    "  zurm-calc ФАЙЛ [--no-run] --graph ГРАФИК --main N [--type K] [--from A] [--to B]\n"
    "  zurm-calc ФАЙЛ --schema РИСУНОК.png|.jpg [--zoom N] [--labels 0|1|2] [--select N,N,...]\n"
    "  zurm-calc ФАЙЛ --load КНИГА --sheet ЛИСТ --rows N-M --nodes K1,K2 --column ПОКАЗАТЕЛЬ=K ...\n"
    "            [--run [параметры расчета]]\n"
    "  zurm-calc --convert СТАРЫЙ.mdb НОВЫЙ.mdb [--jet-charset КОДИРОВКА] [--expect ВИД]\n"
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
    "  --text ФАЙЛ        записать текст расчета (Windows-1251, CR LF)\n"
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
    "  --adjustment ТАБЛИЦА\n"
    "                     после расчета двухтрубной сети выполнить наладочный\n"
    "                     расчет вводов потребителей (диафрагмы, элеваторы,\n"
    "                     сопла) и записать его таблицу в ТАБЛИЦА: CSV (.csv:\n"
    "                     UTF-8, поля через \";\", десятичная запятая) или\n"
    "                     книгу Microsoft Excel (.xlsx); постоянные расчета -\n"
    "                     значения по умолчанию, а не из настроек программы\n"
    "  --pressure-check   после сообщения о расчете вывести в stdout проверку\n"
    "                     режима давления в узлах: вакуум, опорожнение систем\n"
    "                     потребителей, давление выше допустимого, вскипание\n"
    "                     воды (по строке на каждое найденное нарушение)\n"
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
    "                     рисования схемы, и записать ее в РИСУНОК (PNG или\n"
    "                     JPEG по окончанию имени: .png, .jpg, .jpeg);\n"
    "                     расчет не выполняется, ФАЙЛ не изменяется\n"
    "  --zoom N           масштаб рисунка в процентах (10-100; по умолчанию 100)\n"
    "  --labels M         надписи: 0 - все узлы (по умолчанию), 1 - начальный\n"
    "                     и конечные узлы, 2 - без надписей\n"
    "  --select N,N,...   выделить узлы с этими номерами (и прямоугольник\n"
    "                     вокруг них, если узлов больше одного); номер,\n"
    "                     которого нет в схеме, не принимается\n"
    "  --load КНИГА       загрузить значения показателей участков из книги\n"
    "                     Microsoft Excel (*.xlsx, *.xls), как окно \"Загрузить\n"
    "                     данные из Microsoft Excel\": участку берутся значения\n"
    "                     первой строки, в колонках узлов которой его номера\n"
    "                     узлов; пустая ячейка - 0; настройки окна не меняются\n"
    "  --sheet ЛИСТ       имя листа книги (регистр букв не важен)\n"
    "  --rows N-M         начальная и конечная строки таблицы данных (1-65536)\n"
    "  --nodes K1,K2      колонки номеров начального и конечного узлов (1-256)\n"
    "  --column П=K       показатель П загружается из колонки K (до 8 раз);\n"
    "                     каждый П должен быть показателем участков\n"
    "  --run              после загрузки выполнить расчет (также, если задан\n"
    "                     --text, --xlsx, --pdf, --graph или --pressure-check)\n"
    "  --convert СТАРЫЙ   преобразовать файл прежних версий программы (база\n"
    "                     данных Microsoft Access, Jet 3 или Jet 4) в новый\n"
    "                     файл НОВЫЙ.mdb, которого еще нет; СТАРЫЙ не\n"
    "                     изменяется. Файл расчета, справочников или настроек\n"
    "                     становится таким же файлом нового формата (файл\n"
    "                     расчета - с настроенной структурой таблиц), таблицы\n"
    "                     иной базы данных переносятся как есть\n"
    "  --jet-charset К    кодировка текста файла Jet 3 (по умолчанию\n"
    "                     WINDOWS-1251; имя кодировки iconv, например CP866)\n"
    "  --expect ВИД       преобразовать, только если СТАРЫЙ - файл этого вида:\n"
    "                     расчет, справочники или настройки\n"
    "  --reference ФАЙЛ   файл справочников (по умолчанию Spr.mdb из папки\n"
    "                     программы)\n"
    "  --help             эта справка\n"
    "\n"
    "Каждый результат (текст, книга, отчет, график, рисунок) заменяет свой файл\n"
    "целиком и только когда записан полностью: при ошибке записи (например,\n"
    "нет места на диске) прежний файл остается. Поэтому файл результата не может\n"
    "быть файлом расчета, справочников или настроек, папкой, символической\n"
    "ссылкой или иным необычным файлом; его папка должна существовать.\n"
    "\n"
    "Код завершения: 0 - успешно, 1 - ошибка в данных расчета (сообщение\n"
    "выводится в stderr), 2 - неверные параметры командной строки.\n";

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A refused command line: the reason and where the parameters are described.
int usageError(const QString& text)
{
    printLine(stderr, text);
    printLine(stderr, QStringLiteral("Описание параметров: zurm-calc --help"));
    return 2;
}

// The files the outputs of one call may never replace.
QList<zurm::KeptFile> keptFiles(const QString& calculationFile, const QString& referenceFile,
                                const QString& settingsFile)
{
    return QList<zurm::KeptFile>{{calculationFile, QStringLiteral("файл расчета")},
                                 {referenceFile, QStringLiteral("файл справочников")},
                                 {settingsFile, QStringLiteral("файл настроек")}}
           + zurm::cli::userProgramFiles();
}

struct CalculationRequest {
    QString textFile;              // --text
    std::optional<int> digits;     // --digits
    QString workbook;              // --xlsx, with ".xlsx" added when missing
    QString pdf;                   // --pdf
    QString adjustment;            // --adjustment, .csv or .xlsx
    bool run = true;               // false: --no-run, the stored results are exported
    std::optional<GraphRequest> graph; // --graph
    bool pressureCheck = false;        // --pressure-check
};

// The pressure regime of the results now in the file, on stdout.
void printPressureCheck(const zurm::DataModule& data)
{
    printLine(stdout, zurm::pressureRegimeText(zurm::checkPressureRegime(data.calculation())));
}


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
                zurm::buildCalculationReport(data, request.digits.value_or(-1));
            const QString problem = zurm::render::writeReportPdf(report, QFileInfo(request.pdf).absoluteFilePath(),
                                                                 nullptr, zurm::documentFiles(data));
            if (!problem.isEmpty()) {
                printLine(stderr, problem);
                return 1;
            }
        }
    } catch (const zurm::Failure& failure) {
        printLine(stderr, failure.text());
        return 1;
    }
    if (!request.adjustment.isEmpty()) {
        try {
            const zurm::AdjustmentTable table = zurm::adjustmentOfCalculation(data);
            if (!table.refusal.isEmpty()) {
                printLine(stderr, table.refusal);
                return 1;
            }
            zurm::writeAdjustmentFile(table.rows, QFileInfo(request.adjustment).absoluteFilePath(),
                                      zurm::documentFiles(data));
        } catch (const zurm::Failure& failure) {
            printLine(stderr, failure.text());
            return 1;
        }
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
    if (request.pressureCheck) {
        if (!data.calculationDone()) {
            printLine(stderr, QStringLiteral("Перед проверкой режима давления необходимо выполнить расчет (Команда: "
                                             "Данные / Выполнить расчет)."));
            return 1;
        }
        try {
            printPressureCheck(data);
        } catch (const zurm::Failure& failure) {
            printLine(stderr, zurm::errorReport(QStringLiteral("Ошибка при проверке режима давления."), failure));
            return 1;
        }
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

    // The text is streamed to a temporary file beside its place and renamed
    // onto it at the end, so a protocol of gigabytes never passes through
    // memory and an old file stays whole until the new one is complete.
    const QString textOut =
        request.textFile.isEmpty() ? QString() : QFileInfo(request.textFile).absoluteFilePath();
    std::optional<zurm::OutputFile> text;
    if (!textOut.isEmpty())
        text.emplace(textOut, QStringLiteral("Текст расчета"), zurm::documentFiles(data));
    // Without a text the run writes none; the name only has to be free.
    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/zurm-calc-XXXXXX"));
    if (!text && !scratch.isValid())
        throw zurm::Failure(QStringLiteral("FileError"), QStringLiteral("Не удалось создать временную папку в ")
                                                            + QDir::tempPath() + QStringLiteral(": ")
                                                            + scratch.errorString());
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
    options.temporaryTextFile = text ? text->temporaryPath() : scratch.filePath(QStringLiteral("calculation.tx_"));
    options.offerTextSave = false;
    options.keepTextInOutcome = false;
    // Asked for the text, the batch run never drops it: answering the question
    // Yes would end in success without the file.
    options.offerRunWithoutText = false;
    options.showCompletion = [](const QString&) {};
    options.takeText = [&text](const QString&) { text->commit(); };
    zurm::RunOutcome outcome;
    try {
        outcome = zurm::runCalculation(data, dialogs, progress, options);
        zurm::clearFlowsLeft(data, mainRows); // when the run did not take them
    } catch (const zurm::Failure& failure) {
        try {
            zurm::clearFlowsLeft(data, mainRows);
        } catch (...) {
        }
        // The text is the only file the run writes itself; the stream names
        // its temporary file, the user knows the file asked for.
        if (!text || failure.className() != QLatin1String("FileError") || failure.text().contains(textOut))
            throw;
        const QString temporary = QDir::toNativeSeparators(text->temporaryPath());
        if (!failure.text().contains(temporary))
            throw zurm::Failure(failure.className(), QStringLiteral("Не удалось записать файл ") + textOut
                                                         + QStringLiteral(": ") + failure.text());
        QString message = failure.text();
        message.replace(temporary, QDir::toNativeSeparators(textOut));
        if (QFileInfo(textOut).isFile())
            message += QStringLiteral(" Прежний файл не изменен.");
        throw zurm::Failure(failure.className(), message);
    }
    whole.commit();
    if (!outcome.succeeded)
        return 1; // the error went to stderr through the dialogs
    printLine(stdout, outcome.successMessage);
    if (request.pressureCheck) {
        try {
            printPressureCheck(data);
        } catch (const zurm::Failure& failure) {
            printLine(stderr, zurm::errorReport(QStringLiteral("Ошибка при проверке режима давления."), failure));
            return 1;
        }
    }
    return request.workbook.isEmpty() && request.pdf.isEmpty() && !request.graph && request.adjustment.isEmpty()
               ? 0
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
        QList<zurm::KeptFile> kept = keptFiles(file, reference, data.resolve(QStringLiteral("Nastr.mdb")));
        if (load)
            kept.append({load->workbook, QStringLiteral("книга, из которой загружаются данные")});
        const QString text = calculation->textFile.isEmpty() ? QString() : QFileInfo(calculation->textFile).absoluteFilePath();
        const QString workbook = calculation->workbook.isEmpty() ? QString() : QFileInfo(calculation->workbook).absoluteFilePath();
        QString problem;
        if (!text.isEmpty())
            problem = zurm::outputPlaceProblem(QStringLiteral("Текст расчета"), text, kept);
        if (problem.isEmpty() && !workbook.isEmpty())
            problem = zurm::outputPlaceProblem(kReportNoun, workbook, kept);
        const QString pdf = calculation->pdf.isEmpty() ? QString() : QFileInfo(calculation->pdf).absoluteFilePath();
        if (problem.isEmpty() && !pdf.isEmpty())
            problem = zurm::outputPlaceProblem(kReportNoun, pdf, kept);
        if (problem.isEmpty() && !text.isEmpty() && text == workbook)
            problem = QStringLiteral("Текст расчета и отчет нельзя записать в один файл ") + text + QLatin1Char('.');
        if (problem.isEmpty() && !pdf.isEmpty() && (pdf == text || pdf == workbook))
            problem = QStringLiteral("Два результата нельзя записать в один файл ") + pdf + QLatin1Char('.');
        const QString graph = calculation->graph ? QFileInfo(calculation->graph->out).absoluteFilePath() : QString();
        if (problem.isEmpty() && !graph.isEmpty())
            problem = zurm::outputPlaceProblem(QStringLiteral("График"), graph, kept);
        if (problem.isEmpty() && !graph.isEmpty() && (graph == text || graph == workbook || graph == pdf))
            problem = QStringLiteral("Два результата нельзя записать в один файл ") + graph + QLatin1Char('.');
        const QString adjustment =
            calculation->adjustment.isEmpty() ? QString() : QFileInfo(calculation->adjustment).absoluteFilePath();
        if (problem.isEmpty() && !adjustment.isEmpty())
            problem = zurm::outputPlaceProblem(zurm::kAdjustmentOutputNoun, adjustment, kept);
        if (problem.isEmpty() && !adjustment.isEmpty()
            && (adjustment == text || adjustment == workbook || adjustment == pdf || adjustment == graph))
            problem = QStringLiteral("Два результата нельзя записать в один файл ") + adjustment + QLatin1Char('.');
        if (!problem.isEmpty()) {
            printLine(stderr, problem);
            return 2;
        }
        if (!calculation->run)
            return exportStoredResults(file, *calculation);
    }
    QString context;
    try {
        zurm::GridLayout layout;
        if (!zurm::cli::openAndPrepareCalculation(data, file, reference, dialogs, progress, layout, context))
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

// The options of the command line; each but --help, --run and --no-run takes a value.
const char* const kValueOptions[] = {"prepare", "reference", "text",  "digits", "xlsx",    "pdf",        "graph",
                                     "main",    "type",      "from",  "to",     "schema",  "zoom",       "labels",
                                     "select",  "load",      "sheet", "rows",   "nodes",   "column",     "convert",
                                     "jet-charset", "expect", "adjustment"};

// The option as the user spelt it, for the message about it.
QString spelling(const QStringList& args, const QString& name)
{
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--"))
            break;
        const QString option = args[i].section(QLatin1Char('='), 0, 0);
        if (option.size() > 1 && option.startsWith(QLatin1Char('-'))
            && QStringView(option).mid(option.startsWith(QLatin1String("--")) ? 2 : 1) == name)
            return option;
    }
    return QStringLiteral("--") + name;
}

// Why QCommandLineParser refused the arguments, in the program's words.
QString parseRefusal(const QCommandLineParser& parser, const QStringList& args)
{
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("Неизвестный параметр ") + spelling(args, parser.unknownOptionNames().constFirst())
               + QLatin1Char('.');
    // The parser stops at the first fault: a value missing at the end, or a
    // value given to an option that takes none.
    const QString& last = args.constLast();
    if (last.startsWith(QLatin1Char('-')) && !last.contains(QLatin1Char('=')))
        return QStringLiteral("Не указано значение после ") + last + QLatin1Char('.');
    for (const QString& arg : args)
        if (arg.startsWith(QLatin1Char('-')) && arg.contains(QLatin1Char('=')))
            return QStringLiteral("Параметр ") + arg.section(QLatin1Char('='), 0, 0)
                   + QStringLiteral(" задается без значения.");
    return QStringLiteral("Неверные параметры командной строки.");
}

// A whole number from `lowest` to `highest`, or nullopt.
std::optional<int> integerIn(const QString& text, int lowest, int highest)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < lowest || number > highest)
        return std::nullopt;
    return number;
}

int runCommand(const QStringList& args)
{
    QCommandLineParser parser;
    // "-text" is "--text", not six one-letter options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    parser.addOption(QCommandLineOption(QStringLiteral("run")));
    parser.addOption(QCommandLineOption(QStringLiteral("no-run")));
    parser.addOption(QCommandLineOption(QStringLiteral("pressure-check")));
    for (const char* name : kValueOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    if (!parser.parse(args))
        return usageError(parseRefusal(parser, args));
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    auto given = [&](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    auto value = [&](const char* name) { return parser.value(QString::fromLatin1(name)); };
    for (const char* name : kValueOptions)
        for (const QString& v : parser.values(QString::fromLatin1(name)))
            if (v.isEmpty())
                return usageError(QStringLiteral("Не указано значение после ")
                                  + spelling(args, QString::fromLatin1(name)) + QLatin1Char('.'));

    const QStringList files = parser.positionalArguments();
    if ((given("jet-charset") || given("expect")) && !given("convert"))
        return usageError(QStringLiteral("Параметры --jet-charset и --expect задаются только с --convert."));
    if (given("convert")) {
        for (const char* name : kValueOptions)
            if (given(name) && std::strcmp(name, "convert") != 0 && std::strcmp(name, "jet-charset") != 0
                && std::strcmp(name, "expect") != 0)
                return usageError(QStringLiteral("Параметр --convert не сочетается с другими параметрами, кроме "
                                                 "--jet-charset и --expect."));
        if (given("run") || given("no-run"))
            return usageError(QStringLiteral("Параметр --convert не сочетается с другими параметрами, кроме "
                                             "--jet-charset и --expect."));
        if (files.size() != 1)
            return usageError(QStringLiteral("Укажите старый и новый файлы: zurm-calc --convert СТАРЫЙ.mdb НОВЫЙ.mdb."));
        std::optional<zurm::DatabaseKind> expected;
        if (given("expect")) {
            const QString kind = value("expect");
            if (kind == QStringLiteral("расчет"))
                expected = zurm::DatabaseKind::Calculation;
            else if (kind == QStringLiteral("справочники"))
                expected = zurm::DatabaseKind::Reference;
            else if (kind == QStringLiteral("настройки"))
                expected = zurm::DatabaseKind::Settings;
            else
                return usageError(QStringLiteral("Вид файла (--expect) задается словом расчет, справочники или "
                                                 "настройки."));
        }
        return zurm::cli::convert(value("convert"), files.constFirst(),
                                  given("jet-charset") ? value("jet-charset").toLatin1() : QByteArray("WINDOWS-1251"),
                                  expected);
    }
    if (files.size() > 1)
        return usageError(QStringLiteral("Указано более одного файла расчета."));
    const QString calculationFile = files.isEmpty() ? QString() : files.constFirst();
    const bool prepareMode = given("prepare");
    const QString referenceFile = value("reference");

    CalculationRequest request;
    request.textFile = value("text");
    request.pdf = value("pdf");
    request.run = !given("no-run");
    request.pressureCheck = given("pressure-check");
    if (given("xlsx"))
        request.workbook = zurm::withXlsxSuffix(value("xlsx"));
    if (given("adjustment")) {
        request.adjustment = value("adjustment");
        if (!zurm::isWorkbookName(request.adjustment)
            && !request.adjustment.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
            return usageError(QStringLiteral("Имя файла наладочного расчета (--adjustment) должно оканчиваться на .csv "
                                             "или .xlsx."));
    }
    if (given("digits")) {
        request.digits = integerIn(value("digits"), 0, 18);
        if (!request.digits)
            return usageError(QStringLiteral("Число знаков (--digits) должно быть целым от 0 до 18."));
    }
    const bool calculationOptions =
        given("text") || given("xlsx") || given("digits") || given("no-run") || given("adjustment")
        || given("pressure-check");

    SchemaRequest schema;
    schema.out = value("schema");
    if (given("zoom")) {
        const std::optional<int> zoom = zurm::parseZoomText(value("zoom"));
        if (!zoom)
            return usageError(QStringLiteral("Масштаб рисунка (--zoom) должен быть целым числом от 10 до 100: ")
                              + value("zoom") + QLatin1Char('.'));
        schema.zoom = *zoom;
    }
    if (given("labels")) {
        const std::optional<int> labels = integerIn(value("labels"), 0, 2);
        if (!labels || value("labels").size() != 1)
            return usageError(QStringLiteral("Надписи на схеме (--labels) задаются числом 0, 1 или 2."));
        schema.labels = *labels;
    }
    if (given("select")) {
        for (const QString& part : value("select").split(QLatin1Char(','))) {
            bool ok = false;
            part.trimmed().toInt(&ok);
            if (!part.trimmed().isEmpty() && !ok)
                return usageError(QStringLiteral("Узлы схемы (--select): \"") + part
                                  + QStringLiteral("\" не является целым числом."));
            schema.select.append(part.trimmed());
        }
    }
    const bool schemaOptions = given("zoom") || given("labels") || given("select");

    GraphRequest graph;
    graph.out = value("graph");
    const struct {
        const char* name;
        int lowest;
        QString refusal;
    } graphNumbers[] = {
        {"main", 1, QStringLiteral("Номер магистрали (--main) должен быть целым от 1 до 32700.")},
        {"type", 0, QStringLiteral("Тип графика (--type) задается целым числом от 0.")},
        {"from", 0, QStringLiteral("Номер узла (--from) должен быть целым от 0 до 32700.")},
        {"to", 0, QStringLiteral("Номер узла (--to) должен быть целым от 0 до 32700.")},
    };
    bool graphOptions = false;
    for (const auto& option : graphNumbers) {
        if (!given(option.name))
            continue;
        const std::optional<int> number = integerIn(value(option.name), option.lowest, 32700);
        if (!number)
            return usageError(option.refusal);
        const QLatin1String name(option.name);
        if (name == QLatin1String("main"))
            graph.main = *number;
        else if (name == QLatin1String("type"))
            graph.type = *number;
        else if (name == QLatin1String("from"))
            graph.from = number;
        else
            graph.to = number;
        graphOptions = true;
    }

    zurm::cli::LoadRequest load;
    for (const char* name : {"load", "sheet", "rows", "nodes"}) {
        if (!given(name))
            continue;
        const QString refusal = zurm::cli::takeLoadOption(QStringLiteral("--") + QLatin1String(name), value(name), load);
        if (!refusal.isEmpty())
            return usageError(refusal);
    }
    // Every --column is taken, in its order.
    for (const QString& column : parser.values(QStringLiteral("column"))) {
        const QString refusal = zurm::cli::takeLoadOption(QStringLiteral("--column"), column, load);
        if (!refusal.isEmpty())
            return usageError(refusal);
    }
    const bool loadOptions = given("sheet") || given("rows") || given("nodes") || given("column");
    const bool runAfterLoad = given("run");

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
        const QString ending = QFileInfo(schema.out).suffix().toLower();
        if (ending == QLatin1String("png"))
            schema.format = "png";
        else if (ending == QLatin1String("jpg") || ending == QLatin1String("jpeg"))
            schema.format = "jpeg";
        else
            return usageError(QStringLiteral("Имя файла рисунка (--schema) должно оканчиваться на .png, .jpg или .jpeg."));
        return drawSchema(calculationFile, referenceFile, schema);
    }
    if (graphOptions && graph.out.isEmpty())
        return usageError(QStringLiteral("Параметры --main, --type, --from и --to задаются только с --graph."));
    if (!graph.out.isEmpty()) {
        if (prepareMode)
            return usageError(QStringLiteral("Параметр --graph не сочетается с --prepare и --schema."));
        const QString ending = QFileInfo(graph.out).suffix().toLower();
        if (ending != QLatin1String("png") && ending != QLatin1String("svg") && ending != QLatin1String("csv"))
            return usageError(QStringLiteral("Имя файла графика должно оканчиваться на .png, .svg или .csv."));
        if (graph.main == 0)
            return usageError(QStringLiteral("Не указан номер магистрали (--main)."));
        graph.digits = request.digits;
        request.graph = graph;
    }
    if (!request.run && request.workbook.isEmpty() && request.pdf.isEmpty() && !request.graph
        && request.adjustment.isEmpty() && !request.pressureCheck)
        return usageError(QStringLiteral("Параметр --no-run задается только с --xlsx, --pdf, --graph, "
                                         "--adjustment или --pressure-check."));
    if (!request.run && !request.textFile.isEmpty())
        return usageError(QStringLiteral("Параметр --no-run не сочетается с --text: расчет не выполняется."));
    if (prepareMode)
        return process(value("prepare"), referenceFile, std::nullopt);
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
    zurm::useDecimalPointInCLibrary();
    return finished(runCommand(QCoreApplication::arguments()));
}
