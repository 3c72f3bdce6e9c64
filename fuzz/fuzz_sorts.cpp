// Fuzz target: the paired sorts aisort and iasort.
//
// The input's first two bytes choose the count n (1 to 1024, or one of the
// refused counts 0 and negative) and the control parameter K (mostly 2, now
// and then 1, -1, -2 or a refused value); the rest fills n five-character
// keys and n integer companions (repeated to the length needed, so that
// equal keys are frequent). Both sorts run on arrays of exactly n entries
// (reads or writes past them are address errors) and must leave:
//   - the keys ascending (aisort: byte by byte as unsigned character codes;
//     iasort: signed integers);
//   - with K = +-2 the multiset of (key, companion) pairs unchanged;
//   - with K = +-1 the companions untouched and the keys a permutation;
//   - with a refused n or K both arrays untouched and the message line.
// Console lines go into a string (con_capture).

#include "stats.h"
#include "textio.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string console;

[[noreturn]] void fail(const char* routine, const char* what, std::int32_t n, std::int32_t k) {
    std::fprintf(stderr, "fuzz_sorts: %s (n=%d, K=%d): %s\n", routine, static_cast<int>(n), static_cast<int>(k), what);
    __builtin_trap();
}

using Key = std::array<unsigned char, 5>;

struct Bytes {
    const std::uint8_t* d;
    std::size_t n, i = 0;
    std::uint8_t next() {
        if (n == 0) return 0;
        std::uint8_t b = d[i % n];
        ++i;
        return b;
    }
};

const char msg_n[] = " The number of values to be sorted is not positive.\n";
const char msg_k[] = " The sort control parameter, K, is not 2, 1, -1, or -2.\n";
const char msg_neg[] = " ? NEG KFLAG doesnt work for chars\n";

// The console lines a call must print before it sorts (or instead).
std::string expected_messages(std::int32_t n, std::int32_t k) {
    if (n <= 0) return msg_n;
    if (!(k == 1 || k == -1 || k == 2 || k == -2)) return msg_k;
    if (k < 0) return msg_neg;
    return "";
}

bool sorts_at_all(std::int32_t n, std::int32_t k) { return n > 0 && (k == 1 || k == -1 || k == 2 || k == -2); }

void run_aisort(const std::vector<Key>& keys, const std::vector<std::int32_t>& comps, std::int32_t n, std::int32_t k) {
    const std::size_t cnt = keys.size();
    char(*x)[5] = static_cast<char(*)[5]>(std::malloc(cnt * 5 ? cnt * 5 : 1));
    std::int32_t* y = static_cast<std::int32_t*>(std::malloc(cnt * 4 ? cnt * 4 : 1));
    for (std::size_t i = 0; i < cnt; ++i) {
        std::memcpy(x[i], keys[i].data(), 5);
        y[i] = comps[i];
    }
    console.clear();
    aisort(x, y, n, k);
    if (console != expected_messages(n, k)) fail("aisort", "wrong message lines", n, k);

    std::vector<std::pair<Key, std::int32_t>> before, after;
    for (std::size_t i = 0; i < cnt; ++i) {
        Key a;
        std::memcpy(a.data(), x[i], 5);
        after.emplace_back(a, y[i]);
        before.emplace_back(keys[i], comps[i]);
    }
    if (!sorts_at_all(n, k)) {
        if (before != after) fail("aisort", "a refused call changed the arrays", n, k);
    } else {
        for (std::size_t i = 1; i < cnt; ++i)
            if (std::memcmp(x[i - 1], x[i], 5) > 0) fail("aisort", "keys not ascending", n, k);
        if (k == 2 || k == -2) {
            std::sort(before.begin(), before.end());
            std::sort(after.begin(), after.end());
            if (before != after) fail("aisort", "pairs not kept together", n, k);
        } else {
            for (std::size_t i = 0; i < cnt; ++i)
                if (y[i] != comps[i]) fail("aisort", "companions moved with K = +-1", n, k);
            std::vector<Key> kb(keys), ka;
            for (auto& p : after) ka.push_back(p.first);
            std::sort(kb.begin(), kb.end());
            if (kb != ka) fail("aisort", "keys not a permutation", n, k);
        }
    }
    std::free(x);
    std::free(y);
}

