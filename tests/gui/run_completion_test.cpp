// The end of a calculation run in the main window: the completion dialog with
// its message and follow-up choices, and the saved calculation text in the
// viewer.
#include "base/Failure.h"
#include "gui/entry/MainWindow.h"
#include "gui/hydraulics/CompletionDialog.h"
#include "gui/hydraulics/TextViewer.h"
#include "hydraulics/PressureRegime.h"
#include "output/CalculationReport.h"
#include "output/ReportWorkbook.h"
#include "platform/Cp1251.h"
#include "platform/XlsxReader.h"
#include "support/ModalWindows.h"
#include "support/SampleWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest/QtTest>

using zurm::test::SampleWindow;
using zurm::test::clickThroughWindow;
using zurm::test::closedByInput;
using zurm::test::keyThroughWindow;
using zurm::test::whenShown;

namespace {

const char* const kFollowUps[] = {"miDataFormOtsh", "miDataVigrV_ME", "miDataGr"};
const char* const kBoxes[] = {"cbFormOtch", "cbVigrV_ME", "cbGr"};

void runCalculation(SampleWindow& setup, zurm::gui::MainWindow& window)
{
    setup.dialogs.answers = {true};
    window.findChild<QAction*>(QStringLiteral("miDataVipRas"))->trigger();
}

// The output commands offered after a run, enabled or disabled as given.
QList<QAction*> followUpCommands(zurm::gui::MainWindow& window, bool enabled)
{
    QList<QAction*> commands;
    for (const char* name : kFollowUps) {
        QAction* command = window.findChild<QAction*>(QString::fromUtf8(name));
        command->setEnabled(enabled);
        commands.append(command);
    }
    return commands;
}

QString viewedText(const QByteArray& fileBytes)
{
    return zurm::fromCp1251(fileBytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The text of each page of a PDF file.
QStringList pdfPages(const QString& file)
{
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), file, QStringLiteral("-")});
    text.waitForFinished(60000);
    QStringList pages = QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Every row of the tables a run writes, as text.
QStringList tableRows(const SampleWindow& setup)
{
    const zurm::test::FileAccess file = setup.file();
    QStringList rows;
    for (const char* table : {"НазвРасч", "Заг", "Табл", "КонМаг"}) {
        QStringList columns;
        for (const QString& column : file.columnNames(QString::fromUtf8(table)))
            columns.append(QStringLiteral("quote([") + column + QStringLiteral("])"));
        rows += file.strings(QStringLiteral("SELECT ") + columns.join(QStringLiteral("||'|'||")) + QStringLiteral(" FROM [")
                             + QString::fromUtf8(table) + QStringLiteral("] ORDER BY rowid"));
    }
    return rows;
}

} // namespace

