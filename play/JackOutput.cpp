#include "Outputs.h"

#include "JackClient.h"
#include "JackServerPresence.h"
#include "PeriodTimer.h"
#if QWD_WITH_ALSA
#include "SequencerInput.h"
#endif

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <cstring>

namespace {

// What the lane's calls and the callbacks share with the watcher. Should a
// call be left to the lane, its thread may still finish it and write here,
// so this is then never freed.
struct JackSide
{
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    jack_port_t* midiPort = nullptr;  // with a MIDI source: its notes come in here
    std::vector<std::string> destinations;
    std::string error;
    bool noPort = false;  // the error is that no destination was found
    unsigned sampleRate = 0;
    unsigned periodFrames = 0;
    bool active = false;
    std::unique_ptr<PlaySource> source;  // set before activation
    Instrument* instrument = nullptr;    // the source, when it plays from MIDI
#if QWD_WITH_ALSA
    std::unique_ptr<SequencerInput> sequencer;  // a source on the ALSA sequencer, in place of midiPort
#endif
    std::atomic<bool> serverGone{false};
    std::string midiIn;                   // the JACK MIDI source's name
    std::atomic<bool> sourceGone{false};  // it was unregistered
    PeriodTimer timer;
};

// Realtime: no allocation, no locks, no printing.
int Process(jack_nframes_t frames, void* arg)
{
    auto* side = static_cast<JackSide*>(arg);
    const std::int64_t started = PeriodTimer::Now();
    auto* out = static_cast<float*>(jack_port_get_buffer(side->port, frames));
    if (side->instrument == nullptr) {
        side->source->Render(out, frames);
        side->timer.Note(started);
        return 0;
    }
#if QWD_WITH_ALSA
    // The sequencer's events have no frame: they take this period's first.
    if (side->sequencer != nullptr) {
        side->sequencer->HandOver(*side->instrument);
        side->instrument->Render(out, frames);
        side->timer.Note(started);
        return 0;
    }
#endif
    // Rendered up to each event's frame, so that a note starts where it
    // arrived, not at the period's start.
    void* midi = jack_port_get_buffer(side->midiPort, frames);
    const std::uint32_t count = jack_midi_get_event_count(midi);
    jack_nframes_t done = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, midi, i) != 0)
            continue;
        const jack_nframes_t at = std::min(event.time, frames);
        if (at > done) {
            side->instrument->Render(out + done, at - done);
            done = at;
        }
        side->instrument->Handle(event.buffer, event.size);
    }
    side->instrument->Render(out + done, frames - done);
    side->timer.Note(started);
    return 0;
}

void ServerGone(void* arg)
{
    static_cast<JackSide*>(arg)->serverGone.store(true);
}

// Not realtime: the server's notification thread. A client that closes
// takes its ports with it, said as the client going, not as each port.
void LookForSource(int registered, void* arg)
{
    auto* side = static_cast<JackSide*>(arg);
    if (registered == 0 && side->midiPort != nullptr &&
        jack_port_by_name(side->client, side->midiIn.c_str()) == nullptr)
        side->sourceGone.store(true);
}

void PortRegistered(jack_port_id_t, int registered, void* arg)
{
    LookForSource(registered, arg);
}

void ClientRegistered(const char*, int registered, void* arg)
{
    LookForSource(registered, arg);
}

const char kSystem[] = "JACK server";

bool FindDestinations(JackSide& side, const std::string& wanted);
bool FindSource(JackSide& side, const std::string& name, const std::string& midiIn);

