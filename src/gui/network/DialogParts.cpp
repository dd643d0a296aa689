#include "gui/network/DialogParts.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>

namespace zurm::gui {

StatusBarProgress::~StatusBarProgress() { setBusy(false); }

void StatusBarProgress::setStatus(const QString& text)
{
    if (bar_)
        bar_->showMessage(text);
}

void StatusBarProgress::setBusy(bool busy)
{
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void StatusBarProgress::processEvents() { QCoreApplication::processEvents(); }

QLineEdit* numberField(const char* name, int digits, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromUtf8(name));
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('0'))) + 16);
    return field;
}

QLabel* fieldLabel(const char* name, const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromUtf8(name));
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

QAction* addMenuCommand(QMenuBar* menu, const char* name, const QString& text)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QMenuBar* autoFillMenu(QWidget* parent, QAction*& miSave, QAction*& miClose, QAction*& miHlp)
{
    auto* menu = new QMenuBar(parent);
    menu->setObjectName(QStringLiteral("MainMenu1"));
    miSave = addMenuCommand(menu, "miSave", QStringLiteral("Записать"));
    miClose = addMenuCommand(menu, "miClose", QStringLiteral("Закрыть"));
    miHlp = addMenuCommand(menu, "miHlp", QStringLiteral("?"));
    return menu;
}

} // namespace zurm::gui
