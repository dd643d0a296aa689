#include "gui/entry/DataCommands.h"

#include "base/Guarded.h"
#include "entry/CalculationFields.h"
#include "entry/SegmentTableModel.h"
#include "gui/entry/CalculationGrids.h"
#include "gui/entry/Commands.h"
#include "gui/entry/CommandHost.h"
#include "gui/entry/ParametersDialog.h"
#include "gui/entry/RepeatedEntryDialog.h"
#include "gui/entry/SpreadsheetLoadDialog.h"
#include "gui/hydraulics/AdjustmentWindow.h"
#include "session/DocumentSession.h"

#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QToolBar>

namespace zurm::gui {

namespace {

const QString kSaveContext = QStringLiteral("Ошибка при сохранении данных.");
const QString kSortContext = QStringLiteral("Ошибка при сортировке таблицы участков сети.");
const QString kParametersContext = QStringLiteral("Ошибка при открытии параметров расчета.");
const QString kHeadNodesContext = QStringLiteral("Ошибка при записи номеров узлов с заданными напорами.");
const QString kRepeatedEntryContext = QStringLiteral("Ошибка при открытии окна ввода повторяющихся данных.");
const QString kLoadContext = QStringLiteral("Ошибка при открытии окна загрузки данных из Microsoft Excel.");
const QString kCheckContext = QStringLiteral("Ошибка при проверке параметров расчета.");
const QString kAdjustmentContext = QStringLiteral("Ошибка при наладочном расчете.");

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

DataCommands::DataCommands(CommandHost& host) : QObject(&host.window()), host_(host) {}

DataCommands::~DataCommands()
{
    delete parametersDialog_;
    delete repeatedEntryDialog_;
}

// ---------------------------------------------------------------- sorting

void DataCommands::addSortCommands(QMenu* menu, QToolBar* toolbar)
{
    auto* menuGroup = new QActionGroup(this);
    auto* buttonGroup = new QActionGroup(this);
    const QString byNodes = QStringLiteral("Сортировать по номерам участков");
    const QString byId = QStringLiteral("Сортировать по внутреннему счетчику");
    miSortByNodes_ = menu->addAction(byNodes);
    miSortByNodes_->setObjectName(QStringLiteral("miDataSortPoNU"));
    miSortById_ = menu->addAction(byId);
    miSortById_->setObjectName(QStringLiteral("miDataSortPoVnutrSc"));
    tbSortByNodes_ = toolbar->addAction(commandIcon("sort-by-nodes"), byNodes);
    tbSortByNodes_->setObjectName(QStringLiteral("tbSortPoNU"));
    tbSortById_ = toolbar->addAction(commandIcon("sort-by-id"), byId);
    tbSortById_->setObjectName(QStringLiteral("tbSortPoVnutrSc"));
    for (QAction* action : {miSortByNodes_, miSortById_, tbSortByNodes_, tbSortById_}) {
        action->setCheckable(true);
        action->setToolTip(action->text());
    }
    menuGroup->addAction(miSortByNodes_);
    menuGroup->addAction(miSortById_);
    buttonGroup->addAction(tbSortByNodes_);
    buttonGroup->addAction(tbSortById_);
    connect(miSortByNodes_, &QAction::triggered, this, [this] { chooseSort(SegmentSort::ByNodes); });
    connect(tbSortByNodes_, &QAction::triggered, this, [this] { chooseSort(SegmentSort::ByNodes); });
    connect(miSortById_, &QAction::triggered, this, [this] { chooseSort(SegmentSort::ById); });
    connect(tbSortById_, &QAction::triggered, this, [this] { chooseSort(SegmentSort::ById); });
    showSortChoice(SegmentSort::ById);
}

void DataCommands::showSortChoice(SegmentSort sort)
{
    const bool byNodes = sort == SegmentSort::ByNodes;
    for (QAction* action : {miSortByNodes_, miSortById_, tbSortByNodes_, tbSortById_}) {
        if (!action)
            return;
        const QSignalBlocker blocker(action);
        action->setChecked((action == miSortByNodes_ || action == tbSortByNodes_) == byNodes);
    }
}

void DataCommands::chooseSort(SegmentSort sort)
{
    DocumentSession& session = host_.session();
    if (!session.data().calculationOpen()) {
        // Nothing to sort: the choice shown stays as it was.
        showSortChoice(session.viewState().sort);
        return;
    }
    showSortChoice(sort);
    guardedStep(host_.dialogs(), kSortContext, [&] { host_.grids().sortSegments(sort); });
}

// ---------------------------------------------------------------- calculation parameters

ParametersDialog* DataCommands::parametersDialog()
{
    if (!parametersDialog_)
        parametersDialog_ = new ParametersDialog(host_.session().data(), host_.dialogs(), &host_.window());
    return parametersDialog_;
}

bool DataCommands::editableWithEditsSaved()
{
    DocumentSession& session = host_.session();
    CalculationGrids& grids = host_.grids();
    if (session.data().calculationReadOnly()) {
        host_.dialogs().showMessage(session.data().calculationViewingMessage(session.calculationFileSetting()),
                                    MessageKind::Warning);
        return false;
    }
    // The name and the node numbers as typed survive the rebinding of the window.
    grids.takeTypedFields();
    return guardedStep(host_.dialogs(), kSaveContext, [&] {
        session.data().noteInputChanged(&grids);
        grids.finishEditing();
        grids.saveAllPendingSegmentRows();
    });
}

void DataCommands::parameters()
{
    DocumentSession& session = host_.session();
    UserDialogs& dialogs = host_.dialogs();
    CalculationGrids& grids = host_.grids();
    if (!session.data().calculationOpen())
        return;
    // The dialog writes the definitions and rebuilds the tables as it closes;
    // a pending edit that cannot be saved keeps it closed.
    if (!editableWithEditsSaved())
        return;
    const CommandsDisabled disabled(host_.window());
    const CalculationGrids::SegmentPosition position = grids.segmentPosition();
    ParametersDialog* dialog = parametersDialog();
    const IndicatorCheckResult& lastCheck = session.lastIndicatorCheck();
    if (!guardedStep(dialogs, kParametersContext,
                     [&] { dialog->prepare(lastCheck.offendingRow, lastCheck.offendingShortName); }))
        return;
    dialog->applyFontSizes(host_.fontSizes());
    dialog->exec();

    // Design mode: the given heads apply at the start node.
    guardedStep(dialogs, kHeadNodesContext, [&] {
        if (const std::optional<QString> startNode = placeGivenHeadsAtStartNode(session.data()))
            grids.showHeadNodes(*startNode);
    });

    // The definitions are examined and the tables reshaped with the grids
    // released; they come back only for a sound catalogue and a correct network.
    guardedStep(dialogs, kCheckContext, [&] { session.recheckIndicators(); });
    host_.bindGridsIfReleased();
    grids.restoreSegmentPosition(position);
}

// ---------------------------------------------------------------- repeated data entry

RepeatedEntryDialog* DataCommands::repeatedEntryDialog()
{
    if (!repeatedEntryDialog_)
        repeatedEntryDialog_ = new RepeatedEntryDialog(host_.session().data(), host_.dialogs(), &host_.window());
    return repeatedEntryDialog_;
}

void DataCommands::repeatedEntry()
{
    DocumentSession& session = host_.session();
    UserDialogs& dialogs = host_.dialogs();
    CalculationGrids& grids = host_.grids();
    if (!session.data().calculationOpen() || !session.indicatorsValid())
        return;
    if (!editableWithEditsSaved())
        return;
    const CommandsDisabled disabled(host_.window());
    const CalculationGrids::SegmentPosition position = grids.segmentPosition();
    RepeatedEntryDialog* dialog = repeatedEntryDialog();
    int segments = 0;
    if (!guardedStep(dialogs, kRepeatedEntryContext, [&] { segments = dialog->prepare(); }))
        return;
    if (segments == 0) {
        dialogs.showMessage(
            QStringLiteral("В таблице с исходными данными о участках сети должна быть хотя бы одна запись."),
            MessageKind::Warning);
        return;
    }
    dialog->applyFontSizes(host_.fontSizes());
    dialog->exec();
    grids.restoreSegmentPosition(position);
}

// ---------------------------------------------------------------- loading from a spreadsheet

void DataCommands::loadFromSpreadsheet()
{
    DocumentSession& session = host_.session();
    UserDialogs& dialogs = host_.dialogs();
    CalculationGrids& grids = host_.grids();
    if (!session.data().calculationOpen() || !session.data().settingsOpen() || !session.indicatorsValid())
        return;
    if (const SegmentTableModel* segments = grids.segmentModel();
        segments && segments->rowCount() == 0 && !segments->canFetchMore(QModelIndex())) {
        dialogs.showMessage(
            QStringLiteral("В таблице с исходными данными о участках сети должна быть хотя бы одна запись."),
            MessageKind::Warning);
        return;
    }
    if (!editableWithEditsSaved())
        return;
    const CommandsDisabled disabled(host_.window());
    const CalculationGrids::SegmentPosition position = grids.segmentPosition();
    SpreadsheetLoadDialog dialog(session.data(), dialogs, host_.progress(), &host_.window());
    if (!guardedStep(dialogs, kLoadContext, [&] { dialog.prepare(); }))
        return;
    dialog.applyFontSizes(host_.fontSizes());
    dialog.exec();
    grids.restoreSegmentPosition(position);
}

// ---------------------------------------------------------------- adjustment of the inputs

void DataCommands::adjustment()
{
    DocumentSession& session = host_.session();
    UserDialogs& dialogs = host_.dialogs();
    CalculationGrids& grids = host_.grids();
    if (!session.data().calculationOpen())
        return;
    // An edit still in the grids clears the calculation-done flag when it is
    // posted, and then the command refuses, as the report does.
    if (!guardedStep(dialogs, kSaveContext, [&] {
            grids.finishEditing();
            grids.postPendingEdits();
        }))
        return;
    if (!session.data().calculationDone()) {
        dialogs.showMessage(kAdjustmentNeedsCalculation, MessageKind::Warning);
        return;
    }
    const CommandsDisabled disabled(host_.window());
    AdjustmentWindow window(session.data(), dialogs, &host_.window());
    QString refusal;
    if (!guardedStep(dialogs, kAdjustmentContext, [&] { refusal = window.prepare(); }))
        return;
    if (!refusal.isEmpty()) {
        dialogs.showMessage(refusal, MessageKind::Warning);
        return;
    }
    window.applyFontSizes(host_.fontSizes());
    window.exec();
}

} // namespace zurm::gui
