#include "gui/entry/RunStop.h"

#include "base/UserDialogs.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QWindow>

namespace zurm::gui {

namespace {

const QString kCaption = QStringLiteral("Выполнить расчет");

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

bool within(QObject* object, const QWidget* widget)
{
    for (; object; object = object->parent())
        if (object == widget)
            return true;
    return false;
}

} // namespace

RunStop::RunStop(QMainWindow& window, UserDialogs& dialogs) : window_(window), dialogs_(dialogs)
{
    button_ = new QPushButton(QStringLiteral("Прервать расчет"), window.statusBar());
    button_->setObjectName(QStringLiteral("btnStopRun"));
    button_->setFocusPolicy(Qt::NoFocus);
    connect(button_, &QPushButton::clicked, this, [this] { askToStop(); });
    window.statusBar()->addPermanentWidget(button_);
    button_->show();
    qApp->installEventFilter(this);
}

RunStop::~RunStop()
{
    qApp->removeEventFilter(this);
    delete button_;
}

bool RunStop::ask(const QString& text)
{
    if (asking_)
        return false;
    asking_ = true;
    const bool yes = dialogs_.askYesNo(kCaption, text);
    asking_ = false;
    return yes;
}

void RunStop::askToStop()
{
    if (!requested_
        && ask(QStringLiteral("Прервать расчет? Файл гидравлического расчета останется таким, каким был до начала "
                              "расчета.")))
        requested_ = true;
}

bool RunStop::askToClose()
{
    if (ask(QStringLiteral("Идет расчет. Прервать расчет и закрыть программу?")))
        requested_ = true;
    return requested_;
}

bool RunStop::eventFilter(QObject* watched, QEvent* event)
{
    if (!isUserInput(event->type()))
        return false;
    // The window system hands every click and key to a window first; the window
    // passes it on to the widget under the mouse or with the focus, which is
    // judged below. Holding it back at the window would hold back the question
    // asked meanwhile as well.
    if (!watched->isWidgetType() && qobject_cast<QWindow*>(watched))
        return false;
    // The question asked meanwhile, and the button itself, take input.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && within(watched, modal))
        return false;
    if (QWidget* popup = QApplication::activePopupWidget(); popup && within(watched, popup))
        return false;
    if (button_ && within(watched, button_))
        return false;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape
        && within(watched, &window_))
        askToStop();
    return true;
}

} // namespace zurm::gui
