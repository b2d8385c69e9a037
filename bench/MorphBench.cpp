// What a bank's morph costs (Bank > Fill Between, qwdump morph --steps 30):
// the 30 waves between a bank's first and last, sample by sample and
// harmonic by harmonic; and one harmonic edit, as a drag in the Harmonics
// view makes it at every pointer move.

#include "WaveHarmonics.h"
#include "WaveMorph.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// A bright wave and a dark one, as a table's two ends.
Bank32 Ends()
{
    Bank32 bank{};
    for (int i = 0; i < 128; ++i) {
        bank.front()[i] = static_cast<std::int16_t>(std::lround(20000 * std::sin(2 * M_PI * i / 128)));
        bank.back()[i] = static_cast<std::int16_t>(i * 400 - 25600);
    }
    return bank;
}

void FullBank(benchmark::State& state, MorphMethod method)
{
    const Bank32 ends = Ends();
    for (auto _ : state) {
        Bank32 bank = ends;
        benchmark::DoNotOptimize(FillBetween(bank, (1u << 0) | (1u << 31), method));
        benchmark::DoNotOptimize(bank);
    }
}

void BM_FillBankSampleBySample(benchmark::State& state)
{
    FullBank(state, MorphMethod::kSamples);
}

void BM_FillBankHarmonicByHarmonic(benchmark::State& state)
{
    FullBank(state, MorphMethod::kHarmonics);
}

void BM_SetHarmonicLevel(benchmark::State& state)
{
    Wave16 wave = Ends().back();
    double level = 0.1;
    for (auto _ : state) {
        level = level > 0.2 ? 0.1 : level + 0.001;
        benchmark::DoNotOptimize(SetHarmonicLevel(wave, 7, level));
    }
}

BENCHMARK(BM_FillBankSampleBySample)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillBankHarmonicByHarmonic)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SetHarmonicLevel)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
