#!/usr/bin/env python3
"""Water density table for the reference file Spr.mdb (table ПлВодыОтТ).

Density of liquid water from the IAPWS-IF97 industrial formulation, region 1
(the dimensionless Gibbs free energy gamma(pi, tau)):

    v = R * T / p * pi * gamma_pi,   pi = p / 16.53 MPa,   tau = 1386 K / T,
    gamma_pi = sum(-n_i * I_i * (7.1 - pi)^(I_i - 1) * (tau - 1.222)^J_i).

The table is computed at a constant pressure of 1.6 MPa for every whole degree
from 1 to 200 degrees Celsius. Water stays liquid over the whole range there:
the saturation pressure at 200 degrees Celsius is 1.555 MPa.

Usage: python3 water_density.py          prints the INSERT statements
       python3 water_density.py --table  prints T and density as plain columns

Standard library only. The IF97 verification values for region 1 are checked
at every run; the script stops with an AssertionError if they do not hold.
"""

import sys

R = 0.461526          # specific gas constant of water, kJ/(kg*K)
P_STAR = 16.53        # MPa
T_STAR = 1386.0       # K
PRESSURE = 1.6        # MPa, pressure at which the table is computed

# Region 1 coefficients (I_i, J_i, n_i), i = 1..34.
REGION1 = (
    (0, -2, 0.14632971213167),
    (0, -1, -0.84548187169114),
    (0, 0, -0.37563603672040e1),
    (0, 1, 0.33855169168385e1),
    (0, 2, -0.95791963387872),
    (0, 3, 0.15772038513228),
    (0, 4, -0.16616417199501e-1),
    (0, 5, 0.81214629983568e-3),
    (1, -9, 0.28319080123804e-3),
    (1, -7, -0.60706301565874e-3),
    (1, -1, -0.18990068218419e-1),
    (1, 0, -0.32529748770505e-1),
    (1, 1, -0.21841717175414e-1),
    (1, 3, -0.52838357969930e-4),
    (2, -3, -0.47184321073267e-3),
    (2, 0, -0.30001780793026e-3),
    (2, 1, 0.47661393906987e-4),
    (2, 3, -0.44141845330846e-5),
    (2, 17, -0.72694996297594e-15),
    (3, -4, -0.31679644845054e-4),
    (3, 0, -0.28270797985312e-5),
    (3, 6, -0.85205128120103e-9),
    (4, -5, -0.22425281908000e-5),
    (4, -2, -0.65171222895601e-6),
    (4, 10, -0.14341729937924e-12),
    (5, -8, -0.40516996860117e-6),
    (8, -11, -0.12734301741641e-8),
    (8, -6, -0.17424871230634e-9),
    (21, -29, -0.68762131295531e-18),
    (23, -31, 0.14478307828521e-19),
    (29, -38, 0.26335781662795e-22),
    (30, -39, -0.11947622640071e-22),
    (31, -40, 0.18228094581404e-23),
    (32, -41, -0.93537087292458e-25),
)


def specific_volume(t_kelvin, p_mpa):
    """Specific volume in m3/kg, region 1."""
    pi = p_mpa / P_STAR
    tau = T_STAR / t_kelvin
    gamma_pi = 0.0
    for i, j, n in REGION1:
        if i == 0:
            continue  # the derivative by pi of the I = 0 terms is zero
        gamma_pi -= n * i * (7.1 - pi) ** (i - 1) * (tau - 1.222) ** j
    # R in kJ/(kg*K) and p in MPa: R*T/p comes out in 1e-3 m3/kg.
    return R * t_kelvin / p_mpa * pi * gamma_pi * 1e-3


def verify():
    """IF97 verification values of region 1 (specific volume, m3/kg)."""
    for t, p, expected in ((300.0, 3.0, 0.100215168e-2),
                           (300.0, 80.0, 0.971180894e-3),
                           (500.0, 3.0, 0.120241800e-2)):
        v = specific_volume(t, p)
        assert abs(v - expected) / expected < 1e-8, (t, p, v, expected)


def density_table():
    """(T in whole degrees Celsius, density in kg/m3 rounded to 2 decimals)."""
    return [(t, round(1.0 / specific_volume(t + 273.15, PRESSURE), 2))
            for t in range(1, 201)]


def main():
    verify()
    rows = density_table()
    if "--table" in sys.argv[1:]:
        for t, rho in rows:
            print(f"{t}\t{rho:.2f}")
        return
    for t, rho in rows:
        print(f"INSERT INTO [ПлВодыОтТ] VALUES ({t}, {rho:.2f});")


if __name__ == "__main__":
    main()
