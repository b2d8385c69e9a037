// Shapes, harmonic edits and morphs of 128-sample waves, on hand-worked
// waves and on the harmonics they must have.

#include "WaveHarmonics.h"
#include "WaveMorph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>

namespace {

// A wave of zeros but for the samples given.
Wave16 W(const std::map<int, int>& samples)
{
    Wave16 wave{};
    for (const auto& [i, v] : samples)
        wave[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(v);
    return wave;
}

// level * 32767 * cos(2 pi k i / 128 + phase), summed and rounded.
Wave16 Tones(const std::vector<std::tuple<int, double, double>>& tones)
{
    Wave16 wave{};
    for (int i = 0; i < 128; ++i) {
        double v = 0;
        for (const auto& [k, level, phase] : tones)
            v += level * 32767 * std::cos(2 * M_PI * k * i / 128 + phase);
        wave[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::lround(v));
    }
    return wave;
}

// Rounding each sample moves a level by at most this.
constexpr double kRounding = 1.0 / 32767;

TEST(WaveShapeTest, ShapesAreExactOnHandWorkedWaves)
{
    Wave16 flat = W({{0, 228}});
    for (std::size_t i = 1; i < 128; ++i)
        flat[i] = 100;  // the mean is 101
    Wave16 lopsided = W({{0, 32767}});
    std::fill(lopsided.begin() + 1, lopsided.end(), -32768);
    Wave16 lopsidedOut = W({{0, 32767}});
    std::fill(lopsidedOut.begin() + 1, lopsidedOut.end(), -258);  // scaled by 0.5039 as a whole
    Wave16 flatOut = W({{0, 127}});
    std::fill(flatOut.begin() + 1, flatOut.end(), -1);
    const std::tuple<const char*, std::function<void(Wave16&)>, Wave16, Wave16> cases[] = {
        // Halves round away from zero.
        {"normalize", Normalize, W({{0, 16384}, {5, -8192}}), W({{0, 32767}, {5, -16384}})},
        {"normalize -32768", Normalize, W({{0, -32768}, {1, 16384}}), W({{0, -32767}, {1, 16384}})},
        {"normalize silence", Normalize, W({}), W({})},
        {"remove dc", RemoveDc, flat, flatOut},
        {"remove dc, lopsided", RemoveDc, lopsided, lopsidedOut},
        {"smooth wraps round", [](Wave16& w) { Smooth(w); }, W({{0, 400}, {64, 2}}),
         W({{127, 100}, {0, 200}, {1, 100}, {63, 1}, {64, 1}, {65, 1}})},
        {"invert", Invert, W({{0, -32768}, {1, 32767}, {2, 5}}), W({{0, 32767}, {1, -32767}, {2, -5}})},
        {"reverse", Reverse, W({{0, 1}, {1, 2}, {127, 3}}), W({{127, 1}, {126, 2}, {0, 3}})},
        {"shift right", [](Wave16& w) { Shift(w, 1); }, W({{0, 1}, {127, 2}}), W({{1, 1}, {0, 2}})},
        {"shift left", [](Wave16& w) { Shift(w, -1); }, W({{0, 1}, {1, 2}}), W({{127, 1}, {0, 2}})},
    };
    for (const auto& [name, shape, in, out] : cases) {
        Wave16 wave = in;
        shape(wave);
        EXPECT_EQ(wave, out) << name;
    }
}

TEST(WaveShapeTest, SmoothLowersEachHarmonicByItsShareAndKeepsTheMean)
{
    const Wave16 wave = Tones({{0, 0.1, 0}, {1, 0.3, 0.5}, {32, 0.2, 1}, {48, 0.2, 2}, {64, 0.1, 0}});
    Wave16 smooth = wave;
    Smooth(smooth, 3);
    const Harmonics before = AnalyseHarmonics(wave);
    const Harmonics after = AnalyseHarmonics(smooth);
    for (const int k : {0, 1, 32, 48, 64}) {
        const double share = std::pow(std::cos(M_PI * k / 128), 6);
        EXPECT_NEAR(after.level[k], before.level[k] * share, 2 * kRounding) << k;
    }
}

TEST(WaveHarmonicsTest, LevelsAndPhasesRebuildTheWaveAndAnEditMovesOnlyItsHarmonic)
{
    const Wave16 wave = Tones({{0, -0.05, 0}, {1, 0.5, 1.0}, {7, 0.1, -2.5}, {63, 0.02, 0.3}, {64, 0.03, M_PI}});
    const Harmonics harmonics = AnalyseHarmonics(wave);
    EXPECT_NEAR(harmonics.level[0], 0.05, kRounding);
    EXPECT_NEAR(harmonics.phase[0], M_PI, 1e-9);
    EXPECT_NEAR(harmonics.level[1], 0.5, kRounding);
    EXPECT_NEAR(harmonics.phase[1], 1.0, 1e-4);
    EXPECT_NEAR(harmonics.level[7], 0.1, kRounding);
    EXPECT_NEAR(harmonics.phase[7], -2.5, 1e-3);
    EXPECT_NEAR(harmonics.level[64], 0.03, kRounding);
    EXPECT_NEAR(harmonics.phase[64], M_PI, 1e-9);
    Wave16 rebuilt;
    EXPECT_EQ(RebuildWave(harmonics, rebuilt), 1.0);
    EXPECT_EQ(rebuilt, wave);

    // Harmonic 7 to 0.3 and a silent harmonic 5, come in as a sine; the rest stays put.
    Wave16 edited = wave;
    EXPECT_EQ(SetHarmonicLevel(edited, 7, 0.3), 1.0);
    EXPECT_EQ(SetHarmonicLevel(edited, 5, 0.2), 1.0);
    const Harmonics after = AnalyseHarmonics(edited);
    EXPECT_NEAR(after.level[7], 0.3, kRounding);
    EXPECT_NEAR(after.phase[7], -2.5, 1e-3);
    EXPECT_NEAR(after.level[5], 0.2, kRounding);
    EXPECT_NEAR(after.phase[5], -M_PI / 2, 1e-3);
    for (const int k : {0, 1, 63, 64}) {
        EXPECT_NEAR(after.level[k], harmonics.level[k], 2 * kRounding) << k;
        EXPECT_NEAR(after.phase[k], harmonics.phase[k], 1e-3) << k;
    }
    // Too loud a harmonic scales the wave down as a whole, never wrapping it.
    EXPECT_LT(SetHarmonicLevel(edited, 3, 2.0), 1.0);
    EXPECT_EQ(std::abs(*std::max_element(edited.begin(), edited.end(),
                                         [](int a, int b) { return std::abs(a) < std::abs(b); })),
              32767);
}

TEST(WaveMorphTest, HarmonicMorphsMoveLevelsLinearlyAndPhasesTheShorterWay)
{
    // A sine and a saw: halfway, each harmonic's level is halfway.
    std::vector<std::tuple<int, double, double>> saw;
    for (int k = 1; k < 64; ++k)
        saw.emplace_back(k, 0.5 / k, -M_PI / 2);
    const Wave16 sine = Tones({{1, 0.8, -M_PI / 2}});
    const Harmonics from = AnalyseHarmonics(sine);
    const Harmonics to = AnalyseHarmonics(Tones(saw));
    const Harmonics half = AnalyseHarmonics(WavesBetween(sine, Tones(saw), 1, MorphMethod::kHarmonics).at(0));
    for (int k = 1; k < 64; ++k)
        EXPECT_NEAR(half.level[k], (from.level[k] + to.level[k]) / 2, kRounding) << k;

    // 170 and -170 degrees meet at 180, not at 0; a fading harmonic keeps its phase.
    const Wave16 a = Tones({{3, 0.5, 170 * M_PI / 180}, {9, 0.2, 1.0}});
    const Wave16 b = Tones({{3, 0.5, -170 * M_PI / 180}});
    const std::vector<Wave16> waves = WavesBetween(a, b, 3, MorphMethod::kHarmonics);
    const Harmonics middle = AnalyseHarmonics(waves.at(1));
    EXPECT_NEAR(std::abs(middle.phase[3]), M_PI, 1e-3);
    EXPECT_NEAR(middle.level[9], 0.1, kRounding);
    EXPECT_NEAR(middle.phase[9], 1.0, 1e-3);

    // Sample by sample, on the straight line; the mean and the Nyquist harmonic through 0.
    EXPECT_EQ(WavesBetween(W({{0, 0}, {1, -8}}), W({{0, 100}, {1, 8}}), 3, MorphMethod::kSamples),
              (std::vector<Wave16>{W({{0, 25}, {1, -4}}), W({{0, 50}}), W({{0, 75}, {1, 4}})}));
    const Wave16 up = Tones({{0, 0.1, 0}, {64, 0.1, 0}});
    const Wave16 down = Tones({{0, 0.1, M_PI}, {64, 0.1, M_PI}});
    EXPECT_EQ(WavesBetween(up, down, 1, MorphMethod::kHarmonics).at(0), W({}));
}

TEST(WaveMorphTest, FillBetweenFillsEachEmptyRunFromItsNeighboursAndNothingElse)
{
    Bank32 bank{};
    bank[2] = W({{0, 300}});
    bank[5] = W({{0, 600}});
    bank[31] = W({{0, -100}});
    bank[0] = bank[10] = W({{0, 7}});  // left empty, whatever they hold
    const Bank32 before = bank;
    const auto made = FillBetween(bank, (1u << 2) | (1u << 5) | (1u << 31), MorphMethod::kSamples);
    EXPECT_EQ(made.to_ulong(), 0x7FFFFFD8u);  // 3, 4 and 6 to 30
    EXPECT_EQ(bank[0], before[0]);
    EXPECT_EQ(bank[3], W({{0, 400}}));
    EXPECT_EQ(bank[4], W({{0, 500}}));
    EXPECT_EQ(bank[5], before[5]);
    EXPECT_EQ(bank[18], W({{0, 250}}));
    EXPECT_EQ(bank[31], before[31]);
}

}  // namespace
