// Takes screenshots of the program's windows on the two-pipe example
// calculation: the main window, the calculation parameters, the completion
// dialog and the text viewer, the settings, the network parameters editor
// with its auto-fill dialogs, the graph window, loading from a workbook (the
// report's own workbook), and the help window. Run it under a real display
// server (scripts/screenshots.sh starts one with Xvfb):
//
//   zurm-screenshots OUTPUT_FOLDER CALCULATION.mdb [FONT_SIZE]
//
// FONT_SIZE (8 to 20) sets all four font sizes of the settings.
//
// The program folder is a temporary copy of the delivered files whose settings
// name a copy of the calculation. Questions are answered Yes, and the
// calculation text is saved into the output folder. Every modal window is
// photographed once it has been shown for a moment and then closed.
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/Consumers.h"
#include "entry/SpreadsheetLoad.h"
#include "output/ReportWorkbook.h"
#include "gui/entry/MainWindow.h"
#include "gui/network/AutoFillEndNodesDialog.h"
#include "gui/network/AutoFillNodesDialog.h"
#include "gui/network/MapScaleDialog.h"
#include "gui/network/NetworkEditor.h"
#include "gui/network/SchemaDrawingWindow.h"
#include "gui/output/GraphWindow.h"
#include "gui/platform/Translations.h"
#include "network/ConsumerTableModel.h"
#include "session/DocumentSession.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QSet>
#include <QSqlDatabase>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

class AnsweringDialogs : public zurm::UserDialogs {
public:
    explicit AnsweringDialogs(QString textFile) : textFile_(std::move(textFile)) {}
    void showMessage(const QString& text, zurm::MessageKind) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool askYesNo(const QString&, const QString&) override { return true; }
    std::optional<QString> chooseFileToOpen(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<QString> chooseFileToSave(const QString&, const QString&, const QString&) override
    {
        return textFile_;
    }

private:
    QString textFile_;
};

QString outputFolder;
int saved = 0;

void save(QWidget* widget, const QString& name)
{
    const QString path = QDir(outputFolder).filePath(name + QStringLiteral(".png"));
    if (widget->grab().save(path)) {
        std::printf("%s\n", qPrintable(path));
        ++saved;
    } else {
        std::fprintf(stderr, "Не удалось сохранить %s\n", qPrintable(path));
    }
}

// Photographs and closes the modal windows that come up while `command` runs;
// `before` may set a window up first.
void photographModals(const QMap<QString, QString>& names, const std::function<void()>& command,
                      const std::function<void(QWidget*)>& before = {})
{
    QSet<QWidget*> done;
    QTimer poll;
    poll.setInterval(400);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || done.contains(modal))
            return;
        done.insert(modal);
        if (before)
            before(modal);
        const QString name = names.value(modal->objectName(), modal->objectName());
        save(modal->window(), name);
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    });
    poll.start();
    command();
    poll.stop();
}

