// The window's Receive from Synth... under a flood: a JACK client sends
// DUMPS wave dumps (wave 97 to 128 over and over) as fast as its periods
// take them, past the 16 MiB a bank may hold. Prints the window's peak
// memory (VmHWM) while idle and during the flood, against the target of
// idle + 32 MB, and the dialog's height against its screen; then the same
// for Verify Against Synth..., its peak its own. The synth is a process of
// its own, as a real one is: the flood it holds is not the window's.
//
//   window_receive_flood_bench [DUMPS [damaged]]   (default 56320: 16.5 MiB)
//
// With "damaged", each dump is a byte short, and only Receive is flooded:
// its notes take a line a dump, and nothing is kept for Verify.

#include "JackBackend.h"
#include "JackRig.h"
#include "MidiRig.h"
#include "ReceiveDialog.h"
#include "WindowBenchRig.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <pthread.h>
#include <unistd.h>

namespace {

long StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

// The synth's process: each SIGUSR1 plays the flood once, then says
// "played"; SIGTERM ends it.
int Synth(int count, bool damaged)
{
    sigset_t awaited;
    sigemptyset(&awaited);
    sigaddset(&awaited, SIGUSR1);
    sigaddset(&awaited, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &awaited, nullptr);  // before JACK's threads
    std::vector<std::vector<std::uint8_t>> bank;
    CEngine engine;
    engine.m_bLoaded = 1;
    for (int wave = 97; wave <= 128; ++wave) {
        for (int i = 0; i < 128; ++i)
            engine.m_anWave[i] = static_cast<std::int16_t>((i - 64) * (wave - 90) * 7);
        bank.push_back(Message(engine, wave));
    }
    std::vector<std::vector<std::uint8_t>> dumps;
    for (int i = 0; i < count; ++i) {
        dumps.push_back(bank[i % bank.size()]);
        if (damaged)
            dumps.back().erase(dumps.back().begin() + 150);
    }
    JackSender synth("synth");
    for (int signal = 0; sigwait(&awaited, &signal) == 0 && signal == SIGUSR1;) {
        synth.Play(dumps, true);
        while (!synth.Done())
            usleep(5000);
        std::printf("played\n");
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 3 && std::strcmp(argv[1], "--synth") == 0)
        return Synth(std::atoi(argv[2]), std::strcmp(argv[3], "damaged") == 0);
    const int count = argc > 1 ? std::atoi(argv[1]) : 56320;
    const bool damaged = argc > 2 && std::strcmp(argv[2], "damaged") == 0;
    WindowBenchRig rig(argc, argv, 256);
    UseOnlyBackend<JackBackend>("qwd-bench");
    QuarWindow* window = rig.ShowWindow();
    if (window == nullptr)
        return 1;
    const std::string played = rig.dir.File("synth.out");
    BackgroundProcess synth({"/proc/self/exe", "--synth", std::to_string(count), damaged ? "damaged" : "whole"},
                            played);
    int floods = 0;
    long idle = 0;
    // One flood through the dialog of `action`; false when it never listened.
    const auto flood = [&](const char* action) {
        window->findChild<QAction*>(action)->trigger();
        auto* dialog = window->findChild<ReceiveDialog*>();
        if (dialog == nullptr)
            return false;
        auto* sources = dialog->findChild<QComboBox*>();
        if (!RunUntil([&] { return sources->findText("out (synth)") >= 0; }, 5000, 5))
            return false;
        sources->setCurrentText("out (synth)");
        QPushButton* listen = nullptr;
        QPushButton* stop = nullptr;
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            (button->text() == "&Listen" ? listen : button->text() == "&Stop" ? stop : button) = button;
        listen->click();
        auto* status = dialog->findChild<QLabel*>("receiveStatus");
        RunUntil([&] { return status->text().startsWith("Listening"); }, 5000, 5);
        RunUntil([] { return false; }, 500, 5);  // connected to the synth's port
        if (idle == 0)
            idle = StatusKb("VmHWM:");
        // This flood's peak, not the one before it.
        std::ofstream("/proc/self/clear_refs") << "5";

        QElapsedTimer timer;
        timer.start();
        synth.Signal(SIGUSR1);
        ++floods;
        RunUntil(
            [&] {
                const std::string said = ReadWholeFile(played);
                return std::count(said.begin(), said.end(), '\n') >= floods;
            },
            120000, 5);
        RunUntil([] { return false; }, 1000, 5);  // the last of it taken
        const long arrived = StatusKb("VmHWM:");
        stop->click();
        RunUntil([&] { return listen->isEnabled(); }, 60000, 5);
        const double seconds = timer.nsecsElapsed() / 1e9;
        RunUntil([] { return false; }, 100, 5);  // laid out again
        const long flooded = StatusKb("VmHWM:");
        RunUntil([] { return false; }, 100, 5);  // laid out again
        const QRect screen = dialog->screen()->availableGeometry();
        const QRect frame = dialog->frameGeometry();
        const bool buttonsShown = stop->isVisible() && screen.contains(stop->mapToGlobal(stop->rect().bottomRight()));
        std::printf("%s: %d dumps in %.1f s: %s\n", action, count, seconds,
                    status->text().left(80).toUtf8().constData());
        std::printf("  VmHWM idle %ld kB, once it arrived %ld kB, after the run %ld kB: +%.1f MB (target <= +32 MB)\n",
                    idle, arrived, flooded, (flooded - idle) / 1024.0);
        std::printf("  dialog %d px high on a screen of %d px; buttons on the screen: %s (%d,%d %dx%d) notes: %s\n",
                    frame.height(), screen.height(), buttonsShown ? "yes" : "no", frame.x(), frame.y(), frame.width(),
                    frame.height(), dialog->findChild<QWidget*>("receiveNotes")->isVisible() ? "shown" : "hidden");
        dialog->close();
        // Gone before the next one opens.
        return QTest::qWaitFor([&] { return window->findChild<ReceiveDialog*>() == nullptr; }, 5000);
    };
    // Verify's bank is the one Receive filled.
    for (const char* action : {"actionReceive", "actionVerify"})
        if ((!damaged || std::strcmp(action, "actionReceive") == 0) && !flood(action)) {
            std::fprintf(stderr, "window_receive_flood_bench: no dialog, no synth's port, or a dialog stayed\n");
            return 1;
        }
    MIDIServiceShutDown();
    return 0;
}
