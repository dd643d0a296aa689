#include "hydraulics/WaterSaturation.h"

#include <cmath>

namespace zurm {

namespace {

bool onSaturationLine(double kelvin)
{
    return std::isfinite(kelvin) && kelvin >= kWaterTripleTemperature && kelvin <= kWaterCriticalTemperature;
}

} // namespace

std::optional<double> saturationPressure(double kelvin)
{
    if (!onSaturationLine(kelvin))
        return std::nullopt;
    static constexpr double n[11] = {0,
                                     0.11670521452767e4,
                                     -0.72421316703206e6,
                                     -0.17073846940092e2,
                                     0.12020824702470e5,
                                     -0.32325550322333e7,
                                     0.14915108613530e2,
                                     -0.48232657361591e4,
                                     0.40511340542057e6,
                                     -0.23855557567849,
                                     0.65017534844798e3};
    const double theta = kelvin + n[9] / (kelvin - n[10]);
    const double a = theta * theta + n[1] * theta + n[2];
    const double b = n[3] * theta * theta + n[4] * theta + n[5];
    const double c = n[6] * theta * theta + n[7] * theta + n[8];
    const double ratio = 2 * c / (-b + std::sqrt(b * b - 4 * a * c));
    const double squared = ratio * ratio;
    return squared * squared * 1e6; // the equation gives MPa
}

std::optional<double> saturatedLiquidDensity(double kelvin)
{
    if (!onSaturationLine(kelvin))
        return std::nullopt;
    const double tau = 1 - kelvin / kWaterCriticalTemperature;
    // The powers of τ^(1/3) by multiplication: the check takes one per node
    // end of a large network.
    const double t1 = std::cbrt(tau);
    const double t2 = t1 * t1, t4 = t2 * t2, t8 = t4 * t4, t16 = t8 * t8, t32 = t16 * t16, t64 = t32 * t32;
    const double ratio = 1 + 1.99274064 * t1 + 1.09965342 * t2 - 0.510839303 * (t4 * t1) - 1.75493479 * t16
        - 45.5170352 * (t32 * t8 * t2 * t1) - 6.74694450e5 * (t64 * t32 * t8 * t4 * t2);
    return kWaterCriticalDensity * ratio;
}

std::optional<double> boilingHead(double celsius)
{
    const double kelvin = celsius + 273.15;
    const std::optional<double> pressure = saturationPressure(kelvin);
    const std::optional<double> density = saturatedLiquidDensity(kelvin);
    if (!pressure || !density || !(*density > 0))
        return std::nullopt;
    return (*pressure - kStandardAtmosphere) / (*density * kStandardGravity);
}

} // namespace zurm
