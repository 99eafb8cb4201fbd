// BitCount: counting and finding set bits, with the compiler's built-ins
// where it has them (one instruction on x86 and ARM) and plain C++ elsewhere.
#pragma once

// Number of set bits in v, in plain C++.
constexpr int PortablePopCount(unsigned v)
{
    int n = 0;
    for (; v != 0; v &= v - 1)
        ++n;
    return n;
}

// Index of the lowest set bit of v, in plain C++; v must not be 0 (gives 32).
constexpr int PortableLowestBit(unsigned v)
{
    int i = 0;
    for (; i < 32 && (v & 1u) == 0; v >>= 1)
        ++i;
    return i;
}

// Number of set bits in v.
inline int PopCount(unsigned v)
{
#if defined(__GNUC__)
    return __builtin_popcount(v);
#else
    return PortablePopCount(v);
#endif
}

// Index of the lowest set bit of v; v must not be 0.
inline int LowestBit(unsigned v)
{
#if defined(__GNUC__)
    return __builtin_ctz(v);
#else
    return PortableLowestBit(v);
#endif
}
