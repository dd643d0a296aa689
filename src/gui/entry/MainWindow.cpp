#include "gui/entry/MainWindow.h"

#include "base/Failure.h"
#include "base/Guarded.h"
#include "base/Sql.h"
#include "document/ProgramFolder.h"
#include "entry/HeaderRowModel.h"
#include "entry/SegmentTableModel.h"
#include "gui/entry/CalculationGrid.h"
#include "gui/entry/CaptionHeaderView.h"
#include "gui/entry/ParametersDialog.h"
#include "gui/entry/RunStop.h"
#include "gui/help/Help.h"
#include "gui/hydraulics/CompletionDialog.h"
#include "gui/hydraulics/TextViewer.h"
#include "gui/platform/WidgetDialogs.h"
#include "gui/settings/SettingsDialog.h"
#include "hydraulics/CalculationRun.h"
#include "session/DesktopRun.h"
#include "session/DocumentSession.h"
#include "settings/FontSizes.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace zurm::gui {

namespace {

const QString kSaveContext = QStringLiteral("Ошибка при сохранении данных.");
const QString kBindContext = QStringLiteral("Ошибка при открытии таблиц гидравлического расчета.");
const QString kSortContext = QStringLiteral("Ошибка при сортировке таблицы участков сети.");
const QString kRunContext = QStringLiteral("Ошибка при выполнении расчета.");
const QString kCalculationDone = QStringLiteral("Расчет выполнен.");
const QString kViewerContext = QStringLiteral("Ошибка при выводе текста расчета на экран.");
const QString kRowCondition = QStringLiteral(" WHERE rowid=(SELECT min(rowid) FROM [НазвРасч])");


// The toolbar icons are the program's own drawings, compiled into it; the
// disabled look is derived from them.
QIcon commandIcon(const char* name)
{
    return QIcon(QStringLiteral(":/icons/") + QString::fromUtf8(name) + QStringLiteral(".svg"));
}

QString fieldName(const QAbstractItemModel* model, int column)
{
    return model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

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
        if (window_.runStop_)
            QApplication::processEvents(QEventLoop::AllEvents);
        else
            inner_.processEvents();
    }
    bool stopRequested() override { return window_.runStop_ && window_.runStop_->requested(); }
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
    MainWindow& window_;
    WindowProgress inner_;
    int depth_ = 0;
};

struct MainWindow::Command {
    const char* menuName;
    const char* buttonName; // nullptr: menu only
    const char* text;
    const char* icon; // the toolbar icon's name in the program's resources
    void (MainWindow::*slot)();
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
    session_ = std::make_unique<DocumentSession>(programFolder.isEmpty() ? resolveProgramFolder() : programFolder,
                                                 *dialogs_, *progress_);
    session_->postPendingEdits = [this] { PostPendingEdits(); };
    session_->discardPendingEdits = [this] { discardPendingEdits(); };
    setHelpProgramFolder(session_->programFolder());
    // Segments are added and removed only in the network editor.
    session_->data().guards().guardSegmentsFromMainWindow();

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    // "Расчет выполнен." is a widget of the status bar, not a message: hints
    // and progress texts show over it for a moment and it comes back after them.
    lbCalculationDone_ = new QLabel(statusBar());
    lbCalculationDone_->setObjectName(QStringLiteral("lbCalculationDone"));
    statusBar()->addWidget(lbCalculationDone_, 1);
    createPanels();
    createCommands();
    restoreWindowGeometry();
    bindGrids();
    gridsBound_ = false; // the start-up sequence binds them to the opened documents
}

MainWindow::~MainWindow()
{
    // The grids and the dialogs let go of the connections before the session
    // closes them (child widgets would otherwise outlive the session).
    releaseGrids();
    delete parametersDialog_;
    delete settingsDialog_;
    delete completionDialog_;
    delete textViewer_;
}

UserDialogs& MainWindow::dialogs()
{
    return *dialogs_;
}

bool MainWindow::guarded(const QString& context, const std::function<void()>& step)
{
    return guardedStep(dialogs(), context, step);
}

// ---------------------------------------------------------------- commands

