#include "gui/entry/MainWindow.h"

#include "base/Guarded.h"
#include "document/ProgramFolder.h"
#include "gui/entry/CalculationGrids.h"
#include "gui/entry/Commands.h"
#include "gui/entry/DataCommands.h"
#include "gui/entry/RunStop.h"
#include "gui/help/Help.h"
#include "gui/hydraulics/RunCommands.h"
#include "gui/network/NetworkCommands.h"
#include "gui/output/ReportCommands.h"
#include "gui/output/ReportExportCommand.h"
#include "gui/output/GraphWindow.h"
#include "gui/platform/WidgetDialogs.h"
#include "gui/reference/ReferenceWindow.h"
#include "gui/settings/SettingsDialog.h"
#include "session/DocumentSession.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

namespace zurm::gui {

namespace {

const QString kCalculationDone = QStringLiteral("Расчет выполнен.");

} // namespace

// Progress of the session on this window. Taking the outermost lock releases the
// grids before the long operation touches the tables; releasing it binds them to
// what the session holds afterwards.
class MainWindow::LockingProgress : public Progress {
public:
    explicit LockingProgress(MainWindow& window) : window_(window), inner_(&window) {}
    void setStatus(const QString& text) override { window_.showStatus(text); }
    void setBusy(bool busy) override { inner_.setBusy(busy); }
    // During a run every event is let through: RunStop holds back the input
    // that the locked window must not get and leaves the way to stop.
    void processEvents() override
    {
        if (runStop())
            QApplication::processEvents(QEventLoop::AllEvents);
        else
            inner_.processEvents();
    }
    bool stopRequested() override { return runStop() && runStop()->requested(); }
    void lockWindow() override
    {
        if (depth_++ == 0)
            window_.releaseGrids();
        inner_.lockWindow();
    }
    void unlockWindow() override
    {
        inner_.unlockWindow();
        if (depth_ > 0 && --depth_ == 0)
            window_.bindGrids();
    }

private:
    RunStop* runStop() const { return window_.runCommands_ ? window_.runCommands_->runStop() : nullptr; }

