// The band-limited table that play reads: never past full scale, and
// otherwise the wave exactly as it would be sent; and a wave changed while
// it plays, heard from the next period on.

#include "BandLimitedTable.h"
#include "LiveWave.h"
#include "Oscillator.h"

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

TEST(PlayTableTest, AWaveChangedWhilePlayingIsHeardFromTheNextPeriodOnAndNotAfterTheOscillatorHasGone)
{
    // A sine at a frequency of whole table points per frame, past its fade-in.
    std::int16_t wave[128];
    for (int i = 0; i < 128; ++i)
        wave[i] = static_cast<std::int16_t>(std::lround(16000 * std::sin(2 * M_PI * i / 128)));
    const double frequency = 48000.0 / 512;
    std::vector<float> period(64), next(64);
    {
        Oscillator oscillator({MakeBandLimitedTable(wave, frequency, 48000).samples}, frequency / 48000, 1.0f, 0, 1);
        AttachLiveWave(oscillator, frequency, 48000, 1.0);
        oscillator.Render(period.data(), 64);
        for (std::int16_t& sample : wave)
            sample = static_cast<std::int16_t>(-sample);
        EXPECT_TRUE(ChangeLiveWave(wave));
        oscillator.Render(next.data(), 64);
        for (int i = 1; i < 64; ++i) {
            const float sine = static_cast<float>(16000.0 / 32768 * std::sin(2 * M_PI * (64 + i) / 512));
            EXPECT_NEAR(next[i], -sine, 1e-4) << i;
        }
    }
    EXPECT_FALSE(ChangeLiveWave(wave));
}

}  // namespace
