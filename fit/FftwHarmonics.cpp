// Harmonics 0 to 63 by FFTW's transform, in a module of its own: loading FFTW
// and planning a length cost more than a direct computation of short cycles,
// so the fit module opens this one only for long tables (CycleFit.cpp).

#include "SiblingModule.h"

#include <fftw3.h>

#include <algorithm>
#include <type_traits>

extern "C" bool QwdFftwHarmonics(const double* cycle, std::size_t n, double* re, double* im)
{
    // One plan, for the length of the last call: a table's frames share it.
    // Planning a real transform in FFTW's halfcomplex order (the real parts
    // of bins 0 to n/2, then the imaginary parts of bins (n-1)/2 down to 1)
    // costs a fraction of planning an r2c one.
    static struct
    {
        std::size_t n = 0;
        double* in = nullptr;
        double* out = nullptr;
        fftw_plan plan = nullptr;
    } s;
    if (s.n != n) {
        if (s.plan != nullptr)
            fftw_destroy_plan(s.plan);
        fftw_free(s.in);
        fftw_free(s.out);
        s.in = fftw_alloc_real(n);
        s.out = fftw_alloc_real(n);
        s.plan = s.in != nullptr && s.out != nullptr
                     ? fftw_plan_r2r_1d(static_cast<int>(n), s.in, s.out, FFTW_R2HC, FFTW_ESTIMATE)
                     : nullptr;
        s.n = s.plan != nullptr ? n : 0;
        if (s.plan == nullptr)
            return false;
    }
    std::copy(cycle, cycle + n, s.in);
    fftw_execute(s.plan);
    for (std::size_t k = 0; k < 64; ++k) {
        const bool own = 2 * k <= n;
        re[k] = own ? s.out[k] : 0.0;
        im[k] = own && k != 0 && 2 * k != n ? s.out[n - k] : 0.0;
    }
    return true;
}

static_assert(std::is_same_v<decltype(&QwdFftwHarmonics), FftwHarmonicsFn>);
