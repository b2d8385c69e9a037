// The preview's realtime work: one JACK period (1,024 frames at 48 kHz,
// 21.3 ms) of the band-limited oscillator at C3 and C8 (the argument is the
// frequency in mHz); and the table made for a pitch before playing starts. The worst time per period in real use is what
// `qwdump -v play` prints.

#include "BandLimitedTable.h"
#include "Instrument.h"
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

// The keyboard's instrument with 16 keys held, one second of audio at 48 kHz
// in 256-frame periods: its CPU time is the share of one core it takes
// (goal: under 3 %, 30 ms). The argument is the waves it reads: 1, or 2 with
// the mod wheel half way, every sample a crossfade of two tables.
void BM_SixteenVoicesOneSecond(benchmark::State& state)
{
    std::array<std::int16_t, 128> square, saw;
    for (int i = 0; i < 128; ++i) {
        square[i] = i < 64 ? 12000 : -12000;
        saw[i] = static_cast<std::int16_t>((i - 64) * 180);
    }
    const bool bank = state.range(0) == 2;
    auto tables =
        std::make_unique<KeyTables>(MakeKeyTables(bank ? std::vector{square, saw} : std::vector{square}, 0.25));
    Instrument instrument(std::move(tables), bank ? std::vector<int>{97, 98} : std::vector<int>{}, kRate, 0.25f);
    const std::uint8_t wheel[] = {0xB0, 1, 64};
    instrument.Handle(wheel, 3);
    for (int key = 36; key < 36 + 16 * 3; key += 3) {
        const std::uint8_t on[] = {0x90, static_cast<std::uint8_t>(key), 100};
        instrument.Handle(on, 3);
    }
    float out[256];
    for (auto _ : state) {
        for (int period = 0; period < 48000 / 256; ++period) {
            instrument.Render(out, 256);
            benchmark::DoNotOptimize(out);
        }
    }
    state.counters["keys"] = instrument.KeysHeld();
}
BENCHMARK(BM_SixteenVoicesOneSecond)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
