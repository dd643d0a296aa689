#include "gui/network/SchemaDrawingWindow.h"

#include "base/Guarded.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "gui/help/Help.h"
#include "gui/network/MapScaleDialog.h"
#include "gui/network/RenameNodesDialog.h"
#include "gui/network/SchemaView.h"
#include "network/MapCommands.h"
#include "network/NetworkEditorRules.h"
#include "network/SchemaData.h"
#include "session/DocumentSession.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace zurm::gui {

namespace {

const QString kContext = QStringLiteral("Ошибка при рисовании схемы теплосети.");

struct Item {
    const char* action;
    const char* text;
};

// The operation box and the schema's context menu, in the box's order.
const Item kItems[] = {
    {"miVibPolNUz", "Выбор положения начального узла"},
    {"miVibUz", "Выбор узла"},
    {"miRisU", "Рисование участка"},
    {"miSelUz", "Выделение нескольких узлов"},
    {"miSelUzByNum", "Выделение узлов по номерам"},
    {"miSelAllUz", "Выделение всех узлов"},
    {"miCancelSel", "Отмена выделения"},
    {"miMoveSelUz", "Перемещение выделенных узлов"},
    {"miDelPartTS", "Удаление части сети"},
    {"miAddUz", "Добавление узлов перед выделенными узлами"},
    {"miDelSelUz", "Удаление выделенных узлов"},
    {"miRenameSelUz", "Переименование выделенных узлов"},
};

} // namespace

SchemaDrawingWindow::SchemaDrawingWindow(DocumentSession& session, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), session_(session), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("TRisShTSForm"));
    setWindowTitle(QStringLiteral("Рисование схемы теплосети"));
    setModal(true);
    resize(1100, 760);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 4);
    auto* bar = new QMenuBar(this);
    bar->setNativeMenuBar(false);
    layout->setMenuBar(bar);

    auto* row = new QHBoxLayout;
    cbOperating_ = new QComboBox(this);
    cbOperating_->setObjectName(QStringLiteral("cbOperating"));
    for (const Item& item : kItems)
        cbOperating_->addItem(QString::fromUtf8(item.text));
    cbOperating_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* label = new QLabel(QStringLiteral("Действие: "), this);
    label->setBuddy(cbOperating_);
    row->addWidget(label);
    row->addWidget(cbOperating_);
    row->addStretch();
    layout->addLayout(row);
    schema_ = new SchemaView(session_, SchemaWindow::Drawing, this);
    schema_->setDialogs(dialogs_);
    layout->addWidget(schema_, 1);
    editing_ = std::make_unique<SchemaEditing>(session_.data(), dialogs_, &history_, schema_);

    connect(cbOperating_, &QComboBox::activated, this, [this](int index) { chooseItem(index); });
    cbOperating_->installEventFilter(this);
    connect(schema_, &SchemaView::picturePressed, this, &SchemaDrawingWindow::pressed);
    connect(schema_, &SchemaView::pictureReleased, this, &SchemaDrawingWindow::released);
    createMenus();
}

SchemaDrawingWindow::~SchemaDrawingWindow() = default;

