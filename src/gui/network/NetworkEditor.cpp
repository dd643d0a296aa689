#include "gui/network/NetworkEditor.h"
#include "gui/network/NetworkEditorParts.h"

#include "base/Guarded.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "gui/entry/CalculationGrid.h"
#include "gui/help/Help.h"
#include "gui/network/AutoFillEndNodesDialog.h"
#include "gui/network/AutoFillNodesDialog.h"
#include "gui/network/ConsumersTab.h"
#include "gui/network/SchemaView.h"
#include "session/DocumentSession.h"
#include "settings/FontSizes.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace zurm::gui {

using namespace editorparts;

// Progress of the topology check run from the editor: the editor's menu and
// panels are locked, texts go to the main window's status bar.
class NetworkEditor::EditorProgress : public Progress {
public:
    EditorProgress(NetworkEditor& editor, Progress& main) : editor_(editor), main_(main) {}
    void setStatus(const QString& text) override { main_.setStatus(text); }
    void setBusy(bool busy) override { main_.setBusy(busy); }
    void processEvents() override { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
    void lockWindow() override
    {
        if (depth_++ > 0)
            return;
        editor_.menuBar_->setEnabled(false);
        editor_.pnClient_->setEnabled(false);
        editor_.tcTabl_->setEnabled(false);
    }
    void unlockWindow() override
    {
        if (depth_ == 0 || --depth_ > 0)
            return;
        editor_.menuBar_->setEnabled(true);
        editor_.pnClient_->setEnabled(true);
        editor_.tcTabl_->setEnabled(true);
    }

private:
    NetworkEditor& editor_;
    Progress& main_;
    int depth_ = 0;
};

NetworkEditor::NetworkEditor(DocumentSession& session, UserDialogs& dialogs, Progress& progress, QWidget* parent)
    : QDialog(parent), session_(session), dialogs_(dialogs), mainProgress_(progress)
{
    setObjectName(QStringLiteral("TParTSForm"));
    setWindowTitle(QStringLiteral("Параметры теплосети"));
    setModal(true);
    resize(1200, 760);
    progress_ = std::make_unique<EditorProgress>(*this, mainProgress_);
    DataModule& data = session_.data();
    for (NetworkTable table :
         {NetworkTable::Nodes, NetworkTable::Segments, NetworkTable::HeadChanges, NetworkTable::EndNodes}) {
        auto* model = new NetworkTableModel(data, dialogs_, table, this);
        models_.insert(table, model);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    menuBar_ = new QMenuBar(this);
    menuBar_->setNativeMenuBar(false);
    layout->setMenuBar(menuBar_);
    createPanels();
    layout->addWidget(pnClient_);
    createMenus(menuBar_);
    sizeColumns();
    // Auto-fill and other views tell the editor that the tables changed.
    connect(&session_.events(), &DocumentEvents::inputChanged, this,
            [this](const QObject* source) { inputChangedElsewhere(source); }, Qt::QueuedConnection);
}

NetworkEditor::~NetworkEditor() = default;

NetworkTableModel* NetworkEditor::model(NetworkTable table) const
{
    return models_.value(table);
}

// ---------------------------------------------------------------- layout

CalculationGrid* NetworkEditor::createGrid(const char* name, NetworkTableModel* model, const QStringList& columns,
                                           const QStringList& captions, bool multiRow)
{
    auto* grid = new CalculationGrid;
    grid->setObjectName(QString::fromUtf8(name));
    grid->setDialogs(&dialogs_);
    grid->setModel(model);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    grid->horizontalHeader()->setStretchLastSection(true);
    const QStringList all = NetworkTableModel::columnNames(model->table());
    for (int column = 0; column < all.size(); ++column) {
        const qsizetype at = columns.indexOf(all[column]);
        grid->setColumnHidden(column, at < 0);
        if (at >= 0)
            model->setHeaderData(column, Qt::Horizontal, captions.value(at));
    }
    if (multiRow) {
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    grid->installEventFilter(this);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, grid](const QModelIndex& current, const QModelIndex& previous) {
                currentRowChanged(grid, current.row(), previous.row());
            });
    connect(grid, &CalculationGrid::navigationKey, this, [this](int code) { lastKey_ = code; });
    connect(grid, &CalculationGrid::edgeReached, this, [this, grid](int) {
        if (lastKey_ == 40)
            appendRow(grid);
    });
    model->refusedInput = [grid](const QString& message) { grid->reportRefusedInput(message); };
    grids_.append(grid);
    return grid;
}

void NetworkEditor::applyFontSizes(const FontSizes& sizes)
{
    for (CalculationGrid* grid : grids_) {
        QFont cells = grid->font();
        cells.setPointSize(sizes.dataCells);
        grid->setFont(cells);
        grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(cells).height() + 8);
        QFont titles = grid->horizontalHeader()->font();
        titles.setPointSize(sizes.columnTitles);
        grid->horizontalHeader()->setFont(titles);
    }
    fontScale_ = qMax(sizes.dataCells, sizes.columnTitles) / 10.0;
    fontSizes_ = sizes;
    consumersTab_->applyFontSizes(sizes);
    sizeColumns();
}

