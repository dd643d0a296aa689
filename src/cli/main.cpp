// zurm-calc: the command-line front of the calculation core.
#include "document/DataModule.h"
#include "document/Failure.h"
#include "document/Sql.h"
#include "document/TableStructure.h"
#include "document/UserDialogs.h"
#include "indicators/IndicatorCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

namespace {

const char* const kUsage =
    "Использование:\n"
    "  zurm-calc --prepare ФАЙЛ [--reference ФАЙЛ]\n"
    "  zurm-calc --help\n"
    "\n"
    "Обрабатывает файл гидравлического расчета (*.mdb) без окон программы.\n"
    "\n"
    "  --prepare ФАЙЛ     проверить определения показателей, построить порядок\n"
    "                     их вычисления и привести столбцы\n"
    "                     таблиц Заг, Табл и КонМаг в соответствие с ними;\n"
    "                     значения сохранившихся столбцов не теряются\n"
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
    std::fputs(out.toUtf8().constData(), stream);
    std::fputc('\n', stream);
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

int prepare(const QString& file, const QString& referenceFile)
{
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QString prepareFile;
    QString referenceFile;
    bool prepareMode = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == QLatin1String("--prepare") || arg == QLatin1String("--reference")) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("Не указан файл после ") + arg + QLatin1Char('.'));
            (arg == QLatin1String("--prepare") ? prepareFile : referenceFile) = args[++i];
            prepareMode = prepareMode || arg == QLatin1String("--prepare");
            continue;
        }
        if (arg.startsWith(QLatin1Char('-')))
            return usageError(QStringLiteral("Неизвестный параметр ") + arg + QLatin1Char('.'));
        return usageError(QStringLiteral("Расчет сети из командной строки пока не поддерживается; используйте --prepare."));
    }
    if (!prepareMode)
        return usageError(QStringLiteral("Не указан файл расчета."));
    return prepare(prepareFile, referenceFile);
}
