// Fuzz target: the output forms D23.17, F7.2, F4.1, I6.6 and I1.
//
// The input gives a double, a float and an integer as raw bit patterns
// (every exponent, subnormals, infinities, NaNs of either sign), and from
// them values near decimal boundaries: the integer scaled by a power of ten
// chosen by the input, and its neighbours one unit in the last place away,
// where rounding to 17 significant digits (D23.17) or to 2 and 1 decimals
// (F7.2, F4.1) is closest to a tie. Each writer must give exactly what the
// plain writer built on printf's digits gives (ref_forms.h); a difference
// prints both texts and traps.

#include "textio.h"

#include "ref_forms.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

[[noreturn]] void differ(const char* form, const char* got, const char* want, int w, double v) {
    std::fprintf(stderr, "fuzz_forms: %s of %a (%.17g): library \"%.*s\", plain \"%.*s\"\n", form, v, v, w, got, w,
                 want);
    __builtin_trap();
}

void check_d(double v) {
    char got[23], want[23];
    wr_d23_17(v, got);
    ref_d23_17(v, want);
    if (std::memcmp(got, want, 23) != 0) differ("D23.17", got, want, 23, v);
}

void check_f(float v) {
    char got[7], want[7];
    wr_f(v, 7, 2, got);
    ref_f(v, 7, 2, want);
    if (std::memcmp(got, want, 7) != 0) differ("F7.2", got, want, 7, v);
    wr_f(v, 4, 1, got);
    ref_f(v, 4, 1, want);
    if (std::memcmp(got, want, 4) != 0) differ("F4.1", got, want, 4, v);
}

void check_i(std::int32_t v) {
    char got[6], want[7];
    wr_i6_6(v, got);
    if (v >= 0 && v <= 999999) std::snprintf(want, sizeof want, "%06d", static_cast<int>(v));
    else std::memcpy(want, "******", 6);
    if (std::memcmp(got, want, 6) != 0) differ("I6.6", got, want, 6, v);
    wr_i1(v, got);
    want[0] = v >= 0 && v <= 9 ? static_cast<char>('0' + v) : '*';
    if (got[0] != want[0]) differ("I1", got, want, 1, v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned char b[18] = {};
    std::memcpy(b, data, size < sizeof b ? size : sizeof b);
    double d;
    float f;
    std::int32_t i;
    std::memcpy(&d, b, 8);
    std::memcpy(&f, b + 8, 4);
    std::memcpy(&i, b + 12, 4);

    check_d(d);
    check_d(-d);
    check_f(f);
    check_f(static_cast<float>(d));
    check_i(i);

    // Decimal-looking values: i x 10^-s and its neighbours.
    int s = b[16] % 40;
    int t = b[17] % 12;
    double dec = static_cast<double>(i) / std::pow(10.0, s);
    check_d(dec);
    check_d(std::nextafter(dec, HUGE_VAL));
    check_d(std::nextafter(dec, -HUGE_VAL));
    check_d(static_cast<double>(i) * std::pow(10.0, s + 60));
    float fdec = static_cast<float>(i % 2000000) / static_cast<float>(std::pow(10.0, t));
    check_f(fdec);
    check_f(std::nextafter(fdec, HUGE_VALF));
    check_f(std::nextafter(fdec, -HUGE_VALF));
    // Halfway texts: k + 0.5 units of the last decimal, in single precision.
    float half = (static_cast<float>(i % 200000) + 0.5f) / static_cast<float>(t % 2 ? 10 : 100);
    check_f(half);
    check_f(std::nextafter(half, HUGE_VALF));
    check_f(std::nextafter(half, -HUGE_VALF));
    return 0;
}
