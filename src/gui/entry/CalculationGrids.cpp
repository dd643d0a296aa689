#include "gui/entry/CalculationGrids.h"

#include "base/Failure.h"
#include "base/Guarded.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "entry/CalculationFields.h"
#include "entry/HeaderRowModel.h"
#include "entry/SegmentTableModel.h"
#include "gui/entry/CalculationGrid.h"
#include "gui/entry/CaptionHeaderView.h"
#include "session/DocumentSession.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace zurm::gui {

namespace {

const QString kSaveContext = QStringLiteral("Ошибка при сохранении данных.");
const QString kBindContext = QStringLiteral("Ошибка при открытии таблиц гидравлического расчета.");
constexpr int kStartNodeWidth = 53;
constexpr int kEndNodeWidth = 75;
constexpr int kTopPanelMinimum = 25;
constexpr int kTopPanelMaximum = 220;
constexpr int kTopPanelInitial = 157;
constexpr int kLeftPanelMinimum = 20;
constexpr int kLeftPanelMaximum = 147;

QString fieldName(const QAbstractItemModel* model, int column)
{
    return model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

} // namespace

QFont sizedFont(QFont font, int points)
{
    font.setPointSize(points);
    return font;
}

CalculationGrids::CalculationGrids(DocumentSession& session, UserDialogs& dialogs, QWidget* parent)
    : QSplitter(Qt::Vertical, parent), session_(session), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("spHor"));
    setChildrenCollapsible(false);
    createTopPanel();
    createSegmentPanel();
    addWidget(pnTop_);
    addWidget(spVert_);
    setStretchFactor(1, 1);
    setSizes({kTopPanelInitial, window()->height() - kTopPanelInitial});

    // A cell being edited keeps its text when a panel changes size.
    connect(this, &QSplitter::splitterMoved, this, [this] { finishEditing(); });
    connect(spVert_, &QSplitter::splitterMoved, this, [this] { finishEditing(); });

    connect(&session_.events(), &DocumentEvents::inputChanged, this, [this](const QObject* source) {
        if (source != this && (!source || (source != headerModel_ && source != segmentModel_)))
            inputChangedElsewhere();
    });
}

CalculationGrids::~CalculationGrids()
{
    release();
}

bool CalculationGrids::guarded(const QString& context, const std::function<void()>& step)
{
    return guardedStep(dialogs_, context, step);
}

// ---------------------------------------------------------------- panels

void CalculationGrids::createTopPanel()
{
    // Top panel: the calculation name, the two head nodes and the header grid.
    auto* pnTop = new QWidget(this);
    pnTop_ = pnTop;
    pnTop->setObjectName(QStringLiteral("pnTop"));
    pnTop->setMinimumHeight(kTopPanelMinimum);
    pnTop->setMaximumHeight(kTopPanelMaximum);
    auto* topLayout = new QVBoxLayout(pnTop);
    topLayout->setContentsMargins(2, 2, 2, 0);
    topLayout->setSpacing(2);

    auto* pnRasName = new QWidget(pnTop);
    pnRasName->setObjectName(QStringLiteral("pnRasName"));
    auto* nameLayout = new QHBoxLayout(pnRasName);
    nameLayout->setContentsMargins(0, 0, 0, 0);
    edRasName_ = new QLineEdit(pnRasName);
    edRasName_->setObjectName(QStringLiteral("edRasName"));
    QFont bold = edRasName_->font();
    bold.setBold(true);
    edRasName_->setFont(bold);
    edRasName_->setToolTip(QStringLiteral("Введите название гидравлического расчета"));
    edRasName_->setMaxLength(255);
    nameLayout->addWidget(edRasName_, 1);
    auto* supplyLabel = new QLabel(QStringLiteral("ПНапНаУзПод задан для узла: "), pnRasName);
    supplyLabel->setObjectName(QStringLiteral("lbNuzPNapPod"));
    nameLayout->addWidget(supplyLabel);
    edNuzPNapPod_ = new QLineEdit(pnRasName);
    edNuzPNapPod_->setObjectName(QStringLiteral("edNuzPNapPod"));
    edNuzPNapPod_->setFixedWidth(60);
    nameLayout->addWidget(edNuzPNapPod_);
    auto* availableLabel = new QLabel(QStringLiteral("РНапНаУз задан для узла: "), pnRasName);
    availableLabel->setObjectName(QStringLiteral("lbNuzRNap"));
    nameLayout->addWidget(availableLabel);
    edNuzRNap_ = new QLineEdit(pnRasName);
    edNuzRNap_->setObjectName(QStringLiteral("edNuzRNap"));
    edNuzRNap_->setFixedWidth(60);
    nameLayout->addWidget(edNuzRNap_);
    supplyLabel->setBuddy(edNuzPNapPod_);
    availableLabel->setBuddy(edNuzRNap_);
    // A node number is typed in digits only; one beyond the node numbers is
    // refused as soon as the field is left.
    for (QLineEdit* field : {edNuzPNapPod_, edNuzRNap_}) {
        field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), field));
        connect(field, &QLineEdit::editingFinished, this, [this, field] { refusedHeadNode(field); });
    }
    topLayout->addWidget(pnRasName);

    dgZag_ = new CalculationGrid(pnTop);
    dgZag_->setObjectName(QStringLiteral("DGZag"));
    dgZag_->setHorizontalHeader(new CaptionHeaderView(dgZag_));
    topLayout->addWidget(dgZag_, 1);
}

