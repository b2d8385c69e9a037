// Drawing in the window's big view, offscreen: the time from one pointer
// move of a stroke (the samples it crosses set) to the view painted again,
// and the same with Play playing, where the move also builds the playing
// wave's band-limited table on the window's thread and hands it to the audio
// thread, which takes it at its next period. The sound changes then: this
// time plus at most one period.
//
// Plays through a private jackd of its own (dummy driver, 48 kHz, 256-frame
// periods): run it under tests/support/private-shm.sh.
//
//   window_draw_bench [MOVES]      (default 1000)

#include "JackRig.h"
#include "MonoWav.h"
#include "QuarWindow.h"
#include "TempDir.h"
#include "WindowBenchRig.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

double Percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// One stroke across the view, back and forth: `moves` pointer moves, each
// timed until the view has painted.
std::vector<double> Stroke(QWidget& view, int moves)
{
    const auto at = [&](int move) {
        const int x = move % (2 * view.width());
        return QPointF(x < view.width() ? x : 2 * view.width() - x - 1,
                       view.height() / 2 + view.height() / 3 * std::sin(move * 0.05));
    };
    QMouseEvent press(QEvent::MouseButtonPress, at(0), view.mapToGlobal(at(0)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
    std::vector<double> took;
    for (int move = 1; move <= moves; ++move) {
        QElapsedTimer timer;
        timer.start();
        QMouseEvent moved(QEvent::MouseMove, at(move), view.mapToGlobal(at(move)), Qt::NoButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&view, &moved);
        view.repaint();
        took.push_back(timer.nsecsElapsed() / 1e3);
    }
    QMouseEvent release(QEvent::MouseButtonRelease, at(moves), view.mapToGlobal(at(moves)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &release);
    return took;
}

void Print(const char* what, const std::vector<double>& took)
{
    std::printf("%s: median %.0f us, p99 %.0f us, max %.0f us of %zu moves\n", what, Percentile(took, 0.5),
                Percentile(took, 0.99), Percentile(took, 1.0), took.size());
}

}  // namespace

int main(int argc, char** argv)
{
    const int moves = argc > 1 ? std::atoi(argv[1]) : 1000;
    WindowBenchRig rig(argc, argv, 256);
    const TempDir& dir = rig.dir;
    std::int16_t saw[128];
    for (int i = 0; i < 128; ++i)
        saw[i] = static_cast<std::int16_t>((i - 64) * 400);
    const std::string path = dir.Write("saw.wav", MonoWavBytes(saw, 128));

    QuarWindow* shown = rig.ShowWindow(QSize(800, 600));
    if (shown == nullptr)
        return 1;
    QuarWindow& window = *shown;
    window.takeDroppedFileList(QByteArray::fromStdString("file://" + path + "\r\n"));
    auto* view = window.findChild<QWidget*>("viewWave");
    std::printf("view %d x %d pixels\n", view->width(), view->height());
    Print("pointer move to view painted", Stroke(*view, moves));

    // Play lasts 2 s from the menu: the stroke fits in it.
    auto* status = window.findChild<QStatusBar*>("statusLine");
    window.findChild<QAction*>("actionPlay")->trigger();
    if (!QTest::qWaitFor([&] { return status->currentMessage().startsWith("Playing"); }, 1000)) {
        std::fprintf(stderr, "window_draw_bench: not played: %s\n", status->currentMessage().toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s\n", status->currentMessage().toLocal8Bit().constData());
    QElapsedTimer playing;
    playing.start();
    Print("pointer move to view painted and the playing wave handed over", Stroke(*view, moves));
    if (playing.elapsed() > 1500) {
        std::fprintf(stderr, "window_draw_bench: the stroke outlasted the play: fewer moves\n");
        return 1;
    }
    std::printf("then the audio thread's next period takes it: at most 5.3 ms (256 frames at 48 kHz)\n");
    QTest::qWait(2000);
    return 0;
}
