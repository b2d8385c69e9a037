#include "WaveFitLoader.h"

#include "ProgramModule.h"

#include <dlfcn.h>

FitTableFileFn WaveFitEntry(std::string& error)
{
    static std::string failure;
    static const FitTableFileFn entry = [] {
        const std::string path = ProgramModulePath(QWD_FIT_MODULE_FROM_BINDIR, QWD_FIT_MODULE_IN_BUILD);
        void* module = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
        void* symbol = module != nullptr ? ::dlsym(module, kFitTableFileEntry) : nullptr;
        if (symbol == nullptr)
            failure = ::dlerror();
        return reinterpret_cast<FitTableFileFn>(symbol);
    }();
    error = failure;
    return entry;
}
