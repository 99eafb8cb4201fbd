// PortableRandom: one random sequence on every platform, the one glibc's
// srand/rand give (its additive feedback generator x[i] = x[i-3] + x[i-31]),
// so a seed builds the same world on Linux and Windows.
#pragma once
#include <cstdint>

class PortableRandom {
public:
    explicit PortableRandom(unsigned seed = 1) { Seed(seed); }
    // Restarts the sequence, as srand(seed) does (0 counts as 1).
    void Seed(unsigned seed);
    // The next draw in [0, 2^31 - 1], as rand() gives it.
    int Next();

private:
    static const int Degree = 31, Separation = 3;
    std::uint32_t state[Degree];
    int front = Separation, rear = 0;
};
