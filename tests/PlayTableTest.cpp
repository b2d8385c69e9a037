// The band-limited table that play reads: never past full scale, and
// otherwise the wave exactly as it would be sent; and a wave changed while
// it plays, heard from the next period on; and the keyboard's instrument.

#include "BandLimitedTable.h"
#include "Instrument.h"
#include "KeyTables.h"
#include "LiveWave.h"
#include "Oscillator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

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

// The keyboard's instrument, rendered on its own: each case plays some
// messages, holds them a tenth of a second, sends more and renders on.
TEST(PlayTableTest, TheInstrumentsControllersStealingAndBendHoldTheirLevelsPitchAndNoClick)
{
    using Bytes = std::vector<std::uint8_t>;
    const auto on = [](int key) { return Bytes{0x90, static_cast<std::uint8_t>(key), 127}; };
    const auto off = [](int key) { return Bytes{0x80, static_cast<std::uint8_t>(key), 64}; };
    // Sixteen keys low enough that any step stands out of their curve.
    std::vector<Bytes> sixteen, stealing{on(56)};
    for (int key = 24; key < 56; key += 2) {
        sixteen.push_back(on(key));
        if (key > 24)
            stealing.push_back(off(key));
    }
    stealing.push_back(off(56));
    const double up = 8191.0 / 4096;  // semitones: the bend's top
    struct Case
    {
        const char* what;
        std::vector<Bytes> before, after;
        int silentFrom;  // frames after `after`; -1: it sounds on
        double hz;       // of what sounds on; 0: not looked at
    };
    const Case cases[] = {
        {"sustain holds a released key", {{0xB0, 64, 127}, on(69)}, {off(69)}, -1, 440},
        {"all notes off releases them in 5 ms", {on(69), on(57)}, {{0xB0, 123, 0}}, 241, 0},
        {"all sound off fades them in 2 ms, a release too", {on(69), on(57)}, {off(57), {0xB0, 120, 0}}, 97, 0},
        {"bent up 2 semitones", {on(69)}, {{0xE0, 127, 127}}, -1, 440 * std::exp2(up / 12)},
        {"bent down 2 semitones", {on(69)}, {{0xE0, 0, 0}}, -1, 440 * std::exp2(-2.0 / 12)},
        // The oldest, the only key not released, taken and faded: silence.
        {"a 17th key takes the oldest voice", sixteen, stealing, 241, 0},
        // A saw: its second harmonic would alias at 22913 Hz.
        {"key 125 bent up 2 keeps below half the rate",
         {{0xC0, 1}, on(125)},
         {{0xE0, 127, 127}},
         -1,
         440 * std::exp2((56 + up) / 12)},
    };
    std::vector<std::array<std::int16_t, 128>> waves(2);
    for (int i = 0; i < 128; ++i) {
        waves[0][i] = static_cast<std::int16_t>(std::lround(12000 * std::sin(2 * M_PI * i / 128)));
        waves[1][i] = static_cast<std::int16_t>(-12000 + 189 * i);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Instrument instrument(std::make_unique<KeyTables>(MakeKeyTables(waves, 0.5)), {97, 98}, 48000, 0.5f);
        std::vector<float> out(4800 + 9600);
        for (const auto* messages : {&c.before, &c.after}) {
            for (const Bytes& message : *messages)
                instrument.Handle(message.data(), message.size());
            instrument.Render(out.data() + (messages == &c.before ? 0 : 4800), messages == &c.before ? 4800 : 9600);
        }
        const auto rms = [&](std::size_t from, std::size_t to) {
            double sum = 0;
            for (std::size_t i = from; i < to; ++i)
                sum += out[i] * out[i];
            return std::sqrt(sum / static_cast<double>(to - from));
        };
        if (c.silentFrom >= 0) {
            EXPECT_GT(rms(4800, 4800 + c.silentFrom / 2), 0.01);
            EXPECT_EQ(rms(4800 + c.silentFrom, out.size()), 0.0);
        } else {
            EXPECT_NEAR(rms(9600, out.size()) / rms(2400, 4800), 1, 0.01);
        }
        if (c.hz > 1000) {
            // All of it at the fundamental: no harmonic, nothing folded back.
            double re = 0, im = 0;
            for (std::size_t i = 9600; i < out.size(); ++i) {
                re += out[i] * std::cos(2 * M_PI * c.hz * static_cast<double>(i) / 48000);
                im += out[i] * std::sin(2 * M_PI * c.hz * static_cast<double>(i) / 48000);
            }
            EXPECT_NEAR(2 * std::hypot(re, im) / 4800 / std::sqrt(2) / rms(9600, out.size()), 1, 0.001);
        } else {
            // No click: a smooth curve has next to no second difference.
            float bend = 0;
            for (std::size_t i = 1; i + 1 < out.size(); ++i)
                bend = std::max(bend, std::abs(out[i + 1] - 2 * out[i] + out[i - 1]));
            EXPECT_LT(bend, 0.01f);
        }
        if (c.hz > 0) {
            // Upward zero crossings, between frames.
            double first = -1, last = 0;
            int crossings = 0;
            for (std::size_t i = 9600; i + 1 < out.size(); ++i) {
                if (out[i] < 0 && out[i + 1] >= 0) {
                    last = static_cast<double>(i) + out[i] / (out[i] - out[i + 1]);
                    first = first < 0 ? last : first;
                    ++crossings;
                }
            }
            EXPECT_NEAR((crossings - 1) * 48000 / (last - first) / c.hz, 1, 0.001);
        }
    }
}

}  // namespace
