#include "gui/entry/MainWindow.h"

namespace zurm::gui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("ЗУРМ 1.4"));
    setMinimumSize(640, 480);
}

} // namespace zurm::gui
