#include "EventLoopMidiWait.h"

#include "MidiService.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/eventfd.h>

namespace {

void WaitInEventLoop(MidiDeadline until)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return;
    QEventLoop loop;
    QSocketNotifier returned(MIDIServiceReturnedFd(), QSocketNotifier::Read);
    QObject::connect(&returned, &QSocketNotifier::activated, &loop, [&] {
        eventfd_t ignored;
        ::eventfd_read(MIDIServiceReturnedFd(), &ignored);
        loop.quit();
    });
    QTimer::singleShot(left, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

void InstallEventLoopMidiWaiter()
{
    MIDIServiceSetWaiter(WaitInEventLoop);
}
