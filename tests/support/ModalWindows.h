#pragma once
// Modal windows block the code that opens them, so a test acts on them from
// the event loop: it names the window it expects and what to do with it, then
// runs the command that opens it.

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

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

} // namespace zurm::test
