#include "gui/output/GraphWindow.h"

#include "base/Guarded.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "gui/entry/CalculationGrids.h"
#include "gui/entry/CommandHost.h"
#include "gui/help/Help.h"
#include "render/GraphPainter.h"
#include "session/DocumentSession.h"
#include "settings/FontSizes.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QVBoxLayout>

namespace zurm::gui {

namespace {

const QString kOpenContext = QStringLiteral("Ошибка при открытии окна формирования графика.");
const QString kGenerateContext = QStringLiteral("Ошибка при формировании графика.");
const QString kSaveContext = QStringLiteral("Ошибка при сохранении данных.");
const QString kCopied = QStringLiteral(
    "График скопирован в буфер обмена.\r\rТеперь скопированный график можно вставить в документ любой другой "
    "программы, которая поддерживает буфер обмена (например, в лист Microsoft Excel, в документ Microsoft Word, в "
    "изображение Paint).");

// Fills a node list; the previous choice stays when it is listed, otherwise
// the first (or the last) item is chosen.
void fillNodes(QComboBox* box, const std::vector<int>& nodes, bool preferLast)
{
    const QVariant previous = box->currentData();
    const QSignalBlocker blocker(box);
    box->clear();
    for (int node : nodes)
        box->addItem(QString::number(node), node);
    int index = previous.isValid() ? box->findData(previous) : -1;
    if (index < 0)
        index = preferLast ? box->count() - 1 : 0;
    box->setCurrentIndex(index);
}

} // namespace

GraphView::GraphView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("crt"));
    setMinimumSize(400, 300);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphView::show(const Graph& graph, bool blackAndWhite, int fontSize)
{
    graph_ = graph;
    blackAndWhite_ = blackAndWhite;
    fontSize_ = fontSize;
    update();
}

void GraphView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const render::GraphPainter chart(graph_, {blackAndWhite_, fontSize_, font()});
    chart.paint(painter, QRectF(rect()));
}

QImage GraphView::picture() const
{
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    const render::GraphPainter chart(graph_, {blackAndWhite_, fontSize_, font()});
    chart.paint(painter, QRectF(rect()));
    return image;
}

GraphWindow::GraphWindow(DataModule& data, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), data_(data), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("TGrForm"));
    setWindowTitle(QStringLiteral("Формировать график"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(1000, 700);

    auto* layout = new QVBoxLayout(this);
    auto* menu = new QMenuBar(this);
    menu->setObjectName(QStringLiteral("MainMenu1"));
    layout->setMenuBar(menu);
    auto command = [&](const char* name, const QString& text) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    connect(command("miGenerate", QStringLiteral("Сформировать")), &QAction::triggered, this, &GraphWindow::generate);
    connect(command("miCopy", QStringLiteral("Копировать график в буфер обмена")), &QAction::triggered, this,
            &GraphWindow::copyToClipboard);
    connect(command("miClose", QStringLiteral("Закрыть")), &QAction::triggered, this, &QDialog::reject);
    connect(command("miHlp", QStringLiteral("?")), &QAction::triggered, this,
            [this] { showHelp(this, QStringLiteral("GR\\OtGenGr.htm")); });

    auto* controls = new QGridLayout;
    auto box = [&](const char* name, const QString& caption, int row, int column) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(QString::fromLatin1(name));
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        combo->setMinimumContentsLength(8);
        auto* label = new QLabel(caption, this);
        label->setBuddy(combo);
        controls->addWidget(label, row, column);
        controls->addWidget(combo, row, column + 1);
        return combo;
    };
    cbMag_ = box("cbMag", QStringLiteral("Магистраль:"), 0, 0);
    cbTipGr_ = box("cbTipGr", QStringLiteral("Тип графика:"), 1, 0);
    cbNachUz_ = box("cbNachUz", QStringLiteral("Начальный узел:"), 0, 2);
    cbKonUz_ = box("cbKonUz", QStringLiteral("Конечный узел:"), 1, 2);
    auto check = [&](const char* name, const QString& caption, bool checked, int row) {
        auto* checkBox = new QCheckBox(caption, this);
        checkBox->setObjectName(QString::fromLatin1(name));
        checkBox->setChecked(checked);
        controls->addWidget(checkBox, row, 4);
        return checkBox;
    };
    cbUDPT_ = check("cbUDPT", QStringLiteral("Учитывать длину подающего трубопровода"), true, 0);
    cbPDPT_ = check("cbPDPT", QStringLiteral("Показывать длину подающего трубопровода"), true, 1);
    cbBW_ = check("cbBW", QStringLiteral("Черно-белый график"), false, 2);
    controls->setColumnStretch(5, 1);
    layout->addLayout(controls);
    crt_ = new GraphView(this);
    layout->addWidget(crt_, 1);

    connect(cbMag_, &QComboBox::currentIndexChanged, this, [this] { fillNodeLists(); });
    connect(cbTipGr_, &QComboBox::currentIndexChanged, this, [this] { fillNodeLists(); });
    connect(cbNachUz_, &QComboBox::currentIndexChanged, this, [this] { fillEndList(); });
}

