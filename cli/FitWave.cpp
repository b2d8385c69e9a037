#include "FitWave.h"

#include "ProgramModule.h"

#include <cmath>
#include <cstdio>

#include <dlfcn.h>

namespace {

// The module stays loaded for the life of the process. Bound lazily:
// libsndfile brings eight codec libraries, of which a fit calls little.
FitWaveFileFn FitEntry()
{
    static FitWaveFileFn entry = [] {
        const std::string path = ProgramModulePath(QWD_FIT_MODULE_FROM_BINDIR, QWD_FIT_MODULE_IN_BUILD);
        void* module = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
        return module ? reinterpret_cast<FitWaveFileFn>(::dlsym(module, kFitWaveFileEntry)) : nullptr;
    }();
    return entry;
}

}  // namespace

bool FitWaveOrReport(const std::string& path, const FitRequest& request, FittedWave& wave)
{
    const FitWaveFileFn fit = FitEntry();
    if (fit == nullptr) {
        std::fprintf(stderr, "qwdump: can't fit audio files: %s\n", ::dlerror());
        return false;
    }
    std::string error;
    if (!fit(path.c_str(), request, wave, error)) {
        std::fprintf(stderr, "qwdump: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    if (wave.scaledToFit)
        std::fprintf(stderr, "qwdump: %s: scaled down by %.1f dB to fit the 16-bit range\n", path.c_str(),
                     -20.0 * std::log10(wave.gain));
    return true;
}
