#include "HarmonicKernels.h"

#include <algorithm>
#include <cmath>

namespace {

using V4 = double __attribute__((vector_size(32)));
using Quad = DirectHarmonics::Quad;

// Each kernel is built twice, and the loader picks the version the processor
// runs: the AVX2+FMA one does four multiply-adds an instruction.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define QWD_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define QWD_VECTOR_CLONES
#endif

const V4* Quads(const std::vector<Quad>& quads)
{
    return reinterpret_cast<const V4*>(quads.data());
}

// The table holds, for each row r (a sample of the block), 128 values in four
// passes of 32: the cosines of harmonics 0-31, then of 32-63, then the minus
// sines of 0-31 and of 32-63. Each pass runs down the rows with its 32 sums
// in registers: one broadcast and eight multiply-adds a row. Every block's
// sums are then turned by e^(-2 pi i k J / n), J being the block's start.
QWD_VECTOR_CLONES
void Accumulate(const double* x, std::size_t n, std::size_t rows, const V4* table, const V4* step, V4* re, V4* im)
{
    V4 turnRe[16];
    V4 turnIm[16];
    for (int q = 0; q < 16; ++q) {
        turnRe[q] = V4{1.0, 1.0, 1.0, 1.0};
        turnIm[q] = re[q] = im[q] = V4{};
    }
    for (std::size_t start = 0; start < n; start += rows, x += rows) {
        const std::size_t count = std::min(rows, n - start);
        V4 sums[32];
        for (int pass = 0; pass < 4; ++pass) {
            V4 a0{}, a1{}, a2{}, a3{}, a4{}, a5{}, a6{}, a7{};
            const V4* t = table + static_cast<std::size_t>(pass) * rows * 8;
            for (std::size_t r = 0; r < count; ++r, t += 8) {
                const V4 xr = {x[r], x[r], x[r], x[r]};
                a0 += xr * t[0];
                a1 += xr * t[1];
                a2 += xr * t[2];
                a3 += xr * t[3];
                a4 += xr * t[4];
                a5 += xr * t[5];
                a6 += xr * t[6];
                a7 += xr * t[7];
            }
            V4* out = sums + pass * 8;
            out[0] = a0, out[1] = a1, out[2] = a2, out[3] = a3, out[4] = a4, out[5] = a5, out[6] = a6, out[7] = a7;
        }
        for (int q = 0; q < 16; ++q) {
            re[q] += turnRe[q] * sums[q] - turnIm[q] * sums[16 + q];
            im[q] += turnRe[q] * sums[16 + q] + turnIm[q] * sums[q];
            const V4 nextRe = turnRe[q] * step[q] - turnIm[q] * step[16 + q];
            turnIm[q] = turnRe[q] * step[16 + q] + turnIm[q] * step[q];
            turnRe[q] = nextRe;
        }
    }
}

struct SynthesisTable
{
    Quad cosines[64][32];
    Quad sines[64][32];
};

QWD_VECTOR_CLONES
void Synthesise(const double* a, const double* b, const V4* cosines, const V4* sines, V4* wave)
{
    for (int q = 0; q < 32; ++q)
        wave[q] = V4{a[0], a[0], a[0], a[0]};
    for (int k = 1; k < 64; ++k) {
        const V4 ak = {a[k], a[k], a[k], a[k]};
        const V4 bk = {b[k], b[k], b[k], b[k]};
        for (int q = 0; q < 32; ++q)
            wave[q] += ak * cosines[k * 32 + q] + bk * sines[k * 32 + q];
    }
}

}  // namespace

DirectHarmonics::DirectHarmonics(std::size_t n)
    : m_n(n), m_rows(std::min(n, kBlock)), m_table(4 * m_rows * 8), m_step(32)
{
    // Row r is row r-1 turned by e^(-2 pi i k / n), and the step one row
    // more: kBlock turns lose a few units of the last place at most.
    double baseRe[64], baseIm[64], rowRe[64], rowIm[64];
    for (int k = 0; k < 64; ++k) {
        const double angle = -2.0 * M_PI * k / static_cast<double>(n);
        baseRe[k] = std::cos(angle);
        baseIm[k] = std::sin(angle);
        rowRe[k] = 1.0;
        rowIm[k] = 0.0;
    }
    for (std::size_t r = 0; r <= m_rows; ++r) {
        for (int k = 0; k < 64; ++k) {
            double* re = r < m_rows ? m_table[((k / 32) * m_rows + r) * 8 + (k % 32) / 4].v : m_step[k / 4].v;
            double* im = r < m_rows ? m_table[((2 + k / 32) * m_rows + r) * 8 + (k % 32) / 4].v : m_step[16 + k / 4].v;
            re[k % 4] = rowRe[k];
            im[k % 4] = rowIm[k];
            const double nextRe = rowRe[k] * baseRe[k] - rowIm[k] * baseIm[k];
            rowIm[k] = rowRe[k] * baseIm[k] + rowIm[k] * baseRe[k];
            rowRe[k] = nextRe;
        }
    }
}

void DirectHarmonics::Compute(const double* cycle, double* re, double* im) const
{
    Quad sumRe[16];
    Quad sumIm[16];
    Accumulate(cycle, m_n, m_rows, Quads(m_table), Quads(m_step), reinterpret_cast<V4*>(sumRe),
               reinterpret_cast<V4*>(sumIm));
    for (std::size_t k = 0; k < 64; ++k) {
        const bool own = 2 * k <= m_n;
        re[k] = own ? sumRe[k / 4].v[k % 4] : 0.0;
        im[k] = own && k != 0 && 2 * k != m_n ? sumIm[k / 4].v[k % 4] : 0.0;
    }
}

bool DirectHarmonics::Vectorised()
{
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
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
                table->cosines[k][i / 4].v[i % 4] = cosine[(k * i) % 128];
                table->sines[k][i / 4].v[i % 4] = cosine[(k * i + 96) % 128];  // sin x = cos(x - pi/2)
            }
        return table;
    }();
    Quad out[32];
    Synthesise(a, b, reinterpret_cast<const V4*>(kTable->cosines), reinterpret_cast<const V4*>(kTable->sines),
               reinterpret_cast<V4*>(out));
    for (int i = 0; i < 128; ++i)
        wave[i] = out[i / 4].v[i % 4];
}
