// RowScan: the mesher's scans of 16 voxels of a row at a time, in two forms
// with identical results: SSE2 where the processor has it (every x86-64), and
// plain C++ for every other processor, written so that compilers vectorise it
// (NEON on 64-bit ARM). Both forms are compiled on every processor, so the
// portable one is tested against SSE2 on x86.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define VELDMARROW_HAVE_SSE2 1
#include <emmintrin.h>
#endif

// Whether a group of 16-voxel rows holds any solid voxel and any Air voxel.
struct RowSummary {
    bool anySolid = false;
    bool anyAir = false;
};

// Plain C++, for any processor.
struct PortableRowScan {
    // Bit j set when row[j] is solid (not Air), for the 16 voxels row[0..15].
    static unsigned SolidMask16(const std::uint8_t* row)
    {
        unsigned mask = 0;
        for (int j = 0; j < 16; ++j)
            mask |= static_cast<unsigned>(row[j] != 0) << j;
        return mask;
    }

    // Sums up many rows: OR finds a solid byte, the unsigned minimum an Air one.
    class Accumulator {
    public:
        // Takes in the 16 voxels row[0..15].
        void Add(const std::uint8_t* row)
        {
            // A local copy: bytes read through `row` could otherwise alias
            // the members, which keeps compilers from vectorising the loop.
            std::uint8_t v[16];
            std::memcpy(v, row, sizeof v);
            for (int j = 0; j < 16; ++j) {
                any[j] = static_cast<std::uint8_t>(any[j] | v[j]);
                least[j] = std::min(least[j], v[j]);
            }
        }
        // What the rows added so far hold (no rows: neither solid nor Air).
        RowSummary Summary() const
        {
            unsigned anyAll = 0, leastAll = 0xFF;
            for (int j = 0; j < 16; ++j) {
                anyAll |= any[j];
                leastAll = std::min<unsigned>(leastAll, least[j]);
            }
            RowSummary s;
            s.anySolid = anyAll != 0;
            s.anyAir = leastAll == 0;
            return s;
        }

    private:
        std::uint8_t any[16] = {};
        std::uint8_t least[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                  0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    };
};

#ifdef VELDMARROW_HAVE_SSE2
// SSE2: one load, compare and mask per row.
struct Sse2RowScan {
    // As PortableRowScan::SolidMask16.
    static unsigned SolidMask16(const std::uint8_t* row)
    {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
        const unsigned air = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())));
        return ~air & 0xFFFFu;
    }

    // As PortableRowScan::Accumulator.
    class Accumulator {
    public:
        // Takes in the 16 voxels row[0..15].
        void Add(const std::uint8_t* row)
        {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
            any = _mm_or_si128(any, v);
            least = _mm_min_epu8(least, v);
        }
        // What the rows added so far hold.
        RowSummary Summary() const
        {
            const __m128i zero = _mm_setzero_si128();
            RowSummary s;
            s.anySolid = _mm_movemask_epi8(_mm_cmpeq_epi8(any, zero)) != 0xFFFF;
            s.anyAir = _mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0;
            return s;
        }

    private:
        __m128i any = _mm_setzero_si128();
        __m128i least = _mm_set1_epi8(static_cast<char>(0xFF));
    };
};
using NativeRowScan = Sse2RowScan;
#else
using NativeRowScan = PortableRowScan;
#endif

// Which form a caller asks for: the processor's own (SSE2 on x86, else the
// portable one) or the portable one everywhere.
enum class RowScanForm { Native, Portable };
