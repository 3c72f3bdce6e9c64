// A strict reader of catalogue lines, built from what the planetarium's own
// loader was measured to read (not from the writer). An entry is
//   Star "NAME" { key value ... }
// a value a number or a quoted string. A number: an optional sign, digits
// with an optional point (or a point then digits), an optional exponent of
// e or E, an optional sign and digits; and a finite double. A string ends at
// the next double quote; a backslash (an escape there) or a control
// character in it, or a colon in the name (it splits the name in two), is
// refused here. Every entry gives RA, Dec, Distance, SpectralType (the one
// string) and AbsMag, and ends its line; or, for a star of a binary,
//   Star "NAME" {OrbitBarycenter "B" SpectralType "..." AbsMag n [Temperature n]
//                EllipticalOrbit {Period n SemiMajorAxis n Eccentricity n
//                Inclination n AscendingNode n ArgOfPericenter n MeanAnomaly n Epoch n} }
// with a period and an axis above 0 and 0 <= e < 1, naming a barycenter
// given on an earlier line (the planetarium drops a star read before its
// barycenter). Shared by the tests and fuzz_line.
#pragma once

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace stc_reader {

// Whether a star's name may hold byte c as itself.
inline bool name_char_ok(unsigned char c) { return c != '"' && c != '\\' && c != ':' && c >= 32 && c != 127; }

// nullptr when the n characters at `line` (its line feed last) are one
// entry the planetarium loads, or with `barycenter_ok` a barycenter line
// (Barycenter "NAME" {RA n Dec n Distance n }); else what it would stop at.
// An entry may carry Temperature, a number, after its AbsMag. The name of
// a barycenter line, or the barycenter an orbiting star names, goes to
// `named` (when given), with `is_orbit` telling which.
inline const char* entry_fault(const char* line, std::size_t n, bool barycenter_ok = false,
                               std::string* named = nullptr, bool* is_orbit = nullptr) {
    if (n == 0 || line[n - 1] != '\n' || std::memchr(line, '\n', n - 1)) return "not one line";
    const char *p = line, *end = line + n - 1;
    auto at = [&](char c) { return p < end && *p == c; };
    auto digits = [&] {
        int k = 0;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) ++k;
        return k;
    };
    auto word = [&](const char* w) {  // w; a name not run into more letters or digits
        std::size_t k = std::strlen(w);
        while (at(' ')) ++p;
        if (static_cast<std::size_t>(end - p) < k || std::memcmp(p, w, k) != 0) return false;
        p += k;
        return !std::isalpha(w[0]) || !(p < end && (std::isalnum(static_cast<unsigned char>(*p)) || *p == '_'));
    };
    auto string = [&](bool is_name) -> const char* {
        while (at(' ')) ++p;
        if (!at('"')) return "a string missing";
        for (++p; p < end && *p != '"'; ++p)
            if (!name_char_ok(static_cast<unsigned char>(*p)) && (is_name || *p != ':')) return "a string with a bad character";
        if (p++ == end) return "a string without its closing quote";
        return nullptr;
    };
    double value = 0;  // the last number read
    auto number = [&]() -> const char* {
        while (at(' ')) ++p;
        const char* s = p;
        if (at('+') || at('-')) ++p;
        int k = digits();
        if (at('.')) {
            ++p;
            k += digits();
        }
        if (k == 0) return "a value that is not a number";
        if (at('e') || at('E')) {
            ++p;
            if (at('+') || at('-')) ++p;
            if (digits() == 0) return "an exponent without digits";
        }
        if (!at(' ')) return "a number run into the text after it";
        value = std::strtod(std::string(s, p).c_str(), nullptr);
        if (!std::isfinite(value)) return "a number beyond the doubles";
        return nullptr;
    };
    // The text of the string just read.
    auto text_before = [&] {
        const char* q = p - 1;
        const char* b = q;
        while (b[-1] != '"') --b;
        return std::string(b, q);
    };
    const bool barycenter = barycenter_ok && word("Barycenter");
    if (!barycenter && !word("Star")) return "no Star at the start";
    if (const char* f = string(true)) return f;
    if (barycenter && named) *named = text_before();
    if (!word("{")) return "no { after the name";
    const bool orbit = !barycenter && word("OrbitBarycenter");
    if (is_orbit) *is_orbit = orbit;
    if (orbit) {
        if (const char* f = string(true)) return f;
        if (named) *named = text_before();
    }
    for (const char* key : {"RA", "Dec", "Distance", "SpectralType", "AbsMag"}) {
        if (barycenter && key[0] == 'S') break;
        if (orbit && key[0] != 'S' && key[0] != 'A') continue;
        if (!word(key)) return "a key missing or out of place";
        if (const char* f = std::strcmp(key, "SpectralType") == 0 ? string(false) : number()) return f;
    }
    if (!barycenter && word("Temperature"))
        if (const char* f = number()) return f;
    if (orbit) {
        if (!word("EllipticalOrbit") || !word("{")) return "an orbiting star without its EllipticalOrbit";
        for (const char* key : {"Period", "SemiMajorAxis", "Eccentricity", "Inclination", "AscendingNode",
                                "ArgOfPericenter", "MeanAnomaly", "Epoch"}) {
            if (!word(key)) return "an orbit's key missing or out of place";
            if (const char* f = number()) return f;
            if ((key[0] == 'P' || key[0] == 'S') && !(value > 0)) return "an orbit without a period or size";
            if (key[0] == 'E' && key[1] == 'c' && !(value >= 0 && value < 1)) return "an orbit that is no ellipse";
        }
        if (!word("}")) return "no } after the orbit";
    }
    if (!word("}")) return "no } after the values";
    while (at(' ')) ++p;
    return p == end ? nullptr : "text after the entry";
}

