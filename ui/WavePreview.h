// The window's Play: the loaded wave at a pitch and level on a thread of its own, through
// the audio preview module, which is opened only when Play is first used.
#pragma once

#include "WavePlay.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <thread>

class WavePreview : public QObject
{
    Q_OBJECT

public:
    explicit WavePreview(QObject* parent = nullptr) : QObject(parent) {}
    // Fades out what plays and waits for it: the preview's own deadlines
    // bound the wait when the audio server does not answer.
    ~WavePreview() override;

    // Plays a copy of `wave` at `frequency` Hz and `gainDb` until Stop();
    // ignored while one plays.
    void Start(const std::int16_t (&wave)[128], double frequency, double gainDb);
    // Plays `request` (its stop and client name set here) the same way.
    void Start(PlayRequest request);
    // While one plays, it plays `wave` from the next audio period on.
    void Update(const std::int16_t (&wave)[128]);
    void Stop() { m_stop.store(true); }
    bool Playing() const { return m_playing.load(); }

signals:
    // On the window's thread, once the output is open: where the sound goes
    // ("JACK (system:playback_1, system:playback_2)").
    void started(const QString& output);
    // On the window's thread, once it has ended; `error` empty when it played.
    void finished(const QString& error);

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_playing{false};
};