QAction* MainWindow::addCommand(QMenu* menu, QToolBar* toolbar, const Command& command)
{
    const QString text = QString::fromUtf8(command.text);
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromUtf8(command.menuName));
    if (command.slot)
        connect(action, &QAction::triggered, this, command.slot);
    else
        action->setEnabled(false); // its window comes with later work
    if (command.buttonName && toolbar) {
        QAction* button = toolbar->addAction(commandIcon(command.icon), text);
        button->setObjectName(QString::fromUtf8(command.buttonName));
        button->setToolTip(text);
        button->setStatusTip(text);
        if (command.slot)
            connect(button, &QAction::triggered, this, command.slot);
        else
            button->setEnabled(false);
    }
    return action;
}

void MainWindow::createCommands()
{
    auto* toolbar = addToolBar(QStringLiteral("ToolBar1"));
    toolbar->setObjectName(QStringLiteral("ToolBar1"));
    toolbar->setMovable(false);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    file->setObjectName(QStringLiteral("miFile"));
    const Command fileCommands[] = {
        {"miFileNewRas", "tbNewRas", "Создать новый расчет", "new", &MainWindow::newCalculation},
        {"miFileOpenRas", "tbOpenRas", "Открыть расчет", "open", &MainWindow::openCalculation},
        {"miFileSaveRas", "tbSaveRas", "Сохранить расчет", "save", &MainWindow::saveCalculation},
        {"miFileSaveRasAs", "tbSaveRasAs", "Сохранить расчет как...", "save-as",
         &MainWindow::saveCalculationAs},
    };
    for (const Command& command : fileCommands)
        addCommand(file, toolbar, command);
    file->addSeparator();
    const Command referenceCommands[] = {
        {"miFileOpenSprav", nullptr, "Открыть справочники", nullptr, &MainWindow::openReference},
        {"miFileSaveSpravAs", nullptr, "Сохранить справочники как...", nullptr,
         &MainWindow::saveReferenceAs},
    };
    for (const Command& command : referenceCommands)
        addCommand(file, nullptr, command);
    file->addSeparator();
    const Command compactCommands[] = {
        {"miFileCompactRas", nullptr, "Сжать расчет", nullptr, &MainWindow::compactCalculation},
        {"miFileCompactSprav", nullptr, "Сжать справочники", nullptr, &MainWindow::compactReference},
    };
    for (const Command& command : compactCommands)
        addCommand(file, nullptr, command);
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("Выход"));
    exit->setObjectName(QStringLiteral("miFileExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
    toolbar->addSeparator();

    QMenu* data = menuBar()->addMenu(QStringLiteral("&Данные"));
    data->setObjectName(QStringLiteral("miData"));
    const Command dataCommands[] = {
        {"miDataParR", nullptr, "Параметры расчета", nullptr, &MainWindow::parametersCommand},
        {"miDataParTS", "tbParTS", "Параметры теплосети", "network", nullptr},
        {"miDataVvPovtD", "tbVvPovtD", "Ввод повторяющихся данных", "repeated-entry", nullptr},
        {"miDataLoadFromME", "tbLoadFromME", "Загрузить данные из Microsoft Excel", "import-excel", nullptr},
        {"miDataVipRas", "tbVipRas", "Выполнить расчет", "run", &MainWindow::runCalculation},
        {"miDataFormOtsh", "tbFormOtsh", "Формировать отчет", "report", nullptr},
        {"miDataVigrV_ME", "tbVigrV_ME", "Выгрузить отчет в Microsoft Excel", "export-excel", nullptr},
        {"miDataGr", "tbGr", "Формировать график", "graph", nullptr},
    };
    for (const Command& command : dataCommands)
        addCommand(data, toolbar, command);
    data->addSeparator();

    // The two sorts: radio items in the menu, a grouped pair of check buttons on
    // the toolbar; the command keeps the two in agreement.
    sortMenuGroup_ = new QActionGroup(this);
    sortButtonGroup_ = new QActionGroup(this);
    const QString byNodes = QStringLiteral("Сортировать по номерам участков");
    const QString byId = QStringLiteral("Сортировать по внутреннему счетчику");
    miSortByNodes_ = data->addAction(byNodes);
    miSortByNodes_->setObjectName(QStringLiteral("miDataSortPoNU"));
    miSortById_ = data->addAction(byId);
    miSortById_->setObjectName(QStringLiteral("miDataSortPoVnutrSc"));
    tbSortByNodes_ = toolbar->addAction(commandIcon("sort-by-nodes"), byNodes);
    tbSortByNodes_->setObjectName(QStringLiteral("tbSortPoNU"));
    tbSortById_ = toolbar->addAction(commandIcon("sort-by-id"), byId);
    tbSortById_->setObjectName(QStringLiteral("tbSortPoVnutrSc"));
    for (QAction* action : {miSortByNodes_, miSortById_, tbSortByNodes_, tbSortById_}) {
        action->setCheckable(true);
        action->setToolTip(action->text());
    }
    sortMenuGroup_->addAction(miSortByNodes_);
    sortMenuGroup_->addAction(miSortById_);
    sortButtonGroup_->addAction(tbSortByNodes_);
    sortButtonGroup_->addAction(tbSortById_);
    connect(miSortByNodes_, &QAction::triggered, this, [this] { chooseSort(SegmentSort::ByNodes); });
    connect(tbSortByNodes_, &QAction::triggered, this, [this] { chooseSort(SegmentSort::ByNodes); });
    connect(miSortById_, &QAction::triggered, this, [this] { chooseSort(SegmentSort::ById); });
    connect(tbSortById_, &QAction::triggered, this, [this] { chooseSort(SegmentSort::ById); });
    showSortChoice(SegmentSort::ById);
    toolbar->addSeparator();

    QMenu* reference = menuBar()->addMenu(QStringLiteral("Сп&равочники"));
    reference->setObjectName(QStringLiteral("miSpravosh"));
    const Command referenceTables[] = {
        {"miSpravoshPlVodiOtT", nullptr, "Плотность воды при различной температуре", nullptr, nullptr},
        {"miSpravoshDiamTrPr", nullptr, "Диаметры трубопровода", nullptr, nullptr},
        {"miSpravoshPoprKoefKUdPot", nullptr, "Поправочные коэффициенты к удельным потерям давления",
         nullptr, nullptr},
    };
    for (const Command& command : referenceTables)
        addCommand(reference, nullptr, command);

    QMenu* settings = menuBar()->addMenu(QStringLiteral("&Настройки"));
    settings->setObjectName(QStringLiteral("miNastr"));
    addCommand(settings, nullptr,
               {"miNastrNP", nullptr, "Настройки программы", nullptr, &MainWindow::editSettings});

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Справка"));
    help->setObjectName(QStringLiteral("miSpravka"));
    addCommand(help, toolbar,
               {"miSpravkaSprZURM14", "tbSprZURM", "Справка ЗУРМ 1.4", "help",
                &MainWindow::helpContents});
    addCommand(help, toolbar,
               {"miSpravkaOProg", "tbOProg", "О программе", "about", &MainWindow::about});
    QAction* topic = menuBar()->addAction(QStringLiteral("&?"));
    topic->setObjectName(QStringLiteral("miHlp"));
    connect(topic, &QAction::triggered, this, [this] { showHelp(this, QStringLiteral("GR/VvOsnDan.htm")); });
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
    for (const QMetaObject::Connection& connection : gridConnections_)
        disconnect(connection);
    gridConnections_.clear();
    for (CalculationGrid* grid : {dgZag_, dgNU_, dgGlavn_})
        grid->setModel(nullptr);
    delete headerModel_;
    headerModel_ = nullptr;
    delete segmentModel_;
    segmentModel_ = nullptr;
    gridsBound_ = false;
}

void MainWindow::bindGrids()
{
    releaseGrids();
    gridsBound_ = true;
    DocumentViewState& view = session_->viewState();
    const bool open = session_->data().calculationOpen();
    setWindowTitle(view.caption);
    // Whatever ran under the lock, the status line follows the calculation-done flag.
    view.statusText = open && session_->data().calculationDone() ? kCalculationDone : QString();
    showStatus(QString());
    edRasName_->setText(view.calculationName);
    edNuzPNapPod_->setText(view.supplyHeadNodeText);
    edNuzRNap_->setText(view.availableHeadNodeText);
    edRasName_->setEnabled(open);
    edNuzPNapPod_->setEnabled(open && view.supplyNodeFieldEnabled);
    edNuzRNap_->setEnabled(open && view.availableNodeFieldEnabled);
    // A file open for viewing only (read-only, or edited by another copy) takes no edits.
    for (QLineEdit* field : {edRasName_, edNuzPNapPod_, edNuzRNap_})
        field->setReadOnly(view.readOnly);
    showSortChoice(view.sort);

    bool shown = false;
    if (open && view.gridsVisible)
        shown = guarded(kBindContext, [this] { bindModels(); });
    if (!shown)
        releaseGrids();
    gridsBound_ = true;
    for (CalculationGrid* grid : {dgZag_, dgNU_, dgGlavn_})
        grid->setVisible(shown);
    alignSegmentNumberList();
    sizeTopPanel();
}

void MainWindow::bindModels()
{
    DataModule& data = session_->data();
    const GridLayout& layout = session_->viewState().layout;

    headerModel_ = new HeaderRowModel(data, this);
    headerModel_->beforePost = [this] {
        session_->data().SetCalculationDoneFlag(false);
        clearStatus();
    };
    headerModel_->postFailed = [this](const Failure& failure) {
        dialogs().showMessage(errorReport(kSaveContext, failure));
    };
    headerModel_->reload();
    segmentModel_ = new SegmentTableModel(data, this);
    segmentModel_->selectSorted(data.segmentSort());

    dgZag_->setModel(headerModel_);
    applyColumns(dgZag_, layout.headerColumns, layout.headerCaptions);

    // The segment grid and the number list share the rows; each keeps its own
    // columns, and the current row is kept the same in both.
    dgGlavn_->setModel(segmentModel_);
    applyColumns(dgGlavn_, layout.segmentColumns, layout.segmentCaptions);
    dgNU_->setModel(segmentModel_);
    const int startNode = segmentModel_->fieldIndex(QStringLiteral("НачУзел"));
    const int endNode = segmentModel_->fieldIndex(QStringLiteral("КонУзел"));
    for (int column = 0; column < segmentModel_->columnCount(); ++column)
        dgNU_->setColumnHidden(column, column != startNode && column != endNode);
    sizeSegmentNumberList();

    gridConnections_.append(connect(dgGlavn_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                                    [this](const QModelIndex& current, const QModelIndex& previous) {
                                        segmentRowChanged(current.row(), previous.row());
                                    }));
    gridConnections_.append(connect(dgNU_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                                    [this](const QModelIndex& current, const QModelIndex& previous) {
                                        segmentRowChanged(current.row(), previous.row());
                                    }));
    if (segmentModel_->rowCount() > 0)
        setSegmentCurrentRow(0);
    if (headerModel_->rowCount() > 0) {
        for (int column = 0; column < headerModel_->columnCount(); ++column) {
            if (!dgZag_->isColumnHidden(column)) {
                dgZag_->setCurrentIndex(headerModel_->index(0, column));
                break;
            }
        }
    }
}

void MainWindow::applyColumns(CalculationGrid* grid, const QList<GridColumn>& columns, const QStringList& captions)
{
    const QAbstractItemModel* model = grid->model();
    QStringList fullNames;
    QStringList titles;
    int visibleCount = 0;
    for (int column = 0; column < model->columnCount(); ++column) {
        const QString name = fieldName(model, column);
        const GridColumn* layout = nullptr;
        for (const GridColumn& candidate : columns)
            if (candidate.name == name)
                layout = &candidate;
        const bool visible = layout && layout->visible;
        grid->setColumnHidden(column, !visible);
        fullNames.append(visible ? captions.value(visibleCount) : QString());
        titles.append(visible ? layout->title : QString());
        if (!visible)
            continue;
        ++visibleCount;
        if (layout->width > 0)
            grid->setColumnWidth(column, layout->width);
    }
    auto* header = qobject_cast<CaptionHeaderView*>(grid->horizontalHeader());
    if (!header)
        return;
    header->setCaptions(fullNames, titles);
    // Large fonts widen the columns, so that no word of a name or a title and
    // no value is cut.
    const QFontMetrics cells(grid->font());
    for (int column = 0; column < model->columnCount(); ++column)
        if (!grid->isColumnHidden(column))
            grid->setColumnWidth(column, std::max({grid->columnWidth(column), header->minimumSectionWidth(column),
                                               cells.horizontalAdvance(QStringLiteral("0000000000")) + 8}));
}

// ---------------------------------------------------------------- segment rows

void MainWindow::setSegmentCurrentRow(int row)
{
    if (!segmentModel_ || row < 0 || row >= segmentModel_->rowCount())
        return;
    const QScopedValueRollback<bool> guard(syncingRows_, true);
    for (CalculationGrid* grid : {dgGlavn_, dgNU_}) {
        const QModelIndex current = grid->currentIndex();
        if (current.isValid() && current.row() == row)
            continue;
        int column = current.isValid() && !grid->isColumnHidden(current.column()) ? current.column() : -1;
        for (int c = 0; column < 0 && c < segmentModel_->columnCount(); ++c)
            if (!grid->isColumnHidden(c))
                column = c;
        if (column >= 0)
            grid->setCurrentIndex(segmentModel_->index(row, column));
    }
}

MainWindow::SegmentPosition MainWindow::segmentPosition() const
{
    SegmentPosition position;
    if (!segmentModel_)
        return position;
    const QModelIndex current = dgGlavn_->currentIndex();
    if (!current.isValid())
        return position;
    position.row = current.row();
    position.id = segmentModel_->index(current.row(), segmentModel_->fieldIndex(QStringLiteral("id"))).data();
    position.column = fieldName(segmentModel_, current.column());
    return position;
}

void MainWindow::restoreSegmentPosition(const SegmentPosition& position)
{
    if (!segmentModel_ || position.row < 0)
        return;
    const int idColumn = segmentModel_->fieldIndex(QStringLiteral("id"));
    auto holds = [&](int row) {
        return row >= 0 && row < segmentModel_->rowCount()
               && segmentModel_->index(row, idColumn).data() == position.id;
    };
    // Mostly the segment is still where it was; otherwise it is looked for,
    // reading further rows of a large table as needed.
    while (segmentModel_->rowCount() <= position.row && segmentModel_->canFetchMore(QModelIndex()))
        segmentModel_->fetchMore(QModelIndex());
    int row = holds(position.row) ? position.row : -1;
    for (int r = 0; row < 0;) {
        if (r < segmentModel_->rowCount()) {
            if (holds(r))
                row = r;
            ++r;
        } else {
            const int read = segmentModel_->rowCount();
            if (segmentModel_->canFetchMore(QModelIndex()))
                segmentModel_->fetchMore(QModelIndex());
            if (segmentModel_->rowCount() == read)
                break;
        }
    }
    if (row < 0)
        row = qMin(position.row, segmentModel_->rowCount() - 1);
    if (row < 0)
        return;
    const int column = segmentModel_->fieldIndex(position.column);
    if (column >= 0 && !dgGlavn_->isColumnHidden(column))
        dgGlavn_->setCurrentIndex(segmentModel_->index(row, column));
    setSegmentCurrentRow(row);
    dgGlavn_->scrollTo(dgGlavn_->currentIndex());
}

void MainWindow::segmentRowChanged(int current, int previous)
{
    if (syncingRows_ || !segmentModel_)
        return;
    if (previous >= 0 && segmentModel_->rowPending(previous) && !saveSegmentRow(previous)) {
        // The row could not be written: the cursor stays on it with its edit.
        QMetaObject::invokeMethod(this, [this, previous] { setSegmentCurrentRow(previous); }, Qt::QueuedConnection);
        return;
    }
    setSegmentCurrentRow(current);
}

void MainWindow::segmentEdgeReached(int row)
{
    // Up on the first row or Down on the last: the row is saved and stays current.
    if (segmentModel_ && segmentModel_->rowPending(row))
        saveSegmentRow(row);
}

bool MainWindow::saveSegmentRow(int row)
{
    return guarded(kSaveContext, [&] {
        finishGridEditing();
        // The row save clears the calculation-done flag once it knows the row can be written.
        segmentModel_->saveRow(row);
        clearStatus();
    });
}

void MainWindow::saveAllPendingSegmentRows()
{
    if (!segmentModel_)
        return;
    dgGlavn_->finishEditing();
    dgNU_->finishEditing();
    for (int row : segmentModel_->pendingRows()) {
        segmentModel_->saveRow(row);
        clearStatus();
    }
}

void MainWindow::discardPendingEdits()
{
    // The editors were closed by the failed post; their texts are in the model.
    if (segmentModel_)
        segmentModel_->revertAll();
    const DocumentViewState& view = session_->viewState();
    edRasName_->setText(view.calculationName);
    edNuzPNapPod_->setText(view.supplyHeadNodeText);
    edNuzRNap_->setText(view.availableHeadNodeText);
}

void MainWindow::finishGridEditing()
{
    for (CalculationGrid* grid : {dgZag_, dgNU_, dgGlavn_})
        grid->finishEditing();
}

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

// ---------------------------------------------------------------- pending edits

void MainWindow::PostPendingEdits()
{
    // The header grid posts every value as it is applied.
    dgZag_->finishEditing();
    saveAllPendingSegmentRows();
    if (!session_->data().calculationOpen() || session_->data().calculationReadOnly())
        return;
    storeCalculationName();
    DocumentViewState& view = session_->viewState();
    storeNodeNumber(edNuzPNapPod_, QStringLiteral("NузПНапПод"), view.supplyHeadNodeText);
    storeNodeNumber(edNuzRNap_, QStringLiteral("NузРНап"), view.availableHeadNodeText);
}

void MainWindow::storeCalculationName()
{
    const QString name = edRasName_->text();
    // Nothing is written unless the name changed: a file open for viewing
    // only must not fail every file command's preamble.
    const QVariant stored = selectValue(session_->data().calculation(),
                                        QStringLiteral("SELECT [НазвРасч] FROM [НазвРасч] ORDER BY rowid LIMIT 1"));
    if (stored.isValid() && (name.isEmpty() ? stored.isNull() : (!stored.isNull() && stored.toString() == name))) {
        session_->viewState().calculationName = name;
        return;
    }
    execSql(session_->data().calculation(), QStringLiteral("UPDATE [НазвРасч] SET [НазвРасч]=?") + kRowCondition,
            {name.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(name)});
    session_->viewState().calculationName = name;
}

void MainWindow::storeNodeNumber(QLineEdit* field, const QString& column, QString& viewText)
{
    bool isNumber = false;
    const qlonglong number = field->text().trimmed().toLongLong(&isNumber);
    if (!isNumber)
        return; // not an integer: the stored number stays
    const QSqlDatabase db = session_->data().calculation();
    const QVariant stored = selectValue(db, QStringLiteral("SELECT ") + quoteName(column)
                                                + QStringLiteral(" FROM [НазвРасч] ORDER BY rowid LIMIT 1"));
    if (stored.isValid() && !stored.isNull() && stored.toInt() == number)
        return;
    if (number < 0 || number > 32767) {
        // Named as the window shows the field: "РНапНаУз задан для узла".
        QString label;
        if (const auto* caption = findChild<QLabel*>(field == edNuzPNapPod_ ? QStringLiteral("lbNuzPNapPod")
                                                                            : QStringLiteral("lbNuzRNap")))
            label = caption->text().trimmed();
        if (label.endsWith(QLatin1Char(':')))
            label.chop(1);
        throw Failure(QStringLiteral("RangeError"), QStringLiteral("Значение ") + QString::number(number)
                                                        + QStringLiteral(" поля \"") + label
                                                        + QStringLiteral("\" вне допустимого диапазона номеров узлов"
                                                                         " (от 0 до 32767)."));
    }
    session_->data().SetCalculationDoneFlag(false);
    clearStatus();
    execSql(db, QStringLiteral("UPDATE [НазвРасч] SET ") + quoteName(column) + QStringLiteral("=?") + kRowCondition,
            {int(number)});
    viewText = QString::number(number);
}

// ---------------------------------------------------------------- sorting

void MainWindow::showSortChoice(SegmentSort sort)
{
    const bool byNodes = sort == SegmentSort::ByNodes;
    for (QAction* action : {miSortByNodes_, miSortById_, tbSortByNodes_, tbSortById_}) {
        if (!action)
            return;
        const QSignalBlocker blocker(action);
        action->setChecked((action == miSortByNodes_ || action == tbSortByNodes_) == byNodes);
    }
}

void MainWindow::chooseSort(SegmentSort sort)
{
    if (!session_->data().calculationOpen()) {
        // Nothing to sort: the choice shown stays as it was.
        showSortChoice(session_->viewState().sort);
        return;
    }
    showSortChoice(sort);
    guarded(kSortContext, [&] {
        saveAllPendingSegmentRows();
        session_->data().setSegmentSort(sort);
        session_->viewState().sort = sort;
        if (segmentModel_) {
            segmentModel_->selectSorted(sort);
            setSegmentCurrentRow(0);
        }
    });
}

// ---------------------------------------------------------------- end of a run

CompletionDialog* MainWindow::completionDialog()
{
    if (!completionDialog_) {
        completionDialog_ = new CompletionDialog(this);
        completionDialog_->setMemoFont(sizedFont(font(), fontSizes_.dataCells));
    }
    return completionDialog_;
}

TextViewer* MainWindow::textViewer()
{
    if (!textViewer_) {
        textViewer_ = new TextViewer(this);
        textViewer_->setMemoFont(sizedFont(font(), fontSizes_.dataCells));
    }
    return textViewer_;
}

void MainWindow::showCalculationText(const QString& savedFile)
{
    // The run shows "Подготовка экранной формы с текстом расчета." meanwhile.
    TextViewer* viewer = textViewer();
    const bool loaded = guarded(kViewerContext, [&] { viewer->load(savedFile); });
    progress_->setStatus(QString());
    if (!loaded)
        return; // the text stays saved; the run goes on to its completion
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    viewer->run();
    QApplication::restoreOverrideCursor();
}

QStringList MainWindow::showCompletion(const QString& message)
{
    CompletionDialog* dialog = completionDialog();
    if (dialog->run(message) != CompletionDialog::kOk)
        return {};
    QStringList commands;
    if (dialog->reportChosen())
        commands.append(QStringLiteral("miDataFormOtsh"));
    if (dialog->exportChosen())
        commands.append(QStringLiteral("miDataVigrV_ME"));
    if (dialog->graphsChosen())
        commands.append(QStringLiteral("miDataGr"));
    return commands;
}

void MainWindow::startFollowUps(const QStringList& commands)
{
    // Each output command does its own checks; one that has no window yet is
    // a disabled action and is passed over.
    for (const QString& name : commands) {
        QAction* command = findChild<QAction*>(name);
        if (command && command->isEnabled())
            command->trigger();
    }
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

void MainWindow::startUp()
{
    const bool started = session_->startUp(DocumentSession::kOwnWorkDatabase);
    if (!gridsBound_)
        bindGrids();
    if (started)
        ApplyFontSizes();
    startedUp_ = true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (runStop_) {
        // The run stops first; the window closes once it has.
        closeAfterRun_ = runStop_->askToClose();
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

void MainWindow::runCommand(bool (DocumentSession::*command)())
{
    (session_.get()->*command)();
    if (!gridsBound_)
        bindGrids();
    setWindowTitle(session_->viewState().caption);
}

void MainWindow::newCalculation() { runCommand(&DocumentSession::newCalculation); }
void MainWindow::openCalculation() { runCommand(&DocumentSession::openCalculation); }
void MainWindow::saveCalculation() { runCommand(&DocumentSession::saveCalculation); }
void MainWindow::saveCalculationAs() { runCommand(&DocumentSession::saveCalculationAs); }
void MainWindow::openReference() { runCommand(&DocumentSession::openReference); }
void MainWindow::saveReferenceAs() { runCommand(&DocumentSession::saveReferenceAs); }
void MainWindow::compactCalculation() { runCommand(&DocumentSession::compactCalculation); }
void MainWindow::compactReference() { runCommand(&DocumentSession::compactReference); }

void MainWindow::runCalculation()
{
    // The run reads the three fields as they are typed, not as last stored.
    DocumentViewState& view = session_->viewState();
    view.calculationName = edRasName_->text();
    view.supplyHeadNodeText = edNuzPNapPod_->text();
    view.availableHeadNodeText = edNuzRNap_->text();
    const SegmentPosition position = segmentPosition();
    QStringList followUps;
    RunStop stop(*this, dialogs());
    runStop_ = &stop;
    guarded(kRunContext, [&] {
        RunOptions options = desktopRunOptions(*session_);
        // The text lives in its file only: a large network's runs to gigabytes.
        options.keepTextInOutcome = false;
        options.showText = [this](const QString& file) { showCalculationText(file); };
        options.showCompletion = [this, &followUps](const QString& message) { followUps = showCompletion(message); };
        zurm::runCalculation(session_->data(), dialogs(), *progress_, options);
    });
    runStop_ = nullptr;
    if (!gridsBound_)
        bindGrids();
    if (closeAfterRun_) {
        close();
        return;
    }
    restoreSegmentPosition(position);
    // The chosen outputs start once the run has finished and the window is
    // unlocked, in the order report, spreadsheet, graphs.
    startFollowUps(followUps);
}

void MainWindow::about()
{
    QMessageBox::about(this, QStringLiteral("О программе"),
                       QStringLiteral("ЗУРМ\nВерсия 1.4 от 09.12.2026\n\nГидравлический расчет водяных тепловых "
                                      "сетей: однотрубных и двухтрубных."));
}

void MainWindow::helpContents()
{
    showHelp(this);
}

// ---------------------------------------------------------------- calculation parameters

namespace {

const QString kParametersContext = QStringLiteral("Ошибка при открытии параметров расчета.");
const QString kHeadNodesContext = QStringLiteral("Ошибка при записи номеров узлов с заданными напорами.");
const QString kCheckContext = QStringLiteral("Ошибка при проверке параметров расчета.");

// The main window's commands are disabled while one of its modal dialogs runs
// and come back as they were on every way out.
class CommandsDisabled {
public:
    explicit CommandsDisabled(QMainWindow& window)
    {
        widgets_.append(window.menuBar());
        for (QToolBar* bar : window.findChildren<QToolBar*>())
            widgets_.append(bar);
        for (const QPointer<QWidget>& widget : widgets_) {
            enabled_.append(widget->isEnabled());
            widget->setEnabled(false);
        }
    }
    ~CommandsDisabled()
    {
        for (qsizetype i = 0; i < widgets_.size(); ++i)
            if (widgets_[i])
                widgets_[i]->setEnabled(enabled_[i]);
    }
    CommandsDisabled(const CommandsDisabled&) = delete;
    CommandsDisabled& operator=(const CommandsDisabled&) = delete;

private:
    QList<QPointer<QWidget>> widgets_;
    QList<bool> enabled_;
};

} // namespace

ParametersDialog* MainWindow::parametersDialog()
{
    if (!parametersDialog_)
        parametersDialog_ = new ParametersDialog(session_->data(), dialogs(), this);
    return parametersDialog_;
}

void MainWindow::parametersCommand()
{
    if (!session_->data().calculationOpen())
        return;
    // The dialog writes the definitions and rebuilds the tables as it closes.
    if (session_->data().calculationReadOnly()) {
        dialogs().showMessage(session_->data().calculationViewingMessage(session_->calculationFileSetting()));
        return;
    }
    const CommandsDisabled disabled(*this);
    DocumentViewState& view = session_->viewState();
    // The name and the node numbers as typed survive the rebinding of the window.
    view.calculationName = edRasName_->text();
    view.supplyHeadNodeText = edNuzPNapPod_->text();
    view.availableHeadNodeText = edNuzRNap_->text();
    const SegmentPosition position = segmentPosition();

    // A pending edit that cannot be saved keeps the dialog closed: the tables
    // are not rebuilt under an unsaved row.
    if (!guarded(kSaveContext, [this] {
            session_->data().SetCalculationDoneFlag(false);
            clearStatus();
            dgZag_->finishEditing();
            saveAllPendingSegmentRows();
        }))
        return;
    ParametersDialog* dialog = parametersDialog();
    const IndicatorCheckResult& lastCheck = session_->lastIndicatorCheck();
    if (!guarded(kParametersContext, [&] { dialog->prepare(lastCheck.offendingRow, lastCheck.offendingShortName); }))
        return;
    dialog->applyFontSizes(fontSizes());
    dialog->exec();

    // Design mode: the given heads apply at the start node.
    guarded(kHeadNodesContext, [&] {
        const QSqlDatabase db = session_->data().calculation();
        const QVariant designMode =
            selectValue(db, QStringLiteral("SELECT [ОпрД] FROM [НазвРасч] ORDER BY rowid LIMIT 1"));
        if (!designMode.toBool())
            return;
        execSql(db, QStringLiteral("UPDATE [НазвРасч] SET [NузПНапПод]=[NНачУз], [NузРНап]=[NНачУз]") + kRowCondition);
        const QVariant startNode =
            selectValue(db, QStringLiteral("SELECT [NНачУз] FROM [НазвРасч] ORDER BY rowid LIMIT 1"));
        const QString text = startNode.isNull() ? QString() : QString::number(startNode.toInt());
        view.supplyHeadNodeText = text;
        view.availableHeadNodeText = text;
        edNuzPNapPod_->setText(text);
        edNuzRNap_->setText(text);
    });

    // The definitions are examined and the tables reshaped with the grids
    // released; they come back only for a sound catalogue and a correct network.
    guarded(kCheckContext, [this] { session_->recheckIndicators(); });
    if (!gridsBound_)
        bindGrids();
    restoreSegmentPosition(position);
}

} // namespace zurm::gui
