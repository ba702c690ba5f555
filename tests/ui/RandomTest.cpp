// The random numbers that pick the emoji: below their bound, and even.
#include <gtest/gtest.h>

#include <vector>

#include "platform/ui/Random.h"

namespace {

// Pearson's statistic of `counts` against a uniform expectation.
double chiSquare(const std::vector<int>& counts, int draws) {
    double expected = static_cast<double>(draws) / counts.size();
    double sum = 0;
    for (int count : counts) sum += (count - expected) * (count - expected) / expected;
    return sum;
}

TEST(SystemRandom, DrawsStayBelowTheBound) {
    ui::SystemRandom random(42);
    for (std::uint64_t bound : {1ull, 2ull, 3ull, 75ull, 1ull << 40, ~0ull}) {
        for (int i = 0; i < 1000; ++i) ASSERT_LT(random.uniform(bound), bound);
    }
}

// Draws fall evenly: over 75 emoji (74 degrees of freedom, critical value
// 118.6 at 0.1 %), and over thirds of 2^63 + 2^62, which splits 2^64
// unevenly, so that a plain modulo would put half again as many draws in
// the lower third (2 degrees of freedom: 13.8).
TEST(SystemRandom, EveryValueIsEquallyLikely) {
    const std::tuple<std::uint64_t, std::size_t, double> cases[] = {
        {75, 75, 118.6}, {(1ull << 63) + (1ull << 62), 3, 13.8}};
    for (auto [bound, cells, critical] : cases) {
        ui::SystemRandom random(2024);
        const int draws = 300000;
        std::vector<int> counts(cells);
        for (int i = 0; i < draws; ++i) ++counts[random.uniform(bound) / (bound / cells)];
        EXPECT_LT(chiSquare(counts, draws), critical) << bound;
    }
}

}  // namespace
