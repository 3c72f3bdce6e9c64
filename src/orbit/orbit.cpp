// The two-body orbit of a binary: the pair rule and the elements of the
// relative orbit, from the stars' masses, positions and velocities.
// Double precision throughout; see orbit.h for units and frames.

#include "orbit.h"

#include <cmath>

namespace {

// Degrees to radians (pi / 180); degrees are had by dividing by it.
constexpr double deg = 0.017453292519943295;
constexpr double twopi = 6.283185307179586;

// From the J2000 equatorial frame to the J2000 ecliptic: the rotation about
// x through the obliquity 23.4392911 degrees (cosine c, sine s).
constexpr double obl_c = 0.91748206214632095;
constexpr double obl_s = 0.39777715575399056;

void eq2ecl(const double in[3], double out[3]) {
    out[0] = in[0];
    out[1] = obl_c * in[1] + obl_s * in[2];
    out[2] = -obl_s * in[1] + obl_c * in[2];
}

inline double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

inline void cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// An angle in radians as degrees in [0, 360), without a negative zero.
double degrees_0_360(double rad) {
    double d = rad / deg;
    if (d < 0.0) d += 360.0;
    if (d >= 360.0) d -= 360.0;
    return d + 0.0;
}

}  // namespace

void orb_relative(const OrbBody& b1, const OrbBody& b2, OrbRelative& rel) {
    constexpr double pc2au = orb_pc2ly * orb_ly2au;
    double dr[3], dv[3];
    for (int k = 0; k < 3; ++k) {
        dr[k] = (b2.x[k] - b1.x[k]) * pc2au;
        dv[k] = (b2.v[k] - b1.v[k]) * orb_kms2auyr;
    }
    eq2ecl(dr, rel.r);
    eq2ecl(dv, rel.v);
    rel.m1 = b1.m;
    rel.m2 = b2.m;
    rel.gm = orb_gm_sun * (b1.m + b2.m);
}

bool orb_bound(const OrbBody& b1, const OrbBody& b2, const OrbRelative& rel) {
    // NaN fails every comparison: each test is written so that it does.
    if (!(b1.m > 0.0 && b2.m > 0.0 && std::isfinite(rel.gm))) return false;
    for (int k = 0; k < 3; ++k)
        if (!std::isfinite(rel.r[k]) || !std::isfinite(rel.v[k])) return false;
    const double rr = std::sqrt(dot(rel.r, rel.r));
    if (!(rr > 0.0)) return false;
    const double energy = 0.5 * dot(rel.v, rel.v) - rel.gm / rr;
    if (!(energy < 0.0)) return false;
    double h[3];
    cross(rel.r, rel.v, h);
    return dot(h, h) > 0.0;
}

bool orb_elements(const OrbRelative& rel, OrbElements& el) {
    const double* r = rel.r;
    const double* v = rel.v;
    const double mu = rel.gm;
    const double rr = std::sqrt(dot(r, r));
    const double energy = 0.5 * dot(v, v) - mu / rr;
    const double a = -mu / (2.0 * energy);

    double h[3];
    cross(r, v, h);

    // The eccentricity vector, pointing to the pericentre: (v x h) / mu - r / |r|.
    double vh[3], ev[3];
    cross(v, h, vh);
    for (int k = 0; k < 3; ++k) ev[k] = vh[k] / mu - r[k] / rr;
    double e = std::sqrt(dot(ev, ev));
    if (e >= 1.0) e = std::nextafter(1.0, 0.0);

    // The plane: inclination from the pole of the orbit, the node where the
    // orbit rises through the ecliptic (along z x h). In the ecliptic the
    // node is undefined and taken at the equinox.
    const double hxy = std::sqrt(h[0] * h[0] + h[1] * h[1]);
    const double hn = std::sqrt(hxy * hxy + h[2] * h[2]);
    const double incl = std::atan2(hxy, h[2]);
    const double node = hxy > 0.0 ? std::atan2(h[0], -h[1]) : 0.0;
    // In-plane axes as the planetarium turns them: P to the node, Q 90
    // degrees on in the direction of motion. Their sines and cosines from h
    // itself (the pole is (sin i sin node, -sin i cos node, cos i)).
    const double cn = hxy > 0.0 ? -h[1] / hxy : 1.0, sn = hxy > 0.0 ? h[0] / hxy : 0.0;
    const double ci = h[2] / hn, si = hxy / hn;
    const double P[3] = {cn, sn, 0.0};
    const double Q[3] = {-sn * ci, cn * ci, si};

    // The pericentre's direction in the plane (for a circle, the node's)
    // and the axis 90 degrees on from it: the star's place in those axes
    // is a (cos E - e), b sin E, which gives the eccentric anomaly. Both
    // angles are taken from the same eccentricity vector, so that where the
    // star stands is right even when e is tiny and the pericentre
    // ill-defined.
    const double ep = dot(ev, P), eq = dot(ev, Q);
    const double en = std::sqrt(ep * ep + eq * eq);
    const double peri = e > 0.0 ? std::atan2(eq, ep) : 0.0;
    const double cw = e > 0.0 ? ep / en : 1.0, sw = e > 0.0 ? eq / en : 0.0;
    const double rp = dot(r, P), rq = dot(r, Q);
    const double x = cw * rp + sw * rq, y = cw * rq - sw * rp;
    const double b = a * std::sqrt((1.0 - e) * (1.0 + e));
    const double E = std::atan2(y * a, (x + a * e) * b);
    const double M = E - e * std::sin(E);

    el.a = a;
    el.e = e;
    el.period = twopi * a * std::sqrt(a / mu);
    el.incl = incl / deg + 0.0;
    el.node = degrees_0_360(node);
    el.peri = degrees_0_360(peri);
    el.anomaly = degrees_0_360(M);
    const double all[] = {el.period, el.a, el.e, el.incl, el.node, el.peri, el.anomaly};
    for (double x : all)
        if (!std::isfinite(x)) return false;
    const double a1 = orb_axis(el.a, rel.m2, rel.m1, rel.m2), a2 = orb_axis(el.a, rel.m1, rel.m1, rel.m2);
    return el.period > 0.0 && a1 > 0.0 && a2 > 0.0 && std::isfinite(a1) && std::isfinite(a2);
}
