#include "CycleFit.h"

#include "NearestSample.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

namespace {

constexpr int kHarmonics = 64;  // harmonics 0 to 63 fit in 128 samples

double Db(double ratio)
{
    return 10.0 * std::log10(ratio);
}

fftw_complex* AsFftw(std::vector<std::complex<double>>& values)
{
    return reinterpret_cast<fftw_complex*>(values.data());
}

}  // namespace

HarmonicFit FitHarmonics(const std::vector<double>& cycle)
{
    const int n = static_cast<int>(cycle.size());
    std::vector<std::complex<double>> spectrum(static_cast<std::size_t>(n / 2 + 1));
    // FFTW_PRESERVE_INPUT: the plan never writes to the cycle.
    const fftw_plan analysis = fftw_plan_dft_r2c_1d(n, const_cast<double*>(cycle.data()), AsFftw(spectrum),
                                                    FFTW_ESTIMATE | FFTW_PRESERVE_INPUT);
    fftw_execute(analysis);
    fftw_destroy_plan(analysis);

    // Bin k of a real signal stands for harmonic k twice (k and n - k), except
    // the mean and an even cycle's Nyquist bin.
    const auto weight = [n](int k) { return k == 0 || 2 * k == n ? 1.0 : 2.0; };
    double total = 0.0;
    double above = 0.0;
    for (int k = 0; k <= n / 2; ++k) {
        const double energy = weight(k) * std::norm(spectrum[static_cast<std::size_t>(k)]);
        total += energy;
        if (k >= kHarmonics)
            above += energy;
    }

    // Amplitudes for a 128-point inverse transform, which counts every bin
    // but the mean twice: each kept bin is scaled by 1/n, and an own Nyquist
    // bin (real, counted once in the cycle) is halved to come out as one
    // cosine.
    std::vector<std::complex<double>> kept(kHarmonics + 1);
    for (int k = 0; k < kHarmonics && k <= n / 2; ++k) {
        const std::complex<double>& bin = spectrum[static_cast<std::size_t>(k)];
        kept[static_cast<std::size_t>(k)] = k != 0 && 2 * k == n ? bin.real() / (2.0 * n) : bin / double(n);
    }
    HarmonicFit fit;
    const fftw_plan synthesis = fftw_plan_dft_c2r_1d(128, AsFftw(kept), fit.wave.data(), FFTW_ESTIMATE);
    fftw_execute(synthesis);
    fftw_destroy_plan(synthesis);

    fit.aboveHarmonic63Db = above > 0.0 ? Db(above / total) : -std::numeric_limits<double>::infinity();
    return fit;
}

Wave128 PickNearest(const std::vector<double>& cycle)
{
    const auto n = static_cast<std::uint32_t>(cycle.size());
    Wave128 wave;
    for (int i = 0; i < 128; ++i) {
        std::uint32_t j = NearestSampleIndex(i, n);
        if (j >= n)
            j -= n;
        wave[static_cast<std::size_t>(i)] = cycle[j];
    }
    return wave;
}

double DifferenceDb(const Wave128& wave, const Wave128& reference)
{
    double difference = 0.0;
    double energy = 0.0;
    for (std::size_t i = 0; i < wave.size(); ++i) {
        const double value = std::round(reference[i]);
        difference += (std::round(wave[i]) - value) * (std::round(wave[i]) - value);
        energy += value * value;
    }
    if (difference == 0.0)
        return -std::numeric_limits<double>::infinity();
    return energy > 0.0 ? Db(difference / energy) : std::numeric_limits<double>::infinity();
}

Level ToSamples(const Wave128& wave, bool normalize, std::int16_t samples[128])
{
    double peak = 0.0;
    bool outside = false;
    for (const double v : wave) {
        peak = std::max(peak, std::fabs(v));
        outside = outside || std::round(v) > 32767.0 || std::round(v) < -32768.0;
    }
    Level level;
    if ((normalize || outside) && peak > 0.0) {
        level.gain = 32767.0 / peak;
        level.scaledToFit = !normalize;
    }
    for (std::size_t i = 0; i < wave.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(wave[i] * level.gain));
    return level;
}
