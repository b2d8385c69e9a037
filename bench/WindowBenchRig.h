// What the window's benches stand on: a private jackd (dummy driver, 48 kHz)
// and the window, offscreen, with its runtime folder of its own.
#pragma once

#include "JackRig.h"
#include "QuarWindow.h"
#include "TempDir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <memory>

class WindowBenchRig
{
public:
    WindowBenchRig(int& argc, char** argv, int periodFrames)
        : m_environment(dir), app(argc, argv), server(dir.File("jackd.log"), {}, "", periodFrames)
    {
    }

    // Once the MIDI systems are chosen; null when it never showed.
    QuarWindow* ShowWindow(QSize size = {})
    {
        window = std::make_unique<QuarWindow>();
        if (size.isValid())
            window->resize(size);
        window->show();
        return QTest::qWaitForWindowExposed(window.get()) ? window.get() : nullptr;
    }

    const TempDir dir;

private:
    // Before the application reads it.
    struct Environment
    {
        explicit Environment(const TempDir& dir)
        {
            qputenv("XDG_RUNTIME_DIR", dir.path().c_str());
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    } m_environment;

public:
    QApplication app;
    PrivateJackServer server;
    std::unique_ptr<QuarWindow> window;
};

// Runs the event loop as the window's own does, looking every `lookMs`,
// until `done` or `ms` pass.
template <typename Done>
bool RunUntil(Done done, int ms, int lookMs)
{
    QEventLoop loop;
    QTimer look;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (done() || waited.elapsed() > ms)
            loop.quit();
    });
    look.start(lookMs);
    loop.exec();
    return done();
}
