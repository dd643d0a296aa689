#pragma once
// Modal windows block the code that opens them, so a test acts on them from
// the event loop: it names the window it expects and what to do with it, then
// runs the command that opens it.
//
// Clicks and keys go the way the window system delivers them: to the QWindow
// of the widget's top-level window, so application-wide event filters, focus,
// default buttons and shortcuts are on their path as for a person.

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtTest/QtTest>
#include <functional>
#include <memory>
#include <optional>

namespace zurm::test {

// Runs action on the visible window with the given object name as soon as it
// is shown. Gives up (with a warning) when none appears within the time limit,
// so a window that never opens cannot keep the test waiting. Deleting the
// returned timer withdraws the request.
inline QPointer<QTimer> whenShown(const QString& objectName, std::function<void(QWidget*)> action, int limitMs = 30000)
{
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, objectName, action, limitMs] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == objectName && window->isVisible()) {
                timer->stop();
                timer->deleteLater();
                action(window);
                return;
            }
        }
        if (clock->elapsed() > limitMs) {
            timer->stop();
            timer->deleteLater();
            qWarning("window %s was not shown", qPrintable(objectName));
        }
    });
    timer->start();
    return timer;
}

// A click at the middle of the widget (or at `at`, in its own coordinates),
// delivered to its window.
inline void clickThroughWindow(QWidget* widget, std::optional<QPoint> at = std::nullopt,
                               Qt::MouseButton button = Qt::LeftButton)
{
    QWidget* top = widget->window();
    QWindow* window = top->windowHandle();
    QVERIFY2(window, "the widget's window is not shown");
    // A check box takes a click on its box or its words only, not on the
    // empty rest of its row: a person aims at the box.
    const bool boxed = qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget);
    const QPoint aim = boxed ? QPoint(widget->height() / 2, widget->height() / 2) : widget->rect().center();
    QTest::mouseClick(window, button, {}, widget->mapTo(top, at.value_or(aim)));
}

// A key delivered to the window of `widget` (any widget of it, or the window
// itself), where the focused widget or a shortcut takes it.
inline void keyThroughWindow(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QWindow* window = widget->window()->windowHandle();
    QVERIFY2(window, "the widget's window is not shown");
    QTest::keyClick(window, key, modifiers);
}

// Text typed into the window of `widget`, key by key.
inline void typeThroughWindow(QWidget* widget, const QString& text)
{
    QWindow* window = widget->window()->windowHandle();
    QVERIFY2(window, "the widget's window is not shown");
    for (const QChar ch : text) {
        const Qt::Key key = ch.unicode() < 128 ? Qt::Key(ch.toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, window, key, QString(ch), {});
    }
}

// Whether the input just delivered closed the window; one left open is closed
// here, so that a window that ignores its input cannot keep the test waiting.
inline bool closedByInput(QWidget* window)
{
    if (!window->isVisible())
        return true;
    window->close();
    return false;
}

// Runs action on the next modal window as soon as it is active (a message
// box or file dialog, which have no name of their own).
inline QPointer<QTimer> whenModalShown(std::function<void(QWidget*)> action, int limitMs = 30000)
{
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, limitMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && modal->windowHandle() && modal->windowHandle()->isExposed()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
            return;
        }
        if (clock->elapsed() > limitMs) {
            timer->stop();
            timer->deleteLater();
            qWarning("no modal window was shown");
        }
    });
    timer->start();
    return timer;
}

} // namespace zurm::test
