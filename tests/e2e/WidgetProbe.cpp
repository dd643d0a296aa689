// A plugin the end-to-end test loads into the real program (QT_QPA_GENERIC_PLUGINS):
// it only reports where the program's windows and controls are on the screen,
// so that the test can press them with real X input. It never sends an event.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGenericPlugin>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenuBar>
#include <QSaveFile>
#include <QTimer>
#include <QToolButton>

namespace {

QJsonArray rectOf(const QWidget* widget)
{
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    return {origin.x(), origin.y(), widget->width(), widget->height()};
}

QJsonObject describe(const QWidget* widget)
{
    QJsonObject item{{"class", widget->metaObject()->className()},
                     {"object", widget->objectName()},
                     {"rect", rectOf(widget)},
                     {"enabled", widget->isEnabled()},
                     {"focus", widget->hasFocus()}};
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        item["text"] = button->text();
        item["checked"] = button->isChecked();
        if (const auto* tool = qobject_cast<const QToolButton*>(widget); tool && tool->defaultAction())
            item["action"] = tool->defaultAction()->objectName();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        item["text"] = edit->text();
    return item;
}

QByteArray snapshot()
{
    QJsonArray windows;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        QJsonArray controls;
        for (QWidget* child : window->findChildren<QWidget*>())
            if (child->isVisible()
                && (qobject_cast<QAbstractButton*>(child) || qobject_cast<QLineEdit*>(child)))
                controls.append(describe(child));
        // Menu bar entries are no widgets of their own.
        for (QMenuBar* bar : window->findChildren<QMenuBar*>()) {
            if (!bar->isVisible())
                continue;
            for (QAction* action : bar->actions()) {
                const QRect r = bar->actionGeometry(action);
                if (r.isEmpty())
                    continue;
                const QPoint origin = bar->mapToGlobal(r.topLeft());
                controls.append(QJsonObject{{"class", "QMenuBarItem"},
                                            {"object", action->objectName()},
                                            {"text", action->text()},
                                            {"rect", QJsonArray{origin.x(), origin.y(), r.width(), r.height()}},
                                            {"enabled", action->isEnabled()},
                                            {"focus", false}});
            }
        }
        windows.append(QJsonObject{{"class", window->metaObject()->className()},
                                   {"object", window->objectName()},
                                   {"title", window->windowTitle()},
                                   {"rect", rectOf(window)},
                                   {"active", window->isActiveWindow()},
                                   {"modal", window == QApplication::activeModalWidget()},
                                   {"controls", controls}});
    }
    return QJsonDocument(QJsonObject{{"windows", windows}}).toJson(QJsonDocument::Compact);
}

class WidgetProbe : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "widgetprobe.json")

public:
    QObject* create(const QString&, const QString&) override
    {
        auto* timer = new QTimer;
        const QString path = qEnvironmentVariable("ZURM_PROBE_FILE");
        QObject::connect(timer, &QTimer::timeout, [path, last = QByteArray()]() mutable {
            if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
                return;
            const QByteArray now = snapshot();
            if (now == last)
                return;
            QSaveFile file(path);
            if (file.open(QIODevice::WriteOnly) && file.write(now) == now.size() && file.commit())
                last = now;
        });
        timer->start(50);
        return timer;
    }
};

} // namespace

#include "WidgetProbe.moc"
