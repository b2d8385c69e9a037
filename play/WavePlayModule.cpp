// The module's one entry point: JACK when a server answers, else ALSA.

#include "Instrument.h"
#include "JackServerPresence.h"
#include "LiveWave.h"
#include "Outputs.h"
#include "WavePlay.h"

#include <algorithm>
#include <type_traits>

extern "C" void QwdPlayWaves(const PlayRequest& request, const std::function<void(const PlayReport&)>& started,
                             PlayReport& report)
{
    report = PlayReport();
    PlayWatch watch(request, started, report);
#if QWD_WITH_JACK
    // Only then is libjack called at all: see JackServerPresence.h.
    if (JackServerMayBeRunning()) {
        PlayThroughJack(watch);
        return;
    }
    const std::string noJack = "no JACK server is running";
#else
    // A user told "no server" would start one, to no avail.
    const std::string noJack = "this build has no JACK";
#endif
    if (!request.jackPort.empty()) {
        watch.Fail(PlayOutcome::kNoPort, noJack + " to play to " + request.jackPort);
        return;
    }
#if QWD_WITH_ALSA
    PlayThroughAlsa(watch);
    if (report.outcome == PlayOutcome::kNoOutput)
        report.error = "no audio output: " + noJack + ", and " + report.error;
#else
    watch.Fail(PlayOutcome::kNoOutput, "no audio output: " + noJack + ", and this build has no ALSA");
#endif
}

extern "C" bool QwdChangePlayingWave(const std::int16_t* wave, std::size_t count)
{
    if (count != 128)
        return false;
    std::int16_t samples[128];
    std::copy(wave, wave + 128, samples);
    return ChangeLiveWave(samples);
}

extern "C" int QwdPlayingKeysHeld()
{
    return PlayingKeysHeld();
}

static_assert(std::is_same_v<decltype(&QwdPlayWaves), PlayWavesFn>);
static_assert(std::is_same_v<decltype(&QwdPlayingKeysHeld), PlayingKeysHeldFn>);
static_assert(std::is_same_v<decltype(&QwdChangePlayingWave), ChangePlayingWaveFn>);
