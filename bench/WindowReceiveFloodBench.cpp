// The window's Receive from Synth... under a flood: a JACK client sends
// DUMPS wave dumps (wave 97 to 128 over and over) as fast as its periods
// take them, past the 16 MiB a bank may hold. Prints the window's peak
// memory (VmHWM) while idle and after the flood, against the target of idle
// + 32 MB, and the dialog's height against its screen.
//
//   window_receive_flood_bench [DUMPS]      (default 56320: 16.5 MiB)

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
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

long StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

// Runs the event loop as the window's own does until `done` or `ms` pass.
template <typename Done>
bool RunUntil(Done done, int ms)
{
    QEventLoop loop;
    QTimer look;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (done() || waited.elapsed() > ms)
            loop.quit();
    });
    look.start(5);
    loop.exec();
    return done();
}

}  // namespace

int main(int argc, char** argv)
{
    const int dumps = argc > 1 ? std::atoi(argv[1]) : 56320;
    WindowBenchRig rig(argc, argv, 256);
    UseOnlyBackend<JackBackend>("qwd-bench");
    std::vector<std::vector<std::uint8_t>> bank;
    CEngine engine;
    engine.m_bLoaded = 1;
    for (int wave = 97; wave <= 128; ++wave) {
        for (int i = 0; i < 128; ++i)
            engine.m_anWave[i] = static_cast<std::int16_t>((i - 64) * (wave - 90) * 7);
        bank.push_back(Message(engine, wave));
    }
    std::vector<std::vector<std::uint8_t>> flood;
    for (int i = 0; i < dumps; ++i)
        flood.push_back(bank[i % bank.size()]);

    QuarWindow* window = rig.ShowWindow();
    if (window == nullptr)
        return 1;
    JackSender synth("synth");
    window->findChild<QAction*>("actionReceive")->trigger();
    auto* dialog = window->findChild<ReceiveDialog*>();
    auto* sources = dialog->findChild<QComboBox*>();
    if (!RunUntil([&] { return sources->findText("out (synth)") >= 0; }, 5000)) {
        std::fprintf(stderr, "window_receive_flood_bench: the synth's port never showed\n");
        return 1;
    }
    sources->setCurrentText("out (synth)");
    QPushButton* listen = nullptr;
    QPushButton* stop = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        (button->text() == "&Listen" ? listen : button->text() == "&Stop" ? stop : button) = button;
    listen->click();
    auto* status = dialog->findChild<QLabel*>("receiveStatus");
    RunUntil([&] { return status->text().startsWith("Listening"); }, 5000);
    RunUntil([] { return false; }, 500);  // connected to the synth's port
    const long idle = StatusKb("VmHWM:");

    QElapsedTimer timer;
    timer.start();
    synth.Play(std::move(flood), true);
    RunUntil([&] { return synth.Done(); }, 120000);
    RunUntil([] { return false; }, 1000);  // the last of it taken
    stop->click();
    RunUntil([&] { return listen->isEnabled(); }, 60000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const long flooded = StatusKb("VmHWM:");
    const QRect screen = dialog->screen()->availableGeometry();
    const QRect frame = dialog->frameGeometry();
    const bool buttonsShown = stop->isVisible() && screen.contains(stop->mapToGlobal(stop->rect().bottomRight()));
    std::printf("%d dumps in %.1f s: %s\n", dumps, seconds, status->text().left(80).toUtf8().constData());
    std::printf("VmHWM idle %ld kB, after the flood %ld kB: +%.1f MB (target <= +32 MB)\n", idle, flooded,
                (flooded - idle) / 1024.0);
    std::printf("dialog %d px high on a screen of %d px; buttons on the screen: %s\n", frame.height(), screen.height(),
                buttonsShown ? "yes" : "no");
    dialog->close();
    RunUntil([] { return false; }, 200);
    MIDIServiceShutDown();
    return 0;
}
