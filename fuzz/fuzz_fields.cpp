// Fuzz target: the fixed-format numeric field reads.
//
// Any input becomes one 20-character field text (cut to 20 bytes, padded
// with blanks) and goes through every input form the program uses:
// F20.10, D20.15, D20.10 (reals) and I1, I2 (integers). Each read must not
// crash, and its decision (accepted or refused) and the value it gives must
// agree with the plain decoding below, written straight from the rules of
// the forms; the real reads in place (rd_d_text, rd_f_text, as the run reads
// its columns, and rd_shape, as the check reads them) must agree with the
// reads of the field text. A disagreement prints the field and traps.
//
// The reference decoder works on the field with its blanks removed (blanks
// are ignored wherever they stand), cut at the first comma (a comma ends the
// field; an exponent letter or sign that no digit follows is an error either
// way), and converts a decimal text with strtod, so it shares no code with
// the library's scanner.
//
// With ORBLENZ_READ_FIELDS set to the path of the read_fields vector table,
// the reference is first checked against every row of it (a wrong reference
// would hide wrong reads).

#include "textio.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int W = 20;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_sign(char c) { return c == '+' || c == '-'; }
bool is_exp_letter(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

// Reference decoding of a real field of w characters with d implied
// decimals. Returns false for a field that breaks the form.
bool ref_real(const char* f, int w, int d, double& v) {
    std::string s;  // the field without blanks, up to its first comma
    for (int i = 0; i < w; ++i) {
        if (f[i] == ' ') continue;
        if (f[i] == ',') break;
        s += f[i];
    }
    std::size_t p = 0;
    bool neg = false;
    if (p < s.size() && is_sign(s[p])) {
        neg = s[p] == '-';
        ++p;
    }
    std::string digits;
    bool point = false;
    std::size_t int_digits = 0;  // digits before the point
    while (p < s.size()) {
        char c = s[p];
        if (is_digit(c)) {
            digits += c;
        } else if (c == '.') {
            if (point) return false;  // a second point
            point = true;
            int_digits = digits.size();
        } else {
            break;
        }
        ++p;
    }
    std::string exp_text;  // "e", the exponent's sign if any, its digits
    if (p < s.size()) {
        char c = s[p];
        exp_text = "e";
        if (is_exp_letter(c)) {
            ++p;
            if (p < s.size() && is_sign(s[p])) exp_text += s[p++];
        } else if (is_sign(c)) {
            exp_text += c;
            ++p;
        } else {
            return false;  // any other character
        }
        if (p == s.size()) return false;  // no exponent digit
        for (; p < s.size(); ++p) {
            if (!is_digit(s[p])) return false;
            exp_text += s[p];
        }
    }
    if (digits.empty()) {  // blanks, a sign alone, ".", "e5", "-.e3": zero
        v = 0.0;
        return true;
    }
    // Place the decimal point: where it stands, or before the last d digits.
    long ip = point ? static_cast<long>(int_digits) : static_cast<long>(digits.size()) - d;
    std::string num = neg ? "-" : "";
    if (ip <= 0) {
        num += "0.";
        num.append(static_cast<std::size_t>(-ip), '0');
        num += digits;
    } else if (ip >= static_cast<long>(digits.size())) {
        num += digits;
        num.append(static_cast<std::size_t>(ip) - digits.size(), '0');
    } else {
        num += digits.substr(0, static_cast<std::size_t>(ip));
        num += '.';
        num += digits.substr(static_cast<std::size_t>(ip));
    }
    num += exp_text;
    errno = 0;
    char* end = nullptr;
    v = std::strtod(num.c_str(), &end);  // nearest double; overflow gives +-HUGE_VAL
    if (*end != '\0') {
        std::fprintf(stderr, "reference: strtod stopped early on \"%s\"\n", num.c_str());
        __builtin_trap();
    }
    return true;
}

// Reference decoding of an integer field of w (1 or 2) characters.
bool ref_int(const char* f, int w, std::int32_t& v) {
    int i = 0;
    while (i < w && f[i] == ' ') ++i;
    bool neg = false;
    if (i < w && is_sign(f[i])) neg = f[i++] == '-';
    std::int32_t x = 0;
    for (; i < w; ++i) {
        if (is_digit(f[i])) x = x * 10 + (f[i] - '0');
        else if (f[i] == ' ') continue;
        else if (f[i] == ',') break;
        else return false;
    }
    v = neg ? -x : x;
    return true;
}

void show_field(const char* f) {
    std::fprintf(stderr, "field (hex):");
    for (int i = 0; i < W; ++i) std::fprintf(stderr, " %02x", static_cast<unsigned char>(f[i]));
    std::fprintf(stderr, "\nfield (text): \"");
    for (int i = 0; i < W; ++i) {
        unsigned char c = static_cast<unsigned char>(f[i]);
        std::fputc(c >= 32 && c < 127 ? c : '?', stderr);
    }
    std::fprintf(stderr, "\"\n");
}

[[noreturn]] void disagree(const char* form, const char* f, bool lib_ok, bool ref_ok, const char* what) {
    std::fprintf(stderr, "%s: library %s, reference %s (%s)\n", form, lib_ok ? "accepts" : "refuses",
                 ref_ok ? "accepts" : "refuses", what);
    show_field(f);
    __builtin_trap();
}

// Values agree: bit for bit, except that zeros agree whatever their sign.
bool same_double(double a, double b) {
    if (a == 0.0 && b == 0.0) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}
bool same_float(float a, float b) {
    if (a == 0.0f && b == 0.0f) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

const double sentinel_d = 0x1.234p+5;
const float sentinel_f = 0x1.234p+5f;
const std::int32_t sentinel_i = 987654;

// The field as the run gives it, in place: its characters up to the last
// that is not a blank (the blanks after them implied), and also without its
// leading blanks where 16 characters stay readable from its start.
struct InPlace {
    int first, len;
};
InPlace in_place(const char* f) {
    int last = W;
    while (last > 0 && f[last - 1] == ' ') --last;
    int first = 0;
    while (first < last && f[first] == ' ') ++first;
    return InPlace{first, last - first};
}

void check_d(const char* form, const char* f, int d) {
    double lib = sentinel_d, ref = 0;
    bool lok = rd_d(f, W, d, lib);
    bool rok = ref_real(f, W, d, ref);
    if (lok != rok) disagree(form, f, lok, rok, "decision");
    InPlace ip = in_place(f);
    for (int from : {0, ip.first}) {
        if (from > W - 16) continue;
        double t = sentinel_d;
        bool tok = rd_d_text(f + from, ip.first + ip.len - from, W, d, t);
        if (tok != lok || (tok && !same_double(t, lib)) || (!tok && !same_double(t, sentinel_d)))
            disagree(form, f, tok, lok, "rd_d_text against rd_d");
        RealShape shape{};  // the check's read
        t = sentinel_d;
        tok = rd_shape(f + from, ip.first + ip.len - from, W, d, t, shape);
        if (tok != lok || (tok && !same_double(t, lib)) || (!tok && !same_double(t, sentinel_d)))
            disagree(form, f, tok, lok, "rd_shape against rd_d");
    }
    if (!lok) {
        if (!same_double(lib, sentinel_d)) disagree(form, f, lok, rok, "refusal changed the value");
        return;
    }
    if (!same_double(lib, ref)) {
        std::fprintf(stderr, "%s: library %a (%.17g), reference %a (%.17g)\n", form, lib, lib, ref, ref);
        disagree(form, f, lok, rok, "value");
    }
}

void check_f(const char* f) {
    float lib = sentinel_f;
    double ref = 0;
    bool lok = rd_f(f, W, 10, lib);
    bool rok = ref_real(f, W, 10, ref);
    if (lok != rok) disagree("f20.10", f, lok, rok, "decision");
    InPlace ip = in_place(f);
    for (int from : {0, ip.first}) {
        if (from > W - 16) continue;
        float t = sentinel_f;
        bool tok = rd_f_text(f + from, ip.first + ip.len - from, W, 10, t);
        if (tok != lok || (tok && !same_float(t, lib)) || (!tok && !same_float(t, sentinel_f)))
            disagree("f20.10", f, tok, lok, "rd_f_text against rd_f");
    }
    if (!lok) {
        if (!same_float(lib, sentinel_f)) disagree("f20.10", f, lok, rok, "refusal changed the value");
        return;
    }
    // Nearest double first, then rounded to single precision (the cast
    // rounds to nearest; beyond the float range it gives an infinity).
    float rf = static_cast<float>(ref);
    if (!same_float(lib, rf)) {
        std::fprintf(stderr, "f20.10: library %a (%.9g), reference %a (%.9g)\n", static_cast<double>(lib),
                     static_cast<double>(lib), static_cast<double>(rf), static_cast<double>(rf));
        disagree("f20.10", f, lok, rok, "value");
    }
}

void check_i(const char* form, const char* f, int w) {
    std::int32_t lib = sentinel_i, ref = 0;
    // The form looks at its first w characters only: give it just those.
    char* head = static_cast<char*>(std::malloc(static_cast<std::size_t>(w)));
    std::memcpy(head, f, static_cast<std::size_t>(w));
    bool lok = rd_i(head, w, lib);
    std::free(head);
    bool rok = ref_int(f, w, ref);
    if (lok != rok) disagree(form, f, lok, rok, "decision");
    if (!lok) {
        if (lib != sentinel_i) disagree(form, f, lok, rok, "refusal changed the value");
        return;
    }
    if (lib != ref) {
        std::fprintf(stderr, "%s: library %d, reference %d\n", form, static_cast<int>(lib), static_cast<int>(ref));
        disagree(form, f, lok, rok, "value");
    }
}

// ---------------------------------------------------------------- self-checks

// A table text cell: between double quotes, with \t, \0 and \xHH escapes.
std::string unquote_cell(const std::string& cell) {
    std::string out;
    std::size_t a = 0, b = cell.size();
    if (b >= 2 && cell[0] == '"' && cell[b - 1] == '"') {
        ++a;
        --b;
    }
    for (std::size_t i = a; i < b; ++i) {
        if (cell[i] == '\\' && i + 1 < b) {
            char e = cell[++i];
            if (e == 't') out += '\t';
            else if (e == '0') out += '\0';
            else if (e == 'x' && i + 2 < b) {
                out += static_cast<char>(std::strtol(cell.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            } else out += e;
        } else {
            out += cell[i];
        }
    }
    return out;
}

[[noreturn]] void self_check_failed(const std::string& what) {
    std::fprintf(stderr, "fuzz_fields: reference self-check failed: %s\n", what.c_str());
    std::abort();
}

// The reference against the worked examples of the forms.
void check_examples() {
    struct Ex {
        const char* text;
        bool ok;
        double value;
    };
    const Ex ex[] = {
        {"1.5", true, 1.5},       {"   -2.75e+01", true, -27.5}, {"1.5D3", true, 1500.0},
        {"2.5-3", true, 0.0025},  {"15", true, 1.5e-9},          {"1e3", true, 1e-7},
        {"", true, 0.0},          {"1.5x", false, 0.0},          {"1 2.5", true, 12.5},
        {"1.5,7", true, 1.5},     {"1.5 - 3", true, 0.0015},     {"2.5 e 2", true, 250.0},
        {".", true, 0.0},         {"e5", true, 0.0},             {"-.e3", true, 0.0},
        {"+.", true, 0.0},        {"-", true, 0.0},              {"1e,", false, 0.0},
        {"1e-,5", false, 0.0},    {"1.2.3", false, 0.0},         {"1e", false, 0.0},
        {"1+", false, 0.0},       {"9e99999", true, HUGE_VAL},   {"-9e99999", true, -HUGE_VAL},
    };
    for (const Ex& e : ex) {
        char f[W];
        std::memset(f, ' ', W);
        std::memcpy(f, e.text, std::strlen(e.text));
        double v = 0;
        bool ok = ref_real(f, W, 10, v);
        float fv = static_cast<float>(v);
        if (ok != e.ok || (ok && fv != static_cast<float>(e.value)))
            self_check_failed(std::string("example \"") + e.text + "\"");
    }
}

// The reference against every row of the read_fields vector table.
void check_table(const char* path) {
    std::ifstream in(path);
    if (!in) self_check_failed(std::string("cannot open ") + path);
    std::string line;
    std::getline(in, line);  // column names
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::vector<std::string> cells;
        std::size_t start = 0;
        for (;;) {
            std::size_t tab = line.find('\t', start);
            cells.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (cells.size() < 3) self_check_failed("short row: " + line);
        const std::string& form = cells[0];
        std::string field = unquote_cell(cells[1]);
        if (field.size() != static_cast<std::size_t>(W)) self_check_failed("field not 20 characters: " + line);
        bool want_ok = cells[2] == "ok";
        const std::string value = cells.size() > 3 ? cells[3] : "";
        const char* f = field.data();
        if (form == "i1" || form == "i2") {
            std::int32_t v = 0;
            bool ok = ref_int(f, form == "i1" ? 1 : 2, v);
            if (ok != want_ok || (ok && v != std::strtol(value.c_str(), nullptr, 10)))
                self_check_failed("row: " + line);
        } else {
            int d = form == "d20.15" ? 15 : 10;
            double v = 0;
            bool ok = ref_real(f, W, d, v);
            bool good = ok == want_ok;
            if (good && ok) {
                double want = std::strtod(value.c_str(), nullptr);
                good = form == "f20.10" ? same_float(static_cast<float>(v), static_cast<float>(want))
                                        : same_double(v, want);
            }
            if (!good) self_check_failed("row: " + line);
        }
        ++rows;
    }
    std::fprintf(stderr, "fuzz_fields: reference agrees with %d table rows\n", rows);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    check_examples();
    if (const char* path = std::getenv("ORBLENZ_READ_FIELDS")) check_table(path);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Exactly the field's 20 characters on the heap, so a read past the
    // field is an address error.
    char* f = static_cast<char*>(std::malloc(W));
    std::memset(f, ' ', W);
    std::memcpy(f, data, size < static_cast<std::size_t>(W) ? size : static_cast<std::size_t>(W));

    check_f(f);
    check_d("d20.15", f, 15);
    check_d("d20.10", f, 10);
    check_i("i1", f, 1);
    check_i("i2", f, 2);

    std::free(f);
    return 0;
}
