#include "platform/ui/Random.h"

#include <random>

#include "platform/Precondition.h"
#include "platform/ui/Environment.h"

namespace ui {

namespace {
std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
}  // namespace

SystemRandom& SystemRandom::shared() { return environment("SystemRandom::shared").random(); }

SystemRandom::SystemRandom() {
    std::random_device entropy;
    seed_((static_cast<std::uint64_t>(entropy()) << 32) ^ entropy());
}

void SystemRandom::seed_(std::uint64_t value) {
    // splitmix64 spreads any seed, zero included, over the whole state.
    for (auto& word : state_) {
        value += 0x9e3779b97f4a7c15ull;
        std::uint64_t z = value;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        word = z ^ (z >> 31);
    }
}

std::uint64_t SystemRandom::next() {
    // xoshiro256**
    std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
    std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = rotl(state_[3], 45);
    return result;
}

std::uint64_t SystemRandom::uniform(std::uint64_t upperBound) {
    platform::require(upperBound > 0, "SystemRandom::uniform", "the bound must be positive");
    // Lemire's multiply-and-reject: the high word of x · bound is uniform
    // once the low words that would favour some results are rejected.
    using Wide = unsigned __int128;
    Wide product = static_cast<Wide>(next()) * upperBound;
    auto low = static_cast<std::uint64_t>(product);
    if (low < upperBound) {
        std::uint64_t threshold = (0 - upperBound) % upperBound;
        while (low < threshold) {
            product = static_cast<Wide>(next()) * upperBound;
            low = static_cast<std::uint64_t>(product);
        }
    }
    return static_cast<std::uint64_t>(product >> 64);
}

}  // namespace ui
