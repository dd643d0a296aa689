#pragma once

#include <QSqlDatabase>
#include <QString>
#include <vector>

namespace zurm {

// The constants of the adjustment of the consumers' inputs are the engineer's
// own (a design office may use another elevator series or a larger smallest
// orifice), so they are program settings: a one-row table and the table of
// the standard elevators in the settings file. A settings file made before
// them has neither; it is read as the defaults below, and the tables are
// created with those defaults when the settings are first shown or written.
inline const QString kAdjustmentSettingsTable = QStringLiteral("НастрНаладки");
inline const QString kElevatorsTable = QStringLiteral("Элеваторы");

namespace AdjustmentField {
inline const QString kOrificeFactor = QStringLiteral("КДиафр");       // d = 10·(G²/ΔH)^¼
inline const QString kNozzleFactor = QStringLiteral("КСопла");        // dс = 9.6·(G²/H)^¼
inline const QString kThroatFactor = QStringLiteral("КГорл");         // dг = 8.5·(G²(1+uр)²/h)^¼
inline const QString kElevatorHeadFactor = QStringLiteral("КНапЭл");  // Hmin = 1.4·h·(1+uр)²
inline const QString kMixingReserve = QStringLiteral("КСмеш");        // uр = 1.15·u
inline const QString kMinOrifice = QStringLiteral("МинДДиафр");       // mm
inline const QString kMinNozzle = QStringLiteral("МинДСопла");        // mm
inline const QString kElevatorNumber = QStringLiteral("Номер");
inline const QString kElevatorThroat = QStringLiteral("ДиамГорл");    // mm
} // namespace AdjustmentField

struct Elevator {
    int number = 0;
    double throat = 0; // mm
    bool operator==(const Elevator&) const = default;
};

// Nos. 1 to 7 of the standard water-jet elevators: 15, 20, 25, 30, 35, 47, 59 mm.
const std::vector<Elevator>& standardElevators();

struct AdjustmentSettings {
    double orificeFactor = 10.0;
    double nozzleFactor = 9.6;
    double throatFactor = 8.5;
    double elevatorHeadFactor = 1.4;
    double mixingReserve = 1.15;
    double minOrifice = 3.0; // mm
    double minNozzle = 3.0;  // mm
    std::vector<Elevator> elevators = standardElevators(); // by number

    bool operator==(const AdjustmentSettings&) const = default;
};

// The seven constants in the order of the table's columns, with the captions
// the window and the messages give them.
struct AdjustmentConstant {
    const QString& field;
    QString caption;
    double AdjustmentSettings::*value;
};
const std::vector<AdjustmentConstant>& adjustmentConstants();

// What is wrong with the settings, empty when nothing: every constant a
// positive finite number; at least one elevator; the numbers whole, positive
// and unique; the throats positive and growing with the number.
QString adjustmentSettingsProblem(const AdjustmentSettings& settings);

// The stored settings. A constant that is Null, no number or not positive (a
// file edited by hand) keeps its default; elevator rows that are no sound
// number and throat are dropped, a repeated number keeps its first row, and
// the rest come sorted by number; no table or no sound row gives the
// standard series. Throws Failure when a table cannot be read.
AdjustmentSettings readAdjustmentSettings(const QSqlDatabase& settings);

// Creates the two tables with the defaults when the file lacks them; changes
// nothing otherwise. Throws Failure.
void ensureAdjustmentSettingsTables(const QSqlDatabase& settings);

// Stores the settings in one transaction (creating the tables when needed).
// Throws Failure of class "ValueError" with adjustmentSettingsProblem's text
// when they are not sound, before anything is written.
void writeAdjustmentSettings(const QSqlDatabase& settings, const AdjustmentSettings& values);

} // namespace zurm