class RunCompletionTest : public QObject {
    Q_OBJECT
private slots:
    // A run is stopped by its button, by Esc or by closing the window, each
    // after a question; the file is then as it was before the run, and a
    // window closed during the run closes once the run has stopped.
    void stoppingTheRun_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("question");
        const QString stop = QStringLiteral("Выполнить расчет|Прервать расчет? Файл гидравлического расчета останется "
                                            "таким, каким был до начала расчета.");
        QTest::newRow("button") << "button" << stop;
        QTest::newRow("escape") << "escape" << stop;
        QTest::newRow("close") << "close" << QStringLiteral("Выполнить расчет|Идет расчет. Прервать расчет и закрыть "
                                                            "программу?");
    }
    void stoppingTheRun()
    {
        QFETCH(QString, how);
        QFETCH(QString, question);
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("СохрТекстРас=0"));
        setup.file().exec(QStringLiteral("UPDATE Заг SET ПНапНаУзПод = ПНапНаУзПод + 10"));
        setup.file().exec(QStringLiteral("UPDATE НазвРасч SET РВ = 0"));
        auto window = setup.show();
        const QStringList before = tableRows(setup);
        bool acted = false;
        QTimer during;
        during.setInterval(0);
        connect(&during, &QTimer::timeout, this, [&] {
            auto* button = window->findChild<QPushButton*>(QStringLiteral("btnStopRun"));
            if (!button || acted)
                return;
            acted = true;
            if (how == QStringLiteral("button"))
                clickThroughWindow(button);
            else if (how == QStringLiteral("escape"))
                keyThroughWindow(window.get(), Qt::Key_Escape);
            else
                window->close();
        });
        during.start();
        // A run that was not stopped ends in its completion dialog.
        const QPointer<QTimer> completion =
            whenShown(QStringLiteral("RasVipForm"), [](QWidget* dialog) { dialog->close(); });
        setup.dialogs.answers = {true, true};
        window->findChild<QAction*>(QStringLiteral("miDataVipRas"))->trigger();
        during.stop();
        delete completion;
        QVERIFY(acted);
        QCOMPARE(setup.dialogs.questions.size(), 2);
        QCOMPARE(setup.dialogs.questions[1], question);
        QCOMPARE(tableRows(setup), before);
        QVERIFY(!window->session().data().calculationDone());
        QVERIFY(!window->findChild<QPushButton*>(QStringLiteral("btnStopRun")));
        QCOMPARE(window->isVisible(), how != QStringLiteral("close"));
        QVERIFY(window->menuBar()->isEnabled());
    }

    void completionDialogShowsTheMessage()
    {
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("СохрТекстРас=0, РШрифтаВТД=13"));
        auto window = setup.show();
        QString message, caption, group, regimeGroup, regime;
        QStringList boxes;
        bool readOnly = false;
        int font = 0, regimeFont = 0;
        whenShown(QStringLiteral("RasVipForm"), [&](QWidget* dialog) {
            caption = dialog->windowTitle();
            auto* memo = dialog->findChild<QPlainTextEdit*>(QStringLiteral("mmRasVip"));
            message = memo->toPlainText();
            readOnly = memo->isReadOnly();
            font = memo->font().pointSize();
            group = dialog->findChild<QGroupBox*>()->title();
            regimeGroup = dialog->findChild<QGroupBox*>(QStringLiteral("gbRezhDavl"))->title();
            auto* regimeBox = dialog->findChild<QPlainTextEdit*>(QStringLiteral("mmRezhDavl"));
            regime = regimeBox->toPlainText();
            regimeFont = regimeBox->isReadOnly() ? regimeBox->font().pointSize() : -1;
            for (const char* name : kBoxes) {
                auto* box = dialog->findChild<QCheckBox*>(QString::fromUtf8(name));
                boxes.append(box->text() + (box->isChecked() ? QStringLiteral("+") : QString()));
            }
            clickThroughWindow(dialog->findChild<QPushButton*>(QStringLiteral("btnOK")));
            QVERIFY(closedByInput(dialog));
        });
        runCalculation(setup, *window);
        QVERIFY2(window->session().data().calculationDone(), qPrintable(setup.dialogs.messages.join(QLatin1Char('|'))));
        QCOMPARE(caption, QStringLiteral("ЗУРМ"));
        QVERIFY2(message.startsWith(QStringLiteral("Расчет выполнен успешно.")), qPrintable(message));
        QVERIFY(!message.contains(QLatin1Char('\r')));
        QVERIFY(readOnly);
        QCOMPARE(font, 13);
        QCOMPARE(group, QStringLiteral("Далее следует"));
        QCOMPARE(regimeGroup, QStringLiteral("Режим давления"));
        QCOMPARE(regime, zurm::pressureRegimeText(zurm::checkPressureRegime(window->session().data().calculation()))
                             .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QVERIFY2(regime.startsWith(QStringLiteral("Вакуум в подающем")), qPrintable(regime));
        QCOMPARE(regimeFont, 13);
        QCOMPARE(boxes, (QStringList{"Формировать отчет", "Выгрузить отчет в Microsoft Excel", "Формировать график"}));
        // With the text off there is no save dialog and no message besides the question.
        QVERIFY(setup.dialogs.fileRequests.isEmpty());
        QVERIFY(setup.dialogs.messages.isEmpty());
        QCOMPARE(window->statusText(), QStringLiteral("Расчет выполнен."));
        QVERIFY(window->menuBar()->isEnabled());
    }

    // The output commands are started only after "OK", in the order report,
    // spreadsheet, graphs, and only those ticked.
    void followUpsStartAfterOkOnly_data()
    {
        QTest::addColumn<QString>("closeWith");
        QTest::addColumn<QList<bool>>("ticked");
        QTest::addColumn<QStringList>("started");
        QTest::addColumn<int>("result");
        QTest::newRow("ok, all") << "ok" << QList<bool>{true, true, true}
                                 << QStringList{"miDataFormOtsh", "miDataVigrV_ME", "miDataGr"} << 1;
        QTest::newRow("ok, graphs and report") << "ok" << QList<bool>{true, false, true}
                                               << QStringList{"miDataFormOtsh", "miDataGr"} << 1;
        QTest::newRow("ok, spreadsheet") << "ok" << QList<bool>{false, true, false} << QStringList{"miDataVigrV_ME"}
                                         << 1;
        QTest::newRow("ok, none") << "ok" << QList<bool>{false, false, false} << QStringList{} << 1;
        QTest::newRow("window button") << "close" << QList<bool>{true, true, true} << QStringList{} << 2;
        QTest::newRow("escape") << "escape" << QList<bool>{true, true, true} << QStringList{} << 2;
    }
    void followUpsStartAfterOkOnly()
    {
        QFETCH(QString, closeWith);
        QFETCH(QList<bool>, ticked);
        QFETCH(QStringList, started);
        QFETCH(int, result);
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("СохрТекстРас=0"));
        auto window = setup.show();
        // Stand-ins for the output windows: the commands record that they ran
        // and whether the run had finished by then (instead of their own work).
        QStringList ran;
        for (QAction* command : followUpCommands(*window, true)) {
            disconnect(command, &QAction::triggered, nullptr, nullptr);
            connect(command, &QAction::triggered, this, [&ran, &window, name = command->objectName()] {
                ran.append(name);
                QVERIFY(window->session().data().calculationDone());
                QVERIFY(window->menuBar()->isEnabled());
            });
        }
        // Run twice: the second time the boxes start cleared again.
        for (int pass = 0; pass < 2; ++pass) {
            ran.clear();
            QList<bool> boxesAtStart;
            QList<bool> boxesTicked;
            QPointer<QDialog> shownDialog;
            whenShown(QStringLiteral("RasVipForm"), [&](QWidget* dialog) {
                shownDialog = qobject_cast<QDialog*>(dialog);
                for (int i = 0; i < 3; ++i) {
                    auto* box = dialog->findChild<QCheckBox*>(QString::fromUtf8(kBoxes[i]));
                    boxesAtStart.append(box->isChecked());
                    if (box->isChecked() != ticked[i])
                        clickThroughWindow(box);
                    boxesTicked.append(box->isChecked());
                }
                if (closeWith == QStringLiteral("ok"))
                    clickThroughWindow(dialog->findChild<QPushButton*>(QStringLiteral("btnOK")));
                else if (closeWith == QStringLiteral("close"))
                    dialog->close();
                else
                    keyThroughWindow(dialog, Qt::Key_Escape);
                QVERIFY(closedByInput(dialog));
            });
            // The graphs open their window: closed at once.
            QPointer<QTimer> graphWindow;
            if (started.contains(QStringLiteral("miDataGr")))
                graphWindow = whenShown(QStringLiteral("TGrForm"), [](QWidget* shown) { static_cast<QDialog*>(shown)->reject(); });
            runCalculation(setup, *window);
            delete graphWindow;
            QCOMPARE(boxesAtStart, (QList<bool>{false, false, false}));
            QCOMPARE(boxesTicked, ticked);
            QVERIFY(shownDialog);
            QCOMPARE(shownDialog->result(), result);
            QCOMPARE(ran, started);
        }
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    // Commands whose windows do not exist yet are disabled: ticking them starts nothing.
    void disabledOutputCommandsAreNotStarted()
    {
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("СохрТекстРас=0"));
        auto window = setup.show();
        QStringList ran;
        for (QAction* command : followUpCommands(*window, false))
            connect(command, &QAction::triggered, this, [&ran, name = command->objectName()] { ran.append(name); });
        whenShown(QStringLiteral("RasVipForm"), [&](QWidget* dialog) {
            for (const char* name : kBoxes)
                clickThroughWindow(dialog->findChild<QCheckBox*>(QString::fromUtf8(name)));
            clickThroughWindow(dialog->findChild<QPushButton*>(QStringLiteral("btnOK")));
            QVERIFY(closedByInput(dialog));
        });
        runCalculation(setup, *window);
        QVERIFY(window->session().data().calculationDone());
        QVERIFY(ran.isEmpty());
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    // The spreadsheet export: refused before a run; ticked in the completion
    // dialog it asks for the name, writes the workbook and opens it.
    void spreadsheetFollowUpWritesTheWorkbook()
    {
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("СохрТекстРас=0"));
        auto window = setup.show();
        QAction* command = window->findChild<QAction*>(QStringLiteral("miDataVigrV_ME"));
        QVERIFY(command->isEnabled());
        command->trigger();
        QCOMPARE(setup.dialogs.messages, QStringList{zurm::kExportNeedsCalculation});
        QVERIFY(setup.dialogs.fileRequests.isEmpty());
        setup.dialogs.messages.clear();

        setup.dialogs.files = {setup.docs(QStringLiteral("report"))};
        whenShown(QStringLiteral("RasVipForm"), [&](QWidget* dialog) {
            clickThroughWindow(dialog->findChild<QCheckBox*>(QStringLiteral("cbVigrV_ME")));
            clickThroughWindow(dialog->findChild<QPushButton*>(QStringLiteral("btnOK")));
            QVERIFY(closedByInput(dialog));
        });
        runCalculation(setup, *window);
        const QString workbook = setup.docs(QStringLiteral("report.xlsx"));
        QCOMPARE(setup.dialogs.openedFiles, QStringList{workbook});
        QCOMPARE(zurm::XlsxReader(workbook).sheetNames(), QStringList{QStringLiteral("ЗУРМ")});
        QVERIFY(setup.dialogs.messages.isEmpty());
        QVERIFY(window->menuBar()->isEnabled());
        QCOMPARE(window->statusText(), QStringLiteral("Расчет выполнен."));
    }

    // The printed report: refused before a run; ticked in the completion
    // dialog it shows the preview of the filled definition.
    void reportFollowUpShowsThePreview()
    {
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("СохрТекстРас=0"));
        auto window = setup.show();
        window->findChild<QAction*>(QStringLiteral("miDataFormOtsh"))->trigger();
        QCOMPARE(setup.dialogs.messages, QStringList{zurm::kReportNeedsCalculation});
        setup.dialogs.messages.clear();
        QString previewTitle;
        whenShown(QStringLiteral("RasVipForm"), [&](QWidget* dialog) {
            whenShown(QStringLiteral("ReportPreview"), [&](QWidget* preview) {
                previewTitle = preview->windowTitle();
                static_cast<QDialog*>(preview)->reject();
            });
            clickThroughWindow(dialog->findChild<QCheckBox*>(QStringLiteral("cbFormOtch")));
            clickThroughWindow(dialog->findChild<QPushButton*>(QStringLiteral("btnOK")));
            QVERIFY(closedByInput(dialog));
        });
        runCalculation(setup, *window);
        QCOMPARE(previewTitle, QStringLiteral("Гидравлический расчет теплосети"));
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    // The desktop's print and zurm-calc --pdf lay the two-pipe example out
    // alike: the same pages with the same rows on each, every part of its 45
    // segments on one page.
    void desktopPrintAndPdfBreakThePagesAlike()
    {
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("СохрТекстРас=0"));
        QFile::remove(setup.calculation);
        QVERIFY(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/district_two_pipe.mdb"), setup.calculation));
        QFile::setPermissions(setup.calculation, QFile::ReadOwner | QFile::WriteOwner);
        const QString pdf = setup.docs(QStringLiteral("zurm-calc.pdf"));
        QProcess zurmCalc;
        zurmCalc.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"), {setup.calculation, QStringLiteral("--pdf"), pdf});
        QVERIFY(zurmCalc.waitForFinished(120000));
        QCOMPARE(zurmCalc.exitCode(), 0);

        auto window = setup.show();
        const QString printed = setup.docs(QStringLiteral("printer.pdf"));
        int previewPages = -1;
        whenShown(QStringLiteral("ReportPreview"), [&](QWidget* preview) {
            auto* dialog = static_cast<QPrintPreviewDialog*>(preview);
            auto* view = dialog->findChild<QPrintPreviewWidget*>();
            previewPages = view->pageCount();
            // The preview's own printer, sent to a file instead of paper.
            dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
            dialog->printer()->setOutputFileName(printed);
            view->print();
            dialog->reject();
        });
        window->findChild<QAction*>(QStringLiteral("miDataFormOtsh"))->trigger();
        const QStringList pages = pdfPages(pdf);
        QCOMPARE(pdfPages(printed), pages);
        QCOMPARE(previewPages, int(pages.size()));
        QCOMPARE(pages.size(), 6);
    }

    void viewerShowsTheSavedText()
    {
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("СохрТекстРас=1, РШрифтаВТД=12"));
        auto window = setup.show();
        const QString saved = setup.docs(QStringLiteral("protocol.txt"));
        setup.dialogs.files = {setup.docs(QStringLiteral("protocol"))};

        QString caption, shown, status;
        int font = 0;
        bool wraps = true;
        bool readOnly = false;
        QStringList menu;
        QPointer<QPlainTextEdit> memo;
        bool completionShown = false;
        whenShown(QStringLiteral("VigrV_TXTForm"), [&](QWidget* viewer) {
            caption = viewer->windowTitle();
            memo = viewer->findChild<QPlainTextEdit*>(QStringLiteral("mmRasTXT"));
            shown = memo->toPlainText();
            font = memo->font().pointSize();
            wraps = memo->lineWrapMode() != QPlainTextEdit::NoWrap;
            readOnly = memo->isReadOnly();
            status = window->statusText();
            for (QAction* action : viewer->findChild<QMenuBar*>()->actions())
                menu.append(action->text());
            // The completion dialog comes after the viewer has closed.
            completionShown = window->findChild<QWidget*>(QStringLiteral("RasVipForm"))
                              && window->findChild<QWidget*>(QStringLiteral("RasVipForm"))->isVisible();
            viewer->findChild<QAction*>(QStringLiteral("miClose"))->trigger();
        });
        whenShown(QStringLiteral("RasVipForm"), [&](QWidget* dialog) { dialog->close(); });
        runCalculation(setup, *window);

        QVERIFY2(window->session().data().calculationDone(), qPrintable(setup.dialogs.messages.join(QLatin1Char('|'))));
        QCOMPARE(setup.dialogs.fileRequests.size(), 1);
        QCOMPARE(setup.dialogs.fileRequests[0].title, QStringLiteral("Сохранить текст расчета как..."));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith(zurm::toCp1251(QStringLiteral("ГИДРАВЛИЧЕСКИЙ РАСЧЕТ ТЕПЛОСЕТИ\r\n"))));
        QCOMPARE(shown, viewedText(bytes));
        QVERIFY(caption.endsWith(QStringLiteral("protocol.txt")));
        QCOMPARE(font, 12);
        QVERIFY(!wraps);
        QVERIFY(readOnly);
        QVERIFY(status.isEmpty());
        QCOMPARE(menu, (QStringList{"Закрыть", "?"}));
        QVERIFY(!completionShown);
        // The text box is emptied when the viewer closes.
        QVERIFY(memo);
        QVERIFY(memo->toPlainText().isEmpty());
        // The temporary text is gone; the saved one stays.
        QVERIFY(!QFile::exists(setup.program(QStringLiteral("~$.tx_"))));
        QVERIFY(QFile::exists(saved));
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    // Texts beyond the limit are shown up to the last whole line within it,
    // with a note naming the file; shorter ones exactly.
    void viewerLoadsLargeTextsInPart_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<int>("shownLines");
        QTest::addColumn<bool>("noted");
        // Each line is "Строка nnnnn" (12 characters) and CR LF: 14 bytes.
        QTest::newRow("below the limit") << 100 << qint64(100 * 14) << 100 << false;
        QTest::newRow("cut on a line end") << 100 << qint64(50 * 14) << 50 << true;
        QTest::newRow("cut inside a line") << 100 << qint64(50 * 14 + 5) << 50 << true;
    }
    void viewerLoadsLargeTextsInPart()
    {
        QFETCH(int, lines);
        QFETCH(qint64, limit);
        QFETCH(int, shownLines);
        QFETCH(bool, noted);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.txt"));
        QStringList all;
        for (int i = 0; i < lines; ++i)
            all.append(QStringLiteral("Строка %1").arg(i, 5, 10, QLatin1Char('0')));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(zurm::toCp1251(all.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
        }
        zurm::gui::TextViewer viewer;
        viewer.setShownBytesLimit(limit);
        viewer.load(path);
        const QString shown = viewer.findChild<QPlainTextEdit*>(QStringLiteral("mmRasTXT"))->toPlainText();
        const QString expected = all.mid(0, shownLines).join(QLatin1Char('\n')) + QLatin1Char('\n');
        QVERIFY(shown.startsWith(expected));
        QCOMPARE(shown.contains(QStringLiteral("Полный текст находится в файле")), noted);
        if (noted)
            QVERIFY(shown.contains(QDir::toNativeSeparators(path)));
        else
            QCOMPARE(shown, expected);
    }

    void viewerReportsAFileItCannotRead()
    {
        zurm::gui::TextViewer viewer;
        QVERIFY_THROWS_EXCEPTION(zurm::Failure, viewer.load(QStringLiteral("/nonexistent/folder/text.txt")));
    }
};

QTEST_MAIN(RunCompletionTest)
#include "run_completion_test.moc"
