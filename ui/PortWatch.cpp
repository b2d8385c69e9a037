#include "PortWatch.h"

#include "DestinationDirectory.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>

PortWatch& PortWatch::instance()
{
    static PortWatch* watch = new PortWatch;  // lives as long as the program
    return *watch;
}

PortWatch::~PortWatch() = default;

void PortWatch::hold()
{
    if (m_holders++ > 0)
        return;
    MIDIServiceWatchPorts(true);
    if (m_notifier)
        return;
    // One reader of the service's word, so no holder can take it from another.
    m_notifier = std::make_unique<QSocketNotifier>(MIDIServicePortsChangedFd(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        eventfd_t ignored;
        ::eventfd_read(MIDIServicePortsChangedFd(), &ignored);
        if (m_holders > 0)
            emit changed();
    });
}

void PortWatch::release()
{
    if (m_holders > 0 && --m_holders == 0)
        MIDIServiceWatchPorts(false);
}
