// Checks a recording of qwdump play against the wave it played:
//
//   tone_check RECORDING WAVE HZ GAIN_DB
//
// The pitch (within 0.5 Hz), the first 8 harmonics below Nyquist (within
// 0.5 dB of the wave's own, at the gain), nothing else in the spectrum above
// -80 dB of the fundamental (a harmonic past Nyquist folds back as a line
// between harmonics), and fades at both ends (the first and last millisecond
// of sound under a third of the steady peak). Prints the measurements, and
// "FAIL: ..." with exit 1 for each check missed.

#include <fftw3.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<double> ReadMono(const char* path, double& rate)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "FAIL: %s: %s\n", path, sf_strerror(nullptr));
        std::exit(1);
    }
    std::vector<double> frames(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_double(file, frames.data(), info.frames);
    sf_close(file);
    rate = info.samplerate;
    std::vector<double> mono;
    for (std::size_t i = 0; i < frames.size(); i += static_cast<std::size_t>(info.channels))
        mono.push_back(frames[i]);
    return mono;
}

std::vector<std::complex<double>> Spectrum(std::vector<double> in, std::size_t size)
{
    in.resize(size);
    std::vector<std::complex<double>> out(size / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(size), in.data(),
                                          reinterpret_cast<fftw_complex*>(out.data()), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    return out;
}

double PeakOf(const std::vector<double>& x, std::size_t from, std::size_t to)
{
    double peak = 0;
    for (std::size_t i = from; i < to; ++i)
        peak = std::max(peak, std::abs(x[i]));
    return peak;
}

int g_failures = 0;
void Expect(bool ok, const std::string& what)
{
    if (!ok) {
        std::printf("FAIL: %s\n", what.c_str());
        ++g_failures;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: tone_check RECORDING WAVE HZ GAIN_DB\n");
        return 2;
    }
    double rate = 0, waveRate = 0;
    const std::vector<double> x = ReadMono(argv[1], rate);
    const std::vector<double> wave = ReadMono(argv[2], waveRate);
    const double hz = std::stod(argv[3]), gain = std::pow(10.0, std::stod(argv[4]) / 20);

    // The sound: from the first to the last sample above half a 16-bit step.
    const auto loud = [](double v) { return std::abs(v) > 0.5 / 32768; };
    const auto first = static_cast<std::size_t>(std::find_if(x.begin(), x.end(), loud) - x.begin());
    const auto end = static_cast<std::size_t>(x.rend() - std::find_if(x.rbegin(), x.rend(), loud));
    const auto ms = static_cast<std::size_t>(rate / 1000);
    if (end < first + 300 * ms) {
        std::printf("FAIL: %zu ms of sound in %s\n", end > first ? (end - first) / ms : 0, argv[1]);
        return 1;
    }
    const std::size_t from = first + 10 * ms, to = end - 10 * ms;
    const double steady = PeakOf(x, from, to);
    const double in = PeakOf(x, first, first + ms) / steady, out = PeakOf(x, end - ms, end) / steady;

    // Blackman-Harris (sidelobes under -92 dB), zero-padded for a fine grid.
    const std::size_t n = to - from;
    std::vector<double> windowed(n);
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = 2 * M_PI * static_cast<double>(i) / static_cast<double>(n - 1);
        const double w = 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
        windowed[i] = x[from + i] * w;
        sum += w;
    }
    std::size_t size = 1;
    while (size < 16 * n)
        size *= 2;
    const std::vector<std::complex<double>> spectrum = Spectrum(windowed, size);
    const double binHz = rate / static_cast<double>(size);
    const auto amplitude = [&](std::size_t bin) { return 2 * std::abs(spectrum[bin]) / sum; };
    // The strongest bin within `hz` of `centre`, interpolated on a parabola.
    const auto peak = [&](double centre, double width, double& at) {
        const auto lo = static_cast<std::size_t>(std::max(1.0, (centre - width) / binHz));
        const auto hi = std::min(spectrum.size() - 2, static_cast<std::size_t>((centre + width) / binHz));
        std::size_t best = lo;
        for (std::size_t b = lo; b <= hi; ++b)
            best = amplitude(b) > amplitude(best) ? b : best;
        const double l = amplitude(best - 1), c = amplitude(best), r = amplitude(best + 1);
        const double shift = 0.5 * (l - r) / (l - 2 * c + r);
        at = (static_cast<double>(best) + shift) * binHz;
        return c - 0.25 * (l - r) * shift;
    };

    double f0 = 0;
    const double fundamental = peak(hz, hz * 0.05, f0);
    std::printf("fundamental %.3f Hz (error %+.3f Hz)", f0, f0 - hz);
    Expect(std::abs(f0 - hz) <= 0.5, "the fundamental is off by more than 0.5 Hz");

    const std::vector<std::complex<double>> own = Spectrum(wave, wave.size());
    double worstDb = 0;
    int compared = 0;
    for (std::size_t k = 1; k <= 8 && k * f0 < rate / 2; ++k) {
        double at = 0;
        const double got = peak(k * f0, 5, at);
        const double want = 2 * std::abs(own[k]) / static_cast<double>(wave.size()) * gain;
        if (want < fundamental * 1e-3) {
            Expect(got < fundamental * 1e-3, "harmonic " + std::to_string(k) + " is there; the wave has none");
            continue;
        }
        const double db = 20 * std::log10(got / want);
        worstDb = std::abs(db) > std::abs(worstDb) ? db : worstDb;
        ++compared;
    }
    std::printf("; %d harmonics, the worst %+.4f dB off", compared, worstDb);
    Expect(std::abs(worstDb) <= 0.5, "a harmonic is more than 0.5 dB off the wave's own");

    // Everything else: at least 20 bins of the unpadded resolution away from
    // each harmonic (the window's main lobe is 4, its sidelobes fall from -92 dB).
    const double lobeHz = 20 * rate / static_cast<double>(n);
    double other = 0, otherHz = 0;
    for (std::size_t b = static_cast<std::size_t>(20 / binHz); b + 1 < spectrum.size(); ++b) {
        const double f = static_cast<double>(b) * binHz;
        const double harmonic = std::round(f / f0) * f0;
        if (std::abs(f - harmonic) > lobeHz && amplitude(b) > other) {
            other = amplitude(b);
            otherHz = f;
        }
    }
    const double otherDb = 20 * std::log10(other / fundamental);
    std::printf("; off the harmonics at most %.1f dB (%.0f Hz)", otherDb, otherHz);
    Expect(otherDb <= -80, "something between the harmonics, folded back from past Nyquist?");

    std::printf("; first and last ms of sound at %.2f and %.2f of the steady peak\n", in, out);
    Expect(in < 1.0 / 3 && out < 1.0 / 3, "no fade at the start or the end");
    return g_failures == 0 ? 0 : 1;
}
