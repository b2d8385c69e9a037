// The costs behind the fit's choice of transform (fit/CycleFit.cpp):
// harmonics 0 to 63 computed directly, per sample, against FFTW's transform
// once planned, at lengths of the cycles and tables users bring; and, before
// the benchmarks, what loading FFTW and planning its first length cost in a
// fresh process.

#include "CycleFit.h"
#include "FrameSizeGuess.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>

namespace {

std::vector<double> Noise(std::size_t n)
{
    std::mt19937 random(n);
    std::uniform_real_distribution<double> value(-20000.0, 20000.0);
    std::vector<double> cycle(n);
    for (double& v : cycle)
        v = value(random);
    return cycle;
}

void Fit(benchmark::State& state, HarmonicFitter::Transform transform)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<double> cycle = Noise(n);
    HarmonicFitter fitter(n, 1, transform);
    for (auto _ : state)
        benchmark::DoNotOptimize(fitter.Fit(cycle.data()));
    state.counters["ns/sample"] = benchmark::Counter(
        static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Direct(benchmark::State& state)
{
    Fit(state, HarmonicFitter::Transform::kDirect);
}

void BM_Fftw(benchmark::State& state)
{
    Fit(state, HarmonicFitter::Transform::kFft);
}

// The kernel alone, on processors without AVX2 and FMA.
void BM_DirectTwoLanes(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<double> cycle = Noise(n);
    DirectHarmonics direct(n, false);
    double re[64];
    double im[64];
    for (auto _ : state) {
        direct.Begin();
        direct.Add(cycle.data(), n);
        direct.Finish(re, im);
        benchmark::DoNotOptimize(re);
    }
    state.counters["ns/sample"] = benchmark::Counter(
        static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// What the frame-size guess adds to the fit of a file without a chunk that a
// frame size divides, fed in the fit's pieces.
void BM_FrameSizeGuess(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<double> cycle = Noise(n);
    for (auto _ : state) {
        FrameSizeGuess guess(static_cast<std::int64_t>(n));
        for (std::size_t at = 0; at < n; at += HarmonicFitter::kPiece)
            guess.Add(cycle.data() + at, std::min(HarmonicFitter::kPiece, n - at));
        benchmark::DoNotOptimize(guess.Proposal(0.0));
    }
    state.counters["ns/sample"] = benchmark::Counter(
        static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_Direct)->Arg(128)->Arg(600)->Arg(2048)->Arg(10007)->Arg(65535)->Arg(65536)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DirectTwoLanes)->Arg(2048)->Arg(65535)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameSizeGuess)->Arg(2048)->Arg(32768)->Arg(65536)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fftw)->Arg(128)->Arg(600)->Arg(2048)->Arg(65536)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    {
        const std::vector<double> cycle = Noise(2048);
        const auto start = std::chrono::steady_clock::now();
        HarmonicFitter fitter(2048, 1, HarmonicFitter::Transform::kFft);
        fitter.Fit(cycle.data());
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        std::printf("FFTW loaded, planned for 2048 points and run once: %.2f ms%s\n", took.count(),
                    fitter.UsesFft() ? "" : " (its module did not load)");
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
