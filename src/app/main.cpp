#include "gui/entry/MainWindow.h"
#include "gui/platform/Translations.h"
#include "platform/CNumericLocale.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

namespace {

const char* const kUsage =
    "Использование: zurm [ФАЙЛ]\n"
    "\n"
    "ЗУРМ - гидравлический расчет водяных тепловых сетей.\n"
    "\n"
    "  ФАЙЛ           файл расчета (*.mdb), который открывается при запуске так же,\n"
    "                 как командой \"Открыть расчет\"; без него открывается расчет,\n"
    "                 с которым программа работала в прошлый раз\n"
    "  -h, --help     эта справка\n"
    "  -v, --version  версия программы\n";
const char* const kVersion = "ЗУРМ 1.4 от " ZURM_BUILD_DATE "\n";

enum class Request { Window, Help, Version, Refused };

struct CommandLine {
    Request request = Request::Window;
    QString file;
    QString refusal;
};

CommandLine parse(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("version")}));
    CommandLine line;
    if (!parser.parse(args)) {
        line.request = Request::Refused;
        line.refusal = QStringLiteral("Неверные параметры командной строки.");
        if (!parser.unknownOptionNames().isEmpty()) {
            // Named as the user spelt it, with its dashes.
            const QString name = parser.unknownOptionNames().constFirst();
            QString spelt = QStringLiteral("--") + name;
            for (const QString& arg : args.mid(1)) {
                const QString option = arg.section(QLatin1Char('='), 0, 0);
                const qsizetype dashes = option.startsWith(QLatin1String("--")) ? 2 : 1;
                if (option.startsWith(QLatin1Char('-')) && QStringView(option).mid(dashes) == name) {
                    spelt = option;
                    break;
                }
            }
            line.refusal = QStringLiteral("Неизвестный параметр ") + spelt + QLatin1Char('.');
        }
        return line;
    }
    if (parser.isSet(QStringLiteral("help")))
        line.request = Request::Help;
    else if (parser.isSet(QStringLiteral("version")))
        line.request = Request::Version;
    else if (parser.positionalArguments().size() > 1) {
        line.request = Request::Refused;
        line.refusal = QStringLiteral("Указано более одного файла расчета.");
    } else if (!parser.positionalArguments().isEmpty())
        // A name on the command line is relative to the current directory,
        // not to the program folder.
        line.file = QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
    return line;
}

// Help and version go to stdout and end the program; a refusal goes to stderr.
int answer(const CommandLine& line)
{
    if (line.request == Request::Help)
        std::fputs(kUsage, stdout);
    else if (line.request == Request::Version)
        std::fputs(kVersion, stdout);
    else {
        std::fputs(qPrintable(line.refusal + QStringLiteral("\nОписание параметров: zurm --help\n")), stderr);
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // --help and --version are answered before a window system is needed, so
    // that they work on a console without a display too. Qt's own options
    // (-platform, -style ...) are known only to QApplication: a line with them
    // is judged once it has taken them away.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine early = parse(raw);
    if (early.request == Request::Help || early.request == Request::Version)
        return answer(early);

    QApplication app(argc, argv);
    zurm::useDecimalPointInCLibrary();
    QApplication::setApplicationName(QStringLiteral("ЗУРМ"));
    const CommandLine line = parse(QCoreApplication::arguments());
    if (line.request != Request::Window)
        return answer(line);
    zurm::gui::installQtTranslations(app);
    zurm::gui::MainWindow window;
    if (!line.file.isEmpty())
        window.openOnStart(line.file);
    window.show();
    return app.exec();
}
