// The preview's realtime work: one JACK period (1,024 frames at 48 kHz,
// 21.3 ms) of the band-limited oscillator at C3 and C8 (the argument is the
// frequency in mHz); and the table made for a pitch before playing starts. The worst time per period in real use is what
// `qwdump -v play` prints.

#include "BandLimitedTable.h"
#include "LiveWave.h"
#include "Oscillator.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr double kRate = 48000;
constexpr std::size_t kPeriod = 1024;

std::vector<float> SquareTable(double frequency)
{
    std::int16_t wave[128];
    for (int i = 0; i < 128; ++i)
        wave[i] = i < 64 ? 12000 : -12000;
    return MakeBandLimitedTable(wave, frequency, kRate).samples;
}

void BM_RenderOnePeriod(benchmark::State& state)
{
    const double frequency = static_cast<double>(state.range(0)) / 1000;
    Oscillator oscillator({SquareTable(frequency)}, frequency / kRate, 0.25f, 0, 240);
    float out[kPeriod];
    for (auto _ : state) {
        oscillator.Render(out, kPeriod);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_RenderOnePeriod)->Arg(130813)->Arg(4186009)->Unit(benchmark::kMicrosecond);

void BM_MakeTable(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(SquareTable(440));
}
BENCHMARK(BM_MakeTable)->Unit(benchmark::kMicrosecond);

// A wave changed while it plays, on the caller's thread: its table built and
// handed to the oscillator, which a period then takes (each one here).
void BM_ChangePlayingWave(benchmark::State& state)
{
    Oscillator oscillator({SquareTable(130.8128)}, 130.8128 / kRate, 0.25f, 0, 240);
    AttachLiveWave(oscillator, 130.8128, kRate, 0.25);
    std::int16_t wave[128];
    for (int i = 0; i < 128; ++i)
        wave[i] = static_cast<std::int16_t>((i - 64) * 400);
    float out[kPeriod];
    for (auto _ : state) {
        wave[0] = static_cast<std::int16_t>(wave[0] + 1);
        ChangeLiveWave(wave);
        state.PauseTiming();
        oscillator.Render(out, kPeriod);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ChangePlayingWave)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
