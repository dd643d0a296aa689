#pragma once

#include <optional>

namespace zurm {

// The saturation line of water, for the boiling check of the supply pipe.
// Temperatures in kelvin where the name says so, else in °C.

inline constexpr double kWaterTripleTemperature = 273.15;    // K, the lower end of the saturation line
inline constexpr double kWaterCriticalTemperature = 647.096; // K
inline constexpr double kWaterCriticalDensity = 322.0;       // kg/m³
inline constexpr double kStandardAtmosphere = 101325.0;      // Pa
inline constexpr double kStandardGravity = 9.80665;          // m/s²

// Saturation pressure in Pa at `kelvin` (the IAPWS-IF97 saturation-pressure
// equation); none outside 273.15 K … 647.096 K.
std::optional<double> saturationPressure(double kelvin);

// Density of the saturated liquid in kg/m³ at `kelvin` (the IAPWS
// supplementary release on the saturation properties of ordinary water);
// none outside 273.15 K … 647.096 K.
std::optional<double> saturatedLiquidDensity(double kelvin);

// The gauge head in m at which water of `celsius` boils: the saturation
// pressure above the standard atmosphere, in metres of water of the saturated
// density. Negative below 100 °C; none outside the saturation line.
std::optional<double> boilingHead(double celsius);

} // namespace zurm
