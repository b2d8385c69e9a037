#include "HarmonicKernels.h"

#include <algorithm>
#include <cmath>

namespace {

using V2 = double __attribute__((vector_size(16)));
using V4 = double __attribute__((vector_size(32)));

template <typename V>
constexpr int kLanes = sizeof(V) / sizeof(double);

// Vectors of 4 lanes need AVX: without it they are split through memory, so
// the plain build uses 2, which every 64-bit processor has.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define QWD_HAS_FOUR_LANES 1
#define QWD_FOUR_LANES __attribute__((target("arch=x86-64-v3")))
#endif
#define QWD_INLINE __attribute__((always_inline)) inline

// Where the table keeps harmonic k's cosine (or minus sine, `imaginary`) for
// row r: in passes of 8 vectors, each pass running down all rows.
std::size_t TableIndex(std::size_t rows, int lanes, std::size_t r, int k, bool imaginary)
{
    const int column = k + (imaginary ? 64 : 0);
    const int perPass = 8 * lanes;
    return (static_cast<std::size_t>(column / perPass) * rows + r) * perPass + column % perPass;
}

// Each pass keeps its 8 sums in registers: one broadcast and eight
// multiply-adds a row. Every block's sums are then turned by
// e^(-2 pi i k J / n), J being the block's start, and added up.
template <typename V>
QWD_INLINE void Accumulate(const double* x, std::size_t n, std::size_t rows, const double* table, const double* step,
                           double* re, double* im)
{
    constexpr int kTurns = 64 / kLanes<V>;
    constexpr int kPasses = 128 / (8 * kLanes<V>);
    const auto* t0 = reinterpret_cast<const V*>(table);
    const auto* stepRe = reinterpret_cast<const V*>(step);
    const auto* stepIm = stepRe + kTurns;
    V turnRe[kTurns], turnIm[kTurns], sumRe[kTurns], sumIm[kTurns];
    for (int q = 0; q < kTurns; ++q) {
        turnRe[q] = V{} + 1.0;
        turnIm[q] = sumRe[q] = sumIm[q] = V{};
    }
    for (std::size_t start = 0; start < n; start += rows, x += rows) {
        const std::size_t count = std::min(rows, n - start);
        V sums[2 * kTurns];
        for (int pass = 0; pass < kPasses; ++pass) {
            V a[8] = {};
            const V* t = t0 + static_cast<std::size_t>(pass) * rows * 8;
            for (std::size_t r = 0; r < count; ++r, t += 8) {
                const V xr = x[r] - V{};  // a broadcast: x - 0 is x, even -0
#pragma GCC unroll 8
                for (int v = 0; v < 8; ++v)
                    a[v] += xr * t[v];
            }
            std::copy(a, a + 8, sums + pass * 8);
        }
        for (int q = 0; q < kTurns; ++q) {
            sumRe[q] += turnRe[q] * sums[q] - turnIm[q] * sums[kTurns + q];
            sumIm[q] += turnRe[q] * sums[kTurns + q] + turnIm[q] * sums[q];
            const V nextRe = turnRe[q] * stepRe[q] - turnIm[q] * stepIm[q];
            turnIm[q] = turnRe[q] * stepIm[q] + turnIm[q] * stepRe[q];
            turnRe[q] = nextRe;
        }
    }
    std::copy(sumRe, sumRe + kTurns, reinterpret_cast<V*>(re));
    std::copy(sumIm, sumIm + kTurns, reinterpret_cast<V*>(im));
}

// `cosines` and `sines` hold row k's 128 values from k * 128.
template <typename V>
QWD_INLINE void Synthesise(const double* a, const double* b, const double* cosines, const double* sines, double* wave)
{
    constexpr int kVectors = 128 / kLanes<V>;
    V out[kVectors];
    for (int q = 0; q < kVectors; ++q)
        out[q] = a[0] - V{};
    for (int k = 1; k < 64; ++k) {
        const V* c = reinterpret_cast<const V*>(cosines + k * 128);
        const V* s = reinterpret_cast<const V*>(sines + k * 128);
        for (int q = 0; q < kVectors; ++q)
            out[q] += a[k] * c[q] + b[k] * s[q];
    }
    std::copy(out, out + kVectors, reinterpret_cast<V*>(wave));
}

void AccumulatePlain(const double* x, std::size_t n, std::size_t rows, const double* table, const double* step,
                     double* re, double* im)
{
    Accumulate<V2>(x, n, rows, table, step, re, im);
}

void SynthesisePlain(const double* a, const double* b, const double* cosines, const double* sines, double* wave)
{
    Synthesise<V2>(a, b, cosines, sines, wave);
}

#ifdef QWD_HAS_FOUR_LANES
QWD_FOUR_LANES void AccumulateFour(const double* x, std::size_t n, std::size_t rows, const double* table,
                                   const double* step, double* re, double* im)
{
    Accumulate<V4>(x, n, rows, table, step, re, im);
}

QWD_FOUR_LANES void SynthesiseFour(const double* a, const double* b, const double* cosines, const double* sines,
                                   double* wave)
{
    Synthesise<V4>(a, b, cosines, sines, wave);
}
#endif

struct SynthesisTable
{
    alignas(32) double cosines[64 * 128];
    alignas(32) double sines[64 * 128];
};

}  // namespace

