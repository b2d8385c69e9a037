#include "AlsaBackend.h"
#include "MidiBackend.h"

#include <cerrno>

// ALSA's destinations come first. It is cheap to open when there is no
// sequencer (no /dev/snd), so start-up stays fast; its client is named after
// the program ("qwdump", ...).
std::vector<std::unique_ptr<MidiBackend>> MakeSystemMidiBackends()
{
    const std::string name = program_invocation_short_name;
    std::vector<std::unique_ptr<MidiBackend>> backends;
    if (auto alsa = AlsaBackend::Open(name))
        backends.push_back(std::move(alsa));
    return backends;
}
