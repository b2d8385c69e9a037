#include "LoadWave.h"

#include "Engine.h"
#include "FitWave.h"
#include "LoadMessages.h"
#include "WaveFileFacts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kBitsTheLoaderReads = 16;

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
    if (s_Engine.LoadWaveFile(path.c_str())) {
        const int bits = DeclaredBitsPerSample(path);
        if (bits >= 0 && bits != kBitsTheLoaderReads)
            std::fprintf(stderr,
                         "qwdump: %s: declares %d-bit samples; its bytes are read as 16-bit pairs "
                         "(qwdump fit converts it)\n",
                         path.c_str(), bits);
        return true;
    }
    std::string reason;
    if (std::strcmp(s_Engine.m_pszError, LoadMessages::kOpenFailed) == 0)
        reason = WhyNotOpened(path);
    std::fprintf(stderr, "qwdump: %s: %s%s%s%s\n", path.c_str(), s_Engine.m_pszError, reason.empty() ? "" : " (",
                 reason.c_str(), reason.empty() ? "" : ")");
    return false;
}
