#include "HarmonicKernels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#if __has_include(<sys/platform/x86.h>)
#include <sys/platform/x86.h>
#endif

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
// e^(-2 pi i k J / n), J being the block's start, and added up. `state`
// holds, across pieces of a cycle, the sums so far (real parts, imaginary
// parts) and the turn of the next block (likewise): 64 values each.
template <typename V>
QWD_INLINE void Accumulate(const double* x, std::size_t count, std::size_t rows, const double* table,
                           const double* step, double* state)
{
    constexpr int kTurns = 64 / kLanes<V>;
    constexpr int kPasses = 128 / (8 * kLanes<V>);
    const auto* t0 = reinterpret_cast<const V*>(table);
    const auto* stepRe = reinterpret_cast<const V*>(step);
    const auto* stepIm = stepRe + kTurns;
    V sumRe[kTurns], sumIm[kTurns], turnRe[kTurns], turnIm[kTurns];
    std::copy_n(reinterpret_cast<const V*>(state), kTurns, sumRe);
    std::copy_n(reinterpret_cast<const V*>(state) + kTurns, kTurns, sumIm);
    std::copy_n(reinterpret_cast<const V*>(state) + 2 * kTurns, kTurns, turnRe);
    std::copy_n(reinterpret_cast<const V*>(state) + 3 * kTurns, kTurns, turnIm);
    for (std::size_t start = 0; start < count; start += rows, x += rows) {
        const std::size_t block = std::min(rows, count - start);
        V sums[2 * kTurns];
        for (int pass = 0; pass < kPasses; ++pass) {
            V a[8] = {};
            const V* t = t0 + static_cast<std::size_t>(pass) * rows * 8;
            for (std::size_t r = 0; r < block; ++r, t += 8) {
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
    std::copy_n(sumRe, kTurns, reinterpret_cast<V*>(state));
    std::copy_n(sumIm, kTurns, reinterpret_cast<V*>(state) + kTurns);
    std::copy_n(turnRe, kTurns, reinterpret_cast<V*>(state) + 2 * kTurns);
    std::copy_n(turnIm, kTurns, reinterpret_cast<V*>(state) + 3 * kTurns);
}

void AccumulatePlain(const double* x, std::size_t count, std::size_t rows, const double* table, const double* step,
                     double* state)
{
    Accumulate<V2>(x, count, rows, table, step, state);
}

#ifdef QWD_HAS_FOUR_LANES
QWD_FOUR_LANES void AccumulateFour(const double* x, std::size_t count, std::size_t rows, const double* table,
                                   const double* step, double* state)
{
    Accumulate<V4>(x, count, rows, table, step, state);
}

#endif

// The sum of a[q] b[q]: four vectors of sums, so that no addition waits for
// the one before.
template <typename V>
QWD_INLINE double Dot(const double* a, const double* b, std::size_t count)
{
    constexpr std::size_t kStride = 4 * kLanes<V>;
    V sums[4] = {};
    std::size_t q = 0;
    for (; q + kStride <= count; q += kStride) {
#pragma GCC unroll 4
        for (std::size_t k = 0; k < 4; ++k) {
            V x;
            V y;
            std::memcpy(&x, a + q + k * kLanes<V>, sizeof x);
            std::memcpy(&y, b + q + k * kLanes<V>, sizeof y);
            sums[k] += x * y;
        }
    }
    const V all = (sums[0] + sums[1]) + (sums[2] + sums[3]);
    double sum = 0.0;
    for (int lane = 0; lane < kLanes<V>; ++lane)
        sum += all[lane];
    for (; q < count; ++q)
        sum += a[q] * b[q];
    return sum;
}

#ifdef QWD_HAS_FOUR_LANES
QWD_FOUR_LANES double DotFour(const double* a, const double* b, std::size_t count)
{
    return Dot<V4>(a, b, count);
}
#endif

}  // namespace

double DotProduct(const double* a, const double* b, std::size_t count)
{
#ifdef QWD_HAS_FOUR_LANES
    if (DirectHarmonics::Vectorised())
        return DotFour(a, b, count);
#endif
    return Dot<V2>(a, b, count);
}

DirectHarmonics::DirectHarmonics(std::size_t n, bool fourLanes)
    : m_n(n), m_fourLanes(fourLanes && Vectorised()), m_rows(std::min(n, kBlock)), m_table(m_rows * 32), m_step(32),
      m_state(64)
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

void DirectHarmonics::Begin()
{
    double* state = m_state.front().v;
    std::fill(state, state + 256, 0.0);
    std::fill(state + 128, state + 192, 1.0);  // no turn before the first block
}

void DirectHarmonics::Add(const double* samples, std::size_t count)
{
#ifdef QWD_HAS_FOUR_LANES
    if (m_fourLanes) {
        AccumulateFour(samples, count, m_rows, m_table.front().v, m_step.front().v, m_state.front().v);
        return;
    }
#endif
    AccumulatePlain(samples, count, m_rows, m_table.front().v, m_step.front().v, m_state.front().v);
}

void DirectHarmonics::Finish(double* re, double* im) const
{
    const double* sums = m_state.front().v;
    for (std::size_t k = 0; k < 64; ++k) {
        const bool own = 2 * k <= m_n;
        re[k] = own ? sums[k] : 0.0;
        im[k] = own && k != 0 && 2 * k != m_n ? sums[64 + k] : 0.0;
    }
}

bool DirectHarmonics::Vectorised()
{
#if defined(QWD_HAS_FOUR_LANES) && defined(CPU_FEATURE_ACTIVE)
    // What glibc found at start-up: libgcc's own detection would run dozens
    // of cpuid instructions, each a trip to the hypervisor in a virtual machine.
    return CPU_FEATURE_ACTIVE(AVX2) && CPU_FEATURE_ACTIVE(FMA);
#elif defined(QWD_HAS_FOUR_LANES)
    static const bool fourLanes = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return fourLanes;
#else
    return false;
#endif
}

void Synthesise128(const double* a, const double* b, double* wave)
{
    // cos(2 pi m / 128): term k at point i is circle[k * i mod 128], its sine
    // a quarter turn back. A table of every term would cost more to fault in
    // than a cycle's whole synthesis.
    static const std::array<double, 128> kCircle = [] {
        std::array<double, 128> circle;
        for (std::size_t m = 0; m < circle.size(); ++m)
            circle[m] = std::cos(2.0 * M_PI * static_cast<double>(m) / 128.0);
        return circle;
    }();
    // Point 128 - i has the same cosine terms as point i and the sine terms
    // negated, so each pair of sums serves two points.
    for (int i = 0; i <= 64; ++i) {
        double even = a[0];
        double odd = 0.0;
        for (int k = 1, m = i; k < 64; ++k, m = (m + i) & 127) {
            even += a[k] * kCircle[static_cast<std::size_t>(m)];
            odd += b[k] * kCircle[static_cast<std::size_t>((m + 96) & 127)];
        }
        wave[i] = even + odd;
        if (i > 0 && i < 64)
            wave[128 - i] = even - odd;
    }
}
