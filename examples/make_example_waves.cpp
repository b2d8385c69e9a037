// Writes the example waves the project ships: one cycle of a band-limited
// square in exactly 128 samples (taken as is) and one cycle of a band-limited
// saw in 1,000 samples (fitted to 128 on loading).
//
//   make_example_waves OUTPUT_DIR

#include "MonoWav.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Additive synthesis with Lanczos sigma factors, so the edges ring softly
// instead of overshooting.
std::vector<std::int16_t> BandLimited(int length, int harmonics, bool oddOnly, double level)
{
    std::vector<double> wave(length, 0.0);
    for (int k = 1; k <= harmonics; ++k) {
        if (oddOnly && k % 2 == 0)
            continue;
        const double x = kPi * k / (harmonics + 1);
        const double sigma = std::sin(x) / x;
        const double amplitude = oddOnly ? 4.0 / (kPi * k) : 2.0 / (kPi * k);
        for (int i = 0; i < length; ++i)
            wave[i] += sigma * amplitude * std::sin(2.0 * kPi * k * i / length);
    }
    double peak = 0.0;
    for (const double v : wave)
        peak = std::fmax(peak, std::fabs(v));
    std::vector<std::int16_t> samples(length);
    for (int i = 0; i < length; ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(wave[i] / peak * level * 32767.0));
    return samples;
}

bool WriteMonoWav(const std::string& path, const std::vector<std::int16_t>& samples)
{
    const std::string out = MonoWavBytes(samples.data(), samples.size());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(out.data(), out.size(), 1, file) == 1;
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_example_waves OUTPUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = WriteMonoWav(dir + "/square.wav", BandLimited(128, 15, true, 0.8)) &&
                    WriteMonoWav(dir + "/saw-1000.wav", BandLimited(1000, 24, false, 0.8));
    if (!ok) {
        std::perror("make_example_waves");
        return 1;
    }
    return 0;
}
