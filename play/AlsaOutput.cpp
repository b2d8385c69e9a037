#include "Outputs.h"

#include "PeriodTimer.h"
#include "SequencerInput.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace {

constexpr char kDevice[] = "default";
constexpr unsigned kRate = 48000;
// Room for a busy machine (or an emulated one) to keep up without
// underruns; a preview doesn't need a quicker start.
constexpr unsigned kLatencyMicroseconds = 200000;
// A keyboard's note waits for what the device holds before it: a buffer of
// 20 ms, in periods the library chooses (about 5 ms).
constexpr unsigned kKeyboardLatencyMicroseconds = 20000;

// What the lane's calls share with the watcher; never freed once a call is
// left to the lane (see JackOutput.cpp).
struct AlsaSide
{
    snd_pcm_t* pcm = nullptr;
    std::string error;
    snd_pcm_uframes_t periodFrames = 0;
    snd_pcm_uframes_t bufferFrames = 0;
    std::unique_ptr<PlaySource> oscillator;
    Instrument* instrument = nullptr;
    std::unique_ptr<SequencerInput> sequencer;  // with a MIDI source: what plays the instrument
    bool sourceGone = false;
    bool noSource = false;  // the error is that the source can't be played from
    std::vector<float> rendered;
    std::vector<std::int16_t> samples;
    unsigned underruns = 0;
    PeriodTimer timer;
};

std::string Failed(const char* call, int error)
{
    return std::string(call) + " " + kDevice + ": " + snd_strerror(error);
}

// libasound's own lines on a failed open ("cannot find card '0'", eight of
// them on a machine without sound) repeat what the error code says.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

void Open(AlsaSide& side, const std::string& name, const std::string& midiIn)
{
    snd_lib_error_set_handler(Quiet);
    const int opened = snd_pcm_open(&side.pcm, kDevice, SND_PCM_STREAM_PLAYBACK, 0);
    snd_lib_error_set_handler(nullptr);
    if (const int error = opened; error < 0) {
        side.pcm = nullptr;
        side.error = Failed("snd_pcm_open", error);
        return;
    }
    if (!midiIn.empty()) {
        if (!IsSequencerAddress(midiIn)) {
            side.error = "can't play from " + midiIn +
                         ": with no JACK server running, only an ALSA sequencer port "
                         "(CLIENT:PORT) can be played from";
            side.noSource = true;
            return;
        }
        side.sequencer = std::make_unique<SequencerInput>();
        if (std::string why; !side.sequencer->Open(name, midiIn, why)) {
            side.error = "can't play from ALSA sequencer port " + midiIn + ": " + why;
            side.noSource = true;
            return;
        }
    }
    if (const int error = snd_pcm_set_params(side.pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kRate, 1,
                                             midiIn.empty() ? kLatencyMicroseconds : kKeyboardLatencyMicroseconds);
        error < 0)
        side.error = Failed("snd_pcm_set_params", error);
    else if (const int error = snd_pcm_get_params(side.pcm, &side.bufferFrames, &side.periodFrames); error < 0)
        side.error = Failed("snd_pcm_get_params", error);
}

// The "callback" of a pushed stream: each period rendered into buffers made
// beforehand, then written; writing is what waits on the device. A buffer of
// silence follows the fade-out, so that whatever a device or a loopback
// still holds when it stops is silent.
void Stream(AlsaSide& side)
{
    PlaySource& oscillator = *side.oscillator;
    for (snd_pcm_uframes_t silence = 0; silence < side.bufferFrames;) {
        if (oscillator.Finished())
            silence += side.periodFrames;
        const std::int64_t started = PeriodTimer::Now();
        if (side.sequencer != nullptr) {
            side.sequencer->HandOver(*side.instrument);
            // Its held notes fade as on a stop, then the play ends.
            if (side.sequencer->Gone() && !side.sourceGone) {
                side.sourceGone = true;
                oscillator.RequestStop();
            }
        }
        oscillator.Render(side.rendered.data(), side.rendered.size());
        std::transform(side.rendered.begin(), side.rendered.end(), side.samples.begin(), [](float value) {
            return static_cast<std::int16_t>(std::lrint(std::clamp(value * 32768.0f, -32768.0f, 32767.0f)));
        });
        side.timer.Note(started);
        for (std::size_t done = 0; done < side.samples.size();) {
            snd_pcm_sframes_t written =
                snd_pcm_writei(side.pcm, side.samples.data() + done, side.samples.size() - done);
            if (written == -EPIPE)
                ++side.underruns;
            if (written < 0)
                written = snd_pcm_recover(side.pcm, static_cast<int>(written), 1);  // an underrun: go on
            if (written < 0) {
                side.error = Failed("snd_pcm_writei", static_cast<int>(written));
                return;
            }
            done += static_cast<std::size_t>(written);
        }
    }
    if (const int error = snd_pcm_drain(side.pcm); error < 0)
        side.error = Failed("snd_pcm_drain", error);
}

}  // namespace

void PlayThroughAlsa(PlayWatch& watch)
{
    PlayReport& report = watch.Report();
    const std::string system = std::string("ALSA device '") + kDevice + "'";
    auto owned = std::make_unique<AlsaSide>();
    AlsaSide* side = owned.get();
    const auto keep = [&](bool answered) {
        if (!answered)
            owned.release();  // the lane's thread may still use it
        return answered;
    };

    const PlayRequest& request = watch.Request();
    if (!keep(watch.Call(system, "snd_pcm_open",
                         [side, name = request.clientName, midiIn = request.midiIn] { Open(*side, name, midiIn); })))
        return;
    if (side->pcm == nullptr) {
        watch.Fail(PlayOutcome::kNoOutput, side->error);
        return;
    }
    if (!side->error.empty()) {
        watch.Fail(side->noSource ? PlayOutcome::kNoPort : PlayOutcome::kFailed, side->error);
    } else if (!watch.StopAsked()) {
        report.periodFrames = static_cast<unsigned>(side->periodFrames);
        side->oscillator = watch.MakeSource(kRate, side->instrument);
        side->rendered.resize(side->periodFrames);
        side->samples.resize(side->periodFrames);
        report.output = "ALSA " + std::string(kDevice);
        watch.Started();
        if (!keep(watch.Stream(
                system, "snd_pcm_writei", [side] { Stream(*side); }, *side->oscillator)))
            return;
        report.worstPeriodSeconds = side->timer.WorstSeconds();
        report.underruns = side->underruns;
        if (side->sequencer != nullptr) {
            report.worstEventWaitSeconds = side->sequencer->WorstWaitSeconds();
            report.worstEventPeriodSeconds = side->sequencer->WorstPeriodSeconds();
            report.worstEventMissedSeconds = side->sequencer->WorstMissedSeconds();
        }
        if (!side->error.empty())
            watch.Fail(PlayOutcome::kFailed, side->error);
        else if (side->sourceGone)
            watch.Fail(PlayOutcome::kSourceGone, "the MIDI source went away");
        else
            report.outcome = PlayOutcome::kPlayed;
    } else {
        report.outcome = PlayOutcome::kPlayed;
    }
    keep(watch.Call(system, "snd_pcm_close", [side] { snd_pcm_close(side->pcm); }));
}