    MainWindow& window_;
    WindowProgress inner_;
    int depth_ = 0;
};

MainWindow::MainWindow(const QString& programFolder, UserDialogs* dialogs, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(kProgramCaption);
    setMinimumSize(640, 480);

    if (!dialogs) {
        ownDialogs_ = std::make_unique<WidgetDialogs>(this);
        dialogs = ownDialogs_.get();
    }
    dialogs_ = dialogs;
    progress_ = std::make_unique<LockingProgress>(*this);
    ProgramFolderChoice folder{programFolder, false};
    if (programFolder.isEmpty())
        folder = chooseProgramFolder();
    session_ = std::make_unique<DocumentSession>(folder.folder, *dialogs_, *progress_);
    // An installed program starts for the first time: the window opens on a
    // copy of the sample among the user's documents.
    if (folder.settingsSeeded)
        session_->openSampleOnFirstStart(
            QCoreApplication::applicationDirPath() + QStringLiteral("/samples/sample.mdb"),
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                + QStringLiteral("/ЗУРМ/sample.mdb"));
    session_->postPendingEdits = [this] { PostPendingEdits(); };
    session_->discardPendingEdits = [this] { grids_->discardPendingEdits(); };
    // Files of the earlier versions are converted by zurm-calc beside the program.
    if (const QString converter = QCoreApplication::applicationDirPath() + QStringLiteral("/zurm-calc");
        QFileInfo(converter).isExecutable())
        session_->oldFormatConverter = converter;
    setHelpProgramFolder(session_->programFolder());
    // Segments are added and removed only in the network editor.
    session_->data().guards().guardSegmentsFromMainWindow();
    // An edit of the input data, wherever it was made, ends "Расчет выполнен.".
    connect(&session_->events(), &DocumentEvents::inputChanged, this, [this] { clearStatus(); });

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    // "Расчет выполнен." is a widget of the status bar, not a message: hints
    // and progress texts show over it for a moment and it comes back after them.
    lbCalculationDone_ = new QLabel(statusBar());
    lbCalculationDone_->setObjectName(QStringLiteral("lbCalculationDone"));
    statusBar()->addWidget(lbCalculationDone_, 1);
    createPanels();
    dataCommands_ = new DataCommands(*this);
    networkCommands_ = new NetworkCommands(*this);
    runCommands_ = new RunCommands(*this);
    reportCommands_ = new ReportCommands(*this);
    createCommands();
    restoreWindowGeometry();
    bindGrids();
    grids_->forgetBinding(); // the start-up sequence binds them to the opened documents
}

MainWindow::~MainWindow()
{
    // The grids and the dialogs let go of the connections before the session
    // closes them (child widgets would otherwise outlive the session).
    grids_->release();
    delete dataCommands_;
    delete networkCommands_;
    delete runCommands_;
    delete reportCommands_;
    delete settingsDialog_;
    for (QDialog* form : referenceForms_)
        delete form;
}

Progress& MainWindow::progress()
{
    return *progress_;
}

SegmentTableModel* MainWindow::segmentModel() const
{
    return grids_->segmentModel();
}

HeaderRowModel* MainWindow::headerModel() const
{
    return grids_->headerModel();
}

ParametersDialog* MainWindow::parametersDialog()
{
    return dataCommands_->parametersDialog();
}

// ---------------------------------------------------------------- commands

void MainWindow::createCommands()
{
    auto* toolbar = addToolBar(QStringLiteral("ToolBar1"));
    toolbar->setObjectName(QStringLiteral("ToolBar1"));
    toolbar->setMovable(false);
    auto document = [this](bool (DocumentSession::*command)()) {
        return [this, command] { runDocumentCommand(command); };
    };
    auto add = [this](QMenu* menu, QToolBar* bar, const CommandSpec& spec, const std::function<void()>& handler) {
        return addCommand(menu, bar, spec, this, handler);
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    file->setObjectName(QStringLiteral("miFile"));
    add(file, toolbar, {"miFileNewRas", "tbNewRas", "Создать новый расчет", "new"},
        document(&DocumentSession::newCalculation));
    add(file, toolbar, {"miFileOpenRas", "tbOpenRas", "Открыть расчет", "open"},
        document(&DocumentSession::openCalculation));
    add(file, toolbar, {"miFileSaveRas", "tbSaveRas", "Сохранить расчет", "save"},
        document(&DocumentSession::saveCalculation));
    add(file, toolbar, {"miFileSaveRasAs", "tbSaveRasAs", "Сохранить расчет как...", "save-as"},
        document(&DocumentSession::saveCalculationAs));
    file->addSeparator();
    add(file, nullptr, {"miFileOpenSprav", nullptr, "Открыть справочники", nullptr},
        document(&DocumentSession::openReference));
    add(file, nullptr, {"miFileSaveSpravAs", nullptr, "Сохранить справочники как...", nullptr},
        document(&DocumentSession::saveReferenceAs));
    file->addSeparator();
    add(file, nullptr, {"miFileCompactRas", nullptr, "Сжать расчет", nullptr},
        document(&DocumentSession::compactCalculation));
    add(file, nullptr, {"miFileCompactSprav", nullptr, "Сжать справочники", nullptr},
        document(&DocumentSession::compactReference));
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("Выход"));
    exit->setObjectName(QStringLiteral("miFileExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
    toolbar->addSeparator();

    QMenu* data = menuBar()->addMenu(QStringLiteral("&Данные"));
    data->setObjectName(QStringLiteral("miData"));
    add(data, nullptr, {"miDataParR", nullptr, "Параметры расчета", nullptr}, [this] { dataCommands_->parameters(); });
    add(data, toolbar, {"miDataParTS", "tbParTS", "Параметры теплосети", "network"},
        [this] { networkCommands_->networkParameters(); });
    add(data, toolbar, {"miDataVvPovtD", "tbVvPovtD", "Ввод повторяющихся данных", "repeated-entry"},
        [this] { dataCommands_->repeatedEntry(); });
    add(data, toolbar, {"miDataLoadFromME", "tbLoadFromME", "Загрузить данные из Microsoft Excel", "import-excel"},
        [this] { dataCommands_->loadFromSpreadsheet(); });
    add(data, toolbar, {"miDataVipRas", "tbVipRas", "Выполнить расчет", "run"}, [this] { runCommands_->run(); });
    add(data, toolbar, {"miDataFormOtsh", "tbFormOtsh", "Формировать отчет", "report"},
        [this] { reportCommands_->formReport(); });
    add(data, toolbar, {"miDataVigrV_ME", "tbVigrV_ME", "Выгрузить отчет в Microsoft Excel", "export-excel"},
        [this] { exportReportToSpreadsheet(*this); });
    add(data, toolbar, {"miDataGr", "tbGr", "Формировать график", "graph"}, [this] { showGraphWindow(*this); });
    add(data, nullptr, {"miDataNalRas", nullptr, "Наладочный расчет", nullptr}, [this] { dataCommands_->adjustment(); });
    data->addSeparator();
    dataCommands_->addSortCommands(data, toolbar);
    toolbar->addSeparator();

    QMenu* reference = menuBar()->addMenu(QStringLiteral("Сп&равочники"));
    reference->setObjectName(QStringLiteral("miSpravosh"));
    add(reference, nullptr, {"miSpravoshPlVodiOtT", nullptr, "Плотность воды при различной температуре", nullptr},
        [this] { openReferenceEditor(int(ReferenceTable::Density)); });
    add(reference, nullptr, {"miSpravoshDiamTrPr", nullptr, "Диаметры трубопровода", nullptr},
        [this] { openReferenceEditor(int(ReferenceTable::Diameters)); });
    add(reference, nullptr,
        {"miSpravoshPoprKoefKUdPot", nullptr, "Поправочные коэффициенты к удельным потерям давления", nullptr},
        [this] { openReferenceEditor(int(ReferenceTable::Coefficients)); });

    QMenu* settings = menuBar()->addMenu(QStringLiteral("&Настройки"));
    settings->setObjectName(QStringLiteral("miNastr"));
    add(settings, nullptr, {"miNastrNP", nullptr, "Настройки программы", nullptr}, [this] { editSettings(); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Справка"));
    help->setObjectName(QStringLiteral("miSpravka"));
    add(help, toolbar, {"miSpravkaSprZURM14", "tbSprZURM", "Справка ЗУРМ 1.4", "help"}, [this] { showHelp(this); });
    add(help, toolbar, {"miSpravkaOProg", "tbOProg", "О программе", "about"}, [this] { about(); });
    QAction* topic = menuBar()->addAction(QStringLiteral("&?"));
    topic->setObjectName(QStringLiteral("miHlp"));
    connect(topic, &QAction::triggered, this, [this] { showHelp(this, QStringLiteral("GR/VvOsnDan.htm")); });
}

void MainWindow::runDocumentCommand(bool (DocumentSession::*command)())
{
    (session_.get()->*command)();
    bindGridsIfReleased();
    setWindowTitle(session_->viewState().caption);
}

void MainWindow::about()
{
    QMessageBox::about(this, QStringLiteral("О программе"),
                       QStringLiteral("ЗУРМ\nВерсия 1.4 от " ZURM_BUILD_DATE "\n\nГидравлический расчет водяных "
                                      "тепловых сетей: однотрубных и двухтрубных."));
}

// ---------------------------------------------------------------- binding

void MainWindow::LockMainWindow()
{
    progress_->lockWindow();
}

void MainWindow::UnlockMainWindow()
{
    progress_->unlockWindow();
}

void MainWindow::releaseGrids()
{
    grids_->release();
}

void MainWindow::bindGrids()
{
    DocumentViewState& view = session_->viewState();
    setWindowTitle(view.caption);
    // Whatever ran under the lock, the status line follows the calculation-done flag.
    view.statusText = session_->data().calculationOpen() && session_->data().calculationDone() ? kCalculationDone
                                                                                               : QString();
    showStatus(QString());
    dataCommands_->showSortChoice(view.sort);
    grids_->bind();
}

void MainWindow::bindGridsIfReleased()
{
    if (!grids_->bound())
        bindGrids();
}

void MainWindow::PostPendingEdits()
{
    grids_->postPendingEdits();
}

void MainWindow::openReferenceEditor(int table)
{
    DataModule& data = session_->data();
    if (!data.calculationOpen() || !data.referenceOpen())
        return;
    QDialog*& form = referenceForms_[table];
    if (!form) {
        switch (ReferenceTable(table)) {
        case ReferenceTable::Diameters: form = new TDiamTrPrForm(data, *dialogs_, this); break;
        case ReferenceTable::Density: form = new TPlVodiOtTForm(data, *dialogs_, this); break;
        case ReferenceTable::Coefficients: form = new TPoprKoefKUdPotForm(data, *dialogs_, this); break;
        }
    }
    static_cast<TReferenceForm*>(form)->showEditor();
    showStatus(QString());
}

// ---------------------------------------------------------------- status

void MainWindow::clearStatus()
{
    session_->viewState().statusText.clear();
    showStatus(QString());
}

void MainWindow::showStatus(const QString& text)
{
    const bool done = session_ && session_->data().calculationOpen() && session_->data().calculationDone();
    lbCalculationDone_->setText(done ? kCalculationDone : QString());
    if (text.isEmpty() || text == kCalculationDone)
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(text);
}

QString MainWindow::statusText() const
{
    const QString message = statusBar()->currentMessage();
    return message.isEmpty() ? lbCalculationDone_->text() : message;
}

// ---------------------------------------------------------------- window events

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (started_)
        return;
    started_ = true;
    // The start-up sequence runs once the window is on the screen and painted,
    // so that its messages appear over the window rather than over an empty screen.
    if (windowHandle() && !windowHandle()->isExposed())
        windowHandle()->installEventFilter(this);
    else
        QTimer::singleShot(0, this, [this] { startUp(); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] { startUp(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::openOnStart(const QString& file)
{
    fileToOpen_ = file;
}

void MainWindow::startUp()
{
    // A file asked for on the command line is opened instead of the sample.
    if (!fileToOpen_.isEmpty())
        session_->openSampleOnFirstStart(QString(), QString());
    const bool started = session_->startUp(DocumentSession::kOwnWorkDatabase);
    bindGridsIfReleased();
    if (started)
        ApplyFontSizes();
    // As "Открыть расчет" would: the settings file must be open to store the name.
    if (!fileToOpen_.isEmpty() && session_->data().settingsOpen()) {
        session_->openCalculationFile(fileToOpen_);
        bindGridsIfReleased();
        setWindowTitle(session_->viewState().caption);
    }
    startedUp_ = true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (runCommands_->runStop()) {
        // The run stops first; the window closes once it has.
        runCommands_->askToCloseAfterRun();
        event->ignore();
        return;
    }
    // Edits that cannot be saved are dropped only when the user agrees.
    if (!session_->exitCleanUp()) {
        event->ignore();
        return;
    }
    storeWindowGeometry();
    event->accept();
}

} // namespace zurm::gui
