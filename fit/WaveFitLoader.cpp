#include "WaveFitLoader.h"

#include "ProgramModule.h"

#include <dlfcn.h>

const WaveFitModule* WaveFitEntry(std::string& error)
{
    static std::string failure;
    static const WaveFitModule entries = [] {
        const std::string path = ProgramModulePath(QWD_FIT_MODULE_FROM_BINDIR, QWD_FIT_MODULE_IN_BUILD);
        void* module = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
        WaveFitModule found{};
        if (module != nullptr) {
            found.fit = reinterpret_cast<FitTableFileFn>(::dlsym(module, kFitTableFileEntry));
            found.release = reinterpret_cast<FreeFitResultFn>(::dlsym(module, kFreeFitResultEntry));
        }
        if (found.fit == nullptr || found.release == nullptr)
            failure = ::dlerror();
        return found;
    }();
    error = failure;
    return entries.fit != nullptr && entries.release != nullptr ? &entries : nullptr;
}