void run_iasort(const std::vector<std::int32_t>& keys, const std::vector<Key>& comps, std::int32_t n, std::int32_t k) {
    const std::size_t cnt = keys.size();
    std::int32_t* x = static_cast<std::int32_t*>(std::malloc(cnt * 4 ? cnt * 4 : 1));
    char(*y)[5] = static_cast<char(*)[5]>(std::malloc(cnt * 5 ? cnt * 5 : 1));
    for (std::size_t i = 0; i < cnt; ++i) {
        x[i] = keys[i];
        std::memcpy(y[i], comps[i].data(), 5);
    }
    console.clear();
    iasort(x, y, n, k);
    if (console != expected_messages(n, k)) fail("iasort", "wrong message lines", n, k);

    std::vector<std::pair<std::int32_t, Key>> before, after;
    for (std::size_t i = 0; i < cnt; ++i) {
        Key a;
        std::memcpy(a.data(), y[i], 5);
        after.emplace_back(x[i], a);
        before.emplace_back(keys[i], comps[i]);
    }
    if (!sorts_at_all(n, k)) {
        if (before != after) fail("iasort", "a refused call changed the arrays", n, k);
    } else {
        for (std::size_t i = 1; i < cnt; ++i)
            if (x[i - 1] > x[i]) fail("iasort", "keys not ascending", n, k);
        if (k == 2 || k == -2) {
            std::sort(before.begin(), before.end());
            std::sort(after.begin(), after.end());
            if (before != after) fail("iasort", "pairs not kept together", n, k);
        } else {
            for (std::size_t i = 0; i < cnt; ++i)
                if (std::memcmp(y[i], comps[i].data(), 5) != 0) fail("iasort", "companions moved with K = +-1", n, k);
            std::vector<std::int32_t> kb(keys), ka;
            for (auto& p : after) ka.push_back(p.first);
            std::sort(kb.begin(), kb.end());
            if (kb != ka) fail("iasort", "keys not a permutation", n, k);
        }
    }
    std::free(x);
    std::free(y);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    con_capture(&console);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // Byte 0: the count; byte 1: K and the key alphabet.
    std::uint8_t b0 = data[0], b1 = data[1];
    Bytes src{data + 2, size - 2};
    std::int32_t n;
    std::size_t cnt;  // array length
    if (b0 == 0) {
        n = 0;
        cnt = 3;
    } else if (b0 == 255) {
        n = -static_cast<std::int32_t>(src.next());
        cnt = 3;
    } else {
        // 1 to 254 directly, larger counts from the next byte.
        n = b0 < 200 ? b0 : 200 + (b0 - 200) * 16 + src.next() % 16;
        cnt = static_cast<std::size_t>(n);
    }
    std::int32_t k;
    switch (b1 % 16) {
        case 0: k = 1; break;
        case 1: k = -1; break;
        case 2: k = -2; break;
        case 3: k = static_cast<std::int32_t>(static_cast<std::int8_t>(src.next())); break;
        default: k = 2; break;
    }
    // Narrow alphabets make equal keys common.
    const unsigned alphabet = (b1 >> 4) == 0 ? 256u : (b1 >> 4) + 1u;

    std::vector<Key> tkeys(cnt);
    std::vector<std::int32_t> ikeys(cnt), comps(cnt);
    for (std::size_t i = 0; i < cnt; ++i) {
        for (auto& c : tkeys[i]) c = alphabet == 256 ? src.next() : static_cast<unsigned char>('A' + src.next() % alphabet);
        std::uint32_t u = 0;
        for (int j = 0; j < 4; ++j) u = (u << 8) | src.next();
        comps[i] = static_cast<std::int32_t>(u);
        ikeys[i] = alphabet == 256 ? static_cast<std::int32_t>(u ^ 0x9e3779b9u)
                                   : static_cast<std::int32_t>(src.next() % alphabet) - 2;
    }
    run_aisort(tkeys, comps, n, k);
    run_iasort(ikeys, tkeys, n, k);
    return 0;
}
