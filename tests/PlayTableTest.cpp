// The band-limited table that play reads: never past full scale, and
// otherwise the wave exactly as it would be sent.

#include "BandLimitedTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

float Peak(const BandLimitedTable& table)
{
    float peak = 0.0f;
    for (const float sample : table.samples)
        peak = std::max(peak, std::abs(sample));
    return peak;
}

TEST(PlayTableTest, ATableThatWouldPassFullScaleIsScaledToReachItAndNoOther)
{
    // A full-scale square: band-limited, it overshoots between its samples.
    std::int16_t square[128];
    std::fill(square, square + 64, 32767);
    std::fill(square + 64, square + 128, -32768);
    for (const double gain : {1.0, 0.5, 0.25}) {
        SCOPED_TRACE(gain);
        BandLimitedTable table = MakeBandLimitedTable(square, 130.8128, 48000);
        const float overshoot = Peak(table);
        ASSERT_GT(overshoot, 1.2f);
        const double scale = LimitToFullScale(table, gain);
        if (overshoot * gain > 1.0) {
            EXPECT_LE(Peak(table) * gain, 1.0);
            EXPECT_GE(Peak(table) * gain, 0.9999);
            EXPECT_NEAR(scale, 1.0 / (overshoot * gain), 1e-5);
        } else {
            // Left as it is: at C3 it passes through the 128 samples as sent.
            EXPECT_EQ(scale, 1.0);
            for (int i = 0; i < 128; ++i)
                EXPECT_NEAR(table.samples[32 * i], square[i] / 32768.0, 1e-5) << i;
        }
    }
}

}  // namespace