DirectHarmonics::DirectHarmonics(std::size_t n, bool fourLanes)
    : m_n(n), m_fourLanes(fourLanes && Vectorised()), m_rows(std::min(n, kBlock)), m_table(m_rows * 32), m_step(32)
{
    // Row r is row r-1 turned by e^(-2 pi i k / n), and the step one row
    // more: kBlock turns lose a few units of the last place at most.
    const int lanes = m_fourLanes ? 4 : 2;
    double* table = m_table.front().v;
    double* step = m_step.front().v;
    for (int k = 0; k < 64; ++k) {
        const double angle = -2.0 * M_PI * k / static_cast<double>(n);
        const double baseRe = std::cos(angle);
        const double baseIm = std::sin(angle);
        double re = 1.0;
        double im = 0.0;
        for (std::size_t r = 0; r < m_rows; ++r) {
            table[TableIndex(m_rows, lanes, r, k, false)] = re;
            table[TableIndex(m_rows, lanes, r, k, true)] = im;
            const double nextRe = re * baseRe - im * baseIm;
            im = re * baseIm + im * baseRe;
            re = nextRe;
        }
        step[k] = re;
        step[64 + k] = im;
    }
}

void DirectHarmonics::Compute(const double* cycle, double* re, double* im) const
{
    Quad sumRe[16];
    Quad sumIm[16];
#ifdef QWD_HAS_FOUR_LANES
    if (m_fourLanes)
        AccumulateFour(cycle, m_n, m_rows, m_table.front().v, m_step.front().v, sumRe[0].v, sumIm[0].v);
    else
#endif
        AccumulatePlain(cycle, m_n, m_rows, m_table.front().v, m_step.front().v, sumRe[0].v, sumIm[0].v);
    for (std::size_t k = 0; k < 64; ++k) {
        const bool own = 2 * k <= m_n;
        re[k] = own ? sumRe[k / 4].v[k % 4] : 0.0;
        im[k] = own && k != 0 && 2 * k != m_n ? sumIm[k / 4].v[k % 4] : 0.0;
    }
}

bool DirectHarmonics::Vectorised()
{
#ifdef QWD_HAS_FOUR_LANES
    static const bool fourLanes = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return fourLanes;
#else
    return false;
#endif
}

void Synthesise128(const double* a, const double* b, double* wave)
{
    static const SynthesisTable* const kTable = [] {
        // Indexed by k * i mod 128, the 128 cosines give every term exactly.
        double cosine[128];
        for (int m = 0; m < 128; ++m)
            cosine[m] = std::cos(2.0 * M_PI * m / 128.0);
        auto* table = new SynthesisTable;
        for (int k = 0; k < 64; ++k)
            for (int i = 0; i < 128; ++i) {
                table->cosines[k * 128 + i] = cosine[(k * i) % 128];
                table->sines[k * 128 + i] = cosine[(k * i + 96) % 128];  // sin x = cos(x - pi/2)
            }
        return table;
    }();
    alignas(32) double out[128];
#ifdef QWD_HAS_FOUR_LANES
    if (DirectHarmonics::Vectorised())
        SynthesiseFour(a, b, kTable->cosines, kTable->sines, out);
    else
#endif
        SynthesisePlain(a, b, kTable->cosines, kTable->sines, out);
    std::copy(out, out + 128, wave);
}
