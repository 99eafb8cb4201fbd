// PortableRandom: glibc's TYPE_3 random generator, written out.
#include "world/PortableRandom.h"

void PortableRandom::Seed(unsigned seed)
{
    if (seed == 0)
        seed = 1;
    // The table starts from a Lehmer sequence (16807 x mod 2^31 - 1), worked
    // out in signed 32 bits as the C library does, so seeds of 2^31 and
    // above take the same path as there.
    std::int32_t word = static_cast<std::int32_t>(seed);
    state[0] = static_cast<std::uint32_t>(word);
    for (int i = 1; i < Degree; ++i) {
        const std::int64_t hi = word / 127773, lo = word % 127773;
        std::int64_t next = 16807 * lo - 2836 * hi;
        if (next < 0)
            next += 2147483647;
        word = static_cast<std::int32_t>(next);
        state[i] = static_cast<std::uint32_t>(word);
    }
    front = Separation;
    rear = 0;
    // The first 310 outputs are thrown away, as there.
    for (int i = 0; i < Degree * 10; ++i)
        Next();
}

int PortableRandom::Next()
{
    state[front] += state[rear];
    const int result = static_cast<int>(state[front] >> 1);
    if (++front == Degree)
        front = 0;
    if (++rear == Degree)
        rear = 0;
    return result;
}