void NetworkEditor::sizeColumns()
{
    for (CalculationGrid* grid : grids_) {
        const bool key = grid == dgUzTS_ || grid == dgNU_ || grid == dgKonMagIdM_;
        const QStringList all = NetworkTableModel::columnNames(static_cast<NetworkTableModel*>(grid->model())->table());
        int shown = 0;
        for (int column = 0; column < all.size(); ++column) {
            const int width = int((all[column] == QStringLiteral("Примечание") ? 260 : key ? 90 : 130) * fontScale_);
            grid->setColumnWidth(column, width);
            if (!grid->isColumnHidden(column))
                shown += width;
        }
        // Captions wrap into up to four lines.
        grid->horizontalHeader()->setMinimumHeight(QFontMetrics(grid->horizontalHeader()->font()).height() * 4 + 8);
        // A key grid always shows its columns whole.
        if (key || grid == dgIsmPNap_)
            grid->setMinimumWidth(shown + 2 * grid->frameWidth() + (grid == dgIsmPNap_ ? 20 : 0));
    }
}

void NetworkEditor::pairGrids(CalculationGrid* key, CalculationGrid* data)
{
    partner_.insert(key, data);
    partner_.insert(data, key);
    // The pair scrolls as one: the data grid's scroll bar serves both.
    key->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(key->verticalScrollBar(), &QScrollBar::valueChanged, data->verticalScrollBar(), &QScrollBar::setValue);
    connect(data->verticalScrollBar(), &QScrollBar::valueChanged, key->verticalScrollBar(), &QScrollBar::setValue);
}

