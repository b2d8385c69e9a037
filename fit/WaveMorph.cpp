#include "WaveMorph.h"

#include "WaveHarmonics.h"

#include <cmath>

namespace {

// B's phase less A's, wrapped into (-pi, pi]: the shorter way round.
double PhaseStep(double from, double to)
{
    double step = std::remainder(to - from, 2.0 * M_PI);
    return step == -M_PI ? M_PI : step;
}

}  // namespace

std::vector<Wave16> WavesBetween(const Wave16& a, const Wave16& b, int count, MorphMethod method,
                                 std::vector<double>* gains)
{
    std::vector<Wave16> waves(static_cast<std::size_t>(std::max(count, 0)));
    if (gains != nullptr)
        gains->assign(waves.size(), 1.0);
    Harmonics from;
    Harmonics to;
    if (method == MorphMethod::kHarmonics) {
        from = AnalyseHarmonics(a);
        to = AnalyseHarmonics(b);
        for (int k = 0; k <= kNyquistHarmonic; ++k) {
            // The mean and the Nyquist harmonic pass through 0 as a signed level.
            if (k == 0 || k == kNyquistHarmonic) {
                from.level[k] *= std::cos(from.phase[k]);
                to.level[k] *= std::cos(to.phase[k]);
                from.phase[k] = to.phase[k] = 0.0;
            } else if (from.level[k] < kFaintLevel) {
                from.phase[k] = to.phase[k];
            } else if (to.level[k] < kFaintLevel) {
                to.phase[k] = from.phase[k];
            }
        }
    }
    for (std::size_t i = 0; i < waves.size(); ++i) {
        const double t = static_cast<double>(i + 1) / static_cast<double>(waves.size() + 1);
        double gain = 1.0;
        if (method == MorphMethod::kSamples) {
            std::array<double, 128> exact;
            for (std::size_t j = 0; j < exact.size(); ++j)
                exact[j] = a[j] + t * (b[j] - a[j]);
            gain = RoundWithin16Bits(exact, waves[i]);
        } else {
            Harmonics between;
            for (int k = 0; k <= kNyquistHarmonic; ++k) {
                between.level[k] = from.level[k] + t * (to.level[k] - from.level[k]);
                between.phase[k] = from.phase[k] + t * PhaseStep(from.phase[k], to.phase[k]);
            }
            gain = RebuildWave(between, waves[i]);
        }
        if (gains != nullptr)
            (*gains)[i] = gain;
    }
    return waves;
}

std::bitset<kBankSize> FillBetween(Bank32& bank, std::bitset<kBankSize> filled, MorphMethod method)
{
    std::bitset<kBankSize> made;
    std::size_t last = kBankSize;  // the filled slot before, once there is one
    for (std::size_t slot = 0; slot < kBankSize; ++slot) {
        if (!filled[slot])
            continue;
        if (last != kBankSize && slot > last + 1) {
            const int count = static_cast<int>(slot - last - 1);
            const std::vector<Wave16> waves = WavesBetween(bank[last], bank[slot], count, method);
            for (std::size_t i = 0; i < waves.size(); ++i) {
                bank[last + 1 + i] = waves[i];
                made.set(last + 1 + i);
            }
        }
        last = slot;
    }
    return made;
}
