#include "MidiBackend.h"

#include "ProgramModule.h"

#include <cerrno>
#include <cstdio>

#include <dlfcn.h>

// The module stays loaded for the life of the process, as the backends it
// makes do.
std::vector<MidiSystem> LoadSystemMidiSystems()
{
    std::vector<MidiSystem> systems;
    const std::string path = ProgramModulePath(QWD_MIDI_MODULE_FROM_BINDIR, QWD_MIDI_MODULE_IN_BUILD);
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto list = module ? reinterpret_cast<ListMidiSystemsFn>(::dlsym(module, "QwdListMidiSystems")) : nullptr;
    if (list == nullptr)
        std::fprintf(stderr, "%s: no MIDI output: %s\n", program_invocation_short_name, ::dlerror());
    else
        list(program_invocation_short_name, systems);
    return systems;
}