void Open(JackSide& side, const std::string& name, const std::string& wanted, const std::string& midiIn)
{
    side.client = OpenJackClient(name, side.error);
    if (side.client == nullptr)
        return;
    side.port = jack_port_register(side.client, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (side.port == nullptr)
        side.error = "jack_port_register out: the server refused the port";
    else if (!midiIn.empty() && (side.midiPort = jack_port_register(side.client, "midi_in", JACK_DEFAULT_MIDI_TYPE,
                                                                    JackPortIsInput, 0)) == nullptr)
        side.error = "jack_port_register midi_in: the server refused the port";
    else if (jack_set_process_callback(side.client, Process, &side) != 0)
        side.error = "jack_set_process_callback: refused";
    else if (side.midiIn = midiIn; jack_set_port_registration_callback(side.client, PortRegistered, &side) != 0)
        side.error = "jack_set_port_registration_callback: refused";
    else if (jack_set_client_registration_callback(side.client, ClientRegistered, &side) != 0)
        side.error = "jack_set_client_registration_callback: refused";
    else
        jack_on_shutdown(side.client, ServerGone, &side);
    if (!side.error.empty())
        return;
    side.sampleRate = jack_get_sample_rate(side.client);
    side.periodFrames = jack_get_buffer_size(side.client);
    side.noPort = !FindDestinations(side, wanted) || !FindSource(side, name, midiIn);
}

// A JACK MIDI output, or else an ALSA sequencer port ("20:0").
bool FindSource(JackSide& side, const std::string& name, const std::string& midiIn)
{
    if (midiIn.empty())
        return true;
    jack_port_t* port = jack_port_by_name(side.client, midiIn.c_str());
    if (port != nullptr && (jack_port_flags(port) & JackPortIsOutput) != 0 &&
        std::strcmp(jack_port_type(port), JACK_DEFAULT_MIDI_TYPE) == 0)
        return true;
#if QWD_WITH_ALSA
    if (port == nullptr && IsSequencerAddress(midiIn)) {
        jack_port_unregister(side.client, side.midiPort);
        side.midiPort = nullptr;
        side.sequencer = std::make_unique<SequencerInput>();
        if (side.sequencer->Open(name, midiIn, side.error))
            return true;
        side.error = "can't play from ALSA sequencer port " + midiIn + ": " + side.error;
        side.sequencer.reset();
        return false;
    }
#else
    (void)name;
#endif
    side.error = "no JACK MIDI output port " + midiIn + " to play from ('jack_lsp -t' lists them)";
    return false;
}

// The port asked for, or every physical playback port. False when there is none.
bool FindDestinations(JackSide& side, const std::string& wanted)
{
    if (!wanted.empty()) {
        jack_port_t* port = jack_port_by_name(side.client, wanted.c_str());
        if (port == nullptr || (jack_port_flags(port) & JackPortIsInput) == 0 ||
            std::strcmp(jack_port_type(port), JACK_DEFAULT_AUDIO_TYPE) != 0) {
            side.error = "no JACK audio input port " + wanted + " ('jack_lsp -t' lists them)";
            return false;
        }
        side.destinations.push_back(wanted);
        return true;
    }
    if (const char** found =
            jack_get_ports(side.client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput)) {
        for (const char** name = found; *name != nullptr; ++name)
            side.destinations.emplace_back(*name);
        jack_free(found);
    }
    if (side.destinations.empty())
        side.error = "the JACK server has no playback ports; name one with --port";
    return !side.destinations.empty();
}

void ActivateAndConnect(JackSide& side, const std::string& midiIn)
{
    if (const int failed = jack_activate(side.client); failed != 0) {
        side.error = "jack_activate: the server refused to activate the client (error " + std::to_string(failed) + ")";
        return;
    }
    side.active = true;
    for (const std::string& destination : side.destinations) {
        if (const int failed = jack_connect(side.client, jack_port_name(side.port), destination.c_str()); failed != 0) {
            side.error = "jack_connect " + std::string(jack_port_name(side.port)) + " to " + destination +
                         ": the server refused the connection (error " + std::to_string(failed) + ")";
            return;
        }
    }
    if (side.midiPort == nullptr)
        return;
    if (const int failed = jack_connect(side.client, midiIn.c_str(), jack_port_name(side.midiPort)); failed != 0)
        side.error = "jack_connect " + midiIn + " to " + std::string(jack_port_name(side.midiPort)) +
                     ": the server refused the connection (error " + std::to_string(failed) + ")";
}

bool SequencerGone(const JackSide& side)
{
#if QWD_WITH_ALSA
    return side.sequencer != nullptr && side.sequencer->Gone();
#else
    (void)side;
    return false;
#endif
}

// The server runs the periods; the watcher waits for the last one, and for
// a server that stops running them.
void WatchPeriods(PlayWatch& watch, JackSide& side)
{
    PlaySource& oscillator = *side.source;
    std::uint64_t frames = oscillator.FramesRendered();
    auto moved = AudioClock::now();
    bool sourceGone = false;
    while (!oscillator.Finished() && !side.serverGone.load()) {
        // Its held notes fade as on a stop, then the play ends.
        if (!sourceGone && (side.sourceGone.load() || SequencerGone(side))) {
            sourceGone = true;
            oscillator.RequestStop();
        }
        watch.Sleep(AudioClock::now() + std::chrono::milliseconds(10), &oscillator);
        if (const std::uint64_t now = oscillator.FramesRendered(); now != frames) {
            frames = now;
            moved = AudioClock::now();
        } else if (AudioClock::now() > moved + kAnswerWithin) {
            watch.Fail(PlayOutcome::kFailed, "JACK server not answering within 1 s (it stopped running periods)");
            return;
        }
    }
    if (side.serverGone.load())
        watch.Fail(PlayOutcome::kFailed, "the JACK server went away");
    else if (sourceGone)
        watch.Fail(PlayOutcome::kSourceGone, "the MIDI source went away");
    else
        watch.Report().outcome = PlayOutcome::kPlayed;
}

}  // namespace

