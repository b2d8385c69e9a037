#include "SystemBackendsModule.h"

#include "AlsaBackend.h"
#include "JackBackend.h"

#include <cerrno>
#include <type_traits>

// ALSA's destinations come first, then JACK's. Each backend is cheap to open
// when its system is absent (no /dev/snd, no JACK server), so start-up stays
// fast; both name their client after the program ("qwdump", ...).
extern "C" void QwdAddSystemMidiBackends(std::vector<std::unique_ptr<MidiBackend>>& backends)
{
    const std::string name = program_invocation_short_name;
    if (auto alsa = AlsaBackend::Open(name))
        backends.push_back(std::move(alsa));
    backends.push_back(std::make_unique<JackBackend>(name));
}

static_assert(std::is_same_v<decltype(&QwdAddSystemMidiBackends), AddSystemMidiBackendsFn>);
