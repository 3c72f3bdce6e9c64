// Micro-benchmarks of the work orblenz does for every star: splitting the
// line, reading its numeric columns, classifying, placing on the sky and
// formatting the catalogue entry. Inputs are lines as gen_cluster writes
// them (a 20-column, tab-separated member list).

#include "catalogue.h"
#include "classify.h"
#include "input.h"
#include "textio.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

namespace {

// Realistic star lines: main sequence, giant, white dwarf, neutron star, dark.
const char* const sample_lines[] = {
    "1.204147\t-1.283376\t-0.761474\t-3.079267\t0.035579\t0.045584\t0.024162\t1.204147\t1\t0.000000\t"
    "2.608306e-06\t1.430089e+00\t3.078779e+00\t6000.000000\t0.020000\t3.421533\t13.728744\t0.498981\t"
    "6393.511980\t-0.097521",
    "1.134221\t0.215506\t2.040187\t-0.530338\t-21.004512\t13.772519\t4.020931\t1.288434\t3\t6361.023144\t"
    "4.513290e-09\t8.027411e+00\t4.182260e+01\t6000.000000\t0.020000\t0.712043\t11.021873\t1.084412\t"
    "4291.660302\t-0.568017",
    "0.672301\t-0.104872\t0.380411\t1.770342\t9.410031\t-30.091457\t-2.550711\t2.612230\t11\t1103.115870\t"
    "0.000000e+00\t1.171553e-02\t1.377411e-03\t6000.000000\t0.020000\t12.081456\t22.391011\t0.161209\t"
    "8311.220743\t-0.229018",
    "1.612009\t3.901117\t-0.442109\t0.009815\t-3.300187\t1.220541\t11.007123\t13.211400\t13\t5987.442310\t"
    "0.000000e+00\t1.400000e-05\t1.000000e-10\t6000.000000\t0.020000\t99.000000\t109.309001\t0.000000\t"
    "0.000000\t0.000000",
    "0.838112\t-0.911022\t0.102223\t-0.660451\t4.220119\t-7.016201\t0.882716\t4.011320\t11\t389.552101\t"
    "0.000000e+00\t1.297911e-02\t9.120017e-05\t6000.000000\t0.020000\t9999.000000\t10009.309002\t0.330412\t"
    "5218.774310\t-0.157773",
};
constexpr int nsamples = sizeof(sample_lines) / sizeof(sample_lines[0]);

void load_line(const char* text, LineBuf& line) {
    std::memset(line, ' ', LINE_LEN);
    std::memcpy(line, text, std::strlen(text));
}

void pad_field(const char* text, char (&f)[FIELD_LEN]) {
    std::memset(f, ' ', FIELD_LEN);
    std::memcpy(f, text, std::strlen(text));
}

LineBuf lines[nsamples];

void init_lines() {
    static bool done = false;
    if (done) return;
    for (int i = 0; i < nsamples; ++i) load_line(sample_lines[i], lines[i]);
    done = true;
}

// The copy alone, to subtract from BM_split (fixtab changes the buffer, so
// every iteration starts from a fresh copy).
void BM_line_copy(benchmark::State& st) {
    init_lines();
    LineBuf work;
    for (auto _ : st) {
        std::memcpy(work, lines[0], LINE_LEN);
        benchmark::DoNotOptimize(work);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_line_copy);

void BM_split(benchmark::State& st) {
    init_lines();
    LineBuf work;
    FieldTable fld;
    for (auto _ : st) {
        std::memcpy(work, lines[0], LINE_LEN);
        fixtab(work);
        extr_tab_fields(work, fld);
        benchmark::DoNotOptimize(fld);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_split);

// The cut the run makes: in place, no copy of the line.
void BM_split_line(benchmark::State& st) {
    init_lines();
    LineCut cut;
    const int n = static_cast<int>(std::strlen(sample_lines[0]));
    for (auto _ : st) {
        split_line(lines[0], n, cut);
        benchmark::DoNotOptimize(cut);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_split_line);

// The same line cut as a cluster generator's table (--table).
void BM_split_table(benchmark::State& st) {
    init_lines();
    LineCut cut;
    const int n = static_cast<int>(std::strlen(sample_lines[0]));
    for (auto _ : st) {
        split_table(lines[0], n, cut);
        benchmark::DoNotOptimize(cut);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_split_table);

void BM_str_len(benchmark::State& st) {
    char f[FIELD_LEN];
    pad_field("11", f);
    for (auto _ : st) {
        benchmark::DoNotOptimize(f);
        benchmark::DoNotOptimize(str_len(f, FIELD_LEN));
    }
}
BENCHMARK(BM_str_len);

// An F20.10 column read from its field text, or in place (as the run reads
// it: its characters, the blanks after them implied).
void BM_rd_f(benchmark::State& st, const char* text, bool in_place) {
    char f[FIELD_LEN];
    pad_field(text, f);
    const int len = static_cast<int>(std::strlen(text));
    float v = 0;
    for (auto _ : st) {
        benchmark::DoNotOptimize(f);
        benchmark::DoNotOptimize(in_place ? rd_f_text(f, len, FIELD_LEN, 10, v) : rd_f(f, FIELD_LEN, 10, v));
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK_CAPTURE(BM_rd_f, fixed, "6393.511980", false);
BENCHMARK_CAPTURE(BM_rd_f, exponent, "3.078779e+00", false);
BENCHMARK_CAPTURE(BM_rd_f, blank, "", false);
BENCHMARK_CAPTURE(BM_rd_f, fixed_in_place, "6393.511980", true);
BENCHMARK_CAPTURE(BM_rd_f, exponent_in_place, "3.078779e+00", true);

void BM_rd_d(benchmark::State& st, const char* text) {
    char f[FIELD_LEN];
    pad_field(text, f);
    double v = 0;
    for (auto _ : st) {
        benchmark::DoNotOptimize(f);
        benchmark::DoNotOptimize(rd_d(f, FIELD_LEN, 15, v));
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK_CAPTURE(BM_rd_d, position, "-1.283376");

void BM_wr_d23_17(benchmark::State& st, double v) {
    char out[23];
    for (auto _ : st) {
        benchmark::DoNotOptimize(v);
        wr_d23_17(v, out);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}
BENCHMARK_CAPTURE(BM_wr_d23_17, ra, 83.791116668840942);
BENCHMARK_CAPTURE(BM_wr_d23_17, dec, -22.505492788173683);

void BM_wr_f7_2(benchmark::State& st) {
    float v = 15.51f;
    char out[7];
    for (auto _ : st) {
        benchmark::DoNotOptimize(v);
        wr_f(v, 7, 2, out);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_wr_f7_2);

struct TypeCase {
    float lum, absmag, temp;
    std::int32_t ktype;
};
const TypeCase type_cases[] = {
    {3.078779f, 3.421533f, 6393.51198f, 1},    // main sequence
    {41.8226f, 0.712043f, 4291.660302f, 3},    // giant
    {0.001377411f, 12.081456f, 8311.22f, 11},  // white dwarf
    {1e-10f, 99.0f, 0.0f, 13},                 // neutron star
    {9.12e-05f, 9999.0f, 5218.77f, 11},        // dark
};

void BM_guess_type(benchmark::State& st) {
    const TypeCase& c = type_cases[st.range(0)];
    const std::int32_t nstar = 1;
    const float mass = 1.0f, col12 = 1.0f;
    char code[6];
    for (auto _ : st) {
        float absmag = c.absmag;  // scaled in place: fresh every call
        guess_type(nstar, mass, c.lum, absmag, col12, c.temp, c.ktype, code);
        benchmark::DoNotOptimize(code);
        benchmark::DoNotOptimize(absmag);
    }
}
BENCHMARK(BM_guess_type)->DenseRange(0, 4)->ArgName("case");

void BM_cart2sph(benchmark::State& st) {
    double x = -5.0e2, y = 2.98e3, z = -1.15e3, ra, dec, dist;
    for (auto _ : st) {
        benchmark::DoNotOptimize(x);
        cart2sph(x, y, z, ra, dec, dist);
        benchmark::DoNotOptimize(ra);
        benchmark::DoNotOptimize(dec);
        benchmark::DoNotOptimize(dist);
    }
}
BENCHMARK(BM_cart2sph);

void BM_stc_entry(benchmark::State& st) {
    char out[256];
    const char prefix[FIELD_LEN + 1] = "CL1_                ";
    const char code[6] = {'K', '3', 'I', 'I', 'I', ' '};
    std::int64_t num = 1;
    for (auto _ : st) {
        int n = stc_entry(out, prefix, 4, num, 83.791116668840942, -22.505492788173683,
                          3001.9678408173936, code, 5, 0.676f);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(out);
        num = num % 999999 + 1;
    }
}
BENCHMARK(BM_stc_entry);

// Everything the run does for one star between reading the line and writing
// the entry, cycling through the sample lines: the in-place cut, the eight
// column reads, classification, placement and the entry text.
void BM_star(benchmark::State& st) {
    init_lines();
    int lens[nsamples];
    for (int k = 0; k < nsamples; ++k) lens[k] = static_cast<int>(std::strlen(sample_lines[k]));
    LineCut cut;
    char out[256];
    char code[6];
    const double x0 = 300.0, y0 = 2700.0, z0 = -1150.0, pc2ly = 3.26163626;
    std::int32_t nstar = 0, ktype = 0;
    int i = 0;
    auto rf = [&](int c, float& v) {
        FieldSpan s = column(cut, c);
        rd_f_text(s.p, s.len, FIELD_LEN, 10, v);
    };
    auto rd = [&](int c, double& v) {
        FieldSpan s = column(cut, c);
        rd_d_text(s.p, s.len, FIELD_LEN, 15, v);
    };
    for (auto _ : st) {
        split_line(lines[i], lens[i], cut);
        i = (i + 1) % nsamples;
        ++nstar;
        float mass = 0, col12 = 0, lum = 0, absmag = 0, temp = 0;
        double x = 0, y = 0, z = 0;
        rf(1, mass);
        rd_i(column(cut, 9).p, column(cut, 9).len, ktype);
        rf(12, col12);
        rf(13, lum);
        rf(16, absmag);
        rf(19, temp);
        guess_type(nstar, mass, lum, absmag, col12, temp, ktype, code);
        rd(2, x);
        rd(3, y);
        rd(4, z);
        io_internal(true, "(d20.15)");
        if (std::memcmp(code, "dead  ", 6) != 0) {
            double X = x * pc2ly + x0, Y = y * pc2ly + y0, Z = z * pc2ly + z0, ra, dec, dist;
            cart2sph(X, Y, Z, ra, dec, dist);
            int n = str_len(code, 5);
            benchmark::DoNotOptimize(stc_entry(out, "CL1_                ", 4, nstar, ra, dec, dist, code, n, absmag));
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_star);

}  // namespace

BENCHMARK_MAIN();