void PlayThroughJack(PlayWatch& watch)
{
    PlayReport& report = watch.Report();
    watch.SetPrivateLocks(LibJackIsPipeWires());
    auto owned = std::make_unique<JackSide>();
    JackSide* side = owned.get();
    const auto call = [&](const char* name, std::function<void()> work) {
        if (watch.Call(kSystem, name, std::move(work)))
            return true;
        owned.release();  // the lane's thread may still use it
        return false;
    };

    const PlayRequest& request = watch.Request();
    if (!call("jack_client_open", [side, name = request.clientName, port = request.jackPort, midiIn = request.midiIn] {
            Open(*side, name, port, midiIn);
        }))
        return;
    if (!side->error.empty()) {
        watch.Fail(side->noPort ? PlayOutcome::kNoPort : PlayOutcome::kFailed, side->error);
    } else {
        report.periodFrames = side->periodFrames;
        side->source = watch.MakeSource(side->sampleRate, side->instrument);
    }
    if (side->error.empty() && !watch.StopAsked()) {
        if (!call("jack_activate", [side, midiIn = request.midiIn] { ActivateAndConnect(*side, midiIn); }))
            return;
        if (!side->error.empty()) {
            watch.Fail(PlayOutcome::kFailed, side->error);
        } else {
            report.output = "JACK (";
            for (const std::string& destination : side->destinations)
                report.output += (&destination == &side->destinations.front() ? "" : ", ") + destination;
            report.output += ")";
            watch.Started();
            WatchPeriods(watch, *side);
            report.worstPeriodSeconds = side->timer.WorstSeconds();
#if QWD_WITH_ALSA
            if (side->sequencer != nullptr) {
                report.worstEventWaitSeconds = side->sequencer->WorstWaitSeconds();
                report.worstEventPeriodSeconds = side->sequencer->WorstPeriodSeconds();
                report.worstEventMissedSeconds = side->sequencer->WorstMissedSeconds();
            }
#endif
        }
    } else if (side->error.empty()) {
        report.outcome = PlayOutcome::kPlayed;  // stopped before it began
    }

    // A client whose server went away is left open: closing it can
    // deadlock inside libjack. The process ends soon.
    if (side->client == nullptr || side->serverGone.load()) {
        owned.release();
        return;
    }
    call("jack_client_close", [side] { jack_client_close(side->client); });
}
