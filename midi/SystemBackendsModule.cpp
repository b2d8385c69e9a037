// The shared module that holds the ALSA and JACK backends; only it links
// libasound and libjack. Its one entry point lists the systems it offers.

#include "MidiBackend.h"

#if QWD_WITH_ALSA
#include "AlsaBackend.h"
#endif
#if QWD_WITH_JACK
#include "JackBackend.h"
#include "JackServerPresence.h"
#endif

// ALSA's destinations come first, then JACK's. Each backend is cheap to open
// when its system is absent (no /dev/snd, no JACK server), so start-up stays
// fast. Both name their client after the program.
extern "C" void QwdListMidiSystems([[maybe_unused]] const std::string& client, std::vector<MidiSystem>& systems)
{
#if QWD_WITH_ALSA
    systems.push_back({"ALSA sequencer", [client] { return std::unique_ptr<MidiBackend>(AlsaBackend::Open(client)); }});
#endif
#if QWD_WITH_JACK
    // The database, and with it the lock a dead process leaves, is JACK2's
    // libjack's alone; PipeWire's keeps none.
    const bool pipeWire = LibJackIsPipeWires();
    systems.push_back({"JACK server", [client] { return std::make_unique<JackBackend>(client); },
                       pipeWire ? "" : JackBackend::WhenLocked(), pipeWire});
#endif
}

static_assert(std::is_same_v<decltype(&QwdListMidiSystems), ListMidiSystemsFn>);
