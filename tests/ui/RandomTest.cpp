#include <gtest/gtest.h>

#include <vector>

#include "controller/ViewController.h"
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

TEST(SystemRandom, TheSameSeedGivesTheSameSequence) {
    ui::SystemRandom a(7), b(7), c(8);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        auto x = a.uniform(75);
        EXPECT_EQ(x, b.uniform(75));
        differs = differs || x != c.uniform(75);
    }
    EXPECT_TRUE(differs);
}

TEST(SystemRandom, EveryEmojiEntryIsEquallyLikely) {
    // 75 cells, 74 degrees of freedom: the 0.1 % critical value is 118.6.
    ui::SystemRandom random(2024);
    const int draws = 750000;
    std::vector<int> counts(75);
    for (int i = 0; i < draws; ++i) ++counts[random.uniform(75)];
    EXPECT_LT(chiSquare(counts, draws), 118.6);
}

TEST(SystemRandom, ABoundThatDoesNotDivideTheRangeIsStillUnbiased) {
    // A bound of 2^63 + 2^62 splits 2^64 unevenly: a plain modulo would put
    // half again as many draws in the lower third as in the others.
    ui::SystemRandom random(99);
    const std::uint64_t bound = (1ull << 63) + (1ull << 62);
    const int draws = 300000;
    std::vector<int> thirds(3);
    for (int i = 0; i < draws; ++i) ++thirds[random.uniform(bound) / (bound / 3)];
    EXPECT_LT(chiSquare(thirds, draws), 13.8);  // 2 degrees of freedom, 0.1 %
}

TEST(SystemRandom, RepeatedEmojiAreTwiceAsLikely) {
    const auto& table = scrawlet::emojiTable();
    ui::SystemRandom random(5);
    const int draws = 750000;
    std::map<std::string, int> counts;
    for (int i = 0; i < draws; ++i) ++counts[table[random.uniform(table.size())]];
    double single = static_cast<double>(counts["\U0001F436"]) / draws;
    double doubled = static_cast<double>(counts["\U0001F425"]) / draws;
    EXPECT_NEAR(single, 1.0 / 75, 0.0015);
    EXPECT_NEAR(doubled, 2.0 / 75, 0.0015);
}

}  // namespace