bool GraphWindow::prepare(int fontSize)
{
    fontSize_ = fontSize;
    crt_->show(Graph{}, cbBW_->isChecked(), fontSize_);
    const bool read = guardedStep(dialogs_, kOpenContext, [&] { catalogue_ = readGraphCatalogue(data_); });
    const QSignalBlocker magBlocker(cbMag_);
    const QSignalBlocker typeBlocker(cbTipGr_);
    cbMag_->clear();
    cbTipGr_->clear();
    cbNachUz_->clear();
    cbKonUz_->clear();
    if (!read) {
        catalogue_ = {};
        return false;
    }
    for (const GraphMain& main : catalogue_.mains)
        cbMag_->addItem(main.text);
    cbTipGr_->addItems(catalogue_.types);
    cbMag_->setCurrentIndex(0);
    cbTipGr_->setCurrentIndex(0);
    fillNodeLists();
    return true;
}

void GraphWindow::releaseData()
{
    catalogue_ = {};
    crt_->show(Graph{}, cbBW_->isChecked(), fontSize_);
}

void GraphWindow::fillNodeLists()
{
    fillNodes(cbNachUz_, catalogue_.startNodes(cbMag_->currentIndex()), false);
    fillEndList();
}

void GraphWindow::fillEndList()
{
    const QVariant start = cbNachUz_->currentData();
    fillNodes(cbKonUz_, start.isValid() ? catalogue_.endNodes(cbMag_->currentIndex(), start.toInt()) : std::vector<int>{},
              true);
}

void GraphWindow::generate()
{
    if (cbMag_->currentIndex() < 0 || cbTipGr_->currentIndex() < 0)
        return;
    GraphRequest request;
    request.mainIndex = cbMag_->currentIndex();
    request.typeIndex = cbTipGr_->currentIndex();
    if (cbNachUz_->currentData().isValid())
        request.startNode = cbNachUz_->currentData().toInt();
    if (cbKonUz_->currentData().isValid())
        request.endNode = cbKonUz_->currentData().toInt();
    request.useSupplyLength = cbUDPT_->isChecked();
    request.showSupplyLength = cbPDPT_->isChecked();
    GraphOutcome outcome;
    if (!guardedStep(dialogs_, kGenerateContext, [&] { outcome = computeGraph(data_, catalogue_, request); }))
        return;
    if (!outcome.refusal.isEmpty()) {
        dialogs_.showMessage(outcome.refusal, MessageKind::Warning);
        return;
    }
    crt_->show(outcome.graph, cbBW_->isChecked(), fontSize_);
}

void GraphWindow::copyToClipboard()
{
    QGuiApplication::clipboard()->setImage(crt_->picture());
    dialogs_.showMessage(kCopied, MessageKind::Information);
}

const Graph& GraphWindow::graph() const
{
    return crt_->graph();
}

QImage GraphWindow::chartPicture() const
{
    return crt_->picture();
}

void showGraphWindow(CommandHost& host)
{
    DocumentSession& session = host.session();
    UserDialogs& dialogs = host.dialogs();
    if (!session.data().calculationOpen())
        return;
    CalculationGrids& grids = host.grids();
    if (!guardedStep(dialogs, kSaveContext, [&] { grids.postPendingEdits(); }))
        return;
    if (!session.data().calculationDone()) {
        dialogs.showMessage(kGraphNeedsCalculation, MessageKind::Warning);
        return;
    }
    const CalculationGrids::SegmentPosition position = grids.segmentPosition();
    auto* window = host.window().findChild<GraphWindow*>(QStringLiteral("TGrForm"));
    if (!window)
        window = new GraphWindow(session.data(), dialogs, &host.window());
    if (window->prepare(host.fontSizes().graphs))
        window->exec();
    window->releaseData();
    grids.restoreSegmentPosition(position);
}

} // namespace zurm::gui
