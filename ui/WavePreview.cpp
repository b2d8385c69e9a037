#include "WavePreview.h"

#include "WavePlayEntry.h"

#include <QMetaObject>

#include <algorithm>

WavePreview::~WavePreview()
{
    Stop();
    if (m_thread.joinable())
        m_thread.join();
}

void WavePreview::Update(const std::int16_t (&wave)[128])
{
    if (!m_playing.load())
        return;
    if (const ChangePlayingWaveFn change = ChangePlayingWaveEntry())
        change(wave, 128);
}

void WavePreview::Start(const std::int16_t (&wave)[128], double frequency, double gainDb)
{
    PlayRequest request;
    request.waves.emplace_back();
    std::copy(std::begin(wave), std::end(wave), request.waves.back().begin());
    request.frequency = frequency;
    request.gainDb = gainDb;
    request.secondsEach = 0;
    Start(std::move(request));
}

void WavePreview::Start(PlayRequest request)
{
    if (m_playing.load())
        return;
    if (m_thread.joinable())
        m_thread.join();  // the last one, ended
    m_stop.store(false);
    m_playing.store(true);
    request.stop = &m_stop;
    request.clientName = "quarven-wave-dump-play";
    m_thread = std::thread([this, request = std::move(request)] {
        std::string error;
        PlayReport report;
        // Loaded here, off the window's thread: libjack and libasound take
        // milliseconds to load.
        const auto opened = [this](const PlayReport& opened) {
            QMetaObject::invokeMethod(
                this, [this, output = QString::fromStdString(opened.output)] { emit started(output); },
                Qt::QueuedConnection);
        };
        if (PlayWaves(request, opened, report, error))
            error = report.outcome == PlayOutcome::kPlayed ? "" : report.error;
        m_playing.store(false);
        QMetaObject::invokeMethod(
            this, [this, error] { emit finished(QString::fromStdString(error)); }, Qt::QueuedConnection);
    });
}
