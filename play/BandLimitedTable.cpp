#include "BandLimitedTable.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <mutex>

namespace {

// FFTW's planner is not reentrant.
std::mutex g_planner;

}  // namespace

namespace {

// The first `harmonics` (and the mean) of the wave's 128-point DFT,
// synthesised at kTableSize points, the first repeated at the end.
std::vector<float> SynthesiseCycle(const std::int16_t (&wave)[128], int harmonics)
{
    constexpr int kWave = 128;
    double in[kWave];
    fftw_complex spectrum[kWave / 2 + 1];
    for (int i = 0; i < kWave; ++i)
        in[i] = wave[i] / 32768.0;
    std::vector<std::complex<double>> padded(kTableSize / 2 + 1);
    std::vector<double> out(kTableSize);
    {
        const std::lock_guard<std::mutex> lock(g_planner);
        fftw_plan forward = fftw_plan_dft_r2c_1d(kWave, in, spectrum, FFTW_ESTIMATE);
        fftw_execute(forward);
        fftw_destroy_plan(forward);
    }
    // Unnormalised transforms: 1/128 brings the wave's coefficients to
    // amplitudes. Its Nyquist term (64) is a cosine of its own; as an
    // ordinary bin of the long table it is counted twice, hence the half.
    for (int k = 0; k <= std::min(harmonics, kWave / 2); ++k) {
        const double scale = (k == kWave / 2 ? 0.5 : 1.0) / kWave;
        padded[k] = std::complex<double>(spectrum[k][0], spectrum[k][1]) * scale;
    }
    {
        const std::lock_guard<std::mutex> lock(g_planner);
        fftw_plan backward =
            fftw_plan_dft_c2r_1d(kTableSize, reinterpret_cast<fftw_complex*>(padded.data()), out.data(), FFTW_ESTIMATE);
        fftw_execute(backward);
        fftw_destroy_plan(backward);
    }
    std::vector<float> samples(out.begin(), out.end());
    samples.push_back(samples.front());
    return samples;
}

}  // namespace

BandLimitedTable MakeBandLimitedTable(const std::int16_t (&wave)[128], double frequency, double sampleRate)
{
    BandLimitedTable table;
    for (int k = 1; k <= 64 && k * frequency < sampleRate / 2; ++k)
        table.harmonicsKept = k;
    // Even with no harmonic kept, the wave's mean stays, as it always has.
    table.samples = SynthesiseCycle(wave, table.harmonicsKept);
    return table;
}

std::vector<float> MakeCycleOfHarmonics(const std::int16_t (&wave)[128], int harmonics)
{
    return SynthesiseCycle(wave, harmonics);
}

double LimitToFullScale(BandLimitedTable& table, double gain)
{
    // A hair below 1.0: the oscillator's interpolation and its float
    // products may round up by an ulp or two.
    constexpr double kFullScale = 1.0 - 1e-6;
    float peak = 0.0f;
    for (const float sample : table.samples)
        peak = std::max(peak, std::abs(sample));
    if (peak * gain <= kFullScale)
        return 1.0;
    const double scale = kFullScale / (peak * gain);
    for (float& sample : table.samples)
        sample = static_cast<float>(sample * scale);
    return scale;
}