// Lets the windows paint. (QApplication::quit would ask every window to close.)
void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool copyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        return false;
    return QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ЗУРМ"));
    const QStringList args = QApplication::arguments();
    zurm::gui::installQtTranslations(app);
    if (args.size() != 3 && args.size() != 4) {
        std::fprintf(stderr, "zurm-screenshots OUTPUT_FOLDER CALCULATION.mdb [FONT_SIZE]\n");
        return 2;
    }
    outputFolder = QFileInfo(args.at(1)).absoluteFilePath();
    QDir().mkpath(outputFolder);

    QTemporaryDir programFolder;
    QTemporaryDir documents;
    const QString binFolder = QApplication::applicationDirPath();
    for (const char* name : {"GidrRas.mdb", "Spr.mdb", "Nastr.mdb"}) {
        if (!copyFile(binFolder + QLatin1Char('/') + QString::fromUtf8(name),
                      programFolder.filePath(QString::fromUtf8(name)))) {
            std::fprintf(stderr, "Нет файла %s рядом с программой.\n", name);
            return 1;
        }
    }
    for (const QString& report : QDir(binFolder).entryList({QStringLiteral("*.rav")}, QDir::Files))
        copyFile(binFolder + QLatin1Char('/') + report, programFolder.filePath(report));
    const QString calculation = documents.filePath(QFileInfo(args.at(2)).fileName());
    if (!copyFile(args.at(2), calculation)) {
        std::fprintf(stderr, "Нет файла %s.\n", qPrintable(args.at(2)));
        return 1;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("screenshots"));
        db.setDatabaseName(programFolder.filePath(QStringLiteral("Nastr.mdb")));
        if (!db.open())
            return 1;
        zurm::execSql(db, QStringLiteral("UPDATE [Настройки] SET [ФайлГР] = ?, [СохрТекстРас] = 1"), {calculation});
        if (args.size() == 4)
            zurm::execSql(db,
                          QStringLiteral("UPDATE [Настройки] SET [РШрифтаВТД] = ?, [РШрифтаВЗагКолТД] = ?, "
                                         "[РШрифтаНаимПок] = ?, [РШрифтаГр] = ?"),
                          {args.at(3).toInt(), args.at(3).toInt(), args.at(3).toInt(), args.at(3).toInt()});
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("screenshots"));
    {
        // A map named relative to the program folder is taken from beside this
        // program: the copy of the calculation names it by its full path.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("screenshots-map"));
        db.setDatabaseName(calculation);
        if (!db.open())
            return 1;
        const QString map = zurm::selectValue(db, QStringLiteral("SELECT [Карта] FROM [НазвРасч]")).toString();
        if (!map.isEmpty() && QFileInfo(map).isRelative())
            zurm::execSql(db, QStringLiteral("UPDATE [НазвРасч] SET [Карта] = ?"),
                          {QDir(binFolder).absoluteFilePath(map)});
        // Consumers at some end nodes of the district, for the adjustment window.
        zurm::ensureConsumerTables(db);
        zurm::execSql(db, QStringLiteral(
            "INSERT OR REPLACE INTO [Потребители] ([КонУзел], [НаимПотр], [СхемаПрис], [ПотНСист], [ВысЗд], [ТСмеш], "
            "[НапТреб]) VALUES (10, 'Школа № 5', 0, 1.5, 12, 95, NULL), (102, 'Жилой дом, ул. Мира, 3', 1, NULL, 15, "
            "NULL, 20), (103, 'Баня', 2, NULL, 6, NULL, 50), (202, 'Детский сад № 12', 0, 1.2, 9, 95, NULL), "
            "(204, 'Поликлиника', 3, NULL, 12, NULL, 15), (205, 'Жилой дом, ул. Садовая, 8', 0, 8, 27, 95, NULL), "
            "(301, 'Магазин', 1, NULL, 5, NULL, 37.5), (403, 'Жилой дом, ул. Лесная, 1', 0, 1.2, 15, 135, NULL)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("screenshots-map"));

    AnsweringDialogs dialogs(documents.filePath(QStringLiteral("Текст расчета.txt")));
    zurm::gui::MainWindow window(programFolder.path(), &dialogs);
    window.resize(1280, 800);
    window.show();
    QApplication::processEvents();
    wait(1500);
    save(&window, QStringLiteral("1-main-window"));

    auto trigger = [&window](const char* name) {
        return [&window, name] {
            if (QAction* action = window.findChild<QAction*>(QString::fromUtf8(name)); action && action->isEnabled())
                action->trigger();
            else
                std::fprintf(stderr, "Команда %s недоступна.\n", name);
        };
    };
    photographModals({{QStringLiteral("TParRForm"), QStringLiteral("2-calculation-parameters")}},
                     trigger("miDataParR"));
    photographModals({{QStringLiteral("VigrV_TXTForm"), QStringLiteral("4-text-viewer")},
                      {QStringLiteral("RasVipForm"), QStringLiteral("3-completion")}},
                     trigger("miDataVipRas"));
    photographModals({{QStringLiteral("TNastrProgForm"), QStringLiteral("5-settings")}}, trigger("miNastrNP"));
    photographModals({{QStringLiteral("TParTSForm"), QStringLiteral("8-network-editor")}}, trigger("miDataParTS"));
    save(&window, QStringLiteral("6-main-window-after-run"));
    photographModals({{QStringLiteral("TNalRasForm"), QStringLiteral("22-adjustment")}}, trigger("miDataNalRas"));
    photographModals({{QStringLiteral("ReportPreview"), QStringLiteral("16-report-preview")}}, trigger("miDataFormOtsh"));
    {
        // The network editor's two auto-fill dialogs, as its commands open them.
        zurm::gui::AutoFillNodesDialog nodes(window.session(), &window);
        nodes.prepareAddMissing(true);
        nodes.show();
        wait(700);
        save(&nodes, QStringLiteral("9-auto-fill-nodes"));
        nodes.reject();
        zurm::gui::AutoFillEndNodesDialog ends(window.session(), &window);
        ends.prepare(true, true, true);
        ends.show();
        if (auto* box = ends.findChild<QCheckBox*>(QStringLiteral("cbDeltaT")))
            box->click();
        wait(700);
        save(&ends, QStringLiteral("10-auto-fill-end-nodes"));
        ends.reject();
    }
    {
        // The map scale dialog of the drawing window's menu "Карта".
        zurm::gui::MapScaleDialog scale(window.session().data(), dialogs, &window);
        photographModals({{QStringLiteral("TKartaScaleForm"), QStringLiteral("11-map-scale")}}, [&scale] { scale.run(); });
    }
    {
        // The drawing window over the district's map, every node selected, and
        // the renaming dialog of the selection.
        zurm::gui::SchemaDrawingWindow drawing(window.session(), dialogs, &window);
        drawing.prepare();
        drawing.show();
        drawing.chooseItem(zurm::kOperSelectAll);
        wait(1000);
        save(&drawing, QStringLiteral("12-drawing-window"));
        photographModals({{QStringLiteral("TRenameUzForm"), QStringLiteral("13-rename-nodes")}},
                         [&drawing] { drawing.chooseItem(zurm::kOperRenameNodes); });
        drawing.reject();
    }
    {
        // The graph window after the run: the piezometric graph of the longest
        // main, then its flows in black and white.
        zurm::gui::GraphWindow graphs(window.session().data(), dialogs, &window);
        if (graphs.prepare(window.fontSizes().graphs)) {
            auto* mains = graphs.findChild<QComboBox*>(QStringLiteral("cbMag"));
            auto* starts = graphs.findChild<QComboBox*>(QStringLiteral("cbNachUz"));
            int longest = 0, longestCount = 0;
            for (int i = 0; i < mains->count(); ++i) {
                mains->setCurrentIndex(i);
                if (starts->count() > longestCount) {
                    longest = i;
                    longestCount = starts->count();
                }
            }
            mains->setCurrentIndex(longest);
            graphs.resize(1200, 800);
            graphs.show();
            graphs.generate();
            wait(700);
            save(&graphs, QStringLiteral("14-graph-heads"));
            graphs.findChild<QCheckBox*>(QStringLiteral("cbBW"))->setChecked(true);
            graphs.generate();
            wait(700);
            save(&graphs, QStringLiteral("14-graph-heads-black-and-white"));
            graphs.findChild<QCheckBox*>(QStringLiteral("cbBW"))->setChecked(false);
            graphs.findChild<QComboBox*>(QStringLiteral("cbTipGr"))->setCurrentIndex(4);
            graphs.findChild<QCheckBox*>(QStringLiteral("cbBW"))->setChecked(true);
            graphs.generate();
            wait(700);
            save(&graphs, QStringLiteral("15-graph-flows-black-and-white"));
            graphs.reject();
        }
    }
    // A workbook to load from: the report of the finished run, named in the
    // remembered settings of the load window.
    const QString workbook = documents.filePath(QStringLiteral("Отчет.xlsx"));
    try {
        zurm::SilentProgress quiet;
        zurm::writeReportWorkbook(window.session().data(), workbook, quiet);
        zurm::LoadSettings load;
        load.workbook = workbook;
        load.firstRow = QStringLiteral("8");
        load.lastRow = QStringLiteral("40");
        load.startColumn = QStringLiteral("2");
        load.endColumn = QStringLiteral("3");
        load.names[0] = QStringLiteral("РасхПод");
        load.columns[0] = QStringLiteral("6");
        load.names[1] = QStringLiteral("ДлНаУчПод");
        load.columns[1] = QStringLiteral("4");
        zurm::storeLoadSettings(window.session().data().settings(), load);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    photographModals({{QStringLiteral("TDiamTrPrForm"), QStringLiteral("18-reference-diameters")}},
                     trigger("miSpravoshDiamTrPr"));
    // Opening repeated entry clears the calculation-done flag: it comes last.
    photographModals({{QStringLiteral("TVvPovtDForm"), QStringLiteral("17-repeated-entry")}}, trigger("miDataVvPovtD"));
    photographModals({{QStringLiteral("TLoadFromMEForm"), QStringLiteral("19-load-from-spreadsheet")}},
                     trigger("miDataLoadFromME"));
    // The editor's consumers tab with a few consumers typed (the results go
    // stale: it comes after the windows that need them), and their load window.
    photographModals(
        {{QStringLiteral("TParTSForm"), QStringLiteral("20b-network-editor-consumer-values")}}, trigger("miDataParTS"),
        [](QWidget* modal) {
            auto* editor = qobject_cast<zurm::gui::NetworkEditor*>(modal);
            if (!editor)
                return;
            zurm::ConsumerTableModel* model = editor->consumerModel();
            const char* names[] = {"Школа № 12", "Жилой дом, ул. Садовая, 5", "Поликлиника"};
            for (int row = 0; row < model->rowCount() && row < 3; ++row) {
                using C = zurm::ConsumerTableModel;
                model->setData(model->index(row, C::Name), QString::fromUtf8(names[row]));
                model->setData(model->index(row, C::Scheme), row);
                model->setData(model->index(row, C::SystemLoss), 1.0 + row);
                model->setData(model->index(row, C::BuildingHeight), 12.0 + 6 * row);
                if (row == 0)
                    model->setData(model->index(row, C::MixedTemperature), 95.0);
                else
                    model->setData(model->index(row, C::RequiredHead), 10.0 + 5 * row);
            }
            auto* tabs = editor->findChild<QTabWidget*>(QStringLiteral("tcTabl"));
            tabs->setCurrentIndex(tabs->count() - 1);
            wait(700);
            save(editor, QStringLiteral("20-network-editor-consumers"));
            if (auto* values = editor->findChild<QTableView*>(QStringLiteral("DGPotr")))
                values->horizontalScrollBar()->setValue(values->horizontalScrollBar()->maximum());
            wait(300);
            QTimer::singleShot(1000, [] {
                if (QWidget* load = QApplication::activeModalWidget()) {
                    save(load, QStringLiteral("21-load-consumers"));
                    if (auto* dialog = qobject_cast<QDialog*>(load))
                        dialog->reject();
                }
            });
            if (auto* action = editor->findChild<QAction*>(QStringLiteral("miEditLoadPotr")))
                action->trigger();
        });
    trigger("miHlp")();
    wait(1000);
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->objectName() == QStringLiteral("HelpForm"))
            save(top, QStringLiteral("7-help"));
    window.close();
    return saved >= 5 ? 0 : 1;
}
