// The window's one watch on the MIDI systems' ports: whoever shows a list
// of ports holds it while the list is on screen and is told when ports
// come, go or change. The systems are watched only while someone holds it.
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

class PortWatch : public QObject
{
    Q_OBJECT

public:
    static PortWatch& instance();

    void hold();
    void release();

signals:
    void changed();

private:
    PortWatch() = default;
    ~PortWatch() override;

    int m_holders = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
