// The arithmetic of fitting cycles to the engine's 128 samples. Waves are in
// 16-bit units, unrounded until RoundWave (WaveLevel.h).
#pragma once

#include "HarmonicKernels.h"
#include "SiblingModule.h"
#include "WaveLevel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

struct HarmonicFit
{
    Wave128 wave;                    // harmonics 0 to 63 of the cycle, at 128 points
    double aboveHarmonic63Db = 0.0;  // the energy left out, relative to the cycle's; -inf when none
};

// Fits cycles of one length: harmonics 0 to 63 of each (at least 2 samples),
// synthesised at 128 evenly spaced points from the first sample on. The 64th
// and above can't be told apart from lower ones at 128 points and are
// dropped. A cycle shorter than 128 keeps its own Nyquist harmonic as a
// cosine, so the fit passes through its samples wherever positions coincide.
class HarmonicFitter
{
public:
    enum class Transform {
        kCheaper,  // whichever costs less for this length and number of cycles
        kDirect,
        kFft,  // FFTW, when its module loads
    };

    // Samples are added at most this many at a time: then no cycle is held
    // whole, unless FFTW transforms it.
    static constexpr std::size_t kPiece = 128 * DirectHarmonics::kBlock;

    HarmonicFitter(std::size_t n, std::int64_t cycles, Transform transform = Transform::kCheaper);

    // A cycle's n samples, in pieces taken in order, each but the last of
    // kPiece samples.
    void Begin();
    void Add(const double* samples, std::size_t count);
    HarmonicFit Finish();
    // Begin, Add and Finish with the whole cycle at once.
    HarmonicFit Fit(const double* cycle);

    bool UsesFft() const { return m_fft != nullptr; }

private:
    std::size_t m_n;
    FftwHarmonicsFn m_fft = nullptr;
    std::vector<double> m_cycle;  // for FFTW
    std::optional<DirectHarmonics> m_direct;
    double m_energy = 0.0;  // the sum of the squares so far
};

// The loader's nearest-sample picking, from a cycle of n samples taken in
// pieces; a cycle shorter than 128 samples wraps around to its start.
class NearestPicker
{
public:
    explicit NearestPicker(std::size_t n);
    // The `count` samples from `offset` on.
    void Add(const double* samples, std::size_t count, std::size_t offset);
    const Wave128& Wave() const { return m_wave; }

private:
    std::array<std::size_t, 128> m_index;
    Wave128 m_wave{};
};

// The energy of (wave - reference) relative to the reference's, in dB, both
// rounded to whole 16-bit steps as a file would hold them: waves that round
// alike differ by -inf dB.
double DifferenceDb(const Wave128& wave, const Wave128& reference);