void SchemaDrawingWindow::createMenus()
{
    auto* bar = static_cast<QMenuBar*>(layout()->menuBar());
    auto add = [this](QMenu* menu, const char* name, const QString& text, const std::function<void()>& handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromUtf8(name));
        connect(action, &QAction::triggered, this, handler);
        actions_.insert(QString::fromUtf8(name), action);
        return action;
    };
    QMenu* map = bar->addMenu(QStringLiteral("Карта"));
    map->setObjectName(QStringLiteral("miKarta"));
    add(map, "miKartaOpen", QStringLiteral("Открыть карту"), [this] {
        guarded([&] {
            if (openMap(session_.data(), dialogs_, schema_))
                setWindowTitle(schema_->loadMap());
        });
    });
    add(map, "miKartaClose", QStringLiteral("Закрыть карту"), [this] {
        guarded([&] {
            if (closeMap(session_.data(), dialogs_, schema_))
                setWindowTitle(schema_->loadMap());
        });
    });
    add(map, "miKartaScale", QStringLiteral("Масштаб карты"), [this] {
        MapScaleDialog dialog(session_.data(), dialogs_, this);
        if (dialog.run())
            repaint();
    });

    QMenu* labels = bar->addMenu(QStringLiteral("Надписи на схеме сети"));
    labels->setObjectName(QStringLiteral("miNadpNaSh"));
    add(labels, "miNadpNaShPodpAllU", QStringLiteral("Подписать все узлы на схеме"), [this] { schema_->setLabelMode(0); });
    add(labels, "miNadpNaShPodpNKU", QStringLiteral("Подписать только начальный и конечные узлы"),
        [this] { schema_->setLabelMode(1); });
    add(labels, "miNadpNaShDelAll", QStringLiteral("Удалить все надписи"), [this] { schema_->setLabelMode(2); });

    QMenu* edit = bar->addMenu(QStringLiteral("Правка"));
    edit->setObjectName(QStringLiteral("miEdit"));
    add(edit, "miUndo", QStringLiteral("Отменить"), [this] { undo(); })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    add(edit, "miRedo", QStringLiteral("Повторить"), [this] { redo(); })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    // The shortcuts work wherever the focus is in the window.
    addAction(actions_.value(QStringLiteral("miUndo")));
    addAction(actions_.value(QStringLiteral("miRedo")));

    QAction* close = bar->addAction(QStringLiteral("Сохранить и закрыть"));
    close->setObjectName(QStringLiteral("miSaveClose"));
    connect(close, &QAction::triggered, this, [this] { accept(); });
    actions_.insert(QStringLiteral("miSaveClose"), close);
    QAction* help = bar->addAction(QStringLiteral("?"));
    help->setObjectName(QStringLiteral("miHlp"));
    connect(help, &QAction::triggered, this, [this] { showHelp(this, QStringLiteral("GR/RisShTS.htm")); });

    // The context menu of the schema repeats the operation box.
    for (int index = 0; index < int(std::size(kItems)); ++index) {
        auto* action = new QAction(QString::fromUtf8(kItems[index].text), this);
        action->setObjectName(QString::fromUtf8(kItems[index].action));
        connect(action, &QAction::triggered, this, [this, index] { chooseItem(index); });
        schema_->addAction(action);
        actions_.insert(action->objectName(), action);
    }
}

void SchemaDrawingWindow::prepare()
{
    history_.clear();
    guarded([&] {
        // Nothing from the editor stays selected.
        schema_->clearSelection();
        setWindowTitle(schema_->loadMap());
        setMode(editing_->networkHasNodes() ? kModeSelectNode : kModePlaceStartNode);
    });
    updateHistoryActions();
    cbOperating_->setFocus();
}

void SchemaDrawingWindow::run()
{
    prepare();
    exec();
}

void SchemaDrawingWindow::done(int result)
{
    // FormClose: every change is already stored; the map is freed and the
    // selection emptied.
    schema_->clearSelection();
    schema_->releaseMap();
    history_.clear();
    QDialog::done(result);
}

int SchemaDrawingWindow::mode() const
{
    return cbOperating_->currentIndex();
}

void SchemaDrawingWindow::setMode(int index)
{
    const QSignalBlocker block(cbOperating_);
    cbOperating_->setCurrentIndex(index);
}

RenameNodesDialog* SchemaDrawingWindow::renameDialog()
{
    if (!rename_)
        rename_ = new RenameNodesDialog(session_.data(), *editing_, dialogs_, this);
    return rename_;
}

void SchemaDrawingWindow::guarded(const std::function<void()>& step)
{
    guardedStep(dialogs_, kContext, step);
}

void SchemaDrawingWindow::repaint()
{
    schema_->paintSchema();
    updateHistoryActions();
}

