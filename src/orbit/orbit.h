// orbit: the two-body orbit of a binary, from the two stars' state vectors
// to the elements of the planetarium's EllipticalOrbit.
//
// Units and frames, fixed for the whole piece:
//   mass      solar masses (M_sun), through G M_sun = 1.32712440018e20 m^3 s^-2
//   length    au of 149 597 870 700 m
//   time      Julian years of 365.25 days of 86 400 s
//   angle     degrees
//   frame     J2000 ecliptic: x to the J2000 equinox, z to the ecliptic's
//             north pole; reached from the member list's axes (x to RA 0
//             Dec 0, z to the north celestial pole, the J2000 equatorial
//             frame) by the rotation about x through the obliquity
//             23.4392911 degrees
//
// A list gives positions in parsecs and velocities in km/s. Lengths go to
// au through the placement's own scale, 1 pc = 3.26163626 ly, and
// 1 ly = 63 241.077 084 266 au (the Julian-year light-year over the au), so
// that a star of a binary is drawn where its entry would otherwise put it.
//
// The relative orbit is that of the second star about the first: r = r2 - r1,
// v = v2 - v1. About their centre of mass the second star moves on it scaled
// by m1 / (m1 + m2), the first on it scaled by m2 / (m1 + m2) and turned by
// 180 degrees (its argument of pericentre 180 degrees more).
#pragma once

// au per parsec, through light-years: 3.26163626 x 63241.077084266.
constexpr double orb_pc2ly = 3.26163626;
constexpr double orb_ly2au = 63241.077084266;
// au per Julian year for 1 km/s: 1000 m x 31 557 600 s / 149 597 870 700 m.
constexpr double orb_kms2auyr = 1000.0 * 31557600.0 / 149597870700.0;
// G M_sun in au^3 per Julian year^2.
constexpr double orb_gm_sun = 1.32712440018e20 * (31557600.0 * 31557600.0) /
                              (149597870700.0 * 149597870700.0 * 149597870700.0);

// One star of a binary as the list gives it.
struct OrbBody {
    double m;     // mass, M_sun
    double x[3];  // position, pc, list axes (J2000 equatorial)
    double v[3];  // velocity, km/s, list axes
};

// The second star relative to the first.
struct OrbRelative {
    double m1, m2;  // the masses, M_sun
    double gm;    // G (m1 + m2), au^3 / yr^2
    double r[3];  // r2 - r1, au, J2000 ecliptic
    double v[3];  // v2 - v1, au / yr, J2000 ecliptic
};

// The elements of the relative orbit, as the planetarium reads them.
struct OrbElements {
    double period;   // Julian years
    double a;        // semi-major axis, au
    double e;        // eccentricity, 0 <= e < 1
    double incl;     // inclination, degrees, 0 to 180
    double node;     // longitude of the ascending node from the J2000 equinox, degrees, [0, 360)
    double peri;     // argument of pericentre, degrees, [0, 360)
    double anomaly;  // mean anomaly at the state's epoch, degrees, [0, 360)
};

// orb_relative: given the two stars (list units and axes), returns the
// second's state relative to the first in au and au/yr, ecliptic.
void orb_relative(const OrbBody& b1, const OrbBody& b2, OrbRelative& rel);

// orb_bound: whether two stars are a binary the planetarium can draw: all
// values finite, both masses above 0, a separation above 0, and bound,
// 1/2 |v|^2 - G (m1 + m2) / |r| < 0. Stars that move straight towards or
// away from each other, or not at all relative to each other (|r x v| = 0),
// fall along a line, which no ellipse draws: not a binary.
bool orb_bound(const OrbBody& b1, const OrbBody& b2, const OrbRelative& rel);

// Each star's own semi-major axis about the centre of mass, au: the first's
// is a m2 / (m1 + m2) (other = m2), the second's a m1 / (m1 + m2).
inline double orb_axis(double a, double other, double m1, double m2) { return a * other / (m1 + m2); }

// orb_elements: given a relative state for which orb_bound holds, returns
// the elements of the relative orbit at the state's epoch, and whether the
// planetarium can draw them: every element finite, the period and both
// stars' axes (orb_axis) above 0 (a pair bound so tightly, or so widely,
// that one of them leaves the doubles is none).
// Notes:
//  - Where an angle is undefined it is set to 0: the node for an orbit in
//    the ecliptic (incl 0 or 180), the argument of pericentre for a circle
//    (e = 0); the remaining angles then place the star where it is.
//  - The angles are taken so that they agree with one another to rounding:
//    the true anomaly is measured from the same eccentricity vector as the
//    argument of pericentre, so that their sum, where the star stands, is
//    right even when e is tiny and the pericentre ill-defined.
//  - An eccentricity that rounds to 1 or more (an orbit all but a line) is
//    written as the largest double below 1.
bool orb_elements(const OrbRelative& rel, OrbElements& el);
