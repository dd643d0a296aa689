#include "gui/entry/MainWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ЗУРМ"));
    zurm::gui::MainWindow window;
    window.show();
    return app.exec();
}
