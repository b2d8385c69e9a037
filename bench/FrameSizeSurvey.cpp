// What the frame-size guess (fit/FrameSizeGuess.h) sees in files without a
// frame-size chunk: wavetables made as synths make them, and genuine single
// cycles, each as 16-bit samples. For each: its length, the energy the
// one-cycle fit leaves above harmonic 63, how far it is from repeating after
// each lag, and the frame size proposed (0: none). The thresholds in
// FrameSizeGuess.cpp were chosen from these figures.
//
//   frame_size_survey [all]    without "all", the tables of 2, 8 and 64 frames only

#include "CycleFit.h"
#include "FrameSizeGuess.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using Samples = std::vector<double>;

// The lags whose differences are printed: each frame size and half the smallest.
constexpr std::size_t kLags[] = {128, 256, 512, 1024, 2048, 4096};

// Harmonic k of a cycle of n samples at sample j, amplitude 1.
double Partial(int k, std::size_t j, std::size_t n)
{
    return std::sin(2.0 * M_PI * static_cast<double>(k) * static_cast<double>(j) / static_cast<double>(n));
}

// Band-limited to just below half the sample rate, as tables are drawn.
Samples Saw(std::size_t n)
{
    Samples cycle(n);
    for (std::size_t j = 0; j < n; ++j)
        for (int k = 1; 2 * static_cast<std::size_t>(k) < n; ++k)
            cycle[j] += 9000.0 * Partial(k, j, n) / k;
    return cycle;
}

// A pulse of width `width` (0 to 1) as the difference of two saws.
Samples Pulse(const Samples& saw, double width)
{
    const std::size_t n = saw.size();
    const auto shift = static_cast<std::size_t>(std::lround(width * static_cast<double>(n)));
    Samples cycle(n);
    for (std::size_t j = 0; j < n; ++j)
        cycle[j] = 0.8 * (saw[j] - saw[(j + n - shift) % n]);
    return cycle;
}

// Odd harmonics falling as 1/k^2, to just below half the sample rate.
Samples Triangle(std::size_t n)
{
    Samples cycle(n);
    for (std::size_t j = 0; j < n; ++j)
        for (int k = 1; 2 * static_cast<std::size_t>(k) < n; k += 2)
            cycle[j] += (k % 4 == 1 ? 12000.0 : -12000.0) * Partial(k, j, n) / (k * k);
    return cycle;
}

Samples Sine(std::size_t n)
{
    Samples cycle(n);
    for (std::size_t j = 0; j < n; ++j)
        cycle[j] = 15000.0 * Partial(1, j, n);
    return cycle;
}

Samples Blend(const Samples& from, const Samples& to, double t)
{
    Samples cycle(from.size());
    for (std::size_t j = 0; j < cycle.size(); ++j)
        cycle[j] = (1.0 - t) * from[j] + t * to[j];
    return cycle;
}

// A table of `frames` frames, frame f the shape at t = f / (frames - 1).
Samples Table(int frames, const std::function<Samples(double)>& frameAt)
{
    Samples table;
    for (int f = 0; f < frames; ++f) {
        const Samples frame = frameAt(static_cast<double>(f) / (frames - 1));
        table.insert(table.end(), frame.begin(), frame.end());
    }
    return table;
}

// As a 16-bit file holds them, with white noise of `noise` steps at most.
Samples Stored(Samples samples, double noise = 0.0)
{
    std::mt19937 random(samples.size());
    std::uniform_real_distribution<double> value(-noise, noise);
    for (double& v : samples)
        v = std::round(std::clamp(v + (noise > 0 ? value(random) : 0.0), -32768.0, 32767.0));
    return samples;
}

// `size`: the table's frame size, 0 for a single cycle (then the least share
// of any frame size is given).
void Survey(const std::string& name, const Samples& samples, std::size_t size = 0)
{
    HarmonicFitter fitter(samples.size(), 1, HarmonicFitter::Transform::kDirect);
    const double above = fitter.Fit(samples.data()).aboveHarmonic63Db;
    FrameSizeGuess guess(static_cast<std::int64_t>(samples.size()));
    guess.Add(samples.data(), samples.size());
    std::printf("%-34s %6zu %7.1f", name.c_str(), samples.size(), above);
    for (const std::size_t lag : kLags)
        std::printf(" %6.3f", guess.Looking() ? guess.Difference(lag) : NAN);
    double share = 1.0;
    for (const std::size_t frame : FrameSizeGuess::kSizes)
        if (size == frame || (size == 0 && samples.size() % frame == 0 && samples.size() / frame >= 2))
            share = std::min(share, guess.FundamentalShare(frame));
    std::printf(" %8.5f %5lld\n", share, static_cast<long long>(guess.Proposal(above)));
}

}  // namespace

