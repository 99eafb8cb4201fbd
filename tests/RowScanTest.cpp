// The mesher's row scans and bit counts: the processor's own form (SSE2 on
// x86) and the portable one give what the bytes say, on the same rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/BitCount.h"
#include "render/RowScan.h"

namespace {

unsigned LiteralMask(const std::uint8_t* row)
{
    unsigned mask = 0;
    for (int j = 0; j < 16; ++j)
        if (row[j] != 0)
            mask |= 1u << j;
    return mask;
}

// Rows that trip up byte comparisons: Air, solid, every single odd one out,
// bytes with the top bit set (signed versus unsigned), and random rows.
std::vector<std::uint8_t> TestRows()
{
    std::vector<std::uint8_t> rows;
    auto add = [&rows](const std::uint8_t* row) { rows.insert(rows.end(), row, row + 16); };
    for (int fill : {0, 1, 3, 0x7F, 0x80, 0xFF}) {
        std::uint8_t row[16];
        for (int odd : {0, 1, 3, 0x80, 0xFF})
            for (int j = -1; j < 16; ++j) {
                for (int i = 0; i < 16; ++i)
                    row[i] = static_cast<std::uint8_t>(i == j ? odd : fill);
                add(row);
            }
    }
    std::mt19937 rng(18);
    for (int n = 0; n < 2000; ++n) {
        std::uint8_t row[16];
        const unsigned airOneIn = 1 + n % 8;
        for (std::uint8_t& b : row)
            b = rng() % airOneIn == 0 ? 0 : static_cast<std::uint8_t>(rng());
        add(row);
    }
    return rows;
}

template <typename Scan>
void ExpectSummaries(const std::vector<std::uint8_t>& rows, const char* form)
{
    // Groups of 1 to 300 rows, starting anywhere (unaligned loads too).
    std::mt19937 rng(5);
    for (int n = 0; n < 500; ++n) {
        const std::size_t count = 1 + rng() % 300;
        const std::size_t begin = rng() % (rows.size() - count * 16);
        typename Scan::Accumulator acc;
        RowSummary expected;
        for (std::size_t r = 0; r < count; ++r) {
            const std::uint8_t* row = &rows[begin + r * 16];
            acc.Add(row);
            for (int j = 0; j < 16; ++j) {
                expected.anySolid |= row[j] != 0;
                expected.anyAir |= row[j] == 0;
            }
        }
        const RowSummary got = acc.Summary();
        ASSERT_EQ(got.anySolid, expected.anySolid) << form << " group " << n;
        ASSERT_EQ(got.anyAir, expected.anyAir) << form << " group " << n;
    }
}

} // namespace

TEST(RowScan, BothFormsGiveTheSameMasksAndSummariesOnTheSameRows)
{
    const std::vector<std::uint8_t> rows = TestRows();
    // Every byte offset, so the unaligned loads are covered.
    for (std::size_t at = 0; at + 16 <= rows.size(); ++at) {
        const unsigned literal = LiteralMask(&rows[at]);
        ASSERT_EQ(PortableRowScan::SolidMask16(&rows[at]), literal) << "offset " << at;
        ASSERT_EQ(NativeRowScan::SolidMask16(&rows[at]), literal) << "offset " << at;
    }
    ExpectSummaries<PortableRowScan>(rows, "portable");
    ExpectSummaries<NativeRowScan>(rows, "native");
}

TEST(BitCount, BuiltInAndPortableCountsAgree)
{
    std::vector<unsigned> values = {1u, 2u, 3u, 0x8000u, 0x20000u, 0x1FFFEu, 0x80000000u, 0xFFFFFFFFu};
    std::mt19937 rng(3);
    for (int n = 0; n < 10000; ++n)
        values.push_back(static_cast<unsigned>(rng()) >> (n % 32));
    EXPECT_EQ(PopCount(0), 0);
    EXPECT_EQ(PortablePopCount(0), 0);
    for (unsigned v : values) {
        if (v == 0)
            continue;
        int count = 0, lowest = -1;
        for (int i = 31; i >= 0; --i)
            if (v >> i & 1u) {
                ++count;
                lowest = i;
            }
        ASSERT_EQ(PopCount(v), count) << v;
        ASSERT_EQ(PortablePopCount(v), count) << v;
        ASSERT_EQ(LowestBit(v), lowest) << v;
        ASSERT_EQ(PortableLowestBit(v), lowest) << v;
    }
}