void NetworkEditor::createPanels()
{
    pnClient_ = new QWidget(this);
    pnClient_->setObjectName(QStringLiteral("pnClient"));
    auto* outer = new QVBoxLayout(pnClient_);
    outer->setContentsMargins(4, 4, 4, 4);
    auto* split = new QSplitter(Qt::Horizontal, pnClient_);
    split->setObjectName(QStringLiteral("spSchema"));
    outer->addWidget(split);

    auto* schemaPanel = new QWidget;
    auto* schemaLayout = new QVBoxLayout(schemaPanel);
    schemaLayout->setContentsMargins(0, 0, 0, 0);
    schemaLayout->addWidget(new QLabel(QStringLiteral("Схема теплосети:")));
    schema_ = new SchemaView(session_, SchemaWindow::Editor, schemaPanel);
    schema_->setObjectName(QStringLiteral("schema"));
    schemaLayout->addWidget(schema_, 1);
    split->addWidget(schemaPanel);

    auto* tables = new QSplitter(Qt::Vertical);
    tables->setObjectName(QStringLiteral("spTables"));
    auto* nodesPanel = new QWidget;
    auto* nodesLayout = new QVBoxLayout(nodesPanel);
    nodesLayout->setContentsMargins(0, 0, 0, 0);
    nodesLayout->addWidget(new QLabel(QStringLiteral("Узлы теплосети:")));
    auto* nodePair = new QSplitter(Qt::Horizontal);
    NetworkTableModel* nodes = models_.value(NetworkTable::Nodes);
    dgUzTS_ = createGrid("DGUzTS", nodes, {QStringLiteral("Nуз")}, {QStringLiteral("Узел")}, true);
    dgGeodVis_ = createGrid("DGGeodVis", nodes, {QStringLiteral("ГеодВыс")},
                            {QStringLiteral("Геодезическая высота узла, м.")}, false);
    nodePair->addWidget(dgUzTS_);
    nodePair->addWidget(dgGeodVis_);
    nodePair->setSizes({110, 400});
    pairGrids(dgUzTS_, dgGeodVis_);
    nodesLayout->addWidget(nodePair, 1);
    auto* startLine = new QHBoxLayout;
    startLine->addWidget(new QLabel(QStringLiteral("Начальный узел теплосети: ")));
    edNachUzTS_ = new QLineEdit;
    edNachUzTS_->setObjectName(QStringLiteral("edNachUzTS"));
    edNachUzTS_->setMaximumWidth(120);
    startLine->addWidget(edNachUzTS_);
    startLine->addStretch(1);
    nodesLayout->addLayout(startLine);
    tables->addWidget(nodesPanel);

    tcTabl_ = new QTabWidget;
    tcTabl_->setObjectName(QStringLiteral("tcTabl"));
    auto* segmentTab = new QSplitter(Qt::Horizontal);
    NetworkTableModel* segments = models_.value(NetworkTable::Segments);
    dgNU_ = createGrid("DGNU", segments, {QStringLiteral("НачУзел"), QStringLiteral("КонУзел")},
                       {QStringLiteral("Нач. узел"), QStringLiteral("Кон. узел")}, true);
    dgTabl_ = createGrid("DGTabl", segments,
                         {QStringLiteral("ДлНаУчПод"), QStringLiteral("ДлНаУчОбр"), QStringLiteral("РасхПод"),
                          QStringLiteral("РасхОбр"), QStringLiteral("Примечание")},
                         {QStringLiteral("Длина под. тр-провода на участке, м."),
                          QStringLiteral("Длина обр. тр-провода на участке, м."), QStringLiteral("РасхПод"),
                          QStringLiteral("РасхОбр"), QStringLiteral("Примечание (текстовый комментарий, если есть)")},
                         false);
    segmentTab->addWidget(dgNU_);
    segmentTab->addWidget(dgTabl_);
    segmentTab->setSizes({190, 640});
    pairGrids(dgNU_, dgTabl_);
    tcTabl_->addTab(segmentTab, QStringLiteral("Участки теплосети"));

    dgIsmPNap_ = createGrid("DGIsmPNap", models_.value(NetworkTable::HeadChanges),
                            {QStringLiteral("Nуз"), QStringLiteral("ТрПр"), QStringLiteral("ИзмПНап")},
                            {QStringLiteral("Узел (кроме нач. узла)"), QStringLiteral("Трубопровод (Под. или Обр.)"),
                             QStringLiteral("Изменение напора, м.")},
                            true);
    tcTabl_->addTab(dgIsmPNap_, QStringLiteral("Изменение полного напора в узлах теплосети"));

    endNodeTab_ = new QWidget;
    auto* endLayout = new QVBoxLayout(endNodeTab_);
    endLayout->setContentsMargins(0, 0, 0, 0);
    edTop_ = new QLineEdit;
    edTop_->setObjectName(QStringLiteral("edTop"));
    edTop_->setReadOnly(true);
    endLayout->addWidget(edTop_);
    auto* endPair = new QSplitter(Qt::Horizontal);
    NetworkTableModel* ends = models_.value(NetworkTable::EndNodes);
    dgKonMagIdM_ = createGrid("DGKonMagId_m", ends, {QStringLiteral("id_m"), QStringLiteral("КонУзел")},
                              {QStringLiteral("№ п/п"), QStringLiteral("Кон. узел")}, false);
    dgKonMag_ = createGrid("DGKonMag", ends,
                           {QStringLiteral("ПНапЗПод"), QStringLiteral("РНапЗ"), QStringLiteral("ДельтаТ")},
                           {QStringLiteral("Полный напор в под. тр-проводе, м."), QStringLiteral("Располагаемый напор, м."),
                            QStringLiteral("Т воды в под. т-п. минус Т воды в обр. т-п., град. С")},
                           false);
    endPair->addWidget(dgKonMagIdM_);
    endPair->addWidget(dgKonMag_);
    endPair->setSizes({190, 640});
    pairGrids(dgKonMagIdM_, dgKonMag_);
    endLayout->addWidget(endPair, 1);
    consumersTab_ = new ConsumersTab(session_.data(), dialogs_, this);
    consumersTab_->hide();
    tables->addWidget(tcTabl_);
    tables->setSizes({300, 420});
    split->addWidget(tables);
    split->setSizes({520, 680});
    connect(tcTabl_, &QTabWidget::currentChanged, this, [this] { tabChanged(); });
    for (QSplitter* splitter : {split, tables, nodePair, segmentTab, endPair})
        connect(splitter, &QSplitter::splitterMoved, this, [this] { finishAllEditing(); });
}

