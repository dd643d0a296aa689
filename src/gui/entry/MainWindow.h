#pragma once

#include <QMainWindow>

namespace zurm::gui {

// The main window. For now it carries only its caption; the grids and the
// commands are built on the document core.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

} // namespace zurm::gui
