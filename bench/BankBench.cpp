// A bank of 32 waves with --gap 0 through the whole qwdump send process to
// a receiving JACK client: the time from starting qwdump to the last message
// received, against the target of 32 x 96 ms (the wire time that paces the
// bank) + 0.5 s, and the spacing between messages at the receiver.
//
// Starts its own private jackd (dummy driver, 48 kHz, 256-frame periods
// unless FRAMES says otherwise).
//
//   bank_bench [RUNS] [FRAMES]      (default 3 256)

#include "JackRig.h"
#include "TempDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWaves = 32;
constexpr double kTargetMs = kWaves * 96.0 + 500.0;

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    TempDir dir;
    const int frames = argc > 2 ? std::atoi(argv[2]) : 256;
    PrivateJackServer server(dir.File("jackd.log"), {}, "", frames);
    MidiDump monitor(server, dir.File("monitor.log"), "midi-monitor", true);

    std::vector<std::string> argv0 = {QWDUMP_PATH, "send", "--port", "midi-monitor:input",
                                      "--wave",    "97",   "--gap",  "0"};
    for (int i = 0; i < kWaves; ++i)
        argv0.push_back(EXAMPLE_WAVE);

    std::vector<double> totals;
    std::vector<double> spacings;
    std::vector<double> banks;  // first arrival to last, plus the last one's wire time
    for (int run = 0; run < runs; ++run) {
        const std::size_t before = monitor.Events().size();
        const auto start = Clock::now();
        BackgroundProcess send(argv0);
        if (!WaitUntil([&] { return monitor.Events().size() >= before + kWaves; }, std::chrono::seconds(20))) {
            std::fprintf(stderr, "bank_bench: the bank did not arrive\n");
            return 1;
        }
        totals.push_back(Milliseconds(Clock::now() - start));
        send.Wait();
        const std::vector<long> times = monitor.FrameTimes();
        banks.push_back((times.back() - times[before]) * 1000.0 / PrivateJackServer::kSampleRate + 96.0);
        for (std::size_t i = before + 1; i < times.size(); ++i)
            spacings.push_back((times[i] - times[i - 1]) * 1000.0 / PrivateJackServer::kSampleRate);
    }
    monitor.Stop();

    std::sort(totals.begin(), totals.end());
    std::sort(spacings.begin(), spacings.end());
    std::sort(banks.begin(), banks.end());
    std::printf("%d-frame periods\n", frames);
    std::printf("bank of %d, --gap 0: start to last received: median %.0f ms, max %.0f ms (target %.0f ms)\n", kWaves,
                totals[totals.size() / 2], totals.back(), kTargetMs);
    std::printf("spacing at the receiver: min %.1f ms, median %.1f ms, max %.1f ms (wire time 96 ms)\n",
                spacings.front(), spacings[spacings.size() / 2], spacings.back());
    std::printf("the bank at the receiver: median %.1f ms (the wire's floor %.0f ms)\n", banks[banks.size() / 2],
                kWaves * 96.0);
    return totals[totals.size() / 2] <= kTargetMs ? 0 : 1;
}
