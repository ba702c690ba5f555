#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include "platform/Numbers.h"

namespace {

TEST(Numbers, FloatsAreWrittenShortestAndReadBackExactly) {
    EXPECT_EQ(platform::shortestText(1.234f), "1.234");
    EXPECT_EQ(platform::shortestText(-0.5f), "-0.5");
    EXPECT_EQ(platform::shortestText(0.1f), "0.1");
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> bits;
    for (int i = 0; i < 20000; ++i) {
        std::uint32_t pattern = bits(random);
        float value;
        std::memcpy(&value, &pattern, sizeof value);
        if (!std::isfinite(value)) continue;
        std::string text = platform::shortestText(value);
        EXPECT_EQ(std::strtof(text.c_str(), nullptr), value) << text;
        EXPECT_LE(text.size(), 15u) << text;
    }
}

TEST(Numbers, OnlyPlainDecimalsAreRead) {
    double value = 0;
    for (const char* good : {"0", "-12.5", "3e2", "1.5E-3", ".5", "7."}) {
        EXPECT_TRUE(platform::parseDecimal(good, value)) << good;
        EXPECT_EQ(value, std::strtod(good, nullptr)) << good;
    }
    for (const char* bad :
         {"", "-", "+1", " 1", "1 ", "0x10", "inf", "nan", "1e", "1e999", "1,5", "--1", "e5"})
        EXPECT_FALSE(platform::parseDecimal(bad, value)) << bad;
}

}  // namespace
