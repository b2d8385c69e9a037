#include "CycleFit.h"

#include "NearestSample.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kHarmonics = 64;  // harmonics 0 to 63 fit in 128 samples

double Db(double ratio)
{
    return 10.0 * std::log10(ratio);
}

// Measured on the reference machine (bench/fit_bench), in nanoseconds: a
// direct computation costs a constant per sample; FFTW costs its loading and
// its planning once, then about n log2 n per cycle, and only for lengths of
// small prime factors, its fast codelets. Anything else it transforms slower
// than the direct computation.
constexpr double kDirectNsPerSampleVectorised = 16.0;
constexpr double kDirectNsPerSamplePlain = 28.0;
constexpr double kFftwLoadAndPlanNs = 2.0e6;
constexpr double kFftwNsPerSampleLevel = 1.0;

bool HasOnlySmallPrimeFactors(std::size_t n)
{
    for (const std::size_t p : {2, 3, 5, 7})
        while (n % p == 0)
            n /= p;
    return n == 1;
}

bool FftIsCheaper(std::size_t n, std::int64_t cycles)
{
    if (!HasOnlySmallPrimeFactors(n))
        return false;
    const double samples = static_cast<double>(n) * static_cast<double>(cycles);
    const double direct =
        samples * (DirectHarmonics::Vectorised() ? kDirectNsPerSampleVectorised : kDirectNsPerSamplePlain);
    const double fft = kFftwLoadAndPlanNs + samples * std::log2(static_cast<double>(n)) * kFftwNsPerSampleLevel;
    return fft < direct;
}

}  // namespace

HarmonicFitter::HarmonicFitter(std::size_t n, std::int64_t cycles, Transform transform) : m_n(n)
{
    if (transform == Transform::kFft || (transform == Transform::kCheaper && FftIsCheaper(n, cycles))) {
        // Without its module the direct computation does the work, slower.
        static std::string notLoaded;
        static const auto fft =
            reinterpret_cast<FftwHarmonicsFn>(SiblingEntry(QWD_FFTW_MODULE, "QwdFftwHarmonics", notLoaded));
        m_fft = fft;
    }
    if (m_fft == nullptr)
        m_direct.emplace(n);
}

void HarmonicFitter::Begin()
{
    m_energy = 0.0;
    m_cycle.clear();
    if (m_direct)
        m_direct->Begin();
}

void HarmonicFitter::Add(const double* samples, std::size_t count)
{
    // Four sums, so that each addition need not wait for the one before.
    double energy[4] = {};
    for (std::size_t j = 0; j < count; ++j)
        energy[j % 4] += samples[j] * samples[j];
    m_energy += (energy[0] + energy[1]) + (energy[2] + energy[3]);
    if (m_direct)
        m_direct->Add(samples, count);
    else
        m_cycle.insert(m_cycle.end(), samples, samples + count);
}

HarmonicFit HarmonicFitter::Fit(const double* cycle)
{
    Begin();
    Add(cycle, m_n);
    return Finish();
}

HarmonicFit HarmonicFitter::Finish()
{
    double re[kHarmonics];
    double im[kHarmonics];
    if (m_direct) {
        m_direct->Finish(re, im);
    } else if (!m_fft(m_cycle.data(), m_n, re, im)) {
        // FFTW could not plan: the direct computation takes over for good.
        m_fft = nullptr;
        m_direct.emplace(m_n);
        m_direct->Begin();
        m_direct->Add(m_cycle.data(), m_n);
        m_direct->Finish(re, im);
    }

    // Bin k of a real signal stands for harmonic k twice (k and n - k), except
    // the mean and an even cycle's Nyquist bin; all bins hold n times the
    // cycle's energy (Parseval). A cycle shorter than 128 keeps all of them.
    const auto n = static_cast<double>(m_n);
    const double total = n * m_energy;
    double kept = 0.0;
    // The kept bins as the synthesis's coefficients: each scaled by 1/n,
    // twice for the cosine and sine pairs, and an own Nyquist bin (real,
    // counted once in the cycle) comes out as one cosine.
    double a[kHarmonics] = {};
    double b[kHarmonics] = {};
    for (std::size_t k = 0; k < kHarmonics && 2 * k <= m_n; ++k) {
        const bool once = k == 0 || 2 * k == m_n;
        kept += (once ? 1.0 : 2.0) * (re[k] * re[k] + im[k] * im[k]);
        a[k] = (k == 0 ? 1.0 : 2.0) * re[k] / (once && k != 0 ? 2.0 * n : n);
        b[k] = -2.0 * im[k] / n;
    }
    const double above = m_n < 2 * kHarmonics ? 0.0 : std::max(0.0, total - kept);

    HarmonicFit fit;
    Synthesise128(a, b, fit.wave.data());
    fit.aboveHarmonic63Db = above > 0.0 ? Db(above / total) : -std::numeric_limits<double>::infinity();
    return fit;
}

NearestPicker::NearestPicker(std::size_t n)
{
    for (std::size_t i = 0; i < m_index.size(); ++i) {
        const std::uint32_t j = NearestSampleIndex(static_cast<int>(i), static_cast<std::uint32_t>(n));
        m_index[i] = j >= n ? j - n : j;
    }
}

void NearestPicker::Add(const double* samples, std::size_t count, std::size_t offset)
{
    for (std::size_t i = 0; i < m_index.size(); ++i)
        if (m_index[i] >= offset && m_index[i] - offset < count)
            m_wave[i] = samples[m_index[i] - offset];
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
