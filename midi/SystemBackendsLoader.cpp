#include "SystemBackendsModule.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>

#include <dlfcn.h>
#include <unistd.h>

namespace {

std::string ProgramDirectory()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/'));
}

// Installed, the module sits under lib/quarven-wave-dump beside the
// program's bin/; in the build tree, where CMake put it. The path is worked
// out here rather than left to the run path, which a dlopen interposed by a
// sanitizer does not see.
std::string ModulePath()
{
    const std::string installed = ProgramDirectory() + "/" + QWD_MIDI_MODULE_FROM_BINDIR;
    if (::access(installed.c_str(), R_OK) == 0)
        return installed;
    return QWD_MIDI_MODULE_IN_BUILD;
}

}  // namespace

// The module stays loaded for the life of the process, as the backends it
// makes do. Both name their client after the program ("qwdump", ...).
std::vector<MidiSystem> LoadSystemMidiSystems()
{
    std::vector<MidiSystem> systems;
    void* module = ::dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto list = module ? reinterpret_cast<ListMidiSystemsFn>(::dlsym(module, kSystemBackendsEntry)) : nullptr;
    if (list == nullptr) {
        std::fprintf(stderr, "%s: no MIDI output: %s\n", program_invocation_short_name, ::dlerror());
        return systems;
    }
    std::vector<MidiSystemOpener> openers;
    list(openers);
    const std::string clientName = program_invocation_short_name;
    for (const MidiSystemOpener& opener : openers)
        systems.push_back({opener.system, [open = opener.open, clientName] { return open(clientName); }});
    return systems;
}
