#pragma once

#include <QIcon>
#include <functional>

class QAction;
class QMenu;
class QObject;
class QToolBar;

namespace zurm::gui {

// A command of the main window: a menu item and, with a button name, a
// toolbar button with the same text.
struct CommandSpec {
    const char* menuName;
    const char* buttonName; // nullptr: menu only
    const char* text;
    const char* icon; // the toolbar icon's name in the program's resources
};

// The toolbar icons are the program's own drawings, compiled into it; the
// disabled look is derived from them.
QIcon commandIcon(const char* name);

// Adds the command; without a handler it is shown disabled (its window comes
// with later work). Returns the menu item.
QAction* addCommand(QMenu* menu, QToolBar* toolbar, const CommandSpec& command, QObject* context,
                    const std::function<void()>& handler);

} // namespace zurm::gui