void SchemaDrawingWindow::updateHistoryActions()
{
    actions_.value(QStringLiteral("miUndo"))->setEnabled(history_.canUndo());
    actions_.value(QStringLiteral("miRedo"))->setEnabled(history_.canRedo());
}

void SchemaDrawingWindow::chooseItem(int index)
{
    setMode(index);
    SchemaEditing& e = *editing_;
    guarded([&] {
        switch (index) {
        case kOperSelectByNumbers: selectByNumbers(); return;
        case kOperSelectAll:
            setMode(e.OperSelAllUz());
            repaint();
            schema_->scrollToSelection();
            return;
        case kOperCancelSelection: setMode(e.OperCancelSel()); break;
        case kModeMoveSelection: setMode(e.OperMoveSelUz()); break;
        case kOperDeletePart: setMode(e.OperDelPartTS()); break;
        case kOperAddNodes: setMode(e.OperAddUz()); break;
        case kOperDeleteNodes: setMode(e.OperDelSelUz()); break;
        case kOperRenameNodes: renameSelected(); break;
        default: return; // a mode: the next clicks follow it
        }
    });
    repaint();
}

void SchemaDrawingWindow::selectByNumbers()
{
    if (!editing_->networkHasNodes()) {
        dialogs_.showMessage(QStringLiteral("Нет узлов для выделения."), MessageKind::Information);
        setMode(kModePlaceStartNode);
        return;
    }
    if (schema_->selectNodesByNumbers(QStringLiteral("Выделение узлов по номерам"))
        && selectedSchemaNodes(session_.data()).isEmpty())
        dialogs_.showMessage(QStringLiteral("Ни один узел не найден на схеме теплосети."), MessageKind::Information);
    updateHistoryActions();
}

void SchemaDrawingWindow::renameSelected()
{
    if (!editing_->OperRenameSelUz())
        return;
    renameDialog()->run();
}

void SchemaDrawingWindow::pressed(QPoint point, Qt::MouseButton button)
{
    if (button != Qt::LeftButton)
        return;
    down_ = point;
    dragging_ = true;
    guarded([&] { setMode(editing_->mousePress(point, mode(), schema_->pictureSize())); });
    repaint();
}

void SchemaDrawingWindow::released(QPoint point, Qt::MouseButton button)
{
    const bool dragged = button == Qt::LeftButton && dragging_;
    if (button == Qt::LeftButton)
        dragging_ = false;
    if (dragged && point != down_) {
        guarded([&] { editing_->mouseRelease(down_, point, mode(), schema_->pictureSize()); });
        repaint();
    }
    cbOperating_->setFocus();
}

void SchemaDrawingWindow::cancelUnderWay()
{
    if (dragging_) {
        // The release that follows moves nothing.
        dragging_ = false;
        return;
    }
    if (mode() != kModeSelectRectangle)
        return;
    guarded([&] {
        const QSqlDatabase work = session_.data().work();
        const SchemaSelection selection = readSchemaSelection(work);
        if (selection.rect && selection.rect->isPoint())
            clearSchemaSelection(work);
    });
    repaint();
}

void SchemaDrawingWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Cancel)) {
        cancelUnderWay();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void SchemaDrawingWindow::undo()
{
    bool changed = false;
    guarded([&] { changed = history_.undo(session_.data(), schema_); });
    if (!changed)
        return;
    // An undone first node leaves nothing to draw from.
    if (!editing_->networkHasNodes())
        setMode(kModePlaceStartNode);
    else if (mode() == kModePlaceStartNode)
        setMode(kModeSelectNode);
    repaint();
}

void SchemaDrawingWindow::redo()
{
    bool changed = false;
    guarded([&] { changed = history_.redo(session_.data(), schema_); });
    if (!changed)
        return;
    if (mode() == kModePlaceStartNode && editing_->networkHasNodes())
        setMode(kModeSelectNode);
    repaint();
}

bool SchemaDrawingWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Delete in the operation box deletes the part of the network that
    // begins at the selected node.
    if (watched == cbOperating_ && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        chooseItem(kOperDeletePart);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace zurm::gui
