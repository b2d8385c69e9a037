#include "SystemBackendsModule.h"

#include "ProgramModule.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include <dlfcn.h>

// The module stays loaded for the life of the process, as the backends it
// made do.
std::vector<std::unique_ptr<MidiBackend>> MakeSystemMidiBackends()
{
    std::vector<std::unique_ptr<MidiBackend>> backends;
    const std::string path = ProgramModulePath(QWD_MIDI_MODULE_FROM_BINDIR, QWD_MIDI_MODULE_IN_BUILD);
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto add = module ? reinterpret_cast<AddSystemMidiBackendsFn>(::dlsym(module, kSystemBackendsEntry))
                            : nullptr;
    if (add == nullptr) {
        std::fprintf(stderr, "%s: no MIDI output: %s\n", program_invocation_short_name, ::dlerror());
        return backends;
    }
    add(backends);
    return backends;
}
