// The window's event loop keeps the MIDI service's work moving (a send's
// lookup and hand-over, their deadlines): it pumps the service when a
// system's call returns, and at the time the next deadline is looked at.
// Idle, it makes no call at all.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

class MidiPump : public QObject
{
public:
    explicit MidiPump(QObject* parent = nullptr);

private:
    void Pump();

    QSocketNotifier m_returned;
    QTimer m_nextLook;
};
