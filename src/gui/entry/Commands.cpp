#include "gui/entry/Commands.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

namespace zurm::gui {

QIcon commandIcon(const char* name)
{
    return QIcon(QStringLiteral(":/icons/") + QString::fromUtf8(name) + QStringLiteral(".svg"));
}

QAction* addCommand(QMenu* menu, QToolBar* toolbar, const CommandSpec& command, QObject* context,
                    const std::function<void()>& handler)
{
    const QString text = QString::fromUtf8(command.text);
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromUtf8(command.menuName));
    if (handler)
        QObject::connect(action, &QAction::triggered, context, handler);
    else
        action->setEnabled(false);
    if (command.buttonName && toolbar) {
        QAction* button = toolbar->addAction(commandIcon(command.icon), text);
        button->setObjectName(QString::fromUtf8(command.buttonName));
        button->setToolTip(text);
        button->setStatusTip(text);
        if (handler)
            QObject::connect(button, &QAction::triggered, context, handler);
        else
            button->setEnabled(false);
    }
    return action;
}

} // namespace zurm::gui
