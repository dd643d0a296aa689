#pragma once

#include <QString>
#include <QVariant>
#include <optional>

class QObject;

namespace zurm {

class DataModule;
class UserDialogs;

// The map commands of the schema drawing window ("Карта") and the map scale
// dialog: the picture under the schema (Карта), the length of 100 map points
// in metres (МасштабКарты) and whether segment lengths follow from it
// (ВычДлПоМасш). Every change goes through DataModule::noteInputChanged.

// The name "Открыть карту" looks for: the chosen name with ".jpg" appended
// when it has at most 3 characters or its last four characters are neither
// ".BMP" nor ".JPG" in any case.
QString mapFileNameFor(const QString& chosen);

// The folder the file dialog starts in: that of the current map (a relative
// name is taken from the program folder), empty when there is none.
QString mapDialogFolder(const DataModule& data);

// "Открыть карту": asks for a picture file; when the file (named by the rule
// above, relative names taken from the program folder) exists, stores its
// full name in Карта and returns true (the caller loads the map again);
// otherwise says "Файл "…" не существует." and returns false. Cancelling the
// dialog returns false. Throws Failure when the row cannot be written.
bool openMap(DataModule& data, UserDialogs& dialogs, const QObject* source = nullptr);

// "Закрыть карту": asks whether the schema is to be drawn without the map; on
// Yes Карта becomes Null and the answer is true.
bool closeMap(DataModule& data, UserDialogs& dialogs, const QObject* source = nullptr);

// The stored map scale (null when not set) and the lengths-from-scale flag.
struct MapScaleSetting {
    QVariant scale;
    bool lengthsFromScale = false;
};
MapScaleSetting readMapScale(const DataModule& data);
void storeMapScale(DataModule& data, double scale, bool lengthsFromScale, const QObject* source = nullptr);

// A map scale as the user types it: spaces dropped, "," read as ".", and the
// value must be a number above 0.
std::optional<double> parseMapScale(const QString& text);
// Said when it is not: "\"" + text + "\" не является положительным числом. Введите положительное число."
QString notPositiveNumberMessage(const QString& text);

} // namespace zurm