void CalculationGrids::createSegmentPanel()
{
    // Lower part: the segment-number list beside the segment grid.
    spVert_ = new QSplitter(Qt::Horizontal, this);
    spVert_->setObjectName(QStringLiteral("spVert"));
    spVert_->setChildrenCollapsible(false);

    auto* pnLeft = new QWidget(spVert_);
    pnLeft->setObjectName(QStringLiteral("pnLeft"));
    pnLeft->setMinimumWidth(kLeftPanelMinimum);
    pnLeft->setMaximumWidth(kLeftPanelMaximum);
    auto* leftLayout = new QVBoxLayout(pnLeft);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    auto* gbLeft = new QFrame(pnLeft);
    gbLeft->setObjectName(QStringLiteral("gbLeft"));
    gbLeft->setFrameShape(QFrame::StyledPanel);
    auto* gbLeftLayout = new QVBoxLayout(gbLeft);
    gbLeftLayout->setContentsMargins(2, 2, 2, 2);
    auto* lbLeft = new QLabel(QStringLiteral("Номер участка"), gbLeft);
    lbLeft->setObjectName(QStringLiteral("lbLeft"));
    lbLeft->setAlignment(Qt::AlignCenter);
    lbLeft->setWordWrap(true);
    gbLeftLayout->addWidget(lbLeft);
    gbLeft_ = gbLeft;
    leftLayout->addWidget(gbLeft);
    dgNU_ = new CalculationGrid(pnLeft);
    dgNU_->setObjectName(QStringLiteral("DGNU"));
    dgNU_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dgNU_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Both lists keep a horizontal scroll bar, so their rows stay level.
    dgNU_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    dgNU_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    dgNU_->horizontalHeader()->setSectionsClickable(false);
    leftLayout->addWidget(dgNU_, 1);

    auto* pnClient = new QWidget(spVert_);
    pnClient->setObjectName(QStringLiteral("pnClient"));
    auto* clientLayout = new QVBoxLayout(pnClient);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    dgGlavn_ = new CalculationGrid(pnClient);
    dgGlavn_->setObjectName(QStringLiteral("DGGlavn"));
    dgGlavn_->setHorizontalHeader(new CaptionHeaderView(dgGlavn_));
    dgGlavn_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    dgGlavn_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    clientLayout->addWidget(dgGlavn_);

    const int rowHeight = fontMetrics().height() + 8;
    for (CalculationGrid* grid : {dgZag_, dgNU_, dgGlavn_}) {
        grid->verticalHeader()->hide();
        grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        grid->verticalHeader()->setDefaultSectionSize(rowHeight);
        grid->setDialogs(&dialogs_);
    }

    spVert_->addWidget(pnLeft);
    spVert_->addWidget(pnClient);
    spVert_->setStretchFactor(1, 1);
    spVert_->setSizes({kLeftPanelMaximum, window()->width() - kLeftPanelMaximum});

    // The two lists scroll together.
    connect(dgGlavn_->verticalScrollBar(), &QScrollBar::valueChanged, dgNU_->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(dgNU_->verticalScrollBar(), &QScrollBar::valueChanged, dgGlavn_->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(dgGlavn_->horizontalHeader(), &QHeaderView::geometriesChanged, this,
            [this] { alignSegmentNumberList(); });

    for (CalculationGrid* grid : {dgNU_, dgGlavn_}) {
        // Esc on a row whose edit is not saved yet gives it back the file's
        // values (inside a cell editor Esc first leaves the editor).
        auto* revert = new QAction(grid);
        revert->setShortcut(QKeySequence(Qt::Key_Escape));
        revert->setShortcutContext(Qt::WidgetShortcut);
        grid->addAction(revert);
        connect(revert, &QAction::triggered, this, [this, grid] {
            if (segmentModel_ && grid->currentIndex().isValid())
                segmentModel_->revertRow(grid->currentIndex().row());
        });
        connect(grid, &CalculationGrid::navigationKey, this,
                [this](int code) { session_.viewState().lastNavigationKey = code; });
        connect(grid, &CalculationGrid::edgeReached, this, [this](int row) { segmentEdgeReached(row); });
    }
}

void CalculationGrids::sizeSegmentNumberList()
{
    // The two columns keep their widths unless the title font needs more; the
    // left panel may grow to show both.
    const int startNode = segmentModel_->fieldIndex(QStringLiteral("НачУзел"));
    const int endNode = segmentModel_->fieldIndex(QStringLiteral("КонУзел"));
    const QFontMetrics titles(dgNU_->horizontalHeader()->font());
    const int margin = 2 * dgNU_->style()->pixelMetric(QStyle::PM_HeaderMargin) + 4;
    const int startWidth = qMax(kStartNodeWidth, titles.horizontalAdvance(QStringLiteral("НачУзел")) + margin);
    const int endWidth = qMax(kEndNodeWidth, titles.horizontalAdvance(QStringLiteral("КонУзел")) + margin);
    dgNU_->setColumnWidth(startNode, startWidth);
    dgNU_->setColumnWidth(endNode, endWidth);
    const int needed = startWidth + endWidth + 2 * dgNU_->frameWidth();
    QWidget* pnLeft = gbLeft_->parentWidget();
    const int widest = qMax(kLeftPanelMaximum, needed);
    pnLeft->setMaximumWidth(widest);
    const QList<int> sizes = spVert_->sizes();
    if (sizes.size() != 2)
        return;
    if (sizes[0] < needed && sizes[0] + sizes[1] > 2 * needed)
        spVert_->setSizes({needed, sizes[0] + sizes[1] - needed});
    // Smaller fonts narrow the panel again; the splitter would keep the room
    // it gave the wider panel as an empty strip beside it.
    if (sizes[0] > widest)
        spVert_->setSizes({widest, sizes[0] + sizes[1] - widest});
}

void CalculationGrids::sizeTopPanel()
{
    // The top panel holds the name line, the header grid's titles and its value
    // row at every font size: it grows with the fonts.
    const QWidget* nameLine = pnTop_->findChild<QWidget*>(QStringLiteral("pnRasName"));
    const QMargins margins = pnTop_->layout()->contentsMargins();
    const int needed = margins.top() + margins.bottom() + pnTop_->layout()->spacing()
                       + nameLine->sizeHint().height() + dgZag_->horizontalHeader()->sizeHint().height()
                       + dgZag_->verticalHeader()->defaultSectionSize() + 2 * dgZag_->frameWidth()
                       + dgZag_->horizontalScrollBar()->sizeHint().height();
    pnTop_->setMaximumHeight(qMax(kTopPanelMaximum, needed));
    const QList<int> current = sizes();
    if (current.size() == 2 && current[0] < needed && current[0] + current[1] > needed)
        setSizes({needed, current[0] + current[1] - needed});
}

void CalculationGrids::alignSegmentNumberList()
{
    // The caption box above the number list fills the height by which the
    // segment grid's header is taller, so both lists start on the same line.
    const int target = dgGlavn_->horizontalHeader()->sizeHint().height();
    const int own = dgNU_->horizontalHeader()->sizeHint().height();
    gbLeft_->setFixedHeight(qMax(0, target - own));
}

void CalculationGrids::applyFonts(const FontSizes& sizes)
{
    const QFont cells = sizedFont(font(), sizes.dataCells);
    const QFont titles = sizedFont(font(), sizes.columnTitles);
    const QFont captions = sizedFont(font(), sizes.captions);
    const int rowHeight = QFontMetrics(cells).height() + 8;
    for (CalculationGrid* grid : {dgZag_, dgGlavn_, dgNU_}) {
        grid->setFont(cells);
        grid->horizontalHeader()->setFont(titles);
        grid->verticalHeader()->setDefaultSectionSize(rowHeight);
        if (auto* header = qobject_cast<CaptionHeaderView*>(grid->horizontalHeader()))
            header->setCaptionFont(captions);
    }
    if (auto* caption = findChild<QLabel*>(QStringLiteral("lbLeft")))
        caption->setFont(captions);
    // The columns follow the fonts.
    if (bound_ && headerModel_ && segmentModel_) {
        const GridLayout& layout = session_.viewState().layout;
        applyColumns(dgZag_, layout.headerColumns, layout.headerCaptions);
        applyColumns(dgGlavn_, layout.segmentColumns, layout.segmentCaptions);
        sizeSegmentNumberList();
    }
    // Taller titles or captions move the first row of the segment grid.
    alignSegmentNumberList();
    sizeTopPanel();
}

// ---------------------------------------------------------------- binding

void CalculationGrids::release()
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
    bound_ = false;
}

void CalculationGrids::bind()
{
    release();
    bound_ = true;
    const DocumentViewState& view = session_.viewState();
    const bool open = session_.data().calculationOpen();
    edRasName_->setText(view.calculationName);
    edNuzPNapPod_->setText(view.supplyHeadNodeText);
    edNuzRNap_->setText(view.availableHeadNodeText);
    edRasName_->setEnabled(open);
    edNuzPNapPod_->setEnabled(open && view.supplyNodeFieldEnabled);
    edNuzRNap_->setEnabled(open && view.availableNodeFieldEnabled);
    // A file open for viewing only (read-only, or edited by another copy) takes no edits.
    for (QLineEdit* field : {edRasName_, edNuzPNapPod_, edNuzRNap_})
        field->setReadOnly(view.readOnly);

    bool shown = false;
    if (open && view.gridsVisible)
        shown = guarded(kBindContext, [this] { bindModels(); });
    if (!shown)
        release();
    bound_ = true;
    for (CalculationGrid* grid : {dgZag_, dgNU_, dgGlavn_})
        grid->setVisible(shown);
    alignSegmentNumberList();
    sizeTopPanel();
}

void CalculationGrids::bindModels()
{
    DataModule& data = session_.data();
    const GridLayout& layout = session_.viewState().layout;

    headerModel_ = new HeaderRowModel(data, this);
    headerModel_->postFailed = [this](const Failure& failure) {
        dialogs_.showMessage(errorReport(kSaveContext, failure), MessageKind::Error);
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

void CalculationGrids::applyColumns(CalculationGrid* grid, const QList<GridColumn>& columns,
                                    const QStringList& captions)
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

void CalculationGrids::inputChangedElsewhere()
{
    // Re-read once the edit that sent it has been written.
    if (refreshQueued_)
        return;
    refreshQueued_ = true;
    QMetaObject::invokeMethod(this, [this] { refresh(); }, Qt::QueuedConnection);
}

void CalculationGrids::refresh()
{
    refreshQueued_ = false;
    if (!bound_ || !headerModel_ || !segmentModel_)
        return;
    guarded(kBindContext, [this] {
        headerModel_->reload();
        // A segment row still being edited keeps its edit: it is read again
        // once it has been saved or dropped.
        if (segmentModel_->isDirty())
            return;
        const SegmentPosition position = segmentPosition();
        segmentModel_->selectSorted(session_.data().segmentSort());
        restoreSegmentPosition(position);
    });
}

// ---------------------------------------------------------------- segment rows

void CalculationGrids::setSegmentCurrentRow(int row)
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

CalculationGrids::SegmentPosition CalculationGrids::segmentPosition() const
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

void CalculationGrids::restoreSegmentPosition(const SegmentPosition& position)
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

void CalculationGrids::segmentRowChanged(int current, int previous)
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

void CalculationGrids::segmentEdgeReached(int row)
{
    // Up on the first row or Down on the last: the row is saved and stays current.
    if (segmentModel_ && segmentModel_->rowPending(row))
        saveSegmentRow(row);
}

bool CalculationGrids::saveSegmentRow(int row)
{
    return guarded(kSaveContext, [&] {
        finishEditing();
        // The row save clears the calculation-done flag once it knows the row can be written.
        segmentModel_->saveRow(row);
    });
}

void CalculationGrids::saveAllPendingSegmentRows()
{
    if (!segmentModel_)
        return;
    dgGlavn_->finishEditing();
    dgNU_->finishEditing();
    for (int row : segmentModel_->pendingRows())
        segmentModel_->saveRow(row);
}

void CalculationGrids::sortSegments(SegmentSort sort)
{
    saveAllPendingSegmentRows();
    session_.data().setSegmentSort(sort);
    session_.viewState().sort = sort;
    if (segmentModel_) {
        segmentModel_->selectSorted(sort);
        setSegmentCurrentRow(0);
    }
}

void CalculationGrids::finishEditing()
{
    for (CalculationGrid* grid : {dgZag_, dgNU_, dgGlavn_})
        grid->finishEditing();
}

// ---------------------------------------------------------------- pending edits

void CalculationGrids::postPendingEdits()
{
    // The header grid posts every value as it is applied.
    dgZag_->finishEditing();
    saveAllPendingSegmentRows();
    DataModule& data = session_.data();
    if (!data.calculationOpen() || data.calculationReadOnly())
        return;
    storeCalculationName(data, edRasName_->text());
    session_.viewState().calculationName = edRasName_->text();
    DocumentViewState& view = session_.viewState();
    storeHeadNode(edNuzPNapPod_, CalculationRow::kSupplyHeadNode, view.supplyHeadNodeText);
    storeHeadNode(edNuzRNap_, CalculationRow::kAvailableHeadNode, view.availableHeadNodeText);
}

QString CalculationGrids::headNodeLabel(const QLineEdit* field) const
{
    // Named as the window shows the field: "РНапНаУз задан для узла".
    QString label;
    if (const auto* caption = findChild<QLabel*>(field == edNuzPNapPod_ ? QStringLiteral("lbNuzPNapPod")
                                                                        : QStringLiteral("lbNuzRNap")))
        label = caption->text().trimmed();
    if (label.endsWith(QLatin1Char(':')))
        label.chop(1);
    return label;
}

bool CalculationGrids::refusedHeadNode(QLineEdit* field)
{
    DataModule& data = session_.data();
    if (!data.calculationOpen() || field->isReadOnly())
        return false;
    const QString problem = headNodeProblem(field->text(), headNodeLabel(field));
    if (problem.isEmpty())
        return false;
    // The stored number comes back before the message takes the focus, so
    // the field is left only once.
    field->setText(storedHeadNodeText(data, field == edNuzPNapPod_ ? CalculationRow::kSupplyHeadNode
                                                                   : CalculationRow::kAvailableHeadNode));
    dialogs_.showMessage(problem, MessageKind::Warning);
    return true;
}

void CalculationGrids::storeHeadNode(QLineEdit* field, const QString& column, QString& viewText)
{
    if (refusedHeadNode(field))
        return;
    if (const std::optional<QString> shown =
            zurm::storeHeadNode(session_.data(), column, field->text(), headNodeLabel(field), this))
        viewText = *shown;
}

void CalculationGrids::discardPendingEdits()
{
    // The editors were closed by the failed post; their texts are in the model.
    if (segmentModel_)
        segmentModel_->revertAll();
    const DocumentViewState& view = session_.viewState();
    edRasName_->setText(view.calculationName);
    edNuzPNapPod_->setText(view.supplyHeadNodeText);
    edNuzRNap_->setText(view.availableHeadNodeText);
}

void CalculationGrids::takeTypedFields()
{
    DocumentViewState& view = session_.viewState();
    view.calculationName = edRasName_->text();
    view.supplyHeadNodeText = edNuzPNapPod_->text();
    view.availableHeadNodeText = edNuzRNap_->text();
}

void CalculationGrids::showHeadNodes(const QString& text)
{
    DocumentViewState& view = session_.viewState();
    view.supplyHeadNodeText = text;
    view.availableHeadNodeText = text;
    edNuzPNapPod_->setText(text);
    edNuzRNap_->setText(text);
}

} // namespace zurm::gui
