#include "SystemBackendsModule.h"

#if QWD_WITH_ALSA
#include "AlsaBackend.h"
#endif
#if QWD_WITH_JACK
#include "JackBackend.h"
#endif

#include <type_traits>

namespace {

#if QWD_WITH_ALSA
std::unique_ptr<MidiBackend> OpenAlsa(const std::string& clientName)
{
    return AlsaBackend::Open(clientName);
}
#endif

#if QWD_WITH_JACK
std::unique_ptr<MidiBackend> OpenJack(const std::string& clientName)
{
    return std::make_unique<JackBackend>(clientName);
}
#endif

}  // namespace

// ALSA's destinations come first, then JACK's. Each backend is cheap to open
// when its system is absent (no /dev/snd, no JACK server), so start-up stays
// fast.
extern "C" void QwdListMidiSystems([[maybe_unused]] std::vector<MidiSystemOpener>& systems)
{
#if QWD_WITH_ALSA
    systems.push_back({"ALSA sequencer", &OpenAlsa, ""});
#endif
#if QWD_WITH_JACK
    systems.push_back({"JACK server", &OpenJack, JackBackend::WhenLocked()});
#endif
}

static_assert(std::is_same_v<decltype(&QwdListMidiSystems), ListMidiSystemsFn>);
