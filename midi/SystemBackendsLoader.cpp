#include "SystemBackendsModule.h"

#include "ProgramModule.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include <dlfcn.h>

// The module stays loaded for the life of the process, as the backends it
// makes do. Both name their client after the program ("qwdump", ...).
std::vector<MidiSystem> LoadSystemMidiSystems()
{
    std::vector<MidiSystem> systems;
    const std::string path = ProgramModulePath(QWD_MIDI_MODULE_FROM_BINDIR, QWD_MIDI_MODULE_IN_BUILD);
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto list = module ? reinterpret_cast<ListMidiSystemsFn>(::dlsym(module, kSystemBackendsEntry)) : nullptr;
    if (list == nullptr) {
        std::fprintf(stderr, "%s: no MIDI output: %s\n", program_invocation_short_name, ::dlerror());
        return systems;
    }
    std::vector<MidiSystemOpener> openers;
    list(openers);
    const std::string clientName = program_invocation_short_name;
    for (const MidiSystemOpener& opener : openers)
        systems.push_back(
            {opener.system, [open = opener.open, clientName] { return open(clientName); }, opener.whenLocked});
    return systems;
}
