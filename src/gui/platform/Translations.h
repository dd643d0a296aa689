#pragma once

class QCoreApplication;

namespace zurm::gui {

// Qt's own Russian texts (standard buttons "Да", "Нет", "Отмена", the file
// dialogs): qtbase_ru.qm from a "translations" folder beside the program, else
// from Qt's translations folder. Returns whether they were found.
bool installQtTranslations(QCoreApplication& application);

} // namespace zurm::gui