void NetworkEditor::createMenus(QMenuBar* bar)
{
    auto add = [this](QMenu* menu, const char* name, const QString& text, const std::function<void()>& handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromUtf8(name));
        if (handler)
            connect(action, &QAction::triggered, this, handler);
        else
            action->setEnabled(false);
        actions_.insert(QString::fromUtf8(name), action);
        return action;
    };
    QMenu* scheme = bar->addMenu(QStringLiteral("Схема теплосети"));
    scheme->setObjectName(QStringLiteral("miShTS"));
    add(scheme, "miShTSRis", QStringLiteral("Рисование схемы теплосети"), [this] { drawNetworkSchema(); });
    add(scheme, "miShTSCopy", QStringLiteral("Копировать схему в буфер обмена"), [this] { schema_->copyToClipboard(); });
    scheme->addSeparator();
    add(scheme, "miShTSRZapT", QStringLiteral("Ручное заполнение таблиц \"Узлы теплосети\", \"Участки теплосети\""),
        [this] { switchManualFillOn(); })
        ->setCheckable(true);
    add(scheme, "miShTSEditKonUz", QStringLiteral("Править таблицу \"Конечные узлы теплосети\""),
        [this] { switchEndNodeEditingOn(); })
        ->setCheckable(true);
    add(scheme, "miShTSAutoZapKonUz", QStringLiteral("Автозаполнение таблицы \"Конечные узлы теплосети\""),
        [this] { autoFillEndNodes(); });
    scheme->addSeparator();
    add(scheme, "miShTSSelUzTS", QStringLiteral("Выделение узлов на схеме теплосети"), [this] { selectNodesByNumbers(); });
    add(scheme, "miShTSCancelSelUzTS", QStringLiteral("Отмена выделения узлов на схеме теплосети"),
        [this] { cancelSelection(); });

    QMenu* labels = bar->addMenu(QStringLiteral("Надписи на схеме сети"));
    labels->setObjectName(QStringLiteral("miNadpNaSh"));
    actions_.insert(QStringLiteral("miNadpNaSh"), labels->menuAction());
    add(labels, "miNadpNaShPodpAllU", QStringLiteral("Подписать все узлы на схеме"), [this] { setLabelMode(0); });
    add(labels, "miNadpNaShPodpNKU", QStringLiteral("Подписать только начальный и конечные узлы"),
        [this] { setLabelMode(1); });
    add(labels, "miNadpNaShDelAll", QStringLiteral("Удалить все надписи"), [this] { setLabelMode(2); });

    QMenu* edit = bar->addMenu(QStringLiteral("Правка"));
    edit->setObjectName(QStringLiteral("miEdit"));
    struct TableItems {
        NetworkTable table;
        const char* markAll;
        const char* deleteMarked;
        const char* deleteAll;
    } items[] = {
        {NetworkTable::Nodes, "miEditSelAllUzTS", "miEditDelRecUzTS", "miEditDelAllRecUzTS"},
        {NetworkTable::Segments, "miEditSelAllUchTS", "miEditDelRecUchTS", "miEditDelAllRecUchTS"},
        {NetworkTable::HeadChanges, "miEditSelAllIPN", "miEditDelRecIPN", "miEditDelAllRecIPN"},
    };
    for (const TableItems& item : items) {
        const QString table = quoted(variantOf(item.table).table);
        const NetworkTable which = item.table;
        add(edit, item.markAll, QStringLiteral("Выделить все записи таблицы ") + table, [this, which] { markAllRows(which); });
        add(edit, item.deleteMarked, QStringLiteral("Удалить записи таблицы ") + table,
            [this, which] { deleteMarkedRows(which); });
        add(edit, item.deleteAll, QStringLiteral("Удалить все записи таблицы ") + table,
            [this, which] { deleteAllRows(which); });
        edit->addSeparator();
    }
    add(edit, "miEditAutoZapUzTS", QStringLiteral("Автозаполнение таблицы \"Узлы теплосети\""), [this] { autoFillNodes(); });
    edit->addSeparator();
    add(edit, "miEditLoadPotr", QStringLiteral("Загрузить данные потребителей из Microsoft Excel"),
        [this] { loadConsumers(); })
        ->setEnabled(false);

    QAction* saveClose = bar->addAction(QStringLiteral("Сохранить и закрыть"));
    saveClose->setObjectName(QStringLiteral("miSaveClose"));
    connect(saveClose, &QAction::triggered, this, [this] { accept(); });
    QAction* help = bar->addAction(QStringLiteral("?"));
    help->setObjectName(QStringLiteral("miHlp"));
    connect(help, &QAction::triggered, this, [this] { showHelp(this, QStringLiteral("GR/FormShTS.htm")); });

    // Context menus of the grids and of the schema.
    auto context = [this](const char* name, const QString& text, const QList<QWidget*>& widgets,
                          const std::function<void()>& handler) {
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromUtf8(name));
        connect(action, &QAction::triggered, this, handler);
        for (QWidget* widget : widgets) {
            widget->setContextMenuPolicy(Qt::ActionsContextMenu);
            widget->addAction(action);
        }
        actions_.insert(QString::fromUtf8(name), action);
    };
    const QString current = QStringLiteral("Выделить текущий узел на схеме теплосети");
    context("miUzTSSelTekUz", current, {dgUzTS_, dgGeodVis_}, [this] { selectCurrentNodes(NetworkTable::Nodes); });
    context("miIsmPNapSelTekUz", current, {dgIsmPNap_}, [this] { selectCurrentNodes(NetworkTable::HeadChanges); });
    context("miKonMagSelTekUz", current, {dgKonMagIdM_, dgKonMag_}, [this] { selectCurrentNodes(NetworkTable::EndNodes); });
    context("miTablSelTekUz", QStringLiteral("Выделить текущие узлы на схеме теплосети"), {dgNU_, dgTabl_},
            [this] { selectCurrentNodes(NetworkTable::Segments); });
    context("miShTSFindUchNachUz",
            QStringLiteral("Найти участки в табл. \"Участки теплосети\", которые начинаются с выдел. узлов"), {schema_},
            [this] { findSelectedNodes(0); });
    context("miShTSFindUchKonUz",
            QStringLiteral("Найти участки в табл. \"Участки теплосети\", которые заканчиваются выдел. узлами"), {schema_},
            [this] { findSelectedNodes(1); });
    context("miShTSFindUz", QStringLiteral("Найти выделенные узлы в таблице \"Узлы теплосети\""), {schema_},
            [this] { findSelectedNodes(2); });
}

