#include "EventLoopMidiWait.h"

#include "MidiService.h"

#include <QEventLoop>
#include <QTimer>

namespace {

void WaitInEventLoop(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline)
{
    if (done())
        return;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || std::chrono::steady_clock::now() >= deadline)
            loop.quit();
    });
    poll.start(2);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

void InstallEventLoopMidiWaiter()
{
    MIDIServiceSetWaiter(WaitInEventLoop);
}
