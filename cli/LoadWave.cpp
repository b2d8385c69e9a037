#include "LoadWave.h"

#include "Engine.h"
#include "FitWave.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace {

constexpr int kBitsTheLoaderReads = 16;

// Why the loader could not open the file, as the system tells it.
std::string WhyNotOpened(const LoadFacts& facts)
{
    switch (facts.fileType) {
    case 0:
        return facts.openErrno != 0 ? std::strerror(facts.openErrno) : "";
    case S_IFDIR:
        return std::strerror(EISDIR);
    case S_IFIFO:
        return "Is a named pipe, not a regular file";
    case S_IFSOCK:
        return "Is a socket, not a regular file";
    default:
        return "Is a device, not a regular file";
    }
}

}  // namespace

void AddFitOption(CLI::App& command, std::string& method)
{
    command.add_option("--fit", method, "Read any audio file and fit it: harmonic or nearest (see 'qwdump fit')")
        ->check(CLI::IsMember(kFitMethods));
}

bool LoadWaveOrReport(const std::string& path, const std::string& fitMethod)
{
    if (!fitMethod.empty()) {
        FittedWave wave;
        if (!FitWaveOrReport(path, {kFitMethods.at(fitMethod), false}, wave))
            return false;
        std::copy(std::begin(wave.samples), std::end(wave.samples), s_Engine.m_anWave);
        s_Engine.m_bLoaded = 1;
        s_Engine.m_bResampled = wave.sourceFrames != 128;
        s_Engine.m_pszError = "";
        return true;
    }
    LoadFacts facts;
    if (LoadWaveFileTelling(s_Engine, path.c_str(), facts)) {
        if (facts.declaredBits != kBitsTheLoaderReads)
            std::fprintf(stderr,
                         "qwdump: %s: declares %d-bit samples; its bytes are read as 16-bit pairs "
                         "(qwdump fit converts it)\n",
                         path.c_str(), facts.declaredBits);
        return true;
    }
    const std::string reason = WhyNotOpened(facts);
    std::fprintf(stderr, "qwdump: %s: %s%s%s%s\n", path.c_str(), s_Engine.m_pszError, reason.empty() ? "" : " (",
                 reason.c_str(), reason.empty() ? "" : ")");
    return false;
}
