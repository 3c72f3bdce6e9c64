// A strict reader of catalogue lines, built from what the planetarium's own
// loader was measured to read (not from the writer). An entry is
//   Star "NAME" { key value ... }
// a value a number or a quoted string. A number: an optional sign, digits
// with an optional point (or a point then digits), an optional exponent of
// e or E, an optional sign and digits; and a finite double. A string ends at
// the next double quote; a backslash (an escape there) or a control
// character in it, or a colon in the name (it splits the name in two), is
// refused here. Every entry gives RA, Dec, Distance, SpectralType (the one
// string) and AbsMag, and ends its line. Shared by the tests and fuzz_line.
#pragma once

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace stc_reader {

// Whether a star's name may hold byte c as itself.
inline bool name_char_ok(unsigned char c) { return c != '"' && c != '\\' && c != ':' && c >= 32 && c != 127; }

// nullptr when the n characters at `line` (its line feed last) are one
// entry the planetarium loads, or with `barycenter_ok` a barycenter line
// (Barycenter "NAME" {RA n Dec n Distance n }); else what it would stop at.
// An entry may carry Temperature, a number, after its AbsMag.
inline const char* entry_fault(const char* line, std::size_t n, bool barycenter_ok = false) {
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
        if (!std::isfinite(std::strtod(std::string(s, p).c_str(), nullptr))) return "a number beyond the doubles";
        return nullptr;
    };
    const bool barycenter = barycenter_ok && word("Barycenter");
    if (!barycenter && !word("Star")) return "no Star at the start";
    if (const char* f = string(true)) return f;
    if (!word("{")) return "no { after the name";
    for (const char* key : {"RA", "Dec", "Distance", "SpectralType", "AbsMag"}) {
        if (barycenter && key[0] == 'S') break;
        if (!word(key)) return "a key missing or out of place";
        if (const char* f = std::strcmp(key, "SpectralType") == 0 ? string(false) : number()) return f;
    }
    if (!barycenter && word("Temperature"))
        if (const char* f = number()) return f;
    if (!word("}")) return "no } after the values";
    while (at(' ')) ++p;
    return p == end ? nullptr : "text after the entry";
}

// nullptr when every line of `text` is an entry that loads, the first one
// possibly a barycenter line; else the fault, with the line's number (from
// 1) in `line_no`.
inline const char* catalogue_fault(const std::string& text, std::size_t& line_no) {
    line_no = 0;
    for (std::size_t p = 0, e; p < text.size(); p = e + 1) {
        ++line_no;
        e = text.find('\n', p);
        if (e == std::string::npos) e = text.size() - 1;
        if (const char* f = entry_fault(text.data() + p, e + 1 - p, line_no == 1)) return f;
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