// ---------------------------------------------------------------- showing and closing

bool NetworkEditor::prepare()
{
    closed_ = false;
    return guarded(kOpenContext, [&] {
        const DocumentViewState& view = session_.viewState();
        state_ = std::make_unique<NetworkEditorState>(session_.data(), dialogs_, *progress_);
        state_->open(view.networkStatus, view.networkStatusText);
        for (NetworkTableModel* model : std::as_const(models_)) {
            model->setTwoPipe(state_->twoPipe());
            model->select();
        }
        const QVariant start = CalculationRow(session_.data().calculation()).value(CalculationRow::kStartNode);
        edNachUzTS_->setText(start.isNull() ? QString() : start.toString());
        schema_->setEditorNetwork(state_->twoPipe() ? 1 : 0, state_->status());
        schema_->clearSelection();
        setWindowTitle(schema_->loadMap());
        showEndNodeTab(state_->endNodesShown());
        refreshConsumersTab();
        applyColumns();
        selectTab(0);
        UpdateEditorMenus();
        for (CalculationGrid* grid : {dgUzTS_, dgNU_, dgIsmPNap_, dgKonMagIdM_})
            if (grid->model()->rowCount() > 0)
                setCurrentRow(grid, 0);
    });
}

void NetworkEditor::applyColumns()
{
    NetworkTableModel* segments = models_.value(NetworkTable::Segments);
    segments->setHeaderData(5, Qt::Horizontal, state_->supplyFlowCaption);
    segments->setHeaderData(6, Qt::Horizontal, state_->returnFlowCaption);
    const NetworkEditorState::Columns c = state_->columns();
    dgTabl_->setColumnHidden(4, !c.returnLength);
    dgTabl_->setColumnHidden(6, !c.returnFlow);
    dgKonMag_->setColumnHidden(2, !c.givenSupplyHead);
    dgKonMag_->setColumnHidden(3, !c.givenAvailableHead);
    dgKonMag_->setColumnHidden(4, !c.temperatureDifference);
}

