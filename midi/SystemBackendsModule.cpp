#include "SystemBackendsModule.h"

#if QWD_WITH_ALSA
#include "AlsaBackend.h"
#endif
#if QWD_WITH_JACK
#include "JackBackend.h"
#endif

#include <cerrno>
#include <type_traits>

// ALSA's destinations come first, then JACK's. Each backend is cheap to open
// when its system is absent (no /dev/snd, no JACK server), so start-up stays
// fast; both name their client after the program ("qwdump", ...).
extern "C" void QwdAddSystemMidiBackends([[maybe_unused]] std::vector<std::unique_ptr<MidiBackend>>& backends)
{
    [[maybe_unused]] const std::string name = program_invocation_short_name;
#if QWD_WITH_ALSA
    if (auto alsa = AlsaBackend::Open(name))
        backends.push_back(std::move(alsa));
#endif
#if QWD_WITH_JACK
    backends.push_back(std::make_unique<JackBackend>(name));
#endif
}

static_assert(std::is_same_v<decltype(&QwdAddSystemMidiBackends), AddSystemMidiBackendsFn>);
