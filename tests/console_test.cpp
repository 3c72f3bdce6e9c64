// Console report lines: the vector table and the real item form.

#include "test_data.h"
#include "textio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

TEST(Console, VectorTable) {
    auto rows = load_table("console_items.tsv");
    ASSERT_GT(rows.size(), 500u);
    std::string got;
    for (auto& r : rows) {
        got.clear();
        con_capture(&got);
        con_begin();
        const std::string& items = r[0];
        std::size_t p = 0;
        while (p < items.size()) {
            if (items[p] == 'T') {
                std::size_t q = items.find('"', p + 2);
                std::string t = items.substr(p + 2, q - p - 2);
                con_text(t.data(), t.size());
                p = q + 2;
            } else {
                std::size_t q = items.find(' ', p);
                if (q == std::string::npos) q = items.size();
                std::string v = items.substr(p + 1, q - p - 1);
                if (items[p] == 'I') con_int(static_cast<std::int32_t>(std::stoll(v)));
                else con_real(static_cast<float>(hexreal(v)));
                p = q + 1;
            }
        }
        con_end();
        con_capture(nullptr);
        EXPECT_EQ(got, unquote(r[1]) + "\n") << r[0];
    }
}

// The real item against its rule built on printf's %.9G, over many floats.
TEST(Console, RealItemAgreesWithRule) {
    std::mt19937 rng(7);
    char out[32], ref[40];
    for (int i = 0; i < 1000000; ++i) {
        std::uint32_t b = rng();
        float f;
        std::memcpy(&f, &b, sizeof f);
        if (!std::isfinite(f)) continue;
        std::string want;
        if (f == 0) {
            want = "  0.";
        } else {
            std::snprintf(ref, sizeof ref, "%.9G", std::fabs(static_cast<double>(f)));
            std::string t = ref;
            if (t.find('.') == std::string::npos) {
                std::size_t e = t.find('E');
                if (e == std::string::npos) t += '.';
                else t.insert(e, ".");
            }
            want = std::string(" ") + (f < 0 ? "-" : " ") + t;
        }
        ASSERT_EQ(std::string(out, real_item(f, out)), want);
    }
}
