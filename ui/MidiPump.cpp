#include "MidiPump.h"

#include "MidiService.h"

MidiPump::MidiPump(QObject* parent) : QObject(parent), m_returned(MIDIServiceReturnedFd(), QSocketNotifier::Read)
{
    m_nextLook.setSingleShot(true);
    m_nextLook.setTimerType(Qt::PreciseTimer);
    connect(&m_returned, &QSocketNotifier::activated, this, &MidiPump::Pump);
    connect(&m_nextLook, &QTimer::timeout, this, &MidiPump::Pump);
}

void MidiPump::Pump()
{
    MIDIServicePump();
    if (const auto next = MIDIServiceNextLook()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - LaneClock::now());
        m_nextLook.start(std::max<int>(0, static_cast<int>(left.count())));
    } else {
        m_nextLook.stop();
    }
}