void NetworkEditor::showEndNodeTab(bool shown)
{
    const int at = tcTabl_->indexOf(endNodeTab_);
    // Its place is after the two tabs that are always there, before the consumers.
    if (shown && at < 0)
        tcTabl_->insertTab(2, endNodeTab_, QStringLiteral("Конечные узлы теплосети"));
    else if (!shown && at >= 0)
        tcTabl_->removeTab(at);
}

void NetworkEditor::selectTab(int tab)
{
    if (tab >= 0 && tab < tcTabl_->count())
        tcTabl_->setCurrentIndex(tab);
}

void NetworkEditor::tabChanged()
{
    if (!state_)
        return;
    DataSave();
}

void NetworkEditor::done(int result)
{
    if (closed_ || closing_ || !state_) {
        QDialog::done(result);
        return;
    }
    closing_ = true;
    finishAllEditing();
    // A row that cannot be saved keeps the editor open on it.
    bool saved = true;
    for (CalculationGrid* grid : {dgUzTS_, dgNU_, dgIsmPNap_, dgKonMagIdM_}) {
        auto* model = static_cast<NetworkTableModel*>(grid->model());
        const int row = model->pendingRow();
        if (row >= 0 && !leaveRow(grid, row)) {
            saved = false;
            setCurrentRow(grid, row);
        }
    }
    if (!saved) {
        closing_ = false;
        return;
    }
    closeEditor();
    closing_ = false;
    closed_ = true;
    QDialog::done(result);
}

void NetworkEditor::closeEditor()
{
    guarded(kCloseContext, [&] { schema_->clearSelection(); });
    guarded(kCloseContext, [&] { state_->close(startNodeText()); });
}

void NetworkEditor::resizeEvent(QResizeEvent* event)
{
    finishAllEditing();
    QDialog::resizeEvent(event);
}

// ---------------------------------------------------------------- modes

void NetworkEditor::UpdateEditorMenus()
{
    const NetworkEditorState::Menus m = state_->menus(models_.value(NetworkTable::EndNodes)->rowCount());
    for (const char* name : {"miEditSelAllUzTS", "miEditDelRecUzTS", "miEditDelAllRecUzTS", "miEditSelAllUchTS",
                             "miEditDelRecUchTS", "miEditDelAllRecUchTS"})
        actions_.value(QString::fromUtf8(name))->setEnabled(m.manualCommands);
    edNachUzTS_->setEnabled(m.manualCommands);
    for (const char* name : {"miShTSSelUzTS", "miShTSCancelSelUzTS", "miUzTSSelTekUz", "miIsmPNapSelTekUz",
                             "miKonMagSelTekUz", "miTablSelTekUz", "miNadpNaSh", "miShTSFindUchNachUz",
                             "miShTSFindUchKonUz", "miShTSFindUz"})
        actions_.value(QString::fromUtf8(name))->setEnabled(m.selectionCommands);
    actions_.value(QStringLiteral("miShTSAutoZapKonUz"))->setEnabled(m.autoFillEndNodes);
    actions_.value(QStringLiteral("miShTSEditKonUz"))->setEnabled(state_->endNodesShown());
    actions_.value(QStringLiteral("miShTSEditKonUz"))->setChecked(state_->endNodeEditing());
    actions_.value(QStringLiteral("miShTSRZapT"))->setChecked(state_->manualFill());
    edTop_->setText(m.endNodeHint);
    schema_->setClickSelects(m.selectionCommands);

    models_.value(NetworkTable::Nodes)->setEditableColumns(m.keyGridsEditable ? QSet<int>{0, 1} : QSet<int>{1});
    models_.value(NetworkTable::Segments)
        ->setEditableColumns(m.keyGridsEditable ? QSet<int>{1, 2, 3, 4, 5, 6, 7} : QSet<int>{3, 4, 5, 6, 7});
    models_.value(NetworkTable::HeadChanges)->setEditableColumns({0, 1, 2});
    models_.value(NetworkTable::EndNodes)->setEditableColumns(m.endNodesEditable ? QSet<int>{2, 3, 4} : QSet<int>{});
    for (CalculationGrid* grid : grids_)
        grid->viewport()->update();
    guarded(kCommandContext, [&] { state_->noteMenusApplied(this); });
}

