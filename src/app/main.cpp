#include "gui/entry/MainWindow.h"
#include "gui/platform/Translations.h"
#include "platform/CNumericLocale.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    zurm::useDecimalPointInCLibrary();
    QApplication::setApplicationName(QStringLiteral("ЗУРМ"));
    zurm::gui::installQtTranslations(app);
    zurm::gui::MainWindow window;
    window.show();
    return app.exec();
}
