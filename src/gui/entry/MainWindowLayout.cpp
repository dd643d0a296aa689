// How the main window lays itself out: the panels and their sizes, the
// fonts of the grids and captions, the window's place on the screen.
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

const QString kFontContext = QStringLiteral("Ошибка при настройке размера шрифта в таблицах данных.");
constexpr int kStartNodeWidth = 53;
constexpr int kEndNodeWidth = 75;
constexpr int kTopPanelMinimum = 25;
constexpr int kTopPanelMaximum = 220;
constexpr int kTopPanelInitial = 157;
constexpr int kLeftPanelMinimum = 20;
constexpr int kLeftPanelMaximum = 147;

} // namespace

// ---------------------------------------------------------------- panels

void MainWindow::createPanels()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("pnMain"));
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(central);

    spHor_ = new QSplitter(Qt::Vertical, central);
    spHor_->setObjectName(QStringLiteral("spHor"));
    spHor_->setChildrenCollapsible(false);
    centralLayout->addWidget(spHor_);

    // Top panel: the calculation name, the two head nodes and the header grid.
    auto* pnTop = new QWidget(spHor_);
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
    // A node number is typed in digits only.
    for (QLineEdit* field : {edNuzPNapPod_, edNuzRNap_})
        field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), field));
    topLayout->addWidget(pnRasName);

    const int rowHeight = fontMetrics().height() + 8;
    auto setUpGrid = [rowHeight](CalculationGrid* grid) {
        grid->verticalHeader()->hide();
        grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    };

    dgZag_ = new CalculationGrid(pnTop);
    dgZag_->setObjectName(QStringLiteral("DGZag"));
    dgZag_->setHorizontalHeader(new CaptionHeaderView(dgZag_));
    setUpGrid(dgZag_);
    topLayout->addWidget(dgZag_, 1);

    // Lower part: the segment-number list beside the segment grid.
    spVert_ = new QSplitter(Qt::Horizontal, spHor_);
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
    setUpGrid(dgNU_);
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
    setUpGrid(dgGlavn_);
    clientLayout->addWidget(dgGlavn_);
    for (CalculationGrid* grid : {dgZag_, dgNU_, dgGlavn_})
        grid->setDialogs(dialogs_);

    spVert_->addWidget(pnLeft);
    spVert_->addWidget(pnClient);
    spVert_->setStretchFactor(1, 1);
    spVert_->setSizes({kLeftPanelMaximum, width() - kLeftPanelMaximum});
    spHor_->addWidget(pnTop);
    spHor_->addWidget(spVert_);
    spHor_->setStretchFactor(1, 1);
    spHor_->setSizes({kTopPanelInitial, height() - kTopPanelInitial});

    // A cell being edited keeps its text when a panel changes size.
    connect(spHor_, &QSplitter::splitterMoved, this, [this] { finishGridEditing(); });
    connect(spVert_, &QSplitter::splitterMoved, this, [this] { finishGridEditing(); });

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
                [this](int code) { session_->viewState().lastNavigationKey = code; });
        connect(grid, &CalculationGrid::edgeReached, this, [this](int row) { segmentEdgeReached(row); });
    }
}

void MainWindow::sizeSegmentNumberList()
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
    pnLeft->setMaximumWidth(qMax(kLeftPanelMaximum, needed));
    const QList<int> sizes = spVert_->sizes();
    if (sizes.size() == 2 && sizes[0] < needed && sizes[0] + sizes[1] > 2 * needed)
        spVert_->setSizes({needed, sizes[0] + sizes[1] - needed});
}

void MainWindow::sizeTopPanel()
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
    const QList<int> sizes = spHor_->sizes();
    if (sizes.size() == 2 && sizes[0] < needed && sizes[0] + sizes[1] > needed)
        spHor_->setSizes({needed, sizes[0] + sizes[1] - needed});
}

void MainWindow::alignSegmentNumberList()
{
    // The caption box above the number list fills the height by which the
    // segment grid's header is taller, so both lists start on the same line.
    const int target = dgGlavn_->horizontalHeader()->sizeHint().height();
    const int own = dgNU_->horizontalHeader()->sizeHint().height();
    gbLeft_->setFixedHeight(qMax(0, target - own));
}

// ---------------------------------------------------------------- fonts

QFont MainWindow::sizedFont(QFont font, int points)
{
    font.setPointSize(points);
    return font;
}

void MainWindow::ApplyFontSizes()
{
    // Unreadable sizes leave the fonts as they were; the grids stay usable.
    guarded(kFontContext, [this] {
        if (session_->data().settingsOpen())
            fontSizes_ = readFontSizes(session_->data().settings());
    });
    applyFonts();
}

void MainWindow::applyFonts()
{
    const QFont cells = sizedFont(font(), fontSizes_.dataCells);
    const QFont titles = sizedFont(font(), fontSizes_.columnTitles);
    const QFont captions = sizedFont(font(), fontSizes_.captions);
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
    if (completionDialog_)
        completionDialog_->setMemoFont(cells);
    if (textViewer_)
        textViewer_->setMemoFont(cells);
    // The columns follow the fonts.
    if (gridsBound_ && headerModel_ && segmentModel_) {
        const GridLayout& layout = session_->viewState().layout;
        applyColumns(dgZag_, layout.headerColumns, layout.headerCaptions);
        applyColumns(dgGlavn_, layout.segmentColumns, layout.segmentCaptions);
        sizeSegmentNumberList();
    }
    // Taller titles or captions move the first row of the segment grid.
    alignSegmentNumberList();
    sizeTopPanel();
}

void MainWindow::editSettings()
{
    if (!session_->data().settingsOpen())
        return;
    if (!settingsDialog_)
        settingsDialog_ = new SettingsDialog(dialogs(), this);
    settingsDialog_->edit(session_->data().settings());
    // Also after "Отмена": the stored sizes are applied again.
    ApplyFontSizes();
}


// ---------------------------------------------------------------- window geometry

namespace {
const QString kGeometryKey = QStringLiteral("MainWindow/geometry");

// Kept beside the settings file in the program folder, as the settings are.
QString windowSettingsFile(const QString& programFolder)
{
    return programFolder + QStringLiteral("/ZURM.ini");
}
} // namespace

void MainWindow::restoreWindowGeometry()
{
    const QSettings stored(windowSettingsFile(session_->programFolder()), QSettings::IniFormat);
    if (restoreGeometry(stored.value(kGeometryKey).toByteArray()))
        return;
    // First start: most of the screen, centred.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 700);
    const QSize size(qMax(minimumWidth(), available.width() * 9 / 10),
                     qMax(minimumHeight(), available.height() * 9 / 10));
    resize(size);
    move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

void MainWindow::storeWindowGeometry() const
{
    QSettings stored(windowSettingsFile(session_->programFolder()), QSettings::IniFormat);
    stored.setValue(kGeometryKey, saveGeometry());
}

} // namespace zurm::gui
