#include "gui/platform/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace zurm::gui {

bool installQtTranslations(QCoreApplication& application)
{
    auto* translator = new QTranslator(&application);
    const QString name = QStringLiteral("qtbase_ru");
    for (const QString& folder : {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
        if (translator->load(name, folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    return false;
}

} // namespace zurm::gui
