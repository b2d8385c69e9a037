// The loader against a bare fopen/fread/fclose of the same file, and the
// message packer. After the run, each load is reported as a ratio to the bare
// read of its file; the target for the largest file is at most 1.5x.

#include "Engine.h"
#include "MonoWav.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

std::string g_dir;

std::string WavPath(std::uint32_t dataBytes)
{
    return g_dir + "/data-" + std::to_string(dataBytes) + ".wav";
}

void WriteWav(std::uint32_t dataBytes)
{
    std::vector<std::int16_t> samples(dataBytes / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(i * 9509);
    const std::string bytes = MonoWavBytes(samples.data(), samples.size());
    std::FILE* file = std::fopen(WavPath(dataBytes).c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), bytes.size(), 1, file) != 1 || std::fclose(file) != 0) {
        std::perror("engine_bench");
        std::exit(1);
    }
}

void BM_LoadWaveFile(benchmark::State& state)
{
    const std::string path = WavPath(static_cast<std::uint32_t>(state.range(0)));
    CEngine engine;
    for (auto _ : state) {
        if (!engine.LoadWaveFile(path.c_str()))
            state.SkipWithError(engine.m_pszError);
        benchmark::DoNotOptimize(engine.m_anWave);
    }
}

void BM_BareRead(benchmark::State& state)
{
    const std::string path = WavPath(static_cast<std::uint32_t>(state.range(0)));
    static char buffer[200000];
    const std::size_t fileBytes = 44 + static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        const std::size_t items = std::fread(buffer, fileBytes, 1, file);
        std::fclose(file);
        benchmark::DoNotOptimize(items);
        benchmark::DoNotOptimize(buffer);
    }
}

void BM_PackWavToSysex(benchmark::State& state)
{
    CEngine engine;
    for (int i = 0; i < 128; ++i)
        engine.m_anWave[i] = static_cast<std::int16_t>(i * 40503);
    std::uint32_t length = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.PackWavToSysex(96, length));
}

BENCHMARK(BM_LoadWaveFile)->Arg(256)->Arg(131070);
BENCHMARK(BM_BareRead)->Arg(256)->Arg(131070);
BENCHMARK(BM_PackWavToSysex);

// Unless told otherwise, each benchmark runs five times, interleaved with the
// others, and the ratios compare medians: a busy machine then skews both
// sides of a ratio alike.
std::vector<char*> WithDefaultRepetitions(int argc, char** argv)
{
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    std::vector<char*> args(argv, argv + argc);
    bool told = false;
    for (int i = 1; i < argc; ++i)
        told = told || std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (!told)
        args.insert(args.begin() + 1, {repetitions, interleave, aggregatesOnly});
    return args;
}

// Keeps each benchmark's time per iteration so that the ratios can be
// printed after the usual table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (single || median)
                m_nsPerIteration[run.run_name.str()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const
    {
        for (const char* size : {"256", "131070"}) {
            const auto load = m_nsPerIteration.find(std::string("BM_LoadWaveFile/") + size);
            const auto bare = m_nsPerIteration.find(std::string("BM_BareRead/") + size);
            if (load == m_nsPerIteration.end() || bare == m_nsPerIteration.end())
                continue;
            std::printf("LoadWaveFile vs bare fread, %6s-byte data: %.2fx%s\n", size, load->second / bare->second,
                        std::string(size) == "131070" ? "  (target <= 1.5x)" : "");
        }
    }

private:
    std::map<std::string, double> m_nsPerIteration;
};

}  // namespace

int main(int argc, char** argv)
{
    char dirTemplate[] = "/tmp/qwd-bench-XXXXXX";
    if (::mkdtemp(dirTemplate) == nullptr) {
        std::perror("engine_bench");
        return 1;
    }
    g_dir = dirTemplate;
    WriteWav(256);
    WriteWav(131070);

    std::vector<char*> args = WithDefaultRepetitions(argc, argv);
    int argCount = static_cast<int>(args.size());
    benchmark::Initialize(&argCount, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.PrintRatios();

    std::remove(WavPath(256).c_str());
    std::remove(WavPath(131070).c_str());
    ::rmdir(g_dir.c_str());
    return 0;
}