int main(int argc, char** argv)
{
    const bool all = argc > 1 && std::strcmp(argv[1], "all") == 0;
    std::printf("%-34s %6s %7s", "file", "length", ">h63 dB");
    for (const std::size_t lag : kLags)
        std::printf(" %6zu", lag);
    std::printf(" %8s %5s\n", "h1 share", "size");

    for (const std::size_t size : {256, 512, 1024, 2048, 4096}) {
        const Samples saw = Saw(size), sine = Sine(size), square = Pulse(saw, 0.5), triangle = Triangle(size);
        for (const int frames : {2, 4, 8, 16, 32, 64}) {
            if (!all && frames != 2 && frames != 8 && frames != 64)
                continue;
            const std::string shape = std::to_string(frames) + "x" + std::to_string(size);
            const std::pair<std::string, Samples> tables[] = {
                {"same saw", Table(frames, [&](double) { return saw; })},
                {"square to saw", Table(frames, [&](double t) { return Blend(square, saw, t); })},
                {"sine to saw", Table(frames, [&](double t) { return Blend(sine, saw, t); })},
                {"pulse 50% to 5%", Table(frames, [&](double t) { return Pulse(saw, 0.5 - 0.45 * t); })},
                {"sine to triangle", Table(frames, [&](double t) { return Blend(sine, triangle, t); })},
            };
            for (const auto& [name, table] : tables) {
                Survey(shape + " " + name, Stored(table), size);
                Survey(shape + " " + name + " +noise", Stored(table, 300.0), size);
            }
        }
    }

    // Single cycles, and what is no cycle at all.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * M_PI), noise(-20000.0, 20000.0);
    for (const std::size_t n : {1000, 1024, 2048, 4096, 16384, 65536}) {
        const std::string length = " " + std::to_string(n);
        Samples naiveSaw(n), naiveSquare(n), narrowPulse(n), rich(n), weakFundamental(n), weakFundamental4(n), white(n);
        for (std::size_t j = 0; j < n; ++j) {
            const double x = static_cast<double>(j) / static_cast<double>(n);
            naiveSaw[j] = 15000.0 * (2.0 * x - 1.0);
            naiveSquare[j] = x < 0.5 ? 15000.0 : -15000.0;
            narrowPulse[j] = x < 0.1 ? 15000.0 : -1500.0;
            weakFundamental[j] = 1500.0 * std::sin(2.0 * M_PI * x) + 15000.0 * (2.0 * std::fmod(2.0 * x, 1.0) - 1.0);
            weakFundamental4[j] = 1500.0 * std::sin(2.0 * M_PI * x) + 15000.0 * (2.0 * std::fmod(4.0 * x, 1.0) - 1.0);
            white[j] = noise(random);
        }
        for (int k = 1; 2 * static_cast<std::size_t>(k) < n && k < 2000; ++k) {
            const double p = phase(random);
            for (std::size_t j = 0; j < n; ++j)
                rich[j] += 6000.0 * std::sin(2.0 * M_PI * k * static_cast<double>(j) / static_cast<double>(n) + p) / k;
        }
        Survey("naive saw" + length, Stored(naiveSaw));
        Survey("naive square" + length, Stored(naiveSquare));
        Survey("10% pulse" + length, Stored(narrowPulse));
        Survey("harmonics 1/k, random phases" + length, Stored(rich));
        Survey("saw of 2 cycles, +sine -20 dB" + length, Stored(weakFundamental));
        Survey("saw of 4 cycles, +sine -20 dB" + length, Stored(weakFundamental4));
        Survey("noise" + length, Stored(white));
        if (n <= 4096) {
            Survey("band-limited saw" + length, Stored(Saw(n)));
            Survey("band-limited square" + length, Stored(Pulse(Saw(n), 0.5)));
        } else {
            Survey("sine" + length, Stored(Sine(n)));
        }
    }
    // Steady tones recorded at 48 kHz, which are no single cycles either: a
    // tone whose period nearly divides a frame size looks like a table.
    std::uniform_real_distribution<double> pitch(55.0, 1760.0);
    int proposed = 0;
    int tones = 0;
    for (int tone = 0; tone < (all ? 200 : 20); ++tone) {
        const double hz = pitch(random);
        Samples sine(65536), saw(65536);
        for (std::size_t j = 0; j < sine.size(); ++j) {
            const double t = static_cast<double>(j) / 48000.0;
            sine[j] = 15000.0 * std::sin(2.0 * M_PI * hz * t);
            for (int k = 1; k * hz < 24000.0 && k <= 40; ++k)
                saw[j] += 9000.0 * std::sin(2.0 * M_PI * k * hz * t) / k;
        }
        for (const auto& [shape, recorded] : {std::pair<const char*, const Samples&>{"sine", sine}, {"saw", saw}}) {
            const Samples stored = Stored(recorded);
            HarmonicFitter fitter(stored.size(), 1, HarmonicFitter::Transform::kDirect);
            FrameSizeGuess guess(static_cast<std::int64_t>(stored.size()));
            guess.Add(stored.data(), stored.size());
            const std::int64_t size = guess.Proposal(fitter.Fit(stored.data()).aboveHarmonic63Db);
            ++tones;
            if (size != 0) {
                ++proposed;
                std::printf("recorded %.2f Hz %s: %lld\n", hz, shape, static_cast<long long>(size));
            }
        }
    }
    std::printf("recorded tones, sines and saws of 55 to 1760 Hz: %d of %d proposed\n", proposed, tones);
    return 0;
}
