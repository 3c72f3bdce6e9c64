// Sky placement: right ascension, declination and distance to Cartesian
// coordinates centred on the observer, and back.
//
// Axes: the first points to RA 0, Dec 0; the second to RA 90, Dec 0; the
// third to Dec +90. Angles are degrees, the distance and the components
// share one length unit. Computed one double operation at a time, in the
// order written, so that the 17th digit is the same on every build.

#include "catalogue.h"

#include <cmath>

namespace {
// Degrees to radians (pi / 180). Radians are had by multiplying by it and
// degrees by dividing by it, never by multiplying with its reciprocal.
constexpr double deg = 0.017453292519943295;
}  // namespace

// sph2cart: given right ascension and declination (degrees) and distance,
// returns x, y, z in the distance's unit.
void sph2cart(const double& ra, const double& dec, const double& dist, double& x, double& y, double& z) {
    double d = dec * deg;
    double a = ra * deg;
    double cd = std::cos(d) * dist;
    x = std::cos(a) * cd;
    y = std::sin(a) * cd;
    z = std::sin(d) * dist;
}

// cart2sph: given x, y, z, returns right ascension in -180..+180 degrees
// (not moved up by 360), declination in -90..+90 degrees and the distance.
// At the origin the declination is not a number (0/0) and RA is 0.
void cart2sph(const double& x, const double& y, const double& z, double& ra, double& dec, double& dist) {
    double xx = x * x;
    double yy = y * y;
    double zz = z * z;
    double s = xx + yy;
    s = s + zz;
    double r = std::sqrt(s);
    double theta = std::acos(z / r);  // polar angle from the third axis
    double phi = std::atan2(y, x);
    dist = r;
    ra = phi / deg;
    dec = 90.0 - theta / deg;
}
