#include "SystemBackendsModule.h"

#include "AlsaBackend.h"
#include "JackBackend.h"

#include <type_traits>

namespace {

std::unique_ptr<MidiBackend> OpenAlsa(const std::string& clientName)
{
    return AlsaBackend::Open(clientName);
}

std::unique_ptr<MidiBackend> OpenJack(const std::string& clientName)
{
    return std::make_unique<JackBackend>(clientName);
}

}  // namespace

// ALSA's destinations come first, then JACK's. Each backend is cheap to open
// when its system is absent (no /dev/snd, no JACK server), so start-up stays
// fast.
extern "C" void QwdListMidiSystems(std::vector<MidiSystemOpener>& systems)
{
    systems.push_back({"ALSA sequencer", &OpenAlsa});
    systems.push_back({"JACK server", &OpenJack});
}

static_assert(std::is_same_v<decltype(&QwdListMidiSystems), ListMidiSystemsFn>);