// nullptr when every line of `text` is an entry or a barycenter line that
// loads, every orbiting star after its barycenter; else the fault, with the
// line's number (from 1) in `line_no`.
inline const char* catalogue_fault(const std::string& text, std::size_t& line_no) {
    line_no = 0;
    std::set<std::string> barycenters;
    for (std::size_t p = 0, e; p < text.size(); p = e + 1) {
        ++line_no;
        e = text.find('\n', p);
        if (e == std::string::npos) e = text.size() - 1;
        std::string named;
        bool orbit = false;
        if (const char* f = entry_fault(text.data() + p, e + 1 - p, true, &named, &orbit)) return f;
        if (orbit && !barycenters.count(named)) return "an orbiting star before its barycenter";
        if (!orbit && !named.empty()) barycenters.insert(named);
    }
    return nullptr;
}

// Whether `tail`, a last line without its line feed, is a beginning of the
// entry due after the complete lines `lines`: " Star \"", then the name of
// the last entry with its number one more (any name after none), then
// "\" {RA ", as far as the tail reaches.
inline bool begins_entry_due(const std::string& lines, const std::string& tail) {
    std::string due = " Star \"";
    std::size_t last = lines.empty() ? std::string::npos : lines.rfind('\n', lines.size() - 2);
    last = last == std::string::npos ? 0 : last + 1;
    if (lines.compare(last, due.size(), due) == 0) {
        std::size_t from = last + due.size(), to = lines.find('"', from);
        std::string name = lines.substr(from, to - from);
        std::size_t d = name.size();
        while (d > 0 && std::isdigit(static_cast<unsigned char>(name[d - 1]))) --d;
        if (d == name.size()) return false;
        std::string num = std::to_string(std::stoll(name.substr(d)) + 1);
        if (num.size() < 6) num.insert(0, 6 - num.size(), '0');
        due += name.substr(0, d) + num + "\" {RA ";
    }
    return tail.compare(0, due.size(), due, 0, tail.size()) == 0 && tail.find('\n') == std::string::npos;
}

}  // namespace stc_reader