void NetworkEditor::switchManualFillOn()
{
    if (state_->manualFill()) {
        actions_.value(QStringLiteral("miShTSRZapT"))->setChecked(true);
        return;
    }
    guarded(kCommandContext, [&] { state_->switchManualFillOn(); });
    schema_->setEditorNetwork(state_->twoPipe() ? 1 : 0, state_->status());
    schema_->paintSchema();
    UpdateEditorMenus();
    selectTab(0);
}

void NetworkEditor::switchEndNodeEditingOn()
{
    if (state_->endNodeEditing()) {
        actions_.value(QStringLiteral("miShTSEditKonUz"))->setChecked(true);
        return;
    }
    DataSave();
    guarded(kCommandContext, [&] { state_->switchEndNodeEditingOn(startNodeText()); });
    UpdateEditorMenus();
    if (state_->endNodeEditing()) {
        guarded(kCommandContext, [&] {
            models_.value(NetworkTable::EndNodes)->select();
            refreshConsumersTab();
        });
        UpdateEditorMenus();
        schema_->setEditorNetwork(state_->twoPipe() ? 1 : 0, state_->status());
        schema_->paintSchema();
        selectTab(tcTabl_->indexOf(endNodeTab_));
    }
}

void NetworkEditor::autoFillNodes()
{
    DataSave();
    // The dialog lives as long as the editor: its fields keep what was typed.
    if (!autoFillNodes_)
        autoFillNodes_ = new AutoFillNodesDialog(session_, this);
    autoFillNodes_->prepareAddMissing(state_->manualFill());
    autoFillNodes_->exec();
    reselect();
}

void NetworkEditor::autoFillEndNodes()
{
    DataSave();
    if (!autoFillEndNodes_)
        autoFillEndNodes_ = new AutoFillEndNodesDialog(session_, this);
    // Only the values the end-node grid shows can be filled.
    const NetworkEditorState::Columns shown = state_->columns();
    autoFillEndNodes_->prepare(shown.givenSupplyHead, shown.givenAvailableHead, shown.temperatureDifference);
    autoFillEndNodes_->exec();
    reselect();
}

void NetworkEditor::setLabelMode(int mode)
{
    NetworkCommand command(*this);
    schema_->setLabelMode(mode);
}

// ---------------------------------------------------------------- rows

int NetworkEditor::currentRow(CalculationGrid* grid) const
{
    return grid->currentIndex().isValid() ? grid->currentIndex().row() : -1;
}

void NetworkEditor::setCurrentRow(CalculationGrid* grid, int row)
{
    const int rows = grid->model()->rowCount();
    if (rows == 0)
        return;
    row = std::clamp(row, 0, rows - 1);
    int column = grid->currentIndex().isValid() ? grid->currentIndex().column() : -1;
    if (column < 0 || grid->isColumnHidden(column)) {
        column = 0;
        while (column < grid->model()->columnCount() && grid->isColumnHidden(column))
            ++column;
    }
    const bool multi = grid->selectionMode() == QAbstractItemView::ExtendedSelection;
    grid->selectionModel()->setCurrentIndex(grid->model()->index(row, column),
                                            multi ? QItemSelectionModel::NoUpdate
                                                  : QItemSelectionModel::ClearAndSelect);
    grid->scrollTo(grid->model()->index(row, column));
}

void NetworkEditor::finishAllEditing()
{
    for (CalculationGrid* grid : grids_)
        grid->finishEditing();
    consumersTab_->finishEditing();
}

bool NetworkEditor::leaveRow(CalculationGrid* grid, int row)
{
    auto* model = static_cast<NetworkTableModel*>(grid->model());
    if (row < 0 || row >= model->rowCount())
        return true;
    if (model->isNewRow(row) && !model->rowPending(row)) {
        // A new row the user typed nothing into goes away again.
        model->revertRow(row);
        return true;
    }
    if (!model->rowPending(row) && !model->isNewRow(row))
        return true;
    return guarded(kSaveContext, [&] { model->postRow(row); });
}

