// The arithmetic of the fit: harmonics 0 to 63 of a cycle, computed directly
// (128 multiply-adds a sample, vectorised: four lanes with AVX2 and FMA where
// the processor has them, two lanes (SSE2, NEON) elsewhere), and their
// synthesis at 128 points; and the plain sums of products that tell how
// closely a file repeats.
#pragma once

#include <cstddef>
#include <vector>

class DirectHarmonics
{
public:
    // Up to this many samples share the table; each block of them is turned
    // to its place in the cycle afterwards.
    static constexpr std::size_t kBlock = 32;

    // With `fourLanes` false the two-lane kernel runs on any processor.
    explicit DirectHarmonics(std::size_t n, bool fourLanes = Vectorised());

    // A cycle's n samples, in pieces taken in order: each piece but the last
    // a whole number of blocks, so that no cycle need be held whole.
    void Begin();
    void Add(const double* samples, std::size_t count);
    // Bins 0 to 63 of the discrete Fourier transform of the samples added
    // (X_k = sum of x_j e^(-2 pi i j k / n)); zero past n/2.
    void Finish(double* re, double* im) const;

    // True when the four-lane kernels run: CycleFit.cpp's costs depend on it.
    static bool Vectorised();

    struct alignas(32) Quad
    {
        double v[4];
    };

private:
    std::size_t m_n;
    bool m_fourLanes;
    std::size_t m_rows;         // samples per block: n, or kBlock when longer
    std::vector<Quad> m_table;  // e^(-2 pi i k r / n) for r < m_rows, k < 64 (layout in the .cpp)
    std::vector<Quad> m_step;   // e^(-2 pi i k m_rows / n): 64 real parts, then 64 imaginary parts
    std::vector<Quad> m_state;  // the sums so far and the turn of the next block, likewise
};

// wave[i] = a[0] + sum over k of a[k] cos(2 pi k i / 128) + b[k] sin(2 pi k i / 128),
// k from 1 to 63, for i < 128.
void Synthesise128(const double* a, const double* b, double* wave);

// The sum of a[q] b[q] for q below `count`.
double DotProduct(const double* a, const double* b, std::size_t count);
