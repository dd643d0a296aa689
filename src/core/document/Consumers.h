#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

namespace zurm {

// The consumers at the end nodes of a network and the limits of its pressure
// regime live in two tables of their own in the calculation file, beside the
// tables the calculation itself reads; a file made before them has neither,
// opens as before and gets them, empty, when they are first written.
inline const QString kConsumersTable = QStringLiteral("Потребители");
inline const QString kPressureLimitsTable = QStringLiteral("ПотребителиЗаг");

// Columns of Потребители, keyed by the end node.
namespace ConsumerField {
inline const QString kNode = QStringLiteral("КонУзел");            // smallint, the key
inline const QString kName = QStringLiteral("НаимПотр");           // text(255)
inline const QString kScheme = QStringLiteral("СхемаПрис");        // smallint, ConnectionScheme
inline const QString kSystemLoss = QStringLiteral("ПотНСист");     // h, m
inline const QString kBuildingHeight = QStringLiteral("ВысЗд");    // m above the node's ground
inline const QString kMixedTemperature = QStringLiteral("ТСмеш");  // t3, °C
inline const QString kRequiredHead = QStringLiteral("НапТреб");    // m, schemes without an elevator
} // namespace ConsumerField

// Columns of the one row of ПотребителиЗаг.
namespace PressureLimitsField {
inline const QString kStaticHead = QStringLiteral("СтатНапор");          // m, full head of the static line
inline const QString kAllowedPressure = QStringLiteral("ДопДавлМС");     // m of water above the ground
inline const QString kBoilingReserve = QStringLiteral("ЗапасКип");       // m
} // namespace PressureLimitsField

// How a consumer's building is connected; the stored code is the value.
enum class ConnectionScheme {
    Elevator = 0,        // элеваторная
    Direct = 1,          // непосредственная без смешения
    Independent = 2,     // независимая через теплообменник
    PumpMixing = 3,      // насосное смешение
};
inline constexpr int kConnectionSchemeCount = 4;
// "элеваторная", "непосредственная без смешения", "независимая через
// теплообменник", "насосное смешение", in the order of the codes.
const QStringList& connectionSchemeNames();
QString connectionSchemeName(ConnectionScheme scheme);
// The scheme whose name is `text` (letter case ignored) or whose code it is.
std::optional<ConnectionScheme> connectionSchemeFromText(const QString& text);
std::optional<ConnectionScheme> connectionSchemeFromCode(const QVariant& code);

struct Consumer {
    int node = 0;
    QString name;
    std::optional<ConnectionScheme> scheme;
    std::optional<double> systemLoss;
    std::optional<double> buildingHeight;
    std::optional<double> mixedTemperature;
    std::optional<double> requiredHead;
};

struct PressureLimits {
    std::optional<double> staticHead; // no static line when empty
    double allowedPressure = 60.0;    // cast-iron radiators, 0.6 MPa
    double boilingReserve = 5.0;
};

// Creates the two tables when the file lacks them (the limits table with its
// one row of defaults); changes nothing otherwise. Throws Failure.
void ensureConsumerTables(const QSqlDatabase& calculation);

// The consumers sorted by node; none when the file has no table.
std::vector<Consumer> readConsumers(const QSqlDatabase& calculation);
// The stored limits; an empty field, a missing row or a missing table gives
// the default of that field.
PressureLimits readPressureLimits(const QSqlDatabase& calculation);
// Stores the limits (creating the tables when needed). Throws Failure.
void writePressureLimits(const QSqlDatabase& calculation, const PressureLimits& limits);

} // namespace zurm
