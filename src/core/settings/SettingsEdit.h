#pragma once

#include <QSqlDatabase>
#include <QString>

namespace zurm {

class UserDialogs;

// What the program settings window shows and the user types: the five numbers
// as texts, exactly as in their edit fields, and the check box.
struct SettingsTexts {
    QString dataCells;      // edFSizeTD, РШрифтаВТД
    QString columnTitles;   // edFSizeZagColTD, РШрифтаВЗагКолТД
    QString captions;       // edFSizeNaimPok, РШрифтаНаимПок
    QString graphs;         // edFSizeGr, РШрифтаГр
    QString precision;      // edTPok, ТочностьЧиселВОтч
    bool saveText = false;  // cbSaveTXTRas, СохрТекстРас

    bool operator==(const SettingsTexts&) const = default;
};

// The range of the report precision.
inline constexpr int kMinimumPrecision = 0;
inline constexpr int kMaximumPrecision = 7;

namespace SettingsEdit {

// The stored values as the window shows them: a Null number is an empty text.
// Throws Failure when the row cannot be read.
SettingsTexts load(const QSqlDatabase& settings);

// "OK" of the settings window. Every text must be an integer, else the error
// report names the first that is not and nothing is stored. Font sizes outside
// 8 to 20 and a precision outside 0 to 7 are refused each with its message;
// whatever passed is stored all the same, together with the check box.
// Returns true when the window may close, that is both range checks passed
// and everything was written.
bool store(const QSqlDatabase& settings, const SettingsTexts& texts, UserDialogs& dialogs);

// The messages of the two range checks ("\r" line breaks).
QString fontSizeRangeMessage();
QString precisionRangeMessage();

} // namespace SettingsEdit

} // namespace zurm
