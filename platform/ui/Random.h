// The platform's random source. Draws are uniform and unbiased for any
// bound; a seed makes the sequence reproducible.
#pragma once

#include <cstdint>

namespace ui {

class SystemRandom {
public:
    // The random source of the application environment in force on this
    // thread (Environment.h).
    static SystemRandom& shared();

    // Seeded from the operating system's entropy.
    SystemRandom();
    explicit SystemRandom(std::uint64_t seed) { seed_(seed); }

    void seed(std::uint64_t value) { seed_(value); }
    std::uint64_t next();
    // A uniform draw from [0, upperBound); upperBound must be positive.
    std::uint64_t uniform(std::uint64_t upperBound);

private:
    void seed_(std::uint64_t value);
    std::uint64_t state_[4];
};

}  // namespace ui
