#include "gui/network/SchemaView.h"

#include "base/Failure.h"
#include "base/Guarded.h"
#include "document/DataModule.h"
#include "gui/network/SelectNodesDialog.h"
#include "gui/platform/WidgetDialogs.h"
#include "network/SchemaData.h"
#include "network/SchemaGeometry.h"
#include "render/MapPicture.h"
#include "render/SchemaPainter.h"
#include "session/DocumentSession.h"

#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

namespace zurm::gui {

namespace {

const QString kPaintContext = QStringLiteral("Ошибка при рисовании схемы теплосети.");
const QString kSelectContext = QStringLiteral("Ошибка при выделении узлов на схеме теплосети.");
const QString kCopied =
    QStringLiteral("Схема теплосети скопирована в буфер обмена.\r\rТеперь скопированную схему можно вставить в "
                   "документ любой другой программы, которая поддерживает буфер обмена (например, в лист Microsoft "
                   "Excel, в документ Microsoft Word, в изображение Paint).");

// Pictures are composed from parts of this many points a side, so that a huge
// map is never copied whole to paint what the window shows.
constexpr int kTile = 1000;
// Up to this many shown points the shown picture is kept between repaints.
constexpr qint64 kCachedPoints = 16LL * 1000 * 1000;

// The schema image: paints and reports clicks through its view.
class Canvas : public QWidget {
public:
    Canvas(std::function<void(QPainter&, const QRect&)> paint, std::function<void(QMouseEvent*)> press,
           std::function<void(QMouseEvent*)> release, QWidget* parent)
        : QWidget(parent), paint_(std::move(paint)), press_(std::move(press)), release_(std::move(release))
    {
        setObjectName(QStringLiteral("imShTS"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        paint_(painter, event->rect());
    }
    void mousePressEvent(QMouseEvent* event) override { press_(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { release_(event); }

private:
    std::function<void(QPainter&, const QRect&)> paint_;
    std::function<void(QMouseEvent*)> press_;
    std::function<void(QMouseEvent*)> release_;
};

} // namespace

class SchemaView::Private {
public:
    Private(SchemaView& view, DocumentSession& session, SchemaWindow window)
        : view(view), session(session), window(window), ownDialogs(&view), dialogs(&ownDialogs)
    {
    }

    SchemaView& view;
    DocumentSession& session;
    SchemaWindow window;
    WidgetDialogs ownDialogs;
    UserDialogs* dialogs;
    QComboBox* scale = nullptr;
    QScrollArea* scroll = nullptr;
    Canvas* canvas = nullptr;
    SelectNodesDialog* selectDialog = nullptr;

    QImage map = render::whiteCanvas();
    SchemaData schema;
    int editorNetworkType = 0;
    int editorNetworkStatus = 0;
    bool clickSelects = false;
    bool fit = true;
    bool applyingScale = false;
    bool released = false;  // the map is freed while another window draws
    QImage shown;       // the shown picture while it is small enough to keep
    QString mapProblem; // why the map was last refused, already said
    bool shownValid = false;

    render::SchemaPaintOptions options() const
    {
        render::SchemaPaintOptions o;
        o.window = window == SchemaWindow::Editor ? render::SchemaWindowKind::Editor : render::SchemaWindowKind::Drawing;
        o.editorNetworkType = editorNetworkType;
        o.editorNetworkStatus = editorNetworkStatus;
        o.labelMode = session.viewState().schemaLabelMode;
        return o;
    }

    void readSchema()
    {
        schema = SchemaData();
        if (!session.data().calculationOpen())
            return;
        guardedStep(*dialogs, kPaintContext, [&] { schema = readSchemaData(session.data()); });
    }

    void repaint()
    {
        shownValid = false;
        canvas->update();
    }

    // Scale of the shown picture in each direction.
    QSizeF factors() const
    {
        const QSize picture = map.size();
        if (fit) {
            const double k = displayFactor(picture, canvas->size());
            return {1 / k, 1 / k};
        }
        return {double(canvas->width()) / picture.width(), double(canvas->height()) / picture.height()};
    }

    // Paints the picture part that lands in `target` (canvas coordinates).
    void compose(QPainter& painter, const QRect& target)
    {
        const QSizeF s = factors();
        const QRect picture = map.rect();
        const QRect source =
            QRect(QPoint(int(std::floor(target.left() / s.width())), int(std::floor(target.top() / s.height()))),
                  QPoint(int(std::ceil((target.right() + 1) / s.width())), int(std::ceil((target.bottom() + 1) / s.height()))))
                .intersected(picture);
        if (source.isEmpty())
            return;
        const render::SchemaPaintOptions o = options();
        for (int ty = source.top() / kTile * kTile; ty <= source.bottom(); ty += kTile)
            for (int tx = source.left() / kTile * kTile; tx <= source.right(); tx += kTile) {
                const QRect region = QRect(tx, ty, kTile, kTile).intersected(source);
                const QImage part = render::schemaRegion(map, schema, o, region);
                if (s.width() == 1 && s.height() == 1) {
                    painter.drawImage(region.topLeft(), part);
                    continue;
                }
                // The picture's own pixels are painted without antialiasing; only
                // a reduced view of it is averaged, so that thin lines and labels
                // stay legible. Neighbouring parts meet at the same rounded edge.
                const QPoint from(int(std::lround(region.left() * s.width())), int(std::lround(region.top() * s.height())));
                const QPoint to(int(std::lround((region.right() + 1) * s.width())),
                                int(std::lround((region.bottom() + 1) * s.height())));
                if (to.x() > from.x() && to.y() > from.y())
                    painter.drawImage(from, part.scaled(to.x() - from.x(), to.y() - from.y(), Qt::IgnoreAspectRatio,
                                                        Qt::SmoothTransformation));
            }
    }

    void paintCanvas(QPainter& painter, const QRect& exposed)
    {
        painter.fillRect(exposed, view.palette().window());
        const QSizeF s = factors();
        const QRect picture(0, 0, int(std::lround(map.width() * s.width())), int(std::lround(map.height() * s.height())));
        if (qint64(picture.width()) * picture.height() <= kCachedPoints) {
            if (!shownValid || shown.size() != picture.size()) {
                shown = QImage(picture.size(), QImage::Format_RGB32);
                QPainter shownPainter(&shown);
                compose(shownPainter, picture);
                shownValid = true;
            }
            const QRect part = exposed.intersected(picture);
            painter.drawImage(part.topLeft(), shown, part);
            return;
        }
        shown = QImage();
        painter.setClipRect(exposed);
        compose(painter, exposed.intersected(picture));
    }

    void press(QMouseEvent* event)
    {
        if (window == SchemaWindow::Drawing) {
            emit view.picturePressed(view.toPicture(event->position().toPoint()), event->button());
            return;
        }
        if (event->button() != Qt::LeftButton || !clickSelects)
            return;
        const std::optional<int> node = view.nodeAt(event->position().toPoint());
        if (!node)
            return;
        if (!guardedStep(*dialogs, kSelectContext, [&] {
                clearSchemaSelection(session.data().work());
                addSelectedNode(session.data().work(), *node);
            }))
            return;
        view.paintSchema();
        emit view.nodeClicked(*node);
    }

    void setFit(bool on)
    {
        fit = on;
        scroll->setWidgetResizable(on);
        repaint();
    }
};

SchemaView::SchemaView(DocumentSession& session, SchemaWindow window, QWidget* parent)
    : QWidget(parent), d_(new Private(*this, session, window))
{
    setObjectName(QStringLiteral("SchemaView"));
    setContextMenuPolicy(Qt::ActionsContextMenu);
    d_->clickSelects = window == SchemaWindow::Editor;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    d_->scale = new QComboBox(this);
    d_->scale->setObjectName(QStringLiteral("cbScale"));
    d_->scale->setEditable(true);
    d_->scale->setInsertPolicy(QComboBox::NoInsert);
    d_->scale->addItem(QStringLiteral("Подогнать по размеру"));
    for (int n = 100; n >= 10; n -= 10)
        d_->scale->addItem(QString::number(n) + QLatin1Char('%'));
    d_->scale->setCurrentIndex(0);
    d_->scale->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* scaleRow = new QHBoxLayout;
    auto* scaleLabel = new QLabel(QStringLiteral("Масштаб: "), this);
    scaleLabel->setBuddy(d_->scale);
    scaleRow->addWidget(scaleLabel);
    scaleRow->addWidget(d_->scale);
    scaleRow->addStretch();
    layout->addLayout(scaleRow);
    d_->scroll = new QScrollArea(this);
    d_->scroll->setObjectName(QStringLiteral("sbShTS"));
    d_->scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    d_->canvas = new Canvas([this](QPainter& p, const QRect& r) { d_->paintCanvas(p, r); },
                            [this](QMouseEvent* e) { d_->press(e); },
                            [this](QMouseEvent* e) {
                                if (d_->window == SchemaWindow::Drawing)
                                    emit pictureReleased(toPicture(e->position().toPoint()), e->button());
                            },
                            d_->scroll);
    d_->scroll->setWidget(d_->canvas);
    d_->scroll->setWidgetResizable(true);
    layout->addWidget(d_->scroll, 1);

    connect(d_->scale, &QComboBox::activated, this, [this] { applyScale(); });
    d_->scale->lineEdit()->installEventFilter(this);
    // Every open view re-reads after an edit of the input data has been written.
    connect(
        &session.events(), &DocumentEvents::inputChanged, this,
        [this](const QObject* source) {
            if (!d_->released && source != this)
                paintSchema();
        },
        Qt::QueuedConnection);
}

SchemaView::~SchemaView()
{
    delete d_;
}

bool SchemaView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == d_->scale->lineEdit()) {
        if (event->type() == QEvent::FocusOut && !d_->applyingScale)
            applyScale();
        // Enter applies the typed value; the box itself would put its current
        // item's text back first.
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                applyScale();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SchemaView::setDialogs(UserDialogs& dialogs)
{
    d_->dialogs = &dialogs;
}

void SchemaView::releaseMap()
{
    d_->released = true;
    d_->map = render::whiteCanvas();
    d_->schema = SchemaData();
    d_->shown = QImage();
    d_->repaint();
}

QString SchemaView::loadMap()
{
    d_->released = false;
    d_->readSchema();
    // The old map goes before the new one is decoded: two large maps at once
    // would double what the window holds.
    d_->map = QImage();
    d_->shown = QImage();
    d_->shownValid = false;
    const render::MapPicture map = render::loadMapPicture(d_->schema.mapFile, d_->session.programFolder());
    d_->map = map.image;
    // Said once while it lasts: the editor reloads the map after every drawing run.
    if (!map.problem.isEmpty() && map.problem != d_->mapProblem)
        d_->dialogs->showMessage(map.problem, MessageKind::Warning);
    d_->mapProblem = map.problem;
    if (!d_->fit)
        applyScale();
    d_->repaint();
    return render::schemaCaption(d_->schema.mapFile, d_->window == SchemaWindow::Editor
                                                         ? render::SchemaWindowKind::Editor
                                                         : render::SchemaWindowKind::Drawing);
}

void SchemaView::paintSchema()
{
    d_->readSchema();
    d_->repaint();
}

void SchemaView::setEditorNetwork(int networkType, int networkStatus)
{
    d_->editorNetworkType = networkType;
    d_->editorNetworkStatus = networkStatus;
    d_->repaint();
}

void SchemaView::setLabelMode(int mode)
{
    d_->session.viewState().schemaLabelMode = mode;
    paintSchema();
}

void SchemaView::setClickSelects(bool on)
{
    d_->clickSelects = on;
}

void SchemaView::clearSelection()
{
    if (d_->session.data().workOpen())
        guardedStep(*d_->dialogs, kSelectContext, [&] { clearSchemaSelection(d_->session.data().work()); });
    paintSchema();
}

void SchemaView::scrollToSelection()
{
    const ScrollTarget target =
        scrollToSelectionTarget(d_->schema, d_->map.size(), d_->canvas->size(), d_->scroll->viewport()->size());
    if (target.horizontal)
        d_->scroll->horizontalScrollBar()->setValue(*target.horizontal);
    if (target.vertical)
        d_->scroll->verticalScrollBar()->setValue(*target.vertical);
}

bool SchemaView::selectNodesByNumbers(const QString& caption)
{
    if (!d_->selectDialog)
        d_->selectDialog = new SelectNodesDialog(d_->session.data(), this);
    d_->readSchema();
    const bool selected = d_->selectDialog->run(caption, d_->schema, *d_->dialogs);
    paintSchema();
    if (selected)
        scrollToSelection();
    return selected;
}

void SchemaView::copyToClipboard()
{
    const QImage picture = render::schemaPicture(d_->map, d_->schema, d_->options());
    QGuiApplication::clipboard()->setImage(picture);
    d_->dialogs->showMessage(kCopied, MessageKind::Information);
}

void SchemaView::applyScale()
{
    if (d_->applyingScale)
        return;
    d_->applyingScale = true;
    QComboBox* box = d_->scale;
    const QString text = box->currentText();
    if (text == box->itemText(0)) {
        d_->setFit(true);
    } else if (const std::optional<int> n = parseZoomText(text)) {
        box->setEditText(QString::number(*n) + QLatin1Char('%'));
        QScrollBar* h = d_->scroll->horizontalScrollBar();
        QScrollBar* v = d_->scroll->verticalScrollBar();
        const double hr = std::min(1.0, double(h->value()) / std::max(1, d_->canvas->width()));
        const double vr = std::min(1.0, double(v->value()) / std::max(1, d_->canvas->height()));
        h->setValue(0);
        v->setValue(0);
        d_->fit = false;
        d_->scroll->setWidgetResizable(false);
        const QSize size(roundEven(d_->map.width() * *n / 100.0), roundEven(d_->map.height() * *n / 100.0));
        d_->canvas->resize(size);
        d_->repaint();
        h->setValue(roundEven(size.width() * hr));
        v->setValue(roundEven(size.height() * vr));
    } else {
        d_->dialogs->showMessage(kZoomRefusal, MessageKind::Warning);
        box->setFocus();
    }
    box->lineEdit()->selectAll();
    d_->applyingScale = false;
}

QSize SchemaView::pictureSize() const
{
    return d_->map.size();
}

std::optional<int> SchemaView::nodeAt(const QPoint& onImage) const
{
    const QPoint point = toPicture(onImage);
    return HitTestNode(d_->schema, point.x(), point.y());
}

QPoint SchemaView::toPicture(const QPoint& onImage) const
{
    return toPicturePoint(onImage, displayFactor(d_->map.size(), d_->canvas->size()));
}

QWidget* SchemaView::canvas() const
{
    return d_->canvas;
}

} // namespace zurm::gui
