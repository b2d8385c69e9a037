// The bank in the window, offscreen: the time from Open Bank... (the file
// read, 32 slots filled) to the panel's 32 pictures drawn, and a bank of 32
// sent by Bank > Send Bank with --gap 0 pacing to a receiving JACK client,
// from the trigger to the last message received, beside bank_bench's figure
// for qwdump send.
//
// Starts its own private jackd (dummy driver, 48 kHz, 256-frame periods
// unless FRAMES says otherwise); GAP is Send Bank's gap in ms.
//
//   window_bank_bench [RUNS] [FRAMES] [GAP]      (default 5 256 0)

#include "BankActions.h"
#include "BankPanel.h"
#include "JackBackend.h"
#include "JackRig.h"
#include "MidiRig.h"
#include "QuarWindow.h"
#include "TempDir.h"
#include "WindowBenchRig.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kWaves = 32;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    const int frames = argc > 2 ? std::atoi(argv[2]) : 256;
    const int gap = argc > 3 ? std::atoi(argv[3]) : 0;
    WindowBenchRig rig(argc, argv, frames);
    const TempDir& dir = rig.dir;
    const PrivateJackServer& server = rig.server;
    MidiDump monitor(server, dir.File("monitor.log"), "midi-monitor", true);
    UseOnlyBackend<JackBackend>("qwd-bench");

    std::string bank;
    CEngine engine;
    engine.m_bLoaded = 1;
    for (int wave = 97; wave <= 128; ++wave) {
        for (int i = 0; i < 128; ++i)
            engine.m_anWave[i] = static_cast<std::int16_t>((i - 64) * (wave - 90) * 7);
        const std::vector<std::uint8_t> message = Message(engine, wave);
        bank.append(message.begin(), message.end());
    }
    const std::string path = dir.Write("bank.syx", bank);

    QuarWindow* shown = rig.ShowWindow();
    if (shown == nullptr)
        return 1;
    QuarWindow& window = *shown;
    auto* actions = window.findChild<BankActions*>();
    auto* panel = window.findChild<BankPanel*>("panelBank");
    std::vector<double> opened;
    for (int run = 0; run < runs; ++run) {
        actions->undoStack().clear();
        QElapsedTimer timer;
        timer.start();
        actions->openBankFile(path);
        panel->viewport()->repaint();
        opened.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("Open Bank... to 32 pictures drawn: median %.2f ms of %d runs\n", Median(opened), runs);

    actions->setSendGap(std::chrono::milliseconds(gap));
    std::vector<double> sent;
    std::vector<double> spacings;
    for (int run = 0; run < runs; ++run) {
        const std::size_t before = monitor.Events().size();
        QElapsedTimer timer;
        timer.start();
        actions->sendBank();
        // Lines counted, not parsed: this loop shares the thread that moves the send on.
        const auto lines = [&] {
            const std::string log = ReadWholeFile(dir.File("monitor.log"));
            return static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
        };
        const std::size_t linesBefore = lines();
        // The event loop runs as the window's own does: QTest::qWaitFor
        // would sleep 10 ms at a time between its turns, holding the send up.
        if (!RunUntil([&] { return lines() >= linesBefore + kWaves; }, 20000, 1)) {
            std::fprintf(stderr, "window_bank_bench: the bank did not arrive\n");
            return 1;
        }
        sent.push_back(timer.nsecsElapsed() / 1e6);
        const std::vector<long> times = monitor.FrameTimes();
        for (std::size_t i = before + 1; i < times.size(); ++i)
            spacings.push_back((times[i] - times[i - 1]) * 1000.0 / PrivateJackServer::kSampleRate);
        QTest::qWait(200);  // the run ends, its dialog goes
    }
    std::printf("Send Bank of %d, %d-frame periods, gap %d ms: trigger to last received: median %.0f ms of %d runs "
                "(wire time %.0f ms)\n",
                kWaves, frames, gap, Median(sent), runs, kWaves * 96.0);
    std::sort(spacings.begin(), spacings.end());
    std::printf("spacing at the receiver: min %.1f ms, median %.1f ms, max %.1f ms\n", spacings.front(),
                Median(spacings), spacings.back());
    MIDIServiceShutDown();
    return 0;
}
