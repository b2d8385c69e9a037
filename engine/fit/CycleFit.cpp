#include "CycleFit.h"

#include "NearestSample.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kHarmonics = 64;  // harmonics 0 to 63 fit in 128 samples

double Db(double ratio)
{
    return 10.0 * std::log10(ratio);
}

// A real transform of `n` points in FFTW's halfcomplex order: the real parts
// of bins 0 to n/2, then the imaginary parts of bins (n-1)/2 down to 1. Its
// planning costs a fraction of an r2c plan's, which for short cycles takes
// longer than the transform.
void Transform(int n, double* in, double* out, fftw_r2r_kind kind)
{
    const fftw_plan plan = fftw_plan_r2r_1d(n, in, out, kind, FFTW_ESTIMATE | FFTW_PRESERVE_INPUT);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
}

}  // namespace

HarmonicFit FitHarmonics(const std::vector<double>& cycle)
{
    const int n = static_cast<int>(cycle.size());
    std::vector<double> spectrum(cycle.size());
    // The plan preserves its input: the cycle is only read.
    Transform(n, const_cast<double*>(cycle.data()), spectrum.data(), FFTW_R2HC);
    const auto re = [&spectrum](int k) { return spectrum[static_cast<std::size_t>(k)]; };
    const auto im = [&spectrum, n](int k) {
        return k == 0 || 2 * k == n ? 0.0 : spectrum[static_cast<std::size_t>(n - k)];
    };

    // Bin k of a real signal stands for harmonic k twice (k and n - k), except
    // the mean and an even cycle's Nyquist bin.
    const auto weight = [n](int k) { return k == 0 || 2 * k == n ? 1.0 : 2.0; };
    double total = 0.0;
    double above = 0.0;
    for (int k = 0; k <= n / 2; ++k) {
        const double energy = weight(k) * (re(k) * re(k) + im(k) * im(k));
        total += energy;
        if (k >= kHarmonics)
            above += energy;
    }

    // The kept bins, for a 128-point inverse transform that counts every bin
    // but the mean twice: each is scaled by 1/n, and an own Nyquist bin (real,
    // counted once in the cycle) is halved to come out as one cosine.
    std::array<double, 128> kept{};
    for (int k = 0; k < kHarmonics && k <= n / 2; ++k) {
        const double scale = k != 0 && 2 * k == n ? 2.0 * n : n;
        kept[static_cast<std::size_t>(k)] = re(k) / scale;
        if (k != 0)
            kept[static_cast<std::size_t>(128 - k)] = im(k) / scale;
    }
    HarmonicFit fit;
    Transform(128, kept.data(), fit.wave.data(), FFTW_HC2R);

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