void NetworkEditor::currentRowChanged(CalculationGrid* grid, int current, int previous)
{
    if (syncing_)
        return;
    syncing_ = true;
    if (CalculationGrid* other = partner_.value(grid); other && current >= 0)
        setCurrentRow(other, current);
    syncing_ = false;
    if (previous < 0 || previous == current || closing_)
        return;
    auto* model = static_cast<NetworkTableModel*>(grid->model());
    if (model->isNewRow(previous) && !model->rowPending(previous)) {
        // A new row the user typed nothing into goes away once the view has
        // finished moving off it.
        QTimer::singleShot(0, this, [this, grid] {
            auto* m = static_cast<NetworkTableModel*>(grid->model());
            const int last = m->rowCount() - 1;
            if (last >= 0 && m->isNewRow(last) && !m->rowPending(last) && currentRow(grid) != last)
                m->revertRow(last);
        });
        return;
    }
    if (!leaveRow(grid, previous)) {
        // The row stays in edit: the cursor goes back to it.
        QTimer::singleShot(0, this, [this, grid, previous] {
            syncing_ = true;
            setCurrentRow(grid, previous);
            if (CalculationGrid* other = partner_.value(grid))
                setCurrentRow(other, previous);
            syncing_ = false;
        });
        return;
    }
}

bool NetworkEditor::appendAllowed(CalculationGrid* grid) const
{
    if (grid == dgIsmPNap_)
        return true;
    if (grid == dgUzTS_ || grid == dgNU_)
        return state_ && state_->manualFill();
    return false; // DGGeodVis, DGTabl, DGKonMag and DGKonMagId_m add no rows
}

bool NetworkEditor::appendRow(CalculationGrid* grid)
{
    if (!appendAllowed(grid) || session_.data().calculationReadOnly())
        return false;
    auto* model = static_cast<NetworkTableModel*>(grid->model());
    grid->finishEditing();
    const int row = currentRow(grid);
    if (!leaveRow(grid, row))
        return false;
    if (model->rowCount() > 0 && model->isNewRow(model->rowCount() - 1))
        return false;
    bool added = false;
    model->setAppendAllowed(true);
    guarded(kSaveContext, [&] { added = model->appendRow(); });
    model->setAppendAllowed(false);
    if (added) {
        setCurrentRow(grid, model->rowCount() - 1);
        grid->setFocus();
    }
    return added;
}

bool NetworkEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* grid = qobject_cast<CalculationGrid*>(watched);
        auto* key = static_cast<QKeyEvent*>(event);
        if (grid && grids_.contains(grid)) {
            if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier) {
                appendRow(grid);
                return true;
            }
            // An empty table: Down adds its first row.
            if (key->key() == Qt::Key_Down && grid->model()->rowCount() == 0) {
                appendRow(grid);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void NetworkEditor::DataSave()
{
    finishAllEditing();
    for (CalculationGrid* grid : {dgUzTS_, dgNU_, dgIsmPNap_, dgKonMagIdM_}) {
        auto* model = static_cast<NetworkTableModel*>(grid->model());
        const int row = model->pendingRow();
        if (row >= 0)
            leaveRow(grid, row);
    }
}

void NetworkEditor::reselect()
{
    QHash<CalculationGrid*, int> rows;
    for (CalculationGrid* grid : {dgUzTS_, dgNU_, dgIsmPNap_, dgKonMagIdM_})
        rows.insert(grid, currentRow(grid));
    guarded(kCommandContext, [&] {
        for (NetworkTableModel* model : std::as_const(models_))
            model->select();
        if (state_)
            refreshConsumersTab();
    });
    for (auto it = rows.cbegin(); it != rows.cend(); ++it)
        setCurrentRow(it.key(), it.value());
    if (state_)
        UpdateEditorMenus();
}

void NetworkEditor::inputChangedElsewhere(const QObject* source)
{
    // The drawing window's changes are read once it closes.
    if (!isVisible() || closing_ || drawing_)
        return;
    for (NetworkTableModel* model : std::as_const(models_))
        if (source == model)
            return;
    if (source == this || source == consumersTab_->model())
        return;
    DataSave();
    reselect();
}

bool NetworkEditor::guarded(const QString& context, const std::function<void()>& step)
{
    return guardedStep(dialogs_, context, step);
}

QString NetworkEditor::startNodeText() const
{
    return edNachUzTS_->text();
}

} // namespace zurm::gui
